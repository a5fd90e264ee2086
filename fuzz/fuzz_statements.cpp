// Fuzz target: property statements through TXLS_put_values, one line at a time so that a failing
// statement does not hide the ones after it, then a save checked for a well-formed package.

#include "common/fuzz_support.h"

using namespace tabsmith::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    std::string_view input(reinterpret_cast<const char *>(data), size);
    if (names_special_files(input)) return 0;
    // A leading byte 1, 2 or 3 picks Shift-JIS, EUC or UTF-8; plain text seeds need no prefix.
    static const char *const sets[] = {"SJIS", "EUC", "UTF8"};
    const int choice = take_choice(input, 3);
    XLS_BOOK book{};
    open_memory_book(book, choice < 0 ? "UTF8" : sets[choice]);
    while (!input.empty()) {
        const std::size_t end = input.find('\n');
        const std::string line(input.substr(0, end));
        input.remove_prefix(end == std::string_view::npos ? input.size() : end + 1);
        if (TXLS_put_values(&book, line.c_str()) != 0) note_failure(book, "TXLS_put_values");
    }
    save_check_and_release(book);
    return 0;
}
