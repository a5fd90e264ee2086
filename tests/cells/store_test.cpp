// The book's store: row and cell tables within the sheet limits, shared strings, variables and
// the diagnostic log.

#include <gtest/gtest.h>

#include "model/book.h"

using namespace tabsmith;

TEST(Store, CellsAreMadeEmptyUpToTheSheetLimits) {
    Book book;
    ASSERT_EQ(add_sheet(book, "S"), 0);
    Sheet &sheet = *book.sheets[0];
    ASSERT_EQ(ensure_cell(book, sheet, 0, 20), 0);
    for (int c = 0; c < 20; ++c) EXPECT_TRUE(sheet.rows[0].cells[static_cast<std::size_t>(c)].empty());
    EXPECT_GE(sheet.columns.size(), 21u);
    ASSERT_EQ(ensure_cell(book, sheet, 1048575, 16383), 0);
    EXPECT_EQ(sheet.rows.size(), 1048576u);  // growth stops at the limit
    EXPECT_EQ(sheet.rows[1048575].cells.size(), 16384u);
    EXPECT_EQ(ensure_cell(book, sheet, 1048577, 0), -2);
    EXPECT_EQ(ensure_cell(book, sheet, 0, 16385), -2);
    EXPECT_EQ(sheet.rows[5].style, kNoRowStyle);
    EXPECT_EQ(sheet.rows[5].hidden_flag, kFlagUnset);
}

TEST(Store, SharedStringsGiveAnIndexPerPutAndKeepEqualTextsOnce) {
    Book book;
    add_sheet(book, "S");
    Sheet &sheet = *book.sheets[0];
    const char *texts[] = {"b", "a", "b", "c", "a", "b"};
    for (int i = 0; i < 6; ++i) {
        ASSERT_EQ(ensure_cell(book, sheet, i, 0), 0);
        Cell &cell = sheet.rows[static_cast<std::size_t>(i)].cells[0];
        cell.kind = kCellString;
        cell.sst = static_cast<std::uint32_t>(put_shared_string(book, texts[i]));
        EXPECT_EQ(cell.sst, static_cast<std::uint32_t>(i));
    }
    ASSERT_EQ(book.shared_strings.entry_count(), 3u);
    EXPECT_EQ(book.shared_strings.entry_text(0), "b");  // first-occurrence order
    EXPECT_EQ(book.shared_strings.entry_text(1), "a");
    EXPECT_EQ(book.shared_strings.entry(4), 1u);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(shared_string_text(book, sheet.rows[static_cast<std::size_t>(i)].cells[0]), texts[i]);
    EXPECT_EQ(shared_string_references(book), 6u);
    EXPECT_EQ(book.shared_strings.text(99), "");
}

TEST(Store, VariablesIgnoreLetterCaseLoseTheirQuotesAndHaveLimits) {
    Book book;
    ASSERT_EQ(tsx_put_resource(book, "Name", "\"abc\""), 0);
    std::string value;
    EXPECT_EQ(get_variable(book, "name", value), 0);
    EXPECT_EQ(value, "abc");
    ASSERT_EQ(tsx_put_resource(book, "NAME", "def"), 0);
    EXPECT_EQ(get_variable(book, "name", value), 0);
    EXPECT_EQ(value, "def");
    EXPECT_EQ(get_variable(book, "other", value), kNoVariable);
    EXPECT_EQ(tsx_put_resource(book, std::string(80, 'k'), "v"), 0);
    EXPECT_EQ(tsx_put_resource(book, std::string(81, 'k'), "v"), -9);
    EXPECT_EQ(book.err.message_utf8(), "TXLS-03009 バッファサイズ(\"81\")オーバー(\"tsx_put_resource() XLS_KEY_LEN\")。");
    EXPECT_EQ(tsx_put_resource(book, "k", std::string(6000, 'v')), 0);
    EXPECT_EQ(tsx_put_resource(book, "k2", std::string(6001, 'v')), -9);
    EXPECT_EQ(book.err.message_utf8(),
              "TXLS-03009 バッファサイズ(\"6001\")オーバー(\"tsx_put_resource() XLS_KEY_VALUE_LEN\")。");
    EXPECT_EQ(book.variables.size(), 3u);
}

TEST(Diagnostics, LinesAreNumberedCutAtLineFeedsAndRingAt32) {
    DiagnosticLog log;
    const std::tuple<int, const char *, const char *> cases[] = {
        {3000, "book.xls\nsecond line", "ORV-03000: Officeファイルオープンエラー(\"book.xls\")。処理を中断します。"},
        {2, "detail", "ORV-00002: メモリ不足です。処理を中断します。detail"},
        {77, "x", "ORV-00077: x"},
        {0, "plain", "plain"},  // nothing pending
    };
    for (auto [pending, text, line] : cases) {
        if (pending) log.set_pending(pending);
        log.add(text);
        EXPECT_EQ(log.lines().back(), line);
    }
    for (int i = 0; i < 40; ++i) log.add("line " + std::to_string(i));
    EXPECT_EQ(log.lines().size(), 32u);
    EXPECT_EQ(log.lines().front(), "line 8");
    log.add(std::string(400, 'z'));
    EXPECT_EQ(log.lines().back().size(), 300u);
}
