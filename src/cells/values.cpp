// Value classification and storing, system-word expansion and the value texts handed back.
// A put builds the new value aside and moves it in only on success, so a failure leaves the cell.

#include "cells/values.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "model/address.h"
#include "model/annotations.h"
#include "format/date_format.h"
#include "format/number_format.h"
#include "format/serial.h"
#include "support/charset.h"
#include "support/datetime.h"
#include "support/number_text.h"

namespace tabsmith {
namespace {

bool all_digits(std::string_view s) {
    for (char c : s)
        if (!is_digit(c)) return false;
    return !s.empty();
}

int to_int(std::string_view digits) {
    int value = 0;
    std::from_chars(digits.data(), digits.data() + digits.size(), value);
    return value;
}

// Whether a decimal text is already the shortest text of its number, known without printing
// the number: "-"?, a whole part without leading zeros, a point, fraction digits not ending in
// 0, at most 15 significant digits (every such decimal survives the trip through a double and
// back), and a form the printer writes fixed rather than with an exponent (a non-zero whole
// part or a non-zero first fraction digit). Anything else is left to the printer.
bool is_shortest_decimal(std::string_view text) {
    std::size_t i = !text.empty() && text[0] == '-' ? 1 : 0;
    std::size_t point = text.find('.', i);
    if (point == std::string_view::npos || point == i || point + 1 >= text.size()) return false;
    std::string_view whole = text.substr(i, point - i), fraction = text.substr(point + 1);
    if (!all_digits(whole) || !all_digits(fraction) || fraction.back() == '0') return false;
    std::size_t significant = whole.size() + fraction.size();
    if (whole == "0") {
        if (fraction[0] == '0') return false;
        significant = fraction.size();
    } else if (whole[0] == '0') {
        return false;
    }
    return significant <= 15;
}

// The number test: optional sign, digits, at most one point, and thousands commas that each
// stand three digits before the next comma, the point or the end.
enum class NumberShape { kNone, kNumber, kBadCommas };

// `plain` is the text without its commas; it views `text`, or `scratch` when commas were taken out.
NumberShape number_shape(std::string_view text, std::string &scratch, std::string_view &plain, bool &has_point) {
    plain = {};
    has_point = false;
    if (text.empty() || text.size() >= 20) return NumberShape::kNone;
    std::size_t i = 0;
    if (text[0] == '+' || text[0] == '-') i = 1;
    bool any_digit = false, any_comma = false;
    for (std::size_t k = i; k < text.size(); ++k) {
        char c = text[k];
        if (is_digit(c)) any_digit = true;
        else if (c == '.') {
            if (has_point) return NumberShape::kNone;
            has_point = true;
        } else if (c == ',') any_comma = true;
        else return NumberShape::kNone;
    }
    if (!any_digit) return NumberShape::kNone;
    if (!any_comma) {
        plain = text;
        return NumberShape::kNumber;
    }

    // Commas belong to the whole part only and need digits on their left.
    std::size_t end = text.find('.', i);
    if (end == std::string_view::npos) end = text.size();
    if (text.find(',', end) != std::string_view::npos) return NumberShape::kBadCommas;
    std::size_t comma = text.find(',', i);
    if (comma != std::string_view::npos) {
        if (comma == i) return NumberShape::kBadCommas;
        while (comma != std::string_view::npos && comma < end) {
            std::size_t next = text.find(',', comma + 1);
            std::size_t group_end = (next == std::string_view::npos || next > end) ? end : next;
            if (group_end - comma - 1 != 3) return NumberShape::kBadCommas;
            comma = next;
        }
    }
    if (text.find(',') == std::string_view::npos) {
        plain = text;
        return NumberShape::kNumber;
    }
    scratch.clear();
    for (char c : text)
        if (c != ',') scratch += c;
    plain = scratch;
    return NumberShape::kNumber;
}

// yyyy[/-]m[/-]d with one- or two-digit month and day; the shape only, not the calendar.
bool date_shape(std::string_view text, int &year, int &month, int &day) {
    if (text.size() < 8 || !all_digits(text.substr(0, 4)) || (text[4] != '/' && text[4] != '-')) return false;
    std::size_t pos = 5;
    auto field = [&](int &out, char first_max) {
        std::size_t start = pos;
        while (pos < text.size() && is_digit(text[pos]) && pos - start < 3) ++pos;
        std::size_t length = pos - start;
        if (length == 0 || length > 2) return false;
        if (length == 2 && text[start] > first_max) return false;
        out = to_int(text.substr(start, length));
        return true;
    };
    year = to_int(text.substr(0, 4));
    if (!field(month, '1')) return false;
    if (pos >= text.size() || (text[pos] != '/' && text[pos] != '-')) return false;
    ++pos;
    if (!field(day, '3')) return false;
    return pos == text.size();
}

// h:m or h:m:s, each field 1-8 digits, minutes and seconds at most 60.
bool time_shape(std::string_view text, long &hours, int &minutes, int &seconds, int &colons) {
    std::string_view fields[3];
    colons = 0;
    if (text.find(':') == std::string_view::npos) return false;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == ':') {
            if (colons > 2) return false;
            fields[colons] = text.substr(start, i - start);
            if (i < text.size()) ++colons;
            start = i + 1;
        }
    }
    if (colons < 1 || colons > 2) return false;
    for (int k = 0; k <= colons; ++k)
        if (fields[k].size() > 8 || !all_digits(fields[k])) return false;
    hours = to_int(fields[0]);
    minutes = to_int(fields[1]);
    seconds = colons == 2 ? to_int(fields[2]) : 0;
    return minutes <= 60 && seconds <= 60;
}

void store_date_like(Cell &cell, CellKind kind, std::int64_t days, long seconds_of_day) {
    days += seconds_of_day / 86400;
    seconds_of_day %= 86400;
    cell.kind = kind;
    cell.set_integer(days);
    double fraction = static_cast<double>(seconds_of_day) / 86400.0;
    cell.set_text(kind == kCellDate ? std::string() : shortest_number_text(fraction));
}

std::string trim_formula(std::string_view text) {
    constexpr std::string_view kBlank = " \t\n\r";
    std::size_t first = text.find_first_not_of(kBlank);
    if (first == std::string_view::npos) return {};
    std::size_t last = text.find_last_not_of(kBlank);
    return std::string(text.substr(first, last - first + 1));
}

int store_text(Book &book, std::string_view value, Cell &cell) {
    int index = put_shared_string(book, value);
    if (index < 0) return index;
    cell.kind = kCellString;
    cell.sst = static_cast<std::uint32_t>(index);
    return 0;
}

// "=..." keeps its computed forms expanded; a formula of blanks only is plain text.
int store_formula(Book &book, std::string_view text, Cell &cell) {
    std::string formula = trim_formula(text.substr(1));
    if (formula.empty()) return store_text(book, text, cell);   // nothing to evaluate
    std::string expanded;
    if (int rc = expand_computed_forms(book, formula, expanded); rc != 0) return rc;
    cell.kind = kCellFormula;
    cell.set_formula(std::move(expanded));
    return 0;
}

// `plain` is a number's text without commas (see number_shape).
void store_number(std::string_view plain, bool has_point, Cell &cell) {
    std::string_view digits = plain;
    if (!digits.empty() && digits[0] == '+') digits.remove_prefix(1);
    std::int64_t integer = 0;
    const auto [end, ec] = has_point ? std::from_chars_result{digits.data(), std::errc::invalid_argument}
                                     : std::from_chars(digits.data(), digits.data() + digits.size(), integer);
    // The text as written is kept only where the number's own text differs ("+5",
    // "12.50"), so most numbers take no memory beyond the cell.
    if (ec == std::errc() && end == digits.data() + digits.size()) {
        cell.kind = kCellInteger;
        cell.set_integer(integer);
        char own[24];
        auto printed = std::to_chars(own, own + sizeof own, integer).ptr;
        if (std::string_view(own, static_cast<std::size_t>(printed - own)) != plain) cell.set_text(plain);
        return;
    }
    // A whole number beyond 64 bits still is a number, kept as written.
    cell.kind = kCellFloat;
    double number = 0.0;
    if (!parse_short_decimal(digits, number)) {
        auto parsed = std::from_chars(digits.data(), digits.data() + digits.size(), number);
        if (parsed.ec != std::errc() || parsed.ptr != digits.data() + digits.size())
            number = std::strtod(std::string(plain).c_str(), nullptr);
    }
    cell.set_number(number);
    if (!is_shortest_decimal(plain) && shortest_number_text(number) != plain) cell.set_text(plain);
}

// What a classifier below made of a text: not of its kind, stored, or of its shape but to be
// kept as text (a date that is no day of the calendar, a time too far beyond a day).
enum class Classified { kOther, kStored, kText };

// A date, or a date, one blank and a time of at most 24 hours.
Classified store_date(std::string_view text, Cell &cell) {
    int year = 0, month = 0, day = 0;
    if (date_shape(text, year, month, day)) {
        if (!is_valid_date(year, month, day)) return Classified::kText;
        store_date_like(cell, kCellDate, date_to_serial_days(year, month, day), 0);
        return Classified::kStored;
    }
    // A date and a time start with the year's digits; most texts are neither.
    if (text.size() < 10 || !is_digit(text[0])) return Classified::kOther;
    std::size_t blank = text.find(' ');
    if (blank == std::string_view::npos || blank < 8 || !date_shape(text.substr(0, blank), year, month, day))
        return Classified::kOther;
    long hours = 0;
    int minutes = 0, seconds = 0, colons = 0;
    if (!time_shape(text.substr(blank + 1), hours, minutes, seconds, colons) || hours > 24)
        return Classified::kOther;
    if (!is_valid_date(year, month, day)) return Classified::kText;
    store_date_like(cell, kCellDateTime, date_to_serial_days(year, month, day),
                    hours * 3600 + minutes * 60 + seconds);
    return Classified::kStored;
}

// A number followed by "%", unless the text starts with four digits.
Classified store_percent(std::string_view text, Cell &cell) {
    std::string scratch;
    std::string_view plain;
    bool has_point = false;
    if (text.back() != '%' || text.size() >= kPercentTextBytes ||
        (text.size() >= 4 && all_digits(text.substr(0, 4))) ||
        number_shape(text.substr(0, text.size() - 1), scratch, plain, has_point) != NumberShape::kNumber)
        return Classified::kOther;
    double value = std::strtod(std::string(plain).c_str(), nullptr) / 100.0;
    char buffer[512];
    std::snprintf(buffer, sizeof buffer, "%lf", value);
    // Six decimals would lose the digits of a percentage such as 1.23456%.
    if (std::fabs(std::strtod(buffer, nullptr) - value) > 1e-12 * std::fmax(1.0, std::fabs(value)))
        std::snprintf(buffer, sizeof buffer, "%.15g", value);
    cell.kind = kCellPercent;
    cell.set_number(value);
    cell.set_text(buffer);
    return Classified::kStored;
}

// h:m or h:m:s; hours beyond a day carry into days, up to a limit.
Classified store_time(std::string_view text, Cell &cell) {
    long hours = 0;
    int minutes = 0, seconds = 0, colons = 0;
    if (!time_shape(text, hours, minutes, seconds, colons)) return Classified::kOther;
    long total = hours * 3600 + minutes * 60 + seconds;
    if (hours > 24 && total / 86400 > kMaxTimeCarryDays) return Classified::kText;
    store_date_like(cell, colons == 1 ? kCellTimeHm : kCellTimeHms, 0, total);
    return Classified::kStored;
}

std::string percent_text(const Cell &cell) {
    char buffer[512];
    // A put value keeps its text; a read one (xls) only its number.
    double value = (cell.text().empty() ? cell.number() : std::strtod(cell.text().c_str(), nullptr)) * 100.0;
    if (!std::isfinite(value)) value = 0.0;
    std::snprintf(buffer, sizeof buffer, "%lf", value);
    return normalise_decimal(buffer) + "%";
}

// A value put into a package's cell that shows numbers as General still shows as what it is:
// a date as a date, a time as a time. The cell keeps the rest of its format.
int give_package_cell_a_format(Book &book, Cell &cell) {
    std::uint32_t format = 0;
    switch (cell.kind) {
    case kCellDate: format = 14; break;
    case kCellDateTime: format = 22; break;
    case kCellTimeHm: format = 20; break;
    case kCellTimeHms: format = 21; break;
    case kCellPercent: format = 9; break;
    default: return 0;
    }
    XfRecord xf = cell_xf(book, cell);
    if (xf.format_mode != kFormatBuiltin || xf.format != 0) return 0;
    xf.format = format;
    return set_cell_xf(book, cell, xf);
}

}  // namespace

int check_value_length(Book &book, std::size_t bytes) {
    if (bytes >= kValueBufferBytes)
        return book.err.raise(kLimit, Msg::k03009, static_cast<int>(kCellUtf8Bytes), "XLS_CELL_LEN");
    return 0;
}

std::string expand_system_words(const Book &book, std::string_view text, EnvironmentLookup environment) {
    if (equals_ignore_case(text, "$SYSDATETIME")) return datetime_stamp();
    if (equals_ignore_case(text, "$SYSDATE")) return datetime_stamp().substr(0, 10);
    if (text.size() >= 2 && text[0] == '\\' && text[1] == '$') return std::string(text.substr(1));
    if (!text.empty() && text[0] == '$') {
        std::string name(text.substr(1));
        if (environment == EnvironmentLookup::kAllowed && text.size() < kEnvNameTextBytes &&
            name.find('\0') == std::string::npos) {
            if (const char *env = std::getenv(name.c_str())) return env;
        }
        std::string value;
        if (get_variable(book, name, value) == 0) return value;
    }
    return std::string(text);
}

std::string cut_cell_text(std::string_view text) {
    std::string out;
    if (text.size() >= kCellStrChars && utf8_length(text) > kCellStrChars) {
        if (!text.empty() && text[0] == '"') {
            out.assign(text.substr(0, utf8_prefix_bytes(text, kCellStrChars - 3)));
            out += '"';
        } else {
            out.assign(text.substr(0, utf8_prefix_bytes(text, kCellStrChars - 2)));
        }
    } else {
        out.assign(text);
    }
    // Four-byte characters could still take a cut text over the byte limit of a cell.
    if (out.size() > kCellUtf8Bytes) out.resize(fit_prefix(kUtf8, out, kCellUtf8Bytes));
    return out;
}

int store_value(Book &book, std::string_view text, Cell &cell) {
    cell.clear();
    if (text.empty()) return 0;
    if (text[0] == '\'') return store_text(book, text.substr(1), cell);
    if (text[0] == '=') return store_formula(book, text, cell);

    std::string scratch;
    std::string_view plain;
    bool has_point = false;
    switch (number_shape(text, scratch, plain, has_point)) {
        case NumberShape::kBadCommas: return store_text(book, text, cell);
        case NumberShape::kNumber: store_number(plain, has_point, cell); return 0;
        case NumberShape::kNone: break;
    }

    using Classifier = Classified (*)(std::string_view, Cell &);
    for (Classifier classify : {&store_date, &store_percent, &store_time}) {
        switch (classify(text, cell)) {
            case Classified::kStored: return 0;
            case Classified::kText: return store_text(book, text, cell);
            case Classified::kOther: break;
        }
    }
    return store_text(book, text, cell);
}

namespace {

// Stores `value` in the cell at (row, column), which exists: the kind its text gives, the default
// format of a date-like kind or percentage, and the extent of the sheet and the row. 0 or the
// error raised.
int store_in_cell(Book &book, Sheet &sheet, int row, int column, std::string_view value) {
    Row &r = sheet.rows[static_cast<std::size_t>(row)];
    Cell &cell = r.cells[static_cast<std::size_t>(column)];
    Cell fresh;
    fresh.style = cell.style;
    int rc = store_value(book, value, fresh);
    if (rc == kNoMemory) return book.err.raise(kNoMemory, Msg::k00002);
    if (rc != 0) {
        char detail[64];
        std::snprintf(detail, sizeof detail, "tsx_put_cell() return=%d", rc);
        return book.err.raise(kFail, Msg::k03600, detail);
    }
    if (book.from_file) {
        book.values_changed = true;
        if (int rc = give_package_cell_a_format(book, fresh); rc != 0) return rc;
    } else if (fresh.style == 0) {
        switch (fresh.kind) {
            case kCellDate: fresh.style = kXfDate; break;
            case kCellDateTime: fresh.style = kXfDateTime; break;
            case kCellTimeHm: fresh.style = kXfTimeHm; break;
            case kCellTimeHms: fresh.style = kXfTimeHms; break;
            // A percentage shown as a bare fraction (0.0825 for 8.25%) misleads the reader.
            case kCellPercent: fresh.style = kXfPercent; break;
            default: break;
        }
    }
    cell = std::move(fresh);
    // The rows and cells in use grow only with a stored value: a value that ran out of memory
    // leaves the sheet's extent (and the rows counted by $ROWNUM) as it was.
    if (sheet.rows_used <= row) sheet.rows_used = row + 1;
    if (r.used <= column) r.used = static_cast<std::uint16_t>(column + 1);
    return 0;
}

// Whether a value is changed before it is stored: system words ("$", "\\"), a text over the
// length limit, a link written as a value ("#").
bool needs_preparation(std::string_view value) {
    return value.size() >= kCellStrChars || (!value.empty() && (value[0] == '$' || value[0] == '\\' || value[0] == '#'));
}

// A value that needs preparation: system words expanded, then an overlong text cut, then a link
// ("#Sheet2!B3\"Go\"") taken apart: its text is stored and the cell linked. `stored` is set once
// the value is in the cell.
int put_prepared_value(Book &book, int sheet_index, Sheet &sheet, int row, int column, std::string_view value,
                       EnvironmentLookup environment, bool &stored) {
    std::string expanded, cut;
    if (!value.empty() && (value[0] == '$' || value[0] == '\\')) {
        expanded = expand_system_words(book, value, environment);
        value = expanded;
    }
    if (value.size() >= kCellStrChars) {
        cut = cut_cell_text(value);
        value = cut;
    }
    ValueHyperlink link;
    const bool linked = looks_like_value_hyperlink(value);
    if (linked) {
        int rc = parse_value_hyperlink(book, value, link);
        if (rc == kFail) {
            const std::size_t quote = value.find('"'), mark = value.rfind('!', quote);
            return book.err.raise(kFail, Msg::k02300, std::string(value.substr(mark + 1, quote - mark - 1)).c_str());
        }
        if (rc != 0) return rc;
        value = link.display;
    }
    if (int rc = store_in_cell(book, sheet, row, column, value); rc != 0) return rc;
    stored = true;
    if (linked)
        return set_hyperlink(book, sheet_index, row, column, HyperlinkKind::kInValue, link.sheet, link.row, link.column);
    return 0;
}

}  // namespace

int put_cell_value(Book &book, int sheet_index, int row, int column, std::string_view utf8_value,
                   EnvironmentLookup environment) {
    // A value that is not stored leaves no sheet behind that was added only to hold it.
    struct FirstSheet {
        Book &book;
        bool added = false;
        bool kept = false;
        ~FirstSheet() {
            if (added && !kept) book.sheets.clear();
        }
    } first{book};
    if (sheet_index == book.current_sheet && book.sheet_count() == 0) {
        if (int rc = ensure_first_sheet(book); rc != 0) return rc;
        first.added = true;
    }
    Sheet *sheet = book.sheet(sheet_index);
    if (!sheet) return book.err.fail(kSheetIndex);
    if (row < 0 || column < 0 || row >= book.max_rows || column >= book.max_columns) {
        std::string name;
        cell_name(row, column, name);
        return book.err.raise(kBadArgument, Msg::k02300, name.c_str());
    }
    if (ensure_cell(book, *sheet, row, column) != 0) return book.err.raise(kNoMemory, Msg::k00002);
    book.current_row = row;
    book.current_column = column;
    const Cell &cell = sheet->rows[static_cast<std::size_t>(row)].cells[static_cast<std::size_t>(column)];
    if (book.from_file && (cell.kind == kCellFormula || cell.kind == kCellFormulaValue || cell.formula())) {
        std::string name;
        cell_name(row, column, name);
        return book.err.raise(kBadArgument, Msg::k03203, name.c_str());
    }

    // Most values are neither system words, over the length limit nor links: they are stored
    // from the caller's text without a copy.
    const int rc = needs_preparation(utf8_value)
                       ? put_prepared_value(book, sheet_index, *sheet, row, column, utf8_value, environment, first.kept)
                       : store_in_cell(book, *sheet, row, column, utf8_value);
    if (rc == 0) first.kept = true;
    return rc;
}

std::string cell_value_text(const Book &book, const Cell &cell) {
    std::string scratch;
    const std::string_view view = cell_value_view(book, cell, scratch);
    if (view.data() == scratch.data()) return scratch;
    return std::string(view);
}

namespace {

// The kinds whose value is formatted for reading (dates, times, percentages, and every number
// of an unloaded book), apart from the common kinds, whose path stays short.
[[gnu::noinline]] std::string_view formatted_view(const Book &book, const Cell &cell, std::string &scratch) {
    if (book.unload) return scratch = format_cell_text(book, cell);   // what the sheet shows
    if (cell.kind == kCellPercent) return scratch = percent_text(cell);
    return scratch = format_date(cell, 0);
}

}  // namespace

std::string_view cell_value_view(const Book &book, const Cell &cell, std::string &scratch) {
    switch (cell.kind) {
        case kCellText: return cell.text();
        case kCellString: return shared_string_view(book, cell);
        case kCellBoolean: return cell.integer() != 0 ? "TRUE" : "FALSE";
        case kCellError: return cell.text();
        case kCellFormulaValue:
            // A formula read from a package (or computed) shows its value.
            if (!cell.text().empty()) return cell.text();
            return scratch = shortest_number_text(cell.number());
        case kCellInteger:
            if (book.unload) return formatted_view(book, cell, scratch);
            return exact_number_view(cell, scratch);
        case kCellFloat:
            if (book.unload) return formatted_view(book, cell, scratch);
            // A number's own shortest text is already in normal form; a text as written may not be.
            if (!cell.text().empty()) return scratch = normalise_decimal(cell.text());
            return exact_number_view(cell, scratch);
        case kCellPercent:
        case kCellDate:
        case kCellDateTime:
        case kCellTimeHm:
        case kCellTimeHms: return formatted_view(book, cell, scratch);
        default: return {};
    }
}

std::string_view cell_kind_name(const Cell &cell, std::string &scratch) {
    switch (cell.kind) {
        case kCellText:
        case kCellString: return "CHARACTER";
        case kCellInteger: return "INTEGER";
        case kCellFloat: return "FLOAT";
        case kCellPercent: return "PERCENT";
        case kCellDate: return "DATE";
        case kCellDateTime: return "DATE_TIME";
        case kCellBoolean: return "BOOLEAN";
        case kCellError: return "ERROR";
        case kCellFormula:
        case kCellFormulaValue: return scratch = "FORMULA:" + (cell.formula() ? *cell.formula() : std::string());
        default: return {};
    }
}

}  // namespace tabsmith
