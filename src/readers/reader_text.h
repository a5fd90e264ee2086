// The small text readings every part reader makes: whole numbers and reals as written in
// attributes and values, truth values, and cell names in A1 form.
#pragma once

#include <charconv>
#include <cstdint>
#include <type_traits>
#include <string_view>

namespace tabsmith {

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
