// Fuzz target: a legacy .xls workbook opened from memory (compound file, BIFF8 or BIFF5 records)
// and every cell read back, plain and rendered; a refusal must come with a coded message.

#include <cstdlib>
#include <cstring>

#include "common/fuzz_support.h"
#include "support/mfile.h"

using namespace tabsmith::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (TXLS_memory_put("fuzz_in.xls", data, static_cast<long>(size)) != 0) return 0;
    XLS_BOOK book{};
    if (TXLS_open_book(&book, "CHARSET=UTF8 MODE=UNLOAD READ_MEMORY=TRUE BOOK=fuzz_in.xls") == 0) read_every_cell(book);
    else if (std::strncmp(book.log.error_info, "TXLS-", 5) != 0) note_failure(book, "TXLS_open_book without a message"), std::abort();
    TXLS_free_book(&book);
    tabsmith::mclose_all();
    return 0;
}
