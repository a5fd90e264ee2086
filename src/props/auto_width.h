// Automatic column widths: at save time each column of a book with AUTO_WIDTH on is sized to
// the longest text shown in it.
#pragma once

#include <cstddef>
#include <string_view>

#include "model/book.h"

namespace tabsmith {

constexpr double kAutoWidthPadding = 2.0;   // characters of room beside the longest text
constexpr double kMaxAutoWidth = 255.0;     // the widest column a workbook accepts

// Display units of a UTF-8 text: East Asian wide and full-width characters count two, others
// one; the longest line counts when the text has several.
std::size_t display_units(std::string_view utf8);

// Sets the width of every column that holds text on every sheet, when the book asks for
// automatic widths. Columns given a width by a WIDTH statement keep it; columns without
// text keep theirs.
void apply_auto_widths(Book &book);

}  // namespace tabsmith
