// What every exported function shares: finding the Book behind a record, clearing the error
// code on entry, and the boundary that turns exceptions into coded results.
#pragma once

#include <cstdint>
#include <cstring>
#include <new>
#include <string>
#include <string_view>

#include "model/book.h"
#include "support/charset.h"
#include "tabsmith.h"

namespace tabsmith {

inline Book *book_of(XLS_BOOK *record) { return record ? static_cast<Book *>(record->work) : nullptr; }

// Stores a failure caught at the boundary in the record's book (if it has one) and returns
// `code`. Formatting the message takes memory; when that fails too, the code alone is stored
// and the message already there stays.
inline int boundary_failure(XLS_BOOK *record, int code, Msg id, const char *where) noexcept {
    Book *book = book_of(record);
    if (!book) return code;
    try {
        return book->err.raise(code, id, where);
    } catch (...) {
        return book->err.fail(code);
    }
}

// Runs `body` so that nothing escapes to a C caller: memory exhaustion becomes kNoMemory with
// TXLS-00002, anything else kFail with TXLS-03600. Every exported function that does more than
// return a constant runs its body through here. Running out of memory is reported without
// asking for more, and in the record even when it holds no book (an open that failed half way).
template <typename Body>
int api_boundary(XLS_BOOK *record, const char *where, Body &&body) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc &) {
        if (Book *book = book_of(record)) return book->err.raise_out_of_memory();
        if (record) return store_out_of_memory(record->log.error_info, &record->error_code);
        return kNoMemory;
    } catch (...) {
        return boundary_failure(record, kFail, Msg::k03600, where);
    }
}

// What every call does on entry: the record's error code (and the failed statement line of an
// open book) cleared.
inline void clear_call_state(XLS_BOOK *record) {
    if (!record) return;
    record->error_code = 0;
    if (Book *book = book_of(record)) book->failed_line = 0;
}

// The book of an open record with its error code cleared; nullptr (and the record's code set
// to `closed_code`) when the record is NULL or not open.
inline Book *enter(XLS_BOOK *record, int closed_code = kFail) {
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

// Converts a caller text (book character set) to UTF-8; a NULL text becomes empty.
std::string caller_to_utf8(const Book &book, const char *text);
// A caller text as UTF-8 without a copy where none is needed: a view of the caller's bytes when
// the text is plain ASCII or valid UTF-8 in a UTF-8 book, else the converted (or, for invalid
// UTF-8, repaired) text it owns.
class CallerText {
public:
    CallerText(const Book &book, const char *text);
    CallerText(const Book &book, std::string_view text);
    CallerText(const CallerText &) = delete;   // the view may point into the text it owns
    CallerText &operator=(const CallerText &) = delete;
    std::string_view view() const { return view_; }

private:
    std::string converted_;
    std::string_view view_;
};

// Empties a caller's text buffer, if there is one.
inline void clear_buffer(char *out, int size) {
    if (out && size > 0) out[0] = '\0';
}

// The value text TXLS_get_cell or TXLS_get_format_cell hands out for a cell (UTF-8).
// A view of the cell's own text or of `scratch`, as cell_value_view gives it.
using CellText = std::string_view (*)(const Book &book, const Cell &cell, std::string &scratch);

// The read behind the get-cell calls: resolves the caller's cell name (book character set),
// checks the position against the rows and cells in use, makes it current and copies out
// `value_text` of the cell and its kind name. The call's result, stored in the book.
int read_cell(Book &book, const char *cell, char *value, int value_size, char *kind, int kind_size,
              CellText value_text);

// Copies `text` and its terminator into `out` (room checked by the caller) when it is ASCII,
// the same text in every caller set but UTF-16; false, with `out` scribbled on, when it is not.
// The check and the copy are one pass over the text.
inline bool copy_if_ascii(std::string_view text, char *out) {
    std::uint64_t high = 0;
    std::size_t i = 0;
    for (; i + 8 <= text.size(); i += 8) {
        std::uint64_t word;
        std::memcpy(&word, text.data() + i, sizeof word);
        high |= word;
        std::memcpy(out + i, &word, sizeof word);
    }
    for (; i < text.size(); ++i) {
        high |= static_cast<unsigned char>(text[i]);
        out[i] = text[i];
    }
    if ((high & 0x8080808080808080ULL) != 0) return false;
    out[text.size()] = '\0';
    return true;
}

// copy_out for text that needs converting, or does not fit.
int copy_out_converted(const Book &book, std::string_view utf8, char *out, int size);

// Copies a UTF-8 text into a caller buffer in the book's character set. Returns 0, or kLimit when
// the converted text (and its terminator) does not fit; the buffer then holds an empty text.
// ASCII, what most cells hold, is copied here; any other text by copy_out_converted.
inline int copy_out(const Book &book, std::string_view utf8, char *out, int size) {
    if (out && size > 0 && book.charset != kUtf16le && utf8.size() < static_cast<std::size_t>(size) &&
        copy_if_ascii(utf8, out))
        return 0;
    return copy_out_converted(book, utf8, out, size);
}

}  // namespace tabsmith
