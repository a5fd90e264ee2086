// Pictures from files placed by statements: at a cell (IMAGE) or behind a whole sheet
// (SHEET.BACKGROUND.PATH), each file read once per book.
#pragma once

#include <string_view>

#include "model/book.h"

namespace tabsmith {

// Makes the picture at `path` the background of sheet `sheet_index`, replacing an earlier one.
// Only JPEG, PNG, GIF and TIFF are accepted. 0, or a negative code with the book's message set
// (TXLS-00005, TXLS-03102, TXLS-03190, TXLS-00002).
int place_sheet_background(Book &book, int sheet_index, std::string_view path);

}  // namespace tabsmith
