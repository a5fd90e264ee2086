// What the fuzz targets over the C API share: a private scratch folder, the choice a leading byte
// makes, reading every cell of an opened book, and the package check of every saved book.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "tabsmith.h"

namespace tabsmith::fuzz {

// Writes `input` to `name` in the process's scratch folder (made with mkdtemp under $TMPDIR,
// removed at exit or after a sanitizer report) and gives the absolute path. Remove the file once
// done: after a timeout, which skips every clean-up, only the empty folder is then left.
std::string write_scratch_file(std::string_view name, std::string_view input);
void remove_scratch_file(const std::string &path);

// 0..count-1 when the input starts with a byte 1..count (which is then dropped), else -1.
int take_choice(std::string_view &input, int count);

// Whether a text names a device or kernel file (/dev/zero, /proc/self/fd/0, ...): read as a data
// source it never ends or blocks, which says nothing about the engine.
bool names_special_files(std::string_view text);

// A new book saved to the memory file "fuzz.xlsx" in `charset` (SJIS, EUC or UTF8), "Sheet1" current.
void open_memory_book(XLS_BOOK &book, const char *charset);

// Every cell of the first 16 sheets and 2000 rows read back, plain and rendered.
void read_every_cell(XLS_BOOK &book);

// Fetches the book's message (its conversion is code under test too); printed with
// TABSMITH_FUZZ_VERBOSE set in the environment, handy when replaying one input.
void note_failure(XLS_BOOK &book, const char *call);

// Closes the book with SAVE and frees it; a saved package left in memory must read back with
// every entry whole, well-formed XML parts, relationships that name parts and a content type for
// every part, else the process aborts. Every memory file is dropped after.
void save_check_and_release(XLS_BOOK &book);

}  // namespace tabsmith::fuzz
