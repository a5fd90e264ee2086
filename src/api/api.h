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
// TXLS-00002, anything else -1 with TXLS-03600. The record gets the message even when it holds
// no book (an open that failed half way), and reporting asks for no memory where it has none.
template <typename Body>
int api_boundary(XLS_BOOK *record, const char *where, Body &&body) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc &) {
        if (Book *book = book_of(record)) return book->err.raise_out_of_memory();
        if (record) return store_out_of_memory(record->log.error_info, &record->error_code);
        return -2;
    } catch (...) {
        if (!record) return -1;
        ErrorSink detached;   // a book's own sink writes to these same fields
        detached.attach(record->log.error_info, &record->error_code);
        ErrorSink &err = book_of(record) ? book_of(record)->err : detached;
        try {
            return err.raise(-1, Msg::k03600, where);
        } catch (...) {
            return err.fail(-1);
        }
    }
}

// The book of an open record with its error code cleared; nullptr (and the record's code set
// to `closed_code`) when the record is NULL or not open.
Book *enter(XLS_BOOK *record, int closed_code = -1);

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

// Copies a UTF-8 text into a caller buffer in the book's character set. Returns 0, or -9 when
// the converted text (and its terminator) does not fit; the buffer then holds an empty text.
int copy_out(const Book &book, const std::string &utf8, char *out, int size);

}  // namespace tabsmith
