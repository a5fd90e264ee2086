// The in-memory workbook: book settings, sheets, rows, cells, shared strings and variables.
// Every subsystem reads or fills these records; the C API keeps one Book behind each XLS_BOOK.
#pragma once

#include <charconv>
#include <cstdint>
#include <memory>
#include <new>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "support/errors.h"
#include "support/files.h"
#include "model/style_registry.h"
#include "model/settings.h"
#include "model/shared_strings.h"
#include "model/package_source.h"
#include "model/drawing.h"
#include "model/annotations.h"
#include "model/sparkline.h"
#include "model/streamed_rows.h"

namespace tabsmith {

// Cell kinds; the byte values are shared by the readers, the writer and the evaluator.
enum CellKind : std::uint8_t {
    kCellText = 0,
    kCellInteger = 11,
    kCellFloat = 12,
    kCellPercent = 13,
    kCellBoolean = 14,        // read from a package: integer 1 or 0
    kCellError = 15,          // read from a package: the error's text, such as "#DIV/0!"
    kCellDate = 20,
    kCellDateTime = 21,
    kCellTimeHm = 23,
    kCellTimeHms = 24,
    kCellString = 41,         // text kept in the shared-string table
    kCellFormula = 50,        // formula not yet computed
    kCellFormulaValue = 51,   // formula with its computed value stored
    kCellEmpty = 255,
};

// Format limits of the two file formats.
constexpr int kXlsxMaxRows = 1048576;
constexpr int kXlsxMaxColumns = 16384;
constexpr int kXlsMaxRows = 65536;
constexpr int kXlsMaxColumns = 256;

constexpr int kFileTypeXls = 11;
constexpr int kFileTypeXlsx = 12;
constexpr int kFileTypeXlsm = 14;

// Text limits of the cell store.
constexpr std::size_t kSheetNameBytes = 93;        // XLS_SHEET_LEN
constexpr std::size_t kCellStrChars = 32767;        // XLS_CELL_STR_LEN
constexpr std::size_t kCellUtf8Bytes = 98301;       // XLS_CELL_UTF8_LEN, XLS_CELL_LEN
constexpr std::size_t kKeyBytes = 80;               // XLS_KEY_LEN
constexpr std::size_t kKeyValueBytes = 6000;        // XLS_KEY_VALUE_LEN

constexpr std::uint16_t kNoRowStyle = 65535;
constexpr std::uint8_t kFlagUnset = 0xFF;
constexpr std::uint8_t kFlagYes = 0;

// Cell XF references of the preset formats every new book carries (reference = record + 1).
constexpr std::uint16_t kXfDate = 1;
constexpr std::uint16_t kXfDateTime = 2;
constexpr std::uint16_t kXfTimeHm = 3;
constexpr std::uint16_t kXfTimeHms = 4;
constexpr std::uint16_t kXfCurrency = 5;
constexpr std::uint16_t kXfPercent = 6;
constexpr std::uint16_t kXfHyperlink = 7;

// What few cells carry besides their value: the value's text as written (where it differs
// from the number's own shortest text), the time-of-day fraction of date-like kinds, the
// computed text of a formula, and the formula itself.
// The formula is a record of its own, so that the far more common text beside a number costs
// no room for it.
struct CellExtra {
    std::string text;
    // The cell's value while the cell has this record (the cell's own slot points here).
    std::int64_t value_bits = 0;
    // A formula read from a package: the type of its cached value ('n', 's', 'b' or 'e'; 0 when
    // the cell has none).
    char value_type = 0;
    // A shared formula's dependent: its formula text was moved from the master's for readers,
    // and its element is written back without it, as it came.
    bool formula_from_master = false;

    // The formula; nullptr when the cell has none.
    const std::string *formula() const { return formula_ ? &formula_->text : nullptr; }
    void set_formula(std::string formula);
    // A formula read from a package: the attributes of its <f> element that the engine does not
    // interpret (shared and array formulas), written back as they were. Set after the formula.
    const std::string &formula_attributes() const;
    void set_formula_attributes(std::string attributes);

    CellExtra() = default;
    CellExtra(const CellExtra &other);
    CellExtra &operator=(const CellExtra &) = delete;

private:
    struct Formula {
        std::string text;
        std::string attributes;
    };
    std::unique_ptr<Formula> formula_;
};

// A stored cell: 16 bytes. The value takes one 8-byte slot; the few cells that carry more (see
// CellExtra) keep a pointer to their extra record in that slot and the value inside the record,
// so plain numbers and shared strings never pay for it.
struct Cell {
    std::uint8_t kind = kCellEmpty;

private:
    bool has_extra_ = false;   // the slot points to the extra record; declared here to fit the 16 bytes

public:
    std::uint16_t style = 0;   // XF reference; 0 = the book default
    std::uint32_t sst = 0;     // shared-string index, kind 41

    Cell() = default;
    Cell(Cell &&other) noexcept : kind(other.kind), style(other.style), sst(other.sst) { take(other); }
    Cell &operator=(Cell &&other) noexcept {
        if (this != &other) {
            release();
            kind = other.kind;
            style = other.style;
            sst = other.sst;
            take(other);
        }
        return *this;
    }
    ~Cell() { release(); }

    bool empty() const { return kind == kCellEmpty; }
    // Empties the value; the style stays.
    void clear();

    // The integer (kind 11) or the day serial of the date-like kinds.
    std::int64_t integer() const { return has_extra_ ? slot_.extra->value_bits : slot_.integer; }
    void set_integer(std::int64_t value) { (has_extra_ ? slot_.extra->value_bits : slot_.integer) = value; }
    // The floating value of kinds 12, 13 and computed formulas; integer kinds give the integer
    // and date-like kinds their serial with the fraction.
    double number() const;
    void set_number(double value);

    // The text kept beside the value; empty when there is none.
    const std::string &text() const { return has_extra_ ? slot_.extra->text : empty_text(); }
    void set_text(std::string_view text);
    // The formula; nullptr when the cell has none.
    const std::string *formula() const { return has_extra_ ? slot_.extra->formula() : nullptr; }
    void set_formula(std::string formula);
    // The extra record, created on demand (formulas read from a package); nullptr when none.
    CellExtra &extra();
    const CellExtra *extra_record() const { return has_extra_ ? slot_.extra : nullptr; }
    // A copy with its own extra record.
    Cell clone() const;

private:
    static const std::string &empty_text();
    void drop_extra_if_unused();
    // Moves the slot of `other` here and leaves `other` without an extra record.
    void take(Cell &other) {
        slot_ = other.slot_;
        has_extra_ = other.has_extra_;
        other.has_extra_ = false;
        other.slot_.integer = 0;
    }
    void release();

    // The value's bits (an integer, or a double's bits), or the extra record holding them.
    union Slot {
        std::int64_t integer;
        CellExtra *extra;
    } slot_{0};
};

static_assert(sizeof(Cell) == 16, "a million cells should take 16 MB");

// The shortest text that reads back as `value` ("0" if it cannot be printed).
std::string shortest_number_text(double value);

// The exact text of a numeric cell's value: as written when that differs from the shortest
// text of the number, else that shortest text.
std::string exact_number_text(const Cell &cell);
// The same text as a view of the cell's own text or of `scratch`, with no string made for it.
std::string_view exact_number_view(const Cell &cell, std::string &scratch);
// The shortest text of a numeric cell's value, written at `first` as std::to_chars writes: the
// integer of kind 11, else the number (0 when it is not finite). What exact_number_view gives
// for a cell without a text of its own.
std::to_chars_result write_number_text(const Cell &cell, char *first, char *last);

// The cells of a row in one allocation that also holds their count, so that a row without cells
// (a streamed row, a row that only carries a format) costs one pointer. It grows like a vector:
// new cells are empty, running out of memory throws std::bad_alloc.
class CellArray {
public:
    CellArray() = default;
    CellArray(CellArray &&other) noexcept : block_(std::exchange(other.block_, nullptr)) {}
    CellArray &operator=(CellArray &&other) noexcept {
        if (this != &other) {
            release();
            block_ = std::exchange(other.block_, nullptr);
        }
        return *this;
    }
    CellArray(const CellArray &) = delete;
    CellArray &operator=(const CellArray &) = delete;
    ~CellArray() { release(); }

    std::size_t size() const { return block_ ? block_->count : 0; }
    bool empty() const { return block_ == nullptr; }
    Cell *begin() { return block_ ? block_->cells() : nullptr; }
    Cell *end() { return begin() + size(); }
    const Cell *begin() const { return block_ ? block_->cells() : nullptr; }
    const Cell *end() const { return begin() + size(); }
    Cell &operator[](std::size_t index) { return block_->cells()[index]; }
    const Cell &operator[](std::size_t index) const { return block_->cells()[index]; }
    operator std::span<const Cell>() const { return {begin(), size()}; }

    // Grows to `count` cells; a smaller count leaves the array as it is.
    void grow(std::size_t count);
    // Releases every cell.
    void clear() { release(); }

private:
    struct Block {
        std::size_t count;
        Cell *cells() { return std::launder(reinterpret_cast<Cell *>(this + 1)); }
    };
    static_assert(sizeof(Block) % alignof(Cell) == 0, "cells follow the count");
    void release();

    Block *block_ = nullptr;
};

struct RowAttributes {
    double height = 0.0;
    std::string extra;   // attributes of a row read from a package that the engine does not model
};

struct Row {
    CellArray cells;                 // size() is the row's cell capacity
    std::uint16_t used = 0;          // highest written column + 1
    std::uint16_t style = kNoRowStyle;
    std::uint8_t height_flag = kFlagUnset;
    std::uint8_t hidden_flag = kFlagUnset;
    std::uint8_t outline_flag = kFlagUnset;
    std::unique_ptr<RowAttributes> attributes;
};

static_assert(sizeof(Row) == 24, "a row streamed out of memory keeps only this record");

struct ColumnAttributes {
    double width = 0.0;
    std::uint16_t style = 0;
};

// An object placed at a cell (hyperlinks, pictures).
struct AnchoredObject {
    std::string name;
};

// A merged area, 0-based and inclusive.
struct MergeArea {
    int row1 = 0, column1 = 0, row2 = 0, column2 = 0;
};

struct Sheet {
    std::string name;                       // UTF-8, at most XLS_SHEET_LEN bytes
    std::vector<Row> rows;                  // size() is the row capacity
    int rows_used = 0;                      // highest row + 1
    std::vector<ColumnAttributes> columns;  // grown with the widest row capacity
    std::vector<std::uint8_t> column_flags;
    std::vector<AnchoredObject> anchors;
    std::vector<MergeArea> merges;
    SheetAnnotations annotations;           // comments, hyperlinks, table formats
    int template_source = -1;               // index of the template sheet copied, or -1
    int data_row = 0;                       // data-source row counter ($ROWNUM), 0 = not set
    int data_column = 0;                    // data-source column counter ($CLMNUM), 0 = not set
    SheetSettings settings;
    std::unique_ptr<SheetSource> source;    // the package's XML of a sheet read from a file
    std::vector<Sparkline> sparklines;      // in creation order, one sparkline group each
    std::unique_ptr<SheetRowFile> row_file; // the rows TXLS_write_row took out of this sheet
};

struct Variable {
    std::string key;
    std::string value;
};

enum class OpenMode { kCreate, kRead, kUpdate, kLoad, kUnload, kList };

struct Book {
    mutable ErrorSink err;
    int failed_line = 0;                   // line of the statement file the last call stopped at   // the last result; readers of a const book still report into it
    DiagnosticLog diagnostics;

    int charset = 1;                       // 1 SJIS, 2 EUC, 3 UTF8
    int data_charset = 0;                  // of pasted CSV/TSV files without a byte-order mark; 0 = charset
    OpenMode mode = OpenMode::kCreate;
    std::string file_name;                 // the save path (UTF-8)
    FileIdentity read_version;             // the file a save over it must find unchanged; unknown otherwise
    std::string memory_name;               // the memory file a save to memory writes
    std::string temp_workbook_path;
    bool from_file = false;
    bool read_memory = false;
    bool write_memory = false;
    bool unload = false;
    bool macro = false;
    bool load_or_unload = false;
    int max_rows = kXlsxMaxRows;
    int max_columns = kXlsxMaxColumns;
    int file_type = kFileTypeXlsx;
    std::string company = "MyCompany";
    std::string author = "MyName";
    BookSettings settings;

    int current_sheet = 0;
    int current_row = 0;
    int current_column = 0;

    std::vector<std::unique_ptr<Sheet>> sheets;   // in use: every entry
    SharedStringTable shared_strings;
    std::vector<Variable> variables;
    StyleRegistry styles;
    std::unique_ptr<PackageSource> source;   // the package a book read from a file came from
    bool date1904 = false;                    // serials count from 1904-01-01 (read from a package)
    bool values_changed = false;              // a value was put since the book was read

    std::vector<DrawingObject> drawings;      // pictures, charts, shapes, backgrounds in creation order
    ChartSettings chart_settings;             // what the next chart statement copies
    ShapeSettings shape_settings;             // what the next shape statement copies
    PictureFileCache picture_files;           // pictures read by path, shared by the cells showing them

    int stream_after = 0;                     // rows above this one may be streamed; 0 = never
    std::unique_ptr<StreamedRows> streamed;   // the rows TXLS_write_row took out of memory

    int sheet_count() const { return static_cast<int>(sheets.size()); }
    Sheet *sheet(int index) {
        return index >= 0 && index < sheet_count() ? sheets[static_cast<std::size_t>(index)].get() : nullptr;
    }
    const Sheet *sheet(int index) const {
        return index >= 0 && index < sheet_count() ? sheets[static_cast<std::size_t>(index)].get() : nullptr;
    }
    Sheet *current() { return sheet(current_sheet); }
};

// Store operations (growth follows the book's fixed rules; all return 0 or kNoMemory).
int ensure_row(Book &book, Sheet &sheet, int row);
int ensure_cell(Book &book, Sheet &sheet, int row, int column);
// Grows one row's cells to hold `column`, leaving the sheet's column table alone (the caller
// grows that to the widest row: readers that fill rows from several threads). 0 or kNoMemory.
int ensure_row_cell(Row &row, int column);
// Grows the column attributes and flags together to at least `count` entries; running out of
// memory (std::bad_alloc) leaves both as they were, so they never differ in length.
void ensure_column_count(Sheet &sheet, std::size_t count);
// Gives `to` everything of `from` but its name: cells, rows, columns, merges, settings and the
// package XML around the cells (which then belongs to no package part yet). May throw
// std::bad_alloc; `to` is then partly filled.
void copy_sheet_content(const Sheet &from, Sheet &to);
// Appends a sheet record with the given name; returns its index or kNoMemory.
int add_sheet(Book &book, std::string_view name);
// add_sheet for a statement or call that adds a sheet: the new sheet becomes current. Its
// index, or kNoMemory after TXLS-00002.
int add_current_sheet(Book &book, std::string_view name);
// A value put into a book that has no sheet yet lands on a new current "Sheet1", so that a
// one-call report (open, put, save) never loses its cells. 0, or kNoMemory after TXLS-00002.
int ensure_first_sheet(Book &book);
// Whether a sheet has the name in any letter case: a saved workbook tells sheet names apart
// without regard to case.
bool sheet_name_taken(const Book &book, std::string_view name);
// Refuses a name for a new sheet that a saved workbook could not carry: the name of an existing
// sheet in another letter case (TXLS-02321), or an empty name, one holding : \ / ? * [ ] or one
// with a quote at either end (TXLS-02320). 0, or kBadArgument with the message raised.
int check_new_sheet_name(Book &book, const std::string &name);
// Gives every sheet a name a saved workbook can carry, for books whose names came from a
// package: : \ / ? * [ ] and a quote at either end become '_', a name is cut to 31 UTF-16 units
// (whole characters), an empty one becomes "Sheet<n>", and a name met again in any letter case
// gets " (2)", " (3)"... Names that follow the rules stay as they are. How many changed.
int repair_sheet_names(Book &book);
// The index of the sheet of exactly that name, or kIndexNotFound.
int find_sheet(const Book &book, std::string_view name);

// Appends a shared string; returns its index or kNoMemory, or kLimit when the text is over the limits.
int put_shared_string(Book &book, std::string_view utf8);

// The number of string cells in the book: the references the saved table counts.
std::size_t shared_string_references(const Book &book);

// Variables: kLimit with TXLS-03009 when key or value is too long.
int tsx_put_resource(Book &book, std::string_view key, std::string_view value);
// 0 and the value, or kNoVariable.
int get_variable(const Book &book, std::string_view key, std::string &value);
constexpr int kNoVariable = 1403;

// The text of a shared-string cell (empty when its index is past the table), at most
// XLS_CELL_UTF8_LEN bytes.
std::string shared_string_text(const Book &book, const Cell &cell);
// The same as a view into the table.
std::string_view shared_string_view(const Book &book, const Cell &cell);

// The cell at `column` of a row; nullptr when it is empty or past the row's cells.
inline const Cell *find_cell_in_row(const Row &row, int column) {
    if (column < 0 || column >= row.used || static_cast<std::size_t>(column) >= row.cells.size()) return nullptr;
    const Cell &cell = row.cells[static_cast<std::size_t>(column)];
    return cell.empty() ? nullptr : &cell;
}
// Cell lookup without growing anything; nullptr when the slot does not exist or is empty.
inline const Cell *find_cell(const Book &book, int sheet_index, int row, int column) {
    const Sheet *sheet = book.sheet(sheet_index);
    if (!sheet || row < 0 || row >= sheet->rows_used || static_cast<std::size_t>(row) >= sheet->rows.size())
        return nullptr;
    return find_cell_in_row(sheet->rows[static_cast<std::size_t>(row)], column);
}

// A digest of everything a row element is written from: the row's attributes and each cell's
// kind, format, value, texts and formula. A row changed in any of these gives another digest
// (but for a chance of one in 2^64).
std::uint64_t row_digest(const Row &row);

}  // namespace tabsmith
