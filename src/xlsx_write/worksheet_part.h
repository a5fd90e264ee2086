// The worksheet part of one sheet (xl/worksheets/sheet<n>.xml) with its cells, views, print
// setup and object references, and the sheet's relationship part that those references use.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "model/book.h"
#include "model/style_registry.h"
#include "support/deflate_pipeline.h"
#include "support/results.h"

namespace tabsmith {

// The root element's tags of the worksheet parts the engine writes.
inline constexpr std::string_view kWorksheetStartTag =
    "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
    "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">";
inline constexpr std::string_view kWorksheetEndTag = "</worksheet>";

// What a sheet refers to through its relationship part. Every kind but the printer settings is
// optional; the writers of those objects fill these counts in.
struct SheetObjectCounts {
    int external_hyperlinks = 0;
    bool background = false;
    bool drawing = false;      // pictures, shapes or charts other than the background
    bool comments = false;     // comments part plus its VML drawing
    int tables = 0;
};

// Relationship ids of one sheet, numbered from 1 in the order the relationship part lists
// them; 0 where the sheet has no such object. The worksheet's r:id attributes use the same
// numbers.
struct SheetRelationshipIds {
    int first_hyperlink = 0;   // the k-th external hyperlink has first_hyperlink + k
    int printer_settings = 0;
    int background = 0;
    int drawing = 0;
    int comments = 0;
    int vml_drawing = 0;
    int first_table = 0;       // the k-th table has first_table + k
    int count = 0;             // the highest id
};

SheetObjectCounts sheet_object_counts(const Book &book, int sheet_index);
SheetRelationshipIds sheet_relationship_ids(const SheetObjectCounts &counts);

// Takes a large part's text piece by piece while it is written, so that the whole text is never
// held at once. take() may keep the text it is given (the string is moved from and left empty);
// returns kOk or an error code that stops the writer.
class PartSink {
public:
    virtual ~PartSink() = default;
    virtual int take(std::string &text) = 0;
    // A sink that compresses into an archive entry can also take blocks deflated already
    // (joinable ones: see append_joinable_blocks) standing for `plain_size` bytes of text with
    // CRC `crc`, after the text taken so far.
    virtual bool takes_deflated() const { return false; }
    virtual int take_deflated(DeflateBytes &&, std::uint32_t, std::uint64_t) { return kFail; }
};

// Hands the piece in `out` to the sink and leaves `out` empty, with room for the next piece of
// about `piece_bytes`. Returns the sink's result.
int hand_over_piece(PartSink &sink, std::string &out, std::size_t piece_bytes);

class StoredRowWriter;

// Appends the whole worksheet part of sheet `sheet_index` (0-based). With a sink, the rows are
// handed over whenever `out` has grown past `piece_bytes`, and `out` ends with the rest.
// Returns kOk, kFail for a sheet that does not exist or a cell of unknown kind, or the sink's error.
int tsx_write_worksheet(const Book &book, int sheet_index, std::string &out, PartSink *sink = nullptr,
                        std::size_t piece_bytes = 0);

// The used area of a sheet: its last written row and column (0-based; 0 when it has none) and
// the cell slots of its written rows up to their last written cell.
struct SheetExtent {
    int last_row = 0, last_column = 0;
    std::size_t cells = 0;
};
SheetExtent sheet_extent(const Sheet &sheet);

// The elements the engine writes from a sheet's settings. Each can be written on its own, so
// that a save into a package read earlier can tell which of them the book has changed.
enum class SheetElement {
    kSheetPr, kSheetViews, kSheetFormatPr, kCols, kSheetProtection, kAutoFilter, kMergeCells,
    kPageMargins, kPageSetup, kHeaderFooter, kRowBreaks, kColBreaks,
};

// What the element writers take besides the sheet.
struct SheetElementContext {
    const Book &book;
    int sheet_number = 1;          // the sheet's 1-based position, for its default code name
    int used_columns = 1;          // the columns the data reaches, for cols
    int printer_settings_id = 0;   // the relationship id pageSetup refers to; 0 = none
};

// Appends the element as tsx_write_worksheet writes it (nothing where the sheet has none of it).
// Returns kOk.
int write_sheet_element(const Sheet &sheet, SheetElement element, const SheetElementContext &context,
                        std::string &out);

// Appends the dimension element of the used area.
void write_dimension(const SheetExtent &extent, std::string &out);

// Appends sheetData with every written row; a sink takes the rows as tsx_write_worksheet's does.
// With `stored`, the rows it takes are written as the package stored them.
// kOk, kFail for a cell of unknown kind, or the sink's error.
int write_sheet_data(const Book &book, const Sheet &sheet, const SheetExtent &extent, std::string &out,
                     PartSink *sink, std::size_t piece_bytes, StoredRowWriter *stored = nullptr);

// An upper bound of the worksheet part's size in bytes, for choosing the archive entry format
// before the part is written.
std::uint64_t worksheet_part_bound(const Book &book, int sheet_index);

// Appends one cell element (nothing for an empty cell without a style). kOk, or kFail for an
// unknown cell kind or a position outside the sheet.
int tsx_write_cell(const Book &book, int sheet_index, int row, int column, std::string &out);

// Appends pageMargins and pageSetup; `printer_settings_id` is the sheet's relationship id of
// its printer settings (0: pageSetup refers to none).
void tsx_write_page_setup(const PageSetup &page, int printer_settings_id, std::string &out);
void write_page_margins(const PageSetup &page, std::string &out);
void write_page_setup(const PageSetup &page, int printer_settings_id, std::string &out);

// Appends headerFooter when the sheet has a header or footer section. `fonts` is the book's
// font table; a section whose font index is -1 or outside it uses the book default font.
// Returns kOk.
int tsx_write_header_footer(const Sheet &sheet, std::span<const FontRecord> fonts, std::string &out);

// The text of xl/worksheets/_rels/sheet<n>.xml.rels for sheet `sheet_index` (0-based). The
// background picture and drawing take their part numbers from `parts` (the save's plan); the
// shorter form makes that plan itself.
struct ObjectParts;
std::string write_worksheet_rels(const Book &book, int sheet_index);
std::string write_worksheet_rels(const Book &book, int sheet_index, const ObjectParts &parts);

}  // namespace tabsmith
