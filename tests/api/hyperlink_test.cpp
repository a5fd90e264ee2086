// TXLS_sheet_hyperlink and TXLS_external_hyperlink: the links they record, their results and
// messages, the book's character set, and a saved book that carries the links.

#include <gtest/gtest.h>

#include <string>

#include "common/fixtures.h"
#include "model/annotations.h"

using namespace tabsmith;
using tabsmith::testing::SheetTest;
using tabsmith::testing::sjis;

namespace {

class HyperlinkCalls : public SheetTest {
protected:
    const std::vector<Hyperlink> &links() { return store().sheets[0]->annotations.hyperlinks; }
};

}  // namespace

TEST_F(HyperlinkCalls, LinksOnWrittenCellsOfTheCurrentSheet) {
    ASSERT_EQ(TXLS_put_cell(&book, "A1", "to the totals"), 0);
    ASSERT_EQ(TXLS_put_cell(&book, "A2", "mail"), 0);
    ASSERT_EQ(TXLS_put_cell(&book, "A3", "site"), 0);
    EXPECT_EQ(TXLS_sheet_hyperlink(&book, "A1", "集計", "$C$10"), 0);
    EXPECT_EQ(TXLS_external_hyperlink(&book, "A2", "sales@example.co.jp"), 0);
    EXPECT_EQ(TXLS_external_hyperlink(&book, "A3", "https://example.com/q?x=1&y=\"2\""), 0);
    ASSERT_EQ(links().size(), 3u);
    EXPECT_EQ(links()[0].kind, HyperlinkKind::kInBook);
    EXPECT_EQ(links()[0].target_sheet, "集計");
    EXPECT_EQ(links()[0].target_row, 10);
    EXPECT_EQ(links()[0].target_column, 3);
    EXPECT_EQ(links()[1].kind, HyperlinkKind::kExternal);
    EXPECT_EQ(links()[1].target, "mailto:sales@example.co.jp");
    EXPECT_EQ(links()[2].target, "https://example.com/q?x=1&y=\"2\"");
    EXPECT_EQ(book.error_code, 0);
}

TEST_F(HyperlinkCalls, ResultsForNamesCellsAndLimits) {
    ASSERT_EQ(TXLS_put_cell(&book, "B2", "x"), 0);
    const std::string long_name(94, 'n');
    struct Case {
        int rc;
        int (*call)(XLS_BOOK *, const std::string &);
        std::string message;   // "-": not checked
    } cases[] = {
        {-3, [](XLS_BOOK *b, const std::string &) { return TXLS_external_hyperlink(b, "B2:C3", "x"); },
         "TXLS-02300 セル指定値が不正です(\"B2:C3\")。"},
        {-3, [](XLS_BOOK *b, const std::string &) { return TXLS_external_hyperlink(b, "C9", "x"); },
         "TXLS-02300 セル指定値が不正です(\"C9\")。"},   // no such cell
        {-3, [](XLS_BOOK *b, const std::string &) { return TXLS_sheet_hyperlink(b, "1B", "S", "A1"); }, "-"},
        {-3, [](XLS_BOOK *b, const std::string &) { return TXLS_sheet_hyperlink(b, "B2", "S", "A0"); },
         "TXLS-02300 セル指定値が不正です(\"A0\")。"},
        {-3, [](XLS_BOOK *b, const std::string &) { return TXLS_sheet_hyperlink(b, "B2", "S", "A*"); }, "-"},
        {-3, [](XLS_BOOK *b, const std::string &) { return TXLS_sheet_hyperlink(b, "B2", "", "A1"); }, "-"},
        {-3, [](XLS_BOOK *b, const std::string &) { return TXLS_external_hyperlink(b, "B2", ""); }, "-"},
        {-3, [](XLS_BOOK *b, const std::string &) { return TXLS_external_hyperlink(b, "B2", nullptr); }, "-"},
        {-909, [](XLS_BOOK *b, const std::string &name) { return TXLS_sheet_hyperlink(b, "B2", name.c_str(), "A1"); },
         "TXLS-03009 バッファサイズ(\"94\")オーバー(\"tsx_set_hyperlink() XLS_SHEET_LEN\")。"},
        {0, [](XLS_BOOK *b, const std::string &name) {
             return TXLS_sheet_hyperlink(b, "B2", name.substr(1).c_str(), "A1");   // 93 bytes fit
         }, ""},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(c.call(&book, long_name), c.rc) << c.message;
        EXPECT_EQ(book.error_code, c.rc);
        if (c.message != "-") EXPECT_EQ(c.rc == 0 ? "" : message(), c.message);
    }
    EXPECT_EQ(links().size(), 1u);
    EXPECT_EQ(TXLS_external_hyperlink(nullptr, "B2", "x"), -3);
}

TEST_F(HyperlinkCalls, TextsArriveInTheBookCharacterSet) {
    reopen("SJIS", sjis("売上"));
    ASSERT_EQ(TXLS_put_cell(&book, "A1", sjis("戻る").c_str()), 0);
    ASSERT_EQ(TXLS_sheet_hyperlink(&book, "A1", sjis("目次").c_str(), "B2"), 0);
    ASSERT_EQ(TXLS_external_hyperlink(&book, sjis("売上!A1").c_str(), sjis("担当@例.jp").c_str()), 0);
    ASSERT_EQ(links().size(), 1u) << "the second link replaces the first on the same cell";
    EXPECT_EQ(links()[0].target, "mailto:担当@例.jp");
    // The in-value form in Shift-JIS too.
    ASSERT_EQ(TXLS_put_cell(&book, "A2", sjis("#目次!A1\"先頭へ\"").c_str()), 0);
    EXPECT_EQ(value("A2"), sjis("先頭へ"));
    EXPECT_EQ(links()[1].target_sheet, "目次");
}
