// Fuzz target: a CSV or TSV file pasted through the CSV/TSV statement (its "!" lines run as
// statements), then a save checked for a well-formed package.

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

    // A leading byte 1..12 picks the delimiter, the book's character set and whether the paste
    // is bounded by an area; anything else is a comma-separated file in a UTF-8 book at A1.
    bool tabs = false, bounded = false;
    const char *charset = "UTF8";
    if (!input.empty() && input[0] >= 1 && input[0] <= 12) {
        static const char *const sets[] = {"SJIS", "EUC", "UTF8"};
        int choice = input[0] - 1;
        tabs = choice % 2 == 1;
        charset = sets[(choice / 2) % 3];
        bounded = choice >= 6;
        input.remove_prefix(1);
    }
    const std::string path = write_scratch_file(tabs ? "paste.tsv" : "paste.csv",
                                                reinterpret_cast<const std::uint8_t *>(input.data()), input.size());

    XLS_BOOK book{};
    open_memory_book(book, charset);
    std::string statement = std::string(bounded ? "B2:D6" : "A1") + (tabs ? ".TSV=\"" : ".CSV=\"") + path + "\"";
    if (TXLS_put_values(&book, statement.c_str()) != 0) note_failure(book, "TXLS_put_values");
    // The counters the paste leaves behind steer the statements that usually follow one.
    if (TXLS_put_values(&book, "A($ROWNUM+1)=\"=SUM(A1:A($ROWNUM))\" A1:C($ROWNUM).BORDER=thin") != 0)
        note_failure(book, "TXLS_put_values");
    remove_scratch_file(path);
    save_check_and_release(book);
    return 0;
}
