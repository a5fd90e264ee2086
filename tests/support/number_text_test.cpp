// The shortest text of a double against std::to_chars, whose text it must match byte for byte:
// chosen edges, the amounts reports carry, and arbitrary bit patterns.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include "support/number_text.h"

using namespace tabsmith;

namespace {

std::string ours(double value) {
    char buffer[64];
    auto [end, ec] = shortest_chars(buffer, buffer + sizeof buffer, value);
    return ec == std::errc() ? std::string(buffer, end) : "(too large)";
}

std::string standard(double value) {
    char buffer[64];
    return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, value).ptr);
}

}  // namespace

TEST(ShortestText, MatchesTheStandardText) {
    const double edges[] = {1.5, -1.5, 158467.1, 769229.76, 1.05, 1.000001, 1.0000001, 0.5, 0.1, 0.001, 0.0001,
                            1.0, 100000.0, 12345678.9, 1125899906842.5, 1125899906842623.5, 4503599627370495.5,
                            9007199254740993.0, 1e21, 1e300, 5e-324, 2.2250738585072014e-308,
                            std::numeric_limits<double>::max(), 0.1 + 0.2, 1.1 + 2.2, 999999.999999, 9.9999995,
                            std::nextafter(1.05, 2.0), std::nextafter(2.0, 1.0), -0.0, 0.0,
                            std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity()};
    for (double value : edges) EXPECT_EQ(ours(value), standard(value)) << value;
    EXPECT_EQ(ours(std::nan("")), standard(std::nan("")));

    // Amounts with up to seven decimals, as reports write them, and any bits at all.
    std::mt19937_64 random(20261208);
    for (int i = 0; i < 200000; ++i) {
        const int places = static_cast<int>(random() % 8);
        const double amount = static_cast<double>(random() % 100000000000ULL) / std::pow(10.0, places);
        ASSERT_EQ(ours(amount), standard(amount)) << amount;
        ASSERT_EQ(ours(-amount), standard(-amount)) << amount;
        double any;
        const std::uint64_t bits = random();
        std::memcpy(&any, &bits, sizeof any);
        ASSERT_EQ(ours(any), standard(any)) << bits;
        const double near = std::nextafter(amount, amount + 1);
        ASSERT_EQ(ours(near), standard(near)) << near;
    }
}

TEST(ShortestText, RefusesABufferTooSmall) {
    char buffer[4];
    EXPECT_EQ(shortest_chars(buffer, buffer + sizeof buffer, 158467.1).ec, std::errc::value_too_large);
    EXPECT_EQ(shortest_chars(buffer, buffer + sizeof buffer, 12.25).ec, std::errc::value_too_large);
    EXPECT_EQ(shortest_chars(buffer, buffer + sizeof buffer, 1.25).ec, std::errc());
}
