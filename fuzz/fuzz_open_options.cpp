// Fuzz target: the option text of TXLS_open_book. A book that opens gets a few cells and is
// saved; the saved package must read back as a well-formed archive.

#include "common/fuzz_support.h"

using namespace tabsmith::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    // Opening in a reading mode probes the named file; /dev/stdin would wait for a terminal.
    const std::string_view input(reinterpret_cast<const char *>(data), size);
    if (names_special_files(input)) return 0;
    // The memory target comes first so that the input's own keys (a later one wins) still decide
    // the name; saves stay in memory either way.
    const std::string options = "WRITE_MEMORY=TRUE BOOK=fuzz.xlsx " + std::string(input);
    XLS_BOOK book{};
    if (TXLS_open_book(&book, options.c_str()) != 0) {
        note_failure(book, "TXLS_open_book");
        TXLS_free_book(&book);
        return 0;
    }
    TXLS_put_cell(&book, "A1", "fuzz");
    TXLS_put_cell(&book, "B2", "12.5");
    TXLS_put_cell(&book, "C3", "=B2*2");
    TXLS_put_values(&book, "A1.FONT.STYLE=bold B2.FORMAT=\"#,##0.00\"");
    save_check_and_release(book);
    return 0;
}
