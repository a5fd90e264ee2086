// Exported functions whose subsystems are still to come: they exist so that callers link,
// and answer kFail with TXLS-03600 naming themselves.

#include "api/api.h"

using namespace tabsmith;

namespace {

int not_yet(XLS_BOOK *record, const char *name) {
    return api_boundary(record, name, [&] {
        if (Book *book = enter(record)) return book->err.raise(kFail, Msg::k03600, name);
        return kFail;
    });
}

}  // namespace

extern "C" {

int TXLS_write_row(XLS_BOOK *book, int) { return not_yet(book, "TXLS_write_row()"); }

}  // extern "C"
