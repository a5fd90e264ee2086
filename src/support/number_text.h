// The shortest decimal text of a double, the text every value the engine hands out or saves
// carries.
#pragma once

#include <charconv>

namespace tabsmith {

// Writes the shortest text that reads back as `value`, exactly as std::to_chars(first, last,
// value) does. Amounts of at least 1 with a few decimals, most of a report's non-whole
// numbers, are written without the general algorithm.
std::to_chars_result shortest_chars(char *first, char *last, double value);

}  // namespace tabsmith
