// The exported formatted read of one cell: the value rendered with the cell's own number
// format, handed back in the book's character set together with its kind name.

#include <string>

#include "api/api.h"
#include "format/number_format.h"

using namespace tabsmith;

namespace {

std::string_view formatted_value_text(const Book &book, const Cell &cell, std::string &scratch) {
    const int kind = format_kind_of_cell(book, cell);
    return scratch = format_cell_text(book, cell, is_date_kind(kind) ? kind : 0, kind, format_decimals_of_cell(book, cell));
}

}  // namespace

extern "C" {

int TXLS_get_format_cell(XLS_BOOK *record, const char *cell, char *value, int value_size, char *kind, int kind_size) {
    clear_buffer(value, value_size);
    clear_buffer(kind, kind_size);
    if (!record) return kBadArgument;
    return api_boundary(record, "TXLS_get_format_cell()", [&] {
        Book *book = enter(record, kBadArgument);
        if (!book) return kBadArgument;
        return read_cell(*book, cell, value, value_size, kind, kind_size, formatted_value_text);
    });
}

}  // extern "C"
