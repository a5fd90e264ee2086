// What opening and closing a book needs from the rest of the engine: initial settings, the
// workbook probe, the save entry point and the memory-file table.

#include "api/book_init.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <new>

#include "api/open_options.h"
#include "datasource/csv_source.h"
#include "formula/recalc.h"
#include "image/file_type.h"
#include "props/auto_width.h"
#include "props/property.h"
#include "readers/xlsx_reader.h"
#include "support/files.h"
#include "support/mfile.h"
#include "support/zip_archive.h"
#include "xlsx_write/package_writer.h"
#include "xlsx_write/update_writer.h"

namespace tabsmith {

namespace {

bool ends_with_ignoring_case(std::string_view text, std::string_view end) {
    if (text.size() < end.size()) return false;
    text = text.substr(text.size() - end.size());
    for (std::size_t i = 0; i < end.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(text[i])) != end[i]) return false;
    return true;
}

// The TEMPLATE statement: a book that has no sheet yet becomes the template's copy, to be
// filled and saved under the book's own name.
int load_template_statement(Book &book, std::string_view value) {
    std::string name(value);
    if (!ends_with_ignoring_case(name, ".xlsx") && !ends_with_ignoring_case(name, ".xlsm")) name += ".xlsx";
    if (name.size() > kDataSourcePathBytes) return book.err.raise(kBadArgument, Msg::k00005);
    const std::string path = working_path(name);
    if (book.from_file || book.sheet_count() > 0)
        return book.err.raise(kFail, Msg::k03600, "TEMPLATE: the book has sheets already");
    const FileIdentity version = file_identity(path);
    int type = 0;
    if (probe_workbook(path, false, type) != 0) return book.err.raise(kOpenError, Msg::k03101, path.c_str());
    if (type != kFileTypeXlsx && type != kFileTypeXlsm) return book.err.raise(kUnsupported, Msg::k00900, path.c_str());
    std::string fault;
    int rc = read_workbook(book, path, false, false, &fault);
    if (rc != 0) {
        // Whatever the reader left goes: the book is as new again.
        std::string file_name = book.file_name;
        init_book(book, kFileTypeXlsx);
        book.file_name = std::move(file_name);
        return raise_read_failure(book.err, rc, path, fault, false);
    }
    book.from_file = true;
    book.macro = type == kFileTypeXlsm;
    book.file_name = with_template_extension(std::move(book.file_name), book.macro);
    if (book.file_name == path) book.read_version = version;   // a template filled over itself
    return 0;
}

}  // namespace

int init_book(Book &book, int file_type) {
    register_data_source_paste(&apply_data_source);
    register_template_load(&load_template_statement);
    book.file_type = file_type;
    if (file_type == kFileTypeXls) {
        book.max_rows = kXlsMaxRows;
        book.max_columns = kXlsMaxColumns;
    } else {
        book.max_rows = kXlsxMaxRows;
        book.max_columns = kXlsxMaxColumns;
    }
    book.from_file = book.read_memory = book.write_memory = false;
    book.read_version = {};
    book.unload = book.macro = book.load_or_unload = false;
    book.company = "MyCompany";
    book.author = "MyName";
    book.current_sheet = book.current_row = book.current_column = 0;
    book.sheets.clear();
    book.sheets.reserve(10);
    book.shared_strings.clear();
    book.variables.clear();
    book.source.reset();
    book.date1904 = book.values_changed = false;
    return book.styles.seed_defaults();
}

int probe_workbook(const std::string &path, bool from_memory, int &type) {
    // The probe's source modes: a memory file's name, or a path.
    type = -1;
    return probe_file_type(from_memory ? kProbeMemoryFile : kProbePath, path, type);
}

int read_workbook(Book &book, const std::string &path, bool from_memory, bool list_only, std::string *fault) {
    XlsxReadRequest request;
    request.archive = path;
    request.from_memory = from_memory;
    request.list_only = list_only;
    request.fault = fault;
    // Books opened to be changed (an update, a template filled) write their unchanged rows back
    // as stored; a book opened to be read does not pay the memory for it.
    request.keep_stored_rows = book.mode == OpenMode::kUpdate || book.mode == OpenMode::kCreate;
    book.sheets.clear();
    std::string own_fault;
    if (!request.fault) request.fault = &own_fault;
    const int rc = read_xlsx_package(book, request);
    if (rc == kNoMemory) book.diagnostics.note(kDiagnosticNoMemory, "");
    else if (rc == kOpenError) book.diagnostics.note(kDiagnosticFileOpen, path);
    else if (rc != kOk) book.diagnostics.note(kDiagnosticFileContents, request.fault->empty() ? path : *request.fault);
    return rc;
}

namespace {

// Every formula cell of the book; `visit` gets the sheet index and the cell.
template <typename Visit>
void for_each_formula_cell(Book &book, Visit visit) {
    for (auto &sheet : book.sheets)
        for (Row &row : sheet->rows)
            for (Cell &cell : row.cells)
                if (cell.kind == kCellFormula || cell.kind == kCellFormulaValue) visit(cell);
}

// A package's cached formula results stay true while no value changed. Once one did, every
// formula is computed again where the evaluator can; what it cannot compute loses its old
// result, and the package asks its readers to compute on loading. A result that comes out as the
// cached one (the evaluator prints six fraction digits) keeps the cached, exact number.
int prepare_package_formulas(Book &book) {
    struct Cached {
        Cell *cell;
        char type;
        double number;
        std::string text;
    };
    std::vector<Cached> cached;
    if (book.values_changed) {
        for_each_formula_cell(book, [&](Cell &cell) {
            const CellExtra *extra = cell.extra_record();
            if (!extra || extra->value_type == 0) return;
            cached.push_back({&cell, extra->value_type, cell.number(), cell.text()});
            cell.kind = kCellFormula;
            cell.extra().value_type = 0;
            cell.set_text({});
        });
    }
    if (book.settings.recalc)
        if (int rc = recalc_package_formulas(book); rc != 0) return rc;
    for (const Cached &old : cached) {
        Cell &cell = *old.cell;
        if (cell.kind != kCellFormulaValue) continue;
        double computed = 0;
        const std::string &text = cell.text();
        auto parsed = std::from_chars(text.data(), text.data() + text.size(), computed);
        const bool numeric = text.empty() || (parsed.ec == std::errc() && parsed.ptr == text.data() + text.size());
        if (!text.empty() && numeric) computed = cell.number();
        bool same = old.type == 'n' ? numeric && std::fabs(computed - old.number) <= 1e-6 * std::max(1.0, std::fabs(old.number))
                                    : !numeric && text == old.text;
        if (!same) continue;
        cell.extra().value_type = old.type;
        cell.set_number(old.number);
        cell.set_text(old.type == 'n' ? std::string() : old.text);
    }
    bool uncomputed = !book.settings.recalc;
    for_each_formula_cell(book, [&](Cell &cell) { uncomputed = uncomputed || cell.kind == kCellFormula; });
    book.source->full_calc_on_load = uncomputed;
    return 0;
}

}  // namespace

int prepare_book_for_save(Book &book) {
    // Streamed rows are out of reach of the evaluator: a value computed without them would be
    // wrong, so every formula is left to be computed on opening.
    if (book.streamed) book.settings.recalc = false;
    if (book.source) {
        // A package may bring names no workbook may carry; they are repaired rather than
        // written back for every reader to refuse.
        repair_sheet_names(book);
        if (int rc = prepare_package_formulas(book); rc != 0) return rc;
        apply_auto_widths(book);
        // The formats a package brought keep the ids its cell formats use.
        book.styles.assign_added_format_ids(book.source->style_base.num_formats);
        return 0;
    }
    if (book.sheet_count() == 0) {
        // All three or none: a save that ran out of memory half way is made again from the
        // same book.
        try {
            for (int k = 1; k <= 3; ++k)
                if (add_sheet(book, "Sheet" + std::to_string(k)) < 0) throw std::bad_alloc();
        } catch (const std::bad_alloc &) {
            book.sheets.clear();
            return book.err.raise_out_of_memory();
        }
    }
    if (book.settings.recalc)
        if (int rc = recalc_book(book); rc != 0) return rc;
    apply_auto_widths(book);
    book.styles.assign_format_ids();
    return 0;
}

int raise_read_failure(ErrorSink &err, int rc, const std::string &path, const std::string &fault, bool list_only) {
    // The package's fault follows what the message says anyway: which part, where, what.
    const std::string named = fault.empty() ? path : path + ": " + fault;
    switch (rc) {
    case kOpenError:
    case kReadError: return err.raise(kOpenError, Msg::k03101, named.c_str());
    case kUnsupported: return err.raise(kUnsupported, Msg::k00900, named.c_str());
    case kNoMemory: return err.raise_out_of_memory();
    default: {
        std::string detail = (list_only ? "tsx_list_excel2007() rc=" : "tsx_read_excel2007() rc=") + std::to_string(rc);
        if (!fault.empty()) detail.append(": ").append(fault);
        return err.raise(kFail, Msg::k03600, detail.c_str());
    }
    }
}

SaveTarget save_target(const Book &book, const std::string &memory_override) {
    if (!memory_override.empty()) return {true, memory_override};
    if (book.write_memory || zip_route() == 0) return {true, book.memory_name.empty() ? book.file_name : book.memory_name};
    return {false, book.file_name, book.read_version};
}

namespace {

// A book whose sheet order is descending is saved with its sheet table reversed (the current
// sheet follows its sheet). Reversing twice restores the book, after a failed save.
void reverse_sheet_order(Book &book) {
    std::reverse(book.sheets.begin(), book.sheets.end());
    const int last = book.sheet_count() - 1;
    if (last >= 0) book.current_sheet = last - book.current_sheet;
    // Drawing objects name their sheet by position: they move with it.
    for (DrawingObject &object : book.drawings) {
        if (object.sheet >= 0 && object.sheet <= last) object.sheet = last - object.sheet;
        if (object.chart && object.chart->sheet >= 0 && object.chart->sheet <= last)
            object.chart->sheet = last - object.chart->sheet;
    }
}

}  // namespace

int save_book(Book &book, const SaveTarget &target) {
    // A save that is refused outright keeps the memory files.
    if (!(book.from_file && !book.source)) mclose_all();
    return save_book_copy(book, target);
}

int save_book_copy(Book &book, const SaveTarget &target) {
    // A book read from a file is saved over its package; one read without it cannot be saved.
    // A book read from an .xls keeps no package to write back: it is read only.
    if (book.from_file && !book.source)
        return book.err.raise(kUnsupported, Msg::k00900, (book.file_name + ": an .xls workbook is read only").c_str());
    // A save that fails leaves the caller's book as it was for another try: the three sheets a
    // book without any is saved with are the save's, and a descending order is undone again
    // (however the save ends, memory running out included).
    struct Restore {
        Book &book;
        bool added_sheets;
        bool reversed = false;
        bool saved = false;
        ~Restore() {
            if (saved) return;
            if (reversed) reverse_sheet_order(book);
            if (added_sheets) book.sheets.clear();
        }
    } restore{book, book.sheet_count() == 0 && !book.source};
    int rc = prepare_book_for_save(book);
    if (rc != 0) return rc;
    if (book.settings.descending_order) {
        reverse_sheet_order(book);
        restore.reversed = true;
    }
    rc = book.source ? tsx_update_excel2007(book, target) : tsx_create_excel2007(book, target);
    restore.saved = rc == 0;
    return rc;
}

void close_memory_files(const std::string &keep) {
    if (keep.empty()) {
        mclose_all();
        return;
    }
    mrelease_all_but(keep);
}

int swap_memory_files(int restore) {
    mpark(restore);
    return 0;
}

}  // namespace tabsmith
