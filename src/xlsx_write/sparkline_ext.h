// The worksheet extension list that carries a sheet's sparkline groups, written just before
// the end of the worksheet part.
#pragma once

#include <string>

#include "model/book.h"

namespace tabsmith {

// Appends the extension list of sheet `sheet_index` (0-based): one sparkline group per
// SPARKLINE statement, in creation order. Nothing for a sheet without sparklines.
void write_sparkline_ext(const Book &book, int sheet_index, std::string &out);

}  // namespace tabsmith
