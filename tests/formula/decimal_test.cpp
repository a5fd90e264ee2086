// The formula value: number texts, canonical forms, checked whole arithmetic, six-decimal
// results and decimal-digit rounding.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <tuple>

#include "formula/decimal.h"

namespace tabsmith {
namespace {

TEST(FormulaValueTest, ParsesNumberTexts) {
    struct Case { const char *in; int rc; const char *text; };
    const Case cases[] = {
        {" 12 ", 0, "12"}, {"- 3.50", 0, "-3.5"}, {"+1.23456789", 0, "1.23456789"}, {"-1.23456789", 0, "-1.234568"},
        {"0.1234567890123456789", 0, "0.123456789012346"}, {"007.250", 0, "7.25"}, {"-0", 0, "0"},
        {"-0.0000001", 0, "0"}, {"9223372036854775807", 0, "9223372036854775807"}, {"0.9999999999999999", 0, "1"},
        {"1,234", -1, "##ERROR##"}, {"1e5", -1, "##ERROR##"}, {"1.2.3", -1, "##ERROR##"}, {".1.2", -1, "##ERROR##"},
        {"--1", -1, "##ERROR##"}, {"1-", -1, "##ERROR##"}, {"-", -1, "##ERROR##"},
        {"9223372036854775808", -1, "##ERROR##"}, {"1234567890123456789012345678901234567890", -1, "##ERROR##"},
    };
    for (const auto &c : cases) {
        FormulaValue v;
        EXPECT_EQ(v.parse_number(c.in), c.rc) << c.in;
        EXPECT_EQ(v.text, c.text) << c.in;
    }
}

TEST(FormulaValueTest, ShortFractionsReadAsPrintedAtTheirPlaces) {
    // Positive values print their fraction with fifteen places, negative ones with six; a
    // fraction written with no more places must come out as the printer gives it.
    std::srand(11);
    for (int k = 0; k < 20000; ++k) {
        bool negative = k % 2;
        std::string fraction;
        for (int d = 1 + std::rand() % (negative ? 6 : 15); d > 0; --d) fraction += static_cast<char>('0' + std::rand() % 10);
        std::string in = (negative ? "-" : "") + std::to_string(std::rand() % 100000) + "." + fraction;
        char printed[64];
        std::snprintf(printed, sizeof printed, "%.*f", negative ? 6 : 15, std::strtod(("0." + fraction).c_str(), nullptr));
        std::string digits = printed + 2;
        while (!digits.empty() && digits.back() == '0') digits.pop_back();
        FormulaValue v;
        ASSERT_EQ(v.parse_number(in), 0) << in;
        std::string whole = in.substr(0, in.find('.'));
        std::string expected = digits.empty() ? (whole == "-0" ? "0" : whole) : whole + "." + digits;
        ASSERT_EQ(v.text, expected) << in;
    }
}

TEST(FormulaValueTest, FieldsCapacitiesOrderAndConversions) {
    FormulaValue v;
    ASSERT_EQ(v.parse_number("- 3.50"), 0);
    EXPECT_EQ(std::tuple(v.sign, v.whole, v.fraction, v.scale), std::tuple(-1, 3, 0.5, 2));
    // Nineteen fraction digits: only sixteen reach the fraction.
    ASSERT_EQ(v.parse_number("0.1234567890123456789"), 0);
    EXPECT_DOUBLE_EQ(v.fraction, 0.1234567890123456);
    EXPECT_EQ(v.scale, 19);
    ASSERT_EQ(v.parse_number(" \t\n"), 0);
    EXPECT_EQ(v.kind, ValueKind::kEmpty);
    EXPECT_EQ(v.length, 0);

    EXPECT_EQ(v.set_text(std::string(254, 'a')), 0);
    EXPECT_EQ(v.capacity, kValueSmallCapacity);
    EXPECT_EQ(v.set_text(std::string(12000, 'a')), 0);
    EXPECT_EQ(v.capacity, kValueLargeCapacity);
    EXPECT_EQ(v.set_text("'" + std::string(12000, 'a') + "'"), 0);  // quotes come on top
    EXPECT_EQ(v.text.size(), 12002u);
    EXPECT_EQ(v.set_text(std::string(12001, 'a')), -1);
    EXPECT_EQ(v.text, "##ERROR##");
    EXPECT_EQ(v.length, -1);

    FormulaValue a, b, out;
    a.parse_number("-2");
    b.parse_number("1.5");
    EXPECT_LT(compare_numbers(a, b), 0);
    EXPECT_GT(compare_numbers(b, a), 0);
    EXPECT_EQ(compare_numbers(a, a), 0);
    EXPECT_EQ(number_from_double(2.0 / 3.0, out), 0);
    EXPECT_EQ(out.text, "0.666667");
    EXPECT_EQ(number_from_integer(INT64_MIN, out), -1);
    EXPECT_TRUE(is_number_literal("1,234.5"));
    EXPECT_FALSE(is_number_literal("1.2.3"));
    EXPECT_FALSE(is_number_literal("A1"));
}

TEST(FormulaValueTest, Arithmetic) {
    struct Case { const char *left; ArithmeticOp op; const char *right; int rc; const char *text; };
    const Case cases[] = {
        {"7", ArithmeticOp::kDivide, "2", 0, "3.5"}, {"6", ArithmeticOp::kDivide, "3", 0, "2"},
        {"5", ArithmeticOp::kSubtract, "7", 0, "-2"}, {"1", ArithmeticOp::kDivide, "3", 0, "0.333333"},
        {"0.1", ArithmeticOp::kAdd, "0.2", 0, "0.3"}, {"-1.5", ArithmeticOp::kMultiply, "2", 0, "-3"},
        {"9007199254740993", ArithmeticOp::kAdd, "1", 0, "9007199254740994"},
        {"1", ArithmeticOp::kDivide, "0", -1, "##ERROR##"}, {"1", ArithmeticOp::kDivide, "0.0", -1, "##ERROR##"},
        {"9223372036854775807", ArithmeticOp::kAdd, "1", -1, "##ERROR##"},
        {"4294967296", ArithmeticOp::kMultiply, "4294967296", -1, "##ERROR##"},
        {"1e300", ArithmeticOp::kAdd, "1", -1, "##ERROR##"},
        {"9000000000000000000.5", ArithmeticOp::kMultiply, "2", -1, "##ERROR##"},
    };
    for (const auto &c : cases) {
        FormulaValue l, r, out;
        if (l.parse_number(c.left) != 0) l.set_text(c.left);
        r.parse_number(c.right);
        EXPECT_EQ(arithmetic(l, c.op, r, out), c.rc) << c.left << " " << c.right;
        EXPECT_EQ(out.text, c.text) << c.left << " " << c.right;
    }
}

TEST(FormulaValueTest, Rounding) {
    struct Case { const char *value; int digits; RoundMode mode; const char *text; };
    const Case cases[] = {
        {"2.52", 1, RoundMode::kNearest, "2.5"}, {"2.5", 0, RoundMode::kNearest, "3"},
        {"-2.5", 0, RoundMode::kNearest, "-3"}, {"1234", -2, RoundMode::kNearest, "1200"},
        {"1250", -2, RoundMode::kNearest, "1300"}, {"2.675", 2, RoundMode::kNearest, "2.68"},
        {"999.96", 1, RoundMode::kNearest, "1000"}, {"49", -2, RoundMode::kNearest, "0"},
        {"1.5", 1, RoundMode::kUp, "1.5"}, {"1.51", 1, RoundMode::kUp, "1.6"}, {"2.05", 0, RoundMode::kUp, "3"},
        {"1", -5, RoundMode::kUp, "100000"}, {"-1.29", 1, RoundMode::kDown, "-1.2"},
        {"-3.7", 0, RoundMode::kDown, "-3"}, {"5000000000.5", 0, RoundMode::kNearest, "5000000001"},
        {"1.23456789", 8, RoundMode::kNearest, "1.234568"}, {"123", -40, RoundMode::kDown, "0"},
    };
    for (const auto &c : cases) {
        FormulaValue v, out;
        ASSERT_EQ(v.parse_number(c.value), 0) << c.value;
        EXPECT_EQ(round_number(v, c.digits, c.mode, out), 0) << c.value;
        EXPECT_EQ(out.text, c.text) << c.value << " " << c.digits;
    }
    FormulaValue big, out;
    big.parse_number("9223372036854775807");
    EXPECT_EQ(round_number(big, -1, RoundMode::kUp, out), -1);
}

}  // namespace
}  // namespace tabsmith
