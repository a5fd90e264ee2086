// The formula value: number texts and their canonical forms, checked whole arithmetic with
// six-decimal results, decimal-digit rounding, capacities, order and conversions.

#include <gtest/gtest.h>

#include "formula/decimal.h"

using namespace tabsmith;

TEST(FormulaValueTest, ParsingArithmeticAndRoundingGiveTheirCanonicalText) {
    // `op`: 'p' parses `left`; + - * / compute left op right; 'n', 'u', 'd' round left to `right`
    // digits to the nearest, up or down. A left operand that is no number is taken as a text.
    struct Row { char op; const char *left, *right; int rc; const char *text; } rows[] = {
        {'p', " 12 ", "", 0, "12"}, {'p', "- 3.50", "", 0, "-3.5"}, {'p', "+1.23456789", "", 0, "1.23456789"},
        // Positive values keep fifteen fraction places, negative ones six.
        {'p', "-1.23456789", "", 0, "-1.234568"}, {'p', "0.1234567890123456789", "", 0, "0.123456789012346"},
        {'p', "007.250", "", 0, "7.25"}, {'p', "-0", "", 0, "0"}, {'p', "-0.0000001", "", 0, "0"},
        {'p', "9223372036854775807", "", 0, "9223372036854775807"}, {'p', "0.9999999999999999", "", 0, "1"},
        {'p', "1,234", "", -1, "##ERROR##"}, {'p', "1e5", "", -1, "##ERROR##"}, {'p', "1.2.3", "", -1, "##ERROR##"},
        {'p', ".1.2", "", -1, "##ERROR##"}, {'p', "--1", "", -1, "##ERROR##"}, {'p', "1-", "", -1, "##ERROR##"},
        {'p', "-", "", -1, "##ERROR##"}, {'p', "9223372036854775808", "", -1, "##ERROR##"},
        {'p', "1234567890123456789012345678901234567890", "", -1, "##ERROR##"},
        {'/', "7", "2", 0, "3.5"}, {'/', "6", "3", 0, "2"}, {'-', "5", "7", 0, "-2"}, {'/', "1", "3", 0, "0.333333"},
        {'+', "0.1", "0.2", 0, "0.3"}, {'*', "-1.5", "2", 0, "-3"}, {'+', "9007199254740993", "1", 0, "9007199254740994"},
        {'/', "1", "0", -1, "##ERROR##"}, {'/', "1", "0.0", -1, "##ERROR##"}, {'+', "9223372036854775807", "1", -1, "##ERROR##"},
        {'*', "4294967296", "4294967296", -1, "##ERROR##"}, {'+', "1e300", "1", -1, "##ERROR##"},
        {'*', "9000000000000000000.5", "2", -1, "##ERROR##"},
        {'n', "2.52", "1", 0, "2.5"}, {'n', "2.5", "0", 0, "3"}, {'n', "-2.5", "0", 0, "-3"}, {'n', "1234", "-2", 0, "1200"},
        {'n', "1250", "-2", 0, "1300"}, {'n', "2.675", "2", 0, "2.68"}, {'n', "999.96", "1", 0, "1000"}, {'n', "49", "-2", 0, "0"},
        {'u', "1.5", "1", 0, "1.5"}, {'u', "1.51", "1", 0, "1.6"}, {'u', "2.05", "0", 0, "3"}, {'u', "1", "-5", 0, "100000"},
        {'d', "-1.29", "1", 0, "-1.2"}, {'d', "-3.7", "0", 0, "-3"}, {'n', "5000000000.5", "0", 0, "5000000001"},
        {'n', "1.23456789", "8", 0, "1.234568"}, {'d', "123", "-40", 0, "0"}, {'u', "9223372036854775807", "-1", -1, "##ERROR##"},
    };
    const std::string ops = "+-*/", modes = "nud";
    for (const Row &r : rows) {
        FormulaValue left, right, out;
        int rc = left.parse_number(r.left);
        if (r.op != 'p') {
            if (rc != 0) left.set_text(r.left);
            right.parse_number(r.right);
            rc = ops.find(r.op) != std::string::npos
                     ? arithmetic(left, static_cast<ArithmeticOp>(ops.find(r.op)), right, out)
                     : round_number(left, std::stoi(r.right), static_cast<RoundMode>(modes.find(r.op)), out);
        }
        EXPECT_EQ(rc, r.rc) << r.left << " " << r.op << " " << r.right;
        EXPECT_EQ(r.op == 'p' ? left.text : out.text, r.text) << r.left << " " << r.op << " " << r.right;
    }
}

TEST(FormulaValueTest, FieldsCapacitiesOrderAndConversions) {
    FormulaValue v, a, b, out;
    ASSERT_EQ(v.parse_number("- 3.50"), 0);
    EXPECT_EQ(std::tuple(v.sign, v.whole, v.fraction, v.scale), std::tuple(-1, 3, 0.5, 2));
    ASSERT_EQ(v.parse_number("0.1234567890123456789"), 0);  // only sixteen digits reach the fraction
    EXPECT_DOUBLE_EQ(v.fraction, 0.1234567890123456);
    EXPECT_EQ(v.scale, 19);
    ASSERT_EQ(v.parse_number(" \t\n"), 0);
    EXPECT_TRUE(v.kind == ValueKind::kEmpty && v.length == 0);
    EXPECT_TRUE(v.set_text(std::string(254, 'a')) == 0 && v.capacity == kValueSmallCapacity);
    EXPECT_TRUE(v.set_text(std::string(12000, 'a')) == 0 && v.capacity == kValueLargeCapacity);
    EXPECT_TRUE(v.set_text("'" + std::string(12000, 'a') + "'") == 0 && v.text.size() == 12002u);  // quotes come on top
    EXPECT_EQ(v.set_text(std::string(12001, 'a')), -1);
    EXPECT_TRUE(v.text == "##ERROR##" && v.length == -1);
    a.parse_number("-2");
    b.parse_number("1.5");
    EXPECT_TRUE(compare_numbers(a, b) < 0 && compare_numbers(b, a) > 0 && compare_numbers(a, a) == 0);
    EXPECT_TRUE(number_from_double(2.0 / 3.0, out) == 0 && out.text == "0.666667");
    EXPECT_EQ(number_from_integer(INT64_MIN, out), -1);
    EXPECT_TRUE(is_number_literal("1,234.5"));
    EXPECT_FALSE(is_number_literal("1.2.3") || is_number_literal("A1"));
}
