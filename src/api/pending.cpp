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

int TXLS_sheet_hyperlink(XLS_BOOK *book, const char *, const char *, const char *) {
    return not_yet(book, "TXLS_sheet_hyperlink()");
}
int TXLS_external_hyperlink(XLS_BOOK *book, const char *, const char *) {
    return not_yet(book, "TXLS_external_hyperlink()");
}
int TXLS_put_image_memory(XLS_BOOK *book, const char *, int, const void *, long, int, int, double, double, double,
                          const char *) {
    return not_yet(book, "TXLS_put_image_memory()");
}

}  // extern "C"
