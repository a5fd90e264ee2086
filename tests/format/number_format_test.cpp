// Value rendering through format kinds (dates at the era and clock edges, date templates, grouping,
// yen, hidden, percentages), code and id classification, the formatted read, and serial days.

#include <gtest/gtest.h>

#include "cells/values.h"
#include "common/fixtures.h"
#include "format/number_format.h"
#include "format/serial.h"
#include "model/address.h"

using namespace tabsmith;

namespace {

// A UTF-8 book with one sheet, read through the C API after formats are set on the store.
class FormatCellApi : public tabsmith::testing::SheetTest {
protected:
    Cell &put(const char *name, const char *value) {
        EXPECT_EQ(TXLS_put_cell(&book, name, value), 0);
        CellRef ref;
        EXPECT_EQ(resolve_cell(store(), name, ref), 0);
        return store().sheets[0]->rows[static_cast<std::size_t>(ref.row1)].cells[static_cast<std::size_t>(ref.column1)];
    }
    // A number-format entry of `kind` (and `decimals`) on the cell, or with `kind` < 100 a built-in id.
    void format(Cell &cell, std::uint16_t kind, std::uint8_t decimals = 0) {
        NumFormat entry;
        XfRecord xf;
        entry.kind = kind, entry.decimals = decimals, xf.format = kind;
        int index = 0;
        if (kind < 100) {
            ASSERT_EQ(set_cell_xf(store(), cell, xf), 0);
        } else {
            ASSERT_TRUE(append_num_format(store(), entry, index) == 0 &&
                        set_cell_number_format(store(), cell, static_cast<std::uint32_t>(index)) == 0);
        }
    }
    std::string formatted(const char *name) {
        char v[256] = "x", k[64] = "x";
        EXPECT_EQ(TXLS_get_format_cell(&book, name, v, sizeof v, k, sizeof k), 0) << name;
        return v;
    }
};

}  // namespace

TEST(FormatCellText, EveryKindOfValueThroughEveryKindOfFormat) {
    const std::int64_t y1912 = date_to_serial_days(1912, 7, 29), y1926 = date_to_serial_days(1926, 12, 25);
    const std::int64_t y1989 = date_to_serial_days(1989, 1, 8), y2019 = date_to_serial_days(2019, 5, 1);
    const CellKind D = kCellDate, DT = kCellDateTime, HM = kCellTimeHm, HMS = kCellTimeHms, I = kCellInteger, F = kCellFloat;
    // The value (cell kind, whole part, text part) and the date kind or number kind and decimals.
    struct Row { CellKind cell; std::int64_t whole; const char *text; int date_kind, number_kind, decimals; const char *out; };
    std::vector<Row> rows = {
        // The 1900 leap day, the eras on their first and last days, weekdays, the clock's edges.
        {D, 59, "", 302, 0, -1, "1900/2/28"}, {D, 60, "", 302, 0, -1, "1900/2/29"}, {D, 61, "", 0, 0, -1, "1900/3/1"},
        {D, 1, "", 335, 0, -1, "明治33"}, {D, y1912, "", 334, 0, -1, "M45.7.29"}, {D, y1912 + 1, "", 334, 0, -1, "T1.7.30"},
        {D, y1926 - 1, "", 334, 0, -1, "T15.12.24"}, {D, y1926, "", 334, 0, -1, "S1.12.25"}, {D, y1926, "", 335, 0, -1, "昭和1"},
        {D, y1989 - 1, "", 334, 0, -1, "S64.1.7"}, {D, y1989 - 1, "", 335, 0, -1, "昭和64"}, {D, y1989, "", 334, 0, -1, "H1.1.8"},
        {D, y2019 - 1, "", 334, 0, -1, "H31.4.30"}, {D, y2019 - 1, "", 335, 0, -1, "平成31"}, {D, y2019, "", 334, 0, -1, "R1.5.1"},
        {D, 45292, "", 334, 0, -1, "R6.1.1"}, {D, 45292, "", 335, 0, -1, "令和6"}, {D, 45292, "", 341, 0, -1, "Monday"},
        {D, 45292, "", 343, 0, -1, "月曜日"}, {D, 45298, "", 341, 0, -1, "Sunday"}, {D, 45297, "", 342, 0, -1, "土"},
        {HM, 0, "0.75", 403, 0, -1, "06:00 PM"}, {HM, 0, "0", 403, 0, -1, "12:00 AM"}, {HM, 0, "0.5", 403, 0, -1, "12:00 PM"},
        {HMS, 0, "0.04166666666666666", 406, 0, -1, "1:00:00 AM"}, {HMS, 0, "0.999988425925926", 406, 0, -1, "11:59:59 PM"},
        {HMS, 0, "0.999988425925926", 0, 0, -1, "23:59:59"}, {DT, 45292, "0.75", 304, 0, -1, "2024/1/1 06:00 PM"},
        {DT, 45292, "0.75", 0, 0, -1, "2024/1/1 18:00"}, {D, 45292, "0.75", 318, 0, -1, "2024/1/1 00:00:00"},  // a date has no time
        {D, 45292, "0.75", 401, 0, -1, "00:00"}, {D, 45292, "", 999, 0, -1, ""},
        // The default of each cell kind, and two-digit years.
        {D, 45292, "", 0, 0, -1, "2024/1/1"}, {DT, 45292, "0.5208333333333334", 0, 0, -1, "2024/1/1 12:30"},
        {HM, 0, "0.375", 0, 0, -1, "9時0分"}, {HMS, 0, "0.37572916666666667", 0, 0, -1, "9:01:03"},
        {D, 36525, "", 308, 0, -1, "12/31/99"}, {D, 39876, "", 307, 0, -1, "3/4/09"},
        // Numbers grouped (rounded to the decimals asked for), in yen, hidden, plain; percentages.
        {F, 0, "-1234567.25", 0, 107, -1, "-1,234,567.25"}, {I, 0, "1000", 0, 107, -1, "1,000"}, {I, 0, "100", 0, 108, 2, "100.00"},
        {F, 0, "1234.5", 0, 107, 2, "1,234.50"}, {F, 0, "-0.5", 0, 107, -1, "-0.5"}, {F, 0, "1.999", 0, 107, 2, "2.00"},
        {F, 0, "999.9999999", 0, 107, -1, "1,000"}, {F, 0, "-0.0001", 0, 107, 2, "0.00"}, {F, 0, "1.5E+7", 0, 107, -1, "15,000,000"},
        {I, 1234567, "", 0, 107, -1, "1,234,567"}, {I, 0, "5000", 0, 201, 0, "¥5,000"}, {I, 0, "-5000", 0, 205, 0, "¥-5,000"},
        {I, 0, "5000", 0, 900, -1, ""}, {F, 0, "0012.500", 0, 100, -1, "12.5"}, {F, 0, "2.000000", 0, 0, -1, "2.0"},
        {kCellPercent, 0, "0.082500", 0, 0, -1, "8.25%"}, {kCellPercent, 0, "0.082500", 0, 0, 3, "8.250%"},
        {kCellPercent, 0, "0.500000", 0, 0, -1, "50.0%"}, {kCellPercent, 0, "0.082500", 0, 0, 0, "8%"},
    };
    // Every date and time template on 2024-01-05 13:30:00, a Friday.
    const std::pair<int, const char *> friday[] = {
        {301, "2024/1"}, {302, "2024/1/5"}, {303, "2024/1/5 13:30"}, {304, "2024/1/5 01:30 PM"}, {305, "1"}, {306, "1/5"},
        {307, "1/5/24"}, {308, "01/05/24"}, {309, "5-Jan"}, {310, "5-Jan-24"}, {311, "05-Jan-24"}, {312, "Jan-24"},
        {313, "January-24"}, {314, "J"}, {315, "J-24"}, {316, "20240105"}, {317, "20240105133000"}, {318, "2024/1/5 13:30:00"},
        {319, "5"}, {330, "1月"}, {331, "1月5日"}, {332, "2024年1月"}, {333, "2024年1月5日"}, {340, "Fri"}, {341, "Friday"},
        {342, "金"}, {343, "金曜日"}, {401, "13:30"}, {402, "13時30分"}, {403, "01:30 PM"}, {404, "13:30:00"},
        {405, "13時30分00秒"}, {406, "1:30:00 PM"}, {407, "30:00"}};
    for (auto [kind, out] : friday) rows.push_back({DT, 45296, "0.5625", kind, 0, -1, out});
    const Book book;
    for (const Row &r : rows) {
        Cell cell;
        cell.kind = r.cell;
        cell.set_integer(r.whole);
        cell.set_text(r.text);
        EXPECT_EQ(format_cell_text(book, cell, r.date_kind, r.number_kind, r.decimals), r.out)
            << r.whole << " " << r.text << " kinds " << r.date_kind << "/" << r.number_kind;
    }
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
        entry.kind = static_cast<std::uint16_t>(kind), entry.assigned_id = static_cast<std::uint16_t>(id);
        int index = 0;
        ASSERT_EQ(append_num_format(book, entry, index), 0);
    }
    const std::pair<int, int> ids[] = {{0, 10},  {9, 13},   {10, 13},  {14, 20},  {58, 20},  {22, 21},  {18, 23},
                                       {32, 23}, {21, 24},  {46, 24},  {49, 24},  {180, 20}, {181, 21}, {182, 13},
                                       {183, 10}, {184, 10}, {190, 10}, {2, 10}};
    for (auto [id, category] : ids) EXPECT_EQ(value_category(book, id), category) << id;
}

TEST_F(FormatCellApi, BuffersAndErrors) {
    put("A1", "2024/01/01");
    put("A2", "some text");
    char small[5] = "x", v[64] = "x", k[64] = "x";
    for (auto [cell, kind] : {std::pair{"A1", "CELL_DATE/CELL_DATE_TIME"}, {"A2", "CELL_STRING"}}) {
        EXPECT_EQ(TXLS_get_format_cell(&book, cell, small, sizeof small, k, sizeof k), -909);
        EXPECT_EQ(small[0], '\0');
        EXPECT_NE(message().find(kind), std::string::npos) << message();
    }
    EXPECT_EQ(TXLS_get_format_cell(&book, "A2", v, sizeof v, k, sizeof k), 0);
    EXPECT_EQ(std::string(v) + "|" + k, "some text|CHARACTER");
    EXPECT_EQ(TXLS_get_format_cell(&book, "A1", v, sizeof v, nullptr, 0), 0);
    EXPECT_STREQ(v, "2024/1/1");
    for (auto [cell, rc] : {std::pair{"A9", -902}, {"Z1", -903}, {"??", -3}})
        EXPECT_EQ(TXLS_get_format_cell(&book, cell, v, sizeof v, k, sizeof k), rc) << cell;
}

TEST(SerialDates, DatesAndSerialsBothWaysWithTheLeapDayOf1900) {
    constexpr double kAny = -99;  // not asked of this row
    // A date, its serial (kNoSerial: none), a serial that names it, and whether cell input takes it.
    struct Row { int y, m, d; double serial, names, valid; } rows[] = {
        {1900, 1, 1, 1, 1, 1}, {1900, 2, 28, 59, 59, 1}, {1900, 2, 29, 60, 60, 0}, {1900, 3, 1, 61, 61, 1},
        {2024, 1, 1, 45292, 45292, 1}, {9999, 12, 31, 2958465, 2958465, 1},
        // Serial 0 is 1900-01-00; serials out of range give 1900-01-01; a fraction that rounds to
        // midnight moves to the next day.
        {1900, 1, 0, kNoSerial, 0, 0}, {1900, 1, 1, kAny, -1, kAny}, {1900, 1, 1, kAny, 2958466, kAny},
        {1900, 1, 1, kAny, 1e300, kAny}, {1900, 3, 2, kAny, 61.9999999, 1},
        {1899, 12, 31, kNoSerial, kAny, 0}, {2024, 13, 1, kNoSerial, kAny, 0}, {2024, 1, 32, kNoSerial, kAny, 0},
        {2024, 0, 1, kNoSerial, kAny, 0}, {2024, 2, 29, kAny, kAny, 1}, {2023, 2, 29, kAny, kAny, 0},
        {2000, 2, 29, kAny, kAny, 1}, {2100, 2, 29, kAny, kAny, 0}, {2024, 4, 31, kAny, kAny, 0}, {2024, 6, 31, kAny, kAny, 0},
        {2024, 9, 31, kAny, kAny, 0}, {2024, 11, 31, kAny, kAny, 0}, {2024, 12, 31, kAny, kAny, 1},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(std::to_string(r.y) + "-" + std::to_string(r.m) + "-" + std::to_string(r.d));
        const DateTime t = serial_to_datetime(r.names);
        EXPECT_TRUE(r.serial == kAny || datetime_to_serial(r.y, r.m, r.d) == r.serial) << datetime_to_serial(r.y, r.m, r.d);
        EXPECT_TRUE(r.names == kAny || std::tuple(t.year, t.month, t.day) == std::tuple(r.y, r.m, r.d)) << r.names;
        EXPECT_TRUE(r.valid == kAny || is_valid_date(r.y, r.m, r.d) == (r.valid == 1));
    }
    for (std::int64_t serial = 1; serial < 80000; serial += 37) {
        const DateTime t = serial_to_datetime(static_cast<double>(serial));
        EXPECT_EQ(datetime_to_serial(t.year, t.month, t.day), serial);
    }
    EXPECT_EQ(weekday_of(1900, 1, 1), 1);  // the calendar's own weekday
}

TEST(SerialDates, DecimalTextsInTheirShortForm) {
    const std::pair<const char *, const char *> decimals[] = {
        {"1.500000", "1.5"}, {"2.000000", "2.0"}, {"0012.50", "12.5"}, {"000.25", "0.25"}, {".5", "0.5"},
        {"-0.50", "-0.5"},   {"+7.10", "7.1"},    {"", "0"},           {"000", "0"},       {"1200", "1200"},
    };
    for (auto [text, normal] : decimals) EXPECT_EQ(normalise_decimal(text), normal) << text;
}
