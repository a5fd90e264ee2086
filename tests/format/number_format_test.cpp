// Value rendering by format kind (dates at the era and clock edges, grouping, yen, hidden,
// percentages), the kind of a cell's XF, format-code and id classification, and the formatted
// read call.

#include <gtest/gtest.h>

#include <cstring>

#include "cells/values.h"
#include "common/fixtures.h"
#include "format/number_format.h"
#include "format/serial.h"
#include "model/address.h"
#include "model/book.h"

using namespace tabsmith;
using tabsmith::testing::SheetTest;

namespace {

Cell value_cell(CellKind kind, std::int64_t serial, std::string text = {}) {
    Cell cell;
    cell.kind = kind;
    cell.set_integer(serial);
    cell.set_text(std::move(text));
    return cell;
}

std::int64_t day(int y, int m, int d) { return date_to_serial_days(y, m, d); }

// A UTF-8 book with one sheet, read through the C API after formats are set on the store.
class FormatCellApi : public SheetTest {
protected:
    Cell &put(const char *name, const char *value) {
        EXPECT_EQ(TXLS_put_cell(&book, name, value), 0);
        CellRef ref;
        EXPECT_EQ(resolve_cell(store(), name, ref), 0);
        return store().sheets[0]->rows[static_cast<std::size_t>(ref.row1)].cells[static_cast<std::size_t>(ref.column1)];
    }
    void format(Cell &cell, std::uint16_t kind, std::uint8_t decimals = 0) {
        NumFormat entry;
        entry.kind = kind;
        entry.decimals = decimals;
        int index = 0;
        ASSERT_EQ(append_num_format(store(), entry, index), 0);
        ASSERT_EQ(set_cell_number_format(store(), cell, static_cast<std::uint32_t>(index)), 0);
    }
    void builtin(Cell &cell, std::uint32_t id) {
        XfRecord xf;
        xf.format = id;
        ASSERT_EQ(set_cell_xf(store(), cell, xf), 0);
    }
    std::string formatted(const char *name) {
        char v[256] = "x", k[64] = "x";
        EXPECT_EQ(TXLS_get_format_cell(&book, name, v, sizeof v, k, sizeof k), 0) << name;
        return v;
    }
};

}  // namespace

TEST(FormatCellText, DatesAtTheEdgesOfErasAndClocks) {
    const Book book;
    struct Case { Cell cell; int kind; const char *text; } cases[] = {
        {value_cell(kCellDate, 59), 302, "1900/2/28"},    {value_cell(kCellDate, 60), 302, "1900/2/29"},
        {value_cell(kCellDate, 61), 0, "1900/3/1"},
        {value_cell(kCellDate, day(1900, 1, 1)), 335, "明治33"}, {value_cell(kCellDate, day(1912, 7, 29)), 334, "M45.7.29"},
        {value_cell(kCellDate, day(1912, 7, 30)), 334, "T1.7.30"}, {value_cell(kCellDate, day(1926, 12, 24)), 334, "T15.12.24"},
        {value_cell(kCellDate, day(1926, 12, 25)), 334, "S1.12.25"}, {value_cell(kCellDate, day(1926, 12, 25)), 335, "昭和1"},
        {value_cell(kCellDate, day(1989, 1, 7)), 334, "S64.1.7"}, {value_cell(kCellDate, day(1989, 1, 7)), 335, "昭和64"},
        {value_cell(kCellDate, day(1989, 1, 8)), 334, "H1.1.8"}, {value_cell(kCellDate, day(2019, 4, 30)), 334, "H31.4.30"},
        {value_cell(kCellDate, day(2019, 4, 30)), 335, "平成31"}, {value_cell(kCellDate, day(2019, 5, 1)), 334, "R1.5.1"},
        {value_cell(kCellDate, 45292), 334, "R6.1.1"},   {value_cell(kCellDate, 45292), 335, "令和6"},
        {value_cell(kCellDate, 45292), 341, "Monday"},  {value_cell(kCellDate, 45292), 343, "月曜日"},
        {value_cell(kCellDate, 45298), 341, "Sunday"},  {value_cell(kCellDate, 45297), 342, "土"},
        {value_cell(kCellTimeHm, 0, "0.75"), 403, "06:00 PM"}, {value_cell(kCellTimeHm, 0, "0"), 403, "12:00 AM"},
        {value_cell(kCellTimeHm, 0, "0.5"), 403, "12:00 PM"},
        {value_cell(kCellTimeHms, 0, "0.04166666666666666"), 406, "1:00:00 AM"},
        {value_cell(kCellTimeHms, 0, "0.999988425925926"), 406, "11:59:59 PM"},
        {value_cell(kCellTimeHms, 0, "0.999988425925926"), 0, "23:59:59"},
        {value_cell(kCellDateTime, 45292, "0.75"), 304, "2024/1/1 06:00 PM"},
        {value_cell(kCellDateTime, 45292, "0.75"), 0, "2024/1/1 18:00"},
        {value_cell(kCellDate, 45292, "0.75"), 318, "2024/1/1 00:00:00"},  // a plain date has no time
        {value_cell(kCellDate, 45292), 999, ""},
    };
    for (const Case &c : cases)
        EXPECT_EQ(format_cell_text(book, c.cell, c.kind, 0, -1), c.text) << c.cell.integer() << " kind " << c.kind;
}

TEST(FormatCellText, GroupedYenHiddenAndPercent) {
    const Book book;
    struct Case { CellKind cell_kind; const char *number; int kind, decimals; const char *text; } cases[] = {
        {kCellFloat, "-1234567.25", 107, -1, "-1,234,567.25"}, {kCellInteger, "1000", 107, -1, "1,000"},
        {kCellInteger, "100", 108, 2, "100.00"},               {kCellFloat, "1234.5", 107, 2, "1,234.50"},
        {kCellFloat, "-0.5", 107, -1, "-0.5"},                 {kCellFloat, "1.999", 107, 2, "2.00"},
        {kCellFloat, "999.9999999", 107, -1, "1,000"},         {kCellFloat, "-0.0001", 107, 2, "0.00"},
        {kCellFloat, "1.5E+7", 107, -1, "15,000,000"},          {kCellInteger, "5000", 201, 0, "¥5,000"},
        {kCellInteger, "-5000", 205, 0, "¥-5,000"},              {kCellInteger, "5000", 900, -1, ""},
        {kCellFloat, "0012.500", 100, -1, "12.5"},             {kCellFloat, "2.000000", 0, -1, "2.0"},
        {kCellPercent, "0.082500", 0, -1, "8.25%"},            {kCellPercent, "0.082500", 0, 3, "8.250%"},
        {kCellPercent, "0.500000", 0, -1, "50.0%"},            {kCellPercent, "0.082500", 0, 0, "8%"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(format_cell_text(book, value_cell(c.cell_kind, 0, c.number), 0, c.kind, c.decimals), c.text)
            << c.number << " kind " << c.kind;
    EXPECT_EQ(format_cell_text(book, value_cell(kCellInteger, 1234567), 0, 107, -1), "1,234,567");
}

TEST(FormatClassification, CodesInOrderAndBuiltinIds) {
    const std::pair<const char *, int> codes[] = {
        {"yyyy/m/d\\ h:mm;@", 303},  {"yyyy/m/d\\ h:mm AM/PM;@", 304}, {"yyyy/m/d;@", 302},
        {"[$-411]ggge&quot;年&quot;m&quot;月&quot;d&quot;日&quot;;@", 335}, {"[$-411]ge\\.m\\.d;@", 334},
        {"[$-409]dddd\\,\\ mmmm\\ dd\\,\\ yyyy", 333}, {"dddd", 341}, {"ddd", 340}, {"aaaa", 343}, {"aaa", 342},
        {"yyyy&quot;年&quot;m&quot;月&quot;d&quot;日&quot;;@", 333}, {"yyyy\"年\"m\"月\"d\"日\"", 333},
        {"m\"月\"d\"日\";@", 331}, {"yyyy\"年\"m\"月\";@", 332}, {"h\"時\"mm\"分\";@", 402}, {"h\"時\"mm\"分\"ss\"秒\";@", 405},
        {"m\"月\"", 330}, {"h:mm:ss", 404}, {"h:mm:ss AM/PM", 406}, {"h:mm", 401}, {"h:mm AM/PM", 403},
        {"mm:ss", 407}, {"m/d/yy", 307}, {"mm/dd/yy", 308}, {"d\\-mmm", 309}, {"d\\-mmm\\-yy", 310},
        {"dd\\-mmm\\-yy", 311}, {"mmm\\-yy", 312}, {"mmmm\\-yy", 313}, {"mmmmm", 314}, {"mmmmm\\-yy", 315},
        {"m/d;@", 306}, {"\\$#,##0", 201}, {"&quot;\\&quot;#,##0;&quot;\\&quot;\\-#,##0", 201},
        {"&quot;¥&quot;#,##0;&quot;¥&quot;\\-#,##0", 201}, {"_ \"¥\"* #,##0_ ;_ \"¥\"* \\-#,##0_ ", 201}, {"#,##0.00_ ", 107},
        {"\"\"", 900}, {"&quot;&quot;", 900}, {"d", 319}, {"0.00_ ;[Red]\\-0.00\\ ", 100},  // the d of [Red] is no day
        {"0&quot;%&quot;", 501}, {"General", 100}, {"", 100},
    };
    for (auto [code, kind] : codes) EXPECT_EQ(format_code_kind(code), kind) << code;

    Book book;
    for (auto [kind, id] : {std::pair{302, 180}, {404, 181}, {501, 182}, {107, 183}, {316, 184}}) {
        NumFormat entry;
        entry.kind = static_cast<std::uint16_t>(kind);
        entry.assigned_id = static_cast<std::uint16_t>(id);
        int index = 0;
        ASSERT_EQ(append_num_format(book, entry, index), 0);
    }
    const std::pair<int, int> ids[] = {{0, 10},   {9, 13},   {10, 13},  {14, 20},  {58, 20},  {22, 21},
                                       {18, 23},  {32, 23},  {21, 24},  {46, 24},  {49, 24},  {180, 20},
                                       {181, 21}, {182, 13}, {183, 10}, {184, 10}, {190, 10}, {2, 10}};
    for (auto [id, category] : ids) EXPECT_EQ(value_category(book, id), category) << id;
}

TEST_F(FormatCellApi, FormattedReadsFollowTheCellsOwnFormat) {
    EXPECT_EQ(format_kind_of_cell(store(), put("A1", "2024/01/01")), 302);
    EXPECT_EQ(format_kind_of_cell(store(), put("A2", "2024/01/01 18:00")), 303);
    EXPECT_EQ(format_kind_of_cell(store(), put("A3", "17:45:30")), 404);
    format(put("B1", "2024/01/01"), 341);
    format(put("B2", "1989/01/07"), 334);
    format(put("B3", "-1234567.25"), 107, 2);
    format(put("B4", "5000"), 201);
    format(put("B5", "8.25%"), 501, 3);
    builtin(put("B6", "18:00"), 18);
    builtin(put("B7", "1234"), 3);
    builtin(put("B8", "0.5%"), 10);
    builtin(put("B9", "2024/01/01"), 3);  // a date shown through a number format keeps its date text
    const std::pair<const char *, const char *> cases[] = {
        {"A2", "2024/1/1 18:00"}, {"A3", "17:45:30"},  {"B1", "Monday"}, {"B2", "S64.1.7"},  {"B3", "-1,234,567.25"},
        {"B4", "¥5,000"},         {"B5", "8.250%"},    {"B6", "06:00 PM"}, {"B7", "1,234"}, {"B8", "0.50%"},
        {"B9", "2024/1/1"},
    };
    for (auto [cell, text] : cases) EXPECT_EQ(formatted(cell), text) << cell;
}

// The yen sign leaves in each character set as the character its readers show as one: 0x5C in
// Shift-JIS (the code page's yen), the full-width sign in EUC-JP, where 0x5C is a backslash, and
// U+00A5 itself in UTF-8. The built-in yen ids render as the formats they are declared with.
TEST_F(FormatCellApi, YenSignInEveryCharacterSet) {
    const std::pair<const char *, std::string> sets[] = {{"UTF8", "\xC2\xA5"}, {"SJIS", "\x5C"}, {"EUC", "\xA1\xEF"}};
    for (const auto &[charset, yen] : sets) {
        reopen(charset);
        format(put("A1", "5000"), 202);
        builtin(put("A2", "5000"), 5);
        builtin(put("A3", "-5000.5"), 8);
        EXPECT_EQ(formatted("A1"), yen + "5,000") << charset;
        EXPECT_EQ(formatted("A2"), yen + "5,000") << charset;
        EXPECT_EQ(formatted("A3"), yen + "-5,000.50") << charset;
    }
}

TEST_F(FormatCellApi, UnloadReadsWhatTheSheetShows) {
    Cell &percent = put("A1", "8.25%");
    format(put("A2", "1234567"), 107);
    format(put("A3", "2024/01/01"), 343);
    EXPECT_EQ(value("A2"), "1234567");  // only an unloaded book renders
    store().unload = true;
    EXPECT_EQ(value("A1") + "|" + value("A2") + "|" + value("A3"), "8.25%|1,234,567|月曜日");
    format(percent, 501, 3);
    EXPECT_EQ(value("A1"), "8.25%");  // no decimals count on this way
}

TEST_F(FormatCellApi, BuffersAndErrors) {
    put("A1", "2024/01/01");
    put("A2", "some text");
    char small[5] = "x", v[64] = "x", k[64] = "x";
    EXPECT_EQ(TXLS_get_format_cell(&book, "A1", small, sizeof small, k, sizeof k), -909);
    EXPECT_EQ(small[0], '\0');
    EXPECT_NE(message().find("CELL_DATE/CELL_DATE_TIME"), std::string::npos);
    EXPECT_EQ(TXLS_get_format_cell(&book, "A2", small, sizeof small, k, sizeof k), -909);
    EXPECT_NE(message().find("CELL_STRING"), std::string::npos);
    EXPECT_EQ(TXLS_get_format_cell(&book, "A2", v, sizeof v, k, sizeof k), 0);
    EXPECT_EQ(std::string(v) + "|" + k, "some text|CHARACTER");
    EXPECT_EQ(TXLS_get_format_cell(&book, "A1", v, sizeof v, nullptr, 0), 0);
    EXPECT_STREQ(v, "2024/1/1");
    for (auto [cell, rc] : {std::pair{"A9", -902}, {"Z1", -903}, {"??", -3}})
        EXPECT_EQ(TXLS_get_format_cell(&book, cell, v, sizeof v, k, sizeof k), rc) << cell;
}
