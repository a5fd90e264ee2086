// Every exported function's main path run with each allocation failing in turn: every call answers
// -2 with TXLS-00002 (or succeeds), never crashes or leaks, and the book still frees and saves.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "alloc/fail_allocator.h"
#include "alloc/package_listing.h"
#include "model/book.h"
#include "support/charset.h"
#include "tabsmith.h"

extern "C" int __lsan_do_recoverable_leak_check() __attribute__((weak));

namespace {

namespace fs = std::filesystem;
namespace fa = tabsmith::testing::fail_alloc;
using tabsmith::testing::package_listing;

// ---------------------------------------------------------------------------------------------
// Scenarios: a book prepared without counting, then calls made with counting on.

struct Step {
    std::string name;
    std::function<int()> call;               // counted
    std::function<std::string()> read = {};  // what the call left for the caller, not counted
    bool on_book = true;                     // a failure shows in the record's code and message
    bool counted = true;                     // false: a look at the result, never failing
    bool stand_in_ok = false;                // without memory, may hand out TXLS-00002 instead
    // What must hold after the call failed ("" when it does): a failed close leaves the book
    // open and no half-written archive behind.
    std::function<std::string()> after_failure = {};
    // A call with one effect (not a list of statements, which keep those run before a failure)
    // leaves the book's extent as it was when it fails.
    bool one_effect = true;
};

struct Run {
    explicit Run(fs::path folder) : dir(std::move(folder)), book(std::make_unique<XLS_BOOK>()) {
        std::memset(book.get(), 0, sizeof *book);
    }
    fs::path dir;
    std::unique_ptr<XLS_BOOK> book;
    XLS_BOOK *rec() { return book.get(); }
};

struct Scenario {
    const char *name;
    std::function<std::vector<Step>(Run &)> make;
};

// What a failed call must not have changed: the sheets, the rows and cells in use in each
// (which $ROWNUM and the row and column counts report), the shared strings and variables.
std::string book_extent(XLS_BOOK *rec) {
    const auto *book = static_cast<const tabsmith::Book *>(rec->work);
    if (!book) return "no book";
    std::string out;
    for (const auto &sheet : book->sheets) {
        out += sheet->name + " rows " + std::to_string(sheet->rows_used) + " data " + std::to_string(sheet->data_row);
        for (int r = 0; r < sheet->rows_used && r < static_cast<int>(sheet->rows.size()); ++r)
            out += " " + std::to_string(sheet->rows[static_cast<std::size_t>(r)].used);
        out += "; ";
    }
    return out + "strings " + std::to_string(book->shared_strings.size()) + " variables " +
           std::to_string(book->variables.size());
}

std::string read_file_bytes(const fs::path &path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void write_file_bytes(const fs::path &path, const std::string &bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// The folder's file names: a failed save must leave no partial or temporary file behind.
std::string folder_listing(const fs::path &dir) {
    std::vector<std::string> names;
    for (const auto &entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    std::string out;
    for (const auto &name : names) out += name + " ";
    return out;
}

std::string saved_on_disk(const fs::path &dir, const char *file) {
    return folder_listing(dir) + "\n" + package_listing(read_file_bytes(dir / file));
}

std::string saved_in_memory(const char *name) {
    const void *bytes = nullptr;
    long size = 0;
    if (int rc = TXLS_memory_get(name, &bytes, &size); rc != 0) return "memory_get " + std::to_string(rc);
    return package_listing(std::string_view(static_cast<const char *>(bytes), static_cast<std::size_t>(size)));
}

// Buffers handed to the calls that read; their contents are what the caller sees.
struct Buffers {
    char value[512] = "", kind[64] = "", name[128] = "";
    char cells[4][64] = {};
    char *cell_ptrs[4] = {cells[0], cells[1], cells[2], cells[3]};
    int row = 0, column = 0, row2 = 0, column2 = 0, id = 0;
    TXLS_SEARCH search{};
    const void *bytes = nullptr;
    long size = 0;

    std::string cell_list() const {
        std::string out;
        for (const auto &cell : cells) out += std::string(cell) + "|";
        return out;
    }
};

Step book_call(std::string name, std::function<int()> call, std::function<std::string()> read = {}) {
    return Step{std::move(name), std::move(call), std::move(read), true, true};
}
Step free_call(std::string name, std::function<int()> call, std::function<std::string()> read = {}) {
    return Step{std::move(name), std::move(call), std::move(read), false, true};
}
Step look(std::string name, std::function<std::string()> read) {
    return Step{std::move(name), [] { return 0; }, std::move(read), false, false};
}
// A close that saves to `folder` (on disk) or to the memory file `memory_name`.
Step close_book(XLS_BOOK *rec, const char *options, fs::path folder = {}, std::string memory_name = {}) {
    Step step =
        book_call(std::string("close_book ") + options, [rec, options] { return TXLS_close_book(rec, options); });
    step.after_failure = [rec, folder, memory_name] {
        std::string wrong;
        if (!rec->work) wrong += "the book was closed; ";
        if (!folder.empty() && folder_listing(folder).find(".tmp") != std::string::npos)
            wrong += "left " + folder_listing(folder) + "; ";
        const void *bytes = nullptr;
        long size = 0;
        if (!memory_name.empty() && TXLS_memory_get(memory_name.c_str(), &bytes, &size) != -101)
            wrong += "left the memory file " + memory_name + " (" + std::to_string(size) + " bytes); ";
        return wrong;
    };
    return step;
}
// TXLS_error_mesg converts the message; without memory to do that it hands out TXLS-00002, kept
// ready in every character set.
Step error_mesg(XLS_BOOK *rec) {
    return Step{"error_mesg",
                [rec] { return TXLS_error_mesg(rec) ? 0 : -1; },
                [rec] { return std::string(rec->caller_mesg); },
                false,
                true,
                true};
}

std::string sjis(const std::string &utf8) { return tabsmith::from_utf8(utf8, tabsmith::kSjis); }

// The main path of a report: open with options, sheets, a value of every kind, variables, every
// way of reading cells back, cell names, a failing call's message, and the save to disk.
std::vector<Step> every_value_kind(Run &run) {
    auto buf = std::make_shared<Buffers>();
    auto rec = run.rec();
    auto texts = std::make_shared<std::vector<std::string>>();
    const std::string options = "MODE=CREATE BOOK=\"" + (run.dir / "values").string() +
                                "\" CHARSET=UTF8 VERSION=2.0.4.0 XLS_BOOK=" + std::to_string(sizeof(XLS_BOOK)) +
                                " TEMP_WORKBOOK_PATH=\"" + run.dir.string() + "\"";
    texts->push_back(options);
    std::vector<Step> steps;
    steps.push_back(book_call("open_book", [rec, texts] { return TXLS_open_book(rec, (*texts)[0].c_str()); }));
    steps.push_back(book_call("put_variable", [rec] { return TXLS_put_variable(rec, "REGION", "Kanto"); }));
    steps.push_back(book_call("open_sheet", [rec] { return TXLS_open_sheet(rec, "SHEET_NAME=Summary"); }));
    static const char *const cells[][2] = {
        {"A1", "Sales report"}, {"A2", "売上"},        {"A3", "$REGION"},    {"B1", "1,234,567"},
        {"B2", "12.50"},        {"B3", "8.25%"},       {"C1", "2024/04/01"}, {"C2", "2024-04-01 09:30"},
        {"C3", "17:45:10"},     {"D1", "=SUM(B1:B2)"}, {"D2", "'00123"},     {"D3", "\\$not a variable"},
        {"E1", "-0.000123"},    {"E2", "TRUE"},        {"E3", "17:45"},
    };
    for (const auto &cell : cells) {
        const char *name = cell[0], *value = cell[1];
        steps.push_back(
            book_call(std::string("put_cell ") + name, [rec, name, value] { return TXLS_put_cell(rec, name, value); }));
    }
    steps.push_back(book_call("open_sheet Detail", [rec] { return TXLS_open_sheet(rec, "SHEET_NAME=Detail"); }));
    steps.push_back(
        book_call("put_cell Summary!F1", [rec] { return TXLS_put_cell(rec, "Summary!F1", "other sheet"); }));
    steps.push_back(book_call("open_sheet template", [rec] {
        return TXLS_open_sheet(rec, "MODE=TEMPLATE TEMPLATE=Summary SHEET_NAME=Copy");
    }));
    steps.push_back(
        book_call("open_sheet select", [rec] { return TXLS_open_sheet(rec, "MODE=READ SHEET_NAME=Detail"); }));
    steps.push_back(book_call("open_sheet2", [rec] { return TXLS_open_sheet2(rec, 0); }));
    steps.push_back(book_call("sheet_num", [rec] { return TXLS_sheet_num(rec); }));
    steps.push_back(book_call(
        "sheet_name", [rec, buf] { return TXLS_sheet_name(rec, 1, buf->name, sizeof buf->name); },
        [buf] { return std::string(buf->name); }));
    steps.push_back(book_call("row_num", [rec] { return TXLS_row_num(rec); }));
    steps.push_back(book_call("column_num", [rec] { return TXLS_column_num(rec, 0); }));
    for (const auto &cell : cells) {
        const char *name = cell[0];
        steps.push_back(book_call(
            std::string("get_cell ") + name,
            [rec, buf, name] {
                return TXLS_get_cell(rec, name, buf->value, sizeof buf->value, buf->kind, sizeof buf->kind);
            },
            [buf] { return std::string(buf->value) + "|" + buf->kind; }));
        steps.push_back(book_call(
            std::string("get_format_cell ") + name,
            [rec, buf, name] {
                return TXLS_get_format_cell(rec, name, buf->value, sizeof buf->value, buf->kind, sizeof buf->kind);
            },
            [buf] { return std::string(buf->value) + "|" + buf->kind; }));
    }
    steps.push_back(book_call(
        "get_cells row", [rec, buf] { return TXLS_get_cells(rec, 0, 0, 0, 0, 4, buf->cell_ptrs, 64); },
        [buf] { return buf->cell_list(); }));
    steps.push_back(book_call(
        "get_cells column", [rec, buf] { return TXLS_get_cells(rec, 1, 0, 0, 2, 4, buf->cell_ptrs, 64); },
        [buf] { return buf->cell_list(); }));
    steps.push_back(book_call(
        "search",
        [rec, buf] {
            buf->search = TXLS_SEARCH{};
            buf->search.match_mode = 1;
            std::strcpy(buf->search.sheet_name, "Summary");
            std::strcpy(buf->search.range, "A1:E3");
            buf->search.count = 3;
            return TXLS_search(rec, &buf->search, "kanto", buf->cell_ptrs, 64);
        },
        [buf] {
            return buf->cell_list() + std::to_string(buf->search.hit_row) + "," +
                   std::to_string(buf->search.hit_column);
        }));
    steps.push_back(book_call(
        "is_cell", [rec, buf] { return TXLS_is_cell(rec, "Summary!B2", &buf->row, &buf->column); },
        [buf] { return std::to_string(buf->row) + "," + std::to_string(buf->column); }));
    steps.push_back(book_call(
        "is_range",
        [rec, buf] { return TXLS_is_range(rec, "A1:C3", &buf->row, &buf->column, &buf->row2, &buf->column2); },
        [buf] {
            return std::to_string(buf->row) + "," + std::to_string(buf->column) + ":" + std::to_string(buf->row2) +
                   "," + std::to_string(buf->column2);
        }));
    steps.push_back(book_call(
        "is_property", [rec, buf] { return TXLS_is_property(rec, "A1.FONT.COLOR", &buf->id); },
        [buf] { return std::to_string(buf->id); }));
    steps.push_back(free_call(
        "cell_name", [buf] { return TXLS_cell_name(12, 28, buf->name, sizeof buf->name); },
        [buf] { return std::string(buf->name); }));
    steps.push_back(free_call(
        "cell_range", [buf] { return TXLS_cell_range(1, 1, 300, 703, buf->name, sizeof buf->name); },
        [buf] { return std::string(buf->name); }));
    steps.push_back(book_call(
        "version", [rec, buf] { return TXLS_version(rec, buf->name, sizeof buf->name); },
        [buf] { return std::string(buf->name); }));
    // A refused call raises its message; the message is then read in the book's character set.
    steps.push_back(book_call("put_cell refused", [rec] { return TXLS_put_cell(rec, "A0", "x"); }));
    steps.push_back(error_mesg(rec));
    steps.push_back(book_call("sheet_hyperlink", [rec] { return TXLS_sheet_hyperlink(rec, "A1", "Detail", "B2"); }));
    steps.push_back(
        book_call("put_values", [rec] { return TXLS_put_values(rec, "A5=1 A5.FONT.COLOR=RED Detail!B2=x"); }));
    steps.back().one_effect = false;
    steps.push_back(close_book(rec, "SAVE", run.dir));
    steps.push_back(look("saved book", [dir = run.dir] { return saved_on_disk(dir, "values.xlsx"); }));
    // The saved workbook read back: every allocation of the reader fails in turn too.
    texts->push_back("MODE=READ BOOK=\"" + (run.dir / "values.xlsx").string() + "\"");
    steps.push_back(book_call("open_book READ", [rec, texts] { return TXLS_open_book(rec, (*texts)[1].c_str()); }));
    steps.push_back(error_mesg(rec));
    steps.push_back(book_call("free read book", [rec] { return TXLS_free_book(rec); }));
    steps.push_back(book_call("open_book again", [rec] { return TXLS_open_book(rec, "MODE=CREATE"); }));
    steps.push_back(book_call("free_book", [rec] { return TXLS_free_book(rec); }));
    return steps;
}

// Styles, merges, formats, sheet and book settings through put_values, saved in memory.
std::vector<Step> statements_and_settings(Run &run) {
    auto buf = std::make_shared<Buffers>();
    auto rec = run.rec();
    EXPECT_EQ(TXLS_open_book(rec, "MODE=CREATE BOOK=styled WRITE_MEMORY=TRUE CHARSET=UTF8"), 0);
    EXPECT_EQ(TXLS_open_sheet(rec, "SHEET_NAME=Sales"), 0);
    static const char *const statements[] = {
        "BOOK.TITLE=\"四半期売上\" BOOK.CREATOR=Tabsmith BOOK.COMPANY=\"Example Trading\" BOOK.SUBJECT=Q1 "
        "BOOK.MANAGER=Boss BOOK.RECALC=TRUE",
        "A1=\"Quarterly sales\" A1.FONT.SIZE=16 A1.FONT.STYLE=bold A1.FONT.COLOR=NAVY A1.FONT.NAME=明朝",
        // A merge made twice overlaps itself: on its own, so that a failed call can be made again.
        "A1:E1.MERGE=TRUE",
        "A1.ALIGN=CENTER_CENTER 1.HEIGHT=28",
        "A3=Region B3=Units C3=Amount D3=Rate E3=Day A3:E3.FONT.STYLE=bold A3:E3.FILL.COLOR=LIGHT_YELLOW "
        "A3:E3.FONT.COLOR=#1F3864",
        "A4=East B4=120 C4=144000 D4=0.125 E4=2024/04/01 A5=West B5=95 C5=114000 D5=0.5 E5=2024/04/02",
        "A6=合計 B6=\"=SUM(B4:B5)\" C6=\"=SUM(C4:C5)\" D6=\"=AVERAGE(D4:D5)\"",
        "B4:B6.FORMAT=カンマ C4:C6.FORMAT=円 D4:D6.FORMAT=パーセント小数点以下1 E4:E5.FORMAT=和暦",
        "A3:E6.BORDER=thin A3:E6.BORDER.COLOR=GRAY A6:E6.BORDER.TOP=double A6:E6.FILL.COLOR=LIGHT_CYAN",
        "A7=\"a long text that wraps\" A7.WRAP=TRUE B7=shrink B7.SHRINK=TRUE C7=vertical C7.ROTATION=TRUE",
        "A.WIDTH=12 B.WIDTH=10 C.WIDTH=16 3.NEWPAGE=TRUE AUTO_WIDTH=TRUE",
        "SHEET.ZOOM=120 SHEET.TAB.COLOR=BLUE SHEET.FROZEN_SPLIT=A4 SHEET.HIDDEN_GRID=TRUE",
        "SHEET.PROTECT=TRUE SHEET.PASSWORD=secret",
        "PAPER.SIZE=A4 PAPER.ORIENTATION=LANDSCAPE PAPER.SCALE=90 PAPER.MARGIN.TOP=1.5 PAPER.MARGIN.LEFT=0.8",
        "SHEET.HEADER.CENTER=\"四半期売上報告\" SHEET.HEADER.CENTER.FONT.STYLE=bold SHEET.FOOTER.RIGHT=Tabsmith "
        "SHEET.PRINT_TITLE_ROW=3",
        "SHEET=Summary A1=Summary A2=\"=SUM(Sales!C4:C5)\" A2.FORMAT=円 SHEET.ORDER=DESC",
    };
    std::vector<Step> steps;
    for (const char *text : statements) {
        steps.push_back(book_call(std::string("put_values ") + std::string(text).substr(0, 24),
                                  [rec, text] { return TXLS_put_values(rec, text); }));
        steps.back().one_effect = false;
    }
    steps.push_back(book_call(
        "get_format_cell",
        [rec, buf] {
            return TXLS_get_format_cell(rec, "Sales!D4", buf->value, sizeof buf->value, buf->kind, sizeof buf->kind);
        },
        [buf] { return std::string(buf->value) + "|" + buf->kind; }));
    steps.push_back(close_book(rec, "SAVE", {}, "styled.xlsx"));
    steps.push_back(free_call(
        "memory_get", [buf] { return TXLS_memory_get("styled.xlsx", &buf->bytes, &buf->size); },
        [buf] {
            return package_listing({static_cast<const char *>(buf->bytes), std::size_t(buf->size)});
        }));
    return steps;
}

// A CSV file pasted by a statement, with the rows it filled used by later statements.
std::vector<Step> csv_paste(Run &run) {
    auto buf = std::make_shared<Buffers>();
    auto rec = run.rec();
    write_file_bytes(run.dir / "sales.csv",
                     "Month,Region,Product,Units,Amount\n"
                     "2024/04,East,Notebook,120,144000\n"
                     "2024/04,West,\"Pen, set\",95,114000\r\n"
                     "2024/05,East,\"Note \"\"A\"\"\",135,162000\n"
                     "2024/05,West,売上,101,121200\n");
    EXPECT_EQ(TXLS_open_book(rec, ("MODE=CREATE CHARSET=UTF8 BOOK=\"" + (run.dir / "pasted").string() + "\"").c_str()),
              0);
    EXPECT_EQ(TXLS_open_sheet(rec, "SHEET_NAME=Sales"), 0);
    // One call each: the statements after a paste count its rows, so a call that failed after
    // some of its statements ran would, made again, count the rows those added.
    auto statements = std::make_shared<std::vector<std::string>>(std::vector<std::string>{
        "A3.CSV=\"" + (run.dir / "sales.csv").string() + "\"",
        "D4:D($ROWNUM).FORMAT=カンマ",
        "A($ROWNUM+1)=合計",
        "D($ROWNUM+1)=\"=SUM(D4:D($ROWNUM))\"",
        "A3:E($ROWNUM+1).BORDER=thin",
    });
    auto tsv = std::make_shared<std::string>("Detail!B2.TSV=\"" + (run.dir / "sales.csv").string() + "\"");
    std::vector<Step> steps;
    for (std::size_t k = 0; k < statements->size(); ++k) {
        steps.push_back(book_call("put_values " + (*statements)[k].substr(0, 12),
                                  [rec, statements, k] { return TXLS_put_values(rec, (*statements)[k].c_str()); }));
        steps.back().one_effect = k != 0;   // a paste keeps the rows it made before a failure
    }
    steps.push_back(book_call("open_sheet", [rec] { return TXLS_open_sheet(rec, "SHEET_NAME=Detail"); }));
    steps.push_back(book_call("put_values TSV", [rec, tsv] { return TXLS_put_values(rec, tsv->c_str()); }));
    steps.back().one_effect = false;
    for (const char *cell : {"Sales!C6", "Sales!E7", "Sales!A8", "Sales!D8", "Detail!B2"})
        steps.push_back(book_call(
            std::string("get_cell ") + cell,
            [rec, buf, cell] {
                return TXLS_get_cell(rec, cell, buf->value, sizeof buf->value, buf->kind, sizeof buf->kind);
            },
            [buf] { return std::string(buf->value) + "|" + buf->kind; }));
    steps.push_back(close_book(rec, "SAVE", run.dir));
    steps.push_back(look("saved book", [dir = run.dir] { return saved_on_disk(dir, "pasted.xlsx"); }));
    return steps;
}

// A statement file in Shift-JIS run into a Shift-JIS book: conversions on the way in and out.
std::vector<Step> statement_file(Run &run) {
    auto buf = std::make_shared<Buffers>();
    auto rec = run.rec();
    write_file_bytes(run.dir / "items.csv", sjis("品名,数量\nりんご,3\nみかん,5\n"));
    write_file_bytes(run.dir / "report.txt", sjis("! 報告書の文\n"
                                                  "ブック.タイトル=\"月次報告\"\n"
                                                  "シート=売上\n"
                                                  "A1=\"月次報告\" A1.フォント.色=赤 A1.フォント.スタイル=強調\n"
                                                  "A3.CSV=\"" +
                                                  (run.dir / "items.csv").string() +
                                                  "\"\n"
                                                  "B4:B($ROWNUM).書式=カンマ A3:B($ROWNUM).罫線=実線\n"
                                                  "売上!D1=\"=SUM(B4:B5)\" D1.罫線.左=二重線\n"));
    EXPECT_EQ(TXLS_open_book(rec, ("MODE=CREATE CHARSET=SJIS BOOK=\"" + (run.dir / "monthly").string() + "\"").c_str()),
              0);
    auto options = std::make_shared<std::string>("FILE=\"" + (run.dir / "report.txt").string() + "\" CHARSET=SJIS");
    auto cells = std::make_shared<std::vector<std::string>>();
    for (const char *cell : {"売上!A1", "売上!A4", "売上!B5", "売上!D1"}) cells->push_back(sjis(cell));
    std::vector<Step> steps;
    steps.push_back(book_call("read_file", [rec, options] { return TXLS_read_file(rec, options->c_str()); }));
    steps.back().one_effect = false;
    for (std::size_t k = 0; k < cells->size(); ++k)
        steps.push_back(book_call(
            "get_cell " + std::to_string(k),
            [rec, buf, cells, k] {
                return TXLS_get_cell(rec, (*cells)[k].c_str(), buf->value, sizeof buf->value, buf->kind,
                                     sizeof buf->kind);
            },
            [buf] { return std::string(buf->value) + "|" + buf->kind; }));
    steps.push_back(book_call(
        "sheet_name", [rec, buf] { return TXLS_sheet_name(rec, 0, buf->name, sizeof buf->name); },
        [buf] { return std::string(buf->name); }));
    steps.push_back(
        book_call("read_file missing", [rec] { return TXLS_read_file(rec, "FILE=/nonexistent/statements.txt"); }));
    steps.push_back(error_mesg(rec));
    steps.push_back(close_book(rec, "SAVE", run.dir));
    steps.push_back(look("saved book", [dir = run.dir] { return saved_on_disk(dir, "monthly.xlsx"); }));
    return steps;
}

// Memory files: bytes handed in and out, parking, and a package routed into memory.
std::vector<Step> memory_files(Run &run) {
    auto buf = std::make_shared<Buffers>();
    auto rec = run.rec();
    auto blob = std::make_shared<std::string>(100000, 'x');
    for (std::size_t k = 0; k < blob->size(); k += 7) (*blob)[k] = static_cast<char>(k);
    std::vector<Step> steps;
    steps.push_back(free_call(
        "memory_put", [blob] { return TXLS_memory_put("blob.bin", blob->data(), static_cast<long>(blob->size())); }));
    steps.push_back(free_call(
        "memory_get", [buf] { return TXLS_memory_get("blob.bin", &buf->bytes, &buf->size); },
        [buf, blob] {
            return std::string(buf->size == long(blob->size()) &&
                                       std::memcmp(buf->bytes, blob->data(), blob->size()) == 0
                                   ? "same"
                                   : "differs");
        }));
    steps.push_back(free_call("swap_book park", [] { return TXLS_swap_book(0); }));
    steps.push_back(
        free_call("memory_get parked", [buf] { return TXLS_memory_get("blob.bin", &buf->bytes, &buf->size); }));
    steps.push_back(free_call("swap_book restore", [] { return TXLS_swap_book(1); }));
    steps.push_back(free_call("zip_on_memory", [] { return orv_zip_on_memory(0); }));
    steps.push_back(
        book_call("open_book", [rec] { return TXLS_open_book(rec, "MODE=CREATE BOOK=/routed/book CHARSET=UTF8"); }));
    steps.push_back(book_call("put_cell", [rec] { return TXLS_put_cell(rec, "A1", "routed into memory"); }));
    steps.push_back(close_book(rec, "SAVE", {}, "/routed/book.xlsx"));
    steps.push_back(look("routed book", [] { return saved_in_memory("/routed/book.xlsx"); }));
    steps.push_back(free_call("zip_on_disk", [] { return orv_zip_on_memory(1); }));
    steps.push_back(book_call("open_book WRITE_MEMORY",
                              [rec] { return TXLS_open_book(rec, "MODE=CREATE BOOK=kept WRITE_MEMORY=TRUE"); }));
    // A book saved without sheets gets three empty ones.
    steps.push_back(book_call("put_cell without a sheet", [rec] { return TXLS_put_cell(rec, "B2", "12.5"); }));
    steps.push_back(close_book(rec, "SAVE", {}, "kept.xlsx"));
    steps.push_back(free_call(
        "memory_get", [buf] { return TXLS_memory_get("kept.xlsx", &buf->bytes, &buf->size); },
        [buf] {
            return package_listing({static_cast<const char *>(buf->bytes), std::size_t(buf->size)});
        }));
    // A book saved to disk after one saved in memory goes to disk.
    auto after = std::make_shared<std::string>("MODE=CREATE BOOK=\"" + (run.dir / "after").string() + "\"");
    steps.push_back(book_call("open_book on disk", [rec, after] { return TXLS_open_book(rec, after->c_str()); }));
    steps.push_back(book_call("put_cell", [rec] { return TXLS_put_cell(rec, "A1", "on disk"); }));
    steps.push_back(close_book(rec, "SAVE", run.dir));
    steps.push_back(look("saved book", [dir = run.dir] { return saved_on_disk(dir, "after.xlsx"); }));
    steps.push_back(book_call("open_book again", [rec] { return TXLS_open_book(rec, "MODE=CREATE BOOK=dropped"); }));
    steps.push_back(close_book(rec, "DESTROY"));
    return steps;
}

// A Shift-JIS book: sheet names, cell texts and statements converted in and out, saved in memory.
std::vector<Step> shift_jis_book(Run &run) {
    auto buf = std::make_shared<Buffers>();
    auto rec = run.rec();
    auto texts = std::make_shared<std::vector<std::string>>();
    for (const char *text : {"SHEET_NAME=\"売上　明細\"", "売上　明細!B2", "全角の文字列",
                             "A1=表示 A1.フォント.色=赤 売上　明細!C1.罫線.左=二重線", "ＡＢＣ１２３",
                             "モード=新規 ブック=日本語 キャラクタセット=SJIS WRITE_MEMORY=TRUE"})
        texts->push_back(sjis(text));
    std::vector<Step> steps;
    steps.push_back(book_call("open_book", [rec, texts] { return TXLS_open_book(rec, (*texts)[5].c_str()); }));
    steps.push_back(book_call("open_sheet", [rec, texts] { return TXLS_open_sheet(rec, (*texts)[0].c_str()); }));
    steps.push_back(
        book_call("put_cell", [rec, texts] { return TXLS_put_cell(rec, (*texts)[1].c_str(), (*texts)[2].c_str()); }));
    steps.push_back(book_call("put_cell 2", [rec, texts] { return TXLS_put_cell(rec, "A2", (*texts)[4].c_str()); }));
    steps.push_back(book_call("put_values", [rec, texts] { return TXLS_put_values(rec, (*texts)[3].c_str()); }));
    steps.back().one_effect = false;
    steps.push_back(book_call(
        "get_cell",
        [rec, buf, texts] {
            return TXLS_get_cell(rec, (*texts)[1].c_str(), buf->value, sizeof buf->value, buf->kind, sizeof buf->kind);
        },
        [buf] { return std::string(buf->value) + "|" + buf->kind; }));
    steps.push_back(book_call(
        "sheet_name", [rec, buf] { return TXLS_sheet_name(rec, 0, buf->name, sizeof buf->name); },
        [buf] { return std::string(buf->name); }));
    steps.push_back(book_call("put_cell refused", [rec] { return TXLS_put_cell(rec, "ZZZZ1", "x"); }));
    steps.push_back(error_mesg(rec));
    steps.push_back(close_book(rec, "SAVE", {}, "日本語.xlsx"));
    steps.push_back(look("saved book", [] { return saved_in_memory("日本語.xlsx"); }));
    return steps;
}

const Scenario kScenarios[] = {
    {"EveryValueKind", every_value_kind},
    {"StatementsAndSettings", statements_and_settings},
    {"CsvPaste", csv_paste},
    {"StatementFile", statement_file},
    {"MemoryFiles", memory_files},
    {"ShiftJisBook", shift_jis_book},
};

// ---------------------------------------------------------------------------------------------
// The driver.

// Where a read differs from the reference run, with a little of each around it.
std::string first_difference(const std::string &got, const std::string &want) {
    std::size_t at = 0;
    while (at < got.size() && at < want.size() && got[at] == want[at]) ++at;
    const std::size_t from = at > 60 ? at - 60 : 0;
    return "read \"" + got.substr(from, 160) + "\" where the reference has \"" + want.substr(from, 160) + "\"";
}

struct Observed {
    int rc = 0;
    std::string out;
};

struct Outcome {
    std::vector<Observed> steps;
    long failures = 0;
    std::vector<std::string> faults;
};

struct Mode {
    const char *name;
    unsigned sources;
    bool repeat;  // every allocation after the n-th fails too, until the call returns
};

const Mode kModes[] = {
    {"New", fa::kNew, false},
    {"NewFromThenOn", fa::kNew, true},
    {"Malloc", fa::kMalloc, false},
};

fs::path scratch_root() { return fs::path(::testing::TempDir()) / ("tabsmith_alloc_" + std::to_string(::getpid())); }

bool mentions_out_of_memory(XLS_BOOK *rec) {
    const char *message = TXLS_error_mesg(rec);
    return message && std::strstr(message, "TXLS-00002") != nullptr;
}

// Runs the scenario once with the `nth` allocation failing (0: none) and checks each call
// against the reference run. Runs on a thread of its own, so per-thread state starts afresh
// as it does for a caller's new thread.
Outcome run_scenario(const Scenario &scenario, const Mode &mode, long nth, const std::vector<Observed> *reference) {
    Outcome outcome;
    std::thread([&] {
        const fs::path dir = scratch_root() / scenario.name;
        fs::remove_all(dir);
        fs::create_directories(dir);
        Run run(dir);
        std::vector<Step> steps = scenario.make(run);
        std::string failed_in;  // the call in which the allocation failed
        auto fault = [&](const Step &step, const std::string &what) {
            const bool elsewhere = !failed_in.empty() && failed_in != step.name;
            outcome.faults.push_back("n=" + std::to_string(nth) + " " + step.name + ": " + what +
                                     (elsewhere ? " (failed in " + failed_in + ")" : ""));
        };
        fa::arm(nth, mode.sources, mode.repeat);
        for (std::size_t k = 0; k < steps.size(); ++k) {
            const Step &step = steps[k];
            const long before = fa::failures();
            const std::string extent_before = step.one_effect && step.on_book ? book_extent(run.rec()) : "";
            if (step.counted) fa::resume();
            int rc = 0;
            try {
                rc = step.call();
            } catch (const std::exception &error) {
                // A C caller would be torn down here; report it and go on with the next step.
                fa::suspend();
                fault(step, std::string("exception escaped the C API: ") + error.what());
                fa::disarm();
                continue;
            }
            fa::suspend();
            const bool hit = fa::failures() != before;
            if (hit) {
                fa::disarm();  // one failing call per run; the rest of the run goes through
                failed_in = step.name;
            }
            std::string out = step.read ? step.read() : std::string();
            if (!reference) {
                outcome.steps.push_back({rc, out});
                continue;
            }
            const Observed &want = (*reference)[k];
            if (rc == want.rc) {
                const bool stand_in = hit && step.stand_in_ok && out.find("TXLS-00002") == 0;
                if (out != want.out && !stand_in)
                    fault(step,
                          (hit ? "succeeded with a failed allocation but " : "") + first_difference(out, want.out));
                continue;
            }
            if (!hit) {
                fault(step, "returned " + std::to_string(rc) + " instead of " + std::to_string(want.rc) + " " +
                                (rc < 0 ? TXLS_error_mesg(run.rec()) : ""));
                continue;
            }
            // A failed allocation: -2 from operator new, any failure code from the C allocator
            // (a C library may report it as its own kind of failure).
            const bool from_new = fa::first_failure_source() == fa::kNew;
            if (step.one_effect && step.on_book && rc < 0 && book_extent(run.rec()) != extent_before)
                fault(step, "failed with " + std::to_string(rc) + " but changed the book from " + extent_before +
                                " to " + book_extent(run.rec()));
            if (step.after_failure)
                if (std::string wrong = step.after_failure(); !wrong.empty())
                    fault(step, "failed with " + std::to_string(rc) + " but " + wrong);
            if (rc == -2) {
                if (step.on_book && (run.rec()->error_code != -2 || !mentions_out_of_memory(run.rec())))
                    fault(step, "-2 but the record says " + std::to_string(run.rec()->error_code) + " " +
                                    TXLS_error_mesg(run.rec()));
            } else if (from_new || rc >= 0) {
                fault(step, "returned " + std::to_string(rc) + " instead of -2 (or " + std::to_string(want.rc) + ")");
            }
            // The failed call leaves the book as it was: made again, it does what it did.
            try {
                rc = step.call();
            } catch (const std::exception &error) {
                fault(step, std::string("exception escaped the C API when made again: ") + error.what());
                continue;
            }
            out = step.read ? step.read() : std::string();
            if (rc != want.rc || out != want.out)
                fault(step,
                      "made again after the failure: " + std::to_string(rc) + " " + first_difference(out, want.out));
        }
        fa::disarm();
        TXLS_free_book(run.rec());
        fs::remove_all(dir);
    }).join();
    outcome.failures = fa::failures();
    return outcome;
}

class OutOfMemory : public ::testing::TestWithParam<std::tuple<int, int>> {
protected:
    static void TearDownTestSuite() { fs::remove_all(scratch_root()); }
};

TEST_P(OutOfMemory, EveryAllocationFailingInTurn) {
    const Scenario &scenario = kScenarios[std::get<0>(GetParam())];
    const Mode &mode = kModes[std::get<1>(GetParam())];
    Outcome reference = run_scenario(scenario, mode, 0, nullptr);
    if (std::getenv("TABSMITH_ALLOC_VERBOSE"))
        for (const Observed &step : reference.steps) std::cout << step.rc << " " << step.out << "\n";
    // Two clean runs agree, or the comparisons below would mean nothing.
    Outcome again = run_scenario(scenario, mode, 0, &reference.steps);
    ASSERT_TRUE(again.faults.empty()) << again.faults.front();

    constexpr long kLimit = 200000;
    std::vector<std::string> faults;
    long nth = 1;
    // TABSMITH_ALLOC_NTH=n runs that one case (with a debugger: break failure_point).
    const char *only = std::getenv("TABSMITH_ALLOC_NTH");
    if (only) nth = std::atol(only);
    for (; nth < kLimit; ++nth) {
        Outcome outcome = run_scenario(scenario, mode, nth, &reference.steps);
        faults.insert(faults.end(), outcome.faults.begin(), outcome.faults.end());
        if (outcome.failures == 0 || only) break;  // the whole scenario went through: every point driven
    }
    EXPECT_LT(nth, kLimit);
    std::cout << "[ figures  ] " << scenario.name << "/" << mode.name << ": " << nth - 1
              << " allocation points driven\n";
    RecordProperty("allocation_points", std::to_string(nth - 1));
    const std::size_t shown = std::getenv("TABSMITH_ALLOC_VERBOSE") ? faults.size() : 40;
    for (std::size_t k = 0; k < faults.size() && k < shown; ++k) ADD_FAILURE() << faults[k];
    EXPECT_TRUE(faults.empty()) << faults.size() << " faults";
    if (__lsan_do_recoverable_leak_check) {
        EXPECT_EQ(__lsan_do_recoverable_leak_check(), 0) << "leaks above";
    }
}

std::string case_name(const ::testing::TestParamInfo<std::tuple<int, int>> &info) {
    return std::string(kScenarios[std::get<0>(info.param)].name) + "_" + kModes[std::get<1>(info.param)].name;
}

INSTANTIATE_TEST_SUITE_P(Api, OutOfMemory,
                         ::testing::Combine(::testing::Range(0, int(std::size(kScenarios))),
                                            ::testing::Range(0, int(std::size(kModes)))),
                         case_name);

}  // namespace
