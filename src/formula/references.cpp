// Moving the relative references of a formula text (A1, $A$1, A1:B2, A:A and 1:1 forms, with or
// without a sheet in front; function names and defined names are left alone), and renaming sheets in it.

#include "formula/references.h"

#include <algorithm>
#include <cctype>
#include <string>

namespace tabsmith {
namespace {

constexpr long kLastRow = 1048576;
constexpr long kLastColumn = 16384;

bool name_char(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '.' || c == '\\'; }

// One part of a reference read at `at`: column letters and/or row digits, each maybe absolute.
struct Part {
    std::size_t end = 0;
    bool column_absolute = false, row_absolute = false;
    long column = 0, row = 0;   // 1-based; 0 when the part has none
};

bool read_part(std::string_view text, std::size_t at, Part &part) {
    part = Part{};
    std::size_t k = at;
    if (k < text.size() && text[k] == '$') part.column_absolute = true, ++k;
    std::size_t letters = 0;
    while (k < text.size() && std::isalpha(static_cast<unsigned char>(text[k])) && letters < 4) {
        part.column = part.column * 26 + (std::toupper(static_cast<unsigned char>(text[k])) - 'A' + 1);
        ++k, ++letters;
    }
    if (letters > 3 || part.column > kLastColumn) return false;
    if (letters == 0 && part.column_absolute) {   // "$1": the row's own mark
        part.column_absolute = false;
        part.row_absolute = true;
    } else if (k < text.size() && text[k] == '$') {
        part.row_absolute = true, ++k;
    }
    std::size_t digits = 0;
    while (k < text.size() && std::isdigit(static_cast<unsigned char>(text[k])) && digits < 8)
        part.row = part.row * 10 + (text[k] - '0'), ++k, ++digits;
    if (part.row > kLastRow || (digits > 0 && part.row == 0)) return false;
    if (letters == 0 && digits == 0) return false;
    if (digits == 0 && part.row_absolute) return false;
    part.end = k;
    return true;
}

// Appends the part moved; false when it leaves the sheet.
bool append_moved(const Part &part, int rows, int columns, std::string &out) {
    if (part.column > 0) {
        long column = part.column_absolute ? part.column : part.column + columns;
        if (column < 1 || column > kLastColumn) return false;
        if (part.column_absolute) out += '$';
        std::string letters;
        for (long c = column; c > 0; c = (c - 1) / 26) letters.insert(letters.begin(), static_cast<char>('A' + (c - 1) % 26));
        out += letters;
    }
    if (part.row > 0) {
        long row = part.row_absolute ? part.row : part.row + rows;
        if (row < 1 || row > kLastRow) return false;
        if (part.row_absolute) out += '$';
        out += std::to_string(row);
    }
    return true;
}

using namespace std::string_literals;

std::string quoted_sheet(std::string_view name) {
    std::string out = "'";
    for (char c : name) out += c == '\'' ? "''"s : std::string(1, c);
    return out + "'";
}

// Characters that end a bare sheet name in a formula.
bool ends_name(char c) { return std::string_view(" ,()=+-*/&^<>:;{}!'\"%").find(c) != std::string_view::npos; }

}  // namespace

std::string moved_formula(std::string_view text, int rows, int columns) {
    std::string out;
    out.reserve(text.size() + 8);
    std::size_t k = 0;
    while (k < text.size()) {
        const char c = text[k];
        if (c == '"' || c == '\'') {   // a text, or a quoted sheet name: doubled quotes stay inside
            std::size_t end = k + 1;
            while (end < text.size() && !(text[end] == c && (end + 1 >= text.size() || text[end + 1] != c)))
                end += text[end] == c ? 2 : 1;
            end = std::min(end + 1, text.size());
            out.append(text.substr(k, end - k));
            k = end;
            continue;
        }
        Part first;
        if ((k > 0 && name_char(text[k - 1])) || !read_part(text, k, first)) {
            out += c;
            ++k;
            continue;
        }
        // A range keeps both ends of one form (cells, whole columns or whole rows).
        Part second;
        bool range = first.end < text.size() && text[first.end] == ':' && read_part(text, first.end + 1, second) &&
                     (first.column > 0) == (second.column > 0) && (first.row > 0) == (second.row > 0);
        const std::size_t end = range ? second.end : first.end;
        const bool whole = first.column > 0 && first.row > 0;
        // Followed by a name character, "(" or "!", it is a name, a function or a sheet.
        if ((end < text.size() && (name_char(text[end]) || text[end] == '(' || text[end] == '!')) ||
            (!range && !whole)) {
            while (k < end) out += text[k++];
            continue;
        }
        std::string moved;
        bool inside = append_moved(first, rows, columns, moved);
        if (range) {
            moved += ':';
            inside = inside && append_moved(second, rows, columns, moved);
        }
        out += inside ? moved : "#REF!";
        k = end;
    }
    return out;
}

std::string with_sheets_renamed(std::string_view formula, const SheetRenames &renames) {
    auto renamed = [&](const std::string &name) -> const std::string * {
        for (const auto &[from, to] : renames)
            if (from == name) return &to;
        return nullptr;
    };
    std::string out;
    for (std::size_t at = 0; at < formula.size();) {
        const char c = formula[at];
        if (c == '"') {   // a string constant is passed whole
            const std::size_t end = formula.find('"', at + 1);
            const std::size_t stop = end == std::string_view::npos ? formula.size() : end + 1;
            out.append(formula.substr(at, stop - at));
            at = stop;
        } else if (c == '\'') {
            std::string name;
            std::size_t end = at + 1;
            for (; end < formula.size(); ++end) {
                if (formula[end] != '\'') {
                    name += formula[end];
                } else if (end + 1 < formula.size() && formula[end + 1] == '\'') {
                    name += '\'';
                    ++end;
                } else {
                    break;
                }
            }
            const std::size_t stop = std::min(end + 1, formula.size());
            const std::string *to = stop < formula.size() && formula[stop] == '!' ? renamed(name) : nullptr;
            out.append(to ? quoted_sheet(*to) : std::string(formula.substr(at, stop - at)));
            at = stop;
        } else if (!ends_name(c)) {
            std::size_t end = at;
            while (end < formula.size() && !ends_name(formula[end])) ++end;
            const std::string name(formula.substr(at, end - at));
            const std::string *to = end < formula.size() && formula[end] == '!' ? renamed(name) : nullptr;
            out.append(to ? quoted_sheet(*to) : name);
            at = end;
        } else {
            out += c;
            ++at;
        }
    }
    return out;
}

}  // namespace tabsmith
