// Fuzz target: a workbook package opened from memory (zip archive and XML parts), every cell
// read back, one value put on each sheet and the package saved through the update path. The
// saved package must open again: the parts the save rewrote are the engine's own.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "common/fuzz_support.h"
#include "support/mfile.h"

using namespace tabsmith::fuzz;

namespace {

constexpr const char *kInput = "fuzz_in.xlsx";

void read_every_cell(XLS_BOOK &book) {
    static char storage[8][512];
    char *values[8];
    for (int k = 0; k < 8; ++k) values[k] = storage[k];
    for (int s = 0; s < TXLS_sheet_num(&book) && s < 16; ++s) {
        TXLS_open_sheet2(&book, s);
        const int rows = TXLS_row_num(&book);
        for (int r = 0; r < rows && r < 2000; ++r) {
            TXLS_get_cells(&book, 0, s, r, 0, 8, values, 512);
            char value[512], kind[512];
            char cell[32];
            TXLS_cell_name(r + 1, 1, cell, sizeof cell);
            TXLS_get_cell(&book, cell, value, sizeof value, kind, sizeof kind);
            TXLS_get_format_cell(&book, cell, value, sizeof value, kind, sizeof kind);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    prepare_process();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (TXLS_memory_put(kInput, data, static_cast<long>(size)) != 0) return 0;
    XLS_BOOK book{};
    std::string options = std::string("CHARSET=UTF8 MODE=UPDATE READ_MEMORY=TRUE BOOK=") + kInput;
    if (TXLS_open_book(&book, options.c_str()) != 0) {
        note_failure(book, "TXLS_open_book");
        TXLS_free_book(&book);
        tabsmith::mclose_all();
        return 0;
    }
    read_every_cell(book);
    for (int s = 0; s < TXLS_sheet_num(&book) && s < 16; ++s) {
        TXLS_open_sheet2(&book, s);
        char cell[32];
        TXLS_cell_name(TXLS_row_num(&book) + 2, 1, cell, sizeof cell);
        if (TXLS_put_cell(&book, cell, "fuzz") != 0) note_failure(book, "TXLS_put_cell");
    }
    const int saved = TXLS_close_book(&book, "SAVE");
    if (saved != 0) note_failure(book, "TXLS_close_book");
    TXLS_free_book(&book);
    if (saved == 0) {
        XLS_BOOK again{};
        if (TXLS_open_book(&again, options.c_str()) != 0) {
            note_failure(again, "reopening the saved package");
            std::abort();
        }
        read_every_cell(again);
        TXLS_free_book(&again);
    }
    tabsmith::mclose_all();
    return 0;
}
