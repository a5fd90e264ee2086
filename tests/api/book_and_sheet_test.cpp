// Books and sheets through the API: open options and their synonyms, refused options, save names,
// sheets and their queries, the error state, the message catalogue, books closed by the thousand.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "api/open_options.h"
#include "common/fixtures.h"
#include "model/book.h"
#include "support/files.h"
#include "support/messages.h"

using namespace tabsmith;
using tabsmith::testing::BookTest;
using tabsmith::testing::sjis;

namespace {

class OpenBook : public BookTest {};

class Sheets : public BookTest {
protected:
    void SetUp() override { ASSERT_EQ(open("MODE=CREATE"), 0); }
    std::string name(int index) {
        char out[128] = "";
        TXLS_sheet_name(&book, index, out, sizeof out);
        return out;
    }
};

std::string cwd_join(const std::string &name) { return std::filesystem::current_path().string() + "/" + name; }

std::string repeat(const std::string &text, int count) {
    std::string out;
    for (int i = 0; i < count; ++i) out += text;
    return out;
}

}  // namespace

TEST_F(OpenBook, AcceptedOptionsSetTheSaveNameAndCharacterSet) {
    const struct {
        std::string options, file_name;  // relative names join the current folder
        int charset;
    } cases[] = {
        {"", "Book1.xlsx", kSjis}, {"MODE=CREATE BOOK=report", "report.xlsx", kSjis},
        {"excel=\"my report.xlsx\"", "my report.xlsx", kSjis}, {sjis("ブック=報告書 モード=新規"), "報告書.xlsx", kSjis},
        {"BOOK=/srv/x/y", "/srv/x/y.xlsx", kSjis},
        {"CHARSET=UTF8 ブック=報告", "報告.xlsx", kUtf8},  // a synonym is read as UTF-8 once CHARSET=UTF8 is in force
        {"CHARSET=EUC", "Book1.xlsx", kEuc},
        {"CHARSET=KOI8", "Book1.xlsx", kSjis},  // unknown sets are ignored
        {sjis("キャラクタセット") + "=utf8", "Book1.xlsx", kUtf8},
        {"MODE=create VERSION=2.0.4.0 XLS_BOOK=" + std::to_string(sizeof(XLS_BOOK)), "Book1.xlsx", kSjis},
        {"BOOK=" + std::string(256, 'n'), std::string(256, 'n') + ".xlsx", kSjis},
    };
    ASSERT_EQ(open(nullptr), 0);
    EXPECT_EQ(store().file_name, cwd_join("Book1.xlsx"));
    EXPECT_EQ(TXLS_sheet_num(&book), 0);
    for (const auto &c : cases) {
        ASSERT_EQ(open(c.options.c_str()), 0) << c.options;
        EXPECT_EQ(TXLS_error_code(&book), 0);
        EXPECT_EQ(store().file_name, c.file_name[0] == '/' ? c.file_name : cwd_join(c.file_name)) << c.options;
        EXPECT_EQ(store().charset, c.charset) << c.options;
    }
    // Opening a record again releases the book it held.
    ASSERT_EQ(TXLS_open_sheet(&book, "SHEET_NAME=A"), 0);
    ASSERT_EQ(open("MODE=CREATE"), 0);
    EXPECT_EQ(TXLS_sheet_num(&book), 0);
    // A book opened with MESSAGES=EN keeps speaking English; JA is the default.
    ASSERT_EQ(open("MESSAGES=EN"), 0);
    EXPECT_EQ(TXLS_put_values(&book, "A1.NOSUCH=1"), TXLS_ERR_ARGUMENT);
    EXPECT_EQ(message().rfind("TXLS-02200 Unsupported keyword (\"", 0), 0u) << message();
    ASSERT_EQ(open("MESSAGES=EN MESSAGES=JA"), 0);
    EXPECT_EQ(TXLS_put_values(&book, "A1.NOSUCH=1"), TXLS_ERR_ARGUMENT);
    EXPECT_EQ(message().rfind("TXLS-02200 サポート外のキーワードです", 0), 0u) << message();
}

// "{dir}" in a row is a private folder holding existing.xlsx, which is no workbook.
TEST_F(OpenBook, RefusedOptionsLeaveNoBookAndSayWhy) {
    tabsmith::testing::TempFolder dir;
    dir.write("existing.xlsx", "not really a workbook");
    const std::string keyword = "TXLS-02200 サポート外のキーワードです(\"", too_long = "TXLS-00005 ファイル名が長すぎます。";
    const std::string open_error = "TXLS-03101 Excelファイルオープンエラー(\"";
    const struct {
        std::string options;
        int rc;
        std::string message;  // "-" = not checked
    } cases[] = {
        {"MODE=VIEW", -3, keyword + "VIEW\")。"}, {"COLOR=RED", -3, keyword + "COLOR\")。"},
        {"MODE CREATE", -3, "TXLS-02303 引数列のイコール(=)部分が不正です(\"CREATE\")。"}, {"MODE=CREATE BOOK", -3, ""}, {"BOOK=", -3, ""},
        {"BOOK=" + std::string(257, 'n'), -3, too_long}, {"TEMPLATE=" + std::string(257, 'n'), -3, too_long},
        {"CHARSET=UTF8 BOOK=" + repeat("表", 129), -3, too_long},  // counted in Shift-JIS bytes: 258
        {"VERSION=1.0", -1, "TXLS-00901 呼び出し側(\"1.0\")と共有ライブラリ側(\"2.0.4.0\")でバージョンが異なります。"},
        {"XLS_BOOK=100", -1, "TXLS-00902 構造体XLS_BOOKのサイズが異なります。(\"CALL側:100byte DLL側:" +
                                 std::to_string(sizeof(XLS_BOOK)) + "byte\")。"},
        {"MODE=READ BOOK=/nonexistent/dir/none.xlsx", -101, open_error + "/nonexistent/dir/none.xlsx\")。"},
        {"MODE=UPDATE BOOK=/nonexistent/none.xlsx", -101, "-"}, {"MODE=LOAD BOOK=/nonexistent/none.xlsx", -101, "-"},
        {"MODE=UNLOAD BOOK=/nonexistent/none.xlsx", -101, "-"}, {"MODE=LIST BOOK=/nonexistent/none.xlsx", -101, "-"},
        {"TEMPLATE=/nonexistent/t.xlsx BOOK=out", -101, "-"},
        {"MODE=READ READ_MEMORY=TRUE BOOK=not-in-memory.xlsx", -101, open_error + "not-in-memory.xlsx\")。"},
        {"MODE=READ BOOK={dir}/existing.xlsx", -4, "TXLS-00900 サポート外のファイルです(\"{dir}/existing.xlsx\")。"},
        // A folder, a FIFO and a device are no workbook files: refused at the open, never read.
        {"MODE=READ BOOK={dir}/.", -101, "-"}, {"MODE=READ BOOK=/dev/zero", -101, "-"},
        // MESSAGES=EN speaks English from there on: the same codes.
        {"MESSAGES=EN MODE=VIEW", -3, "TXLS-02200 Unsupported keyword (\"VIEW\")."},
        {"MESSAGES=EN MODE=READ BOOK=/nonexistent/none.xlsx", -101, "TXLS-03101 Excel file open error (\"/nonexistent/none.xlsx\")."},
        {"MESSAGES=FR", -3, keyword + "FR\")。"},
    };
    for (const auto &c : cases) {
        auto expand = [&](std::string text) {
            if (std::size_t at = text.find("{dir}"); at != std::string::npos) text.replace(at, 5, dir.path());
            return text;
        };
        EXPECT_EQ(open(expand(c.options).c_str()), c.rc) << c.options;
        EXPECT_EQ(TXLS_error_code(&book), c.rc) << c.options;
        EXPECT_EQ(book.work, nullptr) << c.options;
        if (c.message != "-") { EXPECT_EQ(message(), expand(c.message)) << c.options; }
    }
}

TEST(SaveName, ExtensionRuleAndWorkingPath) {
    const std::pair<const char *, const char *> extension[] = {
        {"report", "report.xlsx"}, {"a.b", "a.b.xlsx"},  // shorter than 6 bytes
        {"dir\\report", "dir\\report"},                  // has a backslash
        {"old.xls", "old.xls"},    {"macro.XLSM", "macro.XLSM"}, {"data.csv", "data.csv"}, {".xlsx", ".xlsx.xlsx"}, {"", ".xlsx"},
    };
    for (auto [name, expected] : extension) EXPECT_EQ(apply_extension_rule(name), expected) << name;
    EXPECT_EQ(working_path("/abs/x.xlsx"), "/abs/x.xlsx");
    EXPECT_EQ(working_path("\\abs\\x.xlsx"), "/abs/x.xlsx");
    EXPECT_EQ(working_path("sub\\x.xlsx"), cwd_join("sub/x.xlsx"));
}

TEST(ErrorState, MessagesArriveInTheBooksCharacterSet) {
    const std::string text = "TXLS-02200 サポート外のキーワードです(\"VIEW\")。";
    for (auto [options, set] : {std::pair{"MODE=CREATE", kSjis}, {"CHARSET=EUC", kEuc}, {"CHARSET=UTF8", kUtf8}}) {
        XLS_BOOK book{};
        ASSERT_EQ(TXLS_open_book(&book, options), 0);
        EXPECT_EQ(TXLS_open_sheet(&book, "MODE=VIEW"), -3);
        EXPECT_EQ(std::string(TXLS_error_mesg(&book)), from_utf8(text, set)) << options;
        EXPECT_EQ(std::string(book.log.error_info), sjis(text));  // the record keeps Shift-JIS
        // A later success clears the code and keeps the message, also once the book is freed.
        EXPECT_EQ(TXLS_open_sheet(&book, "SHEET_NAME=S"), 0);
        EXPECT_EQ(TXLS_error_code(&book), 0);
        EXPECT_EQ(std::string(TXLS_error_mesg(&book)), from_utf8(text, set));
        TXLS_free_book(&book);
        EXPECT_EQ(std::string(TXLS_error_mesg(&book)), from_utf8(text, set)) << "freed";
    }
    // A failed open has no book to ask: its message follows the options' own CHARSET.
    const std::string missing = "TXLS-03101 Excelファイルオープンエラー(\"/nonexistent/帳票.xlsx\")。";
    for (auto [charset, set] : {std::pair{"SJIS", kSjis}, {"EUC", kEuc}, {"UTF8", kUtf8}}) {
        XLS_BOOK book{};
        const std::string options = std::string("CHARSET=") + charset + " MODE=READ BOOK=" + from_utf8("/nonexistent/帳票.xlsx", set);
        EXPECT_EQ(TXLS_open_book(&book, options.c_str()), -101);
        EXPECT_EQ(std::string(TXLS_error_mesg(&book)), from_utf8(missing, set)) << charset;
        EXPECT_EQ(TXLS_open_book(&book, (std::string("CHARSET=") + charset + " MODE=VIEW").c_str()), -3);
        EXPECT_EQ(std::string(TXLS_error_mesg(&book)), from_utf8(text, set)) << charset;
    }
}

TEST(ErrorState, OverLongMessagesAreNeverHandedOutAndNeverOverflow) {
    XLS_BOOK book{};
    ASSERT_EQ(TXLS_open_book(&book, "CHARSET=UTF8"), 0);
    Book *b = static_cast<Book *>(book.work);
    b->err.raise(-3, Msg::k02200, std::string(20000, 'x').c_str());
    EXPECT_EQ(std::strlen(book.log.error_info), 6000u);
    EXPECT_STREQ(TXLS_error_mesg(&book), "TXLS-04000 エラーメッセージが長すぎます(\"log.error_info\")。最大長は(5999)バイトです。");
    // Half-width katakana grow from one byte to three in UTF-8: the caller's copy still fits.
    b->err.raise(-3, Msg::k02200, repeat("ｱ", 3000).c_str());
    EXPECT_LT(std::strlen(book.log.error_info), 6000u);
    const std::string out = TXLS_error_mesg(&book);
    EXPECT_GT(out.size(), 6000u);
    EXPECT_LT(out.size(), sizeof book.caller_mesg);
    TXLS_free_book(&book);
}

TEST(Catalogue, EveryEntryIsLedByItsCodeInCodeOrderAndSurvivesShiftJis) {
    std::string previous = "00000";
    for (int i = 0; i <= static_cast<int>(Msg::k04100); ++i) {
        const MessageEntry &entry = message_entry(static_cast<Msg>(i));
        EXPECT_EQ(static_cast<int>(entry.id), i);
        EXPECT_EQ(std::string(entry.text).rfind(std::string("TXLS-") + entry.code + " ", 0), 0u) << entry.text;
        EXPECT_GE(std::string(entry.code), previous);
        previous = entry.code;
        EXPECT_EQ(to_utf8(sjis(entry.text), kSjis), entry.text);
        // The English text: the same code, ASCII, the same arguments in the same order.
        const std::string english = entry.english;
        EXPECT_EQ(english.rfind(std::string("TXLS-") + entry.code + " ", 0), 0u) << english;
        EXPECT_TRUE(std::all_of(english.begin(), english.end(), [](char c) { return c > 0; })) << english;
        auto conversions = [](const std::string &text) {
            std::string out;
            for (std::size_t at = text.find('%'); at != std::string::npos; at = text.find('%', at + 2)) out += text[at + 1];
            return out;
        };
        EXPECT_EQ(conversions(english), conversions(entry.text)) << english;
    }
}

TEST_F(Sheets, OpenSheetOptionsInOrder) {
    const std::string taken = "TXLS-02321 既に存在しているシート名です(\"", bad = "TXLS-02320 シート名が不正です(\"";
    const struct {
        std::string options;
        int rc;
        std::string message_or_name;  // a failure's message ("-": not checked), else the current sheet's name
        int count;                    // sheets afterwards
    } cases[] = {
        {"MODE=CREATE", 0, "Sheet1", 1}, {"", 0, "Sheet2", 2}, {"SHEET_NAME=Sheet4", 0, "Sheet4", 3},
        {"MODE=CREATE", 0, "Sheet5", 4},  // Sheet4 is taken
        {"SHEET_NAME=Sales", 0, "Sales", 5}, {"SHEET_NAME=Sales", -3, taken + "Sales\")。", 5},
        {"SHEET_NAME=SALES", -3, taken + "SALES\")。", 5},  // names may not differ only in letter case
        {"SHEET_NAME=a/b", -3, bad + "a/b\")。", 5}, {"SHEET_NAME=\"x[1]\"", -3, bad + "x[1]\")。", 5},
        {"SHEET_NAME=Sheet1 MODE=READ", 0, "Sheet1", 5}, {"MODE=UPDATE SHEET_NAME=Sheet2", 0, "Sheet2", 5},
        {"MODE=READ SHEET_NAME=sales", -801, bad + "sales\")。", 5}, {"COLOR=RED", -3, "TXLS-02200 サポート外のキーワードです(\"COLOR\")。", 5},
        {"MODE=DELETE", -3, "TXLS-02200 サポート外のキーワードです(\"DELETE\")。", 5},
        {"SHEET_NAME A", -3, "TXLS-02303 引数列のイコール(=)部分が不正です(\"A\")。", 5}, {"SHEET_NAME=", -3, "-", 5},
        {"MODE=TEMPLATE", -3, "TXLS-02322 テンプレートシート名が指定されていません。", 5},
        {"TEMPLATE=Missing", -801, "TXLS-03002 テンプレートシート(\"Missing\")が取得できません。", 5},
        {"TEMPLATE=Sales SHEET_NAME=Copy", 0, "Copy", 6}, {sjis("テンプレート=Sales"), 0, "Sheet7", 7},
        {sjis("シート=売上 モード=新規"), 0, sjis("売上"), 8},
        {"SHEET_NAME=" + std::string(40, 'a'), 0, std::string(29, 'a'), 9},  // shortened
        {"SHEET_NAME=" + std::string(31, 'b'), 0, std::string(31, 'b'), 10},
    };
    for (const auto &c : cases) {
        const int before = store().current_sheet;
        EXPECT_EQ(TXLS_open_sheet(&book, c.options.c_str()), c.rc) << c.options;
        EXPECT_EQ(TXLS_error_code(&book), c.rc) << c.options;
        EXPECT_EQ(TXLS_sheet_num(&book), c.count) << c.options;
        if (c.rc == 0) { EXPECT_EQ(name(store().current_sheet), c.message_or_name) << c.options; }
        if (c.rc != 0) { EXPECT_EQ(store().current_sheet, before) << c.options; }
        if (c.rc != 0 && c.message_or_name != "-") { EXPECT_EQ(message(), c.message_or_name) << c.options; }
    }
    EXPECT_EQ(store().sheets[5]->template_source, 4);
    EXPECT_EQ(store().sheets[7]->name, "売上");
    EXPECT_EQ(TXLS_open_sheet(&book, nullptr), -3);
    store().from_file = true;
    EXPECT_EQ(TXLS_open_sheet(&book, "SHEET_NAME=New"), -3);
    EXPECT_EQ(message(), "TXLS-02209 テンプレートモードではシートを追加することはできません。");
}

TEST_F(Sheets, IndexRowAndColumnQueries) {
    EXPECT_EQ(TXLS_row_num(&book), 0);  // no sheet yet
    ASSERT_EQ(TXLS_open_sheet(&book, "SHEET_NAME=A"), 0);
    ASSERT_EQ(TXLS_open_sheet(&book, "SHEET_NAME=B"), 0);
    EXPECT_EQ(TXLS_open_sheet2(&book, 0), 0);
    EXPECT_EQ(store().current_sheet, 0);
    EXPECT_EQ(TXLS_open_sheet2(&book, 2), -801);
    EXPECT_EQ(TXLS_open_sheet2(&book, -1), -801);
    char out[8] = "zzz", tiny[1];
    EXPECT_EQ(TXLS_sheet_name(&book, 5, out, 1), -801);
    EXPECT_STREQ(out, "");
    EXPECT_EQ(TXLS_sheet_name(&book, 0, tiny, 1), -909);
    EXPECT_EQ(TXLS_row_num(&book), 0);
    ASSERT_EQ(TXLS_put_cell(&book, "C5", "x"), 0);
    ASSERT_EQ(TXLS_put_cell(&book, "A2", "1"), 0);
    EXPECT_EQ(TXLS_row_num(&book), 5);
    for (auto [row, columns] : {std::pair{4, 3}, {1, 1}, {0, 0}, {5, 0}, {-1, 0}}) EXPECT_EQ(TXLS_column_num(&book, row), columns) << row;
    // Emptying the last cell: the count scans back over empty slots.
    ASSERT_EQ(TXLS_put_cell(&book, "E5", "y"), 0);
    ASSERT_EQ(TXLS_put_cell(&book, "E5", ""), 0);
    EXPECT_EQ(TXLS_column_num(&book, 4), 3);
}
