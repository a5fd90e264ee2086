// Book initialisation for a file format, and the hooks into the readers and the writer that
// the book lifecycle calls.
#pragma once

#include <string>

#include "model/book.h"
#include "xlsx_write/package_writer.h"

namespace tabsmith {

// Sets the limits, flags and defaults of a book for .xlsx (12) or .xls (11). 0 or kNoMemory.
int init_book(Book &book, int file_type);

// Checks that a workbook can be opened for reading and tells its type by content. 0 and the
// type (kFileTypeXlsx, kFileTypeXlsm, kFileTypeXls, another file type, or -1 when the content
// matches no known type), or kOpenError when the file (or memory file) cannot be opened,
// kReadError when it cannot be read, another negative code when the probe fails otherwise.
int probe_workbook(const std::string &path, bool from_memory, int &type);

// Reads a .xlsx/.xlsm package into the book (only its sheet names with `list_only`). 0 or the
// reader's result, without a message; `fault` gets what was wrong with a refused package.
int read_workbook(Book &book, const std::string &path, bool from_memory, bool list_only, std::string *fault = nullptr);
// Raises the message of a failed read_workbook (path and fault in it) and gives the result the
// caller returns: -101, -4, -2 or -1.
int raise_read_failure(ErrorSink &err, int rc, const std::string &path, const std::string &fault, bool list_only);

// What every save does before the first part is written: the default sheets of an empty book,
// computed formulas and automatic widths. The writers then only read the book.
int prepare_book_for_save(Book &book);

// Where a save of the book goes: the memory file `memory_override` when one is named, the
// book's memory file when it was opened with WRITE_MEMORY or archives are routed to memory
// (orv_zip_on_memory(0)), else its file on disk.
SaveTarget save_target(const Book &book, const std::string &memory_override = {});

// Saves the book to the target. 0 or a writer result; a failed save leaves the book as it was.
int save_book(Book &book, const SaveTarget &target);
// The same save without releasing the memory files first, as the close does: for a copy of a
// book that stays open (the PDF export).
int save_book_copy(Book &book, const SaveTarget &target);
// Maps a result of save_book to the caller's result and its message; one the writer left stays.
int save_failure(Book &book, int rc, bool writer_left_message, const std::string &target_name);

// The process-wide memory files, as the book lifecycle uses them. `keep` names a memory file
// that survives (the archive of a book saved to memory, which its caller has yet to fetch).
void close_memory_files(const std::string &keep = {});
int swap_memory_files(int restore);

}  // namespace tabsmith
