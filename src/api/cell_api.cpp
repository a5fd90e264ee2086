// Exported cell value functions: put, get, get along a row or column, search, and variables.
// Texts cross here between the book's character set and the engine's UTF-8.

#include <algorithm>
#include <charconv>
#include <cstring>
#include <string>

#include "api/api.h"
#include "model/address.h"
#include "cells/values.h"
#include "support/charset.h"

using namespace tabsmith;

namespace {

// The sheet and position a caller's cell name (book character set) stands for; kBadArgument
// after TXLS-02300 (or the inner message). A plain name ("B12"), what report loops pass, is read
// straight from the caller's bytes.
int resolve_for_cells(Book &book, const char *name_text, int &sheet, int &row, int &column) {
    if (name_text && plain_cell_name(name_text, row, column)) {
        sheet = book.current_sheet;
        return 0;
    }
    CallerText caller_name(book, name_text);
    const std::string_view name = caller_name.view();
    CellRef ref;
    int rc = name_text ? resolve_cell(book, name, ref) : kNotAReference;
    if (rc == kBadArgument) return kBadArgument;
    if (rc != 0 || ref.is_range) return book.err.raise(kBadArgument, Msg::k02300, std::string(name).c_str());
    sheet = ref.sheet >= 0 ? ref.sheet : book.current_sheet;
    row = ref.row1;
    column = ref.column1;
    return 0;
}

// The value of a number cell written straight into the caller's buffer, the same text
// cell_value_view gives: what most cells of a walk over a sheet hold. False for any other cell,
// or when the text does not fit, which then goes the general way.
bool put_number_value(const Book &book, const Cell &cell, char *out, int size) {
    if ((cell.kind != kCellInteger && cell.kind != kCellFloat) || book.unload || book.charset == kUtf16le ||
        size < 2 || !cell.text().empty())
        return false;
    const std::to_chars_result written = write_number_text(cell, out, out + size - 1);
    if (written.ec != std::errc()) return false;
    *written.ptr = '\0';
    return true;
}

// Fills `count` buffers from (sheet, row, column) onwards; the values past the rows or cells in
// use are empty. The buffers have been checked and emptied by the caller.
int read_values(Book &book, int direction, int sheet_index, long long row, long long column, int count, char **out,
                int size) {
    const Sheet *sheet = book.sheet(sheet_index);
    if (!sheet) return kSheetIndex;
    std::string scratch;
    // Along a row, the row is looked up once.
    const Row *along = !direction && row < sheet->rows_used && row < static_cast<long long>(sheet->rows.size())
                           ? &sheet->rows[static_cast<std::size_t>(row)]
                           : nullptr;
    for (int i = 0; i < count; ++i) {
        long long r = direction ? row + i : row;
        long long c = direction ? column : column + i;
        if (r >= sheet->rows_used || c >= book.max_columns) break;
        const Cell *cell = along ? find_cell_in_row(*along, static_cast<int>(c))
                                 : find_cell(book, sheet_index, static_cast<int>(r), static_cast<int>(c));
        if (!cell) continue;
        if (!put_number_value(book, *cell, out[i], size) &&
            copy_out(book, cell_value_view(book, *cell, scratch), out[i], size) != 0)
            return book.err.raise(kOverflow, Msg::k03009, size, "CELL_STRING");
    }
    return 0;
}

bool buffers_ok(char **out, int count, int size) {
    if (!out || count < 0 || size < 1) return false;
    for (int i = 0; i < count; ++i)
        if (!out[i]) return false;
    return true;
}

void empty_buffers(char **out, int count) {
    for (int i = 0; i < count; ++i) out[i][0] = '\0';
}

std::string field_text(const Book &book, const char *field, std::size_t size) {
    return to_utf8(std::string_view(field, strnlen(field, size)), book.charset);
}

int search_new(Book &book, TXLS_SEARCH &search, const std::string &text, char **out, int size) {
    int first_sheet = 0, last_sheet = book.sheet_count() - 1;
    std::string sheet_name = field_text(book, search.sheet_name, sizeof search.sheet_name);
    if (!sheet_name.empty()) {
        first_sheet = last_sheet = find_sheet(book, sheet_name);
        if (first_sheet == kIndexNotFound) return kBadArgument;
    }
    std::string range = field_text(book, search.range, sizeof search.range);
    CellRef area;
    bool whole_sheet = range.empty();
    if (!whole_sheet) {
        int rc = resolve_range(book, range, area);
        if (rc != 0 || !area.is_range) return kBadArgument;
    }
    for (int s = first_sheet; s <= last_sheet; ++s) {
        const Sheet *sheet = book.sheet(s);
        if (!sheet) continue;
        // Corners may be written in either order ("C3:A1").
        int row1 = whole_sheet ? 0 : std::min(area.row1, area.row2);
        int row2 = whole_sheet ? sheet->rows_used - 1 : std::max(area.row1, area.row2);
        int column1 = whole_sheet ? 0 : std::min(area.column1, area.column2);
        int column2 = whole_sheet ? book.max_columns - 1 : std::max(area.column1, area.column2);
        row2 = std::min({row2, sheet->rows_used - 1, static_cast<int>(sheet->rows.size()) - 1});
        for (int r = row1; r <= row2; ++r) {
            const Row &row = sheet->rows[static_cast<std::size_t>(r)];
            int last = std::min<int>(column2, row.used - 1);
            for (int c = column1; c <= last; ++c) {
                const Cell *cell = find_cell(book, s, r, c);
                if (!cell) continue;
                std::string value = cell_value_text(book, *cell);
                bool hit = search.match_mode == 1 ? equals_ignore_case(value, text) : value == text;
                if (!hit) continue;
                search.hit_sheet = s;
                search.hit_row = r;
                search.hit_column = c;
                search.remaining = 0;
                for (const MergeArea &merge : sheet->merges) {
                    if (merge.row1 == r && merge.column1 == c) {
                        search.remaining = search.direction ? merge.row2 - merge.row1 : merge.column2 - merge.column1;
                        if (search.remaining < 0) search.remaining = 0;
                        break;
                    }
                }
                return read_values(book, search.direction, s, r, c, search.count, out, size);
            }
        }
    }
    return kNoSheet;
}

}  // namespace

namespace tabsmith {

int read_cell(Book &book, const char *cell, char *value, int value_size, char *kind, int kind_size,
              CellText value_text) {
    if (!value || value_size < 1) return book.err.fail(kBadArgument);
    if (!book.current()) return book.err.fail(kSheetIndex);
    int sheet_index = 0, row = 0, column = 0;
    if (int rc = resolve_for_cells(book, cell, sheet_index, row, column); rc != 0) return book.err.fail(rc);
    const Sheet *sheet = book.sheet(sheet_index);
    if (!sheet) return book.err.fail(kSheetIndex);
    if (row >= sheet->rows_used) return book.err.fail(kRowIndex);
    const Row &stored_row = sheet->rows[static_cast<std::size_t>(row)];
    if (column >= stored_row.used) return book.err.fail(kColumnIndex);
    book.current_row = row;
    book.current_column = column;

    const Cell *found = find_cell_in_row(stored_row, column);
    if (!found) return book.err.fail(0);   // an emptied slot reads as nothing
    const bool date_kind = found->kind == kCellDate || found->kind == kCellDateTime ||
                           found->kind == kCellTimeHm || found->kind == kCellTimeHms;
    std::string scratch;
    // The plain value of a number (TXLS_get_cell's) goes straight into the buffer.
    if (!(value_text == cell_value_view && put_number_value(book, *found, value, value_size)) &&
        copy_out(book, value_text(book, *found, scratch), value, value_size) != 0)
        return book.err.raise(kOverflow, Msg::k03009, value_size,
                              date_kind ? "CELL_DATE/CELL_DATE_TIME" : "CELL_STRING");

    if (kind && kind_size >= 1) {
        if (copy_out(book, cell_kind_name(*found, scratch), kind, kind_size) != 0 && found->kind == kCellFormula)
            return book.err.raise(kOverflow, Msg::k03009, kind_size, "CELL_FORMULA");
    }
    return book.err.fail(0);
}

}  // namespace tabsmith

extern "C" {

int TXLS_put_cell(XLS_BOOK *record, const char *cell, const char *value) {
    if (!record) return kBadArgument;
    return api_boundary(record, "TXLS_put_cell()", [&] {
        Book *book = enter(record, kBadArgument);
        if (!book) return kBadArgument;
        int sheet = 0, row = 0, column = 0;
        if (int rc = resolve_for_cells(*book, cell, sheet, row, column); rc != 0)
            return book->err.fail(rc);
        if (!value) return book->err.fail(kBadArgument);
        const std::string_view raw(value);
        if (check_value_length(*book, raw.size()) != 0) return book->err.fail(kOverflow);
        int rc = put_cell_value(*book, sheet, row, column, CallerText(*book, raw).view());
        if (rc == kLimit) rc = kOverflow;
        return book->err.fail(rc);
    });
}

int TXLS_get_cell(XLS_BOOK *record, const char *cell, char *value, int value_size, char *kind, int kind_size) {
    clear_buffer(value, value_size);
    clear_buffer(kind, kind_size);
    if (!record) return kBadArgument;
    return api_boundary(record, "TXLS_get_cell()", [&] {
        Book *book = enter(record, kBadArgument);
        if (!book) return kBadArgument;
        return read_cell(*book, cell, value, value_size, kind, kind_size, cell_value_view);
    });
}

int TXLS_get_cells(XLS_BOOK *record, int direction, int sheet, int row, int column, int count, char **out, int size) {
    if (!record) return kBadArgument;
    return api_boundary(record, "TXLS_get_cells()", [&] {
        Book *book = enter(record, kBadArgument);
        if (!book) return kBadArgument;
        if (!buffers_ok(out, count, size)) return book->err.fail(kBadArgument);
        empty_buffers(out, count);
        if (!book->sheet(sheet)) return book->err.fail(kSheetIndex);
        if (row < 0 || column < 0) return book->err.fail(kBadArgument);
        return book->err.fail(read_values(*book, direction, sheet, row, column, count, out, size));
    });
}

int TXLS_search(XLS_BOOK *record, TXLS_SEARCH *search, const char *text, char **out, int size) {
    if (!record) return kBadArgument;
    return api_boundary(record, "TXLS_search()", [&] {
        Book *book = enter(record, kBadArgument);
        if (!book) return kBadArgument;
        if (!search || !buffers_ok(out, search->count, size)) return book->err.fail(kBadArgument);
        empty_buffers(out, search->count);
        if (search->remaining > 0) {
            // A continuation walks on from the last hit through the merged area.
            if (!book->sheet(search->hit_sheet) || search->hit_row < 0 || search->hit_column < 0)
                return book->err.fail(kBadArgument);
            // The record is the caller's: a step past the last row or column of a sheet (the
            // record may hold any position, up to INT_MAX) ends the search like a search that
            // finds nothing, and the next call starts anew.
            const bool down = search->direction != 0;
            const long long next = 1LL + (down ? search->hit_row : search->hit_column);
            if (next >= (down ? book->max_rows : book->max_columns)) {
                search->remaining = 0;
                return book->err.fail(kNoSheet);
            }
            (down ? search->hit_row : search->hit_column) = static_cast<int>(next);
            --search->remaining;
            return book->err.fail(read_values(*book, search->direction, search->hit_sheet, search->hit_row,
                                              search->hit_column, search->count, out, size));
        }
        if (!text || !*text) return book->err.fail(kBadArgument);
        return book->err.fail(search_new(*book, *search, caller_to_utf8(*book, text), out, size));
    });
}

int TXLS_put_variable(XLS_BOOK *record, const char *key, const char *value) {
    if (!record) return kBadArgument;
    return api_boundary(record, "TXLS_put_variable()", [&] {
        Book *book = enter(record, kBadArgument);
        if (!book) return kBadArgument;
        if (!key || !value) return book->err.fail(kBadArgument);
        if (tsx_put_resource(*book, caller_to_utf8(*book, key), caller_to_utf8(*book, value)) != 0)
            return book->err.fail(kFail);
        return 0;
    });
}

}  // extern "C"
