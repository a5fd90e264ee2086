// The statement loop behind TXLS_put_values: "name = value" statements that put cell values,
// set variables or apply resolved properties, stopping at the first error.
#pragma once

#include <string_view>

#include "model/book.h"

namespace tabsmith {

// Ids a book loaded from an existing workbook still accepts: book name, template, sheet, scroll
// row, row height and the data sources.
bool allowed_from_file(int id);

struct StatementOptions {
    // Variable statements ("name = value" with a variable name). Books refuse them; nothing in
    // the API turns them on.
    bool allow_variables = false;
};

// Runs every statement of `text` (book character set). 0 when all succeeded or the text is
// empty; kBadArgument after a statement error; kOverflow when a step reported a fixed limit (kLimit); any other
// negative code of the cell or property step unchanged. The book's message is set on failure;
// statements before the failing one stay applied.
int run_statements(Book &book, std::string_view text, const StatementOptions &options = {});

}  // namespace tabsmith
