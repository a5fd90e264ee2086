// Fuzz target: a workbook package opened from memory (zip archive and XML parts), every cell
// read back, the book shown as HTML (the package's drawings, links and comments read for it),
// one value put on each sheet and the package saved through the update path. The saved package
// must open again: the parts the save rewrote are the engine's own.

#include <cstdlib>

#include "common/fuzz_support.h"
#include "support/mfile.h"

using namespace tabsmith::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (TXLS_memory_put("fuzz_in.xlsx", data, static_cast<long>(size)) != 0) return 0;
    const char *options = "CHARSET=UTF8 MODE=UPDATE READ_MEMORY=TRUE BOOK=fuzz_in.xlsx";
    XLS_BOOK book{};
    if (TXLS_open_book(&book, options) != 0) {
        note_failure(book, "TXLS_open_book");
    } else {
        read_every_cell(book);
        if (TXLS_save_html(&book, "MEMORY=fuzz_view.html") != 0) note_failure(book, "TXLS_save_html");
        for (int s = 0; s < TXLS_sheet_num(&book) && s < 16; ++s) {
            char cell[32];
            TXLS_open_sheet2(&book, s);
            TXLS_cell_name(TXLS_row_num(&book) + 2, 1, cell, sizeof cell);
            if (TXLS_put_cell(&book, cell, "fuzz") != 0) note_failure(book, "TXLS_put_cell");
        }
        const int saved = TXLS_close_book(&book, "SAVE");
        if (saved != 0) note_failure(book, "TXLS_close_book");
        TXLS_free_book(&book);
        book = XLS_BOOK{};  // a fresh record, as a new caller has
        if (saved == 0 && TXLS_open_book(&book, options) != 0) note_failure(book, "reopening the saved package"), std::abort();
        if (saved == 0) read_every_cell(book);
    }
    TXLS_free_book(&book);
    tabsmith::mclose_all();
    return 0;
}
