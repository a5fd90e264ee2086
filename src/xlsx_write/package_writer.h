// Saving a book as a new package: every part written in the fixed order straight into the
// archive at the book's file name (or into a memory file of that name).
#pragma once

#include <string>
#include <vector>

#include "model/book.h"

namespace tabsmith {

// Writes all parts of the book and packs them. Returns kOk or a negative code with the book's
// message set where the failure has one (kNoMemory, kOpenError/kWriteError for files, kFail).
int tsx_create_excel2007(const Book &book);

// The parts of the book as (name, contents) in archive order, without packing: the same texts
// that tsx_create_excel2007 writes (used by it and by golden tests).
int build_package_parts(const Book &book, std::vector<std::pair<std::string, std::string>> &parts);

}  // namespace tabsmith
