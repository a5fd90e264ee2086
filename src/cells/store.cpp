// Growth of the sheet, row and cell tables, the shared-string table and the variables.
// Capacities follow the book's fixed rules so that the saved layout never depends on luck.

#include <algorithm>
#include <new>
#include <string_view>
#include <unordered_map>

#include "cells/book.h"
#include "support/charset.h"
#include "support/scanner.h"

namespace tabsmith {
namespace {

constexpr std::size_t kFirstRows = 101;        // a new sheet asks for row 100
constexpr std::size_t kFirstCells = 10;
constexpr std::size_t kRowCapacityCap = 1048577;
constexpr std::size_t kCellCapacityCap = 16385;

std::size_t grown(std::size_t capacity, std::size_t index, std::size_t cap) {
    std::size_t next = std::max(capacity * 2, index + 1);
    return std::min(next, cap);
}

}  // namespace

void Cell::clear() {
    kind = kCellEmpty;
    sst = 0;
    integer = 0;
    number = 0.0;
    text.clear();
    formula.reset();
}

int ensure_row(Book &, Sheet &sheet, int row) {
    if (row < 0 || static_cast<std::size_t>(row) >= kRowCapacityCap) return -2;
    std::size_t index = static_cast<std::size_t>(row);
    if (index < sheet.rows.size()) return 0;
    std::size_t capacity = sheet.rows.empty() ? kFirstRows : grown(sheet.rows.size(), index, kRowCapacityCap);
    if (capacity <= index) capacity = index + 1;
    sheet.rows.resize(capacity);
    return 0;
}

int ensure_cell(Book &book, Sheet &sheet, int row, int column) {
    if (int rc = ensure_row(book, sheet, row); rc != 0) return rc;
    if (column < 0 || static_cast<std::size_t>(column) >= kCellCapacityCap) return -2;
    Row &r = sheet.rows[static_cast<std::size_t>(row)];
    std::size_t index = static_cast<std::size_t>(column);
    if (index >= r.cells.size()) {
        // The cell array is made when the row gets its first cell.
        std::size_t capacity = r.cells.empty() ? std::max(kFirstCells, index + 1)
                                               : grown(r.cells.size(), index, kCellCapacityCap);
        r.cells.resize(capacity);
    }
    if (sheet.columns.size() < r.cells.size()) {
        sheet.columns.resize(r.cells.size());
        sheet.column_flags.resize(r.cells.size(), kFlagUnset);
    }
    return 0;
}

int add_sheet(Book &book, std::string_view name) {
    if (book.sheets.size() == book.sheets.capacity())
        book.sheets.reserve(std::max<std::size_t>(10, book.sheets.capacity() * 2));
    auto sheet = std::make_unique<Sheet>();
    sheet->name.assign(name);
    sheet->anchors.reserve(11);
    book.sheets.push_back(std::move(sheet));
    Sheet &added = *book.sheets.back();
    if (ensure_row(book, added, 100) != 0) return -2;
    return book.sheet_count() - 1;
}

int find_sheet(const Book &book, std::string_view name) {
    for (std::size_t i = 0; i < book.sheets.size(); ++i)
        if (book.sheets[i]->name == name) return static_cast<int>(i);
    return -1;
}

int put_shared_string(Book &book, std::string_view utf8) {
    if (book.shared_strings.size() == book.shared_strings.capacity()) {
        std::size_t capacity = book.shared_strings.capacity();
        std::size_t next = capacity == 0 ? 100 : (capacity < 104857600 ? capacity * 2 : capacity + 1000);
        book.shared_strings.reserve(next);
    }
    book.shared_strings.push_back(SharedString{std::string(utf8)});
    return static_cast<int>(book.shared_strings.size() - 1);
}

int compact_shared_strings(Book &book) {
    const std::size_t count = book.shared_strings.size();
    if (count < 2) return 0;
    try {
        std::vector<std::uint32_t> remap(count);
        std::unordered_map<std::string_view, std::uint32_t> first;
        first.reserve(count);
        std::vector<std::size_t> kept;
        bool duplicates = false;
        for (std::size_t i = 0; i < count; ++i) {
            auto [it, added] = first.try_emplace(book.shared_strings[i].text, static_cast<std::uint32_t>(kept.size()));
            if (added) kept.push_back(i);
            else duplicates = true;
            remap[i] = it->second;
        }
        if (!duplicates) return 0;
        std::vector<SharedString> compacted;
        compacted.reserve(kept.size());
        for (std::size_t i : kept) compacted.push_back(std::move(book.shared_strings[i]));
        for (auto &sheet : book.sheets)
            for (auto &row : sheet->rows)
                for (auto &cell : row.cells)
                    if (cell.kind == kCellString && cell.sst < count) cell.sst = remap[cell.sst];
        book.shared_strings = std::move(compacted);
        return 0;
    } catch (const std::bad_alloc &) {
        return -2;
    }
}

int tsx_put_resource(Book &book, std::string_view key, std::string_view value) {
    if (key.size() > kKeyBytes)
        return book.err.raise(-9, Msg::k03009, static_cast<int>(key.size()), "tsx_put_resource() XLS_KEY_LEN");
    if (value.size() > kKeyValueBytes)
        return book.err.raise(-9, Msg::k03009, static_cast<int>(value.size()),
                              "tsx_put_resource() XLS_KEY_VALUE_LEN");
    std::string stored(strip_quotes(value));
    for (auto &variable : book.variables) {
        if (equals_ignore_case(variable.key, key)) {
            variable.value = std::move(stored);
            return 0;
        }
    }
    if (book.variables.size() + 1 >= book.variables.capacity()) book.variables.reserve(book.variables.capacity() + 10);
    book.variables.push_back(Variable{std::string(key), std::move(stored)});
    return 0;
}

int get_variable(const Book &book, std::string_view key, std::string &value) {
    for (const auto &variable : book.variables) {
        if (equals_ignore_case(variable.key, key)) {
            value = variable.value;
            return 0;
        }
    }
    return kNoVariable;
}

std::string shared_string_text(const Book &book, const Cell &cell) {
    if (cell.sst >= book.shared_strings.size()) return {};
    const std::string &text = book.shared_strings[cell.sst].text;
    return text.substr(0, fit_prefix(kUtf8, text, kCellUtf8Bytes));
}

const Cell *find_cell(const Book &book, int sheet_index, int row, int column) {
    if (sheet_index < 0 || sheet_index >= book.sheet_count()) return nullptr;
    const Sheet &sheet = *book.sheets[static_cast<std::size_t>(sheet_index)];
    if (row < 0 || row >= sheet.rows_used || static_cast<std::size_t>(row) >= sheet.rows.size()) return nullptr;
    const Row &r = sheet.rows[static_cast<std::size_t>(row)];
    if (column < 0 || column >= r.used || static_cast<std::size_t>(column) >= r.cells.size()) return nullptr;
    const Cell &cell = r.cells[static_cast<std::size_t>(column)];
    return cell.empty() ? nullptr : &cell;
}

}  // namespace tabsmith
