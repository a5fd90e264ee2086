// Fuzz target: property statements through TXLS_put_values, one line at a time so that a failing
// statement does not hide the ones after it, then a save checked for a well-formed package.

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

    // A leading byte 1, 2 or 3 picks Shift-JIS, EUC or UTF-8 and is not part of the statements;
    // anything else is a UTF-8 book's text as it stands (plain text seeds need no prefix).
    const char *charset = "UTF8";
    if (!input.empty() && input[0] >= 1 && input[0] <= 3) {
        static const char *const sets[] = {"SJIS", "EUC", "UTF8"};
        charset = sets[input[0] - 1];
        input.remove_prefix(1);
    }

    XLS_BOOK book{};
    open_memory_book(book, charset);
    while (!input.empty()) {
        std::size_t end = input.find('\n');
        std::string line(input.substr(0, end));
        input.remove_prefix(end == std::string_view::npos ? input.size() : end + 1);
        if (TXLS_put_values(&book, line.c_str()) != 0) note_failure(book, "TXLS_put_values");
    }
    save_check_and_release(book);
    return 0;
}
