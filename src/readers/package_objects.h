// What a sheet read from a package shows besides its cells: pictures, hyperlinks and comments,
// read from the package's own drawing, hyperlink and comment parts for a view of the book.
#pragma once

#include "model/book.h"
#include "model/sheet_objects.h"

namespace tabsmith {

// Fills `out` with the pictures (PNG, JPEG, GIF and BMP files placed by a drawing), hyperlinks
// and comments of sheet `sheet_index` of a book read from a package; a book or sheet without a
// package gives nothing. A part that is missing, damaged or too large is passed over: the view
// shows what could be read. kOk, or kNoMemory.
int read_sheet_objects(const Book &book, int sheet_index, SheetObjects &out);

}  // namespace tabsmith
