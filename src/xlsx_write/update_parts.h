// The parts a save into a package read earlier writes anew (workbook, its relationships, content
// types, styles, shared strings, worksheets), each spliced into the package's own text.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "model/book.h"
#include "xlsx_write/worksheet_part.h"

namespace tabsmith {

// Where one of the book's sheets goes in the saved package.
struct SheetPlacement {
    std::string part_path;          // the worksheet part's entry name
    std::string relationship_id;    // its id in the workbook's relationships
    std::uint32_t sheet_id = 0;     // the workbook's sheetId
    bool new_part = false;          // the package had no such part: relationship and content type added
    bool template_copy = false;     // a copy of a package sheet whose object relationships stay behind
    // Elements for the objects the book placed on the sheet (drawing, picture, ...), each in
    // place of the package's element of that name.
    std::vector<SheetSource::Element> object_elements;
};

// The names and ids a save into a package gives to what the package did not have.
struct UpdatePlan {
    std::vector<SheetPlacement> sheets;       // one per sheet of the book, in book order
    std::string workbook_rels_path;           // the package's, or a new part's
    std::string styles_path;                  // the package's, or a new part's
    bool new_styles = false;
    std::string styles_relationship_id;       // of a new styles part
    std::string shared_strings_path;          // "" when the saved package has none
    bool new_shared_strings = false;
    std::string shared_strings_relationship_id;  // of a new shared strings part
    std::string calc_chain_path;              // the dropped calculation chain; "" when none
    // numFmtIds of the number formats the book added after the package's, in table order.
    std::vector<std::uint16_t> added_format_ids;
    bool full_calc_on_load = false;
    // Content types of the object parts the save adds: (part name, type) and (extension, type).
    std::vector<std::pair<std::string, std::string>> added_overrides;
    std::vector<std::pair<std::string, std::string>> added_defaults;
};

// Fills the plan of a book with a source package. kOk, or kFail when the package's workbook or
// relationship texts cannot be parsed.
int plan_update(const Book &book, UpdatePlan &plan);

// Each of these gives the part's new text in `out`: kOk, or kFail when the package's text of
// the part cannot be parsed.
int updated_workbook_part(const Book &book, const UpdatePlan &plan, std::string &out);
int updated_workbook_rels(const Book &book, const UpdatePlan &plan, std::string &out);
int updated_content_types(const Book &book, const UpdatePlan &plan, std::string &out);
int updated_styles_part(const Book &book, const UpdatePlan &plan, std::string &out);
std::string updated_shared_strings(const Book &book);

// Appends the worksheet part of sheet `sheet_index`: the package's XML around the book's cells
// and changed settings (see tsx_write_worksheet for the sink). kOk, kFail, or the sink's error.
int write_updated_worksheet(const Book &book, int sheet_index, const UpdatePlan &plan, std::string &out,
                            PartSink *sink = nullptr, std::size_t piece_bytes = 0);
std::uint64_t updated_worksheet_bound(const Book &book, int sheet_index);

}  // namespace tabsmith
