// The small text readings every part reader makes: whole numbers and reals as written in
// attributes and values, truth values, and cell names in A1 form.
#pragma once

#include <charconv>
#include <cstdint>
#include <type_traits>
#include <string_view>

#include "support/number_text.h"

namespace tabsmith {

// The whole text as a number of type T; false when anything is left over or it does not fit.
template <typename T>
bool parse_number(std::string_view text, T &value) {
    if constexpr (std::is_same_v<T, double>) {
        if (parse_short_decimal(text, value)) return true;
    } else if constexpr (std::is_integral_v<T> && sizeof(T) >= 4) {
        // Up to nine plain digits, what indexes and cell names hold, fit every such type.
        if (!text.empty() && text.size() <= 9) {
            unsigned digits = 0;
            bool all_digits = true;
            for (const char c : text) {
                const unsigned digit = static_cast<unsigned>(c) - '0';
                all_digits &= digit <= 9;
                digits = digits * 10 + digit;
            }
            if (all_digits) {
                value = static_cast<T>(digits);
                return true;
            }
        }
    }
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size();
}

// An attribute's truth value as the package schemas write it.
inline bool is_true(std::string_view value) { return value == "1" || value == "true"; }

// "B12" -> row 11, column 1 (0-based); false for anything else. The readers' hot path: no
// sheet names, no absolute forms, upper-case letters only, as packages write cell names.
inline bool parse_a1(std::string_view name, int &row, int &column) {
    std::size_t i = 0;
    int col = 0;
    while (i < name.size() && i < 3 && name[i] >= 'A' && name[i] <= 'Z') col = col * 26 + (name[i++] - 'A' + 1);
    if (i == 0 || i == name.size()) return false;
    int number = 0;
    if (!parse_number(name.substr(i), number) || number < 1) return false;
    row = number - 1;
    column = col - 1;
    return true;
}

}  // namespace tabsmith
