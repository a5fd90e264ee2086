// Putting values into cells and reading them back: kinds, system words, long texts, default
// date styles, and the get, get-cells, search and variable calls with their buffer limits.

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <vector>

#include "model/book.h"
#include "cells/values.h"
#include "format/serial.h"
#include "support/fixtures.h"

using namespace tabsmith;
using tabsmith::testing::BookTest;
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
    std::string text_of(const std::string &value) { return cell_value_text(book, put(value)); }
    int kind_of(const std::string &value) { return put(value).kind; }
    std::string shared(const Cell &cell) { return book.shared_strings.text(cell.sst); }
    Book book;
};

class CellValueApi : public BookTest {
protected:
    void SetUp() override {
        ASSERT_EQ(open("MODE=CREATE CHARSET=UTF8"), 0);
        ASSERT_EQ(TXLS_open_sheet(&book, "SHEET_NAME=Sheet1"), 0);
    }
    Book &store() { return *static_cast<Book *>(book.work); }
};

}  // namespace

TEST_F(Values, NumbersAndThousandsSeparators) {
    const Cell &integer = put("12345");
    EXPECT_EQ(integer.kind, kCellInteger);
    EXPECT_EQ(integer.integer(), 12345);
    const Cell &grouped = put("1,234,567");
    EXPECT_EQ(grouped.kind, kCellInteger);
    EXPECT_EQ(grouped.integer(), 1234567);
    EXPECT_EQ(exact_number_text(grouped), "1234567");
    EXPECT_TRUE(grouped.text().empty()) << "the number's own text needs no copy";
    const Cell &real = put("12.5");
    EXPECT_EQ(real.kind, kCellFloat);
    EXPECT_DOUBLE_EQ(real.number(), 12.5);
    EXPECT_TRUE(real.text().empty());
    const Cell &padded = put("12.50");
    EXPECT_DOUBLE_EQ(padded.number(), 12.5);
    EXPECT_EQ(exact_number_text(padded), "12.50") << "the text as written is kept where it differs";

    // Whether the text is kept or derived, every decimal reads back exactly as written.
    std::srand(7);
    for (int k = 0; k < 20000; ++k) {
        std::string whole = k % 3 == 0 ? "0" : std::to_string(std::rand() % 1000000000);
        std::string fraction;
        for (int d = 1 + std::rand() % 12; d > 0; --d) fraction += static_cast<char>('0' + std::rand() % 10);
        if (k % 7 == 0) fraction = "000" + fraction;
        std::string value = (k % 2 ? "-" : "") + whole + "." + fraction;
        if (value.size() >= 20) continue;   // a longer text is no number
        const Cell &cell = put(value);
        ASSERT_EQ(cell.kind, kCellFloat) << value;
        ASSERT_EQ(exact_number_text(cell), value);
        ASSERT_EQ(cell.number(), std::strtod(value.c_str(), nullptr)) << value;
    }
    EXPECT_EQ(kind_of("-1,234.50"), kCellFloat);
    EXPECT_EQ(text_of("-1,234.50"), "-1234.5");
    EXPECT_EQ(text_of("2.000"), "2.0");
    EXPECT_EQ(text_of("+42"), "+42");
    // Misplaced separators make text.
    for (const char *text : {"12,34", ",123", "1,2345", "1.234,567", "1,23.5"}) {
        const Cell &cell = put(text);
        EXPECT_EQ(cell.kind, kCellString) << text;
        EXPECT_EQ(shared(cell), text);
    }
    // Twenty bytes or more is no number; a 64-bit overflow still is one.
    EXPECT_EQ(kind_of("12345678901234567890"), kCellString);
    EXPECT_EQ(kind_of("9999999999999999999"), kCellFloat);
    EXPECT_EQ(text_of("9999999999999999999"), "9999999999999999999");
    EXPECT_EQ(kind_of("+"), kCellString);
    EXPECT_EQ(kind_of("1.2.3"), kCellString);
}

TEST_F(Values, Dates) {
    const Cell &date = put("2024-2-9");
    EXPECT_EQ(date.kind, kCellDate);
    EXPECT_EQ(date.integer(), 45331);
    EXPECT_EQ(cell_value_text(book, date), "2024/2/9");
    EXPECT_EQ(put("2024/01/01").integer(), 45292);
    EXPECT_EQ(kind_of("2024/02/30"), kCellString);
    EXPECT_EQ(kind_of("2023/02/29"), kCellString);
    EXPECT_EQ(kind_of("2024/02/29"), kCellDate);
    EXPECT_EQ(kind_of("2024/04/31"), kCellString);
    EXPECT_EQ(kind_of("2024/13/01"), kCellString);   // month shape: 0 or 1 first
    EXPECT_EQ(kind_of("2024/1/40"), kCellString);    // day shape: 0 to 3 first
    EXPECT_EQ(kind_of("1899/12/31"), kCellString);
    EXPECT_EQ(kind_of("2024/1/1x"), kCellString);
}

TEST_F(Values, DateTimes) {
    const Cell &cell = put("2024/01/05 13:30");
    EXPECT_EQ(cell.kind, kCellDateTime);
    EXPECT_EQ(cell.integer(), 45296);
    EXPECT_DOUBLE_EQ(std::strtod(cell.text().c_str(), nullptr), 0.5625);
    EXPECT_EQ(cell_value_text(book, cell), "2024/1/5 13:30");
    EXPECT_EQ(kind_of("2024/01/05 13:30:15"), kCellDateTime);
    EXPECT_EQ(kind_of("2024/02/30 10:00"), kCellString);
    EXPECT_EQ(kind_of("2024/01/05 25:00"), kCellString);
    EXPECT_EQ(kind_of("2024/01/05 10:61"), kCellString);
}

TEST_F(Values, Times) {
    const Cell &hm = put("9:30");
    EXPECT_EQ(hm.kind, kCellTimeHm);
    EXPECT_EQ(cell_value_text(book, hm), "9時30分");
    const Cell &hms = put("09:01:03");
    EXPECT_EQ(hms.kind, kCellTimeHms);
    EXPECT_EQ(cell_value_text(book, hms), "9:01:03");
    // Hours above 24 carry whole days.
    const Cell &long_time = put("30:00");
    EXPECT_EQ(long_time.kind, kCellTimeHm);
    EXPECT_EQ(long_time.integer(), 1);
    EXPECT_DOUBLE_EQ(std::strtod(long_time.text().c_str(), nullptr), 0.25);
    EXPECT_EQ(kind_of("9984:00"), kCellTimeHm);      // 416 days
    EXPECT_EQ(kind_of("10008:00"), kCellString);     // 417 days
    EXPECT_EQ(kind_of("1:2:3:4"), kCellString);
    EXPECT_EQ(kind_of("10:61"), kCellString);
    EXPECT_EQ(kind_of("123456789:00"), kCellString);
    EXPECT_EQ(kind_of("10:"), kCellString);
    // Words before a time stay: the value is text, not a time that drops them.
    const Cell &memo = put("Lunch 12:30");
    EXPECT_EQ(memo.kind, kCellString);
    EXPECT_EQ(shared(memo), "Lunch 12:30");
}

TEST_F(Values, Percentages) {
    const Cell &quarter = put("25%");
    EXPECT_EQ(quarter.kind, kCellPercent);
    EXPECT_EQ(quarter.text(), "0.250000");
    EXPECT_DOUBLE_EQ(quarter.number(), 0.25);
    EXPECT_EQ(cell_value_text(book, quarter), "25.0%");
    EXPECT_EQ(text_of("12.5%"), "12.5%");
    EXPECT_EQ(text_of("-1,000%"), "-1000.0%");
    // Digits beyond six decimals of the fraction survive.
    EXPECT_EQ(text_of("1.23456%"), "1.23456%");
    EXPECT_EQ(kind_of("2024%"), kCellString);   // four leading digits
    EXPECT_EQ(kind_of("%"), kCellString);
    EXPECT_EQ(kind_of("12,34%"), kCellString);
}

TEST_F(Values, TextsAndFormulas) {
    const Cell &quoted = put("'00123");
    EXPECT_EQ(quoted.kind, kCellString);
    EXPECT_EQ(shared(quoted), "00123");
    EXPECT_EQ(cell_value_text(book, quoted), "00123");
    const Cell &formula = put("= \tSUM(A1:A3)\n ");
    EXPECT_EQ(formula.kind, kCellFormula);
    ASSERT_TRUE(formula.formula());
    EXPECT_EQ(*formula.formula(), "SUM(A1:A3)");
    EXPECT_EQ(cell_value_text(book, formula), "");
    EXPECT_EQ(cell_kind_name(formula), "FORMULA:SUM(A1:A3)");
    EXPECT_EQ(kind_of("="), kCellString);
    // The same text twice is two shared strings.
    std::size_t before = book.shared_strings.size();
    put("abc");
    put("abc");
    EXPECT_EQ(book.shared_strings.size(), before + 2);
}

TEST_F(Values, FormulaRowAndColumnForms) {
    book.sheets[0]->data_row = 11;
    const Cell &cell = put("=SUM(B1:B($ROWNUM+2))*2");
    ASSERT_TRUE(cell.formula());
    EXPECT_EQ(*cell.formula(), "SUM(B1:B13)*2");
}

TEST_F(Values, EmptyValueEmptiesTheCellAndKeepsItsStyle) {
    put("abc");
    book.sheets[0]->rows[0].cells[0].style = 9;
    const Cell &cell = put("");
    EXPECT_TRUE(cell.empty());
    EXPECT_EQ(cell.style, 9);
    EXPECT_EQ(find_cell(book, 0, 0, 0), nullptr);
}

TEST_F(Values, UseCountsAndCurrentPosition) {
    put("1", 150, 20);
    const Sheet &sheet = *book.sheets[0];
    EXPECT_EQ(sheet.rows_used, 151);
    EXPECT_EQ(sheet.rows[150].used, 21);
    EXPECT_EQ(book.current_row, 150);
    EXPECT_EQ(book.current_column, 20);
    EXPECT_EQ(put_cell_value(book, 0, 0, book.max_columns, "1"), -3);
    EXPECT_EQ(put_cell_value(book, 5, 0, 0, "1"), -901);
}

TEST_F(Values, DefaultStylesOfDateAndPercentCells) {
    EXPECT_EQ(put("2024/1/1").style, kXfDate);
    EXPECT_EQ(put("2024/1/1 10:00", 1).style, kXfDateTime);
    EXPECT_EQ(put("10:00", 2).style, kXfTimeHm);
    EXPECT_EQ(put("10:00:00", 3).style, kXfTimeHms);
    EXPECT_EQ(put("12", 4).style, 0);
    EXPECT_EQ(put("8.25%", 6).style, kXfPercent);
    // A cell's own style wins, and a template keeps what it has.
    book.sheets[0]->rows[0].cells[1].kind = kCellText;
    ensure_cell(book, *book.sheets[0], 0, 1);
    book.sheets[0]->rows[0].cells[1].style = 12;
    EXPECT_EQ(put("2024/1/1", 0, 1).style, 12);
    book.from_file = true;
    EXPECT_EQ(put("2024/1/1", 5).style, 0);
}

TEST_F(Values, TemplateFormulasAreProtected) {
    put("=A1+1", 2, 1);
    book.from_file = true;
    EXPECT_EQ(put_cell_value(book, 0, 2, 1, "5"), -3);
    EXPECT_EQ(book.err.message_utf8(),
              "TXLS-03203 テンプレートモードでは式の含まれたセル(\"B3\")を上書きすることはできません。");
    EXPECT_EQ(book.sheets[0]->rows[2].cells[1].kind, kCellFormula);
}

TEST_F(Values, SystemWords) {
    std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    const Cell &today = put("$sysdate");
    EXPECT_EQ(today.kind, kCellDate);
    // A run across midnight may see the next day.
    EXPECT_NEAR(static_cast<double>(today.integer()),
                datetime_to_serial(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday), 1.0);
    EXPECT_EQ(put("$SYSDATETIME", 2).kind, kCellDateTime);

    setenv("TABSMITH_VALUES_TEST", "2024/3/4", 1);
    EXPECT_EQ(put("$TABSMITH_VALUES_TEST").kind, kCellDate);
    ASSERT_EQ(tsx_put_resource(book, "price", "\"1,200\""), 0);
    EXPECT_EQ(put("$PRICE").integer(), 1200);
    const Cell &missing = put("$NO_SUCH_THING_HERE");
    EXPECT_EQ(shared(missing), "$NO_SUCH_THING_HERE");
    const Cell &escaped = put("\\$HOME");
    EXPECT_EQ(shared(escaped), "$HOME");
    // From 82 bytes on, the environment is not asked, the variables still are.
    std::string long_name(90, 'V');
    setenv(long_name.c_str(), "from-env", 1);
    EXPECT_EQ(shared(put("$" + long_name)), "$" + long_name);
}

TEST_F(Values, LongTextsAreCut) {
    std::string long_text(40000, 'x');
    const Cell &cell = put(long_text);
    EXPECT_EQ(shared(cell).size(), 32765u);
    std::string quoted = "\"" + std::string(40000, 'y');
    EXPECT_EQ(shared(put(quoted)), "\"" + std::string(32763, 'y') + "\"");
    // Multibyte texts are cut on characters and never pass the cell's byte limit.
    std::string kana;
    for (int i = 0; i < 33000; ++i) kana += "あ";
    EXPECT_EQ(shared(put(kana)).size(), 32765u * 3);
    std::string emoji;
    for (int i = 0; i < 33000; ++i) emoji += "\xF0\x9F\x98\x80";
    std::string stored = shared(put(emoji));
    EXPECT_LE(stored.size(), kCellUtf8Bytes);
    EXPECT_EQ(stored.size() % 4, 0u);
    // Exactly 32767 characters stay whole.
    EXPECT_EQ(shared(put(std::string(32767, 'z'))).size(), 32767u);
}

TEST_F(CellValueApi, PutAndGetWithKindNames) {
    const std::pair<const char *, const char *> cases[][2] = {
        {{"12345", "12345"}, {"INTEGER", ""}},
        {{"12.50", "12.5"}, {"FLOAT", ""}},
        {{"25%", "25.0%"}, {"PERCENT", ""}},
        {{"2024-2-9", "2024/2/9"}, {"DATE", ""}},
        {{"2024/2/9 8:05", "2024/2/9 08:05"}, {"DATE_TIME", ""}},
        {{"'00123", "00123"}, {"CHARACTER", ""}},
        {{"=A1*2", ""}, {"FORMULA:A1*2", ""}},
    };
    for (const auto &c : cases) {
        ASSERT_EQ(TXLS_put_cell(&book, "C3", c[0].first), 0) << c[0].first;
        EXPECT_EQ(value("C3"), c[0].second);
        EXPECT_EQ(kind("C3"), c[1].first);
    }
    ASSERT_EQ(TXLS_put_cell(&book, "D4", "10:00"), 0);
    EXPECT_EQ(kind("D4"), "");   // time kinds have no name
}

TEST_F(CellValueApi, CharacterSetsCrossTheBoundary) {
    TXLS_free_book(&book);
    ASSERT_EQ(open("MODE=CREATE"), 0);
    ASSERT_EQ(TXLS_open_sheet(&book, "SHEET_NAME=Sheet1"), 0);
    ASSERT_EQ(TXLS_put_cell(&book, "A1", sjis("日本語").c_str()), 0);
    EXPECT_EQ(store().shared_strings.text(static_cast<std::uint32_t>(store().shared_strings.size() - 1)), "日本語");
    EXPECT_EQ(value("A1"), sjis("日本語"));
    ASSERT_EQ(TXLS_put_cell(&book, "A2", "9:30"), 0);
    EXPECT_EQ(value("A2"), sjis("9時30分"));
}

TEST_F(CellValueApi, GetFailures) {
    ASSERT_EQ(TXLS_put_cell(&book, "A1", "0123456789"), 0);
    char small[5] = "xxxx", kind_buffer[3];
    EXPECT_EQ(TXLS_get_cell(&book, "A1", small, sizeof small, kind_buffer, sizeof kind_buffer), -909);
    EXPECT_EQ(message(), "TXLS-03009 バッファサイズ(\"5\")オーバー(\"CELL_STRING\")。");
    EXPECT_EQ(small[0], '\0');
    EXPECT_EQ(TXLS_error_code(&book), -909);

    ASSERT_EQ(TXLS_put_cell(&book, "A2", "2024/12/31 10:00"), 0);
    EXPECT_EQ(TXLS_get_cell(&book, "A2", small, sizeof small, nullptr, 0), -909);
    EXPECT_EQ(message(), "TXLS-03009 バッファサイズ(\"5\")オーバー(\"CELL_DATE/CELL_DATE_TIME\")。");

    // A name that does not fit is left out; a formula that does not fit is an error.
    char value_buffer[64];
    EXPECT_EQ(TXLS_get_cell(&book, "A1", value_buffer, sizeof value_buffer, kind_buffer, sizeof kind_buffer), 0);
    EXPECT_STREQ(kind_buffer, "");
    ASSERT_EQ(TXLS_put_cell(&book, "A3", "=SUM(A1:A2)"), 0);
    EXPECT_EQ(TXLS_get_cell(&book, "A3", value_buffer, sizeof value_buffer, kind_buffer, sizeof kind_buffer), -909);

    EXPECT_EQ(TXLS_get_cell(&book, "A9", value_buffer, sizeof value_buffer, nullptr, 0), -902);
    EXPECT_EQ(TXLS_get_cell(&book, "Z1", value_buffer, sizeof value_buffer, nullptr, 0), -903);
    EXPECT_EQ(TXLS_get_cell(&book, "1A", value_buffer, sizeof value_buffer, nullptr, 0), -3);
    EXPECT_EQ(message(), "TXLS-02300 セル指定値が不正です(\"1A\")。");
    EXPECT_EQ(TXLS_put_cell(&book, "nonsense", "1"), -3);
}

TEST_F(CellValueApi, TemplateFormulaCellViaApi) {
    ASSERT_EQ(TXLS_put_cell(&book, "B2", "=1+1"), 0);
    store().from_file = true;
    EXPECT_EQ(TXLS_put_cell(&book, "B2", "3"), -3);
    EXPECT_EQ(message(),
              "TXLS-03203 テンプレートモードでは式の含まれたセル(\"B2\")を上書きすることはできません。");
}

TEST_F(CellValueApi, OverlongValue) {
    std::string huge(98302, 'a');
    EXPECT_EQ(TXLS_put_cell(&book, "A1", huge.c_str()), -909);
    EXPECT_EQ(message(), "TXLS-03009 バッファサイズ(\"98301\")オーバー(\"XLS_CELL_LEN\")。");
    huge.pop_back();
    EXPECT_EQ(TXLS_put_cell(&book, "A1", huge.c_str()), 0);
}

TEST_F(CellValueApi, NullArgumentsNeverCrash) {
    char out[16];
    char *outs[2] = {out, nullptr};
    TXLS_SEARCH search{};
    search.count = 1;
    EXPECT_EQ(TXLS_put_cell(nullptr, "A1", "1"), -3);
    EXPECT_EQ(TXLS_put_cell(&book, nullptr, "1"), -3);
    EXPECT_EQ(TXLS_put_cell(&book, "A1", nullptr), -3);
    EXPECT_EQ(TXLS_get_cell(nullptr, "A1", out, sizeof out, out, sizeof out), -3);
    EXPECT_EQ(TXLS_get_cell(&book, nullptr, out, sizeof out, nullptr, 0), -3);
    EXPECT_EQ(TXLS_get_cell(&book, "A1", nullptr, 10, nullptr, 0), -3);
    EXPECT_EQ(TXLS_get_cells(&book, 0, 0, 0, 0, 2, outs, sizeof out), -3);
    EXPECT_EQ(TXLS_get_cells(&book, 0, 0, 0, 0, 1, nullptr, sizeof out), -3);
    EXPECT_EQ(TXLS_get_cells(&book, 0, 0, 0, 0, 1, outs, 0), -3);
    EXPECT_EQ(TXLS_search(&book, nullptr, "x", outs, sizeof out), -3);
    EXPECT_EQ(TXLS_search(&book, &search, nullptr, outs, sizeof out), -3);
    EXPECT_EQ(TXLS_search(&book, &search, "x", nullptr, sizeof out), -3);
    EXPECT_EQ(TXLS_put_variable(&book, nullptr, "v"), -3);
    EXPECT_EQ(TXLS_put_variable(nullptr, "k", "v"), -3);
    XLS_BOOK closed{};
    EXPECT_EQ(TXLS_put_cell(&closed, "A1", "1"), -3);
}

TEST_F(CellValueApi, GetCellsAlongRowsAndColumns) {
    for (const char *cell : {"A1", "B1", "C1"}) ASSERT_EQ(TXLS_put_cell(&book, cell, cell), 0);
    ASSERT_EQ(TXLS_put_cell(&book, "A2", "7"), 0);
    char buffers[5][16];
    char *out[5];
    for (int i = 0; i < 5; ++i) {
        out[i] = buffers[i];
        std::snprintf(buffers[i], sizeof buffers[i], "junk");
    }
    EXPECT_EQ(TXLS_get_cells(&book, 0, 0, 0, 0, 5, out, 16), 0);
    EXPECT_STREQ(out[0], "A1");
    EXPECT_STREQ(out[2], "C1");
    EXPECT_STREQ(out[3], "");
    EXPECT_STREQ(out[4], "");
    EXPECT_EQ(TXLS_get_cells(&book, 1, 0, 0, 0, 5, out, 16), 0);
    EXPECT_STREQ(out[0], "A1");
    EXPECT_STREQ(out[1], "7");
    EXPECT_STREQ(out[2], "");
    EXPECT_EQ(TXLS_get_cells(&book, 0, 0, 0, 0, 2, out, 2), -909);
    EXPECT_STREQ(out[0], "");
    EXPECT_EQ(TXLS_get_cells(&book, 0, 3, 0, 0, 1, out, 16), -901);
    EXPECT_EQ(TXLS_get_cells(&book, 0, 0, 2000000, 0, 1, out, 16), 0);
    EXPECT_EQ(TXLS_get_cells(&book, 0, 0, 0, 16383, 3, out, 16), 0);
}

TEST_F(CellValueApi, SearchFindsAndContinuesThroughMergedAreas) {
    ASSERT_EQ(TXLS_open_sheet(&book, "SHEET_NAME=Second"), 0);
    ASSERT_EQ(TXLS_put_cell(&book, "B2", "Total"), 0);
    ASSERT_EQ(TXLS_put_cell(&book, "B3", "100"), 0);
    ASSERT_EQ(TXLS_put_cell(&book, "B4", "200"), 0);
    ASSERT_EQ(TXLS_put_cell(&book, "B5", "300"), 0);
    store().sheets[1]->merges.push_back(MergeArea{1, 1, 3, 1});   // B2:B4

    char buffers[2][32];
    char *out[2] = {buffers[0], buffers[1]};
    TXLS_SEARCH search{};
    search.direction = 1;
    search.count = 2;
    search.match_mode = 1;
    EXPECT_EQ(TXLS_search(&book, &search, "TOTAL", out, 32), 0);
    EXPECT_EQ(search.hit_sheet, 1);
    EXPECT_EQ(search.hit_row, 1);
    EXPECT_EQ(search.hit_column, 1);
    EXPECT_EQ(search.remaining, 2);
    EXPECT_STREQ(out[0], "Total");
    EXPECT_STREQ(out[1], "100");
    EXPECT_EQ(TXLS_search(&book, &search, "TOTAL", out, 32), 0);
    EXPECT_STREQ(out[0], "100");
    EXPECT_STREQ(out[1], "200");
    EXPECT_EQ(TXLS_search(&book, &search, "TOTAL", out, 32), 0);
    EXPECT_STREQ(out[0], "200");
    EXPECT_EQ(search.remaining, 0);

    TXLS_SEARCH exact{};
    exact.count = 1;
    EXPECT_EQ(TXLS_search(&book, &exact, "TOTAL", out, 32), -801);
    std::snprintf(exact.sheet_name, sizeof exact.sheet_name, "Sheet1");
    EXPECT_EQ(TXLS_search(&book, &exact, "Total", out, 32), -801);
    std::snprintf(exact.sheet_name, sizeof exact.sheet_name, "Nope");
    EXPECT_EQ(TXLS_search(&book, &exact, "Total", out, 32), -3);
    exact.sheet_name[0] = '\0';
    std::snprintf(exact.range, sizeof exact.range, "C1:D9");
    EXPECT_EQ(TXLS_search(&book, &exact, "Total", out, 32), -801);
    std::snprintf(exact.range, sizeof exact.range, "B9:A1");
    EXPECT_EQ(TXLS_search(&book, &exact, "300", out, 32), 0);
    EXPECT_EQ(exact.hit_row, 4);
    std::snprintf(exact.range, sizeof exact.range, "not a range");
    EXPECT_EQ(TXLS_search(&book, &exact, "300", out, 32), -3);
}

TEST_F(CellValueApi, VariablesFeedDollarValues) {
    EXPECT_EQ(TXLS_put_variable(&book, "Rate", "8%"), 0);
    EXPECT_EQ(TXLS_put_variable(&book, "RATE", "10%"), 0);
    ASSERT_EQ(TXLS_put_cell(&book, "A1", "$rate"), 0);
    EXPECT_EQ(value("A1"), "10.0%");
    std::string long_key(81, 'k');
    EXPECT_EQ(TXLS_put_variable(&book, long_key.c_str(), "v"), -1);
    EXPECT_EQ(message(), "TXLS-03009 バッファサイズ(\"81\")オーバー(\"tsx_put_resource() XLS_KEY_LEN\")。");
}
