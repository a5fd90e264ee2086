// What every exported function shares: finding the Book behind a record, clearing the error
// code on entry, and the boundary that turns exceptions into coded results.
#pragma once

#include <new>
#include <string>
#include <string_view>

#include "model/book.h"
#include "tabsmith.h"

namespace tabsmith {

inline Book *book_of(XLS_BOOK *record) { return record ? static_cast<Book *>(record->work) : nullptr; }

// Runs `body` so that nothing escapes to a C caller: memory exhaustion becomes -2 with
// TXLS-00002, anything else -1 with TXLS-03600.
template <typename Body>
int api_boundary(XLS_BOOK *record, const char *where, Body &&body) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc &) {
        if (Book *book = book_of(record)) return book->err.raise(-2, Msg::k00002);
        return -2;
    } catch (...) {
        if (Book *book = book_of(record)) return book->err.raise(-1, Msg::k03600, where);
        return -1;
    }
}

// The book of an open record with its error code cleared; nullptr (and the record's code set
// to `closed_code`) when the record is NULL or not open.
Book *enter(XLS_BOOK *record, int closed_code = kFail);

// Converts a caller text (book character set) to UTF-8; a NULL text becomes empty.
std::string caller_to_utf8(const Book &book, const char *text);
// A caller text as UTF-8 without a copy where none is needed: a view of the caller's bytes in
// a UTF-8 book or when the text is plain ASCII, else the converted text it owns.
class CallerText {
public:
    CallerText(const Book &book, const char *text);
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
using CellText = std::string (*)(const Book &book, const Cell &cell);

// The read behind the get-cell calls: resolves the caller's cell name (book character set),
// checks the position against the rows and cells in use, makes it current and copies out
// `value_text` of the cell and its kind name. The call's result, stored in the book.
int read_cell(Book &book, const char *cell, char *value, int value_size, char *kind, int kind_size,
              CellText value_text);

// Copies a UTF-8 text into a caller buffer in the book's character set. Returns 0, or kLimit when
// the converted text (and its terminator) does not fit; the buffer then holds an empty text.
int copy_out(const Book &book, const std::string &utf8, char *out, int size);

}  // namespace tabsmith
