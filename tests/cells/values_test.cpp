// Putting values into cells and reading them back: kinds, system words, long texts, default
// date styles, and the get, get-cells, search and variable calls with their buffer limits.

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
    Book book;
};

using CellValueApi = SheetTest;

}  // namespace

TEST_F(Values, KindsAndShownTextsOfWhatIsPut) {
    struct Case {
        const char *input;
        int kind;
        const char *shown;  // cell_value_text; texts show themselves
    } cases[] = {
        {"12345", kCellInteger, "12345"},   {"1,234,567", kCellInteger, "1234567"}, {"12.5", kCellFloat, "12.5"},
        {"-1,234.50", kCellFloat, "-1234.5"}, {"2.000", kCellFloat, "2.0"},        {"+42", kCellInteger, "+42"},
        // Misplaced separators, twenty bytes or more, stray signs and dots make text.
        {"12,34", kCellString, "12,34"},     {",123", kCellString, ",123"},        {"1,2345", kCellString, "1,2345"},
        {"1.234,567", kCellString, "1.234,567"}, {"1,23.5", kCellString, "1,23.5"}, {"+", kCellString, "+"},
        {"1.2.3", kCellString, "1.2.3"},
        {"12345678901234567890", kCellString, "12345678901234567890"},
        {"9999999999999999999", kCellFloat, "9999999999999999999"},  // a 64-bit overflow is still a number
        {"2024-2-9", kCellDate, "2024/2/9"},  {"2024/02/29", kCellDate, "2024/2/29"},
        {"2024/02/30", kCellString, "2024/02/30"}, {"2023/02/29", kCellString, "2023/02/29"},
        {"2024/04/31", kCellString, "2024/04/31"}, {"2024/13/01", kCellString, "2024/13/01"},
        {"2024/1/40", kCellString, "2024/1/40"},   {"1899/12/31", kCellString, "1899/12/31"},
        {"2024/1/1x", kCellString, "2024/1/1x"},
        {"2024/01/05 13:30", kCellDateTime, "2024/1/5 13:30"}, {"2024/01/05 13:30:15", kCellDateTime, nullptr},
        {"2024/02/30 10:00", kCellString, nullptr}, {"2024/01/05 25:00", kCellString, nullptr},
        {"2024/01/05 10:61", kCellString, nullptr},
        {"9:30", kCellTimeHm, "9時30分"},     {"09:01:03", kCellTimeHms, "9:01:03"},
        {"9984:00", kCellTimeHm, nullptr},  // 416 days
        {"10008:00", kCellString, nullptr}, {"1:2:3:4", kCellString, nullptr}, {"10:61", kCellString, nullptr},
        {"123456789:00", kCellString, nullptr}, {"10:", kCellString, nullptr},
        // Words before a time stay: the value is text, not a time that drops them.
        {"Lunch 12:30", kCellString, "Lunch 12:30"},
        {"25%", kCellPercent, "25.0%"},      {"12.5%", kCellPercent, "12.5%"},    {"-1,000%", kCellPercent, "-1000.0%"},
        {"1.23456%", kCellPercent, "1.23456%"},  // digits beyond six decimals of the fraction survive
        {"2024%", kCellString, "2024%"},     {"%", kCellString, "%"},              {"12,34%", kCellString, "12,34%"},
        {"'00123", kCellString, "00123"},    {"= \tSUM(A1:A3)\n ", kCellFormula, ""}, {"=", kCellString, "="},
    };
    for (const Case &c : cases) {
        const Cell &cell = put(c.input);
        EXPECT_EQ(cell.kind, c.kind) << c.input;
        if (c.shown) {
            EXPECT_EQ(cell_value_text(book, cell), c.shown) << c.input;
        }
    }
}

TEST_F(Values, StoredNumbersSerialsAndFormulas) {
    EXPECT_EQ(put("1,234,567").integer(), 1234567);
    EXPECT_TRUE(put("12.5").text().empty()) << "the number's own text needs no copy";
    EXPECT_EQ(exact_number_text(put("12.50")), "12.50") << "the text as written is kept where it differs";
    EXPECT_EQ(put("2024-2-9").integer(), 45331);
    const Cell &date_time = put("2024/01/05 13:30");
    EXPECT_EQ(date_time.integer(), 45296);
    EXPECT_DOUBLE_EQ(std::strtod(date_time.text().c_str(), nullptr), 0.5625);
    const Cell &long_time = put("30:00");  // hours above 24 carry whole days
    EXPECT_EQ(long_time.integer(), 1);
    EXPECT_DOUBLE_EQ(std::strtod(long_time.text().c_str(), nullptr), 0.25);
    EXPECT_EQ(put("25%").text(), "0.250000");
    EXPECT_DOUBLE_EQ(put("25%").number(), 0.25);
    const Cell &formula = put("= \tSUM(A1:A3)\n ");
    ASSERT_TRUE(formula.formula());
    EXPECT_EQ(*formula.formula(), "SUM(A1:A3)");
    EXPECT_EQ(cell_kind_name(formula), "FORMULA:SUM(A1:A3)");
    book.sheets[0]->data_row = 11;
    EXPECT_EQ(*put("=SUM(B1:B($ROWNUM+2))*2").formula(), "SUM(B1:B13)*2");
    // The same text twice is two shared strings.
    std::size_t before = book.shared_strings.size();
    put("abc");
    put("abc");
    EXPECT_EQ(book.shared_strings.size(), before + 2);

    // Whether the text is kept or derived, every decimal reads back exactly as written.
    std::srand(7);
    for (int k = 0; k < 20000; ++k) {
        std::string whole = k % 3 == 0 ? "0" : std::to_string(std::rand() % 1000000000), fraction;
        for (int d = 1 + std::rand() % 12; d > 0; --d) fraction += static_cast<char>('0' + std::rand() % 10);
        if (k % 7 == 0) fraction = "000" + fraction;
        std::string value = (k % 2 ? "-" : "") + whole + "." + fraction;
        if (value.size() >= 20) continue;  // a longer text is no number
        const Cell &cell = put(value);
        ASSERT_EQ(cell.kind, kCellFloat) << value;
        ASSERT_EQ(exact_number_text(cell), value);
        ASSERT_EQ(cell.number(), std::strtod(value.c_str(), nullptr)) << value;
    }
}

TEST_F(Values, EmptyingUseCountsAndLimits) {
    put("abc");
    book.sheets[0]->rows[0].cells[0].style = 9;
    const Cell &cell = put("");
    EXPECT_TRUE(cell.empty());
    EXPECT_EQ(cell.style, 9);  // the style stays
    EXPECT_EQ(find_cell(book, 0, 0, 0), nullptr);
    put("1", 150, 20);
    const Sheet &sheet = *book.sheets[0];
    EXPECT_EQ(sheet.rows_used, 151);
    EXPECT_EQ(sheet.rows[150].used, 21);
    EXPECT_EQ(std::pair(book.current_row, book.current_column), std::pair(150, 20));
    EXPECT_EQ(put_cell_value(book, 0, 0, book.max_columns, "1"), -3);
    EXPECT_EQ(put_cell_value(book, 5, 0, 0, "1"), -901);
}

TEST_F(Values, DefaultStylesOfDateAndPercentCells) {
    const std::pair<const char *, int> cases[] = {{"2024/1/1", kXfDate},    {"2024/1/1 10:00", kXfDateTime},
                                                  {"10:00", kXfTimeHm},     {"10:00:00", kXfTimeHms},
                                                  {"12", 0},                {"8.25%", kXfPercent}};
    int row = 0;
    for (auto [input, style] : cases) EXPECT_EQ(put(input, row++).style, style) << input;
    // A cell's own style wins, and a template keeps what it has.
    ensure_cell(book, *book.sheets[0], 0, 1);
    book.sheets[0]->rows[0].cells[1].style = 12;
    EXPECT_EQ(put("2024/1/1", 0, 1).style, 12);
    // A template's unformatted cell gets its own format that shows a date; the rest of the
    // cell's format stays.
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
    EXPECT_NEAR(static_cast<double>(today.integer()), datetime_to_serial(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday),
                1.0);
    EXPECT_EQ(put("$SYSDATETIME", 2).kind, kCellDateTime);
    setenv("TABSMITH_VALUES_TEST", "2024/3/4", 1);
    EXPECT_EQ(put("$TABSMITH_VALUES_TEST").kind, kCellDate);
    ASSERT_EQ(tsx_put_resource(book, "price", "\"1,200\""), 0);
    EXPECT_EQ(put("$PRICE").integer(), 1200);
    EXPECT_EQ(shared(put("$NO_SUCH_THING_HERE")), "$NO_SUCH_THING_HERE");
    EXPECT_EQ(shared(put("\\$HOME")), "$HOME");
    // From 82 bytes on, the environment is not asked, the variables still are.
    std::string long_name(90, 'V');
    setenv(long_name.c_str(), "from-env", 1);
    EXPECT_EQ(shared(put("$" + long_name)), "$" + long_name);
    unsetenv(long_name.c_str());
    unsetenv("TABSMITH_VALUES_TEST");
}

TEST_F(Values, LongTextsAreCutOnCharacters) {
    EXPECT_EQ(shared(put(std::string(40000, 'x'))).size(), 32765u);
    EXPECT_EQ(shared(put("\"" + std::string(40000, 'y'))), "\"" + std::string(32763, 'y') + "\"");
    EXPECT_EQ(shared(put(std::string(32767, 'z'))).size(), 32767u);  // exactly 32767 characters stay whole
    std::string kana, emoji;
    for (int i = 0; i < 33000; ++i) kana += "あ", emoji += "\xF0\x9F\x98\x80";
    EXPECT_EQ(shared(put(kana)).size(), 32765u * 3);
    std::string stored = shared(put(emoji));
    EXPECT_LE(stored.size(), kCellUtf8Bytes);
    EXPECT_EQ(stored.size() % 4, 0u);
}

TEST_F(CellValueApi, PutAndGetWithKindNamesInTheBooksCharacterSet) {
    const char *cases[][3] = {
        {"12345", "12345", "INTEGER"},   {"12.50", "12.5", "FLOAT"},        {"25%", "25.0%", "PERCENT"},
        {"2024-2-9", "2024/2/9", "DATE"}, {"2024/2/9 8:05", "2024/2/9 08:05", "DATE_TIME"},
        {"'00123", "00123", "CHARACTER"}, {"=A1*2", "", "FORMULA:A1*2"},   {"10:00", "10時0分", ""},  // no time names
    };
    for (const auto &c : cases) {
        ASSERT_EQ(TXLS_put_cell(&book, "C3", c[0]), 0) << c[0];
        EXPECT_EQ(get("C3"), (std::pair<std::string, std::string>(c[1], c[2]))) << c[0];
    }
    XLS_BOOK shift_jis{};
    ASSERT_EQ(TXLS_open_book(&shift_jis, "MODE=CREATE"), 0);
    ASSERT_EQ(TXLS_open_sheet(&shift_jis, "SHEET_NAME=Sheet1"), 0);
    ASSERT_EQ(TXLS_put_cell(&shift_jis, "A1", sjis("日本語").c_str()), 0);
    Book &inner = *static_cast<Book *>(shift_jis.work);
    EXPECT_EQ(inner.shared_strings.text(static_cast<std::uint32_t>(inner.shared_strings.size() - 1)), "日本語");
    ASSERT_EQ(TXLS_put_cell(&shift_jis, "A2", "9:30"), 0);
    char v[64], k[64];
    ASSERT_EQ(TXLS_get_cell(&shift_jis, "A1", v, sizeof v, k, sizeof k), 0);
    EXPECT_EQ(std::string(v), sjis("日本語"));
    ASSERT_EQ(TXLS_get_cell(&shift_jis, "A2", v, sizeof v, k, sizeof k), 0);
    EXPECT_EQ(std::string(v), sjis("9時30分"));
    TXLS_free_book(&shift_jis);
}

TEST_F(CellValueApi, PutAndGetFailures) {
    ASSERT_EQ(TXLS_put_cell(&book, "A1", "0123456789"), 0);
    ASSERT_EQ(TXLS_put_cell(&book, "A2", "2024/12/31 10:00"), 0);
    ASSERT_EQ(TXLS_put_cell(&book, "A3", "=SUM(A1:A2)"), 0);
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
    EXPECT_EQ(TXLS_get_cell(&book, "A9", value_buffer, sizeof value_buffer, nullptr, 0), -902);
    EXPECT_EQ(TXLS_get_cell(&book, "Z1", value_buffer, sizeof value_buffer, nullptr, 0), -903);
    EXPECT_EQ(TXLS_get_cell(&book, "1A", value_buffer, sizeof value_buffer, nullptr, 0), -3);
    EXPECT_EQ(message(), "TXLS-02300 セル指定値が不正です(\"1A\")。");
    EXPECT_EQ(TXLS_put_cell(&book, "nonsense", "1"), -3);

    std::string huge(98302, 'a');
    EXPECT_EQ(TXLS_put_cell(&book, "A1", huge.c_str()), -909);
    EXPECT_EQ(message(), "TXLS-03009 バッファサイズ(\"98301\")オーバー(\"XLS_CELL_LEN\")。");
    huge.pop_back();
    EXPECT_EQ(TXLS_put_cell(&book, "A1", huge.c_str()), 0);

    // A template's formulas are protected.
    store().from_file = true;
    EXPECT_EQ(TXLS_put_cell(&book, "A3", "3"), -3);
    EXPECT_EQ(message(), "TXLS-03203 テンプレートモードでは式の含まれたセル(\"A3\")を上書きすることはできません。");
    EXPECT_EQ(kind("A3"), "FORMULA:SUM(A1:A2)");
}

TEST_F(CellValueApi, GetCellsAlongRowsAndColumns) {
    for (const char *cell : {"A1", "B1", "C1"}) ASSERT_EQ(TXLS_put_cell(&book, cell, cell), 0);
    ASSERT_EQ(TXLS_put_cell(&book, "A2", "7"), 0);
    char buffers[5][16];
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
    EXPECT_EQ(TXLS_get_cells(&book, 0, 0, 2000000, 0, 1, out, 16), 0);
    EXPECT_EQ(TXLS_get_cells(&book, 0, 0, 0, 16383, 3, out, 16), 0);
}

TEST_F(CellValueApi, SearchFindsAndContinuesThroughMergedAreas) {
    ASSERT_EQ(TXLS_open_sheet(&book, "SHEET_NAME=Second"), 0);
    ASSERT_EQ(TXLS_put_values(&book, "B2=Total B3=100 B4=200 B5=300"), 0);
    store().sheets[1]->merges.push_back(MergeArea{1, 1, 3, 1});  // B2:B4

    char buffers[2][32];
    char *out[2] = {buffers[0], buffers[1]};
    TXLS_SEARCH search{};
    search.direction = 1;
    search.count = 2;
    search.match_mode = 1;
    // Each call goes on from the last hit: the merged area's cells follow it, then the count ends.
    const std::vector<int> after[] = {{1, 1, 1, 2}, {1, 2, 1, 1}, {1, 3, 1, 0}};
    const char *expected[][2] = {{"Total", "100"}, {"100", "200"}, {"200", nullptr}};
    for (int round = 0; round < 3; ++round) {
        EXPECT_EQ(TXLS_search(&book, &search, "TOTAL", out, 32), 0);
        EXPECT_STREQ(out[0], expected[round][0]);
        if (expected[round][1]) {
            EXPECT_STREQ(out[1], expected[round][1]);
        }
        EXPECT_EQ((std::vector<int>{search.hit_sheet, search.hit_row, search.hit_column, search.remaining}), after[round]);
    }

    struct Case { const char *sheet, *range, *text; int rc, hit_row; } cases[] = {
        {"", "", "TOTAL", -801, 0},     {"Sheet1", "", "Total", -801, 0}, {"Nope", "", "Total", -3, 0},
        {"", "C1:D9", "Total", -801, 0}, {"", "B9:A1", "300", 0, 4},      {"", "not a range", "300", -3, 0},
    };
    for (const Case &c : cases) {
        TXLS_SEARCH exact{};
        exact.count = 1;
        std::snprintf(exact.sheet_name, sizeof exact.sheet_name, "%s", c.sheet);
        std::snprintf(exact.range, sizeof exact.range, "%s", c.range);
        EXPECT_EQ(TXLS_search(&book, &exact, c.text, out, 32), c.rc) << c.sheet << c.range << c.text;
        if (c.rc == 0) {
            EXPECT_EQ(exact.hit_row, c.hit_row);
        }
    }
}

TEST_F(CellValueApi, VariablesFeedDollarValues) {
    EXPECT_EQ(TXLS_put_variable(&book, "Rate", "8%"), 0);
    EXPECT_EQ(TXLS_put_variable(&book, "RATE", "10%"), 0);
    ASSERT_EQ(TXLS_put_cell(&book, "A1", "$rate"), 0);
    EXPECT_EQ(value("A1"), "10.0%");
    EXPECT_EQ(TXLS_put_variable(&book, std::string(81, 'k').c_str(), "v"), -1);
    EXPECT_EQ(message(), "TXLS-03009 バッファサイズ(\"81\")オーバー(\"tsx_put_resource() XLS_KEY_LEN\")。");
}
