// Fuzz target: the option text of TXLS_open_book. A book that opens gets a few cells and is
// saved; the saved package must read back as a well-formed archive.

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
    // The memory target comes first so that the input's own keys (a later one wins) still
    // decide the name; saves stay in memory either way (prepare_process routes them there).
    // Opening in a reading mode probes the named file; /dev/stdin would wait for a terminal.
    if (names_special_files(std::string_view(reinterpret_cast<const char *>(data), size))) return 0;
    std::string options = "WRITE_MEMORY=TRUE BOOK=fuzz.xlsx ";
    options.append(reinterpret_cast<const char *>(data), size);

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
