// Rendering of date, date-time and time cells through the date and time format kinds
// (model/format_kinds.h), Japanese eras included.
#pragma once

#include <string>

#include "model/book.h"

namespace tabsmith {

// Kind 0 takes the default of the cell's kind: kDate for dates, kDateTime for date-times,
// kHourMinuteJa for hours-and-minutes, kTimeSeconds for times with seconds. Unknown kinds give
// an empty text.
std::string format_date(const Cell &cell, int kind);

// The same for a serial value of the given cell kind (kDate uses only whole days).
std::string format_date_value(double serial, int cell_kind, int kind);

}  // namespace tabsmith
