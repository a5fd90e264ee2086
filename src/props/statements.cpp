// The statement loop: tokenizes "name = value" statements, puts plain cell values, and hands
// every other name to the path resolver and the property application step.

#include "props/statements.h"

#include <string>

#include "model/address.h"
#include "cells/values.h"
#include "props/property.h"
#include "props/property_parser.h"
#include "support/charset.h"
#include "support/scanner.h"

namespace tabsmith {
namespace {

constexpr std::size_t kShownNameBytes = 64;  // how much of an over-long name a message shows

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Reads a statement name in option mode. A quoted sheet prefix ends its option-mode token at the
// closing quote, so the rest of the name ("!A1.FONT.SIZE") is read on and the name is taken as
// written, quotes and doubled quotes included.
int read_name(const Book &book, std::string_view text, std::size_t &pos, std::string &name, std::size_t &start) {
    start = pos;
    while (start < text.size() && is_blank(text[start])) ++start;
    int rc = scan_token(ScanMode::kOptions, book.charset, text, pos, name);
    if (rc != 0 || name.empty() || (name[0] != '"' && name[0] != '\'')) return rc;
    std::string piece;
    while (pos < text.size() && !is_blank(text[pos]) && text[pos] != '=') {
        if (int more = scan_token(ScanMode::kOptions, book.charset, text, pos, piece); more != 0) return more;
    }
    if (pos - start > kScanMaxOptions) return kScanTooLong;
    name.assign(text.substr(start, pos - start));
    if (pos >= text.size() && !name.empty() && name.back() == ';') name.pop_back();
    return 0;
}

// Makes a Sheet! prefix's sheet current for one statement and puts the previous one back.
class SheetSwitch {
public:
    explicit SheetSwitch(Book &book) : book_(book), saved_(book.current_sheet) {}
    ~SheetSwitch() {
        if (switched_ && book_.sheet(saved_)) book_.current_sheet = saved_;
    }
    SheetSwitch(const SheetSwitch &) = delete;
    SheetSwitch &operator=(const SheetSwitch &) = delete;

    void select(int sheet) {
        book_.current_sheet = sheet;
        switched_ = true;
    }
    // A statement whose purpose is to select a sheet (SHEET=...) keeps its choice.
    void keep() { switched_ = false; }

private:
    Book &book_;
    int saved_;
    bool switched_ = false;
};

int limit_code(int rc) { return rc == kLimit ? kOverflow : rc; }

}  // namespace

bool allowed_from_file(int id) {
    switch (id) {
    case kPropBookName: case kPropTemplate: case kPropSheetName: case kPropSheetScrollRow:
    case kPropHeight: case kPropCsv: case kPropTsv:
        return true;
    default:
        return false;
    }
}

int run_statements(Book &book, std::string_view text, const StatementOptions &options) {
    std::size_t pos = 0;
    std::string raw_name, raw_equals, raw_value, converted_name, converted_value;
    PropertyTarget target;   // 4 KB of areas: made once, reset by each parse
    for (;;) {
        std::size_t start = 0;
        int rc = read_name(book, text, pos, raw_name, start);
        if (rc == kScanNoMore) return 0;
        if (rc != 0) {
            // An over-long name would otherwise end the loop silently and drop every later
            // statement; it is reported instead.
            std::string_view head = text.substr(start);
            head = head.substr(0, fit_prefix(book.charset, head, kShownNameBytes));
            return book.err.raise(kBadArgument, Msg::k02210, to_utf8(head, book.charset).c_str(),
                                  static_cast<int>(kScanMaxOptions));
        }
        const std::string_view name = to_utf8_view(raw_name, book.charset, converted_name);

        SheetSwitch sheet_switch(book);
        std::string_view cell_part;
        int sheet = kIndexNotFound;
        split_target_prefix(book, name, sheet, cell_part);
        if (sheet >= 0) sheet_switch.select(sheet);

        CellRef cell;
        int cell_rc = resolve_cell(book, cell_part, cell);
        // A computed form that cannot be read ("A($X)") is a bad cell name; a property path
        // merely fails to be one.
        if (cell_rc == kBadArgument && name.find('.') == std::string_view::npos) return kBadArgument;
        const bool is_cell = cell_rc == 0 && !cell.is_range;

        rc = scan_token(ScanMode::kOptions, book.charset, text, pos, raw_equals);
        if (rc != 0) return book.err.raise(kBadArgument, Msg::k02300, std::string(name).c_str());
        if (raw_equals != "=")
            return book.err.raise(kBadArgument, Msg::k02303, to_utf8(raw_equals, book.charset).c_str());
        rc = scan_token(ScanMode::kStatements, book.charset, text, pos, raw_value);
        if (rc != 0) return book.err.raise(kBadArgument, Msg::k02300, std::string(name).c_str());

        if (is_cell) {
            if (check_value_length(book, raw_value.size()) != 0) return kOverflow;
            int target_sheet = sheet >= 0 ? sheet : book.current_sheet;
            // Quotes only hold a value with blanks together; the cell gets the text inside them.
            rc = put_cell_value(book, target_sheet, cell.row1, cell.column1,
                                to_utf8_view(strip_quotes(raw_value), book.charset, converted_value));
            if (rc != 0) return limit_code(rc);
            continue;
        }

        int id = kPropNone;
        if (int parse_rc = tsx_parse_property(book, name, id, target); parse_rc != 0) return parse_rc;
        if (id == kPropNone) {
            CellRef range;
            if (resolve_range(book, name, range) == 0)
                return book.err.raise(kBadArgument, Msg::k02100, std::string(name).c_str());
            return book.err.raise(kBadArgument, Msg::k02200, std::string(name).c_str());
        }
        if (id == kPropVariable) {
            if (!options.allow_variables) return book.err.raise(kBadArgument, Msg::k02200, std::string(name).c_str());
            rc = tsx_put_resource(book, name, to_utf8_view(raw_value, book.charset, converted_value));
            if (rc != 0) return limit_code(rc);
            continue;
        }
        if (book.from_file && !allowed_from_file(id))
            return book.err.raise(kBadArgument, Msg::k02209Keyword, std::string(name).c_str());

        rc = apply_property(book, id, target, to_utf8_view(strip_quotes(raw_value), book.charset, converted_value));
        if (id == kPropSheetName) sheet_switch.keep();
        if (rc != 0) return limit_code(rc);
    }
}

}  // namespace tabsmith
