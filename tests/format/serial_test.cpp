// Serial days of the 1900 date system, the date check of cell input, decimal normalising and
// every date and time template, eras and weekdays included.

#include <gtest/gtest.h>

#include "format/date_format.h"
#include "format/serial.h"
#include "model/book.h"

using namespace tabsmith;

namespace {

std::string ymd(double serial) {
    DateTime t = serial_to_datetime(serial);
    return std::to_string(t.year) + "-" + std::to_string(t.month) + "-" + std::to_string(t.day);
}

Cell date_cell(std::int64_t serial, CellKind kind = kCellDate, std::string fraction = {}) {
    Cell cell;
    cell.kind = kind;
    cell.set_integer(serial);
    cell.set_text(std::move(fraction));
    return cell;
}

}  // namespace

TEST(SerialDates, TheLeapDayOf1900IsCountedAndTimesRoundToTheSecond) {
    const std::pair<double, const char *> days[] = {
        {1, "1900-1-1"},     {59, "1900-2-28"},     {60, "1900-2-29"},   {61, "1900-3-1"}, {45292, "2024-1-1"},
        {2958465, "9999-12-31"}, {0, "1900-1-0"},  {-1, "1900-1-1"},    {2958466, "1900-1-1"}, {1e300, "1900-1-1"},
        {61.9999999, "1900-3-2"},  // a fraction that rounds to midnight moves to the next day
    };
    for (auto [serial, date] : days) EXPECT_EQ(ymd(serial), date) << serial;
    auto hms = [](double serial) {
        DateTime t = serial_to_datetime(serial);
        return t.hour * 10000 + t.minute * 100 + t.second;
    };
    EXPECT_EQ(hms(45292.75), 180000);
    EXPECT_EQ(hms(1.0 / 86400 * 3661 + 0.000001), 10101);
    EXPECT_EQ(hms(100.000005), 0);  // below the threshold the fraction is no time at all
    EXPECT_EQ(hms(-1), 0);
}

TEST(SerialDates, DateToSerialRoundTripsAndRefusesBadParts) {
    const std::tuple<int, int, int, double> cases[] = {
        {1900, 1, 1, 1},   {1900, 2, 29, 60}, {1900, 3, 1, 61}, {2024, 1, 1, 45292}, {9999, 12, 31, 2958465},
        {1899, 12, 31, -1}, {2024, 13, 1, -1}, {2024, 1, 32, -1}, {2024, 1, 0, -1},
    };
    for (auto [y, m, d, serial] : cases) EXPECT_EQ(datetime_to_serial(y, m, d), serial) << y << "-" << m << "-" << d;
    EXPECT_DOUBLE_EQ(datetime_to_serial(2024, 1, 1, 18, 0, 0), 45292.75);
    // Out-of-range time parts count as zero; no date gives the time alone.
    EXPECT_DOUBLE_EQ(datetime_to_serial(2024, 1, 1, 25, 61, 0), 45292);
    EXPECT_DOUBLE_EQ(datetime_to_serial(0, 0, 0, 12, 0, 0), 0.5);
    for (std::int64_t serial = 1; serial < 80000; serial += 37) {
        DateTime t = serial_to_datetime(static_cast<double>(serial));
        EXPECT_EQ(datetime_to_serial(t.year, t.month, t.day), serial);
    }
}

TEST(SerialDates, CellInputDateCheckAndDecimalNormalising) {
    const std::tuple<int, int, int, bool> dates[] = {
        {2024, 2, 29, true},  {2023, 2, 29, false}, {1900, 2, 29, false}, {2000, 2, 29, true}, {2100, 2, 29, false},
        {2024, 4, 31, false}, {2024, 6, 31, false}, {2024, 9, 31, false}, {2024, 11, 31, false},
        {2024, 12, 31, true}, {2024, 0, 1, false},  {1899, 12, 31, false},
    };
    for (auto [y, m, d, valid] : dates) EXPECT_EQ(is_valid_date(y, m, d), valid) << y << "-" << m << "-" << d;
    const std::pair<const char *, const char *> decimals[] = {
        {"1.500000", "1.5"}, {"2.000000", "2.0"}, {"0012.50", "12.5"}, {"000.25", "0.25"}, {".5", "0.5"},
        {"-0.50", "-0.5"},   {"+7.10", "7.1"},    {"", "0"},           {"000", "0"},       {"1200", "1200"},
    };
    for (auto [text, normal] : decimals) EXPECT_EQ(normalise_decimal(text), normal) << text;
}

TEST(DateFormat, EveryTemplateAndTheDefaultsByCellKind) {
    const Cell c = date_cell(45296, kCellDateTime, "0.5625");  // 2024-01-05 13:30:00, a Friday
    const std::pair<int, const char *> expected[] = {
        {301, "2024/1"},    {302, "2024/1/5"},        {303, "2024/1/5 13:30"}, {304, "2024/1/5 01:30 PM"},
        {305, "1"},         {306, "1/5"},             {307, "1/5/24"},         {308, "01/05/24"},
        {309, "5-Jan"},     {310, "5-Jan-24"},        {311, "05-Jan-24"},      {312, "Jan-24"},
        {313, "January-24"}, {314, "J"},              {315, "J-24"},           {316, "20240105"},
        {317, "20240105133000"}, {318, "2024/1/5 13:30:00"}, {319, "5"},       {330, "1月"},
        {331, "1月5日"},    {332, "2024年1月"},       {333, "2024年1月5日"},   {340, "Fri"},
        {341, "Friday"},    {342, "金"},              {343, "金曜日"},         {401, "13:30"},
        {402, "13時30分"},  {403, "01:30 PM"},        {404, "13:30:00"},       {405, "13時30分00秒"},
        {406, "1:30:00 PM"}, {407, "30:00"},          {999, ""},
    };
    for (const auto &[kind, text] : expected) EXPECT_EQ(format_date(c, kind), text) << kind;
    EXPECT_EQ(format_date(date_cell(45292), 0), "2024/1/1");
    EXPECT_EQ(format_date(date_cell(45292, kCellDateTime, "0.5208333333333334"), 0), "2024/1/1 12:30");
    EXPECT_EQ(format_date(date_cell(0, kCellTimeHm, "0.375"), 0), "9時0分");
    EXPECT_EQ(format_date(date_cell(0, kCellTimeHms, "0.37572916666666667"), 0), "9:01:03");
    EXPECT_EQ(format_date(date_cell(45292, kCellDate, "0.75"), 401), "00:00");  // a plain date has no time
    EXPECT_EQ(format_date(date_cell(static_cast<std::int64_t>(datetime_to_serial(1999, 12, 31))), 308), "12/31/99");
    EXPECT_EQ(format_date(date_cell(static_cast<std::int64_t>(datetime_to_serial(2009, 3, 4))), 307), "3/4/09");
    EXPECT_EQ(weekday_of(1900, 1, 1), 1);  // the calendar's own weekday
}
