// Shared plumbing of the exported functions: entering a call on a record and moving texts
// across the boundary in the book's character set.

#include "api/api.h"

#include <cstring>

#include "support/charset.h"

namespace tabsmith {

Book *enter(XLS_BOOK *record, int closed_code) {
    if (!record) return nullptr;
    Book *book = book_of(record);
    if (!book) {
        record->error_code = closed_code;
        return nullptr;
    }
    book->err.clear_code();
    book->failed_line = 0;
    return book;
}

std::string caller_to_utf8(const Book &book, const char *text) {
    if (!text) return {};
    return to_utf8(text, book.charset);
}

CallerText::CallerText(const Book &book, const char *text) {
    if (!text) return;
    std::string_view raw(text);
    if (is_ascii(raw) || (book.charset == kUtf8 && is_valid_utf8(raw))) {
        view_ = raw;
    } else {
        converted_ = to_utf8(raw, book.charset);
        view_ = converted_;
    }
}

int copy_out(const Book &book, const std::string &utf8, char *out, int size) {
    if (!out || size <= 0) return kLimit;
    std::string converted = from_utf8(utf8, book.charset);
    if (converted.size() + 1 > static_cast<std::size_t>(size)) {
        out[0] = '\0';
        return kLimit;
    }
    std::memcpy(out, converted.data(), converted.size());
    out[converted.size()] = '\0';
    return 0;
}

}  // namespace tabsmith
