// The styles part (xl/styles.xml): the book's number formats, fonts, fills, borders and cell
// formats written in the numbering that the cells' s="k" attributes use.
#pragma once

#include <string>

#include "model/book.h"

namespace tabsmith {

// The complete UTF-8 text of xl/styles.xml. Assigns each number-format entry the numFmtId it
// is written with and stores it back in the registry (the cell formats refer to it).
std::string write_styles_part(const Book &book);

}  // namespace tabsmith
