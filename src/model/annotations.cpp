// Hyperlink records and the two texts they are made from: a HYPERLINK target and a cell value
// of the "#Sheet!Cell\"text\"" form.

#include "model/annotations.h"

#include <new>

#include "model/address.h"
#include "model/book.h"
#include "support/results.h"

namespace tabsmith {

std::string external_hyperlink_target(std::string_view text) {
    const std::size_t at = text.find('@');
    if (at != std::string_view::npos && text.find('.', at + 1) != std::string_view::npos)
        return "mailto:" + std::string(text);
    return std::string(text);
}

int set_hyperlink(Book &book, int sheet_index, int row, int column, HyperlinkKind kind, std::string_view text,
                  int target_row, int target_column, const char *limit_name) {
    Sheet *sheet = book.sheet(sheet_index);
    if (!sheet) return kBadArgument;
    Hyperlink link;
    link.kind = kind;
    link.row = row;
    link.column = column;
    try {
        if (kind == HyperlinkKind::kExternal) {
            link.target = external_hyperlink_target(text);
        } else {
            if (text.size() > kHyperlinkSheetBytes)
                return book.err.raise(kLimit, Msg::k03009, static_cast<int>(text.size()), limit_name);
            link.target_sheet.assign(text);
            link.target_row = target_row;
            link.target_column = target_column;
        }
        // One link per cell: a later link replaces the earlier one, as it does in a workbook.
        auto &links = sheet->annotations.hyperlinks;
        bool replaced = false;
        for (Hyperlink &old : links)
            if (old.row == row && old.column == column) {
                old = std::move(link);
                replaced = true;
                break;
            }
        if (!replaced) links.push_back(std::move(link));
        if (!book.from_file) {
            if (ensure_cell(book, *sheet, row, column) != 0) return book.err.raise(kNoMemory, Msg::k00002);
            Cell &cell = sheet->rows[static_cast<std::size_t>(row)].cells[static_cast<std::size_t>(column)];
            if (cell.style == 0) cell.style = kXfHyperlink;
        }
    } catch (const std::bad_alloc &) {
        return book.err.raise(kNoMemory, Msg::k00002);
    }
    return kOk;
}

bool looks_like_value_hyperlink(std::string_view value) {
    if (value.size() < 3 || value.front() != '#' || value.back() != '"') return false;
    // The "!" must belong to the target, not to the text shown: it comes before the first quote.
    const std::size_t quote = value.find('"');
    const std::size_t mark = value.find('!');
    return mark != std::string_view::npos && mark < quote;
}

int parse_value_hyperlink(Book &book, std::string_view value, ValueHyperlink &link) {
    const std::size_t quote = value.find('"');
    // A sheet name may hold "!" itself; the target's separator is the last one before the quote.
    const std::size_t mark = value.rfind('!', quote);
    std::string_view sheet = value.substr(1, mark - 1);
    std::string_view cell = value.substr(mark + 1, quote - mark - 1);
    // The text shown runs to the closing quote; a value with one quote shows nothing.
    std::string_view display = quote + 1 < value.size() ? value.substr(quote + 1, value.size() - quote - 2)
                                                       : std::string_view();
    // A quoted sheet name ('Q1 results') is named without its quotes, '' standing for one.
    std::string name;
    if (sheet.size() >= 2 && sheet.front() == '\'' && sheet.back() == '\'') {
        sheet = sheet.substr(1, sheet.size() - 2);
        for (std::size_t i = 0; i < sheet.size(); ++i) {
            name += sheet[i];
            if (sheet[i] == '\'' && i + 1 < sheet.size() && sheet[i + 1] == '\'') ++i;
        }
    } else {
        name.assign(sheet);
    }
    if (name.size() > kHyperlinkSheetBytes)
        return book.err.raise(kLimit, Msg::k03009, static_cast<int>(name.size()), "tsx_check_hyperlink() XLS_SHEET_LEN");
    if (cell.size() >= kHyperlinkCellNameBytes)
        return book.err.raise(kLimit, Msg::k03009, static_cast<int>(cell.size()), "tsx_check_hyperlink() CELL_NAME_LEN");
    int row = 0, column = 0;
    // Only a plain name: the wildcard forms ("A*") name no single place to go to.
    if (name.empty() || cell.find('*') != std::string_view::npos || parse_cell_name(cell, row, column) != 0)
        return kFail;
    link.sheet = std::move(name);
    link.row = row + 1;
    link.column = column + 1;
    link.display.assign(display);
    return kOk;
}

const TableFormat *table_at(const SheetAnnotations &annotations, int row, int column) {
    for (auto it = annotations.tables.rbegin(); it != annotations.tables.rend(); ++it)
        if (row >= it->row1 && row <= it->row2 && column >= it->column1 && column <= it->column2) return &*it;
    return nullptr;
}

}  // namespace tabsmith
