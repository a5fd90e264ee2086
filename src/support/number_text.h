// Numbers as text: the shortest decimal text of a double, which every value the engine hands
// out or saves carries, and the quick reading of a plain decimal.
#pragma once

#include <charconv>
#include <cstdint>
#include <string_view>

namespace tabsmith {

// Writes the shortest text that reads back as `value`, exactly as std::to_chars(first, last,
// value) does. Amounts of at least 1 with a few decimals, most of a report's non-whole
// numbers, are written without the general algorithm.
std::to_chars_result shortest_chars(char *first, char *last, double value);

// A plain decimal ("-123.45": sign, digits, point, digits) with at most 15 digits, read as the
// quotient of two exactly representable numbers; that one division rounds correctly, so the
// result equals the full conversion. False for any other form, left to the full conversion.
inline bool parse_short_decimal(std::string_view text, double &value) {
    static constexpr double kPowers[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    std::size_t i = text.size() > 0 && text[0] == '-' ? 1 : 0;
    std::uint64_t digits = 0;
    int count = 0, decimals = -1;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9') {
            if (++count > 15) return false;
            digits = digits * 10 + static_cast<unsigned>(c - '0');
            if (decimals >= 0) ++decimals;
        } else if (c == '.' && decimals < 0 && count > 0) {
            decimals = 0;
        } else {
            return false;
        }
    }
    if (count == 0 || decimals == 0) return false;
    const double magnitude = static_cast<double>(digits) / kPowers[decimals < 0 ? 0 : decimals];
    value = text[0] == '-' ? -magnitude : magnitude;
    return true;
}

}  // namespace tabsmith
