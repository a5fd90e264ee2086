// Sheets: adding, naming, selecting, template copies and the row/column queries; closing and
// freeing books, including many books in one process.

#include <gtest/gtest.h>

#include "model/book.h"
#include "support/fixtures.h"

using namespace tabsmith;
using tabsmith::testing::BookTest;
using tabsmith::testing::sjis;

namespace {

class Sheets : public BookTest {
protected:
    void SetUp() override { ASSERT_EQ(open("MODE=CREATE"), 0); }
    std::string name(int index) {
        char out[128];
        EXPECT_EQ(TXLS_sheet_name(&book, index, out, sizeof out), 0);
        return out;
    }
    Book &store() { return *static_cast<Book *>(book.work); }
};

}  // namespace

TEST_F(Sheets, CreateWithoutANameTakesTheFirstFreeSheetNumber) {
    EXPECT_EQ(TXLS_open_sheet(&book, "MODE=CREATE"), 0);
    EXPECT_EQ(TXLS_open_sheet(&book, ""), 0);
    EXPECT_EQ(TXLS_sheet_num(&book), 2);
    EXPECT_EQ(name(0), "Sheet1");
    EXPECT_EQ(name(1), "Sheet2");
    EXPECT_EQ(TXLS_open_sheet(&book, "SHEET_NAME=Sheet4"), 0);
    EXPECT_EQ(TXLS_open_sheet(&book, "MODE=CREATE"), 0);  // Sheet4 is taken: Sheet5
    EXPECT_EQ(name(3), "Sheet5");
    EXPECT_EQ(store().current_sheet, 3);
}

TEST_F(Sheets, DuplicateAndInvalidNamesAreRefused) {
    ASSERT_EQ(TXLS_open_sheet(&book, "SHEET_NAME=Sales"), 0);
    EXPECT_EQ(TXLS_open_sheet(&book, "SHEET_NAME=Sales"), -3);
    EXPECT_EQ(message(), "TXLS-02321 既に存在しているシート名です(\"Sales\")。");
    // A workbook cannot hold two sheets whose names differ only in letter case.
    EXPECT_EQ(TXLS_open_sheet(&book, "SHEET_NAME=SALES"), -3);
    EXPECT_EQ(TXLS_open_sheet(&book, "SHEET_NAME=a/b"), -3);
    EXPECT_EQ(message(), "TXLS-02320 シート名が不正です(\"a/b\")。");
    EXPECT_EQ(TXLS_open_sheet(&book, "SHEET_NAME=\"x[1]\""), -3);
    EXPECT_EQ(TXLS_sheet_num(&book), 1);
    EXPECT_EQ(store().current_sheet, 0);
}

TEST_F(Sheets, SelectByExactName) {
    ASSERT_EQ(TXLS_open_sheet(&book, "SHEET_NAME=One"), 0);
    ASSERT_EQ(TXLS_open_sheet(&book, "SHEET_NAME=Two"), 0);
    EXPECT_EQ(TXLS_open_sheet(&book, "SHEET_NAME=One MODE=READ"), 0);
    EXPECT_EQ(store().current_sheet, 0);
    EXPECT_EQ(TXLS_open_sheet(&book, "MODE=UPDATE SHEET_NAME=Two"), 0);
    EXPECT_EQ(store().current_sheet, 1);
    EXPECT_EQ(TXLS_open_sheet(&book, "MODE=READ SHEET_NAME=one"), -801);
    EXPECT_EQ(message(), "TXLS-02320 シート名が不正です(\"one\")。");
    EXPECT_EQ(TXLS_error_code(&book), -801);
    EXPECT_EQ(store().current_sheet, 1);
}

TEST_F(Sheets, JapaneseKeysValuesAndNamesInEachCharacterSet) {
    EXPECT_EQ(TXLS_open_sheet(&book, sjis("シート=売上 モード=新規").c_str()), 0);
    EXPECT_EQ(store().sheets[0]->name, "売上");
    EXPECT_EQ(name(0), sjis("売上"));
    XLS_BOOK euc{};
    ASSERT_EQ(TXLS_open_book(&euc, "CHARSET=EUC"), 0);
    EXPECT_EQ(TXLS_open_sheet(&euc, from_utf8("シート=集計", kEuc).c_str()), 0);
    EXPECT_EQ(static_cast<Book *>(euc.work)->sheets[0]->name, "集計");
    TXLS_free_book(&euc);
}

TEST_F(Sheets, LongNamesAreShortenedAndOverLongOnesFail) {
    ASSERT_EQ(TXLS_open_sheet(&book, ("SHEET_NAME=" + std::string(40, 'a')).c_str()), 0);
    EXPECT_EQ(store().sheets[0]->name, std::string(29, 'a'));
    ASSERT_EQ(TXLS_open_sheet(&book, ("SHEET_NAME=" + std::string(31, 'b')).c_str()), 0);
    EXPECT_EQ(store().sheets[1]->name, std::string(31, 'b'));
    // 29 four-byte characters are still more than 93 bytes.
    std::string emoji;
    for (int i = 0; i < 35; ++i) emoji += "😀";
    XLS_BOOK utf{};
    ASSERT_EQ(TXLS_open_book(&utf, "CHARSET=UTF8"), 0);
    EXPECT_EQ(TXLS_open_sheet(&utf, ("SHEET_NAME=" + emoji).c_str()), -909);
    EXPECT_EQ(to_utf8(utf.log.error_info, kSjis), "TXLS-03009 バッファサイズ(\"93\")オーバー(\"XLS_SHEET_LEN\")。");
    TXLS_free_book(&utf);
}

TEST_F(Sheets, OptionErrors) {
    EXPECT_EQ(TXLS_open_sheet(&book, nullptr), -3);
    EXPECT_EQ(TXLS_open_sheet(&book, "COLOR=RED"), -3);
    EXPECT_EQ(message(), "TXLS-02200 サポート外のキーワードです(\"COLOR\")。");
    EXPECT_EQ(TXLS_open_sheet(&book, "MODE=DELETE"), -3);
    EXPECT_EQ(TXLS_open_sheet(&book, "SHEET_NAME A"), -3);
    EXPECT_EQ(message(), "TXLS-02303 引数列のイコール(=)部分が不正です(\"A\")。");
    EXPECT_EQ(TXLS_open_sheet(&book, "SHEET_NAME="), -3);
}

TEST_F(Sheets, TemplateCopiesRecordTheirSource) {
    ASSERT_EQ(TXLS_open_sheet(&book, "SHEET_NAME=Base"), 0);
    EXPECT_EQ(TXLS_open_sheet(&book, "MODE=TEMPLATE"), -3);
    EXPECT_EQ(message(), "TXLS-02322 テンプレートシート名が指定されていません。");
    EXPECT_EQ(TXLS_open_sheet(&book, "TEMPLATE=Missing"), -801);
    EXPECT_EQ(message(), "TXLS-03002 テンプレートシート(\"Missing\")が取得できません。");
    EXPECT_EQ(TXLS_open_sheet(&book, "TEMPLATE=Base SHEET_NAME=Copy"), 0);
    EXPECT_EQ(store().sheets[1]->template_source, 0);
    EXPECT_EQ(store().current_sheet, 1);
    EXPECT_EQ(TXLS_open_sheet(&book, sjis("テンプレート=Base").c_str()), 0);
    EXPECT_EQ(name(2), "Sheet3");
}

TEST_F(Sheets, BooksFromFilesCannotAddSheets) {
    store().from_file = true;
    EXPECT_EQ(TXLS_open_sheet(&book, "SHEET_NAME=New"), -3);
    EXPECT_EQ(message(), "TXLS-02209 テンプレートモードではシートを追加することはできません。");
}

TEST_F(Sheets, IndexQueries) {
    ASSERT_EQ(TXLS_open_sheet(&book, "SHEET_NAME=A"), 0);
    ASSERT_EQ(TXLS_open_sheet(&book, "SHEET_NAME=B"), 0);
    EXPECT_EQ(TXLS_open_sheet2(&book, 0), 0);
    EXPECT_EQ(store().current_sheet, 0);
    EXPECT_EQ(TXLS_open_sheet2(&book, 2), -801);
    EXPECT_EQ(TXLS_open_sheet2(&book, -1), -801);
    char out[8] = "zzz";
    EXPECT_EQ(TXLS_sheet_name(&book, 5, out, sizeof out), -801);
    EXPECT_STREQ(out, "");
    char tiny[1];
    EXPECT_EQ(TXLS_sheet_name(&book, 0, tiny, 1), -909);
    EXPECT_EQ(TXLS_sheet_name(&book, 0, nullptr, 0), -3);
}

TEST_F(Sheets, RowAndColumnCounts) {
    EXPECT_EQ(TXLS_row_num(&book), 0);  // no sheet yet
    ASSERT_EQ(TXLS_open_sheet(&book, "SHEET_NAME=A"), 0);
    EXPECT_EQ(TXLS_row_num(&book), 0);
    ASSERT_EQ(TXLS_put_cell(&book, "C5", "x"), 0);
    ASSERT_EQ(TXLS_put_cell(&book, "A2", "1"), 0);
    EXPECT_EQ(TXLS_row_num(&book), 5);
    EXPECT_EQ(TXLS_column_num(&book, 4), 3);
    EXPECT_EQ(TXLS_column_num(&book, 1), 1);
    EXPECT_EQ(TXLS_column_num(&book, 0), 0);
    EXPECT_EQ(TXLS_column_num(&book, 5), 0);
    EXPECT_EQ(TXLS_column_num(&book, -1), 0);
    // Emptying the last cell: the count scans back over empty slots.
    ASSERT_EQ(TXLS_put_cell(&book, "E5", "y"), 0);
    ASSERT_EQ(TXLS_put_cell(&book, "E5", ""), 0);
    EXPECT_EQ(TXLS_column_num(&book, 4), 3);
}

TEST(Lifecycle, CloseOptionsDecideAboutSaving) {
    XLS_BOOK book{};
    ASSERT_EQ(TXLS_open_book(&book, "MODE=CREATE"), 0);
    EXPECT_EQ(TXLS_close_book(&book, "SAVE DESTROY"), 0);  // the last word wins
    EXPECT_EQ(book.work, nullptr);
    ASSERT_EQ(TXLS_open_book(&book, "MODE=CREATE"), 0);
    EXPECT_EQ(TXLS_close_book(&book, sjis("破棄").c_str()), 0);
    EXPECT_EQ(book.work, nullptr);
    ASSERT_EQ(TXLS_open_book(&book, "MODE=CREATE"), 0);
    EXPECT_EQ(TXLS_close_book(&book, nullptr), 0);
    EXPECT_EQ(book.work, nullptr);
    EXPECT_EQ(TXLS_free_book(&book), 0);
}

TEST(Lifecycle, TenThousandBooksInOneProcess) {
    // Run under LeakSanitizer in the sanitizer build: every book must release all it owns.
    for (int i = 0; i < 10000; ++i) {
        XLS_BOOK book{};
        ASSERT_EQ(TXLS_open_book(&book, "MODE=CREATE BOOK=leak"), 0);
        ASSERT_EQ(TXLS_open_sheet(&book, "SHEET_NAME=S"), 0);
        ASSERT_EQ(TXLS_put_cell(&book, "A1", "some text"), 0);
        ASSERT_EQ(TXLS_put_cell(&book, "B2", "=A1"), 0);
        ASSERT_EQ(TXLS_put_variable(&book, "K", "V"), 0);
        if (i % 2) ASSERT_EQ(TXLS_free_book(&book), 0);
        else ASSERT_EQ(TXLS_close_book(&book, "DESTROY"), 0);
    }
}
