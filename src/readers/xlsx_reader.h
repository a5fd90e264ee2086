// Loading an Office Open XML workbook package (.xlsx, .xlsm) into a book: sheets, cells,
// shared strings, styles, and what a later save needs to write the package back.
#pragma once

#include <string>

#include "model/book.h"

namespace tabsmith {

struct XlsxReadRequest {
    std::string archive;          // a disk path, or the name of a memory file
    bool from_memory = false;
    bool list_only = false;       // only the sheet names
    bool keep_package = true;     // keep what a save needs (template and update modes)
    // Also keep each worksheet's stored bytes and where its rows lie, so that a save writes the
    // rows the book has not changed as stored (books opened to be changed and saved).
    bool keep_stored_rows = false;
    std::string *fault = nullptr; // when the read fails: which part, where and what was wrong
};

// Result codes besides the shared ones: the archive is no workbook package (-4, kUnsupported),
// cannot be opened (kOpenError), memory ran out (kNoMemory), or a part is malformed (kFail, or
// kLimit for nesting, names or sizes beyond the reader's limits). A package with two entries of
// one name, or without a sheet, is malformed: other readers would see another workbook.
int read_xlsx_package(Book &book, const XlsxReadRequest &request);

}  // namespace tabsmith
