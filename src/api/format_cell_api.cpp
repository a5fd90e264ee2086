// The exported formatted read of one cell: the value rendered with the cell's own number
// format, handed back in the book's character set together with its kind name.

#include <string>

#include "api/api.h"
#include "model/address.h"
#include "cells/values.h"
#include "format/number_format.h"

using namespace tabsmith;

namespace {

void clear_buffer(char *out, int size) {
    if (out && size > 0) out[0] = '\0';
}

bool is_date_cell(const Cell &cell) {
    return cell.kind == kCellDate || cell.kind == kCellDateTime || cell.kind == kCellTimeHm ||
           cell.kind == kCellTimeHms;
}

}  // namespace

extern "C" {

int TXLS_get_format_cell(XLS_BOOK *record, const char *cell, char *value, int value_size, char *kind, int kind_size) {
    clear_buffer(value, value_size);
    clear_buffer(kind, kind_size);
    if (!record) return -3;
    return api_boundary(record, "TXLS_get_format_cell()", [&] {
        Book *book = enter(record, -3);
        if (!book) return -3;
        if (!value || value_size < 1) return book->err.fail(-3);
        if (!book->current()) return book->err.fail(-901);
        std::string name = caller_to_utf8(*book, cell);
        CellRef ref;
        int rc = cell ? resolve_cell(*book, name, ref) : -1;
        if (rc == -3) return book->err.fail(-3);
        if (rc != 0 || ref.is_range) return book->err.raise(-3, Msg::k02300, name.c_str());
        const int sheet_index = ref.sheet >= 0 ? ref.sheet : book->current_sheet;
        const Sheet *sheet = book->sheet(sheet_index);
        if (!sheet) return book->err.fail(-901);
        if (ref.row1 >= sheet->rows_used) return book->err.fail(-902);
        if (ref.column1 >= sheet->rows[static_cast<std::size_t>(ref.row1)].used) return book->err.fail(-903);
        book->current_row = ref.row1;
        book->current_column = ref.column1;

        const Cell *found = find_cell(*book, sheet_index, ref.row1, ref.column1);
        if (!found) return book->err.fail(0);
        const int format_kind = format_kind_of_cell(*book, *found);
        std::string text = format_cell_text(*book, *found, is_date_kind(format_kind) ? format_kind : 0, format_kind,
                                            format_decimals_of_cell(*book, *found));
        if (copy_out(*book, text, value, value_size) != 0)
            return book->err.raise(-909, Msg::k03009, value_size,
                                   is_date_cell(*found) ? "CELL_DATE/CELL_DATE_TIME" : "CELL_STRING");

        if (kind && kind_size >= 1) {
            if (copy_out(*book, cell_kind_name(*found), kind, kind_size) != 0 && found->kind == kCellFormula)
                return book->err.raise(-909, Msg::k03009, kind_size, "CELL_FORMULA");
        }
        return book->err.fail(0);
    });
}

}  // extern "C"
