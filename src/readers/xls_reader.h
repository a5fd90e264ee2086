// Loading a legacy Excel workbook (BIFF8 or BIFF5 records in a compound file) into a book: sheet names,
// shared strings, number formats and the values of the cells, formulas by their results.
#pragma once

#include <string>

#include "model/book.h"

namespace tabsmith {

// Result of a file that is no readable BIFF8 or BIFF5 workbook (BIFF2-4, password protected, no
// workbook stream); the book's message names the reason.
constexpr int kXlsNotReadable = -4;

// Reads `source` (a path, or with `from_memory` a memory file's name) into a book initialised
// for .xls. 0; kNoMemory; kOpenError or kReadError for a file that cannot be read;
// kXlsNotReadable with `reason` telling why; kLimit with TXLS-03009 or TXLS-03600 raised (a limit
// or index the file breaks); kFail for a malformed file (no message).
int read_xls_workbook(Book &book, const std::string &source, bool from_memory, std::string *reason = nullptr);

}  // namespace tabsmith
