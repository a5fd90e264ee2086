// Saving a book read from a package: the package written anew with every entry it had, the parts
// that carry the book's changes spliced, and all others copied as the package stored them.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "model/book.h"
#include "xlsx_write/package_writer.h"

namespace tabsmith {

// Writes the package of a book that carries its source (book.source) into the target, with the
// same targets and results as tsx_create_excel2007: 0, -2 memory, -103 the archive could not be
// written, -1 a book without a source or a package text that cannot be parsed.
int tsx_update_excel2007(const Book &book, const SaveTarget &target);

// The entries tsx_update_excel2007 writes, in archive order, without packing: the parts written
// anew as (name, text) in `parts`, and the names of the entries copied unchanged in `copied`.
int build_update_parts(const Book &book, std::vector<std::pair<std::string, std::string>> &parts,
                       std::vector<std::string> &copied);

}  // namespace tabsmith
