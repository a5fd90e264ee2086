// Serial day numbers of the 1900 date system (with its February 29, 1900) and the date and
// decimal-text helpers that cell input and value rendering share.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "support/datetime.h"

namespace tabsmith {

constexpr std::int64_t kMaxSerial = 2958465;   // 9999-12-31
// Days between the 1900 and the 1904 date systems: a 1904 serial names the date 1462 days later.
constexpr std::int64_t kDate1904Offset = 1462;

bool is_leap_year(int year);

// The date check of cell input: year 1900-9999, a real month and a day that exists in it
// (February 29 only in leap years, so 1900-02-29 is refused although serial 60 names it).
bool is_valid_date(int year, int month, int day);

// Serial 0 gives 1900-01-00; serials outside 0..2958465 give 1900-01-01 00:00:00.
DateTime serial_to_datetime(double serial);

// kNoSerial for a year below 1900, a month outside 1-12 or a day outside 1-31. Out-of-range hours
// (0-24) and minutes or seconds (0-60) count as 0. Year and month both 0 give the time only.
constexpr double kNoSerial = -1.0;
double datetime_to_serial(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);

// Whole days of a calendar date as a serial (no range checks beyond what the arithmetic needs).
std::int64_t date_to_serial_days(int year, int month, int day);

// 0 = Sunday ... 6 = Saturday, from the calendar date.
int weekday_of(int year, int month, int day);

// Decimal text in its short form: no leading zeros but the one before the point, no trailing
// zeros after the point but one digit ("1.500000" -> "1.5", "2.000000" -> "2.0", "" -> "0").
std::string normalise_decimal(std::string_view text);

}  // namespace tabsmith
