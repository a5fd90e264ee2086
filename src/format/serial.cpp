// The 1900 date system: calendar dates to serial days and back, and the short decimal form.
// Day arithmetic goes through a proleptic Gregorian day count so no table of months is needed.

#include "format/serial.h"

#include <cmath>

namespace tabsmith {
namespace {

// Days since 1970-01-01 of a proleptic Gregorian date (valid for any month 1-12 and day).
std::int64_t days_from_civil(std::int64_t y, int m, int d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yoe = y - era * 400;
    const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void civil_from_days(std::int64_t z, int &year, int &month, int &day) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(yoe + era * 400 + (month <= 2));
}

// Serial 61 is 1900-03-01: from there serials are plain day counts from 1899-12-30.
const std::int64_t kEpoch = days_from_civil(1899, 12, 30);

}  // namespace

bool is_leap_year(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

bool is_valid_date(int year, int month, int day) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (year < 1900 || year > 9999 || month < 1 || month > 12 || day < 1) return false;
    int last = kDays[month - 1] + (month == 2 && is_leap_year(year) ? 1 : 0);
    return day <= last;
}

std::int64_t date_to_serial_days(int year, int month, int day) {
    // January and February 1900 count from 1899-12-31, so that February 29 is day 60.
    if (year == 1900 && month <= 2) return month == 1 ? day : 31 + day;
    return days_from_civil(year, month, day) - kEpoch;
}

DateTime serial_to_datetime(double serial) {
    DateTime out{1900, 1, 1, 0, 0, 0};
    if (!(serial >= 0.0 && serial < static_cast<double>(kMaxSerial + 1))) return out;
    auto days = static_cast<std::int64_t>(std::floor(serial));
    double fraction = serial - static_cast<double>(days);
    long seconds = 0;
    if (fraction > 0.00001) seconds = static_cast<long>(fraction * 86400.0 + 0.5);
    if (seconds >= 86400) {   // rounding up to midnight belongs to the next day
        seconds -= 86400;
        ++days;
    }
    out.hour = static_cast<int>(seconds / 3600);
    out.minute = static_cast<int>(seconds % 3600 / 60);
    out.second = static_cast<int>(seconds % 60);
    if (days == 0) {
        out.day = 0;
    } else if (days < 60) {
        civil_from_days(days_from_civil(1899, 12, 31) + days, out.year, out.month, out.day);
    } else if (days == 60) {
        out.month = 2;
        out.day = 29;
    } else {
        civil_from_days(kEpoch + days, out.year, out.month, out.day);
    }
    return out;
}

double datetime_to_serial(int year, int month, int day, int hour, int minute, int second) {
    if (hour < 0 || hour > 24) hour = 0;
    if (minute < 0 || minute > 60) minute = 0;
    if (second < 0 || second > 60) second = 0;
    const double time = (hour * 3600.0 + minute * 60.0 + second) / 86400.0;
    if (year == 0 && month == 0) return time;
    if (year < 1900 || month < 1 || month > 12 || day < 1 || day > 31) return kNoSerial;
    return static_cast<double>(date_to_serial_days(year, month, day)) + time;
}

int weekday_of(int year, int month, int day) {
    std::int64_t days = days_from_civil(year, month, day);   // 1970-01-01 was a Thursday
    return static_cast<int>(((days + 4) % 7 + 7) % 7);
}

std::string normalise_decimal(std::string_view text) {
    std::string sign;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        if (text.front() == '-') sign = "-";
        text.remove_prefix(1);
    }
    std::string_view whole = text, fraction;
    bool has_point = false;
    if (auto point = text.find('.'); point != std::string_view::npos) {
        has_point = true;
        whole = text.substr(0, point);
        fraction = text.substr(point + 1);
    }
    while (whole.size() > 0 && whole.front() == '0') whole.remove_prefix(1);
    while (fraction.size() > 0 && fraction.back() == '0') fraction.remove_suffix(1);
    std::string out = sign;
    out += whole.empty() ? std::string_view("0") : whole;
    if (has_point) {
        out += '.';
        out += fraction.empty() ? std::string_view("0") : fraction;
    }
    return out;
}

}  // namespace tabsmith
