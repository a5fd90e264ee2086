// Fuzz target: a statement file run by TXLS_read_file (byte order marks, the file's character
// set against the book's, comment lines), then a save checked for a well-formed package.

#include "common/fuzz_support.h"

using namespace tabsmith::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    std::string_view input(reinterpret_cast<const char *>(data), size);
    if (names_special_files(input)) return 0;
    // A leading byte 1..9 picks the book's set (in threes) and the file's; else UTF-8 for both.
    static const char *const sets[] = {"SJIS", "EUC", "UTF8"};
    const int choice = take_choice(input, 9);
    const std::string path = write_scratch_file("statements.txt", input);
    XLS_BOOK book{};
    open_memory_book(book, choice < 0 ? "UTF8" : sets[choice / 3]);
    const std::string options = "FILE=\"" + path + "\" CHARSET=" + (choice < 0 ? "UTF8" : sets[choice % 3]);
    if (TXLS_read_file(&book, options.c_str()) != 0) note_failure(book, "TXLS_read_file");
    remove_scratch_file(path);
    save_check_and_release(book);
    return 0;
}
