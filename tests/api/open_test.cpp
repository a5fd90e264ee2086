// Opening books: option keys and their Japanese synonyms, character sets, the failure table,
// the save-name rules, and the error state handed to callers in each character set.

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "api/open_options.h"
#include "common/fixtures.h"
#include "support/files.h"

using namespace tabsmith;
using tabsmith::testing::BookTest;
using tabsmith::testing::sjis;

namespace {

class OpenBook : public BookTest {};

std::string cwd_join(const std::string &name) { return std::filesystem::current_path().string() + "/" + name; }

std::string kanji(int count) {
    std::string out;
    for (int i = 0; i < count; ++i) out += "表";
    return out;
}

}  // namespace

TEST_F(OpenBook, AcceptedOptionsSetTheSaveNameAndCharacterSet) {
    const std::string record_size = "XLS_BOOK=" + std::to_string(sizeof(XLS_BOOK));
    struct Case {
        std::string options;
        std::string file_name;  // relative names join the current folder
        int charset;
    } cases[] = {
        {"", "Book1.xlsx", kSjis},
        {"MODE=CREATE BOOK=report", "report.xlsx", kSjis},
        {"excel=\"my report.xlsx\"", "my report.xlsx", kSjis},
        {sjis("ブック=報告書 モード=新規"), "報告書.xlsx", kSjis},
        {"BOOK=/srv/x/y", "/srv/x/y.xlsx", kSjis},
        // The synonym is read as UTF-8 only once CHARSET=UTF8 is in force.
        {"CHARSET=UTF8 ブック=報告", "報告.xlsx", kUtf8},
        {"CHARSET=EUC", "Book1.xlsx", kEuc},
        {"CHARSET=KOI8", "Book1.xlsx", kSjis},  // unknown sets are ignored
        {sjis("キャラクタセット") + "=utf8", "Book1.xlsx", kUtf8},
        {"MODE=create VERSION=2.0.4.0 " + record_size, "Book1.xlsx", kSjis},
        {"BOOK=" + std::string(256, 'n'), std::string(256, 'n') + ".xlsx", kSjis},
    };
    ASSERT_EQ(open(nullptr), 0);
    EXPECT_EQ(store().file_name, cwd_join("Book1.xlsx"));
    EXPECT_EQ(TXLS_sheet_num(&book), 0);
    for (const Case &c : cases) {
        ASSERT_EQ(open(c.options.c_str()), 0) << c.options;
        EXPECT_EQ(TXLS_error_code(&book), 0);
        EXPECT_EQ(store().file_name, c.file_name[0] == '/' ? c.file_name : cwd_join(c.file_name)) << c.options;
        EXPECT_EQ(store().charset, c.charset) << c.options;
    }
}

TEST_F(OpenBook, RefusedOptionsLeaveNoBookAndSayWhy) {
    const std::string record = "TXLS-00902 構造体XLS_BOOKのサイズが異なります。(\"CALL側:100byte DLL側:" +
                               std::to_string(sizeof(XLS_BOOK)) + "byte\")。";
    const std::string open_error = "TXLS-03101 Excelファイルオープンエラー(\"";
    struct Case {
        std::string options;
        int rc;
        std::string message;  // "-" = not checked
    } cases[] = {
        {"MODE=VIEW", -3, "TXLS-02200 サポート外のキーワードです(\"VIEW\")。"},
        {"COLOR=RED", -3, "TXLS-02200 サポート外のキーワードです(\"COLOR\")。"},
        {"MODE CREATE", -3, "TXLS-02303 引数列のイコール(=)部分が不正です(\"CREATE\")。"}, {"MODE=CREATE BOOK", -3, ""},
        {"BOOK=", -3, ""}, {"BOOK=" + std::string(257, 'n'), -3, "TXLS-00005 ファイル名が長すぎます。"},
        {"TEMPLATE=" + std::string(257, 'n'), -3, "TXLS-00005 ファイル名が長すぎます。"},
        // The limit is counted in Shift-JIS bytes: 129 kanji are 258 bytes.
        {"CHARSET=UTF8 BOOK=" + kanji(129), -3, "TXLS-00005 ファイル名が長すぎます。"},
        {"VERSION=1.0", -1, "TXLS-00901 呼び出し側(\"1.0\")と共有ライブラリ側(\"2.0.4.0\")でバージョンが異なります。"},
        {"XLS_BOOK=100", -1, record},
        {"MODE=READ BOOK=/nonexistent/dir/none.xlsx", -101, open_error + "/nonexistent/dir/none.xlsx\")。"},
        {"MODE=UPDATE BOOK=/nonexistent/none.xlsx", -101, "-"}, {"MODE=LOAD BOOK=/nonexistent/none.xlsx", -101, "-"},
        {"MODE=UNLOAD BOOK=/nonexistent/none.xlsx", -101, "-"}, {"MODE=LIST BOOK=/nonexistent/none.xlsx", -101, "-"},
        {"TEMPLATE=/nonexistent/t.xlsx BOOK=out", -101, "-"},
        {"MODE=READ READ_MEMORY=TRUE BOOK=not-in-memory.xlsx", -101, open_error + "not-in-memory.xlsx\")。"},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(open(c.options.c_str()), c.rc) << c.options;
        EXPECT_EQ(TXLS_error_code(&book), c.rc) << c.options;
        EXPECT_EQ(book.work, nullptr) << c.options;
        if (c.message != "-") {
            EXPECT_EQ(message(), c.message) << c.options;
        }
    }
}

TEST_F(OpenBook, ExistingFileWithoutAReaderIsUnsupported) {
    tabsmith::testing::TempFolder folder;
    std::string path = folder.write("existing.xlsx", "not really a workbook");
    EXPECT_EQ(open(("MODE=READ BOOK=" + path).c_str()), -4);
    EXPECT_EQ(message(), "TXLS-00900 サポート外のファイルです(\"" + path + "\")。");
    EXPECT_EQ(book.work, nullptr);
    // A folder, a FIFO and a device are no workbook files: refused at the open, never read.
    EXPECT_EQ(open(("MODE=READ BOOK=" + folder.path() + "/.").c_str()), -101);
    EXPECT_EQ(TXLS_error_code(&book), -101);
    EXPECT_EQ(open("MODE=READ BOOK=/dev/zero"), -101);
}

TEST_F(OpenBook, ReopeningARecordReleasesItsBook) {
    ASSERT_EQ(open("MODE=CREATE"), 0);
    ASSERT_EQ(TXLS_open_sheet(&book, "SHEET_NAME=A"), 0);
    ASSERT_EQ(open("MODE=CREATE"), 0);
    EXPECT_EQ(TXLS_sheet_num(&book), 0);
}

TEST(SaveName, ExtensionRuleAndWorkingPath) {
    const std::pair<const char *, const char *> extension[] = {
        {"report", "report.xlsx"},       {"a.b", "a.b.xlsx"},  // shorter than 6 bytes
        {"dir\\report", "dir\\report"},  // has a backslash
        {"old.xls", "old.xls"},          {"macro.XLSM", "macro.XLSM"}, {"data.csv", "data.csv"},
        {".xlsx", ".xlsx.xlsx"},         {"", ".xlsx"},
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
        EXPECT_EQ(std::string(book.log.error_info), from_utf8(text, kSjis));  // the record keeps Shift-JIS
        // A later success clears the code and keeps the message.
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
        const std::string refused = std::string("CHARSET=") + charset + " MODE=VIEW";
        EXPECT_EQ(TXLS_open_book(&book, refused.c_str()), -3);
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
    // Half-width katakana grow from one byte to three in UTF-8: the caller copy still fits.
    std::string kana;
    for (int i = 0; i < 3000; ++i) kana += "ｱ";
    b->err.raise(-3, Msg::k02200, kana.c_str());
    EXPECT_LT(std::strlen(book.log.error_info), 6000u);
    std::string out = TXLS_error_mesg(&book);
    EXPECT_GT(out.size(), 6000u);
    EXPECT_LT(out.size(), sizeof book.caller_mesg);
    TXLS_free_book(&book);
}

TEST(ErrorState, NeverOpenedRecordsAndTheVersion) {
    XLS_BOOK never{};
    EXPECT_EQ(TXLS_free_book(&never), 0);
    EXPECT_EQ(TXLS_close_book(&never, "SAVE"), 0);
    EXPECT_STREQ(TXLS_error_mesg(&never), "");
    EXPECT_EQ(TXLS_open_sheet(&never, "SHEET_NAME=A"), -3);
    EXPECT_EQ(TXLS_sheet_num(&never), 0);
    char out[16];
    EXPECT_EQ(TXLS_version(&never, out, sizeof out), 0);
    EXPECT_STREQ(out, "2.0.4.0");
    char small[4] = {'x', 'x', 'x', 'x'};
    EXPECT_EQ(TXLS_version(nullptr, small, sizeof small), -909);
    EXPECT_EQ(small[0], '\0');
}
