// Growth of the sheet, row and cell tables, the shared-string table and the variables.
// Capacities follow the book's fixed rules so that the saved layout never depends on luck.

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <new>
#include <string_view>

#include "model/book.h"
#include "support/charset.h"
#include "support/number_text.h"
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

void Cell::release() {
    if (has_extra_) delete slot_.extra;
    has_extra_ = false;
    slot_.integer = 0;
}

void Cell::clear() {
    kind = kCellEmpty;
    sst = 0;
    release();
}

const std::string &Cell::empty_text() {
    static const std::string empty;
    return empty;
}

double Cell::number() const {
    const std::int64_t bits = integer();
    switch (kind) {
    case kCellInteger: return static_cast<double>(bits);
    case kCellDate:
    case kCellDateTime:
    case kCellTimeHm:
    case kCellTimeHms: {
        double serial = static_cast<double>(bits);
        if (kind != kCellDate && !text().empty()) {
            double fraction = std::strtod(text().c_str(), nullptr);
            if (std::isfinite(fraction)) serial += fraction;
        }
        return serial;
    }
    default: {
        double value = 0.0;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }
    }
}

void Cell::set_number(double value) {
    std::int64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    set_integer(bits);
}

void Cell::drop_extra_if_unused() {
    if (!has_extra_) return;
    const CellExtra &record = *slot_.extra;
    if (!record.text.empty() || record.formula() || record.value_type != 0) return;
    const std::int64_t bits = record.value_bits;
    delete slot_.extra;
    has_extra_ = false;
    slot_.integer = bits;
}

void Cell::set_text(std::string_view text) {
    if (text.empty() && !has_extra_) return;
    extra().text.assign(text);
    drop_extra_if_unused();
}

Cell Cell::clone() const {
    Cell copy;
    copy.kind = kind;
    copy.style = style;
    copy.sst = sst;
    if (has_extra_) {
        copy.slot_.extra = new CellExtra(*slot_.extra);
        copy.has_extra_ = true;
    } else {
        copy.slot_ = slot_;
    }
    return copy;
}

void CellArray::grow(std::size_t count) {
    const std::size_t old_count = size();
    if (count <= old_count) return;
    void *memory = ::operator new(sizeof(Block) + count * sizeof(Cell));
    Block *block = ::new (memory) Block{count};
    Cell *cells = block->cells();
    for (std::size_t c = 0; c < old_count; ++c) ::new (cells + c) Cell(std::move(block_->cells()[c]));
    for (std::size_t c = old_count; c < count; ++c) ::new (cells + c) Cell;
    release();
    block_ = block;
}

void CellArray::release() {
    if (!block_) return;
    std::destroy_n(block_->cells(), block_->count);
    ::operator delete(block_);
    block_ = nullptr;
}

CellExtra &Cell::extra() {
    if (!has_extra_) {
        auto *record = new CellExtra;
        record->value_bits = slot_.integer;
        slot_.extra = record;
        has_extra_ = true;
    }
    return *slot_.extra;
}

void Cell::set_formula(std::string formula) { extra().set_formula(std::move(formula)); }

CellExtra::CellExtra(const CellExtra &other)
    : text(other.text), value_bits(other.value_bits), value_type(other.value_type),
      formula_from_master(other.formula_from_master),
      formula_(other.formula_ ? std::make_unique<Formula>(*other.formula_) : nullptr) {}

void CellExtra::set_formula(std::string formula) {
    if (!formula_) formula_ = std::make_unique<Formula>();
    formula_->text = std::move(formula);
}

const std::string &CellExtra::formula_attributes() const {
    static const std::string none;
    return formula_ ? formula_->attributes : none;
}

void CellExtra::set_formula_attributes(std::string attributes) {
    if (!formula_) formula_ = std::make_unique<Formula>();
    formula_->attributes = std::move(attributes);
}

std::string shortest_number_text(double value) {
    char buffer[64];
    auto [end, ec] = shortest_chars(buffer, buffer + sizeof buffer, value);
    return ec == std::errc() ? std::string(buffer, end) : std::string("0");
}

std::string exact_number_text(const Cell &cell) {
    std::string scratch;
    return std::string(exact_number_view(cell, scratch));
}

std::string_view exact_number_view(const Cell &cell, std::string &scratch) {
    if (!cell.text().empty()) return cell.text();
    char buffer[64];
    const std::to_chars_result written = write_number_text(cell, buffer, buffer + sizeof buffer);
    if (written.ec != std::errc()) return "0";
    return scratch.assign(buffer, written.ptr);
}

std::to_chars_result write_number_text(const Cell &cell, char *first, char *last) {
    if (cell.kind == kCellInteger) return std::to_chars(first, last, cell.integer());
    const double value = cell.number();
    return shortest_chars(first, last, std::isfinite(value) ? value : 0.0);
}

int ensure_row(Book &, Sheet &sheet, int row) {
    if (row < 0 || static_cast<std::size_t>(row) >= kRowCapacityCap) return kNoMemory;
    std::size_t index = static_cast<std::size_t>(row);
    if (index < sheet.rows.size()) return 0;
    std::size_t capacity = sheet.rows.empty() ? kFirstRows : grown(sheet.rows.size(), index, kRowCapacityCap);
    if (capacity <= index) capacity = index + 1;
    sheet.rows.resize(capacity);
    return 0;
}

int ensure_row_cell(Row &row, int column) {
    if (column < 0 || static_cast<std::size_t>(column) >= kCellCapacityCap) return kNoMemory;
    std::size_t index = static_cast<std::size_t>(column);
    if (index >= row.cells.size()) {
        // The cell array is made when the row gets its first cell.
        std::size_t capacity = row.cells.empty() ? std::max(kFirstCells, index + 1)
                                                 : grown(row.cells.size(), index, kCellCapacityCap);
        row.cells.grow(capacity);
    }
    return 0;
}

int ensure_cell(Book &book, Sheet &sheet, int row, int column) {
    if (int rc = ensure_row(book, sheet, row); rc != 0) return rc;
    Row &r = sheet.rows[static_cast<std::size_t>(row)];
    if (int rc = ensure_row_cell(r, column); rc != 0) return rc;
    ensure_column_count(sheet, r.cells.size());
    return 0;
}

void ensure_column_count(Sheet &sheet, std::size_t count) {
    if (sheet.columns.size() >= count) return;
    sheet.columns.reserve(count);
    sheet.column_flags.reserve(count);
    sheet.columns.resize(count);
    sheet.column_flags.resize(count, kFlagUnset);
}

int add_sheet(Book &book, std::string_view name) {
    if (book.sheets.size() == book.sheets.capacity())
        book.sheets.reserve(std::max<std::size_t>(10, book.sheets.capacity() * 2));
    auto sheet = std::make_unique<Sheet>();
    sheet->name.assign(name);
    sheet->anchors.reserve(11);
    // Made whole before the book sees it: a sheet that ran out of memory half way is not added.
    if (ensure_row(book, *sheet, 100) != 0) return kNoMemory;
    book.sheets.push_back(std::move(sheet));   // room was made above
    return book.sheet_count() - 1;
}

int ensure_first_sheet(Book &book) {
    if (book.sheet_count() > 0) return 0;
    int rc = add_current_sheet(book, "Sheet1");
    return rc < 0 ? rc : 0;
}

int add_current_sheet(Book &book, std::string_view name) {
    int index = add_sheet(book, name);
    if (index < 0) return book.err.raise(kNoMemory, Msg::k00002);
    book.current_sheet = index;
    return index;
}

bool sheet_name_taken(const Book &book, std::string_view name) {
    for (const auto &sheet : book.sheets)
        if (equals_ignore_case(sheet->name, name)) return true;
    return false;
}

int check_new_sheet_name(Book &book, const std::string &name) {
    if (sheet_name_taken(book, name)) return book.err.raise(kBadArgument, Msg::k02321, name.c_str());
    if (name.empty() || name.find_first_of(":\\/?*[]") != std::string::npos || name.front() == '\'' ||
        name.back() == '\'')
        return book.err.raise(kBadArgument, Msg::k02320, name.c_str());
    return 0;
}

namespace {

constexpr std::size_t kSheetNameUnits = 31;

// The longest prefix of `name` of whole characters within `units` UTF-16 units.
std::string_view within_units(std::string_view name, std::size_t units) {
    std::size_t at = 0, used = 0;
    while (at < name.size()) {
        const auto *p = reinterpret_cast<const unsigned char *>(name.data() + at);
        std::size_t length = utf8_sequence_length(p, name.size() - at);
        if (length == 0) length = 1;   // a stray byte: the writer replaces it with one unit
        const std::size_t needed = length == 4 ? 2 : 1;
        if (used + needed > units) break;
        used += needed;
        at += length;
    }
    return name.substr(0, at);
}

}  // namespace

int repair_sheet_names(Book &book) {
    int changed = 0;
    std::vector<std::string> kept;
    for (std::size_t k = 0; k < book.sheets.size(); ++k) {
        std::string name = book.sheets[k]->name;
        for (char &c : name)
            if (std::string_view(":\\/?*[]").find(c) != std::string_view::npos) c = '_';
        if (!name.empty() && name.front() == '\'') name.front() = '_';
        if (!name.empty() && name.back() == '\'') name.back() = '_';
        name = std::string(within_units(name, kSheetNameUnits));
        if (name.empty()) name = "Sheet" + std::to_string(k + 1);
        auto taken = [&](std::string_view candidate) {
            for (const std::string &other : kept)
                if (equals_ignore_case(other, candidate)) return true;
            return false;
        };
        const std::string base = name;
        for (int n = 2; taken(name); ++n) {
            const std::string suffix = " (" + std::to_string(n) + ")";
            name = std::string(within_units(base, kSheetNameUnits - suffix.size())) + suffix;
        }
        if (name != book.sheets[k]->name) {
            book.sheets[k]->name = name;
            ++changed;
        }
        kept.push_back(std::move(name));
    }
    return changed;
}

int find_sheet(const Book &book, std::string_view name) {
    for (std::size_t i = 0; i < book.sheets.size(); ++i)
        if (book.sheets[i]->name == name) return static_cast<int>(i);
    return kIndexNotFound;
}

int put_shared_string(Book &book, std::string_view utf8) { return book.shared_strings.put(utf8); }

std::size_t shared_string_references(const Book &book) {
    std::size_t count = 0;
    for (const auto &sheet : book.sheets) {
        for (const auto &row : sheet->rows)
            for (const auto &cell : row.cells) count += cell.kind == kCellString;
        if (sheet->row_file) count += sheet->row_file->string_cells;
    }
    return count;
}

int tsx_put_resource(Book &book, std::string_view key, std::string_view value) {
    if (key.size() > kKeyBytes)
        return book.err.raise(kLimit, Msg::k03009, static_cast<int>(key.size()), "tsx_put_resource() XLS_KEY_LEN");
    if (value.size() > kKeyValueBytes)
        return book.err.raise(kLimit, Msg::k03009, static_cast<int>(value.size()),
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

std::string shared_string_text(const Book &book, const Cell &cell) { return std::string(shared_string_view(book, cell)); }

std::string_view shared_string_view(const Book &book, const Cell &cell) {
    if (cell.sst >= book.shared_strings.size()) return {};
    const std::string_view text = book.shared_strings.text(cell.sst);
    return text.substr(0, fit_prefix(kUtf8, text, kCellUtf8Bytes));
}

std::uint64_t row_digest(const Row &row) {
    std::uint64_t digest = 0x243F6A8885A308D3ull;
    auto mix = [&](std::uint64_t value) {
        digest = (digest ^ value) * 0x9E3779B97F4A7C15ull;
        digest ^= digest >> 29;
    };
    auto mix_text = [&](std::string_view text) {
        mix(text.size());
        mix(std::hash<std::string_view>{}(text));
    };
    mix(row.cells.size());
    mix(std::uint64_t{row.used} | std::uint64_t{row.style} << 16 | std::uint64_t{row.height_flag} << 32 |
        std::uint64_t{row.hidden_flag} << 40 | std::uint64_t{row.outline_flag} << 48);
    if (row.attributes) {
        mix(std::bit_cast<std::uint64_t>(row.attributes->height));
        mix_text(row.attributes->extra);
    }
    for (const Cell &cell : row.cells) {
        const CellExtra *extra = cell.extra_record();
        mix(std::uint64_t{cell.kind} | std::uint64_t{cell.style} << 8 | std::uint64_t{cell.sst} << 24 |
            std::uint64_t{extra != nullptr} << 56);
        mix(static_cast<std::uint64_t>(cell.integer()));
        if (!extra) continue;
        mix_text(extra->text);
        mix(std::uint64_t{static_cast<unsigned char>(extra->value_type)} | std::uint64_t{extra->formula_from_master} << 8 |
            std::uint64_t{extra->formula() != nullptr} << 9);
        if (extra->formula()) {
            mix_text(*extra->formula());
            mix_text(extra->formula_attributes());
        }
    }
    return digest;
}

void copy_sheet_content(const Sheet &from, Sheet &to) {
    to.rows.clear();
    to.rows.resize(from.rows.size());
    for (std::size_t r = 0; r < from.rows.size(); ++r) {
        const Row &source = from.rows[r];
        Row &row = to.rows[r];
        row.cells.grow(source.cells.size());
        for (std::size_t c = 0; c < source.cells.size(); ++c) row.cells[c] = source.cells[c].clone();
        row.used = source.used;
        row.style = source.style;
        row.height_flag = source.height_flag;
        row.hidden_flag = source.hidden_flag;
        row.outline_flag = source.outline_flag;
        if (source.attributes) row.attributes = std::make_unique<RowAttributes>(*source.attributes);
    }
    to.rows_used = from.rows_used;
    to.columns = from.columns;
    to.column_flags = from.column_flags;
    to.merges = from.merges;
    to.annotations = from.annotations;
    to.sparklines = from.sparklines;
    to.settings = from.settings;
    to.settings.selected = false;
    to.settings.code_name.clear();
    to.source.reset();
    if (from.source) {
        auto source = std::make_unique<SheetSource>();
        source->root_start_tag = from.source->root_start_tag;
        source->elements = from.source->elements;
        source->sheet_element_extra = from.source->sheet_element_extra;
        source->package_position = from.source->package_position;
        if (from.source->loaded) {
            source->loaded = std::make_unique<Sheet>();
            source->loaded->settings = from.source->loaded->settings;
            source->loaded->columns = from.source->loaded->columns;
            source->loaded->column_flags = from.source->loaded->column_flags;
            source->loaded->merges = from.source->loaded->merges;
        }
        to.source = std::move(source);
    }
}

}  // namespace tabsmith
