// Cell annotations: the COMMENT, HYPERLINK, TABLE_FORMAT and TABLE_FORMAT.COLUMN_NAME statements
// and the records they leave on a sheet for the package writer.

#include <algorithm>
#include <cstdio>
#include <new>
#include <string>
#include <unordered_set>

#include "cells/values.h"
#include "model/annotations.h"
#include "props/property.h"
#include "props/property_parser.h"
#include "support/results.h"

namespace tabsmith {
namespace {

constexpr const char *kHyperlinkWhat = "ハイパーリンク(HYPERLINK)";
constexpr const char *kTableFormatWhat = "表書式(TABLE_FORMAT)";
constexpr const char *kColumnNameWhat = "表書式(TABLE_FORMAT).列名(COLUMN_NAME)";
constexpr const char *kCommentWhat = "コメント(COMMENT)";
// One statement over a huge range would otherwise make millions of comment boxes.
constexpr long long kMaxCommentsPerStatement = 65536;
// The name a column without a header text gets: its 1-based number within the table.
constexpr const char *kDefaultColumnName = "列%d";

struct TableStyleNames {
    std::string_view english, japanese;
    TableStyleFamily family;
    int count;
};

constexpr TableStyleNames kTableStyles[] = {
    {"Light", "淡色", TableStyleFamily::kLight, 21},
    {"Medium", "中間", TableStyleFamily::kMedium, 28},
    {"Dark", "濃色", TableStyleFamily::kDark, 11},
};

bool equals_ascii_ignoring_case(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
               return lower(x) == lower(y);
           });
}

// "Medium9", "medium9" or "中間9": the family and the style number within it.
bool parse_table_style(std::string_view value, TableStyleFamily &family, int &number) {
    for (const TableStyleNames &names : kTableStyles) {
        std::string_view digits;
        if (value.size() > names.english.size() &&
            equals_ascii_ignoring_case(value.substr(0, names.english.size()), names.english))
            digits = value.substr(names.english.size());
        else if (value.size() > names.japanese.size() && value.substr(0, names.japanese.size()) == names.japanese)
            digits = value.substr(names.japanese.size());
        else
            continue;
        if (digits.size() > 2 || digits[0] == '0') return false;
        int n = 0;
        for (char c : digits) {
            if (c < '0' || c > '9') return false;
            n = n * 10 + (c - '0');
        }
        if (n < 1 || n > names.count) return false;
        family = names.family;
        number = n;
        return true;
    }
    return false;
}

// The sheet a statement is about; a book without sheets gets its first, as a value would.
Sheet *statement_sheet(Book &book, const PropertyTarget &target, int &index, int &rc) {
    rc = kOk;
    index = target.sheet >= 0 ? target.sheet : book.current_sheet;
    if (target.sheet < 0 && book.sheet_count() == 0) {
        rc = ensure_first_sheet(book);
        if (rc != kOk) return nullptr;
        index = book.current_sheet;
    }
    Sheet *sheet = book.sheet(index);
    if (!sheet) rc = book.err.raise(kFail, Msg::k03600, "apply_annotation_property() sheet");
    return sheet;
}

// The target names cells: one cell, or ranges and cells (no whole rows or columns).
bool names_cells(const PropertyTarget &target) {
    if (target.area_count > 0) return !target.row_range && !target.column_range;
    return target.row >= 0 && target.column >= 0;
}

TargetArea ordered(const TargetArea &area) {
    return {std::min(area.row1, area.row2), std::min(area.column1, area.column2), std::max(area.row1, area.row2),
            std::max(area.column1, area.column2)};
}

bool overlap(const TableFormat &table, const TargetArea &area) {
    return table.row1 <= area.row2 && area.row1 <= table.row2 && table.column1 <= area.column2 &&
           area.column1 <= table.column2;
}

int apply_comment(Book &book, const PropertyTarget &target, std::string_view value) {
    if (!names_cells(target))
        return book.err.raise(kBadArgument, Msg::k02300, property_display_name(kPropComment, target).c_str());
    int sheet_index = 0, rc = kOk;
    Sheet *sheet = statement_sheet(book, target, sheet_index, rc);
    if (!sheet) return rc;

    std::vector<TargetArea> areas;
    if (target.area_count == 0) areas.push_back({target.row, target.column, target.row, target.column});
    for (int i = 0; i < target.area_count; ++i) areas.push_back(ordered(target.areas[static_cast<std::size_t>(i)]));
    long long cells = 0;
    for (const TargetArea &a : areas)
        cells += static_cast<long long>(a.row2 - a.row1 + 1) * (a.column2 - a.column1 + 1);
    if (cells > kMaxCommentsPerStatement)
        return book.err.raise(kBadArgument, Msg::k03008, kCommentWhat, static_cast<int>(kMaxCommentsPerStatement));

    // A cell carries one comment: a later one replaces its text, where it stands in the order.
    std::vector<CellComment> &comments = sheet->annotations.comments;
    std::unordered_set<long long> taken;
    auto key = [](int row, int column) { return static_cast<long long>(row) << 16 | column; };
    for (const CellComment &c : comments) taken.insert(key(c.row, c.column));
    const std::string text(value);
    for (const TargetArea &a : areas)
        for (int r = a.row1; r <= a.row2; ++r)
            for (int c = a.column1; c <= a.column2; ++c) {
                if (taken.insert(key(r, c)).second) {
                    comments.push_back(CellComment{r, c, text});
                    continue;
                }
                for (CellComment &old : comments)
                    if (old.row == r && old.column == c) old = CellComment{r, c, text};
            }
    return kOk;
}

int apply_hyperlink(Book &book, const PropertyTarget &target, std::string_view value) {
    if (target.area_count > 0) return book.err.raise(kBadArgument, Msg::k02100, kHyperlinkWhat);
    if (target.row < 0 || target.column < 0)
        return book.err.raise(kBadArgument, Msg::k02300, property_display_name(kPropHyperlink, target).c_str());
    // No target, no link: an empty relationship target makes a package that programs refuse.
    if (value.empty()) return kOk;
    int sheet_index = 0, rc = kOk;
    if (!statement_sheet(book, target, sheet_index, rc)) return rc;
    rc = set_hyperlink(book, sheet_index, target.row, target.column, HyperlinkKind::kExternal, value);
    if (rc == kOk || rc == kNoMemory) return rc;
    return book.err.raise(kFail, Msg::k03600, "tsx_set_hyperlink()");
}

// Writes a column name into its header cell where the cell does not show exactly that text:
// a program takes a table's column names from its header cells and repairs a table whose
// cells disagree with them.
int put_header_text(Book &book, Sheet &sheet, int row, int column, const std::string &name) {
    const Cell *shown = row < static_cast<int>(sheet.rows.size()) &&
                                column < static_cast<int>(sheet.rows[static_cast<std::size_t>(row)].cells.size())
                            ? &sheet.rows[static_cast<std::size_t>(row)].cells[static_cast<std::size_t>(column)]
                            : nullptr;
    if (shown && shown->kind == kCellString && shared_string_text(book, *shown) == name) return kOk;
    if (ensure_cell(book, sheet, row, column) != 0) return book.err.raise(kNoMemory, Msg::k00002);
    Row &r = sheet.rows[static_cast<std::size_t>(row)];
    Cell &cell = r.cells[static_cast<std::size_t>(column)];
    const int index = put_shared_string(book, name);
    if (index == kNoMemory) return book.err.raise(kNoMemory, Msg::k00002);
    if (index < 0) return book.err.raise(kFail, Msg::k03600, "tsx_put_sst()");
    Cell fresh;
    fresh.style = cell.style;
    fresh.kind = kCellString;
    fresh.sst = static_cast<std::uint32_t>(index);
    cell = std::move(fresh);
    if (sheet.rows_used <= row) sheet.rows_used = row + 1;
    if (r.used <= column) r.used = static_cast<std::uint16_t>(column + 1);
    return kOk;
}

std::string default_column_name(int number) {
    char text[32];
    std::snprintf(text, sizeof text, kDefaultColumnName, number);
    return text;
}

// Programs refuse a table with two columns of one name (letter case aside): a repeated name
// gets the lowest number from 2 up that makes it unique ("Name", "Name2").
void make_column_names_unique(std::vector<std::string> &names, std::size_t keep = SIZE_MAX) {
    auto used_before = [&](const std::string &name, std::size_t upto) {
        for (std::size_t k = 0; k < names.size(); ++k)
            if (k != upto && (k < upto || k == keep) && equals_ascii_ignoring_case(names[k], name)) return true;
        return false;
    };
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i == keep || !used_before(names[i], i)) continue;
        for (int n = 2;; ++n) {
            std::string candidate = names[i] + std::to_string(n);
            bool clash = false;
            for (std::size_t k = 0; k < names.size() && !clash; ++k)
                clash = k != i && equals_ascii_ignoring_case(names[k], candidate);
            if (!clash) {
                names[i] = std::move(candidate);
                break;
            }
        }
    }
}

int apply_table_format(Book &book, const PropertyTarget &target, std::string_view value) {
    if (target.area_count != 1 || target.row_range || target.column_range)
        return book.err.raise(kBadArgument, Msg::k02101, kTableFormatWhat);
    TableFormat table;
    if (!parse_table_style(value, table.family, table.style))
        return book.err.raise(kBadArgument, Msg::k02200, std::string(value).c_str());
    int sheet_index = 0, rc = kOk;
    Sheet *sheet = statement_sheet(book, target, sheet_index, rc);
    if (!sheet) return rc;
    const TargetArea area = ordered(target.areas[0]);
    // A table is a header row over at least one row of data; programs repair one without.
    if (area.row1 == area.row2)
        return book.err.raise(kBadArgument, Msg::k02301, property_display_name(kPropTableFormat, target).c_str());
    for (const TableFormat &other : sheet->annotations.tables)
        if (overlap(other, area)) return book.err.raise(kBadArgument, Msg::k02632);

    table.row1 = area.row1, table.column1 = area.column1, table.row2 = area.row2, table.column2 = area.column2;
    for (int c = area.column1; c <= area.column2; ++c) {
        const Cell *cell = find_cell(book, sheet_index, area.row1, c);
        if (cell && (cell->kind == kCellFormula || cell->kind == kCellFormulaValue || cell->formula()))
            return book.err.raise(kBadArgument, Msg::k02633);
        std::string name = cell ? cell_value_text(book, *cell) : std::string();
        table.column_names.push_back(name.empty() ? default_column_name(c - area.column1 + 1) : std::move(name));
    }
    make_column_names_unique(table.column_names);
    for (int c = area.column1; c <= area.column2; ++c)
        if (int put = put_header_text(book, *sheet, area.row1, c,
                                      table.column_names[static_cast<std::size_t>(c - area.column1)]);
            put != kOk)
            return put;
    for (const auto &other : book.sheets) table.order += static_cast<int>(other->annotations.tables.size());
    sheet->annotations.tables.push_back(std::move(table));
    return kOk;
}

int apply_column_name(Book &book, const PropertyTarget &target, std::string_view value) {
    if (target.area_count > 0) return book.err.raise(kBadArgument, Msg::k02100, kColumnNameWhat);
    if (target.row < 0 || target.column < 0)
        return book.err.raise(kBadArgument, Msg::k02300, property_display_name(kPropTableColumnName, target).c_str());
    Sheet *sheet = book.sheet(target.sheet >= 0 ? target.sheet : book.current_sheet);
    // The named cell must head a column of a table made before: the last such table.
    TableFormat *table = nullptr;
    if (sheet)
        for (auto it = sheet->annotations.tables.rbegin(); it != sheet->annotations.tables.rend() && !table; ++it)
            if (it->row1 == target.row && target.column >= it->column1 && target.column <= it->column2) table = &*it;
    if (!table) return book.err.raise(kBadArgument, Msg::k02631, kColumnNameWhat);
    const std::size_t at = static_cast<std::size_t>(target.column - table->column1);
    std::vector<std::string> names = table->column_names;
    names[at] = value.empty() ? default_column_name(static_cast<int>(at) + 1) : std::string(value);
    make_column_names_unique(names, at);
    for (int c = table->column1; c <= table->column2; ++c)
        if (int put = put_header_text(book, *sheet, table->row1, c, names[static_cast<std::size_t>(c - table->column1)]);
            put != kOk)
            return put;
    table->column_names = std::move(names);
    return kOk;
}

}  // namespace

int apply_annotation_property(Book &book, int id, PropertyTarget &target, std::string_view value) {
    switch (id) {
    case kPropComment: return apply_comment(book, target, value);
    case kPropHyperlink: return apply_hyperlink(book, target, value);
    case kPropTableFormat: return apply_table_format(book, target, value);
    case kPropTableColumnName: return apply_column_name(book, target, value);
    default: return book.err.raise(kFail, Msg::k03600, property_display_name(id, target).c_str());
    }
}

}  // namespace tabsmith
