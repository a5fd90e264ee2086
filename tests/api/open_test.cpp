// Opening books: option keys and their Japanese synonyms, character sets, the failure table,
// and the error state handed to callers in each character set.

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "api/open_options.h"
#include "support/files.h"
#include "support/fixtures.h"

using namespace tabsmith;
using tabsmith::testing::BookTest;
using tabsmith::testing::sjis;

namespace {

class OpenBook : public BookTest {};

std::string cwd_join(const std::string &name) { return std::filesystem::current_path().string() + "/" + name; }

}  // namespace

TEST_F(OpenBook, NullOptionsCreateBook1InTheCurrentDirectory) {
    EXPECT_EQ(open(nullptr), 0);
    EXPECT_EQ(TXLS_error_code(&book), 0);
    ASSERT_NE(book.work, nullptr);
    EXPECT_EQ(static_cast<Book *>(book.work)->file_name, cwd_join("Book1.xlsx"));
    EXPECT_EQ(TXLS_sheet_num(&book), 0);
}

TEST(ExtensionRule, NamesGetXlsxUnlessTheyAlreadySayWhatTheyAre) {
    EXPECT_EQ(apply_extension_rule("report"), "report.xlsx");
    EXPECT_EQ(apply_extension_rule("a.b"), "a.b.xlsx");           // shorter than 6 bytes
    EXPECT_EQ(apply_extension_rule("dir\\report"), "dir\\report");  // has a backslash
    EXPECT_EQ(apply_extension_rule("old.xls"), "old.xls");
    EXPECT_EQ(apply_extension_rule("macro.XLSM"), "macro.XLSM");
    EXPECT_EQ(apply_extension_rule("data.csv"), "data.csv");
    EXPECT_EQ(apply_extension_rule(".xlsx"), ".xlsx.xlsx");
    EXPECT_EQ(apply_extension_rule(""), ".xlsx");
}

TEST(WorkingPath, RelativeNamesJoinTheCurrentDirectory) {
    EXPECT_EQ(working_path("/abs/x.xlsx"), "/abs/x.xlsx");
    EXPECT_EQ(working_path("\\abs\\x.xlsx"), "/abs/x.xlsx");
    EXPECT_EQ(working_path("sub\\x.xlsx"), cwd_join("sub/x.xlsx"));
}

TEST_F(OpenBook, BookKeyAndSynonymsSetTheSaveName) {
    EXPECT_EQ(open("MODE=CREATE BOOK=report"), 0);
    EXPECT_EQ(static_cast<Book *>(book.work)->file_name, cwd_join("report.xlsx"));
    EXPECT_EQ(open("excel=\"my report.xlsx\""), 0);
    EXPECT_EQ(static_cast<Book *>(book.work)->file_name, cwd_join("my report.xlsx"));
    EXPECT_EQ(open(sjis("ブック=報告書 モード=新規").c_str()), 0);
    EXPECT_EQ(static_cast<Book *>(book.work)->file_name, cwd_join("報告書.xlsx"));
    EXPECT_EQ(open("BOOK=/tmp/x/y"), 0);
    EXPECT_EQ(static_cast<Book *>(book.work)->file_name, "/tmp/x/y.xlsx");
}

TEST_F(OpenBook, CharsetSwitchAppliesToTheKeysAfterIt) {
    // The synonym is read as UTF-8 only once CHARSET=UTF8 is in force.
    EXPECT_EQ(open("CHARSET=UTF8 ブック=報告"), 0);
    Book *b = static_cast<Book *>(book.work);
    EXPECT_EQ(b->charset, kUtf8);
    EXPECT_EQ(b->file_name, cwd_join("報告.xlsx"));
    EXPECT_EQ(open("CHARSET=EUC"), 0);
    EXPECT_EQ(static_cast<Book *>(book.work)->charset, kEuc);
    EXPECT_EQ(open("CHARSET=KOI8"), 0);  // unknown sets are ignored
    EXPECT_EQ(static_cast<Book *>(book.work)->charset, kSjis);
    EXPECT_EQ(open((sjis("キャラクタセット") + "=utf8").c_str()), 0);
    EXPECT_EQ(static_cast<Book *>(book.work)->charset, kUtf8);
}

TEST_F(OpenBook, ModeWordsAreCaseInsensitiveAndUnknownOnesFail) {
    EXPECT_EQ(open("MODE=create"), 0);
    EXPECT_EQ(open("MODE=VIEW"), -3);
    EXPECT_EQ(TXLS_error_code(&book), -3);
    EXPECT_EQ(message(), "TXLS-02200 サポート外のキーワードです(\"VIEW\")。");
    EXPECT_EQ(book.work, nullptr);
    EXPECT_EQ(open("COLOR=RED"), -3);
    EXPECT_EQ(message(), "TXLS-02200 サポート外のキーワードです(\"COLOR\")。");
}

TEST_F(OpenBook, MissingEqualsOrValue) {
    EXPECT_EQ(open("MODE CREATE"), -3);
    EXPECT_EQ(message(), "TXLS-02303 引数列のイコール(=)部分が不正です(\"CREATE\")。");
    EXPECT_EQ(open("MODE=CREATE BOOK"), -3);
    EXPECT_EQ(message(), "");
    EXPECT_EQ(open("BOOK="), -3);
    EXPECT_EQ(message(), "");
}

TEST_F(OpenBook, OverLongNamesAreRefused) {
    std::string name(257, 'n');
    EXPECT_EQ(open(("BOOK=" + name).c_str()), -3);
    EXPECT_EQ(message(), "TXLS-00005 ファイル名が長すぎます。");
    EXPECT_EQ(open(("TEMPLATE=" + name).c_str()), -3);
    EXPECT_EQ(open(("BOOK=" + std::string(256, 'n')).c_str()), 0);
    // The limit is counted in Shift-JIS bytes: 129 kanji are 258 bytes.
    std::string kanji;
    for (int i = 0; i < 129; ++i) kanji += "表";
    EXPECT_EQ(open(("CHARSET=UTF8 BOOK=" + kanji).c_str()), -3);
}

TEST_F(OpenBook, VersionAndRecordSizeChecks) {
    EXPECT_EQ(open("VERSION=2.0.4.0"), 0);
    EXPECT_EQ(open("VERSION=1.0"), -1);
    EXPECT_EQ(message(), "TXLS-00901 呼び出し側(\"1.0\")と共有ライブラリ側(\"2.0.4.0\")でバージョンが異なります。");
    std::string ok = "XLS_BOOK=" + std::to_string(sizeof(XLS_BOOK));
    EXPECT_EQ(open(ok.c_str()), 0);
    EXPECT_EQ(open("XLS_BOOK=100"), -1);
    EXPECT_EQ(message(), "TXLS-00902 構造体XLS_BOOKのサイズが異なります。(\"CALL側:100byte DLL側:" +
                             std::to_string(sizeof(XLS_BOOK)) + "byte\")。");
}

TEST_F(OpenBook, MissingWorkbookGivesOpenErrorAndNoBook) {
    EXPECT_EQ(open("MODE=READ BOOK=/nonexistent/dir/none.xlsx"), -101);
    EXPECT_EQ(TXLS_error_code(&book), -101);
    EXPECT_EQ(message(), "TXLS-03101 Excelファイルオープンエラー(\"/nonexistent/dir/none.xlsx\")。");
    EXPECT_EQ(book.work, nullptr);
    for (const char *mode : {"UPDATE", "LOAD", "UNLOAD", "LIST"}) {
        EXPECT_EQ(open((std::string("MODE=") + mode + " BOOK=/nonexistent/none.xlsx").c_str()), -101) << mode;
    }
    EXPECT_EQ(open("TEMPLATE=/nonexistent/t.xlsx BOOK=out"), -101);
    EXPECT_EQ(open("MODE=READ READ_MEMORY=TRUE BOOK=not-in-memory.xlsx"), -101);
    EXPECT_EQ(message(), "TXLS-03101 Excelファイルオープンエラー(\"not-in-memory.xlsx\")。");
}

TEST_F(OpenBook, ExistingFileWithoutAReaderIsUnsupported) {
    std::string path = ::testing::TempDir() + "existing.xlsx";
    std::ofstream(path) << "not really a workbook";
    EXPECT_EQ(open(("MODE=READ BOOK=" + path).c_str()), -4);
    EXPECT_EQ(message(), "TXLS-00900 サポート外のファイルです(\"" + path + "\")。");
    EXPECT_EQ(book.work, nullptr);
    // A folder can be opened but not read.
    EXPECT_EQ(open(("MODE=READ BOOK=" + ::testing::TempDir() + ".").c_str()), -101);
    EXPECT_EQ(TXLS_error_code(&book), -102);
}

TEST_F(OpenBook, ReopeningARecordReleasesItsBook) {
    ASSERT_EQ(open("MODE=CREATE"), 0);
    ASSERT_EQ(TXLS_open_sheet(&book, "SHEET_NAME=A"), 0);
    ASSERT_EQ(open("MODE=CREATE"), 0);
    EXPECT_EQ(TXLS_sheet_num(&book), 0);
}

TEST(ErrorState, MessagesArriveInTheBooksCharacterSet) {
    const std::string text = "TXLS-02200 サポート外のキーワードです(\"VIEW\")。";
    for (auto [options, set] : {std::pair{"MODE=CREATE", kSjis}, {"CHARSET=EUC", kEuc}, {"CHARSET=UTF8", kUtf8}}) {
        XLS_BOOK book{};
        ASSERT_EQ(TXLS_open_book(&book, options), 0);
        EXPECT_EQ(TXLS_open_sheet(&book, "MODE=VIEW"), -3);
        EXPECT_EQ(std::string(TXLS_error_mesg(&book)), from_utf8(text, set)) << options;
        // The record always keeps Shift-JIS.
        EXPECT_EQ(std::string(book.log.error_info), from_utf8(text, kSjis));
        // A later success clears the code and keeps the message.
        EXPECT_EQ(TXLS_open_sheet(&book, "SHEET_NAME=S"), 0);
        EXPECT_EQ(TXLS_error_code(&book), 0);
        EXPECT_EQ(std::string(TXLS_error_mesg(&book)), from_utf8(text, set));
        TXLS_free_book(&book);
        // A freed book hands out Shift-JIS.
        EXPECT_EQ(std::string(TXLS_error_mesg(&book)), from_utf8(text, kSjis));
    }
}

TEST(ErrorState, OverLongMessagesAreNeverHandedOutAndNeverOverflow) {
    XLS_BOOK book{};
    ASSERT_EQ(TXLS_open_book(&book, "CHARSET=UTF8"), 0);
    Book *b = static_cast<Book *>(book.work);
    std::string huge(20000, 'x');
    b->err.raise(-3, Msg::k02200, huge.c_str());
    EXPECT_EQ(std::strlen(book.log.error_info), 6000u);
    EXPECT_STREQ(TXLS_error_mesg(&book), "TXLS-4000 book->log.error_info too long");
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

TEST(ErrorState, NullRecordsAndClosedBooks) {
    EXPECT_EQ(TXLS_open_book(nullptr, "MODE=CREATE"), -3);
    EXPECT_EQ(TXLS_free_book(nullptr), -3);
    EXPECT_EQ(TXLS_close_book(nullptr, "SAVE"), -3);
    EXPECT_EQ(TXLS_error_mesg(nullptr), nullptr);
    EXPECT_EQ(TXLS_error_code(nullptr), -3);
    XLS_BOOK never{};
    EXPECT_EQ(TXLS_free_book(&never), 0);
    EXPECT_EQ(TXLS_close_book(&never, "SAVE"), 0);
    EXPECT_STREQ(TXLS_error_mesg(&never), "");
    EXPECT_EQ(TXLS_open_sheet(&never, "SHEET_NAME=A"), -3);
    EXPECT_EQ(TXLS_sheet_num(&never), 0);
}

TEST(Version, WritesTheVersionAndGuardsTheBuffer) {
    XLS_BOOK book{};
    char out[16];
    EXPECT_EQ(TXLS_version(&book, out, sizeof out), 0);
    EXPECT_STREQ(out, "2.0.4.0");
    char small[4] = {'x', 'x', 'x', 'x'};
    EXPECT_EQ(TXLS_version(nullptr, small, sizeof small), -909);
    EXPECT_EQ(small[0], '\0');
    EXPECT_EQ(TXLS_version(&book, nullptr, 8), -3);
    EXPECT_EQ(TXLS_debug(nullptr), 0);
}
