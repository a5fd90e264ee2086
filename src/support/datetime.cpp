// Breaking clock values down into local dates and times, and the stamp texts built from them.
// The system's local time zone applies, as for every time a workbook or archive records.

#include "support/datetime.h"

#include <cstdio>

namespace tabsmith {

bool local_datetime(std::time_t when, DateTime &out) {
    std::tm local{};
    if (!localtime_r(&when, &local)) return false;
    out = DateTime{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec};
    return true;
}

DateTime local_now() {
    DateTime now;
    local_datetime(std::time(nullptr), now);
    return now;
}

std::string datetime_stamp() {
    const DateTime now = local_now();
    char text[64];
    std::snprintf(text, sizeof text, "%04d/%02d/%02d %02d:%02d:%02d", now.year, now.month, now.day, now.hour,
                  now.minute, now.second);
    return text;
}

}  // namespace tabsmith
