// Exported data-source functions: TXLS_read_file runs a statement file; the open, paste and close
// calls of the data-source interface accept their arguments and do nothing.

#include "api/api.h"
#include "datasource/statement_file.h"
#include "support/charset.h"

using namespace tabsmith;

extern "C" {

int TXLS_read_file(XLS_BOOK *record, const char *options) {
    if (!record) return kBadArgument;
    return api_boundary(record, "TXLS_read_file()", [&] {
        Book *book = enter(record, kBadArgument);
        if (!book) return kBadArgument;
        StatementFileOptions parsed;
        parsed.charset = kSjis;
        if (int rc = parse_statement_file_options(*book, options ? options : "", parsed); rc != 0)
            return book->err.fail(rc);
        return book->err.fail(run_statement_file(*book, parsed));
    });
}

int TXLS_open_datasource(XLS_BOOK *record, const char *) {
    if (record) record->error_code = 0;
    return 0;
}
int TXLS_paste_datasource(XLS_BOOK *record, const char *) {
    if (record) record->error_code = 0;
    return 0;
}
int TXLS_close_datasource(XLS_BOOK *record) {
    if (record) record->error_code = 0;
    return 0;
}

int TXLS_error_line(XLS_BOOK *record) {
    const Book *book = book_of(record);
    return book ? book->failed_line : 0;
}

}  // extern "C"
