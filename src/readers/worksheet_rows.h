// Rows and cells of a worksheet part: a run of whole <row> elements parsed into a sheet's store,
// by one parser alone or by several at once on different runs of the same sheet.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "model/book.h"
#include "model/package_source.h"
#include "readers/xml_scanner.h"

namespace tabsmith {

// What the parsers of one sheet share when they run side by side. The sheet's row table is
// sized before they start and no parser resizes it; each row is claimed by the first parser
// that meets it, and a row another parser claimed, or one past the table, is kept aside and
// merged once all are done.
struct SharedRows {
    explicit SharedRows(std::size_t rows) : claims(rows) {}
    std::vector<std::atomic<int>> claims;   // 0 = unclaimed, else the claiming parser's id
};

class RowsParser {
public:
    // `categories` gives the value category of each style reference (index 0: no style).
    // With `shared`, the parser runs beside others; `id` (>= 1) names it in the row claims.
    RowsParser(Book &book, Sheet &sheet, const std::vector<int> &categories, SharedRows *shared = nullptr,
               int id = 1);

    // Parses a run of whole rows (what lies between <sheetData> and </sheetData>, or a piece of
    // it that starts at a row). Rows without a number follow the previous row of the run.
    // `at` is where the run starts in the part, for the row places (record_places).
    // kOk, kFail or kLimit for malformed markup, kNoMemory.
    int parse(std::string_view rows, std::uint64_t at = 0);

    // Notes where each row element lies, and whether it holds exactly what the store now holds
    // of it (a row whose element a save may write back as it stands): see places().
    void record_places() { record_places_ = true; }
    // The row elements met, in part order; the digests are left for the caller, which knows when
    // the rows are complete. Row -1: one the store holds differently from its element (a value
    // or a reference it could not take, cells out of order, a formula), or a row without a
    // number.
    std::vector<SheetSource::StoredRow> &places() { return places_; }

    // After a refused run: where in it and why.
    const PartFault &fault() const { return fault_; }

    // Shared mode: the rows kept aside, the widest row seen and the last row seen.
    std::vector<std::pair<int, Row>> &set_aside() { return set_aside_; }
    std::size_t widest() const { return widest_; }
    int last_row() const { return last_row_; }
    // Whether a shared formula was met: its dependents are filled in once the sheet is whole.
    bool saw_shared_formula() const { return saw_shared_formula_; }

private:
    // Everything one <c> element holds, gathered until its end tag.
    struct CellParts {
        int column = 0;
        std::uint16_t style = 0;
        std::string_view type;
        std::string_view value;          // raw text of <v>
        bool has_value = false;
        bool has_formula = false;
        std::string formula;             // decoded text of <f>
        std::string formula_attributes;  // attributes of <f> as written
        std::string text;                // decoded text of <is>, or a <v> given in pieces
    };
    enum class Inside { kNone, kValue, kFormula, kInlineText };

    int start_element(const class XmlScanner &scanner);
    int end_element(std::string_view name);
    int begin_row(const class XmlScanner &scanner);
    // Records the open row element, which ends at `end` of the run.
    void note_place(std::size_t end);
    // Notes why the element is refused (with the offending text, when there is one): kFail.
    int refuse(const char *why, std::string_view what);
    int store_cell();
    void store_number(Cell &cell, std::string_view text, int category, bool own_system = true);
    int store_text(Cell &cell, std::string_view text);

    Book &book_;
    Sheet &sheet_;
    const std::vector<int> &categories_;
    SharedRows *shared_;
    int id_;
    Row *row_ = nullptr;            // the row being filled: the sheet's, or one kept aside
    int row_index_ = -1;
    int next_column_ = 0;
    CellParts cell_;
    Inside inside_ = Inside::kNone;
    int phonetic_depth_ = 0;
    std::vector<std::pair<int, Row>> set_aside_;
    std::size_t widest_ = 0;
    int last_row_ = -1;
    bool saw_shared_formula_ = false;
    bool record_places_ = false;
    std::uint64_t run_at_ = 0;            // where the run being parsed starts in the part
    std::string_view run_;                // the run being parsed
    std::uint64_t row_begin_ = 0;         // where the open row element starts in the part
    bool row_as_stored_ = false;          // the open row's element holds what the store does
    std::vector<SheetSource::StoredRow> places_;
    std::string refusal_;   // why the current element is refused, when it is
    PartFault fault_;
};

// Moves the rows the parsers kept aside into the sheet (later cells win), in parser order.
// kOk or kNoMemory.
int merge_set_aside_rows(Book &book, Sheet &sheet, std::vector<std::pair<int, Row>> &rows);

// Gives each dependent cell of a shared formula the master's formula moved to its place (a file
// writes the text once, at the master).
void translate_shared_formulas(Sheet &sheet);

// Stores a number whose cell shows a date-like category (kCategoryDate ...) as a date value of
// that kind, and one shown as a percentage as a percent value; false, leaving the cell alone, for
// any other category or a serial out of range.
// `own_system`: the number is a serial of the book's date system (else of the 1900 one).
bool store_by_category(const Book &book, Cell &cell, double number, int category, bool own_system);
// Stores a number read as binary: a date or a percentage by its category, else an integer when it is whole,
// else a real.
void store_number_value(const Book &book, Cell &cell, double number, int category);

// The value category of each style reference of the book (index 0: no style), for RowsParser.
std::vector<int> style_categories(const Book &book);

}  // namespace tabsmith
