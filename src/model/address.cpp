// Conversion between A1 names and 0-based positions: names, ranges, row ranges, sheet
// prefixes, range lists, and the computed forms "(expr)" built from $ROWNUM, $CLMNUM and variables.

#include "model/address.h"

#include <algorithm>
#include <charconv>
#include <cstdint>

#include "support/charset.h"
#include "support/scanner.h"

namespace tabsmith {
namespace {

// Numbers in expressions and names are clamped here so that sums never overflow; anything
// this large is out of every bound anyway.
constexpr std::int64_t kClamp = std::int64_t{1} << 40;

bool is_letter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
char upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// Characters that continue a word: a group after "LOG10" or "xA" is no row form.
bool is_word_char(char c) {
    return is_letter(c) || is_digit(c) || c == '_' || c == '.' || c == '$' ||
           static_cast<unsigned char>(c) >= 0x80;
}

bool all_digits(std::string_view text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), is_digit);
}

std::int64_t clamped_number(std::string_view digits) {
    std::int64_t value = 0;
    for (char c : digits) value = std::min(kClamp, value * 10 + (c - '0'));
    return value;
}

constexpr int kNoColumn = -1;

// Column of 1-3 letters (case-insensitive), or kNoColumn.
int letters_column(std::string_view letters) {
    if (letters.empty() || letters.size() > 3) return kNoColumn;
    int column = 0;
    for (char c : letters) {
        if (!is_letter(c)) return kNoColumn;
        column = column * 26 + (upper(c) - 'A' + 1);
    }
    return column - 1 <= kMaxNameColumn ? column - 1 : kNoColumn;
}

// The data-source counter of the current sheet as a 0-based position: the counter minus one,
// or the last row (column) in use when the counter is not set; never below 0.
std::int64_t counter_value(Book &book, bool row) {
    const Sheet *sheet = book.current();
    if (!sheet) return 0;
    int counter = row ? sheet->data_row : sheet->data_column;
    if (counter > 0) return counter - 1;
    int last = 0;
    if (row) {
        last = sheet->rows_used - 1;
    } else {
        // Columns have no sheet-wide count: the widest row in use gives it.
        for (int r = 0; r < sheet->rows_used && static_cast<std::size_t>(r) < sheet->rows.size(); ++r)
            last = std::max(last, static_cast<int>(sheet->rows[static_cast<std::size_t>(r)].used) - 1);
    }
    return std::max(last, 0);
}

// One term of an expression: 0 and its value, or kBadArgument after raising.
int term_value(Book &book, const std::string &term, std::int64_t &value) {
    if (all_digits(term)) {
        value = clamped_number(term);
        return 0;
    }
    if (term.size() > 1 && term[0] == '$') {
        std::string_view name = std::string_view(term).substr(1);
        if (equals_ignore_case(name, "ROWNUM")) {
            value = counter_value(book, true);
            return 0;
        }
        if (equals_ignore_case(name, "CLMNUM")) {
            value = counter_value(book, false);
            return 0;
        }
        std::string stored;
        if (get_variable(book, name, stored) != 0) return book.err.raise(kBadArgument, Msg::k03001, term.c_str());
        if (!all_digits(stored)) return book.err.raise(kBadArgument, Msg::k02302, term.c_str());
        value = clamped_number(stored);
        return 0;
    }
    if (term == "*" || term == "/") return book.err.raise(kBadArgument, Msg::k02201, term.c_str());
    return book.err.raise(kBadArgument, Msg::k02200, term.c_str());
}

// Evaluates "term (+|- term)...": "+" adds the next term, "-" subtracts it, a term with no
// operator before it replaces the running value. 0, kNotAReference (no term at all) or
// kBadArgument (raised).
int evaluate(Book &book, std::string_view expression, std::int64_t &value) {
    value = 0;
    std::size_t pos = 0;
    std::string token;
    char op = 0;
    bool any_term = false;
    for (;;) {
        int rc = scan_token(ScanMode::kFormula, kUtf8, expression, pos, token);
        if (rc == kScanNoMore) break;
        if (rc != 0) return kNotAReference;
        if (token == "+" || token == "-") {
            op = token[0];
            continue;
        }
        std::int64_t term = 0;
        if (int bad = term_value(book, token, term); bad != 0) return bad;
        if (op == '+') value = std::min(kClamp, value + term);
        else if (op == '-') value = std::max(-kClamp, value - term);
        else value = term;
        op = 0;
        any_term = true;
    }
    return any_term ? 0 : kNotAReference;
}

// The value of a group as a position within `max`: 0, kNotAReference (out of bounds) or
// kBadArgument.
int group_position(Book &book, std::string_view content, int max, int &position) {
    std::int64_t value = 0;
    if (int rc = evaluate(book, content, value); rc != 0) return rc;
    if (value < 0 || value > max) return kNotAReference;
    position = static_cast<int>(value);
    return 0;
}

// A group that may be a computed form in a longer text: nothing in it that an expression of
// terms and + - * / cannot hold (function arguments have commas, ranges colons, strings quotes).
bool plain_group(std::string_view content) {
    bool any = false;
    for (char c : content) {
        switch (c) {
        case '(': case ')': case ',': case ':': case '!': case '"': case '\'': case '=': case '<': case '>':
        case '&': case '%': case '^': case ';': case '{': case '}': case '[': case ']': case '#': case '@':
            return false;
        case ' ': case '\t': case '\r': case '\n':
            break;
        default:
            any = true;
        }
    }
    return any;
}

// A $-term that only a computed form can mean: $ROWNUM, $CLMNUM or a variable. "$A", "$A1" and
// "$A$1" are absolute references ("=SUM($A1)" must stay a formula).
bool is_trigger_term(std::string_view token) {
    if (token.size() < 2 || token[0] != '$') return false;
    std::string_view name = token.substr(1);
    if (name.find('$') != std::string_view::npos) return false;
    std::size_t letters = 0;
    while (letters < name.size() && is_letter(name[letters])) ++letters;
    bool rest_digits = std::all_of(name.begin() + static_cast<std::ptrdiff_t>(letters), name.end(), is_digit);
    if (letters >= 1 && letters <= 3 && rest_digits) return false;
    return true;
}

bool has_trigger(std::string_view content) {
    std::size_t pos = 0;
    std::string token;
    while (scan_token(ScanMode::kFormula, kUtf8, content, pos, token) == 0)
        if (is_trigger_term(token)) return true;
    return false;
}

// Whether the expanded text so far ends with column letters that start a word (optionally
// "$"-marked before and after): then a group that follows stands for the row number.
bool ends_with_column(const std::string &out) {
    std::size_t end = out.size();
    if (end > 0 && out[end - 1] == '$') --end;
    std::size_t start = end;
    while (start > 0 && is_letter(out[start - 1]) && end - start <= 3) --start;
    if (letters_column(std::string_view(out).substr(start, end - start)) == kNoColumn) return false;
    if (start > 0 && is_letter(out[start - 1])) return false;
    if (start > 0 && out[start - 1] == '$') --start;
    return start == 0 || !is_word_char(out[start - 1]);
}

// Whether a group ending at `close` stands for the column letters: it starts a word and a row
// number (or a row group) follows it.
bool is_column_slot(std::string_view text, std::size_t close, const std::string &out) {
    std::size_t end = out.size();
    if (end > 0 && out[end - 1] == '$') --end;
    if (end > 0 && is_word_char(out[end - 1])) return false;
    std::size_t next = close + 1;
    if (next < text.size() && text[next] == '$') ++next;
    return next < text.size() && (is_digit(text[next]) || text[next] == '(');
}

// Index of the ")" closing the group that opens at `open`, or npos when another "(" comes first
// or none follows (such a group holds a function call or a nested expression).
std::size_t group_end(std::string_view text, std::size_t open) {
    for (std::size_t i = open + 1; i < text.size(); ++i) {
        if (text[i] == ')') return i;
        if (text[i] == '(') return std::string_view::npos;
    }
    return std::string_view::npos;
}

std::string_view trim_spaces(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

}  // namespace

std::string column_letters(int column) {
    if (column < 0 || column > kMaxNameColumn) return {};
    char letters[4];
    int n = 0;
    for (int value = column + 1; value > 0; value = (value - 1) / 26)
        letters[n++] = static_cast<char>('A' + (value - 1) % 26);
    std::reverse(letters, letters + n);
    return std::string(letters, static_cast<std::size_t>(n));
}

std::size_t write_cell_name(int row, int column, char *out, bool absolute) {
    if (row < 0 || row > kMaxNameRow || column < 0 || column > kMaxNameColumn) return 0;
    char *end = out;
    if (absolute) *end++ = '$';
    char letters[4];
    int n = 0;
    for (int value = column + 1; value > 0; value = (value - 1) / 26)
        letters[n++] = static_cast<char>('A' + (value - 1) % 26);
    while (n > 0) *end++ = letters[--n];
    if (absolute) *end++ = '$';
    end = std::to_chars(end, out + kCellNameBytes, row + 1).ptr;
    return static_cast<std::size_t>(end - out);
}

int cell_name(int row, int column, std::string &out, bool absolute) {
    char buffer[kCellNameBytes];
    const std::size_t length = write_cell_name(row, column, buffer, absolute);
    if (length == 0) return kNotAReference;
    out.assign(buffer, length);
    return 0;
}

int parse_cell_name(std::string_view name, int &row, int &column) {
    if (name == "**") {
        row = kMaxNameRow;
        column = kMaxNameColumn;
        return 0;
    }
    std::size_t i = 0;
    if (i < name.size() && name[i] == '$') ++i;
    std::size_t letters_start = i;
    while (i < name.size() && is_letter(name[i])) ++i;
    int c = letters_column(name.substr(letters_start, i - letters_start));
    if (c == kNoColumn) return kNotAReference;
    if (i < name.size() && name[i] == '$') ++i;
    std::string_view rest = name.substr(i);
    int r = 0;
    if (rest == "*") {
        r = kMaxNameRow;
    } else {
        if (!all_digits(rest)) return kNotAReference;
        std::int64_t number = clamped_number(rest);
        if (number < 1 || number - 1 > kMaxNameRow) return kNotAReference;
        r = static_cast<int>(number - 1);
    }
    row = r;
    column = c;
    return 0;
}

int expand_name(Book &book, std::string_view name, std::string &out) {
    out.clear();
    if (name.size() > kComputedTextBytes) return kNotAReference;
    if (name.find('(') == std::string_view::npos) {
        out.assign(name);
        return 0;
    }
    std::size_t i = 0;
    const std::size_t n = name.size();
    if (i < n && name[i] == '$') out += name[i++];
    if (i < n && name[i] == '(') {
        std::size_t close = name.find(')', i);
        if (close == std::string_view::npos) return kNotAReference;
        int column = 0;
        if (int rc = group_position(book, name.substr(i + 1, close - i - 1), kMaxNameColumn, column); rc != 0)
            return rc;
        out += column_letters(column);
        i = close + 1;
    } else {
        std::size_t start = i;
        while (i < n && is_letter(name[i])) ++i;
        // Letters that name no column make this no cell; do not evaluate (or complain about)
        // a row group behind them.
        if (letters_column(name.substr(start, i - start)) == kNoColumn) return kNotAReference;
        out.append(name.substr(start, i - start));
    }
    if (i < n && name[i] == '$') out += name[i++];
    if (i < n && name[i] == '(') {
        std::size_t close = name.find(')', i);
        if (close == std::string_view::npos || close != n - 1) return kNotAReference;
        int row = 0;
        if (int rc = group_position(book, name.substr(i + 1, close - i - 1), kMaxNameRow, row); rc != 0) return rc;
        out += std::to_string(row + 1);
    } else {
        out.append(name.substr(i));
    }
    return 0;
}

int expand_computed_forms(Book &book, std::string_view text, std::string &out) {
    out.clear();
    if (text.size() > kComputedTextBytes) return kNotAReference;
    if (text.find('$') == std::string_view::npos) {
        out.assign(text);
        return 0;
    }
    const std::size_t n = text.size();
    bool after_column_group = false;  // a row group may follow straight on ("($CLMNUM)($ROWNUM)")
    std::size_t i = 0;
    while (i < n) {
        char c = text[i];
        if (c == '"' || c == '\'') {
            // String literals and quoted sheet names are copied as they are; a doubled quote
            // simply closes and reopens.
            std::size_t close = text.find(c, i + 1);
            std::size_t end = close == std::string_view::npos ? n : close + 1;
            out.append(text.substr(i, end - i));
            i = end;
            after_column_group = false;
            continue;
        }
        if (c == '(') {
            std::size_t close = group_end(text, i);
            if (close != std::string_view::npos) {
                std::string_view content = text.substr(i + 1, close - i - 1);
                if (plain_group(content)) {
                    bool trigger = has_trigger(content);
                    if (after_column_group || (trigger && ends_with_column(out))) {
                        int row = 0;
                        if (int rc = group_position(book, content, kMaxNameRow, row); rc != 0) return rc;
                        out += std::to_string(row + 1);
                        i = close + 1;
                        after_column_group = false;
                        continue;
                    }
                    if (trigger && is_column_slot(text, close, out)) {
                        int column = 0;
                        if (int rc = group_position(book, content, kMaxNameColumn, column); rc != 0) return rc;
                        out += column_letters(column);
                        i = close + 1;
                        std::size_t next = i < n && text[i] == '$' ? i + 1 : i;
                        after_column_group = next < n && text[next] == '(';
                        continue;
                    }
                }
            }
        }
        if (!(c == '$' && after_column_group)) after_column_group = false;
        out += c;
        ++i;
    }
    return 0;
}

int split_sheet_prefix(const Book &book, std::string_view text, int &sheet, std::string_view &rest,
                       std::size_t max_name) {
    sheet = -1;
    rest = text;
    std::string name;
    if (!text.empty() && text[0] == '\'') {
        std::size_t i = 1;
        for (;;) {
            std::size_t quote = text.find('\'', i);
            if (quote == std::string_view::npos) return kNotAReference;
            name.append(text.substr(i, quote - i));
            if (quote + 1 < text.size() && text[quote + 1] == '\'') {
                name += '\'';
                i = quote + 2;
                continue;
            }
            // A quoted text without "!" behind it is no prefix; the caller sees it whole.
            if (quote + 1 >= text.size() || text[quote + 1] != '!') return 0;
            rest = text.substr(quote + 2);
            break;
        }
    } else {
        std::size_t bang = text.rfind('!');
        if (bang == std::string_view::npos) return 0;
        name.assign(text.substr(0, bang));
        rest = text.substr(bang + 1);
    }
    if (name.size() > max_name) return kNotAReference;
    if (!name.empty()) sheet = find_sheet(book, name);
    return 0;
}

namespace {

// The plain name at `text`, which ends where `ends_at(i)` says.
template <typename EndsAt>
bool read_plain_name(const char *text, EndsAt ends_at, int &row, int &column) {
    std::size_t i = 0;
    int letters = 0;
    while (!ends_at(i) && i < 3 && is_letter(text[i])) letters = letters * 26 + (upper(text[i++]) - 'A' + 1);
    const std::size_t digits_start = i;
    std::int64_t number = 0;
    while (!ends_at(i) && i - digits_start < 7 && is_digit(text[i])) number = number * 10 + (text[i++] - '0');
    if (digits_start == 0 || i == digits_start || !ends_at(i)) return false;
    if (letters - 1 > kMaxNameColumn || number < 1 || number - 1 > kMaxNameRow) return false;
    row = static_cast<int>(number - 1);
    column = letters - 1;
    return true;
}

}  // namespace

bool plain_cell_name(std::string_view text, int &row, int &column) {
    return read_plain_name(text.data(), [&](std::size_t i) { return i == text.size(); }, row, column);
}

bool plain_cell_name(const char *text, int &row, int &column) {
    return read_plain_name(text, [&](std::size_t i) { return text[i] == '\0'; }, row, column);
}

int resolve_cell(Book &book, std::string_view text, CellRef &ref) {
    if (int row = 0, column = 0; plain_cell_name(text, row, column)) {
        ref = CellRef{-1, row, column, row, column, false};
        return 0;
    }
    if (text.empty() || text.size() > kComputedTextBytes) return kNotAReference;
    int sheet = -1;
    std::string_view rest;
    if (split_sheet_prefix(book, text, sheet, rest) != 0) return kNotAReference;
    int row = 0, column = 0;
    if (rest.find('(') == std::string_view::npos) {
        // No computed part: the name is read as it stands.
        if (parse_cell_name(rest, row, column) != 0) return kNotAReference;
    } else {
        std::string name;
        if (int rc = expand_name(book, rest, name); rc != 0) return rc;
        if (parse_cell_name(name, row, column) != 0) return kNotAReference;
    }
    ref = CellRef{sheet, row, column, row, column, false};
    return 0;
}

int resolve_range(Book &book, std::string_view text, CellRef &ref) {
    if (text.empty() || text.size() > kComputedTextBytes) return kNotAReference;
    int sheet = -1;
    std::string_view rest;
    if (split_sheet_prefix(book, text, sheet, rest, kRangeSheetNameBytes) != 0) return kNotAReference;
    std::size_t colon = rest.find(':');
    if (colon == std::string_view::npos) return kNotAReference;
    std::string_view left = rest.substr(0, colon), right = rest.substr(colon + 1);
    if (right.find(':') != std::string_view::npos) return kNotAReference;
    std::string first, second;
    if (int rc = expand_name(book, left, first); rc != 0) return rc;
    if (int rc = expand_name(book, right, second); rc != 0) return rc;
    // The byte limit applies to the range as it reads once its computed forms are expanded.
    std::size_t prefix = text.size() - rest.size();
    if (prefix + first.size() + 1 + second.size() > kRangeTextBytes) return kNotAReference;
    int row1 = 0, column1 = 0, row2 = 0, column2 = 0;
    if (parse_cell_name(first, row1, column1) != 0 || parse_cell_name(second, row2, column2) != 0)
        return kNotAReference;
    ref = CellRef{sheet, row1, column1, row2, column2, true};
    return 0;
}

int resolve_reference(Book &book, std::string_view text, CellRef &ref) {
    int sheet = -1;
    std::string_view rest;
    if (split_sheet_prefix(book, text, sheet, rest) != 0) return kNotAReference;
    return rest.find(':') != std::string_view::npos ? resolve_range(book, text, ref) : resolve_cell(book, text, ref);
}

int parse_row_range(const Book &book, std::string_view text, int &row1, int &row2) {
    if (text.size() > kRowRangeTextBytes) return kBadArgument;
    std::size_t colon = text.find(':');
    if (colon == std::string_view::npos) return kBadArgument;
    std::string_view first = text.substr(0, colon), second = text.substr(colon + 1);
    if (!all_digits(first) || !all_digits(second)) return kBadArgument;
    std::int64_t a = clamped_number(first) - 1, b = clamped_number(second) - 1;
    if (a < 0 || b < 0 || a >= book.max_rows || b >= book.max_rows) return kBadArgument;
    row1 = static_cast<int>(a);
    row2 = static_cast<int>(b);
    return 0;
}

int parse_range_list(Book &book, std::string_view text, std::vector<CellRef> &out) {
    out.clear();
    if (text.size() > kComputedTextBytes) return kNotAReference;
    std::vector<std::string_view> items;
    std::size_t start = 0;
    int depth = 0;
    char quote = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i < text.size()) {
            char c = text[i];
            if (quote) {
                if (c == quote) quote = 0;
                continue;
            }
            if (c == '\'' || c == '"') quote = c;
            else if (c == '(') ++depth;
            else if (c == ')' && depth > 0) --depth;
            if (c != ',' || depth > 0) continue;
        }
        items.push_back(trim_spaces(text.substr(start, i - start)));
        start = i + 1;
        if (items.size() > static_cast<std::size_t>(kMaxRangeList)) return kNotAReference;
    }
    std::vector<CellRef> refs;
    refs.reserve(items.size());
    for (std::string_view item : items) {
        CellRef ref;
        if (item.empty()) return kNotAReference;
        if (int rc = resolve_reference(book, item, ref); rc != 0) return rc;
        refs.push_back(ref);
    }
    out = std::move(refs);
    return 0;
}

namespace {

bool ascii_letter(unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool ascii_digit(unsigned char c) { return c >= '0' && c <= '9'; }

// "AB12" or "R1C1"-like forms (R, C, R2, C3, R2C3) a formula would read as a reference.
bool reads_as_reference(std::string_view name) {
    std::size_t k = 0;
    while (k < name.size() && ascii_letter(static_cast<unsigned char>(name[k]))) ++k;
    if (k > 0 && k <= 3 && k < name.size()) {
        std::size_t d = k;
        while (d < name.size() && ascii_digit(static_cast<unsigned char>(name[d]))) ++d;
        if (d == name.size()) return true;
    }
    auto digits = [&](std::size_t &at) {
        while (at < name.size() && ascii_digit(static_cast<unsigned char>(name[at]))) ++at;
    };
    std::size_t at = 0;
    if (at < name.size() && (name[at] == 'R' || name[at] == 'r')) {
        ++at;
        digits(at);
    }
    if (at < name.size() && (name[at] == 'C' || name[at] == 'c')) {
        ++at;
        digits(at);
    }
    return at > 0 && at == name.size();
}

}  // namespace

std::string quoted_sheet_name(std::string_view name) {
    bool plain = !name.empty() && !ascii_digit(static_cast<unsigned char>(name.front())) && !reads_as_reference(name);
    for (unsigned char c : name)
        if (!(ascii_letter(c) || ascii_digit(c) || c == '_' || c >= 0x80)) plain = false;
    if (plain) return std::string(name);
    std::string out = "'";
    for (char c : name) {
        out.push_back(c);
        if (c == '\'') out.push_back('\'');
    }
    out.push_back('\'');
    return out;
}

}  // namespace tabsmith
