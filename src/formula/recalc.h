// Computing every formula of a book when it is saved, and the calculation id that tells the
// spreadsheet program whether the cached values may be trusted.
#pragma once

#include <string>

#include "model/book.h"

namespace tabsmith {

constexpr const char *kCalcIdRecalcText = "145621";

// Computes every uncomputed formula cell and stores its value. A formula this engine cannot
// compute turns RECALC off (the file is then recalculated on opening) and the walk goes on.
// 0; kFail when a malformed or circular formula raised its message; kNoMemory out of memory.
int recalc_book(Book &book);

// Computes the uncomputed formula cells of a book read from a package where the engine can. A
// formula it cannot compute, or one it finds faulty, stays without a value (its reader is asked
// to compute it); neither RECALC nor the book's message changes. 0, or kNoMemory.
int recalc_package_formulas(Book &book);

// With RECALC on, a six-character calcId in the workbook part becomes 145621; otherwise, or
// for an id of another length, the text stays as it is.
void update_calc_id(std::string &workbook_xml, bool recalc);

}  // namespace tabsmith
