// The drawing part of a sheet (xl/drawings/drawing<n>.xml) with the anchors of its pictures,
// charts and shapes, its relationship part, and the media files the pictures are stored in.
#pragma once

#include <string>

#include "model/book.h"
#include "xlsx_write/object_parts.h"

namespace tabsmith {

// The drawing part of sheet `sheet_index` (one anchor per object of the sheet, in object order).
// kOk, or kFail with the book's message for a picture of a type the package cannot hold.
int drawing_part(const Book &book, int sheet_index, const ObjectParts &parts, std::string &out);

// xl/drawings/_rels/drawing<n>.xml.rels of that drawing: pictures, click links and charts.
std::string drawing_rels_part(const Book &book, int sheet_index, const ObjectParts &parts);

}  // namespace tabsmith
