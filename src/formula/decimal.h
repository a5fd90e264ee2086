// The formula value: nothing, a text, or a decimal number held as sign, 64-bit whole part and
// fraction, with the canonical text that a computed cell receives; its arithmetic and rounding.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tabsmith {

enum class ValueKind : std::uint8_t { kEmpty = 0, kText = 1, kNumber = 5 };

// The failure result of the value operations below: the value then holds "##ERROR##".
constexpr int kValueError = -1;

constexpr int kValueSmallCapacity = 255;
constexpr int kValueLargeCapacity = 12000;
constexpr std::size_t kQuotedTextBytes = 12002;   // a quoted text one over the large capacity
constexpr std::size_t kNumberTextBytes = 39;      // longest number text after trimming
constexpr std::size_t kFractionTextBytes = 18;    // "0." and at most 16 fraction digits
constexpr int kMaxResultFractionDigits = 6;       // what "%lf" keeps of a computed result
constexpr std::string_view kValueErrorText = "##ERROR##";

enum class ArithmeticOp { kAdd, kSubtract, kMultiply, kDivide };
enum class RoundMode { kNearest, kUp, kDown };

struct FormulaValue {
    ValueKind kind = ValueKind::kEmpty;
    int capacity = kValueSmallCapacity;
    int length = 0;                // -1 after a failed growth
    std::string text;              // the text, or the canonical text of a number
    int sign = 1;
    std::int64_t whole = 0;        // magnitude of the digits before the point
    double fraction = 0.0;         // the digits after the point, in [0, 1)
    std::uint8_t scale = 0;        // fraction digits as written

    void clear();
    // 0, or kValueError when the text is too long to hold.
    int set_text(std::string_view value);
    // 0 (a number, or an empty value for a blank text), or kValueError.
    int parse_number(std::string_view value);
    void set_error();

    bool is_number() const { return kind == ValueKind::kNumber; }
    bool is_whole() const { return kind == ValueKind::kNumber && fraction == 0.0; }
    double to_double() const;
};

// The test a formula token passes to be a number literal: optional sign, digits, commas, at
// most one point, at least one digit.
bool is_number_literal(std::string_view text);

// 0 with the result, or kValueError (a text operand, division by zero,
// a result beyond the 64-bit whole part).
int arithmetic(const FormulaValue &left, ArithmeticOp op, const FormulaValue &right, FormulaValue &result);

// A computed double as a value: printed with six decimals, then parsed. 0 or kValueError.
int number_from_double(double value, FormulaValue &result);
int number_from_integer(std::int64_t value, FormulaValue &result);

// Orders two numbers: negative, zero or positive.
int compare_numbers(const FormulaValue &left, const FormulaValue &right);

// Rounds `value` to `digits` fraction digits (negative: to tens, hundreds, ...) on its decimal
// digits, so 2.675 rounds to 2.68 as written; the result keeps at most six fraction digits.
// 0 or kValueError (not a number, or the result leaves the 64-bit whole part).
int round_number(const FormulaValue &value, int digits, RoundMode mode, FormulaValue &result);

}  // namespace tabsmith
