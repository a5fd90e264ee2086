// Values put into cells and read back: what a text becomes (kind, shown text, stored value),
// system words, long texts, default styles, the store under them, and the cell calls of the API.

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <vector>

#include "cells/values.h"
#include "common/fixtures.h"
#include "format/serial.h"
#include "model/book.h"

using namespace tabsmith;
using tabsmith::testing::SheetTest;
using tabsmith::testing::sjis;

namespace {

// A store-level book with one sheet.
class Values : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(add_sheet(book, "Sheet1"), 0); }
    const Cell &put(const std::string &value, int row = 0, int column = 0) {
        EXPECT_EQ(put_cell_value(book, 0, row, column, value), 0) << value;
        return book.sheets[0]->rows[static_cast<std::size_t>(row)].cells[static_cast<std::size_t>(column)];
    }
    std::string shared(const Cell &cell) { return book.shared_strings.text(cell.sst); }
    // What the cell keeps: the serial or integer with the text kept beside it, a decimal as
    // written, a string's shared text, a formula's text.
    std::string held(const Cell &cell) {
        switch (cell.kind) {
        case kCellFloat: return exact_number_text(cell);
        case kCellString: return shared(cell);
        case kCellFormula: return *cell.formula();
        case kCellPercent: return cell.text();
        default: return std::to_string(cell.integer()) + (cell.text().empty() ? "" : "|" + cell.text());
        }
    }
    Book book;
};

using CellValueApi = SheetTest;

}  // namespace

TEST_F(Values, WhatAPutTextBecomes) {
    const struct { const char *input; int kind; const char *shown, *held; } cases[] = {
        {"12345", kCellInteger, "12345", "12345"}, {"1,234,567", kCellInteger, "1234567", "1234567"}, {"+42", kCellInteger, "+42", "42|+42"},
        {"12.5", kCellFloat, "12.5", "12.5"},  // the number's own text needs no copy
        {"12.50", kCellFloat, "12.5", "12.50"},  // the text as written is kept where it differs
        {"-1,234.50", kCellFloat, "-1234.5", "-1234.50"}, {"2.000", kCellFloat, "2.0", "2.000"},
        // Misplaced separators, twenty bytes or more, stray signs and dots make text.
        {"12,34", kCellString, "12,34", "12,34"}, {",123", kCellString, ",123", ",123"}, {"1,2345", kCellString, "1,2345", "1,2345"},
        {"1.234,567", kCellString, "1.234,567", "1.234,567"}, {"1,23.5", kCellString, "1,23.5", "1,23.5"}, {"+", kCellString, "+", "+"},
        {"1.2.3", kCellString, "1.2.3", "1.2.3"}, {"12345678901234567890", kCellString, "12345678901234567890", "12345678901234567890"},
        {"9999999999999999999", kCellFloat, "9999999999999999999", "9999999999999999999"},  // a 64-bit overflow is still a number
        {"2024-2-9", kCellDate, "2024/2/9", "45331"}, {"2024/02/29", kCellDate, "2024/2/29", "45351"},
        {"2024/02/30", kCellString, "2024/02/30", "2024/02/30"}, {"2023/02/29", kCellString, "2023/02/29", "2023/02/29"},
        {"2024/04/31", kCellString, "2024/04/31", "2024/04/31"}, {"2024/13/01", kCellString, "2024/13/01", "2024/13/01"},
        {"2024/1/40", kCellString, "2024/1/40", "2024/1/40"}, {"1899/12/31", kCellString, "1899/12/31", "1899/12/31"},
        {"2024/1/1x", kCellString, "2024/1/1x", "2024/1/1x"},
        {"2024/01/05 13:30", kCellDateTime, "2024/1/5 13:30", "45296|0.5625"},
        {"2024/01/05 13:30:15", kCellDateTime, nullptr, "45296|0.5626736111111111"},
        {"2024/02/30 10:00", kCellString, "2024/02/30 10:00", "2024/02/30 10:00"}, {"2024/01/05 25:00", kCellString, "2024/01/05 25:00", "2024/01/05 25:00"},
        {"2024/01/05 10:61", kCellString, "2024/01/05 10:61", "2024/01/05 10:61"},
        {"9:30", kCellTimeHm, "9時30分", "0|0.3958333333333333"}, {"09:01:03", kCellTimeHms, "9:01:03", "0|0.37572916666666667"},
        {"30:00", kCellTimeHm, nullptr, "1|0.25"},  // hours above 24 carry whole days
        {"9984:00", kCellTimeHm, nullptr, "416|0"},  // 416 days
        {"10008:00", kCellString, "10008:00", "10008:00"}, {"1:2:3:4", kCellString, "1:2:3:4", "1:2:3:4"}, {"10:61", kCellString, "10:61", "10:61"},
        {"123456789:00", kCellString, "123456789:00", "123456789:00"}, {"10:", kCellString, "10:", "10:"},
        {"Lunch 12:30", kCellString, "Lunch 12:30", "Lunch 12:30"},  // words before a time stay: text, not a time that drops them
        {"25%", kCellPercent, "25.0%", "0.250000"}, {"12.5%", kCellPercent, "12.5%", "0.125000"}, {"-1,000%", kCellPercent, "-1000.0%", "-10.000000"},
        {"1.23456%", kCellPercent, "1.23456%", "0.0123456"},  // digits beyond six decimals of the fraction survive
        {"2024%", kCellString, "2024%", "2024%"}, {"%", kCellString, "%", "%"}, {"12,34%", kCellString, "12,34%", "12,34%"},
        {"'00123", kCellString, "00123", "00123"}, {"= \tSUM(A1:A3)\n ", kCellFormula, "", "SUM(A1:A3)"}, {"=", kCellString, "=", "="},
        {"\\$HOME", kCellString, "$HOME", "$HOME"}, {"$NO_SUCH_THING_HERE", kCellString, "$NO_SUCH_THING_HERE", "$NO_SUCH_THING_HERE"},
    };
    for (const auto &c : cases) {
        const Cell &cell = put(c.input);
        EXPECT_EQ(cell.kind, c.kind) << c.input;
        if (c.shown) { EXPECT_EQ(cell_value_text(book, cell), c.shown) << c.input; }
        EXPECT_EQ(held(cell), c.held) << c.input;
    }
    EXPECT_DOUBLE_EQ(put("25%").number(), 0.25);
    EXPECT_EQ(cell_kind_name(put("= \tSUM(A1:A3)\n ")), "FORMULA:SUM(A1:A3)");
    book.sheets[0]->data_row = 11;
    EXPECT_EQ(*put("=SUM(B1:B($ROWNUM+2))*2").formula(), "SUM(B1:B13)*2");
    const std::size_t before = book.shared_strings.size();
    put("abc");
    put("abc");
    EXPECT_EQ(book.shared_strings.size(), before + 2);  // the same text twice is two shared strings
    // Whether the text is kept or derived, every decimal reads back exactly as written.
    std::srand(7);
    for (int k = 0; k < 20000; ++k) {
        std::string whole = k % 3 == 0 ? "0" : std::to_string(std::rand() % 1000000000), fraction;
        for (int d = 1 + std::rand() % 12; d > 0; --d) fraction += static_cast<char>('0' + std::rand() % 10);
        const std::string value = (k % 2 ? "-" : "") + whole + "." + (k % 7 == 0 ? "000" : "") + fraction;
        if (value.size() >= 20) continue;  // a longer text is no number
        const Cell &cell = put(value);
        ASSERT_EQ(cell.kind, kCellFloat) << value;
        ASSERT_EQ(exact_number_text(cell), value);
        ASSERT_EQ(cell.number(), std::strtod(value.c_str(), nullptr)) << value;
    }
}

TEST_F(Values, EmptyingUseCountsDefaultStylesAndLimits) {
    put("abc");
    book.sheets[0]->rows[0].cells[0].style = 9;
    const Cell &cell = put("");
    EXPECT_TRUE(cell.empty());
    EXPECT_EQ(cell.style, 9);  // the style stays
    EXPECT_EQ(find_cell(book, 0, 0, 0), nullptr);
    put("1", 150, 20);
    EXPECT_EQ(std::vector<int>({book.sheets[0]->rows_used, book.sheets[0]->rows[150].used, book.current_row, book.current_column}),
              std::vector<int>({151, 21, 150, 20}));
    EXPECT_EQ(put_cell_value(book, 0, 0, book.max_columns, "1"), -3);
    EXPECT_EQ(put_cell_value(book, 5, 0, 0, "1"), -901);
    int row = 0;
    for (auto [input, style] : {std::pair{"2024/1/1", kXfDate}, {"2024/1/1 10:00", kXfDateTime}, {"10:00", kXfTimeHm}, {"10:00:00", kXfTimeHms},
                                {"12", std::uint16_t{0}}, {"8.25%", kXfPercent}})
        EXPECT_EQ(put(input, row++, 5).style, style) << input;
    // A cell's own style wins, and a template's unformatted cell gets its own format that shows a
    // date; the rest of the cell's format stays.
    book.sheets[0]->rows[0].cells[1].style = 12;
    EXPECT_EQ(put("2024/1/1", 0, 1).style, 12);
    book.from_file = true;
    const Cell &dated = put("2024/1/1", 10);
    EXPECT_NE(dated.style, 0);
    EXPECT_EQ(cell_xf(book, dated).format, 14u);
}

TEST_F(Values, SystemWordsVariablesAndTheEnvironment) {
    std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    const Cell &today = put("$sysdate");
    EXPECT_EQ(today.kind, kCellDate);
    // A run across midnight may see the next day.
    EXPECT_NEAR(static_cast<double>(today.integer()), datetime_to_serial(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday), 1.0);
    EXPECT_EQ(put("$SYSDATETIME", 2).kind, kCellDateTime);
    setenv("TABSMITH_VALUES_TEST", "2024/3/4", 1);
    EXPECT_EQ(put("$TABSMITH_VALUES_TEST").kind, kCellDate);
    unsetenv("TABSMITH_VALUES_TEST");
    ASSERT_EQ(tsx_put_resource(book, "price", "\"1,200\""), 0);
    EXPECT_EQ(put("$PRICE").integer(), 1200);
    // From 82 bytes on, the environment is not asked, the variables still are.
    const std::string long_name(90, 'V');
    setenv(long_name.c_str(), "from-env", 1);
    EXPECT_EQ(shared(put("$" + long_name)), "$" + long_name);
    unsetenv(long_name.c_str());
}

TEST_F(Values, LongTextsAreCutOnCharacters) {
    EXPECT_EQ(shared(put(std::string(40000, 'x'))).size(), 32765u);
    EXPECT_EQ(shared(put("\"" + std::string(40000, 'y'))), "\"" + std::string(32763, 'y') + "\"");
    EXPECT_EQ(shared(put(std::string(32767, 'z'))).size(), 32767u);  // exactly 32767 characters stay whole
    std::string kana, emoji;
    for (int i = 0; i < 33000; ++i) kana += "あ", emoji += "\xF0\x9F\x98\x80";
    EXPECT_EQ(shared(put(kana)).size(), 32765u * 3);
    const std::string stored = shared(put(emoji));
    EXPECT_LE(stored.size(), kCellUtf8Bytes);
    EXPECT_EQ(stored.size() % 4, 0u);
}

TEST(Store, CellsSharedStringsVariablesAndTheLog) {
    Book book;
    ASSERT_EQ(add_sheet(book, "S"), 0);
    Sheet &sheet = *book.sheets[0];
    ASSERT_EQ(ensure_cell(book, sheet, 0, 20), 0);
    for (int c = 0; c < 20; ++c) EXPECT_TRUE(sheet.rows[0].cells[static_cast<std::size_t>(c)].empty());
    EXPECT_GE(sheet.columns.size(), 21u);
    ASSERT_EQ(ensure_cell(book, sheet, 1048575, 16383), 0);
    EXPECT_EQ(std::pair(sheet.rows.size(), sheet.rows[1048575].cells.size()), std::pair(std::size_t{1048576}, std::size_t{16384}));  // growth stops at the limit
    EXPECT_EQ(std::pair(ensure_cell(book, sheet, 1048577, 0), ensure_cell(book, sheet, 0, 16385)), std::pair(-2, -2));
    EXPECT_EQ(std::pair(sheet.rows[5].style, sheet.rows[5].hidden_flag), std::pair(kNoRowStyle, kFlagUnset));
    // Shared strings: an index per put, equal texts kept once in first-occurrence order.
    const char *texts[] = {"b", "a", "b", "c", "a", "b"};
    for (int i = 0; i < 6; ++i) {
        ASSERT_EQ(ensure_cell(book, sheet, i, 0), 0);
        Cell &cell = sheet.rows[static_cast<std::size_t>(i)].cells[0];
        cell.kind = kCellString;
        cell.sst = static_cast<std::uint32_t>(put_shared_string(book, texts[i]));
        EXPECT_EQ(cell.sst, static_cast<std::uint32_t>(i));
        EXPECT_EQ(shared_string_text(book, cell), texts[i]);
    }
    EXPECT_EQ(book.shared_strings.entry_count(), 3u);
    EXPECT_EQ(book.shared_strings.entry_text(0) + book.shared_strings.entry_text(1) + book.shared_strings.text(99), "ba");
    EXPECT_EQ(book.shared_strings.entry(4), 1u);
    EXPECT_EQ(shared_string_references(book), 6u);
    // Variables ignore letter case, lose their quotes and have limits.
    std::string value;
    ASSERT_EQ(tsx_put_resource(book, "Name", "\"abc\""), 0);
    EXPECT_EQ(get_variable(book, "name", value), 0);
    EXPECT_EQ(value, "abc");
    ASSERT_EQ(tsx_put_resource(book, "NAME", "def"), 0);
    EXPECT_EQ(get_variable(book, "name", value), 0);
    EXPECT_EQ(value, "def");
    EXPECT_EQ(get_variable(book, "other", value), kNoVariable);
    EXPECT_EQ(tsx_put_resource(book, std::string(80, 'k'), "v") + tsx_put_resource(book, "k", std::string(6000, 'v')), 0);
    EXPECT_EQ(tsx_put_resource(book, std::string(81, 'k'), "v"), -9);
    EXPECT_EQ(book.err.message_utf8(), "TXLS-03009 バッファサイズ(\"81\")オーバー(\"tsx_put_resource() XLS_KEY_LEN\")。");
    EXPECT_EQ(tsx_put_resource(book, "k2", std::string(6001, 'v')), -9);
    EXPECT_EQ(book.err.message_utf8(), "TXLS-03009 バッファサイズ(\"6001\")オーバー(\"tsx_put_resource() XLS_KEY_VALUE_LEN\")。");
    EXPECT_EQ(book.variables.size(), 3u);
    // The diagnostic log numbers its lines, cuts them at line feeds and keeps the last 32.
    DiagnosticLog log;
    for (auto [pending, text, line] : {std::tuple{3000, "book.xls\nsecond line", "ORV-03000: Officeファイルオープンエラー(\"book.xls\")。処理を中断します。"},
                                       {2, "detail", "ORV-00002: メモリ不足です。処理を中断します。detail"}, {77, "x", "ORV-00077: x"},
                                       {0, "plain", "plain"}}) {  // nothing pending
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

TEST_F(CellValueApi, PutAndGetWithKindNamesInTheBooksCharacterSet) {
    for (auto [input, shown, kind] : {std::tuple{"12345", "12345", "INTEGER"}, {"12.50", "12.5", "FLOAT"}, {"25%", "25.0%", "PERCENT"},
                                      {"2024-2-9", "2024/2/9", "DATE"}, {"2024/2/9 8:05", "2024/2/9 08:05", "DATE_TIME"},
                                      {"'00123", "00123", "CHARACTER"}, {"=A1*2", "", "FORMULA:A1*2"}, {"10:00", "10時0分", ""}}) {  // no time names
        ASSERT_EQ(TXLS_put_cell(&book, "C3", input), 0) << input;
        EXPECT_EQ(get("C3"), (std::pair<std::string, std::string>(shown, kind))) << input;
    }
    reopen("SJIS");
    ASSERT_EQ(TXLS_put_cell(&book, "A1", sjis("日本語").c_str()) + TXLS_put_cell(&book, "A2", "9:30"), 0);
    EXPECT_EQ(store().shared_strings.text(static_cast<std::uint32_t>(store().shared_strings.size() - 1)), "日本語");
    EXPECT_EQ(value("A1") + value("A2"), sjis("日本語9時30分"));
}

TEST_F(CellValueApi, PutAndGetFailures) {
    ASSERT_EQ(TXLS_put_values(&book, "A1=0123456789 A2=\"2024/12/31 10:00\" A3=\"=SUM(A1:A2)\""), 0);
    char small[5] = "xxxx", kind_buffer[3], value_buffer[64];
    EXPECT_EQ(TXLS_get_cell(&book, "A1", small, sizeof small, kind_buffer, sizeof kind_buffer), -909);
    EXPECT_EQ(message(), "TXLS-03009 バッファサイズ(\"5\")オーバー(\"CELL_STRING\")。");
    EXPECT_EQ(small[0], '\0');
    EXPECT_EQ(TXLS_error_code(&book), -909);
    EXPECT_EQ(TXLS_get_cell(&book, "A2", small, sizeof small, nullptr, 0), -909);
    EXPECT_EQ(message(), "TXLS-03009 バッファサイズ(\"5\")オーバー(\"CELL_DATE/CELL_DATE_TIME\")。");
    // A name that does not fit is left out; a formula that does not fit is an error.
    EXPECT_EQ(TXLS_get_cell(&book, "A1", value_buffer, sizeof value_buffer, kind_buffer, sizeof kind_buffer), 0);
    EXPECT_STREQ(kind_buffer, "");
    EXPECT_EQ(TXLS_get_cell(&book, "A3", value_buffer, sizeof value_buffer, kind_buffer, sizeof kind_buffer), -909);
    for (auto [cell, rc] : {std::pair{"A9", -902}, {"Z1", -903}, {"1A", -3}}) EXPECT_EQ(TXLS_get_cell(&book, cell, value_buffer, 64, nullptr, 0), rc);
    EXPECT_EQ(message(), "TXLS-02300 セル指定値が不正です(\"1A\")。");
    EXPECT_EQ(TXLS_put_cell(&book, "nonsense", "1"), -3);
    std::string huge(98302, 'a');
    EXPECT_EQ(TXLS_put_cell(&book, "A1", huge.c_str()), -909);
    EXPECT_EQ(message(), "TXLS-03009 バッファサイズ(\"98301\")オーバー(\"XLS_CELL_LEN\")。");
    huge.pop_back();
    EXPECT_EQ(TXLS_put_cell(&book, "A1", huge.c_str()), 0);
    store().from_file = true;  // a template's formulas are protected
    EXPECT_EQ(TXLS_put_cell(&book, "A3", "3"), -3);
    EXPECT_EQ(message(), "TXLS-03203 テンプレートモードでは式の含まれたセル(\"A3\")を上書きすることはできません。");
    EXPECT_EQ(kind("A3"), "FORMULA:SUM(A1:A2)");
}

TEST_F(CellValueApi, GetCellsSearchAndVariables) {
    ASSERT_EQ(TXLS_put_values(&book, "A1=A1 B1=B1 C1=C1 A2=7"), 0);
    char buffers[5][32];
    char *out[5];
    for (int i = 0; i < 5; ++i) std::snprintf(out[i] = buffers[i], sizeof buffers[i], "junk");
    auto texts = [&](int n) { return std::vector<std::string>(out, out + n); };
    EXPECT_EQ(TXLS_get_cells(&book, 0, 0, 0, 0, 5, out, 16), 0);
    EXPECT_EQ(texts(5), (std::vector<std::string>{"A1", "B1", "C1", "", ""}));
    EXPECT_EQ(TXLS_get_cells(&book, 1, 0, 0, 0, 5, out, 16), 0);
    EXPECT_EQ(texts(3), (std::vector<std::string>{"A1", "7", ""}));
    EXPECT_EQ(TXLS_get_cells(&book, 0, 0, 0, 0, 2, out, 2), -909);
    EXPECT_STREQ(out[0], "");
    EXPECT_EQ(TXLS_get_cells(&book, 0, 3, 0, 0, 1, out, 16), -901);
    EXPECT_EQ(TXLS_get_cells(&book, 0, 0, 2000000, 0, 1, out, 16) + TXLS_get_cells(&book, 0, 0, 0, 16383, 3, out, 16), 0);

    ASSERT_EQ(TXLS_open_sheet(&book, "SHEET_NAME=Second"), 0);
    ASSERT_EQ(TXLS_put_values(&book, "B2=Total B3=100 B4=200 B5=300"), 0);
    store().sheets[1]->merges.push_back(MergeArea{1, 1, 3, 1});  // B2:B4
    TXLS_SEARCH search{};
    search.direction = 1;
    search.count = 2;
    search.match_mode = 1;
    // Each call goes on from the last hit: the merged area's cells follow it, then the count ends.
    for (auto [hits, after] : {std::pair{"Total 100", std::vector<int>{1, 1, 1, 2}}, {"100 200", std::vector<int>{1, 2, 1, 1}},
                               {"200", std::vector<int>{1, 3, 1, 0}}}) {
        EXPECT_EQ(TXLS_search(&book, &search, "TOTAL", out, 32), 0);
        EXPECT_EQ(std::string(out[0]) + (after[3] ? std::string(" ") + out[1] : ""), hits);
        EXPECT_EQ((std::vector<int>{search.hit_sheet, search.hit_row, search.hit_column, search.remaining}), after);
    }
    const struct { const char *sheet, *range, *text; int rc, hit_row; } cases[] = {
        {"", "", "TOTAL", -801, 0}, {"Sheet1", "", "Total", -801, 0}, {"Nope", "", "Total", -3, 0}, {"", "C1:D9", "Total", -801, 0},
        {"", "B9:A1", "300", 0, 4}, {"", "not a range", "300", -3, 0},
    };
    for (const auto &c : cases) {
        TXLS_SEARCH exact{};
        exact.count = 1;
        std::snprintf(exact.sheet_name, sizeof exact.sheet_name, "%s", c.sheet);
        std::snprintf(exact.range, sizeof exact.range, "%s", c.range);
        EXPECT_EQ(TXLS_search(&book, &exact, c.text, out, 32), c.rc) << c.sheet << c.range << c.text;
        EXPECT_EQ(exact.hit_row, c.hit_row);
    }
    // Variables feed dollar values, whatever the letter case of their names.
    EXPECT_EQ(TXLS_put_variable(&book, "Rate", "8%") + TXLS_put_variable(&book, "RATE", "10%"), 0);
    ASSERT_EQ(TXLS_put_cell(&book, "A1", "$rate"), 0);
    EXPECT_EQ(value("A1"), "10.0%");
    EXPECT_EQ(TXLS_put_variable(&book, std::string(81, 'k').c_str(), "v"), -1);
    EXPECT_EQ(message(), "TXLS-03009 バッファサイズ(\"81\")オーバー(\"tsx_put_resource() XLS_KEY_LEN\")。");
}
