// Cell annotations of a sheet: comments, hyperlinks and table formats as statements and calls
// record them, and the rules that make a hyperlink record from a caller's text or a cell value.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tabsmith {

struct Book;

// The text size of a comment made by a statement, in points.
constexpr int kCommentPoints = 11;
// The colour kind that prints a comment's text in palette colour 10; any other kind uses 81.
constexpr int kCommentColourKindRed = 11;

struct CellComment {
    int row = 0, column = 0;          // 0-based
    std::string text;                 // UTF-8
    int points = kCommentPoints;
    int colour_kind = 0;
};

// Where a hyperlink leads; the values are those of the stored records.
enum class HyperlinkKind : int {
    kInValue = -1,   // a place in the book, written as the cell's value ("#Sheet2!B3\"Go\"")
    kInBook = 0,     // a place in the book, set through the API
    kExternal = 1,   // an address or a file path
};

// A target sheet name of a hyperlink is at most this many bytes (UTF-8).
constexpr std::size_t kHyperlinkSheetBytes = 93;
// A target cell name of a hyperlink written in a cell value is shorter than this.
constexpr std::size_t kHyperlinkCellNameBytes = 33;

struct Hyperlink {
    HyperlinkKind kind = HyperlinkKind::kExternal;
    int row = 0, column = 0;            // the cell that carries the link, 0-based
    std::string target_sheet;           // kInBook, kInValue
    int target_row = 0, target_column = 0;   // kInBook, kInValue: 1-based
    std::string target;                 // kExternal: the address, "mailto:" already in front
};

// Built-in table style families; the number picks the style within the family.
enum class TableStyleFamily : int { kLight = 1, kMedium = 2, kDark = 3 };

struct TableFormat {
    int row1 = 0, column1 = 0, row2 = 0, column2 = 0;   // 0-based, inclusive, first row the header
    TableStyleFamily family = TableStyleFamily::kLight;
    int style = 1;
    std::vector<std::string> column_names;   // one per column, unique within the table
    int order = 0;   // position among the book's tables in creation order (0-based)
};

struct SheetAnnotations {
    std::vector<CellComment> comments;   // in creation order
    std::vector<Hyperlink> hyperlinks;   // in creation order, at most one per cell
    std::vector<TableFormat> tables;     // in creation order
};

// The external target of a HYPERLINK value: "mailto:" followed by the text when it looks like
// an e-mail address (an at-sign with a dot somewhere after it), else the text itself.
std::string external_hyperlink_target(std::string_view text);

// Records a hyperlink on a cell, replacing one the cell had. kInBook and kInValue take the
// target sheet name (kLimit after TXLS-03009 naming `limit_name` when it is longer than
// kHyperlinkSheetBytes) and the 1-based target cell; kExternal takes the target text in
// `text`. A cell of a new book that has no format of its own gets the hyperlink format.
// 0, kBadArgument for a sheet that does not exist, kLimit, or kNoMemory after TXLS-00002.
int set_hyperlink(Book &book, int sheet, int row, int column, HyperlinkKind kind, std::string_view text,
                  int target_row = 0, int target_column = 0, const char *limit_name = "tsx_set_hyperlink() XLS_SHEET_LEN");

// A hyperlink written as a cell value: "#", the target sheet name, "!", the target cell name,
// a double quote, the text to show and a closing double quote.
struct ValueHyperlink {
    std::string sheet;
    int row = 0, column = 0;   // 1-based
    std::string display;
};

// Whether `value` has the form of a hyperlink written as a cell value (starts with "#", holds
// "!" and ends with a double quote).
bool looks_like_value_hyperlink(std::string_view value);

// Reads a value of that form. 0 and the link; kLimit after TXLS-03009 for a sheet name over
// kHyperlinkSheetBytes or a cell name of kHyperlinkCellNameBytes or more; kFail (nothing
// raised) when the target is no cell name.
int parse_value_hyperlink(Book &book, std::string_view value, ValueHyperlink &link);

// The table of a sheet, if any, whose cells include (row, column); the last such when several do.
const TableFormat *table_at(const SheetAnnotations &annotations, int row, int column);

}  // namespace tabsmith
