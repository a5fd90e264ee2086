// TXLS_write_row: the caller hands a finished row of the current sheet out of memory; the
// open option STREAM_AFTER says from which row on.

#include "api/api.h"
#include "datasource/row_stream.h"

using namespace tabsmith;

extern "C" {

int TXLS_write_row(XLS_BOOK *record, int row) {
    return api_boundary(record, "TXLS_write_row()", [&] {
        Book *book = enter(record);
        if (!book) return kFail;
        return book->err.fail(stream_row(*book, row));
    });
}

}  // extern "C"
