// What the saving targets share: a scratch folder, quiet libxml2, and the package check of the
// tests (common/package_reader.h) over each saved memory file.

#include "fuzz_support.h"

#include <libxml/parser.h>
#include <libxml/xmlerror.h>
#include <sanitizer/common_interface_defs.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "common/package_reader.h"
#include "support/mfile.h"

namespace tabsmith::fuzz {
namespace {

// ---------------------------------------------------------------------------------------------
// Scratch folder

std::string &scratch_path() {
    static std::string path;
    return path;
}

void remove_scratch_folder() {
    if (scratch_path().empty()) return;
    std::error_code ignored;
    std::filesystem::remove_all(scratch_path(), ignored);
    scratch_path().clear();
}

// ---------------------------------------------------------------------------------------------
// libxml2: no messages on the terminal for every malformed input, nothing loaded from outside.

void quiet_generic(void *, const char *, ...) {}
void quiet_structured(void *, xmlErrorPtr) {}

xmlParserInputPtr refuse_external(const char *, const char *, xmlParserCtxtPtr) { return nullptr; }

[[noreturn]] void fail(std::string_view package, const std::string &what) {
    std::fprintf(stderr, "\n== package check failed for memory file '%.*s': %s\n", static_cast<int>(package.size()),
                 package.data(), what.c_str());
    // libFuzzer leaves through _Exit after a crash, past the atexit handler.
    remove_scratch_folder();
    std::abort();
}

}  // namespace

void prepare_process() {
    static bool prepared = false;
    if (prepared) return;
    prepared = true;
    // Every save of this thread lands in a memory file, even one whose options ask for disk.
    orv_zip_on_memory(0);
    xmlInitParser();
    xmlSetGenericErrorFunc(nullptr, quiet_generic);
    xmlSetStructuredErrorFunc(nullptr, quiet_structured);
    xmlSetExternalEntityLoader(refuse_external);
    scratch_folder();
}

const std::string &scratch_folder() {
    std::string &path = scratch_path();
    if (!path.empty()) return path;
    const char *tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/tabsmith-fuzz-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (!mkdtemp(buffer.data())) {
        std::perror("mkdtemp");
        std::abort();
    }
    path = std::filesystem::absolute(buffer.data()).string();
    std::atexit(remove_scratch_folder);
    // A sanitizer report ends the process without atexit handlers.
    __sanitizer_set_death_callback(remove_scratch_folder);
    return path;
}

void remove_scratch_file(const std::string &path) { std::remove(path.c_str()); }

std::string write_scratch_file(std::string_view name, const std::uint8_t *data, std::size_t size) {
    std::string path = scratch_folder() + "/" + std::string(name);
    std::FILE *file = std::fopen(path.c_str(), "wb");
    if (!file || (size > 0 && std::fwrite(data, 1, size, file) != size) || std::fclose(file) != 0) {
        std::perror(path.c_str());
        std::abort();
    }
    return path;
}

void check_package(std::string_view name, std::string_view package) {
    if (package.size() < 22) fail(name, "too short for a zip archive");
    if (const std::string fault = testing::package_fault(testing::read_package(package)); !fault.empty())
        fail(name, fault);
}

void open_memory_book(XLS_BOOK &book, const char *charset) {
    const std::string options = std::string("WRITE_MEMORY=TRUE BOOK=fuzz.xlsx CHARSET=") + charset;
    if (TXLS_open_book(&book, options.c_str()) != 0 || TXLS_open_sheet(&book, "SHEET_NAME=Sheet1") != 0) {
        std::fprintf(stderr, "opening a book with \"%s\" failed: %d\n", options.c_str(), book.error_code);
        std::abort();
    }
}

void note_failure(XLS_BOOK &book, const char *call) {
    const char *message = TXLS_error_mesg(&book);
    static const bool verbose = std::getenv("TABSMITH_FUZZ_VERBOSE") != nullptr;
    if (verbose) std::fprintf(stderr, "%s: %d %s\n", call, book.error_code, message ? message : "");
}

void save_check_and_release(XLS_BOOK &book) {
    int saved = TXLS_close_book(&book, "SAVE");
    if (saved != 0) note_failure(book, "TXLS_close_book");
    TXLS_free_book(&book);
    if (saved == 0) {
        // A successful close keeps exactly the saved package (when it went to memory) and
        // releases every other memory file.
        for (const std::string &file : mlist()) {
            const void *bytes = nullptr;
            long size = 0;
            if (TXLS_memory_get(file.c_str(), &bytes, &size) != 0) fail(file, "listed but not readable");
            check_package(file, std::string_view(static_cast<const char *>(bytes), static_cast<std::size_t>(size)));
        }
    }
    // TXLS_memory_put(name, "", 0) would only empty the file; the table itself is dropped here
    // so that neither entries nor buffers carry over to the next input.
    mclose_all();
}

bool names_special_files(std::string_view text) {
    for (std::string_view folder : {"/dev/", "/proc/", "/sys/"})
        if (text.find(folder) != std::string_view::npos) return true;
    return false;
}

}  // namespace tabsmith::fuzz
