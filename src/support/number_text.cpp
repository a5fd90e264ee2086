// Shortest double texts: a direct path for amounts with a few decimals, std::to_chars for the rest.
//
// For |v| >= 1 that is not whole, the shortest text is fixed-point ("158467.1"): its exponent form
// is always longer. Its digits are the integer m = v * 10^k for the smallest k at which m / 10^k
// reads back as v. With m below 2^50, v * 10^k is computed within 1/16 of its exact value and a
// digit string that reads back as v lies within 1/8 of it, so m is the product rounded, at most
// 3/16 away from it (a product further from its nearest integer than 1/4 needs no check); such
// an m is then the only one at that k (10^-k is more than v's spacing), and no text with more
// places has fewer digits. The division m / 10^k of two exact doubles rounds as reading the text
// back does, so the check is exact.

#include "support/number_text.h"

#include <cmath>
#include <cstdint>

namespace tabsmith {

namespace {

constexpr int kMostPlaces = 6;
constexpr double kPowersOfTen[kMostPlaces + 1] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6};
constexpr double kLargestDigits = 1125899906842624.0;   // 2^50
constexpr double kNearest = 0.25;

// Writes `digits` with a point before its last `places` digits; nullptr when it does not fit.
char *write_fixed(char *first, char *last, bool negative, std::uint64_t digits, int places) {
    char reversed[24];
    int count = 0;
    do {
        reversed[count++] = static_cast<char>('0' + digits % 10);
        digits /= 10;
    } while (digits != 0);
    if (last - first < count + 1 + (negative ? 1 : 0)) return nullptr;
    if (negative) *first++ = '-';
    for (int i = count - 1; i >= 0; --i) {
        if (i == places - 1) *first++ = '.';
        *first++ = reversed[i];
    }
    return first;
}

}  // namespace

std::to_chars_result shortest_chars(char *first, char *last, double value) {
    const double magnitude = std::fabs(value);
    // The comparisons are false for NaN; whole numbers go the general way (some print as "1e+05").
    // Below 2^50 a conversion to an integer is the floor, without a call to floor().
    if (magnitude >= 1.0 && magnitude < kLargestDigits &&
        static_cast<double>(static_cast<std::uint64_t>(magnitude)) != magnitude) {
        for (int places = 1; places <= kMostPlaces; ++places) {
            const double scaled = magnitude * kPowersOfTen[places];
            if (scaled >= kLargestDigits) break;
            const auto nearest = static_cast<std::uint64_t>(scaled + 0.5);
            const auto digits = static_cast<double>(nearest);
            if (std::fabs(scaled - digits) > kNearest || digits / kPowersOfTen[places] != magnitude) continue;
            char *end = write_fixed(first, last, value < 0, nearest, places);
            if (!end) return {last, std::errc::value_too_large};
            return {end, std::errc()};
        }
    }
    return std::to_chars(first, last, value);
}

}  // namespace tabsmith
