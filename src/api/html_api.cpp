// The exported HTML view: TXLS_save_html's options, the book prepared as a save prepares it,
// the package's own pictures, links and comments gathered, and the page written to a file
// (replaced only once complete) or to a memory file.

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "api/api.h"
#include "api/book_init.h"
#include "api/open_options.h"
#include "html_write/html_writer.h"
#include "readers/package_objects.h"
#include "support/charset.h"
#include "support/files.h"
#include "support/mfile.h"
#include "support/scanner.h"

using namespace tabsmith;

namespace {

struct HtmlOptions {
    std::string file, memory, sheet;   // UTF-8
    bool has_sheet = false;
};

int parse_html_options(Book &book, const char *options, HtmlOptions &out) {
    if (!options) return book.err.fail(kBadArgument);
    const int walked = for_each_option(options, book.charset, book.err, [&](const std::string &key_utf8, std::string value_utf8) {
        if (keyword_is(key_utf8, "FILE", {"ファイル"})) {
            out.file = std::move(value_utf8);
        } else if (keyword_is(key_utf8, "MEMORY", {"メモリ"})) {
            out.memory = std::move(value_utf8);
        } else if (keyword_is(key_utf8, "SHEET", {"シート"}) || keyword_is(key_utf8, "SHEET_NAME", {})) {
            out.has_sheet = true;
            out.sheet = std::move(value_utf8);
        } else {
            return book.err.raise(kBadArgument, Msg::k02200, key_utf8.c_str());
        }
        return 0;
    });
    if (walked != 0) return walked;
    if (out.file.empty() == out.memory.empty()) return book.err.raise(kBadArgument, Msg::k02440);
    if (out.memory.size() > kMfileNameMax) return book.err.raise(kBadArgument, Msg::k00005);
    return kOk;
}

// Pieces into a file that replaces its target once the page is complete.
class FileSink : public HtmlSink {
public:
    explicit FileSink(int descriptor) : descriptor_(descriptor) {}
    int write(std::string_view piece) override {
        while (!piece.empty()) {
            const ssize_t written = ::write(descriptor_, piece.data(), piece.size());
            if (written < 0 && errno == EINTR) continue;
            if (written <= 0) return kWriteError;
            piece.remove_prefix(static_cast<std::size_t>(written));
        }
        return kOk;
    }

private:
    int descriptor_;
};

class MemorySink : public HtmlSink {
public:
    explicit MemorySink(MFile *file) : file_(file) {}
    int write(std::string_view piece) override {
        return mwrite(piece.data(), 1, piece.size(), file_) == piece.size() ? kOk : kNoMemory;
    }

private:
    MFile *file_;
};

std::string page_title(const Book &book) {
    const std::string &name = book.file_name;
    const std::size_t slash = name.find_last_of('/');
    return slash == std::string::npos ? name : name.substr(slash + 1);
}

int save_html(Book &book, const char *options) {
    HtmlOptions chosen;
    if (int rc = parse_html_options(book, options, chosen); rc != kOk) return rc;
    HtmlView view;
    if (chosen.has_sheet) {
        view.sheet = find_sheet(book, chosen.sheet);
        if (view.sheet == kIndexNotFound) return book.err.raise(kNoSheet, Msg::k02320, chosen.sheet.c_str());
    }
    // The page shows what a save would write: formulas computed, automatic widths applied.
    if (int rc = prepare_book_for_save(book); rc != kOk) return rc;
    view.title = page_title(book);
    if (book.source) {
        view.package_objects.resize(book.sheets.size());
        for (int k = 0; k < book.sheet_count(); ++k)
            if (view.sheet == kEverySheet || view.sheet == k)
                if (int rc = read_sheet_objects(book, k, view.package_objects[static_cast<std::size_t>(k)]); rc != kOk)
                    return book.err.raise_out_of_memory();
    }

    if (!chosen.memory.empty()) {
        MFile *file = mopen(chosen.memory, "wb");
        if (!file) return book.err.raise_out_of_memory();
        MemorySink sink(file);
        const int rc = write_html(book, view, sink);
        mclose(file);
        if (rc != kOk) {
            mrelease(chosen.memory);
            return book.err.raise_out_of_memory();
        }
        return kOk;
    }
    const std::string path = working_path(chosen.file);
    ReplacementFile file;
    if (file.create(path) != kOk) return book.err.raise(kOpenError, Msg::k03100, chosen.file.c_str());
    FileSink sink(file.descriptor());
    int rc = write_html(book, view, sink);
    if (rc == kOk) rc = file.commit();
    if (rc != kOk) {
        file.abort();
        return book.err.raise(kWriteError, Msg::k03120, chosen.file.c_str());
    }
    return kOk;
}

}  // namespace

extern "C" {

int TXLS_save_html(XLS_BOOK *record, const char *options) {
    if (!record) return kBadArgument;
    return api_boundary(record, "TXLS_save_html()", [&] {
        Book *book = enter(record, kBadArgument);
        if (!book) return kBadArgument;
        return save_html(*book, options);
    });
}

}  // extern "C"
