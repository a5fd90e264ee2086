// The calendar date and time of day that files, archive entries and serial dates exchange, and
// the local clock that stamps them.
#pragma once

#include <ctime>
#include <string>

namespace tabsmith {

// Local date and time, second resolution; every field 0 when nothing is known.
struct DateTime {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

// Breaks a clock value down into local date and time; false (and `out` unchanged) when the
// system cannot.
bool local_datetime(std::time_t when, DateTime &out);
// The local clock now.
DateTime local_now();
// The local time now as "YYYY/MM/DD hh:mm:ss".
std::string datetime_stamp();

}  // namespace tabsmith
