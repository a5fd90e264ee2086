// Fuzz target: a CSV or TSV file pasted through the CSV/TSV statement (its "!" lines run as
// statements), then a save checked for a well-formed package.

#include "common/fuzz_support.h"

using namespace tabsmith::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    std::string_view input(reinterpret_cast<const char *>(data), size);
    if (names_special_files(input)) return 0;
    // A leading byte 1..12 picks the delimiter (odd: comma, even: tab), the book's set (SJIS, EUC,
    // UTF8 in pairs) and, from 7 on, a paste bounded by an area; else a CSV file, UTF-8 book, A1.
    static const char *const sets[] = {"SJIS", "EUC", "UTF8"};
    const int choice = take_choice(input, 12);
    const bool tabs = choice % 2 == 1, bounded = choice >= 6;
    const std::string path = write_scratch_file(tabs ? "paste.tsv" : "paste.csv", input);
    XLS_BOOK book{};
    open_memory_book(book, choice < 0 ? "UTF8" : sets[(choice / 2) % 3]);
    const std::string statement = std::string(bounded ? "B2:D6" : "A1") + (tabs ? ".TSV=\"" : ".CSV=\"") + path + "\"";
    if (TXLS_put_values(&book, statement.c_str()) != 0) note_failure(book, "TXLS_put_values");
    // The counters the paste leaves behind steer the statements that usually follow one.
    if (TXLS_put_values(&book, "A($ROWNUM+1)=\"=SUM(A1:A($ROWNUM))\" A1:C($ROWNUM).BORDER=thin") != 0)
        note_failure(book, "TXLS_put_values");
    remove_scratch_file(path);
    save_check_and_release(book);
    return 0;
}
