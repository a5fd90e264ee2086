// The date and time templates, month and weekday names and the Japanese era table.
// Everything is produced in UTF-8; the caller converts it to the book's character set.

#include "format/date_format.h"

#include <cmath>
#include <cstdio>

#include "format/serial.h"
#include "model/format_kinds.h"
#include "support/printf_text.h"

namespace tabsmith {
namespace {

namespace fk = format_kind;

constexpr const char *kMonthAbbr[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                      "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr const char *kMonthName[] = {"January", "February", "March",     "April",   "May",      "June",
                                      "July",    "August",   "September", "October", "November", "December"};
constexpr const char *kMonthInitial[] = {"J", "F", "M", "A", "M", "J", "J", "A", "S", "O", "N", "D"};
constexpr const char *kWeekdayAbbr[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char *kWeekdayName[] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
constexpr const char *kWeekdayJa[] = {"日", "月", "火", "水", "木", "金", "土"};

struct Era {
    int start;            // first day as yyyymmdd
    int offset;           // era year = year - offset
    const char *letter;
    const char *name;
};

// Newest first. Reiwa is here because the calendar moved on in 2019: a 2024 date shown as
// Heisei 36 would name a year that never existed.
constexpr Era kEras[] = {
    {20190501, 2018, "R", "令和"},
    {19890108, 1988, "H", "平成"},
    {19261225, 1925, "S", "昭和"},
    {19120730, 1911, "T", "大正"},
    {0, 1867, "M", "明治"},
};


// Two-digit years count within the century (9999 shows 99), as spreadsheets display them.
int two_digit_year(int year) { return year % 100; }
int twelve_hour(int hour) { return hour == 0 ? 12 : (hour > 12 ? hour - 12 : hour); }
const char *am_pm(int hour) { return hour < 12 ? "AM" : "PM"; }

const Era *era_of(const DateTime &t) {
    if (t.year < 1900) return nullptr;
    const int stamp = t.year * 10000 + t.month * 100 + t.day;
    for (const Era &era : kEras)
        if (stamp >= era.start) return &era;
    return nullptr;
}

int default_kind(int cell_kind) {
    switch (cell_kind) {
        case kCellDate: return fk::kDate;
        case kCellDateTime: return fk::kDateTime;
        case kCellTimeHm: return fk::kHourMinuteJa;
        case kCellTimeHms: return fk::kTimeSeconds;
        default: return 0;
    }
}

}  // namespace

std::string format_date(const Cell &cell, int kind) {
    return format_date_value(cell.number(), cell.kind, kind);
}

std::string format_date_value(double serial, int cell_kind, int kind) {
    if (kind == 0) kind = default_kind(cell_kind);
    if (cell_kind == kCellDate) serial = std::floor(serial);
    const DateTime t = serial_to_datetime(serial);
    const int y = t.year, m = t.month, d = t.day, H = t.hour, M = t.minute, S = t.second;
    // Month-indexed names guard against the 1900-01-00 form of serial 0 (month is still 1).
    const int mi = (m >= 1 && m <= 12) ? m - 1 : 0;
    switch (kind) {
        case fk::kYearMonth: return printf_text("%d/%d", y, m);
        case fk::kDate: return printf_text("%d/%d/%d", y, m, d);
        case fk::kDateTime: return printf_text("%d/%d/%d %02d:%02d", y, m, d, H, M);
        case fk::kDateTimeAmPm: return printf_text("%d/%d/%d %02d:%02d %s", y, m, d, twelve_hour(H), M, am_pm(H));
        case fk::kMonth: return printf_text("%d", m);
        case fk::kMonthDay: return printf_text("%d/%d", m, d);
        case fk::kMonthDayYear: return printf_text("%d/%d/%02d", m, d, two_digit_year(y));
        case fk::kMonthDayYearPadded: return printf_text("%02d/%02d/%02d", m, d, two_digit_year(y));
        case fk::kDayMonthAbbr: return printf_text("%d-%s", d, kMonthAbbr[mi]);
        case fk::kDayMonthAbbrYear: return printf_text("%d-%s-%02d", d, kMonthAbbr[mi], two_digit_year(y));
        case fk::kDayMonthAbbrYearPadded: return printf_text("%02d-%s-%02d", d, kMonthAbbr[mi], two_digit_year(y));
        case fk::kMonthAbbrYear: return printf_text("%s-%02d", kMonthAbbr[mi], two_digit_year(y));
        case fk::kMonthNameYear: return printf_text("%s-%02d", kMonthName[mi], two_digit_year(y));
        case fk::kMonthInitial: return kMonthInitial[mi];
        case fk::kMonthInitialYear: return printf_text("%s-%02d", kMonthInitial[mi], two_digit_year(y));
        case fk::kDateDigits: return printf_text("%04d%02d%02d", y, m, d);
        case fk::kDateTimeDigits: return printf_text("%04d%02d%02d%02d%02d%02d", y, m, d, H, M, S);
        case fk::kDateTimeSeconds: return printf_text("%d/%d/%d %02d:%02d:%02d", y, m, d, H, M, S);
        case fk::kDay: return printf_text("%d", d);
        case fk::kMonthJa: return printf_text("%d月", m);
        case fk::kMonthDayJa: return printf_text("%d月%d日", m, d);
        case fk::kYearMonthJa: return printf_text("%d年%d月", y, m);
        case fk::kYearMonthDayJa: return printf_text("%d年%d月%d日", y, m, d);
        case fk::kEraShort:
            if (const Era *era = era_of(t)) return printf_text("%s%d.%d.%d", era->letter, y - era->offset, m, d);
            return {};
        case fk::kEraLong:
            if (const Era *era = era_of(t)) return printf_text("%s%d", era->name, y - era->offset);
            return {};
        case fk::kWeekdayAbbr: return kWeekdayAbbr[weekday_of(y, m, d)];
        case fk::kWeekdayName: return kWeekdayName[weekday_of(y, m, d)];
        case fk::kWeekdayJa: return kWeekdayJa[weekday_of(y, m, d)];
        case fk::kWeekdayJaLong: return std::string(kWeekdayJa[weekday_of(y, m, d)]) + "曜日";
        case fk::kHourMinute: return printf_text("%02d:%02d", H, M);
        case fk::kHourMinuteJa: return printf_text("%d時%d分", H, M);
        case fk::kHourMinuteAmPm: return printf_text("%02d:%02d %s", twelve_hour(H), M, am_pm(H));
        case fk::kTimeSeconds: return printf_text("%d:%02d:%02d", H, M, S);
        case fk::kTimeSecondsJa: return printf_text("%d時%02d分%02d秒", H, M, S);
        case fk::kTimeSecondsAmPm: return printf_text("%d:%02d:%02d %s", twelve_hour(H), M, S, am_pm(H));
        case fk::kMinuteSecond: return printf_text("%02d:%02d", M, S);
        default: return {};
    }
}

}  // namespace tabsmith
