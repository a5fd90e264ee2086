// Serial days of the 1900 date system, the date check of cell input, decimal normalising and
// every date and time template, eras and weekdays included.

#include <gtest/gtest.h>

#include "model/book.h"
#include "format/date_format.h"
#include "format/serial.h"

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

TEST(SerialDates, TheLeapDayOf1900IsCounted) {
    EXPECT_EQ(ymd(1), "1900-1-1");
    EXPECT_EQ(ymd(59), "1900-2-28");
    EXPECT_EQ(ymd(60), "1900-2-29");
    EXPECT_EQ(ymd(61), "1900-3-1");
    EXPECT_EQ(ymd(45292), "2024-1-1");
    EXPECT_EQ(ymd(2958465), "9999-12-31");
    EXPECT_EQ(ymd(0), "1900-1-0");
}

TEST(SerialDates, OutOfRangeSerialsGiveTheFirstDay) {
    for (double serial : {-1.0, 2958466.0, 1e300}) {
        DateTime t = serial_to_datetime(serial);
        EXPECT_EQ(ymd(serial), "1900-1-1");
        EXPECT_EQ(t.hour + t.minute + t.second, 0);
    }
}

TEST(SerialDates, TimeOfDayRoundsToTheSecond) {
    DateTime t = serial_to_datetime(45292.75);
    EXPECT_EQ(t.hour, 18);
    EXPECT_EQ(t.minute, 0);
    t = serial_to_datetime(1.0 / 86400 * 3661 + 0.000001);
    EXPECT_EQ(t.hour * 10000 + t.minute * 100 + t.second, 10101);
    // Below the threshold the fraction is no time at all.
    t = serial_to_datetime(100.000005);
    EXPECT_EQ(t.hour + t.minute + t.second, 0);
    // A fraction that rounds to midnight moves to the next day.
    EXPECT_EQ(ymd(61.9999999), "1900-3-2");
}

TEST(SerialDates, DateToSerialRoundTrips) {
    EXPECT_EQ(datetime_to_serial(1900, 1, 1), 1);
    EXPECT_EQ(datetime_to_serial(1900, 2, 29), 60);
    EXPECT_EQ(datetime_to_serial(1900, 3, 1), 61);
    EXPECT_EQ(datetime_to_serial(2024, 1, 1), 45292);
    EXPECT_EQ(datetime_to_serial(9999, 12, 31), 2958465);
    EXPECT_DOUBLE_EQ(datetime_to_serial(2024, 1, 1, 18, 0, 0), 45292.75);
    for (std::int64_t serial = 1; serial < 80000; serial += 37) {
        DateTime t = serial_to_datetime(static_cast<double>(serial));
        EXPECT_EQ(datetime_to_serial(t.year, t.month, t.day), serial);
    }
}

TEST(SerialDates, InvalidPartsOfDateToSerial) {
    EXPECT_EQ(datetime_to_serial(1899, 12, 31), -1);
    EXPECT_EQ(datetime_to_serial(2024, 13, 1), -1);
    EXPECT_EQ(datetime_to_serial(2024, 1, 32), -1);
    EXPECT_EQ(datetime_to_serial(2024, 1, 0), -1);
    // Out-of-range time parts count as zero; no date gives the time alone.
    EXPECT_DOUBLE_EQ(datetime_to_serial(2024, 1, 1, 25, 61, 0), 45292);
    EXPECT_DOUBLE_EQ(datetime_to_serial(0, 0, 0, 12, 0, 0), 0.5);
}

TEST(SerialDates, CellInputDateCheck) {
    EXPECT_TRUE(is_valid_date(2024, 2, 29));
    EXPECT_FALSE(is_valid_date(2023, 2, 29));
    EXPECT_FALSE(is_valid_date(1900, 2, 29));
    EXPECT_TRUE(is_valid_date(2000, 2, 29));
    EXPECT_FALSE(is_valid_date(2100, 2, 29));
    EXPECT_FALSE(is_valid_date(2024, 4, 31));
    EXPECT_FALSE(is_valid_date(2024, 6, 31));
    EXPECT_FALSE(is_valid_date(2024, 9, 31));
    EXPECT_FALSE(is_valid_date(2024, 11, 31));
    EXPECT_TRUE(is_valid_date(2024, 12, 31));
    EXPECT_FALSE(is_valid_date(2024, 0, 1));
    EXPECT_FALSE(is_valid_date(1899, 12, 31));
}

TEST(Decimals, Normalising) {
    EXPECT_EQ(normalise_decimal("1.500000"), "1.5");
    EXPECT_EQ(normalise_decimal("2.000000"), "2.0");
    EXPECT_EQ(normalise_decimal("0012.50"), "12.5");
    EXPECT_EQ(normalise_decimal("000.25"), "0.25");
    EXPECT_EQ(normalise_decimal(".5"), "0.5");
    EXPECT_EQ(normalise_decimal("-0.50"), "-0.5");
    EXPECT_EQ(normalise_decimal("+7.10"), "7.1");
    EXPECT_EQ(normalise_decimal(""), "0");
    EXPECT_EQ(normalise_decimal("000"), "0");
    EXPECT_EQ(normalise_decimal("1200"), "1200");
}

TEST(DateFormat, DefaultsByCellKind) {
    EXPECT_EQ(format_date(date_cell(45292), 0), "2024/1/1");
    EXPECT_EQ(format_date(date_cell(45292, kCellDateTime, "0.5208333333333334"), 0), "2024/1/1 12:30");
    EXPECT_EQ(format_date(date_cell(0, kCellTimeHm, "0.375"), 0), "9時0分");
    EXPECT_EQ(format_date(date_cell(0, kCellTimeHms, "0.37572916666666667"), 0), "9:01:03");
    // A plain date ignores any fraction it carries.
    EXPECT_EQ(format_date(date_cell(45292, kCellDate, "0.75"), 401), "00:00");
    EXPECT_EQ(format_date(date_cell(45292), 999), "");
}

TEST(DateFormat, DateTemplates) {
    const Cell c = date_cell(45296, kCellDateTime, "0.5625");   // 2024-01-05 13:30:00, a Friday
    const std::pair<int, const char *> expected[] = {
        {301, "2024/1"},         {302, "2024/1/5"},          {303, "2024/1/5 13:30"},
        {304, "2024/1/5 01:30 PM"}, {305, "1"},              {306, "1/5"},
        {307, "1/5/24"},         {308, "01/05/24"},          {309, "5-Jan"},
        {310, "5-Jan-24"},       {311, "05-Jan-24"},         {312, "Jan-24"},
        {313, "January-24"},     {314, "J"},                 {315, "J-24"},
        {316, "20240105"},       {317, "20240105133000"},    {318, "2024/1/5 13:30:00"},
        {319, "5"},              {330, "1月"},               {331, "1月5日"},
        {332, "2024年1月"},      {333, "2024年1月5日"},       {340, "Fri"},
        {341, "Friday"},         {342, "金"},                {343, "金曜日"},
        {401, "13:30"},          {402, "13時30分"},          {403, "01:30 PM"},
        {404, "13:30:00"},       {405, "13時30分00秒"},      {406, "1:30:00 PM"},
        {407, "30:00"},
    };
    for (const auto &[kind, text] : expected) EXPECT_EQ(format_date(c, kind), text) << kind;
}

TEST(DateFormat, TwoDigitYearsAcrossTheCentury) {
    EXPECT_EQ(format_date(date_cell(static_cast<std::int64_t>(datetime_to_serial(1999, 12, 31))), 308), "12/31/99");
    EXPECT_EQ(format_date(date_cell(static_cast<std::int64_t>(datetime_to_serial(2009, 3, 4))), 307), "3/4/09");
}

TEST(DateFormat, TwelveHourClock) {
    EXPECT_EQ(format_date(date_cell(0, kCellTimeHm, "0.75"), 403), "06:00 PM");
    EXPECT_EQ(format_date(date_cell(0, kCellTimeHm, "0"), 403), "12:00 AM");
    EXPECT_EQ(format_date(date_cell(0, kCellTimeHm, "0.5"), 403), "12:00 PM");
    EXPECT_EQ(format_date(date_cell(0, kCellTimeHms, "0.04166666666666666"), 406), "1:00:00 AM");
}

TEST(DateFormat, Weekdays) {
    const Cell monday = date_cell(45292);
    EXPECT_EQ(format_date(monday, 341), "Monday");
    EXPECT_EQ(format_date(monday, 343), "月曜日");
    EXPECT_EQ(format_date(monday, 340), "Mon");
    EXPECT_EQ(format_date(date_cell(45298), 341), "Sunday");
    EXPECT_EQ(format_date(date_cell(45297), 342), "土");
    EXPECT_EQ(weekday_of(1900, 1, 1), 1);   // the calendar's own weekday
}

TEST(DateFormat, JapaneseEras) {
    auto era = [](int y, int m, int d, int kind) {
        return format_date(date_cell(static_cast<std::int64_t>(datetime_to_serial(y, m, d))), kind);
    };
    EXPECT_EQ(era(1912, 7, 29, 334), "M45.7.29");
    EXPECT_EQ(era(1912, 7, 30, 334), "T1.7.30");
    EXPECT_EQ(era(1926, 12, 24, 334), "T15.12.24");
    EXPECT_EQ(era(1926, 12, 25, 334), "S1.12.25");
    EXPECT_EQ(era(1989, 1, 7, 334), "S64.1.7");
    EXPECT_EQ(era(1989, 1, 8, 334), "H1.1.8");
    EXPECT_EQ(era(2019, 4, 30, 334), "H31.4.30");
    EXPECT_EQ(era(2019, 5, 1, 334), "R1.5.1");
    EXPECT_EQ(era(2024, 1, 1, 334), "R6.1.1");
    EXPECT_EQ(era(2024, 1, 1, 335), "令和6");
    EXPECT_EQ(era(1989, 1, 7, 335), "昭和64");
    EXPECT_EQ(era(1900, 1, 1, 335), "明治33");
}
