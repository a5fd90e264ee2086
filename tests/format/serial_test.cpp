// Serial days of the 1900 date system both ways, the date check of cell input, weekdays, and the
// short form of decimal texts.

#include <gtest/gtest.h>

#include "format/serial.h"

using namespace tabsmith;

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

TEST(SerialDates, TimesRoundToTheSecond) {
    auto hms = [](double serial) {
        const DateTime t = serial_to_datetime(serial);
        return t.hour * 10000 + t.minute * 100 + t.second;
    };
    EXPECT_EQ(hms(45292.75), 180000);
    EXPECT_EQ(hms(1.0 / 86400 * 3661 + 0.000001), 10101);
    EXPECT_EQ(hms(100.000005), 0);  // below the threshold the fraction is no time at all
    EXPECT_EQ(hms(-1), 0);
    EXPECT_DOUBLE_EQ(datetime_to_serial(2024, 1, 1, 18, 0, 0), 45292.75);
    // Out-of-range time parts count as zero; no date gives the time alone.
    EXPECT_DOUBLE_EQ(datetime_to_serial(2024, 1, 1, 25, 61, 0), 45292);
    EXPECT_DOUBLE_EQ(datetime_to_serial(0, 0, 0, 12, 0, 0), 0.5);
}

TEST(SerialDates, DecimalTextsInTheirShortForm) {
    const std::pair<const char *, const char *> decimals[] = {
        {"1.500000", "1.5"}, {"2.000000", "2.0"}, {"0012.50", "12.5"}, {"000.25", "0.25"}, {".5", "0.5"},
        {"-0.50", "-0.5"},   {"+7.10", "7.1"},    {"", "0"},           {"000", "0"},       {"1200", "1200"},
    };
    for (auto [text, normal] : decimals) EXPECT_EQ(normalise_decimal(text), normal) << text;
}
