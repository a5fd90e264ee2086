// The parts and worksheet pieces of cell annotations: comments parts with the VML drawings of
// their boxes, table parts, and the hyperlinks element with its relationships.
#pragma once

#include <string>

#include "model/book.h"

namespace tabsmith {

// xl/comments<n>.xml of a sheet: every comment of the sheet in record order, signed with the
// book's creator.
std::string comments_part(const Book &book, const Sheet &sheet);

// xl/drawings/vmlDrawing<number>.vml: the hidden note box of each comment of the sheet, shape
// ids from `first_shape_id` on in steps of kCommentShapeIdStep.
std::string vml_drawing_part(const Sheet &sheet, int number, int first_shape_id);

// xl/tables/table<number>.xml; the number is also the table's id and ends its name.
std::string table_part(const TableFormat &table, int number);

// The number of the sheet's hyperlinks that go through a relationship (external targets).
int external_hyperlink_count(const Sheet &sheet);

// Appends the worksheet's hyperlinks element (nothing when the sheet has none). The k-th
// external hyperlink (from 1, in record order) refers to relationship first_hyperlink_id + k;
// a link to a place in the book shows the text its cell holds.
void write_hyperlinks(const Book &book, const Sheet &sheet, int sheet_index, int first_hyperlink_id, std::string &out);

// Appends one relationship per external hyperlink, ids as write_hyperlinks gives them.
void write_hyperlink_relationships(const Sheet &sheet, int first_hyperlink_id, std::string &out);

// An upper bound of the bytes write_hyperlinks appends.
std::size_t hyperlinks_bound(const Book &book, const Sheet &sheet, int sheet_index);

}  // namespace tabsmith
