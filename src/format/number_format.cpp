// Value rendering by format kind, the kind and decimals a cell's XF stands for, thousands
// grouping, and the code and id classifications that the file readers type cells with.

#include "format/number_format.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <utility>

#include "format/date_format.h"
#include "format/serial.h"
#include "support/charset.h"

namespace tabsmith {
namespace {

namespace fk = format_kind;

// The yen sign itself (U+00A5): the conversion to a Shift-JIS caller makes it that code page's
// yen byte, and an EUC caller gets the JIS full-width sign (see convert_charset).
constexpr std::string_view kYenMark = "\u00a5";

// `value` printed with a fixed number of places (kAnyDecimals: "%lf"), however long the text gets.
std::string fixed_text(double value, int places) {
    if (!std::isfinite(value)) value = 0.0;
    if (places < 0) places = 6;
    int n = std::snprintf(nullptr, 0, "%.*f", places, value);
    if (n <= 0) return "0";
    std::string out(static_cast<std::size_t>(n) + 1, '\0');
    std::snprintf(out.data(), out.size(), "%.*f", places, value);
    out.resize(static_cast<std::size_t>(n));
    return out;
}


// A number text as sign, whole digits and fraction digits. Texts a reader kept in exponent
// form (or anything else unexpected) go through their value first.
struct Decimal {
    bool negative = false;
    std::string whole, fraction;
};

Decimal split_decimal(std::string_view text) {
    Decimal d;
    std::string_view body = text;
    if (!body.empty() && (body.front() == '-' || body.front() == '+')) {
        d.negative = body.front() == '-';
        body.remove_prefix(1);
    }
    bool plain = !body.empty();
    int points = 0;
    for (char c : body) {
        if (c == '.') ++points;
        else if (!is_digit(c)) plain = false;
    }
    if (!plain || points > 1) {
        double value = std::strtod(std::string(text).c_str(), nullptr);
        if (!std::isfinite(value)) value = 0.0;
        char buffer[400];
        auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
        return split_decimal(ec == std::errc() ? std::string_view(buffer, static_cast<std::size_t>(end - buffer))
                                               : std::string_view("0"));
    }
    std::size_t point = body.find('.');
    d.whole = std::string(body.substr(0, point));
    if (point != std::string_view::npos) d.fraction = std::string(body.substr(point + 1));
    std::size_t first = d.whole.find_first_not_of('0');
    d.whole = first == std::string::npos ? "0" : d.whole.substr(first);
    return d;
}

// Adds one to a digit string ("999" -> "1000").
void increment(std::string &digits) {
    for (std::size_t i = digits.size(); i > 0; --i) {
        if (digits[i - 1] != '9') {
            ++digits[i - 1];
            return;
        }
        digits[i - 1] = '0';
    }
    digits.insert(digits.begin(), '1');
}

std::string percent_text(const Cell &cell, int decimals) {
    double value = (cell.text().empty() ? cell.number() : std::strtod(cell.text().c_str(), nullptr)) * 100.0;
    if (!std::isfinite(value)) value = 0.0;
    if (decimals >= 0) return fixed_text(value, decimals) + "%";
    return normalise_decimal(fixed_text(value, kAnyDecimals)) + "%";
}

// The number-format entry a cell's XF points at: by table index, or (for a built-in id, as a
// reader leaves it) by the id the entry was given in its file.
const NumFormat *entry_of(const Book &book, const XfRecord &xf) {
    const auto &formats = book.styles.num_formats();
    if (xf.format_mode == kFormatTable) {
        if (xf.format >= 1 && xf.format <= formats.size()) return &formats[xf.format - 1];
        return nullptr;
    }
    if (xf.format_mode != kFormatBuiltin) return nullptr;
    for (const NumFormat &entry : formats)
        if (entry.assigned_id != 0 && entry.assigned_id == xf.format && entry.kind != 0) return &entry;
    return nullptr;
}

// 22 and 46 are the date-time and time-with-seconds ids of the preset cell formats: rendering
// them as a bare date or as minutes and seconds would drop the value's own hours.
int builtin_kind(std::uint32_t id) {
    switch (id) {
        case 3: case 177: case 178: return fk::kGrouped;
        case 5: case 7: return fk::kYen;
        case 6: case 8: return fk::kYenRedMinus;
        case 18: return fk::kHourMinuteAmPm;
        case 19: return fk::kTimeSecondsAmPm;
        case 20: return fk::kHourMinute;
        case 21: return fk::kTimeSeconds;
        case 22: return fk::kDateTime;
        case 32: return fk::kHourMinuteJa;
        case 33: return fk::kTimeSecondsJa;
        case 45: case 47: return fk::kMinuteSecond;
        case 46: return fk::kTimeSeconds;
        default: return 0;
    }
}

int builtin_decimals(std::uint32_t id) {
    switch (id) {
        case 3: case 5: case 6: case 9: return 0;
        case 7: case 8: case 10: return 2;
        default: return kAnyDecimals;
    }
}

bool has_decimals(int kind) {
    return kind == fk::kGrouped || kind == fk::kGroupedRed || is_yen_kind(kind) || kind == fk::kPercentGeneral ||
           kind == fk::kPercent;
}

// --- format code classification --------------------------------------------------------------

bool contains(std::string_view text, std::string_view part) { return text.find(part) != std::string_view::npos; }

std::string replace_all(std::string_view text, std::string_view from, std::string_view to) {
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        if (text.substr(i, from.size()) == from) {
            out += to;
            i += from.size();
        } else {
            out += text[i++];
        }
    }
    return out;
}

// Whether `text` holds, at some position, each (letter run, mark) pair in turn, such as
// y+ 年 m+ 月 d+ 日. Quotes and backslashes must have been removed.
bool has_units(std::string_view text, std::initializer_list<std::pair<char, std::string_view>> units) {
    for (std::size_t start = 0; start < text.size(); ++start) {
        std::size_t i = start;
        bool ok = true;
        for (const auto &[letter, mark] : units) {
            std::size_t run = i;
            while (i < text.size() && text[i] == letter) ++i;
            if (i == run || text.substr(i, mark.size()) != mark) {
                ok = false;
                break;
            }
            i += mark.size();
        }
        if (ok) return true;
    }
    return false;
}

// The code without bracketed sections ([Red], [$-411]) and quoted literals: a "d" there is
// no day.
std::string bare_code(std::string_view code) {
    std::string out;
    bool quoted = false;
    int depth = 0;
    for (char c : code) {
        if (c == '"' && depth == 0) quoted = !quoted;
        else if (quoted) continue;
        else if (c == '[') ++depth;
        else if (c == ']' && depth > 0) --depth;
        else if (depth == 0) out += c;
    }
    return out;
}

}  // namespace

bool is_date_kind(int kind) {
    return (kind >= fk::kFirstDate && kind <= fk::kLastDate) || (kind >= fk::kFirstTime && kind <= fk::kLastTime);
}
bool is_yen_kind(int kind) { return kind >= fk::kFirstYen && kind <= fk::kLastYen; }

std::string format_grouped_number(std::string_view number, int decimals) {
    Decimal d = split_decimal(number);
    double fraction = d.fraction.empty() ? 0.0 : std::strtod(("0." + d.fraction).c_str(), nullptr);
    std::string tail;
    if (decimals >= 1) {
        std::string printed = fixed_text(fraction, decimals);
        if (printed[0] == '1') increment(d.whole);   // 0.999 with two places carries
        tail = printed.substr(1);
    } else if (fraction > 0.0) {
        std::string printed = normalise_decimal(fixed_text(fraction, kAnyDecimals));
        if (printed[0] == '1') increment(d.whole);
        else tail = printed.substr(1);
    }
    std::string out;
    const std::size_t n = d.whole.size();
    for (std::size_t i = 0; i < n; ++i) {
        out += d.whole[i];
        if ((n - 1 - i) % 3 == 0 && i + 1 < n) out += ',';
    }
    out += tail;
    // The sign belongs to the value, so -0.5 keeps it although its whole part is 0.
    bool zero = out.find_first_not_of("0,.") == std::string::npos;
    if (d.negative && !zero) out.insert(out.begin(), '-');
    return out;
}

std::string format_cell_text(const Book &book, const Cell &cell, int date_kind, int number_kind, int decimals) {
    switch (cell.kind) {
        case kCellText: return cell.text();
        // Texts a statement put are kept as shared strings; they render as themselves.
        case kCellString: return shared_string_text(book, cell);
        case kCellInteger:
        case kCellFloat: {
            std::string number = exact_number_text(cell);
            if (is_yen_kind(number_kind)) return std::string(kYenMark) + format_grouped_number(number, decimals);
            if (number_kind == fk::kGrouped || number_kind == fk::kGroupedRed)
                return format_grouped_number(number, decimals);
            if (number_kind == fk::kHidden) return {};
            if (number.find_first_of("eE") != std::string::npos) return number;
            return normalise_decimal(number);
        }
        case kCellPercent: return percent_text(cell, decimals);
        case kCellDate:
        case kCellDateTime:
        case kCellTimeHm:
        case kCellTimeHms: return format_date(cell, date_kind);
        case kCellBoolean: return cell.integer() != 0 ? "TRUE" : "FALSE";
        case kCellError: return cell.text();
        case kCellFormulaValue: {
            // A formula's result renders as a value of its kind would: a number through the
            // cell's format, a text as itself.
            const CellExtra *extra = cell.extra_record();
            const bool numeric = extra && extra->value_type != 0 ? extra->value_type == 'n' : cell.text().empty();
            if (!numeric) return cell.text();
            Cell number;
            number.kind = kCellFloat;
            number.style = cell.style;
            number.set_number(cell.number());
            if (is_date_kind(date_kind) && date_kind != 0) {
                double serial = cell.number() + (book.date1904 ? static_cast<double>(kDate1904Offset) : 0.0);
                if (serial >= 0 && serial < static_cast<double>(kMaxSerial) + 1) {
                    double days = std::floor(serial);
                    number.kind = kCellDateTime;
                    number.set_integer(static_cast<std::int64_t>(days));
                    number.set_text(shortest_number_text(serial - days));
                    return format_date(number, date_kind);
                }
            }
            return format_cell_text(book, number, date_kind, number_kind, decimals);
        }
        default: return {};
    }
}

int format_kind_of_cell(const Book &book, const Cell &cell) {
    const XfRecord xf = cell_xf(book, cell);
    if (const NumFormat *entry = entry_of(book, xf); entry && entry->kind != 0) return entry->kind;
    if (xf.format_mode == kFormatBuiltin)
        if (int kind = builtin_kind(xf.format); kind != 0) return kind;
    switch (cell.kind) {
        case kCellDate:
        case kCellDateTime: return fk::kDate;
        case kCellTimeHm:
        case kCellTimeHms: return fk::kTimeSeconds;
        default: return 0;
    }
}

int format_decimals_of_cell(const Book &book, const Cell &cell) {
    const XfRecord xf = cell_xf(book, cell);
    if (const NumFormat *entry = entry_of(book, xf); entry && entry->kind != 0)
        return has_decimals(entry->kind) ? entry->decimals : kAnyDecimals;
    return xf.format_mode == kFormatBuiltin ? builtin_decimals(xf.format) : kAnyDecimals;
}

int format_code_kind(std::string_view raw) {
    const std::string code = replace_all(raw, "&quot;", "\"");
    // Backslash escapes of literal characters ("d\-mmm") mean the same as the plain forms.
    const std::string plain = replace_all(code, "\\", "");
    const std::string marks = replace_all(plain, "\"", "");
    const bool am_pm = contains(code, "AM/PM");

    if (contains(plain, "yyyy/m/d h:mm")) return am_pm ? fk::kDateTimeAmPm : fk::kDateTime;
    if (contains(plain, "yyyy/m/d;") || plain.ends_with("yyyy/m/d")) return fk::kDate;
    if (contains(code, "ggge")) return fk::kEraLong;
    if (contains(code, "ge")) return fk::kEraShort;
    // The long date holds "dddd" too, so it is tested before the weekday names.
    if (contains(plain, "dddd, mmmm dd, yyyy")) return fk::kYearMonthDayJa;
    if (contains(code, "dddd")) return fk::kWeekdayName;
    if (contains(code, "ddd")) return fk::kWeekdayAbbr;
    if (contains(code, "aaaa")) return fk::kWeekdayJaLong;
    if (contains(code, "aaa")) return fk::kWeekdayJa;
    if (has_units(marks, {{'y', "年"}, {'m', "月"}, {'d', "日"}})) return fk::kYearMonthDayJa;
    if (has_units(marks, {{'m', "月"}, {'d', "日"}})) return fk::kMonthDayJa;
    if (has_units(marks, {{'y', "年"}, {'m', "月"}})) return fk::kYearMonthJa;
    if (has_units(marks, {{'h', "時"}, {'m', "分"}, {'s', "秒"}})) return fk::kTimeSecondsJa;
    if (has_units(marks, {{'h', "時"}, {'m', "分"}})) return fk::kHourMinuteJa;
    if (has_units(marks, {{'m', "月"}})) return fk::kMonthJa;
    if (contains(plain, "h:mm:ss")) return am_pm ? fk::kTimeSecondsAmPm : fk::kTimeSeconds;
    if (contains(plain, "h:mm")) return am_pm ? fk::kHourMinuteAmPm : fk::kHourMinute;
    if (contains(plain, "mm:ss")) return fk::kMinuteSecond;
    if (contains(plain, "m/d/yy")) return fk::kMonthDayYear;
    if (contains(plain, "mm/dd/yy")) return fk::kMonthDayYearPadded;
    // Longest first: each shorter pattern is part of the longer ones.
    if (contains(plain, "dd-mmm-yy")) return fk::kDayMonthAbbrYearPadded;
    if (contains(plain, "d-mmm-yy")) return fk::kDayMonthAbbrYear;
    if (contains(plain, "d-mmm")) return fk::kDayMonthAbbr;
    if (contains(plain, "mmmmm-yy")) return fk::kMonthInitialYear;
    if (contains(plain, "mmmm-yy")) return fk::kMonthNameYear;
    if (contains(plain, "mmm-yy")) return fk::kMonthAbbrYear;
    if (contains(plain, "mmmmm")) return fk::kMonthInitial;
    if (contains(plain, "m/d")) return fk::kMonthDay;
    if (contains(code, "\\$") || contains(code, "\"･\"") || contains(code, "\"\\\"") || contains(code, "\u00a5"))
        return fk::kYen;
    if (contains(code, "#,##0")) return fk::kGrouped;
    if (code == "\"\"") return fk::kHidden;
    if (contains(bare_code(code), "d")) return fk::kDay;
    if (contains(code, "\"%\"")) return fk::kPercent;
    return fk::kGeneral;
}

int value_category(const Book &book, int format_id) {
    switch (format_id) {
        case 0: return kCategoryGeneral;
        case 9: case 10: return kCategoryPercent;
        case 14: case 15: case 16: case 17: case 30: case 31: case 55: case 56: case 58: return kCategoryDate;
        case 22: return kCategoryDateTime;
        case 18: case 20: case 32: return kCategoryTime;
        case 19: case 21: case 33: case 45: case 46: case 47: case 49: return kCategoryTimeSeconds;
        default: break;
    }
    int kind = 0;
    for (const NumFormat &entry : book.styles.num_formats()) {
        if (entry.assigned_id != 0 && entry.assigned_id == format_id) {
            kind = entry.kind;
            break;
        }
    }
    if (kind == fk::kYearMonth || kind == fk::kDate || (kind >= fk::kMonth && kind <= fk::kMonthInitialYear) ||
        kind == fk::kDay || (kind >= fk::kMonthJa && kind <= fk::kEraLong) ||
        (kind >= fk::kWeekdayAbbr && kind <= fk::kWeekdayJaLong))
        return kCategoryDate;
    if (kind == fk::kDateTime || kind == fk::kDateTimeAmPm || (kind >= fk::kFirstTime && kind <= fk::kLastTime))
        return kCategoryDateTime;
    if (kind == fk::kPercent) return kCategoryPercent;
    return kCategoryGeneral;
}

std::string format_cell_text(const Book &book, const Cell &cell) {
    int kind = format_kind_of_cell(book, cell);
    return format_cell_text(book, cell, is_date_kind(kind) ? kind : 0, kind, kAnyDecimals);
}

}  // namespace tabsmith
