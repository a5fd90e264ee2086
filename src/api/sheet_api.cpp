// The sheet functions of the C API: adding, copying and selecting sheets, and the small
// queries on sheets, rows and columns.

#include <cstring>

#include "api/api.h"
#include "api/open_options.h"
#include "support/charset.h"
#include "support/scanner.h"

using namespace tabsmith;

namespace {

enum class SheetMode { kCreate, kSelect, kTemplate };

constexpr std::size_t kSheetNameChars = 31;
constexpr std::size_t kSheetNameCutChars = 29;

// Sheet names longer than a spreadsheet allows are shortened; 0, or kOverflow when still too long.
int shorten_sheet_name(Book &book, std::string &name) {
    if (name.size() >= kSheetNameChars && utf8_length(name) > kSheetNameChars) {
        bool quoted = !name.empty() && name.front() == '"';
        name.resize(utf8_prefix_bytes(name, kSheetNameCutChars));
        if (quoted) {
            name.resize(utf8_prefix_bytes(name, kSheetNameCutChars - 1));
            name.push_back('"');
        }
    }
    if (name.size() > kSheetNameBytes)
        return book.err.raise(kOverflow, Msg::k03009, static_cast<int>(kSheetNameBytes), "XLS_SHEET_LEN");
    return 0;
}

std::string free_sheet_name(const Book &book) {
    for (int number = book.sheet_count() + 1;; ++number) {
        std::string name = "Sheet" + std::to_string(number);
        if (!sheet_name_taken(book, name)) return name;
    }
}

// The name a created sheet gets: the caller's, checked, or the first free "SheetN".
int new_sheet_name(Book &book, bool has_name, std::string &name) {
    if (has_name) return check_new_sheet_name(book, name);
    name = free_sheet_name(book);
    return 0;
}

int open_sheet(Book &book, const char *options) {
    if (!options) return book.err.fail(kBadArgument);
    SheetMode mode = SheetMode::kCreate;
    bool has_name = false, has_template = false;
    std::string name, template_name;

    const int walked = for_each_option(options, book.charset, book.err, [&](const std::string &key_utf8, std::string value_utf8) {
        if (keyword_is(key_utf8, "SHEET_NAME", {"シート"})) {
            has_name = !value_utf8.empty();
            name = std::move(value_utf8);
        } else if (keyword_is(key_utf8, "MODE", {"モード"})) {
            if (keyword_is(value_utf8, "CREATE", {"新規"})) mode = SheetMode::kCreate;
            else if (keyword_is(value_utf8, "READ", {"読込", "読み込み"}) || keyword_is(value_utf8, "UPDATE", {"更新"}))
                mode = SheetMode::kSelect;
            else if (keyword_is(value_utf8, "TEMPLATE", {"テンプレート"})) mode = SheetMode::kTemplate;
            else return book.err.raise(kBadArgument, Msg::k02200, value_utf8.c_str());
        } else if (keyword_is(key_utf8, "TEMPLATE", {"テンプレート"})) {
            mode = SheetMode::kTemplate;
            has_template = !value_utf8.empty();
            template_name = std::move(value_utf8);
        } else {
            return book.err.raise(kBadArgument, Msg::k02200, key_utf8.c_str());
        }
        return 0;
    });
    if (walked != 0) return walked;
    if (has_name)
        if (int rc = shorten_sheet_name(book, name); rc != 0) return rc;
    if (has_template)
        if (int rc = shorten_sheet_name(book, template_name); rc != 0) return rc;

    switch (mode) {
    case SheetMode::kCreate: {
        if (book.from_file) return book.err.raise(kBadArgument, Msg::k02209AddSheet);
        if (int rc = new_sheet_name(book, has_name, name); rc != 0) return rc;
        int index = add_current_sheet(book, name);
        return index < 0 ? index : 0;
    }
    case SheetMode::kSelect: {
        int index = find_sheet(book, name);
        if (index == kIndexNotFound) return book.err.raise(kNoSheet, Msg::k02320, name.c_str());
        book.current_sheet = index;
        return 0;
    }
    case SheetMode::kTemplate: {
        if (!has_template) return book.err.raise(kBadArgument, Msg::k02322);
        if (int rc = new_sheet_name(book, has_name, name); rc != 0) return rc;
        int source = find_sheet(book, template_name);
        if (source == kIndexNotFound) return book.err.raise(kNoSheet, Msg::k03002, template_name.c_str());
        // The copy starts as the template sheet is now: its cells, formats and layout. It is
        // made before it joins the book, so that running out of memory leaves the book as it was.
        auto copy = std::make_unique<Sheet>();
        copy_sheet_content(*book.sheets[static_cast<std::size_t>(source)], *copy);
        int index = add_current_sheet(book, name);
        if (index < 0) return index;
        Sheet &added = *book.sheets[static_cast<std::size_t>(index)];
        copy->name = std::move(added.name);
        copy->template_source = source;
        book.sheets[static_cast<std::size_t>(index)] = std::move(copy);
        return 0;
    }
    }
    return book.err.fail(kFail);
}

}  // namespace

extern "C" {

int TXLS_open_sheet(XLS_BOOK *record, const char *options) {
    Book *book = enter(record);
    if (!book) return kBadArgument;
    return api_boundary(record, "TXLS_open_sheet()", [&] { return open_sheet(*book, options); });
}

int TXLS_open_sheet2(XLS_BOOK *record, int index) {
    Book *book = book_of(record);
    if (!book || index < 0 || index >= book->sheet_count()) return kNoSheet;
    book->err.clear_code();
    book->current_sheet = index;
    return 0;
}

int TXLS_sheet_num(XLS_BOOK *record) {
    Book *book = enter(record, 0);
    return book ? book->sheet_count() : 0;
}

int TXLS_sheet_name(XLS_BOOK *record, int index, char *out, int size) {
    if (out && size > 0) out[0] = '\0';
    Book *book = enter(record);
    if (!book) return kNoSheet;
    return api_boundary(record, "TXLS_sheet_name()", [&] {
        const Sheet *sheet = book->sheet(index);
        if (!sheet) return book->err.fail(kNoSheet);
        if (!out || size <= 0) return book->err.fail(kBadArgument);
        if (copy_out(*book, sheet->name, out, size) != 0)
            return book->err.raise(kOverflow, Msg::k03009, size, "XLS_SHEET_LEN");
        return 0;
    });
}

int TXLS_row_num(XLS_BOOK *record) {
    Book *book = enter(record, 0);
    if (!book) return 0;
    const Sheet *sheet = book->current();
    return sheet ? sheet->rows_used : 0;
}

int TXLS_column_num(XLS_BOOK *record, int row) {
    Book *book = enter(record, 0);
    if (!book) return 0;
    const Sheet *sheet = book->current();
    if (!sheet || row < 0 || row >= sheet->rows_used || static_cast<std::size_t>(row) >= sheet->rows.size()) return 0;
    const Row &r = sheet->rows[static_cast<std::size_t>(row)];
    int column = std::min<int>(r.used, static_cast<int>(r.cells.size()));
    while (column > 0 && r.cells[static_cast<std::size_t>(column - 1)].empty()) --column;
    return column;
}

}  // extern "C"
