// The style sheet of the HTML view: one CSS class per cell format the page uses (font, fill,
// borders, alignment, wrapping), written once whatever the number of cells that share it.
#pragma once

#include <cstdint>
#include <string>

#include "model/book.h"

namespace tabsmith {

// The CSS declarations of cell format reference `xf` (0 = the book's default format), without
// braces: font family, size, weight, slant, underline and colour, background, the four borders,
// horizontal and vertical alignment and wrapping. A format that leaves the horizontal alignment
// to the reader gives none; the page aligns numbers right itself.
void append_format_css(const Book &book, std::uint16_t xf, std::string &out);

// The pixels of a column `width` in the sheet's character units, and of a row `height` in
// hundredths of a point.
int column_pixels(double width);
int row_pixels(double hundredths_of_point);

}  // namespace tabsmith
