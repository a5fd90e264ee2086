// What every fuzz target shares: a private scratch folder, the well-formedness check of a saved
// package (zip entries, XML parts, relationships, content types) and the release of memory files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "tabsmith.h"

namespace tabsmith::fuzz {

// Once per process: saves go to memory files whatever the options say, libxml2 stays quiet and
// never loads anything from outside. Call from LLVMFuzzerInitialize or the first input.
void prepare_process();

// The process's own scratch folder (made with mkdtemp on first use, removed at exit).
const std::string &scratch_folder();

// Writes `bytes` to `name` inside the scratch folder and returns the file's absolute path.
std::string write_scratch_file(std::string_view name, const std::uint8_t *data, std::size_t size);
// Removes a file written above once the run is done with it: after a timeout, which ends the
// process without any clean-up, the folder is then left empty.
void remove_scratch_file(const std::string &path);

// Aborts (so that libFuzzer reports the input) when `package` is not a readable zip archive whose
// .xml and .rels entries are well-formed XML, whose internal relationships name existing parts
// and whose content types cover every part.
void check_package(std::string_view name, std::string_view package);

// Opens a new book saved to the memory file "fuzz.xlsx" in `charset` (SJIS, EUC or UTF8), with
// the sheet "Sheet1" current, as a caller would before its statements.
void open_memory_book(XLS_BOOK &book, const char *charset);

// Fetches the book's message (the conversion to the book's set is code under test too) and,
// with TABSMITH_FUZZ_VERBOSE set in the environment, prints it: handy when replaying one input.
void note_failure(XLS_BOOK &book, const char *call);

// Closes the book with SAVE, frees it whatever the save said, checks every saved package left in
// memory and then drops every memory file, so that nothing accumulates between runs.
void save_check_and_release(XLS_BOOK &book);

// Whether a text names a device or kernel file (/dev/zero, /proc/self/fd/0, ...): reading such a
// path as a data source never ends or blocks, which says nothing about the engine.
bool names_special_files(std::string_view text);

}  // namespace tabsmith::fuzz
