// Cell and sheet references inside formula texts: moving a formula to another cell, as a shared
// formula's dependents and a copied cell read it, and following renamed sheets.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tabsmith {

// `formula` as it reads `rows` rows down and `columns` columns right of where it was written:
// relative references move, absolute ($) parts stay, texts in quotes and sheet names are kept.
// A reference moved off the sheet becomes #REF!, as a workbook program shows it.
std::string moved_formula(std::string_view formula, int rows, int columns);

// Sheet names and what they became.
using SheetRenames = std::vector<std::pair<std::string, std::string>>;

// A formula text whose references to a renamed sheet ('from'!A1, from!A1) name its new name
// (always quoted); texts in double quotes and other sheets' names are kept.
std::string with_sheets_renamed(std::string_view formula, const SheetRenames &renames);

}  // namespace tabsmith
