// TXLS_save_pdf: the book saved into a private temporary folder and turned into a PDF there by the
// converter; the folder goes however the call ends, and the book stays open.

#include <charconv>
#include <cmath>

#include "api/api.h"
#include "api/book_init.h"
#include "api/open_options.h"
#include "export/pdf_conversion.h"
#include "support/charset.h"
#include "support/files.h"
#include "support/scanner.h"

using namespace tabsmith;

namespace {

constexpr std::size_t kPdfOptionPathBytes = 256;   // FILE and SOFFICE, as every file option
constexpr double kLongestPdfTimeoutSeconds = 86400;
constexpr std::string_view kPdfFolderPrefix = "tabsmith-pdf-";

struct PdfOptions {
    std::string file;                                 // UTF-8, as the caller named it
    std::string converter = kDefaultPdfConverter;
    double timeout_seconds = kDefaultPdfTimeoutSeconds;
};

bool parse_seconds(const std::string &text, double &seconds) {
    const char *end = text.data() + text.size();
    auto [stop, rc] = std::from_chars(text.data(), end, seconds);
    return rc == std::errc() && stop == end && std::isfinite(seconds) && seconds > 0 &&
           seconds <= kLongestPdfTimeoutSeconds;
}

// "FILE=out.pdf SOFFICE=/path TIMEOUT=120" in the book's character set. 0, or kBadArgument with
// its message.
int parse_pdf_options(Book &book, std::string_view text, PdfOptions &options) {
    bool have_file = false;
    const int walked = for_each_option(text, book.charset, book.err, [&](const std::string &key, const std::string &value) {
        const bool is_file = keyword_is(key, "FILE", {"ファイル"});
        if (is_file || keyword_is(key, "SOFFICE", {"変換プログラム"})) {
            if (value.size() > kPdfOptionPathBytes) return book.err.raise(kBadArgument, Msg::k00005);
            if (value.empty()) return book.err.raise(kBadArgument, Msg::k02303, key.c_str());
            (is_file ? options.file : options.converter) = value;
            have_file = have_file || is_file;
        } else if (keyword_is(key, "TIMEOUT", {"タイムアウト"})) {
            if (!parse_seconds(value, options.timeout_seconds)) return book.err.raise(kBadArgument, Msg::k02200, value.c_str());
        } else {
            return book.err.raise(kBadArgument, Msg::k02200, key.c_str());
        }
        return 0;
    });
    if (walked != 0) return walked;
    if (!have_file) return book.err.raise(kBadArgument, Msg::k02303, "FILE");
    return 0;
}

// The conversion's private folder, removed with everything in it however the call ends.
struct PdfWorkFolder {
    std::string path;
    ~PdfWorkFolder() {
        if (!path.empty()) remove_folder_tree(path);
    }
};

int save_pdf(Book &book, const char *options_text) {
    PdfOptions options;
    if (int rc = parse_pdf_options(book, options_text ? options_text : "", options); rc != 0) return rc;
    PdfConversion conversion;
    conversion.converter = options.converter;
    conversion.timeout_seconds = options.timeout_seconds;
    conversion.target = working_path(options.file);
    if (int rc = find_pdf_converter(conversion, book.err); rc != 0) return rc;

    PdfWorkFolder folder;
    if (unique_temp_folder(kPdfFolderPrefix, folder.path) != 0)
        return book.err.raise(kWriteError, Msg::k03122, (std::string(kPdfFolderPrefix) + "*").c_str());
    conversion.work_folder = folder.path;
    conversion.book_path = folder.path + (book.macro ? "/book.xlsm" : "/book.xlsx");
    const std::string before = book.err.message_sjis();
    if (int rc = save_book_copy(book, SaveTarget{false, conversion.book_path}); rc != 0)
        return save_failure(book, rc, before != book.err.message_sjis(), conversion.book_path);
    return convert_book_to_pdf(conversion, book.err);
}

}  // namespace

extern "C" {

int TXLS_save_pdf(XLS_BOOK *record, const char *options) {
    if (!record) return kBadArgument;
    return api_boundary(record, "TXLS_save_pdf()", [&] {
        Book *book = enter(record, kBadArgument);
        if (!book) return kBadArgument;
        if (!options) return book->err.raise(kBadArgument, Msg::k02303, "FILE");
        return save_pdf(*book, options);
    });
}

}  // extern "C"
