// The shortest text of a double must be std::to_chars's byte for byte: chosen edges, the
// amounts reports carry, any bits at all, and buffers one byte short.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include "support/number_text.h"

using namespace tabsmith;

TEST(ShortestText, MatchesTheStandardText) {
    auto same = [](double value) {
        char ours[64], standard[64];
        const auto [end, ec] = shortest_chars(ours, ours + sizeof ours, value);
        return ec == std::errc() && std::string(ours, end) == std::string(standard, std::to_chars(standard, standard + 64, value).ptr);
    };
    const double inf = std::numeric_limits<double>::infinity();
    for (double value : {1.5, 158467.1, 1.05, 1.000001, 1.0000001, 0.1, 0.0001, 1.0, 100000.0, 1125899906842623.5, 9007199254740993.0,
                         1e21, 5e-324, std::numeric_limits<double>::max(), 0.1 + 0.2, 999999.999999, 9.9999995,
                         std::nextafter(1.05, 2.0), -0.0, inf, -inf, std::nan("")})
        EXPECT_TRUE(same(value) && same(-value)) << value;
    std::mt19937_64 random(20261208);
    for (int i = 0; i < 200000; ++i) {
        const double amount = static_cast<double>(random() % 100000000000ULL) / std::pow(10.0, static_cast<int>(random() % 8));
        const std::uint64_t bits = random();
        double any;
        std::memcpy(&any, &bits, sizeof any);
        ASSERT_TRUE(same(amount) && same(-amount) && same(std::nextafter(amount, amount + 1)) && same(any)) << amount << " " << bits;
    }
    char small[4];
    EXPECT_EQ(shortest_chars(small, small + sizeof small, 12.25).ec, std::errc::value_too_large);
    EXPECT_EQ(shortest_chars(small, small + sizeof small, 1.25).ec, std::errc());
}
