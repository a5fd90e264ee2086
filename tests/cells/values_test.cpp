// Cells: A1 names, ranges, sheet prefixes, lists and computed forms; values put and read back
// (what a text becomes, system words, long texts, default styles, the store) and the API calls.

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

#include "api/api.h"
#include "cells/values.h"
#include "common/fixtures.h"
#include "format/serial.h"
#include "model/address.h"

using namespace tabsmith;
using tabsmith::testing::BookTest, tabsmith::testing::SheetTest, tabsmith::testing::sjis;

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
    // What the cell keeps: a decimal as written, a string's shared text, a formula's text, a
    // percentage's fraction, or the integer or serial with any text kept beside it.
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

class Address : public ::testing::Test {
protected:
    void SetUp() override {
        add_sheet(book, "Sheet1");
        add_sheet(book, "Sheet2");
    }
    Sheet &first() { return *book.sheets[0]; }
    std::string message() const { return book.err.message_utf8(); }
    // The expanded text, or "rc=<code>" on failure.
    std::string expand(std::string_view text) {
        std::string out;
        const int rc = expand_computed_forms(book, text, out);
        return rc == 0 ? out : "rc=" + std::to_string(rc);
    }
    // "row,column", "sheet!row,column" or with ":row,column" for a range; "rc=<code>" on failure.
    std::string at(std::string_view text) {
        CellRef ref;
        if (int rc = resolve_reference(book, text, ref)) return "rc=" + std::to_string(rc);
        std::string s = (ref.sheet >= 0 ? std::to_string(ref.sheet) + "!" : "") + std::to_string(ref.row1) + "," + std::to_string(ref.column1);
        return ref.is_range ? s + ":" + std::to_string(ref.row2) + "," + std::to_string(ref.column2) : s;
    }
    Book book;
};

// A name as parse_cell_name reads it; resolve_cell, which calls take (plain names by a shorter
// way), must read it the same.
std::string parsed(std::string_view name) {
    int row = 7, column = 7;
    const int rc = parse_cell_name(name, row, column);
    static Book book;
    CellRef ref;
    if (resolve_cell(book, name, ref) != rc || (rc == 0 && std::pair(ref.row1, ref.column1) != std::pair(row, column)))
        return "resolve_cell reads it otherwise";
    return rc == 0 ? std::to_string(row) + "," + std::to_string(column) : "rc=" + std::to_string(rc);
}

}  // namespace

TEST_F(Values, WhatAPutTextBecomes) {
    ASSERT_EQ(tsx_put_resource(book, "price", "\"1,200\""), 0);
    const struct { const char *input; int kind; const char *shown, *held; } cases[] = {  // shown: nullptr leaves it unchecked
        {"12345", kCellInteger, "12345", "12345"}, {"1,234,567", kCellInteger, "1234567", "1234567"}, {"+42", kCellInteger, "+42", "42|+42"},
        {"$PRICE", kCellInteger, "1200", "1200"}, {"12.5", kCellFloat, "12.5", "12.5"},  // the number's own text needs no copy
        {"12.50", kCellFloat, "12.5", "12.50"}, {"0.05", kCellFloat, "0.05", "0.05"}, {"00.5", kCellFloat, "0.5", "00.5"}, {"-1,234.50", kCellFloat, "-1234.5", "-1234.50"}, {"2.000", kCellFloat, "2.0", "2.000"},
        {"9999999999999999999", kCellFloat, "9999999999999999999", "9999999999999999999"},  // a 64-bit overflow is still a number
        // Misplaced separators, twenty bytes or more, stray signs and dots make text.
        {"12,34", kCellString, "12,34", "12,34"}, {",123", kCellString, ",123", ",123"}, {"1,2345", kCellString, "1,2345", "1,2345"},
        {"1.234,567", kCellString, "1.234,567", "1.234,567"}, {"1,23.5", kCellString, "1,23.5", "1,23.5"}, {"+", kCellString, "+", "+"},
        {"1.2.3", kCellString, "1.2.3", "1.2.3"}, {"12345678901234567890", kCellString, "12345678901234567890", "12345678901234567890"},
        {"2024-2-9", kCellDate, "2024/2/9", "45331"}, {"2024/02/29", kCellDate, "2024/2/29", "45351"}, {"2024/02/30", kCellString, "2024/02/30", "2024/02/30"},
        {"2023/02/29", kCellString, "2023/02/29", "2023/02/29"}, {"2024/04/31", kCellString, "2024/04/31", "2024/04/31"},
        {"2024/13/01", kCellString, "2024/13/01", "2024/13/01"}, {"2024/1/40", kCellString, "2024/1/40", "2024/1/40"},
        {"1899/12/31", kCellString, "1899/12/31", "1899/12/31"}, {"2024/1/1x", kCellString, "2024/1/1x", "2024/1/1x"},
        {"2024/01/05 13:30", kCellDateTime, "2024/1/5 13:30", "45296|0.5625"}, {"2024/01/05 13:30:15", kCellDateTime, nullptr, "45296|0.5626736111111111"},
        {"2024/02/30 10:00", kCellString, "2024/02/30 10:00", "2024/02/30 10:00"}, {"2024/01/05 25:00", kCellString, nullptr, "2024/01/05 25:00"},
        {"2024/01/05 10:61", kCellString, nullptr, "2024/01/05 10:61"}, {"9:30", kCellTimeHm, "9時30分", "0|0.3958333333333333"},
        {"09:01:03", kCellTimeHms, "9:01:03", "0|0.37572916666666667"}, {"30:00", kCellTimeHm, nullptr, "1|0.25"},  // hours above 24 carry whole days
        {"9984:00", kCellTimeHm, nullptr, "416|0"}, {"10008:00", kCellString, nullptr, "10008:00"}, {"1:2:3:4", kCellString, nullptr, "1:2:3:4"},
        {"10:61", kCellString, nullptr, "10:61"}, {"123456789:00", kCellString, nullptr, "123456789:00"}, {"10:", kCellString, nullptr, "10:"},
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
    std::string scratch;
    EXPECT_EQ(cell_kind_name(put("= \tSUM(A1:A3)\n "), scratch), "FORMULA:SUM(A1:A3)");
    book.sheets[0]->data_row = 11;
    EXPECT_EQ(*put("=SUM(B1:B($ROWNUM+2))*2").formula(), "SUM(B1:B13)*2");
    const std::size_t before = book.shared_strings.size();
    const std::uint32_t first = put("abc").sst;
    EXPECT_EQ(put("abc", 1).sst, first);
    EXPECT_EQ(book.shared_strings.size(), before + 1);  // the same text twice is stored once
    std::srand(7);  // whether the text is kept or derived, every decimal reads back exactly as written
    for (int k = 0; k < 20000; ++k) {
        std::string whole = k % 3 == 0 ? "0" : std::to_string(std::rand() % 1000000000), fraction;
        for (int d = 1 + std::rand() % 12; d > 0; --d) fraction += static_cast<char>('0' + std::rand() % 10);
        const std::string value = (k % 2 ? "-" : "") + whole + "." + (k % 7 == 0 ? "000" : "") + fraction;
        if (value.size() >= 20) continue;  // a longer text is no number
        const Cell &cell = put(value);
        ASSERT_EQ(std::pair(int(cell.kind), exact_number_text(cell)), std::pair(int(kCellFloat), value));
        ASSERT_EQ(cell.number(), std::strtod(value.c_str(), nullptr)) << value;
    }
}

TEST_F(Values, SystemWordsLongTextsEmptyingDefaultStylesAndLimits) {
    std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    const Cell &today = put("$sysdate");
    EXPECT_EQ(today.kind, kCellDate);
    EXPECT_NEAR(double(today.integer()), datetime_to_serial(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday), 1.0);  // a run across midnight
    EXPECT_EQ(put("$SYSDATETIME", 2).kind, kCellDateTime);
    // The environment is asked for names up to 81 bytes; the variables always are.
    const std::string long_name(90, 'V');
    setenv("TABSMITH_VALUES_TEST", "2024/3/4", 1);
    setenv(long_name.c_str(), "from-env", 1);
    EXPECT_EQ(put("$TABSMITH_VALUES_TEST").kind, kCellDate);
    EXPECT_EQ(shared(put("$" + long_name)), "$" + long_name);
    unsetenv("TABSMITH_VALUES_TEST");
    unsetenv(long_name.c_str());
    // Long texts are cut on characters; exactly 32767 characters stay whole.
    std::string kana, emoji;
    for (int i = 0; i < 33000; ++i) kana += "あ", emoji += "\xF0\x9F\x98\x80";
    EXPECT_EQ(std::vector({shared(put(std::string(40000, 'x'))).size(), shared(put(std::string(32767, 'z'))).size(), shared(put(kana)).size()}),
              std::vector<std::size_t>({32765, 32767, 32765 * 3}));
    EXPECT_EQ(shared(put("\"" + std::string(40000, 'y'))), "\"" + std::string(32763, 'y') + "\"");
    const std::string stored = shared(put(emoji));
    EXPECT_LE(stored.size(), kCellUtf8Bytes);
    EXPECT_EQ(stored.size() % 4, 0u);
    // Emptying keeps the style and drops the cell from lookups; a put counts the used area.
    book.sheets[0]->rows[0].cells[0].style = 9;
    EXPECT_EQ(std::pair(put("").empty(), int(put("").style)), std::pair(true, 9));
    EXPECT_EQ(find_cell(book, 0, 0, 0), nullptr);
    put("1", 150, 20);
    EXPECT_EQ(std::vector<int>({book.sheets[0]->rows_used, book.sheets[0]->rows[150].used, book.current_row, book.current_column}),
              std::vector<int>({151, 21, 150, 20}));
    EXPECT_EQ(std::pair(put_cell_value(book, 0, 0, book.max_columns, "1"), put_cell_value(book, 5, 0, 0, "1")), std::pair(-3, -901));
    int row = 0;
    for (auto [input, style] : {std::pair{"2024/1/1", kXfDate}, {"2024/1/1 10:00", kXfDateTime}, {"10:00", kXfTimeHm}, {"10:00:00", kXfTimeHms},
                                {"12", std::uint16_t{0}}, {"8.25%", kXfPercent}})
        EXPECT_EQ(put(input, row++, 5).style, style) << input;
    // A cell's own style wins; a template's unformatted cell gets its own format showing a date.
    book.sheets[0]->rows[0].cells[1].style = 12;
    EXPECT_EQ(put("2024/1/1", 0, 1).style, 12);
    book.from_file = true;
    const Cell &dated = put("2024/1/1", 10);
    EXPECT_NE(dated.style, 0);
    EXPECT_EQ(cell_xf(book, dated).format, 14u);
    for (auto [input, format, row] : {std::tuple{"2024/1/1 10:00", 22u, 11}, {"10:00", 20u, 12}, {"10:00:00", 21u, 13}, {"25%", 9u, 14}})
        EXPECT_EQ(cell_xf(book, put(input, row)).format, format) << input;
}

TEST(Store, CellsSharedStringsVariablesAndTheLog) {
    Book book;
    ASSERT_EQ(add_sheet(book, "S"), 0);
    Sheet &sheet = *book.sheets[0];
    ASSERT_EQ(ensure_cell(book, sheet, 0, 20), 0);
    for (int c = 0; c < 20; ++c) EXPECT_TRUE(sheet.rows[0].cells[static_cast<std::size_t>(c)].empty());
    EXPECT_GE(sheet.columns.size(), 21u);
    ASSERT_EQ(ensure_cell(book, sheet, 1048575, 16383), 0);  // growth stops at the limit
    EXPECT_EQ(std::pair(sheet.rows.size(), sheet.rows[1048575].cells.size()), std::pair(std::size_t{1048576}, std::size_t{16384}));
    EXPECT_EQ(std::pair(ensure_cell(book, sheet, 1048577, 0), ensure_cell(book, sheet, 0, 16385)), std::pair(-2, -2));
    EXPECT_EQ(std::pair(sheet.rows[5].style, sheet.rows[5].hidden_flag), std::pair(kNoRowStyle, kFlagUnset));
    // Shared strings: equal texts share one index, numbered in first-occurrence order.
    const char *texts[] = {"b", "a", "b", "c", "a", "b"};
    const std::uint32_t indexes[] = {0, 1, 0, 2, 1, 0};
    for (int i = 0; i < 6; ++i) {
        ASSERT_EQ(ensure_cell(book, sheet, i, 0), 0);
        Cell &cell = sheet.rows[static_cast<std::size_t>(i)].cells[0];
        cell.kind = kCellString;
        cell.sst = static_cast<std::uint32_t>(put_shared_string(book, texts[i]));
        EXPECT_EQ(cell.sst, indexes[i]);
        EXPECT_EQ(shared_string_text(book, cell), texts[i]);
    }
    EXPECT_EQ(book.shared_strings.size(), 3u);
    EXPECT_EQ(book.shared_strings.text(0) + book.shared_strings.text(1) + book.shared_strings.text(99), "ba");
    EXPECT_EQ(shared_string_references(book), std::size_t{6});
    // A value stays with its cell as an extra record comes and goes, through moves and copies.
    Cell kept;
    kept.kind = kCellInteger;
    kept.set_integer(7);
    kept.set_text("007");
    kept.set_formula("A1*7");
    Cell moved = std::move(kept);
    const Cell copy = moved.clone();
    moved.set_text({});
    EXPECT_EQ(std::tuple(moved.integer(), moved.text(), *moved.formula()), std::tuple(7, "", "A1*7"));
    EXPECT_EQ(std::tuple(copy.integer(), copy.text(), *copy.formula()), std::tuple(7, "007", "A1*7"));
    EXPECT_EQ(std::tuple(kept.integer(), kept.text(), kept.formula()), std::tuple(0, "", nullptr));
    // A row that grows past its cells keeps them, extra records included.
    ASSERT_EQ(ensure_cell(book, sheet, 7, 1), 0);
    Cell &written = sheet.rows[7].cells[1];
    written.set_number(5.1);
    written.set_text("5.10");
    ASSERT_EQ(ensure_cell(book, sheet, 7, 400), 0);
    const Cell &grown = sheet.rows[7].cells[1];
    EXPECT_EQ(std::tuple(grown.number(), grown.text(), sheet.rows[7].cells[400].empty()), std::tuple(5.1, "5.10", true));
    Cell plain;
    plain.set_number(2.5);
    plain.set_text("2.50");
    plain.set_text({});   // the record goes, the number stays
    EXPECT_EQ(std::pair(plain.number(), plain.extra_record()), std::pair(2.5, static_cast<const CellExtra *>(nullptr)));
    // Variables: a name no variable has, and the value limit (the key limit and letter case are the API's rows).
    std::string value;
    EXPECT_EQ(get_variable(book, "other", value), kNoVariable);
    EXPECT_EQ(tsx_put_resource(book, "k", std::string(6000, 'v')), 0);
    EXPECT_EQ(tsx_put_resource(book, "k2", std::string(6001, 'v')), -9);
    EXPECT_EQ(book.err.message_utf8(), "TXLS-03009 バッファサイズ(\"6001\")オーバー(\"tsx_put_resource() XLS_KEY_VALUE_LEN\")。");
    // The diagnostic log numbers its lines, cuts them at line feeds and keeps the last 32.
    DiagnosticLog log;
    for (auto [pending, text, line] : {std::tuple{3000, "book.xls\nsecond line", "ORV-03000: Officeファイルオープンエラー(\"book.xls\")。処理を中断します。"},
                                       {2, "detail", "ORV-00002: メモリ不足です。処理を中断します。detail"}, {77, "x", "ORV-00077: x"}, {0, "plain", "plain"}}) {
        if (pending) log.set_pending(pending);  // 0: nothing pending
        log.add(text);
        EXPECT_EQ(log.lines().back(), line);
    }
    for (int i = 0; i < 40; ++i) log.add("line " + std::to_string(i));
    log.add(std::string(400, 'z'));
    EXPECT_EQ(std::vector({log.lines().size(), log.lines().back().size()}), std::vector<std::size_t>({32, 300}));
    EXPECT_EQ(log.lines().front(), "line 9");
}

TEST_F(CellValueApi, PutAndGetWithKindNamesFailuresAndCharacterSets) {
    for (auto [input, shown, kind] : {std::tuple{"12345", "12345", "INTEGER"}, {"12.50", "12.5", "FLOAT"}, {"25%", "25.0%", "PERCENT"},
                                      {"2024-2-9", "2024/2/9", "DATE"}, {"2024/2/9 8:05", "2024/2/9 08:05", "DATE_TIME"},
                                      {"'00123", "00123", "CHARACTER"}, {"=A1*2", "", "FORMULA:A1*2"}, {"10:00", "10時0分", ""}}) {  // no time names
        ASSERT_EQ(TXLS_put_cell(&book, "C3", input), 0) << input;
        EXPECT_EQ(get("C3"), (std::pair<std::string, std::string>(shown, kind))) << input;
    }
    ASSERT_EQ(TXLS_put_values(&book, "A1=0123456789 A2=\"2024/12/31 10:00\" A3=\"=SUM(A1:A2)\""), 0);
    char small[5] = "xxxx", kind_buffer[3], value_buffer[64];
    EXPECT_EQ(TXLS_get_cell(&book, "A1", small, sizeof small, kind_buffer, sizeof kind_buffer), -909);
    EXPECT_EQ(message(), "TXLS-03009 バッファサイズ(\"5\")オーバー(\"CELL_STRING\")。");
    EXPECT_EQ(std::pair(small[0], TXLS_error_code(&book)), std::pair('\0', -909));
    EXPECT_EQ(TXLS_get_cell(&book, "A2", small, sizeof small, nullptr, 0), -909);
    EXPECT_EQ(message(), "TXLS-03009 バッファサイズ(\"5\")オーバー(\"CELL_DATE/CELL_DATE_TIME\")。");
    // Numbers one byte too long, and just fitting.
    ASSERT_EQ(TXLS_put_values(&book, "B1=12345 B2=12.25 B3=1234 B4=1.25"), 0);
    for (const char *cell : {"B1", "B2"}) {
        std::memcpy(small, "xxxx", sizeof small);
        EXPECT_EQ(TXLS_get_cell(&book, cell, small, sizeof small, nullptr, 0), -909) << cell;
        EXPECT_EQ(small[0], '\0') << cell;
    }
    for (auto [cell, shown] : {std::pair{"B3", "1234"}, {"B4", "1.25"}}) {
        EXPECT_EQ(TXLS_get_cell(&book, cell, small, sizeof small, nullptr, 0), 0) << cell;
        EXPECT_STREQ(small, shown);
    }
    // A kind name that does not fit is left out; a formula that does not fit is an error.
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
    reopen("SJIS");  // texts in and out in the book's character set
    ASSERT_EQ(TXLS_put_cell(&book, "A1", sjis("日本語").c_str()) + TXLS_put_cell(&book, "A2", "9:30"), 0);
    EXPECT_EQ(store().shared_strings.text(static_cast<std::uint32_t>(store().shared_strings.size() - 1)), "日本語");
    EXPECT_EQ(value("A1") + value("A2"), sjis("日本語9時30分"));
}

TEST(CellNames, LettersNamesAndTheirLimits) {
    for (auto [column, letters] : {std::pair{0, "A"}, {25, "Z"}, {26, "AA"}, {701, "ZZ"}, {702, "AAA"}, {1352, "AZA"}, {16383, "XFD"}, {16384, ""}, {-1, ""}})
        EXPECT_EQ(column_letters(column), letters) << column;
    std::string name;
    EXPECT_EQ(cell_name(1048575, 16383, name, true), 0);
    EXPECT_EQ(name, "$XFD$1048576");
    for (auto [row, column] : {std::pair{1048576, 0}, {0, 16384}, {-1, 0}}) EXPECT_EQ(cell_name(row, column, name), -1);
    for (auto [text, expected] : {std::pair{"b2", "1,1"}, {"$B$2", "1,1"}, {"B$2", "1,1"}, {"$B2", "1,1"}, {"xfd1048576", "1048575,16383"},
                                  {"C*", "1048575,2"}, {"**", "1048575,16383"}})
        EXPECT_EQ(parsed(text), expected) << text;
    for (const char *text : {"A0", "A1048577", "XFE1", "AAAA1", "A", "1", "", "$", "$$A1", "A$$1", "A1x", "A-1", "A 1", " A1", "A1.5",
                             "\xc3\x84" "1", "A99999999999999999999999", "*", "***"})
        EXPECT_EQ(parsed(text), "rc=-1") << text;
    for (int column = 0; column <= kMaxNameColumn; ++column) {  // every column round-trips through its name
        ASSERT_EQ(cell_name(column, column, name), 0);
        ASSERT_EQ(parsed(name), std::to_string(column) + "," + std::to_string(column)) << name;
    }
}

TEST_F(Address, ComputedFormsInNames) {
    ASSERT_EQ(tsx_put_resource(book, "start", "7"), 0);
    const struct { int data_row, data_column; const char *text, *at; } cases[] = {
        // $ROWNUM is the counter minus one as a 0-based row; not set, the last row in use.
        {11, 0, "A($ROWNUM+2)", "12,0"}, {11, 0, "B($rownum)", "10,1"}, {0, 0, "A($ROWNUM)", "0,0"}, {4, 3, "($CLMNUM)1", "0,2"},
        {4, 3, "$($CLMNUM+1)$($ROWNUM+1)", "4,3"}, {0, 0, "A(10-3+1)", "8,0"}, {0, 0, "A(5 3)", "3,0"},  // a term without operator replaces
        {0, 0, "A( 2 + 2 )", "4,0"}, {0, 0, "A($START+1)", "8,0"}, {0, 0, "A(1048576)", "rc=-1"}, {0, 0, "(16384)1", "rc=-1"},
        {0, 0, "A(99999999999999999999999999+1)", "rc=-1"},
        // Malformed groups are no name and say nothing.
        {0, 0, "A($ROWNUM", "rc=-1"}, {0, 0, "A()", "rc=-1"}, {0, 0, "A(+)", "rc=-1"}, {0, 0, "A(1)2", "rc=-1"}, {0, 0, "hello($MISSING)", "rc=-1"},
        {0, 0, "A1($MISSING)", "rc=-1"}, {0, 0, "($ROWNUM", "rc=-1"}, {0, 0, "A((1))x", "rc=-1"},
    };
    for (const auto &c : cases) {
        first().data_row = c.data_row;
        first().data_column = c.data_column;
        EXPECT_EQ(at(c.text), c.at) << c.text;
    }
    EXPECT_FALSE(book.err.has_message());
    first().rows_used = 5;
    EXPECT_EQ(at("A($ROWNUM)"), "4,0");
    EXPECT_EQ(at("A($ROWNUM-10)"), "rc=-1");
    ASSERT_EQ(ensure_cell(book, first(), 1, 6), 0);  // not set, $CLMNUM is the last column of the widest row in use
    first().rows_used = 2;
    first().rows[1].used = 7;
    EXPECT_EQ(at("($CLMNUM)1"), "0,6");
    tsx_put_resource(book, "word", "12a");
    for (auto [text, said] : {std::pair{"A($MISSING)", "TXLS-03001 変数の値が取得できません(\"$MISSING\")。"}, {"A($word)", "TXLS-02302 数値が不正です(\"$word\")。"},
                              {"A($ROWNUM*2)", "TXLS-02201 サポート外の演算子です(\"*\")。"}, {"A(4/2)", "TXLS-02201 サポート外の演算子です(\"/\")。"},
                              {"A(2^2)", "TXLS-02200 サポート外のキーワードです(\"^\")。"}, {"A(x)", "TXLS-02200 サポート外のキーワードです(\"x\")。"}}) {
        EXPECT_EQ(at(text), "rc=-3") << text;
        EXPECT_EQ(message(), said);
    }
}

TEST_F(Address, SheetPrefixesRangesRowRangesAndLists) {
    for (const char *name : {"My Sheet", "It's", "売上", "a:b", "a,b"}) add_sheet(book, name);
    const std::string prefix = std::string(90, 'n') + "!A";
    const std::pair<std::string, const char *> cases[] = {
        {"Sheet2!C4", "1!3,2"}, {"Nowhere!C4", "3,2"}, {"sheet2!C4", "3,2"}, {"'My Sheet'!B2", "2!1,1"}, {"'It''s'!B2", "3!1,1"},  // matched exactly
        {"売上!B2", "4!1,1"}, {"'a:b'!B2", "5!1,1"}, {"'My Sheet'!A1:B2", "2!0,0:1,1"}, {"'Unclosed!B2", "rc=-1"}, {"'My Sheet'B2", "rc=-1"},
        {std::string(93, 'n') + "!A1", "0,0"}, {std::string(94, 'n') + "!A1", "rc=-1"}, {std::string(90, 'n') + "!A1:B2", "0,0:1,1"},
        {std::string(91, 'n') + "!A1:B2", "rc=-1"},
        // Leading zeros are the only way past the 125 bytes of a range text.
        {prefix + std::string(29, '0') + "1:B2", "0,0:1,1"}, {prefix + std::string(30, '0') + "1:B2", "rc=-1"},
        {"A1:C3", "0,0:2,2"}, {"Sheet2!$C$3:a1", "1!2,2:0,0"},  // corners stay as written
        {"A1:", "rc=-1"}, {":A1", "rc=-1"}, {"A1:B2:C3", "rc=-1"}, {"1:3", "rc=-1"}, {"A:C", "rc=-1"}, {"A1:B0", "rc=-1"}, {"", "rc=-1"},
        {"Sheet2!", "rc=-1"}, {"nothing", "rc=-1"}, {std::string(5000, '\''), "rc=-1"}, {"A\xff\xfe" "1", "rc=-1"},
    };
    for (const auto &[text, expected] : cases) EXPECT_EQ(at(text), expected) << text;
    first().data_row = 20;  // long expressions are fine as long as the expanded range fits
    EXPECT_EQ(at("A1:D(" + std::string(200, ' ') + "$ROWNUM)"), "0,0:19,3");
    CellRef ref;
    EXPECT_EQ(resolve_range(book, "A1", ref), -1);

    int r1 = -1, r2 = -1;
    ASSERT_EQ(parse_row_range(book, "3:5", r1, r2), 0);
    EXPECT_EQ(std::pair(r1, r2), std::pair(2, 4));
    for (const std::string &text : {std::string("1:1048576"), "1:" + std::string(77, '0') + "2"}) EXPECT_EQ(parse_row_range(book, text, r1, r2), 0);  // 80 bytes
    for (const std::string &text : std::vector<std::string>{"0:5", "3", "3:", ":5", "a:5", "3:5:7", "1:1048577", "$3:$5", " 3:5", "-1:2", "", "1:" + std::string(78, '0') + "2"})
        EXPECT_EQ(parse_row_range(book, text, r1, r2), -3) << text;
    book.max_rows = kXlsMaxRows;
    EXPECT_EQ(std::pair(parse_row_range(book, "1:65536", r1, r2), parse_row_range(book, "1:65537", r1, r2)), std::pair(0, -3));

    std::vector<CellRef> refs;
    ASSERT_EQ(parse_range_list(book, "A1, B2:C3,'a,b'!D4", refs), 0);
    ASSERT_EQ(refs.size(), 3u);
    EXPECT_EQ(std::vector<int>({refs[0].is_range, refs[1].is_range, refs[2].sheet, refs[2].row1}), std::vector<int>({0, 1, 6, 3}));
    std::string many = "A1";
    for (int i = 1; i < kMaxRangeList; ++i) many += ",A1";
    ASSERT_EQ(parse_range_list(book, many, refs), 0);
    EXPECT_EQ(refs.size(), 255u);
    for (const std::string &text : {many + ",A1", std::string(""), std::string("A1,"), std::string(",A1"), std::string("A1,,B2"), std::string("A1,xyz"),
                                    std::string(5999, ',')}) {
        EXPECT_EQ(parse_range_list(book, text, refs), -1) << text;
        EXPECT_TRUE(refs.empty());
    }
    EXPECT_EQ(parse_range_list(book, "A1,A($NOPE)", refs), -3);
}

TEST_F(Address, ComputedFormsInFormulaTexts) {
    first().data_row = 11;
    first().data_column = 3;
    tsx_put_resource(book, "LASTROW", "4");
    const std::string nested = std::string(3000, '(') + "$ROWNUM" + std::string(2990, ')');
    const std::pair<std::string, std::string> cases[] = {
        {"=SUM(A1:A($ROWNUM))", "=SUM(A1:A11)"}, {"=SUM($A$1:$A$($ROWNUM+1))", "=SUM($A$1:$A$12)"}, {"=A($ROWNUM)*2+B($ROWNUM-1)", "=A11*2+B10"},
        {"=Sheet2!C($ROWNUM)", "=Sheet2!C11"}, {"='Q (1)'!C($ROWNUM)", "='Q (1)'!C11"}, {"=SUM(A1:A($LASTROW))", "=SUM(A1:A5)"},
        {"($CLMNUM)1", "C1"}, {"=SUM(A1:($CLMNUM)$5)", "=SUM(A1:C$5)"}, {"=($CLMNUM+1)($ROWNUM)", "=D11"},
        {"=($CLMNUM)$(2)", "=C$3"},  // row right after a column group
        {"=A($ROWNUM-12)", "rc=-1"},  // row above the first
        {std::string(6000, 'x'), std::string(6000, 'x')}, {std::string(6001, 'x'), "rc=-1"}, {nested, nested},
        {"$" + std::string(5999, '('), "$" + std::string(5999, '(')},
    };
    for (const auto &[text, expected] : cases) EXPECT_EQ(expand(text), expected) << text.substr(0, 80);
    CellRef ref;
    EXPECT_EQ(resolve_cell(book, "A" + nested, ref), -1);
    // Groups that are no computed form stay as they are, without a word.
    for (const char *text : {"=SUM(5)", "=ABS($A1)", "=SUM($A$1)", "=SUM($B)", "=MAX($ROWNUM,1)", "=LOG10($ROWNUM)", "=x1A($ROWNUM)", "=_A($ROWNUM)",
                             "=ZZZZ($ROWNUM)", "=($ROWNUM)+1", "=\"A($ROWNUM)\"&B1", "=IF(A1>0,A($ROWNUM:1),0)", "=A(($ROWNUM))", "no dollar (1) here"})
        EXPECT_EQ(expand(text), text) << text;
    EXPECT_FALSE(book.err.has_message());
    EXPECT_EQ(expand("=SUM(A1:A($NOSUCH))"), "rc=-3");
    EXPECT_NE(message().find("TXLS-03001"), std::string::npos);
    EXPECT_EQ(expand("=A($ROWNUM*2)"), "rc=-3");
    EXPECT_NE(message().find("TXLS-02201"), std::string::npos);
}

TEST(CellApi, IsCellAndIsRangeGiveOneBasedPositionsAndStoreTheirResult) {
    XLS_BOOK book{};
    ASSERT_EQ(TXLS_open_book(&book, "MODE=CREATE"), 0);
    Book &work = *static_cast<Book *>(book.work);
    add_sheet(work, "Sheet1");
    work.sheets[0]->data_row = 11;
    auto is = [&](bool range, const std::string &text) {
        int r1 = 0, c1 = 0, r2 = 0, c2 = 0;
        const int rc = range ? TXLS_is_range(&book, text.c_str(), &r1, &c1, &r2, &c2) : TXLS_is_cell(&book, text.c_str(), &r1, &c1);
        if (rc != 0) return "rc=" + std::to_string(rc);
        return std::to_string(r1) + "," + std::to_string(c1) + (range ? ":" + std::to_string(r2) + "," + std::to_string(c2) : "");
    };
    const struct { bool range; std::string text, result; int code; } cases[] = {  // code: the book's error code afterwards
        {false, "b2", "2,2", 0}, {false, "Sheet1!$XFD$1048576", "1048576,16384", 0}, {false, "A($ROWNUM+2)", "13,1", 0},
        {false, "A1:B2", "rc=-801", -801}, {false, "A0", "rc=-801", -801}, {false, "B2", "2,2", 0},  // cleared again
        {false, "A($NOPE)", "rc=-3", -3}, {false, std::string(6000, 'A'), "rc=-801", -801}, {false, std::string(6001, 'A'), "rc=-3", -3},
        {false, "", "rc=-801", -801}, {false, "\x81", "rc=-801", -801},  // a cut Shift-JIS character
        {true, "A1:C3", "1,1:3,3", 0}, {true, "zz", "rc=-801", -801}, {true, "A1", "rc=-3", 0},  // a single cell is no range, and no error either
        {true, std::string(6001, 'A'), "rc=-3", -3},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(is(c.range, c.text), c.result) << c.text;
        EXPECT_EQ(TXLS_error_code(&book), c.code) << c.text;
    }
    // Texts arrive in the book's character set.
    add_sheet(work, "売上");
    ASSERT_EQ(TXLS_put_variable(&book, sjis("最終行").c_str(), "9"), 0);
    EXPECT_EQ(is(true, sjis("売上!A1:B($最終行)")), "1,1:10,2");
    EXPECT_EQ(is(false, sjis("売上!B($最終行)")), "10,2");
    TXLS_free_book(&book);
}
