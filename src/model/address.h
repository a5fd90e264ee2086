// A1 cell names, ranges, row ranges, sheet prefixes and the computed forms built from
// $ROWNUM, $CLMNUM and variables. Positions are 0-based; names carry 1-based row numbers.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "model/book.h"

namespace tabsmith {

constexpr std::size_t kRangeTextBytes = 125;     // a range text, sheet prefix included
constexpr std::size_t kRowRangeTextBytes = 80;
constexpr std::size_t kComputedTextBytes = 6000;
constexpr int kMaxRangeList = 255;
constexpr std::size_t kRangeSheetNameBytes = 90;  // sheet name part in front of a range
constexpr int kMaxNameRow = 1048575;              // names always use the .xlsx bounds
constexpr int kMaxNameColumn = 16383;

// The result of the functions below for a text (or position) that names no cell, range or
// computed form; nothing is raised. A bad term of a computed form gives kBadArgument, raised.
constexpr int kNotAReference = -1;

// A resolved reference: a single cell (row1 == row2, column1 == column2, !is_range) or a range.
struct CellRef {
    int sheet = -1;      // sheet index, or -1 for the current sheet
    int row1 = 0, column1 = 0;
    int row2 = 0, column2 = 0;
    bool is_range = false;
};

// A sheet name as a formula refers to it: quoted ('My Data', with '' for a quote) unless it is
// letters, digits and "_" only and cannot be read as a number or a cell reference.
std::string quoted_sheet_name(std::string_view name);

// "A", "Z", "AA", ... "XFD" for 0-based columns 0..16383; empty outside.
std::string column_letters(int column);

// Room for the longest name, "$XFD$1048576", and a terminator.
constexpr std::size_t kCellNameBytes = 16;

// Position to name: 0 and the name, or kNotAReference when row or column is outside the limits.
int cell_name(int row, int column, std::string &out, bool absolute = false);
// The same into `out` (kCellNameBytes bytes, no terminator written): the name's length, or 0
// when row or column is outside the limits. Report loops name a cell for every value they put.
std::size_t write_cell_name(int row, int column, char *out, bool absolute = false);

// Plain name to position ("b2", "$B$2", "A*", "**"): 0 or kNotAReference.
int parse_cell_name(std::string_view name, int &row, int &column);

// Expands the computed forms "(expr)" in place of column letters or row numbers, so that
// "A($ROWNUM+2)" becomes "A13". Returns 0, kNotAReference when the text is over 6000 bytes or
// malformed, or kBadArgument after raising TXLS-03001, TXLS-02302, TXLS-02201 or TXLS-02200 for a bad term.
// An expression's value is a 0-based position: $ROWNUM is the last data row, so "A($ROWNUM+1)"
// names the row after it. This also runs over whole formula texts, so it only touches a group
// that cannot be a function call's arguments: one right after 1-3 column letters that start a
// token (row form) or right before a row number (column form), holding no nested group,
// quote, comma or colon, and naming $ROWNUM, $CLMNUM or a $variable (a group of bare numbers
// would turn "=SUM(5)" into "=SUM6"). Quoted strings and quoted sheet names stay untouched.
int expand_computed_forms(Book &book, std::string_view text, std::string &out);

// Expands the computed forms of one cell name ("(expr)" for the letters, the row number or
// both), groups of bare numbers included. Same results as expand_computed_forms.
int expand_name(Book &book, std::string_view name, std::string &out);

// Splits an optional sheet prefix "Name!" (or the quoted form with '' for a quote) off
// `text`. `sheet` is the index of the sheet so named, or -1 (no prefix, or no sheet of that
// name: the current sheet); `rest` is what follows the "!". Returns 0, or kNotAReference when
// the name part is over `max_name` bytes or a quoted name is not closed.
int split_sheet_prefix(const Book &book, std::string_view text, int &sheet, std::string_view &rest,
                       std::size_t max_name = kSheetNameBytes);

// A name of 1-3 letters and 1-7 digits only ("B12"), inside the sheet: the common case of every
// call that names one cell, which needs no sheet prefix or computed part looked for. False for
// anything else, which resolve_cell reads in full. Such a name is ASCII, the same text in every
// character set a caller may use.
bool plain_cell_name(std::string_view text, int &row, int &column);
// The same for a NUL-terminated caller text.
bool plain_cell_name(const char *text, int &row, int &column);
// A single cell with optional sheet prefix and computed forms. 0, kNotAReference or kBadArgument (raised).
int resolve_cell(Book &book, std::string_view text, CellRef &ref);
// A range "A1:C3" with optional sheet prefix. 0, kNotAReference or kBadArgument (raised). The corners stay
// in the order written ("C3:A1" gives row1 2 and row2 0).
int resolve_range(Book &book, std::string_view text, CellRef &ref);
// A cell or a range.
int resolve_reference(Book &book, std::string_view text, CellRef &ref);
// "3:5" -> 0-based rows 2 and 4, both within the book's row limit. 0 or kBadArgument (not raised).
int parse_row_range(const Book &book, std::string_view text, int &row1, int &row2);
// Up to 255 references separated by "," (a comma inside quotes or a group does not split).
// 0, kNotAReference (an empty or bad item, or more than 255) or kBadArgument; `out` is left
// empty on failure.
int parse_range_list(Book &book, std::string_view text, std::vector<CellRef> &out);

}  // namespace tabsmith
