// What opening and closing a book needs from the rest of the engine: initial settings, the
// workbook probe, the save entry point and the memory-file table.

#include "api/book_init.h"

#include <algorithm>
#include <cstdio>
#include <new>

#include "datasource/csv_source.h"
#include "formula/recalc.h"
#include "props/auto_width.h"
#include "props/property.h"
#include "support/files.h"
#include "support/mfile.h"
#include "support/zip_archive.h"
#include "xlsx_write/package_writer.h"
#include "xlsx_write/update_writer.h"

namespace tabsmith {

int init_book(Book &book, int file_type) {
    register_data_source_paste(&apply_data_source);
    book.file_type = file_type;
    if (file_type == kFileTypeXls) {
        book.max_rows = kXlsMaxRows;
        book.max_columns = kXlsMaxColumns;
    } else {
        book.max_rows = kXlsxMaxRows;
        book.max_columns = kXlsxMaxColumns;
    }
    book.from_file = book.read_memory = book.write_memory = false;
    book.unload = book.macro = book.load_or_unload = false;
    book.company = "MyCompany";
    book.author = "MyName";
    book.current_sheet = book.current_row = book.current_column = 0;
    book.sheets.clear();
    book.sheets.reserve(10);
    book.shared_strings.clear();
    book.variables.clear();
    return book.styles.seed_defaults();
}

int probe_workbook(const std::string &path, bool from_memory, int &type) {
    type = 0;
    if (from_memory) return mfind(path) ? 0 : kOpenError;
    std::FILE *file = open_input_file(path);
    if (!file) return kOpenError;
    unsigned char head[8];
    std::size_t got = std::fread(head, 1, sizeof head, file);
    bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) return kReadError;
    (void)got;
    return 0;
}

int prepare_book_for_save(Book &book) {
    // A book read from a package has the package's sheets; only a new book gets default ones.
    if (book.sheet_count() == 0 && !book.source) {
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
    // The formats a package brought keep the ids its cell formats use.
    if (book.source) book.styles.assign_added_format_ids(book.source->style_base.num_formats);
    else book.styles.assign_format_ids();
    return 0;
}

SaveTarget save_target(const Book &book, const std::string &memory_override) {
    if (!memory_override.empty()) return {true, memory_override};
    if (book.write_memory || zip_route() == 0) return {true, book.memory_name.empty() ? book.file_name : book.memory_name};
    return {false, book.file_name};
}

namespace {

// A book whose sheet order is descending is saved with its sheet table reversed (the current
// sheet follows its sheet). Reversing twice restores the book, after a failed save.
void reverse_sheet_order(Book &book) {
    std::reverse(book.sheets.begin(), book.sheets.end());
    if (book.sheet_count() > 0) book.current_sheet = book.sheet_count() - 1 - book.current_sheet;
}

}  // namespace

int save_book(Book &book, const SaveTarget &target) {
    // A book read from a file is saved over its package; one read without it cannot be saved.
    if (book.from_file && !book.source) return kFail;
    mclose_all();
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
