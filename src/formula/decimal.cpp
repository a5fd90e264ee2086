// The formula value: parsing number texts, the canonical text form, checked 64-bit whole
// arithmetic with a six-decimal double path for everything else, and decimal-digit rounding.

#include "formula/decimal.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "support/charset.h"

namespace tabsmith {
namespace {

// Beyond this a "%f" text no longer fits the 64-bit whole part.
constexpr double kWholeLimit = 9.2e18;
constexpr int kMaxRoundDigits = 40;

std::string_view trim(std::string_view text) {
    constexpr std::string_view kBlank = " \t\n";
    std::size_t first = text.find_first_not_of(kBlank);
    if (first == std::string_view::npos) return {};
    std::size_t last = text.find_last_not_of(kBlank);
    return text.substr(first, last - first + 1);
}


// strtod's value of a text, the common plain forms read without the locale machinery (both
// round correctly, so they agree wherever the quick reader accepts the whole text).
double read_double(const std::string &text) {
    double value = 0.0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec == std::errc() && end == text.data() + text.size()) return value;
    return std::strtod(text.c_str(), nullptr);
}

// The fraction printed with `decimals` places, without its "0." and trailing zeros. A
// fraction that prints as 1.000... carries into the whole part.
std::string fraction_digits(double fraction, int decimals, bool &carry) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, fraction);
    carry = buffer[0] == '1';
    std::string digits = carry ? std::string() : std::string(buffer + 2);
    while (!digits.empty() && digits.back() == '0') digits.pop_back();
    return digits;
}

}  // namespace

void FormulaValue::clear() {
    kind = ValueKind::kEmpty;
    length = 0;
    text.clear();
    sign = 1;
    whole = 0;
    fraction = 0.0;
    scale = 0;
}

void FormulaValue::set_error() {
    text.assign(kValueErrorText);
    length = static_cast<int>(text.size());
}

int FormulaValue::set_text(std::string_view value) {
    kind = ValueKind::kText;
    const std::size_t n = value.size();
    bool quoted = n == kQuotedTextBytes && (value.front() == '"' || value.front() == '\'') && value.back() == value.front();
    if (n > static_cast<std::size_t>(kValueLargeCapacity) && !quoted) {
        text.assign(kValueErrorText);
        length = -1;
        return kValueError;
    }
    if (n >= static_cast<std::size_t>(kValueSmallCapacity))
        capacity = quoted ? static_cast<int>(kQuotedTextBytes) : kValueLargeCapacity;
    text.assign(value);
    length = static_cast<int>(n);
    return 0;
}

int FormulaValue::parse_number(std::string_view value) {
    std::string_view s = trim(value);
    if (s.empty()) {
        clear();
        return 0;
    }
    kind = ValueKind::kNumber;
    auto fail = [this] {
        set_error();
        return kValueError;
    };
    if (s.size() > kNumberTextBytes) return fail();
    int new_sign = 1;
    if (s.front() == '+' || s.front() == '-') {
        new_sign = s.front() == '-' ? -1 : 1;
        s = trim(s.substr(1));
    }
    std::string_view whole_digits, fraction_text;
    bool point = false, digits = false;
    for (std::size_t i = 0; i < s.size(); ++i) {
        char c = s[i];
        if (is_digit(c)) {
            digits = true;
        } else if (c == '.' && !point) {
            point = true;
            whole_digits = s.substr(0, i);
            fraction_text = s.substr(i + 1);
        } else {
            return fail();
        }
    }
    // A lone sign or point is no number, whatever a looser reading would make of it.
    if (!digits) return fail();
    if (!point) whole_digits = s;

    std::string fraction_buffer = "0.";
    fraction_buffer.append(fraction_text);
    if (fraction_buffer.size() > kFractionTextBytes) fraction_buffer.resize(kFractionTextBytes);
    double new_fraction = read_double(fraction_buffer);

    std::int64_t new_whole = 0;
    if (!whole_digits.empty()) {
        auto [end, ec] = std::from_chars(whole_digits.data(), whole_digits.data() + whole_digits.size(), new_whole);
        // More than 64 bits of whole digits: refused rather than wrapped.
        if (ec != std::errc() || end != whole_digits.data() + whole_digits.size()) return fail();
    }

    // Negative numbers print their fraction with six decimals, positive ones with fifteen.
    bool carry = false;
    std::string digits_text;
    if (new_fraction != 0.0) {
        const std::size_t places = new_sign > 0 ? 15 : 6;
        if (fraction_text.size() <= places) {
            // No more places than are printed: the double is within 2^-53 of the written
            // fraction, so printing it rounds back to exactly the written digits.
            digits_text.assign(fraction_text);
            while (!digits_text.empty() && digits_text.back() == '0') digits_text.pop_back();
        } else {
            digits_text = fraction_digits(new_fraction, static_cast<int>(places), carry);
        }
    }
    std::int64_t shown_whole = new_whole;
    if (carry && __builtin_add_overflow(new_whole, 1, &shown_whole)) return fail();

    // Zero has one text: "-0" would read back as a different value in some programs.
    if (shown_whole == 0 && digits_text.empty()) new_sign = 1;

    char buffer[64];
    auto end = std::to_chars(buffer, buffer + sizeof buffer, shown_whole).ptr;
    text.clear();
    if (new_sign < 0) text.push_back('-');
    text.append(buffer, end);
    if (!digits_text.empty()) {
        text.push_back('.');
        text.append(digits_text);
    }
    length = static_cast<int>(text.size());
    sign = new_sign;
    whole = new_whole;
    fraction = new_fraction;
    scale = static_cast<std::uint8_t>(std::min<std::size_t>(fraction_text.size(), 255));
    return 0;
}

double FormulaValue::to_double() const { return read_double(text); }

bool is_number_literal(std::string_view text) {
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    bool digits = false, point = false;
    for (; i < text.size(); ++i) {
        char c = text[i];
        if (is_digit(c)) digits = true;
        else if (c == ',') continue;
        else if (c == '.' && !point) point = true;
        else return false;
    }
    return digits;
}

int number_from_integer(std::int64_t value, FormulaValue &result) {
    char buffer[32];
    auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
    return result.parse_number(std::string_view(buffer, static_cast<std::size_t>(end - buffer)));
}

int number_from_double(double value, FormulaValue &result) {
    result.kind = ValueKind::kNumber;
    if (!std::isfinite(value) || std::fabs(value) >= kWholeLimit) {
        result.set_error();
        return kValueError;
    }
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%f", value);
    return result.parse_number(buffer);
}

int arithmetic(const FormulaValue &left, ArithmeticOp op, const FormulaValue &right, FormulaValue &result) {
    auto fail = [&result] {
        result.kind = ValueKind::kNumber;
        result.set_error();
        return kValueError;
    };
    if (!left.is_number() || !right.is_number()) return fail();
    if (left.is_whole() && right.is_whole() && op != ArithmeticOp::kDivide) {
        std::int64_t a = left.sign * left.whole, b = right.sign * right.whole, r = 0;
        bool overflow = false;
        switch (op) {
        case ArithmeticOp::kAdd: overflow = __builtin_add_overflow(a, b, &r); break;
        case ArithmeticOp::kSubtract: overflow = __builtin_sub_overflow(a, b, &r); break;
        default: overflow = __builtin_mul_overflow(a, b, &r); break;
        }
        if (overflow) return fail();
        return number_from_integer(r, result);
    }
    double a = left.to_double(), b = right.to_double(), r = 0.0;
    switch (op) {
    case ArithmeticOp::kAdd: r = a + b; break;
    case ArithmeticOp::kSubtract: r = a - b; break;
    case ArithmeticOp::kMultiply: r = a * b; break;
    case ArithmeticOp::kDivide:
        if (b == 0.0) return fail();
        r = a / b;
        break;
    }
    return number_from_double(r, result);
}

int compare_numbers(const FormulaValue &left, const FormulaValue &right) {
    if (left.is_whole() && right.is_whole()) {
        std::int64_t a = left.sign * left.whole, b = right.sign * right.whole;
        return a < b ? -1 : (a > b ? 1 : 0);
    }
    double a = left.to_double(), b = right.to_double();
    return a < b ? -1 : (a > b ? 1 : 0);
}

int round_number(const FormulaValue &value, int digits, RoundMode mode, FormulaValue &result) {
    if (!value.is_number()) {
        result.kind = ValueKind::kNumber;
        result.set_error();
        return kValueError;
    }
    digits = std::clamp(digits, -kMaxRoundDigits, kMaxRoundDigits);
    std::string_view text = value.text;
    const bool negative = !text.empty() && text.front() == '-';
    if (negative) text.remove_prefix(1);
    std::size_t point = text.find('.');
    std::string all(text.substr(0, point));
    long whole_length = static_cast<long>(all.size());
    if (point != std::string_view::npos) all.append(text.substr(point + 1));

    long keep = whole_length + digits;
    if (keep < 1) {
        // Pad on the left so that at least one digit is kept (it is zero).
        std::size_t pad = static_cast<std::size_t>(1 - keep);
        all.insert(0, pad, '0');
        whole_length += static_cast<long>(pad);
        keep = 1;
    }
    std::string kept;
    if (keep >= static_cast<long>(all.size())) {
        kept = all;
    } else {
        std::string_view rest = std::string_view(all).substr(static_cast<std::size_t>(keep));
        kept = all.substr(0, static_cast<std::size_t>(keep));
        bool up = false;
        if (mode == RoundMode::kNearest) up = rest.front() >= '5';
        else if (mode == RoundMode::kUp) up = rest.find_first_not_of('0') != std::string_view::npos;
        if (up) {
            std::size_t i = kept.size();
            while (i > 0 && kept[i - 1] == '9') kept[--i] = '0';
            if (i == 0) {
                kept.insert(0, 1, '1');
                ++whole_length;
                ++keep;
            } else {
                ++kept[i - 1];
            }
        }
    }
    std::string whole_text, fraction_text;
    if (keep <= whole_length) {
        whole_text = kept;
        whole_text.append(static_cast<std::size_t>(whole_length - keep), '0');
    } else {
        whole_text = kept.substr(0, static_cast<std::size_t>(whole_length));
        fraction_text = kept.substr(static_cast<std::size_t>(whole_length));
    }
    // Leading zeros (from the padding) would only lengthen the text past the number limit.
    std::size_t first = whole_text.find_first_not_of('0');
    whole_text = first == std::string::npos ? "0" : whole_text.substr(first);
    std::string out = negative ? "-" : "";
    out += whole_text;
    if (!fraction_text.empty()) out += "." + fraction_text;

    FormulaValue rounded;
    if (rounded.parse_number(out) != 0) {
        result.kind = ValueKind::kNumber;
        result.set_error();
        return kValueError;
    }
    if (digits > kMaxResultFractionDigits) return round_number(rounded, kMaxResultFractionDigits, RoundMode::kNearest, result);
    result = std::move(rounded);
    return 0;
}

}  // namespace tabsmith
