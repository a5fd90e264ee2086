// Exported cell-name functions: names from 1-based positions, and the checks whether a caller
// text names a cell or a range.

#include <cstring>

#include "api/api.h"
#include "model/address.h"

using namespace tabsmith;

namespace {

constexpr std::size_t kCallerTextLimit = 6001;  // texts this long or longer are refused

// The A1 name of a 1-based position, checked before the conversion to 0-based so that no
// argument, however far outside the sheet, can overflow: 0, or kBadArgument.
int caller_cell_name(int row, int column, std::string &out) {
    if (row < 1 || row > kMaxNameRow + 1 || column < 1 || column > kMaxNameColumn + 1) return kBadArgument;
    return cell_name(row - 1, column - 1, out) == 0 ? 0 : kBadArgument;
}

// Copies an ASCII name with its terminator: 0, or kOverflow (buffer left empty) when it does not fit.
int put_name(std::string_view name, char *out, int size) {
    if (size <= 0) return kOverflow;
    if (name.size() + 1 > static_cast<std::size_t>(size)) {
        out[0] = '\0';
        return kOverflow;
    }
    std::memcpy(out, name.data(), name.size());
    out[name.size()] = '\0';
    return 0;
}

// The caller's text in UTF-8, or false when it is too long to be looked at.
bool caller_text(const Book &book, const char *text, std::string &utf8) {
    if (strnlen(text, kCallerTextLimit) >= kCallerTextLimit) return false;
    utf8 = caller_to_utf8(book, text);
    return true;
}

// Reads a caller's cell or range text (book character set, computed forms allowed) into a
// reference: 0, kBadArgument for a malformed text, kNoSheet for a text that names no cell or
// range.
int resolve_caller_text(Book &book, const char *text, bool range_allowed, CellRef &ref) {
    // The text is read in the book's character set like every caller text, so that sheet
    // prefixes and variable names outside ASCII are found.
    std::string utf8, expanded;
    if (!caller_text(book, text, utf8)) return kBadArgument;
    int rc = expand_computed_forms(book, utf8, expanded);
    if (rc == kBadArgument) return kBadArgument;
    if (rc != 0) return kNoSheet;
    rc = range_allowed ? resolve_reference(book, expanded, ref) : resolve_cell(book, expanded, ref);
    if (rc == kBadArgument) return kBadArgument;
    return rc != 0 ? kNoSheet : 0;
}

}  // namespace

extern "C" {

int TXLS_cell_name(int row, int column, char *out, int size) {
    return api_boundary(nullptr, "TXLS_cell_name()", [&] {
        if (!out) return kBadArgument;
        // Checked before the conversion to 0-based, so that no argument can overflow. A buffer
        // with room for any name takes it directly: report loops name every cell they put.
        char name[kCellNameBytes];
        char *to = size >= static_cast<int>(kCellNameBytes) ? out : name;
        const std::size_t length = row >= 1 && column >= 1 ? write_cell_name(row - 1, column - 1, to) : 0;
        if (length == 0) {
            if (size > 0) out[0] = '\0';
            return kBadArgument;
        }
        if (to == out) {
            out[length] = '\0';
            return kOk;
        }
        return put_name(std::string_view(name, length), out, size);
    });
}

int TXLS_cell_range(int row1, int column1, int row2, int column2, char *out, int size) {
    return api_boundary(nullptr, "TXLS_cell_range()", [&] {
        if (!out) return kBadArgument;
        std::string first, second;
        if (caller_cell_name(row1, column1, first) != 0 || caller_cell_name(row2, column2, second) != 0) {
            if (size > 0) out[0] = '\0';
            return kBadArgument;
        }
        return put_name(first + ":" + second, out, size);
    });
}

int TXLS_is_cell(XLS_BOOK *record, const char *text, int *row, int *column) {
    return api_boundary(record, "TXLS_is_cell()", [&] {
        Book *book = enter(record, kBadArgument);
        if (!book) return kBadArgument;
        if (!text || !row || !column) return book->err.fail(kBadArgument);
        CellRef ref;
        if (int rc = resolve_caller_text(*book, text, false, ref); rc != 0) return book->err.fail(rc);
        *row = ref.row1 + 1;
        *column = ref.column1 + 1;
        return book->err.fail(0);
    });
}

int TXLS_is_range(XLS_BOOK *record, const char *text, int *row1, int *column1, int *row2, int *column2) {
    return api_boundary(record, "TXLS_is_range()", [&] {
        Book *book = enter(record, kBadArgument);
        if (!book) return kBadArgument;
        if (!text || !row1 || !column1 || !row2 || !column2) return book->err.fail(kBadArgument);
        CellRef ref;
        if (int rc = resolve_caller_text(*book, text, true, ref); rc != 0) return book->err.fail(rc);
        if (!ref.is_range) return kBadArgument;  // a single cell: refused, but no failure of the book
        *row1 = ref.row1 + 1;
        *column1 = ref.column1 + 1;
        *row2 = ref.row2 + 1;
        *column2 = ref.column2 + 1;
        return book->err.fail(0);
    });
}

}  // extern "C"
