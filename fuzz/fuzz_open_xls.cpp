// Fuzz target: a legacy .xls workbook opened from memory (compound file, BIFF8 or BIFF5 records)
// and every cell read back, plain and rendered; a refusal must come with a coded message.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "common/fuzz_support.h"
#include "support/mfile.h"

using namespace tabsmith::fuzz;

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    prepare_process();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    constexpr const char *kInput = "fuzz_in.xls";
    if (TXLS_memory_put(kInput, data, static_cast<long>(size)) != 0) return 0;
    XLS_BOOK book{};
    const int rc = TXLS_open_book(&book, "CHARSET=UTF8 MODE=UNLOAD READ_MEMORY=TRUE BOOK=fuzz_in.xls");
    if (rc != 0) {
        // Every refusal of a file names itself with a TXLS- code.
        if (std::strncmp(book.log.error_info, "TXLS-", 5) != 0) {
            note_failure(book, "TXLS_open_book without a message");
            std::abort();
        }
        TXLS_free_book(&book);
        tabsmith::mclose_all();
        return 0;
    }
    static char storage[8][512];
    char *values[8];
    for (int k = 0; k < 8; ++k) values[k] = storage[k];
    for (int s = 0; s < TXLS_sheet_num(&book) && s < 16; ++s) {
        TXLS_open_sheet2(&book, s);
        for (int r = 0; r < TXLS_row_num(&book) && r < 2000; ++r) TXLS_get_cells(&book, 0, s, r, 0, 8, values, 512);
    }
    TXLS_free_book(&book);
    tabsmith::mclose_all();
    return 0;
}
