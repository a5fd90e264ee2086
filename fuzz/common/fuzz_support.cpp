// The shared harness of the fuzz targets over the C API, and their libFuzzer initialisation: saves
// go to memory files, libxml2 stays quiet and loads nothing from outside.

#include "fuzz_support.h"

#include <libxml/parser.h>
#include <libxml/xmlerror.h>
#include <sanitizer/common_interface_defs.h>
#include <stdlib.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "common/package_reader.h"
#include "support/mfile.h"

namespace tabsmith::fuzz {
namespace {

std::string scratch;

void remove_scratch_folder() {
    std::error_code ignored;
    if (!scratch.empty()) std::filesystem::remove_all(scratch, ignored);
    scratch.clear();
}

void quiet(void *, const char *, ...) {}

[[noreturn]] void fail(const std::string &file, const std::string &what) {
    std::fprintf(stderr, "\n== package check failed for memory file '%s': %s\n", file.c_str(), what.c_str());
    remove_scratch_folder();  // libFuzzer leaves through _Exit after a crash, past atexit
    std::abort();
}

}  // namespace

std::string write_scratch_file(std::string_view name, std::string_view input) {
    if (scratch.empty()) {
        const char *tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/tabsmith-fuzz-XXXXXX";
        if (!mkdtemp(pattern.data())) std::perror("mkdtemp"), std::abort();
        scratch = std::filesystem::absolute(pattern).string();
        std::atexit(remove_scratch_folder);
        __sanitizer_set_death_callback(remove_scratch_folder);
    }
    const std::string path = scratch + "/" + std::string(name);
    std::FILE *file = std::fopen(path.c_str(), "wb");
    if (!file || std::fwrite(input.data(), 1, input.size(), file) != input.size() || std::fclose(file) != 0)
        std::perror(path.c_str()), std::abort();
    return path;
}

void remove_scratch_file(const std::string &path) { std::remove(path.c_str()); }

int take_choice(std::string_view &input, int count) {
    if (input.empty() || input[0] < 1 || input[0] > count) return -1;
    const int choice = input[0] - 1;
    input.remove_prefix(1);
    return choice;
}

bool names_special_files(std::string_view text) {
    for (std::string_view folder : {"/dev/", "/proc/", "/sys/"})
        if (text.find(folder) != std::string_view::npos) return true;
    return false;
}

void open_memory_book(XLS_BOOK &book, const char *charset) {
    const std::string options = std::string("WRITE_MEMORY=TRUE BOOK=fuzz.xlsx CHARSET=") + charset;
    if (TXLS_open_book(&book, options.c_str()) != 0 || TXLS_open_sheet(&book, "SHEET_NAME=Sheet1") != 0)
        std::fprintf(stderr, "opening a book with \"%s\" failed: %d\n", options.c_str(), book.error_code), std::abort();
}

void read_every_cell(XLS_BOOK &book) {
    static char storage[8][512];
    char *values[8], value[512], kind[512], cell[32];
    for (int k = 0; k < 8; ++k) values[k] = storage[k];
    for (int s = 0; s < TXLS_sheet_num(&book) && s < 16; ++s) {
        TXLS_open_sheet2(&book, s);
        for (int r = 0; r < TXLS_row_num(&book) && r < 2000; ++r) {
            TXLS_get_cells(&book, 0, s, r, 0, 8, values, 512);
            TXLS_cell_name(r + 1, 1, cell, sizeof cell);
            TXLS_get_cell(&book, cell, value, sizeof value, kind, sizeof kind);
            TXLS_get_format_cell(&book, cell, value, sizeof value, kind, sizeof kind);
        }
    }
}

void note_failure(XLS_BOOK &book, const char *call) {
    const char *message = TXLS_error_mesg(&book);
    static const bool verbose = std::getenv("TABSMITH_FUZZ_VERBOSE") != nullptr;
    if (verbose) std::fprintf(stderr, "%s: %d %s\n", call, book.error_code, message ? message : "");
}

void save_check_and_release(XLS_BOOK &book) {
    const int saved = TXLS_close_book(&book, "SAVE");
    if (saved != 0) note_failure(book, "TXLS_close_book");
    TXLS_free_book(&book);
    // A successful close keeps exactly the saved package (when it went to memory).
    for (const std::string &file : saved == 0 ? mlist() : std::vector<std::string>{}) {
        const void *bytes = nullptr;
        long size = 0;
        if (TXLS_memory_get(file.c_str(), &bytes, &size) != 0) fail(file, "listed but not readable");
        if (size < 22) fail(file, "too short for a zip archive");
        const std::string fault = testing::package_fault(testing::read_package({static_cast<const char *>(bytes), std::size_t(size)}));
        if (!fault.empty()) fail(file, fault);
    }
    mclose_all();  // the table itself, so that neither entries nor buffers carry over to the next input
}

}  // namespace tabsmith::fuzz

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    ::orv_zip_on_memory(0);  // every save of this thread lands in a memory file
    xmlInitParser();
    xmlSetGenericErrorFunc(nullptr, tabsmith::fuzz::quiet);
    xmlSetStructuredErrorFunc(nullptr, [](void *, xmlErrorPtr) {});
    xmlSetExternalEntityLoader([](const char *, const char *, xmlParserCtxtPtr) -> xmlParserInputPtr { return nullptr; });
    return 0;
}
