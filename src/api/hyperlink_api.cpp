// The hyperlink functions of the C API: a link from a cell of the current sheet to a place in
// the book or to an external target.

#include <string>

#include "api/api.h"
#include "model/address.h"
#include "model/annotations.h"

using namespace tabsmith;

namespace {

// The written cell a link goes on: its sheet and position. kBadArgument after TXLS-02300 when
// the name cannot be read or names no cell holding a value.
int link_cell(Book &book, const char *name_text, int &sheet, int &row, int &column) {
    CallerText name(book, name_text);
    CellRef ref;
    int rc = name_text ? resolve_cell(book, name.view(), ref) : kNotAReference;
    if (rc == kBadArgument) return kBadArgument;
    if (rc != 0 || ref.is_range) return book.err.raise(kBadArgument, Msg::k02300, std::string(name.view()).c_str());
    sheet = ref.sheet >= 0 ? ref.sheet : book.current_sheet;
    row = ref.row1;
    column = ref.column1;
    if (!find_cell(book, sheet, row, column))
        return book.err.raise(kBadArgument, Msg::k02300, std::string(name.view()).c_str());
    return kOk;
}

// The results of the link functions: a fixed limit reads as an overflow, as it does for values.
int link_result(Book &book, int rc) { return book.err.fail(rc == kLimit ? kOverflow : rc); }

}  // namespace

extern "C" {

int TXLS_sheet_hyperlink(XLS_BOOK *record, const char *cell, const char *sheet_name, const char *target_cell) {
    if (!record) return kBadArgument;
    return api_boundary(record, "TXLS_sheet_hyperlink()", [&] {
        Book *book = enter(record, kBadArgument);
        if (!book) return kBadArgument;
        int sheet = 0, row = 0, column = 0;
        if (int rc = link_cell(*book, cell, sheet, row, column); rc != kOk) return book->err.fail(rc);
        if (!sheet_name || !*sheet_name) return book->err.fail(kBadArgument);
        CallerText target(*book, target_cell);
        int target_row = 0, target_column = 0;
        // A place to go to is one plain cell: no sheet prefix, no wildcard.
        if (!target_cell || target.view().find('*') != std::string_view::npos ||
            parse_cell_name(target.view(), target_row, target_column) != 0)
            return book->err.raise(kBadArgument, Msg::k02300, std::string(target.view()).c_str());
        const std::string name = caller_to_utf8(*book, sheet_name);
        return link_result(*book, set_hyperlink(*book, sheet, row, column, HyperlinkKind::kInBook, name,
                                                target_row + 1, target_column + 1));
    });
}

int TXLS_external_hyperlink(XLS_BOOK *record, const char *cell, const char *target) {
    if (!record) return kBadArgument;
    return api_boundary(record, "TXLS_external_hyperlink()", [&] {
        Book *book = enter(record, kBadArgument);
        if (!book) return kBadArgument;
        int sheet = 0, row = 0, column = 0;
        if (int rc = link_cell(*book, cell, sheet, row, column); rc != kOk) return book->err.fail(rc);
        // An empty relationship target makes a package that programs refuse.
        if (!target || !*target) return book->err.fail(kBadArgument);
        return link_result(*book, set_hyperlink(*book, sheet, row, column, HyperlinkKind::kExternal,
                                                caller_to_utf8(*book, target)));
    });
}

}  // extern "C"
