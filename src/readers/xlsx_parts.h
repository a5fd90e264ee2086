// The part readers of the package reader, each filling the book from one part's text, and the
// relationship rules that bind the parts together. A reader that refuses its part says where
// and why through `fault`.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "model/book.h"
#include "readers/xml_scanner.h"

namespace tabsmith {

class ZipEntryStream;

struct Relationship {
    std::string id;
    std::string type;      // the type URI
    std::string target;    // resolved to a package part name ("xl/worksheets/sheet1.xml")
    bool external = false;
};

// The relationships of a relationship part; `source_part` is the part they belong to ("" for
// the package itself), against which relative targets are resolved. kOk or the scanner's error.
int read_relationships(std::string_view text, std::string_view source_part, std::vector<Relationship> &out,
                       PartFault *fault = nullptr);
// Whether a relationship type URI ends with `/kind` (both the transitional and strict forms).
bool relationship_is(const Relationship &relationship, std::string_view kind);

// One sheet listed by the workbook part.
struct WorkbookSheet {
    std::string name;
    std::string relationship_id;
    int sheet_id = 0;
    std::string extra_attributes;   // other attributes of the <sheet> element, as written
};

int read_workbook_part(std::string_view text, std::vector<WorkbookSheet> &sheets, bool &date1904,
                       PartFault *fault = nullptr);
// Fills book.shared_strings; with `items`, also keeps the <si> elements as written and with
// `root_tag` the part's root start tag.
int read_shared_strings_part(Book &book, std::string_view text, std::string *items, std::string *root_tag = nullptr,
                             PartFault *fault = nullptr);
// Replaces the book's style tables with the part's records (see the numbering in the reader).
int read_styles_part(Book &book, std::string_view text, PartFault *fault = nullptr);
// Fills one sheet. With `source`, keeps the sheet's XML around its cells for the save.
int read_worksheet_part(Book &book, Sheet &sheet, std::string_view text, SheetSource *source, PartFault *fault = nullptr);
// The same from an archive entry read piece by piece: the part is never held whole. With
// `row_places` as well, notes where each row lies in the part (SheetSource::stored_rows).
int read_worksheet_stream(Book &book, Sheet &sheet, ZipEntryStream &stream, SheetSource *source,
                          PartFault *fault = nullptr, bool row_places = false);

}  // namespace tabsmith
