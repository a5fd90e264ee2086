// Sheets: adding, naming, selecting, template copies and the row/column queries; closing and
// freeing books, many books in one process among them.

#include <gtest/gtest.h>

#include "common/fixtures.h"
#include "model/book.h"

using namespace tabsmith;
using tabsmith::testing::BookTest;
using tabsmith::testing::sjis;

namespace {

class Sheets : public BookTest {
protected:
    void SetUp() override { ASSERT_EQ(open("MODE=CREATE"), 0); }
    std::string name(int index) {
        char out[128] = "";
        TXLS_sheet_name(&book, index, out, sizeof out);
        return out;
    }
};

}  // namespace

TEST_F(Sheets, OpenSheetOptionsInOrder) {
    const std::string taken = "TXLS-02321 既に存在しているシート名です(\"", bad = "TXLS-02320 シート名が不正です(\"";
    const struct {
        std::string options;
        int rc;
        std::string message_or_name;  // a failure's message ("-": not checked), else the current sheet's name
        int count;                    // sheets afterwards
    } cases[] = {
        {"MODE=CREATE", 0, "Sheet1", 1},
        {"", 0, "Sheet2", 2},
        {"SHEET_NAME=Sheet4", 0, "Sheet4", 3},
        {"MODE=CREATE", 0, "Sheet5", 4},  // Sheet4 is taken
        {"SHEET_NAME=Sales", 0, "Sales", 5},
        {"SHEET_NAME=Sales", -3, taken + "Sales\")。", 5},
        {"SHEET_NAME=SALES", -3, taken + "SALES\")。", 5},  // names may not differ only in letter case
        {"SHEET_NAME=a/b", -3, bad + "a/b\")。", 5},
        {"SHEET_NAME=\"x[1]\"", -3, bad + "x[1]\")。", 5},
        {"SHEET_NAME=Sheet1 MODE=READ", 0, "Sheet1", 5},
        {"MODE=UPDATE SHEET_NAME=Sheet2", 0, "Sheet2", 5},
        {"MODE=READ SHEET_NAME=sales", -801, bad + "sales\")。", 5},
        {"COLOR=RED", -3, "TXLS-02200 サポート外のキーワードです(\"COLOR\")。", 5},
        {"MODE=DELETE", -3, "TXLS-02200 サポート外のキーワードです(\"DELETE\")。", 5},
        {"SHEET_NAME A", -3, "TXLS-02303 引数列のイコール(=)部分が不正です(\"A\")。", 5},
        {"SHEET_NAME=", -3, "-", 5},
        {"MODE=TEMPLATE", -3, "TXLS-02322 テンプレートシート名が指定されていません。", 5},
        {"TEMPLATE=Missing", -801, "TXLS-03002 テンプレートシート(\"Missing\")が取得できません。", 5},
        {"TEMPLATE=Sales SHEET_NAME=Copy", 0, "Copy", 6},
        {sjis("テンプレート=Sales"), 0, "Sheet7", 7},
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

TEST_F(Sheets, NamesInOtherCharacterSetsAndTheByteLimit) {
    ASSERT_EQ(open("CHARSET=EUC"), 0);
    EXPECT_EQ(TXLS_open_sheet(&book, from_utf8("シート=集計", kEuc).c_str()), 0);
    EXPECT_EQ(store().sheets[0]->name, "集計");
    // 29 four-byte characters are still more than 93 bytes.
    std::string emoji;
    for (int i = 0; i < 35; ++i) emoji += "😀";
    ASSERT_EQ(open("CHARSET=UTF8"), 0);
    EXPECT_EQ(TXLS_open_sheet(&book, ("SHEET_NAME=" + emoji).c_str()), -909);
    EXPECT_EQ(message(), "TXLS-03009 バッファサイズ(\"93\")オーバー(\"XLS_SHEET_LEN\")。");
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
    EXPECT_EQ(TXLS_sheet_name(&book, 5, out, sizeof out), -801);
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

// The close options decide about saving (the last word wins); a book left to the process's end
// releases all it owns, which LeakSanitizer checks in the sanitizer build.
TEST(Lifecycle, CloseOptionsAndTenThousandBooks) {
    XLS_BOOK book{};
    for (const std::string &options : {std::string("SAVE DESTROY"), sjis("破棄")}) {
        ASSERT_EQ(TXLS_open_book(&book, "MODE=CREATE"), 0);
        EXPECT_EQ(TXLS_close_book(&book, options.c_str()), 0);
        EXPECT_EQ(book.work, nullptr);
    }
    ASSERT_EQ(TXLS_open_book(&book, "MODE=CREATE"), 0);
    EXPECT_EQ(TXLS_close_book(&book, nullptr), 0);
    EXPECT_EQ(book.work, nullptr);
    EXPECT_EQ(TXLS_free_book(&book), 0);
    for (int i = 0; i < 10000; ++i) {
        ASSERT_EQ(TXLS_open_book(&book, "MODE=CREATE BOOK=leak"), 0);
        ASSERT_EQ(TXLS_open_sheet(&book, "SHEET_NAME=S"), 0);
        ASSERT_EQ(TXLS_put_cell(&book, "A1", "some text"), 0);
        ASSERT_EQ(TXLS_put_cell(&book, "B2", "=A1"), 0);
        ASSERT_EQ(TXLS_put_variable(&book, "K", "V"), 0);
        ASSERT_EQ(i % 2 ? TXLS_free_book(&book) : TXLS_close_book(&book, "DESTROY"), 0);
    }
}
