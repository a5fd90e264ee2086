// Fuzz target: a statement file run by TXLS_read_file (byte order marks, the file's character
// set against the book's, comment lines), then a save checked for a well-formed package.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "common/fuzz_support.h"

using namespace tabsmith::fuzz;

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    prepare_process();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    std::string_view input(reinterpret_cast<const char *>(data), size);
    if (names_special_files(input)) return 0;

    // A leading byte 1..9 picks the book's and the file's character sets; anything else is a
    // UTF-8 file read into a UTF-8 book.
    static const char *const sets[] = {"SJIS", "EUC", "UTF8"};
    const char *book_set = "UTF8", *file_set = "UTF8";
    if (!input.empty() && input[0] >= 1 && input[0] <= 9) {
        int choice = input[0] - 1;
        book_set = sets[choice / 3];
        file_set = sets[choice % 3];
        input.remove_prefix(1);
    }
    const std::string path =
        write_scratch_file("statements.txt", reinterpret_cast<const std::uint8_t *>(input.data()), input.size());

    XLS_BOOK book{};
    open_memory_book(book, book_set);
    std::string options = "FILE=\"" + path + "\" CHARSET=" + file_set;
    if (TXLS_read_file(&book, options.c_str()) != 0) note_failure(book, "TXLS_read_file");
    remove_scratch_file(path);
    save_check_and_release(book);
    return 0;
}
