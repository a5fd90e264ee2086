// Scenarios of calls run with each allocation failing in turn: every call answers -2 with TXLS-00002
// or succeeds, changes nothing when it fails, and made again does what it did; the message itself.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <new>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "alloc/fail_allocator.h"
#include "common/file_checks.h"
#include "common/package_reader.h"
#include "model/book.h"
#include "support/charset.h"
#include "support/deflate_pipeline.h"
#include "support/errors.h"
#include "support/messages.h"
#include "tabsmith.h"

extern "C" int __lsan_do_recoverable_leak_check() __attribute__((weak));

namespace {

namespace fs = std::filesystem;
namespace fa = tabsmith::testing::fail_alloc;
std::string sjis(const std::string &utf8) { return tabsmith::from_utf8(utf8, tabsmith::kSjis); }

// The out-of-memory message is stored without asking for memory: the catalogue's TXLS-00002,
// byte for byte in Shift-JIS, also in a record that holds no book.
TEST(OutOfMemoryMessage, IsTheCatalogueTextInShiftJis) {
    tabsmith::ErrorSink converted, ready;
    EXPECT_EQ(converted.raise(-2, tabsmith::Msg::k00002), -2);
    EXPECT_EQ(ready.raise_out_of_memory(), -2);
    EXPECT_EQ(ready.code(), -2);
    EXPECT_EQ(std::string(ready.message_sjis()), std::string(converted.message_sjis()));
    EXPECT_EQ(std::string(ready.message_sjis()), sjis(tabsmith::message_entry(tabsmith::Msg::k00002).text));
    XLS_BOOK record{};
    EXPECT_EQ(tabsmith::store_out_of_memory(record.log.error_info, &record.error_code), -2);
    EXPECT_EQ(TXLS_error_code(&record), -2);
    EXPECT_EQ(std::string(record.log.error_info), std::string(converted.message_sjis()));
}

// What a step calls. kPutValues runs a list of statements (those before a failure stay done),
// kStatement one; kClose's second text says where the book lands: "{dir}/..." on the disk, else
// a memory file. kCompress drives the compression pipeline's worker threads, without a book.
enum Call {
    kOpenBook, kFreeBook, kClose, kOpenSheet, kOpenSheet2, kSheetNum, kSheetName, kRowNum, kColumnNum, kPutVariable,
    kPutCell, kPutValues, kStatement, kReadFile, kGetCell, kGetFormatCell, kGetCellsRow, kGetCellsColumn, kSearch,
    kIsCell, kIsRange, kIsProperty, kCellName, kCellRange, kVersion, kErrorMesg, kSheetHyperlink, kMemoryPut,
    kMemoryGet, kSwapBook, kZipOnMemory, kCompress, kSaveHtml,
};

// Texts: "{dir}" stands for the scenario's folder.
struct Op {
    Call call;
    std::string a = {}, b = {};
    int n = 0;
};

struct Scenario {
    const char *name;
    std::vector<Op> ops;
    std::vector<std::pair<std::string, std::string>> files = {};  // written into the folder first
};

const char *const kValues[][2] = {
    {"A1", "Sales report"}, {"A2", "売上"},        {"A3", "$REGION"},    {"B1", "1,234,567"}, {"B2", "12.50"},
    {"B3", "8.25%"},        {"C1", "2024/04/01"}, {"C2", "2024-04-01 09:30"}, {"C3", "17:45:10"}, {"D1", "=SUM(B1:B2)"},
    {"D2", "'00123"},       {"D3", "\\$not a variable"}, {"E1", "-0.000123"}, {"E2", "TRUE"}, {"E3", "17:45"},
};

// The main path of a report: options, sheets, a value of every kind, variables, every way of
// reading cells back, cell names, a refused call's message, the save to disk and the book read.
Scenario every_value_kind() {
    Scenario s{"EveryValueKind",
               {{kOpenBook, "MODE=CREATE BOOK=\"{dir}/values\" CHARSET=UTF8 VERSION=2.0.4.0 XLS_BOOK=" +
                                std::to_string(sizeof(XLS_BOOK)) + " TEMP_WORKBOOK_PATH=\"{dir}\""},
                {kPutVariable, "REGION", "Kanto"},
                {kOpenSheet, "SHEET_NAME=Summary"}}};
    for (const auto &[cell, value] : kValues) s.ops.push_back({kPutCell, cell, value});
    s.ops.insert(s.ops.end(), {{kOpenSheet, "SHEET_NAME=Detail"}, {kPutCell, "Summary!F1", "other sheet"},
                               {kOpenSheet, "MODE=TEMPLATE TEMPLATE=Summary SHEET_NAME=Copy"},
                               {kOpenSheet, "MODE=READ SHEET_NAME=Detail"}, {kOpenSheet2}, {kSheetNum},
                               {kSheetName, "", "", 1}, {kRowNum}, {kColumnNum}});
    for (const auto &[cell, value] : kValues) s.ops.insert(s.ops.end(), {{kGetCell, cell}, {kGetFormatCell, cell}});
    s.ops.insert(s.ops.end(), {{kGetCellsRow}, {kGetCellsColumn}, {kSearch, "kanto"}, {kIsCell, "Summary!B2"},
                               {kIsRange, "A1:C3"}, {kIsProperty, "A1.FONT.COLOR"}, {kCellName}, {kCellRange},
                               {kVersion}, {kPutCell, "A0", "x"}, {kErrorMesg}, {kSheetHyperlink, "A1", "Detail"},
                               {kPutValues, "A5=1 A5.FONT.COLOR=RED Detail!B2=x"}, {kClose, "SAVE", "{dir}/values.xlsx"},
                               {kOpenBook, "MODE=READ BOOK=\"{dir}/values.xlsx\""}, {kErrorMesg}, {kFreeBook},
                               {kOpenBook, "MODE=CREATE"}, {kFreeBook}});
    return s;
}

// Styles, merges, formats, sheet and book settings through statements, saved in memory.
Scenario statements_and_settings() {
    Scenario s{"StatementsAndSettings",
               {{kOpenBook, "MODE=CREATE BOOK=styled WRITE_MEMORY=TRUE CHARSET=UTF8"}, {kOpenSheet, "SHEET_NAME=Sales"}}};
    for (const char *text : {
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
             "SHEET=Summary A1=Summary A2=\"=SUM(Sales!C4:C5)\" A2.FORMAT=円 SHEET.ORDER=DESC"})
        s.ops.push_back({kPutValues, text});
    s.ops.insert(s.ops.end(), {{kGetFormatCell, "Sales!D4"}, {kSaveHtml, "MEMORY=styled.html"}, {kClose, "SAVE", "styled.xlsx"},
                               {kMemoryGet, "styled.xlsx"}});
    return s;
}

// A CSV file pasted by a statement, and statements that count the rows it filled: one call each,
// since a call that failed after some of its statements ran would count their rows when made again.
Scenario csv_paste() {
    return {"CsvPaste",
            {{kOpenBook, "MODE=CREATE CHARSET=UTF8 BOOK=\"{dir}/pasted\""}, {kOpenSheet, "SHEET_NAME=Sales"},
             {kPutValues, "A3.CSV=\"{dir}/sales.csv\""}, {kStatement, "D4:D($ROWNUM).FORMAT=カンマ"},
             {kStatement, "A($ROWNUM+1)=合計"}, {kStatement, "D($ROWNUM+1)=\"=SUM(D4:D($ROWNUM))\""},
             {kStatement, "A3:E($ROWNUM+1).BORDER=thin"}, {kOpenSheet, "SHEET_NAME=Detail"},
             {kPutValues, "Detail!B2.TSV=\"{dir}/sales.csv\""}, {kGetCell, "Sales!C6"}, {kGetCell, "Sales!E7"},
             {kGetCell, "Sales!A8"}, {kGetCell, "Sales!D8"}, {kGetCell, "Detail!B2"},
             {kClose, "SAVE", "{dir}/pasted.xlsx"}},
            {{"sales.csv", "Month,Region,Product,Units,Amount\n2024/04,East,Notebook,120,144000\n"
                           "2024/04,West,\"Pen, set\",95,114000\r\n2024/05,East,\"Note \"\"A\"\"\",135,162000\n"
                           "2024/05,West,売上,101,121200\n"}}};
}

// A statement file in Shift-JIS run into a Shift-JIS book: conversions on the way in and out.
Scenario statement_file() {
    return {"StatementFile",
            {{kOpenBook, "MODE=CREATE CHARSET=SJIS BOOK=\"{dir}/monthly\""},
             {kReadFile, "FILE=\"{dir}/report.txt\" CHARSET=SJIS"}, {kGetCell, sjis("売上!A1")},
             {kGetCell, sjis("売上!A4")}, {kGetCell, sjis("売上!B5")}, {kGetCell, sjis("売上!D1")}, {kSheetName},
             {kReadFile, "FILE=/nonexistent/statements.txt"}, {kErrorMesg}, {kClose, "SAVE", "{dir}/monthly.xlsx"}},
            {{"items.csv", sjis("品名,数量\nりんご,3\nみかん,5\n")},
             {"report.txt", sjis("! 報告書の文\nブック.タイトル=\"月次報告\"\nシート=売上\n"
                                 "A1=\"月次報告\" A1.フォント.色=赤 A1.フォント.スタイル=強調\nA3.CSV=\"{dir}/items.csv\"\n"
                                 "B4:B($ROWNUM).書式=カンマ A3:B($ROWNUM).罫線=実線\n売上!D1=\"=SUM(B4:B5)\" D1.罫線.左=二重線\n")}}};
}

// Memory files handed in and out and parked, a package routed into memory, a book without sheets
// saved in memory (it gets three empty ones), then one saved to disk and one dropped.
Scenario memory_files() {
    std::string blob(100000, 'x');
    for (std::size_t k = 0; k < blob.size(); k += 7) blob[k] = static_cast<char>(k);
    return {"MemoryFiles",
            {{kMemoryPut, "blob.bin", blob}, {kMemoryGet, "blob.bin"}, {kSwapBook, "", "", 0}, {kMemoryGet, "blob.bin"},
             {kSwapBook, "", "", 1}, {kZipOnMemory, "", "", 0},
             {kOpenBook, "MODE=CREATE BOOK=/routed/book CHARSET=UTF8"}, {kPutCell, "A1", "routed into memory"},
             {kClose, "SAVE", "/routed/book.xlsx"}, {kZipOnMemory, "", "", 1},
             {kOpenBook, "MODE=CREATE BOOK=kept WRITE_MEMORY=TRUE"}, {kPutCell, "B2", "12.5"},
             {kClose, "SAVE", "kept.xlsx"}, {kMemoryGet, "kept.xlsx"}, {kOpenBook, "MODE=CREATE BOOK=\"{dir}/after\""},
             {kPutCell, "A1", "on disk"}, {kClose, "SAVE", "{dir}/after.xlsx"}, {kOpenBook, "MODE=CREATE BOOK=dropped"},
             {kClose, "DESTROY"}}};
}

const std::vector<Scenario> &scenarios() {
    static const std::vector<Scenario> all = {every_value_kind(), statements_and_settings(), csv_paste(), statement_file(),
                                              memory_files(), {"DeflatePipeline", {{kCompress}}}};
    return all;
}

// What the calls hand back to their caller; filled while allocations are counted, so no
// std::string grows in it then (kCompress's stream has its room made beforehand).
struct Buffers {
    char value[512] = "", kind[64] = "", name[128] = "";
    char cells[4][64] = {};
    char *cell_ptrs[4] = {cells[0], cells[1], cells[2], cells[3]};
    int row = 0, column = 0, row2 = 0, column2 = 0, id = 0;
    TXLS_SEARCH search{};
    const void *bytes = nullptr;
    long size = 0;
    std::string stream;
    std::uint32_t crc = 0;
    std::uint64_t plain = 0;
};

// Compresses four pieces of rows on two workers; -2 for std::bad_alloc, which the API maps.
int compress(Buffers &out) {
    fa::suspend();
    std::vector<std::string> pieces(4);
    for (int k = 0; k < 4; ++k)
        for (int row = 0; pieces[k].size() < 48 * 1024; ++row)
            pieces[k] += "<row r=\"" + std::to_string(k * 10000 + row) + "\"><c t=\"s\"><v>" + std::to_string(row * 7 % 13) + "</v></c></row>";
    out.stream.clear();
    out.stream.reserve(1 << 20);
    fa::resume();
    try {
        tabsmith::DeflatePipeline pipeline(
            [&](const unsigned char *data, std::size_t size) { return out.stream.append(reinterpret_cast<const char *>(data), size), 0; }, 2);
        int rc = 0;
        for (std::string &piece : pieces)
            if ((rc = pipeline.write(std::move(piece))) != 0) return rc;
        rc = pipeline.finish();
        out.crc = pipeline.crc32();
        out.plain = pipeline.input_size();
        return rc;
    } catch (const std::bad_alloc &) {
        return -2;
    }
}

int perform(const Op &op, XLS_BOOK *rec, Buffers &out) {
    const char *a = op.a.c_str(), *b = op.b.c_str();
    switch (op.call) {
    case kOpenBook: return TXLS_open_book(rec, a);
    case kFreeBook: return TXLS_free_book(rec);
    case kClose: return TXLS_close_book(rec, a);
    case kOpenSheet: return TXLS_open_sheet(rec, a);
    case kOpenSheet2: return TXLS_open_sheet2(rec, op.n);
    case kSheetNum: return TXLS_sheet_num(rec);
    case kSheetName: return TXLS_sheet_name(rec, op.n, out.name, sizeof out.name);
    case kRowNum: return TXLS_row_num(rec);
    case kColumnNum: return TXLS_column_num(rec, 0);
    case kPutVariable: return TXLS_put_variable(rec, a, b);
    case kPutCell: return TXLS_put_cell(rec, a, b);
    case kSaveHtml: return TXLS_save_html(rec, a);
    case kPutValues:
    case kStatement: return TXLS_put_values(rec, a);
    case kReadFile: return TXLS_read_file(rec, a);
    case kGetCell: return TXLS_get_cell(rec, a, out.value, sizeof out.value, out.kind, sizeof out.kind);
    case kGetFormatCell: return TXLS_get_format_cell(rec, a, out.value, sizeof out.value, out.kind, sizeof out.kind);
    case kGetCellsRow: return TXLS_get_cells(rec, 0, 0, 0, 0, 4, out.cell_ptrs, 64);
    case kGetCellsColumn: return TXLS_get_cells(rec, 1, 0, 0, 2, 4, out.cell_ptrs, 64);
    case kSearch:
        out.search = TXLS_SEARCH{};
        out.search.match_mode = 1;
        std::strcpy(out.search.sheet_name, "Summary");
        std::strcpy(out.search.range, "A1:E3");
        out.search.count = 3;
        return TXLS_search(rec, &out.search, a, out.cell_ptrs, 64);
    case kIsCell: return TXLS_is_cell(rec, a, &out.row, &out.column);
    case kIsRange: return TXLS_is_range(rec, a, &out.row, &out.column, &out.row2, &out.column2);
    case kIsProperty: return TXLS_is_property(rec, a, &out.id);
    case kCellName: return TXLS_cell_name(12, 28, out.name, sizeof out.name);
    case kCellRange: return TXLS_cell_range(1, 1, 300, 703, out.name, sizeof out.name);
    case kVersion: return TXLS_version(rec, out.name, sizeof out.name);
    case kErrorMesg: return TXLS_error_mesg(rec) ? 0 : -1;
    case kSheetHyperlink: return TXLS_sheet_hyperlink(rec, a, b, "B2");
    case kMemoryPut: return TXLS_memory_put(a, b, static_cast<long>(op.b.size()));
    case kMemoryGet: return TXLS_memory_get(a, &out.bytes, &out.size);
    case kSwapBook: return TXLS_swap_book(op.n);
    case kZipOnMemory: return orv_zip_on_memory(op.n);
    case kCompress: return compress(out);
    }
    return -99;
}

// The records of the table `table` ("fonts", "cellXfs", ...) of a styles part, each as its text;
// the table is cut out of `styles`.
std::vector<std::string> cut_table(std::string &styles, const std::string &table, const std::string &record) {
    std::vector<std::string> records;
    const std::size_t open = styles.find("<" + table), close = styles.find("</" + table + ">", open);
    if (open == std::string::npos || close == std::string::npos) return records;
    for (std::size_t at = styles.find("<" + record, styles.find('>', open)); at < close; at = styles.find("<" + record, at)) {
        const std::size_t tag_end = styles.find('>', at);
        const std::size_t end = styles[tag_end - 1] == '/' ? tag_end + 1 : styles.find("</" + record + ">", at) + record.size() + 3;
        records.push_back(styles.substr(at, end - at));
        at = end;
    }
    styles.erase(open, close + table.size() + 3 - open);
    return records;
}

// `text` with the number of each ` attribute="N"` replaced by table[N] (or the code N names).
std::string resolve(const std::string &text, const std::string &attribute, const std::vector<std::string> &table,
                    const std::map<std::string, std::string> &codes = {}) {
    std::string out;
    const std::string key = " " + attribute + "=\"";
    std::size_t last = 0;
    for (std::size_t at; (at = text.find(key, last)) != std::string::npos;) {
        const std::size_t start = at + key.size(), end = text.find('"', start);
        const std::string n = text.substr(start, end - start);
        const std::size_t k = n.find_first_not_of("0123456789") == std::string::npos && !n.empty() ? std::stoul(n) : table.size();
        out += text.substr(last, start - last) + (codes.count(n) ? codes.at(n) : k < table.size() ? table[k] : n);
        last = end;
    }
    return out + text.substr(last);
}

// Every entry of a package, or what keeps it from reading back: the save time left out, and cell
// formats shown by what they are rather than by their index, so that two saves compare equal
// whatever order or spare records their style tables have (a failed call may leave one).
std::string listing(std::string_view bytes) {
    tabsmith::testing::ReadPackage package = tabsmith::testing::read_package(bytes);
    std::vector<std::string> formats;
    for (auto &entry : package.entries) {
        if (entry.name == "docProps/core.xml") entry.text = "(stamped)";
        if (entry.name != "xl/styles.xml") continue;
        std::map<std::string, std::string> codes;
        for (const std::string &format : cut_table(entry.text, "numFmts", "numFmt")) {
            std::smatch m;
            if (std::regex_search(format, m, std::regex("numFmtId=\"(\\d+)\"[\\s\\S]*formatCode=\"([^\"]*)\""))) codes[m[1]] = m[2];
        }
        const auto fonts = cut_table(entry.text, "fonts", "font"), fills = cut_table(entry.text, "fills", "fill"),
                   borders = cut_table(entry.text, "borders", "border");
        for (std::string xf : cut_table(entry.text, "cellXfs", "xf"))
            formats.push_back(resolve(resolve(resolve(resolve(xf, "numFmtId", {}, codes), "fontId", fonts), "fillId", fills), "borderId", borders));
    }
    std::string out = package.failure;
    for (auto &entry : package.entries) {
        if (entry.name.starts_with("xl/worksheets/sheet")) entry.text = resolve(resolve(entry.text, "s", formats), "style", formats);
        out += "== " + entry.name + "\n" + entry.text + "\n";
    }
    return out;
}

std::string memory_file(const std::string &name) {
    const void *bytes = nullptr;
    long size = 0;
    if (int rc = TXLS_memory_get(name.c_str(), &bytes, &size); rc != 0) return "memory_get " + std::to_string(rc);
    return {static_cast<const char *>(bytes), static_cast<std::size_t>(size)};
}

// What the call left for its caller, read with counting stopped: what a saved book holds, or
// every buffer a call may write.
std::string describe(const Op &op, XLS_BOOK *rec, const Buffers &out, int rc, const fs::path &dir) {
    if (op.call == kErrorMesg) return rec->caller_mesg;
    if (op.call == kCompress) return out.stream + "|" + std::to_string(out.crc) + "|" + std::to_string(out.plain);
    if (op.call == kMemoryGet) {
        const std::string bytes = rc ? "" : std::string(static_cast<const char *>(out.bytes), static_cast<std::size_t>(out.size));
        return bytes.starts_with("PK") ? listing(bytes) : bytes;
    }
    if (op.call == kClose && (rc != 0 || op.b.empty())) return "";
    if (op.call == kClose && !op.b.starts_with(dir.string())) return listing(memory_file(op.b));
    if (op.call == kClose) {
        std::string names;
        for (const std::string &name : tabsmith::testing::names_in(dir)) names += name + " ";
        return names + "\n" + listing(tabsmith::testing::contents(op.b));
    }
    std::string text = std::string(out.name) + "|" + out.value + "|" + out.kind + "|";
    for (const auto &cell : out.cells) text += std::string(cell) + "|";
    for (int n : {out.row, out.column, out.row2, out.column2, out.id, out.search.hit_row, out.search.hit_column})
        text += std::to_string(n) + ",";
    return text;
}

// What must hold after a call failed, "" when it does: a failed close leaves the book open, no
// temporary file beside its target and no memory file of its name.
std::string left_after_failure(const Op &op, XLS_BOOK *rec, const fs::path &dir) {
    if (op.call != kClose) return "";
    std::string wrong = rec->work ? "" : "the book was closed; ";
    for (const std::string &name : tabsmith::testing::names_in(dir))
        if (name.find(".tmp") != std::string::npos) wrong += "left " + name + "; ";
    const void *bytes = nullptr;
    long size = 0;
    if (!op.b.empty() && !op.b.starts_with(dir.string()) && TXLS_memory_get(op.b.c_str(), &bytes, &size) != -101)
        wrong += "left the memory file " + op.b + "; ";
    return wrong;
}

// What a failed call must not have changed: the sheets, the rows and cells in use in each (which
// $ROWNUM and the row and column counts report), the shared strings and variables.
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
    return out + "strings " + std::to_string(book->shared_strings.size()) + " variables " + std::to_string(book->variables.size());
}

// A failure shows in the record's code and message for the calls on a book.
bool on_book(Call call) {
    return call != kCellName && call != kCellRange && call != kErrorMesg && call != kMemoryPut && call != kMemoryGet &&
           call != kSwapBook && call != kZipOnMemory && call != kCompress;
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

const Mode kModes[] = {{"New", fa::kNew, false}, {"NewFromThenOn", fa::kNew, true}, {"Malloc", fa::kMalloc, false}, {"MallocFromThenOn", fa::kMalloc, true}};

fs::path scratch_root() { return fs::path(::testing::TempDir()) / ("tabsmith_alloc_" + std::to_string(::getpid())); }

// Where a read differs from the reference run, with a little of each around it.
std::string first_difference(const std::string &got, const std::string &want) {
    std::size_t at = 0;
    while (at < got.size() && at < want.size() && got[at] == want[at]) ++at;
    const std::size_t from = at > 60 ? at - 60 : 0;
    return "read \"" + got.substr(from, 160) + "\" where the reference has \"" + want.substr(from, 160) + "\"";
}

// Runs the scenario once with the `nth` allocation failing (0: none) and checks each call against
// the reference run; on a thread of its own, so that per-thread state starts afresh as it does
// for a caller's new thread.
Outcome run_scenario(const Scenario &scenario, const Mode &mode, long nth, const std::vector<Observed> *reference) {
    Outcome outcome;
    std::thread([&] {
        const fs::path dir = scratch_root() / scenario.name;
        fs::remove_all(dir);
        fs::create_directories(dir);
        auto expand = [&](std::string text) {
            for (std::size_t at; (at = text.find("{dir}")) != std::string::npos;) text.replace(at, 5, dir.string());
            return text;
        };
        for (const auto &[name, bytes] : scenario.files) std::ofstream(dir / name, std::ios::binary) << expand(bytes);
        std::vector<Op> ops = scenario.ops;
        for (Op &op : ops) op.a = expand(op.a), op.b = expand(op.b);
        XLS_BOOK record{};
        XLS_BOOK *rec = &record;
        Buffers out;
        std::string failed_in;  // the call in which the allocation failed
        auto fault = [&](std::size_t k, const std::string &what) {
            outcome.faults.push_back("n=" + std::to_string(nth) + " step " + std::to_string(k) + " (" + ops[k].a.substr(0, 30) +
                                     "): " + what + (failed_in.empty() ? "" : " (failed in " + failed_in + ")"));
        };
        fa::arm(nth, mode.sources, mode.repeat);
        for (std::size_t k = 0; k < ops.size(); ++k) {
            const Op &op = ops[k];
            const bool one_effect = on_book(op.call) && op.call != kPutValues && op.call != kReadFile;
            const long before = fa::failures();
            const std::string extent_before = one_effect ? book_extent(rec) : "";
            int rc = 0;
            fa::resume();
            try {
                rc = perform(op, rec, out);
            } catch (const std::exception &error) {
                // A C caller would be torn down here; report it and go on with the next step.
                fa::suspend();
                fa::disarm();
                fault(k, std::string("exception escaped the C API: ") + error.what());
                continue;
            }
            fa::suspend();
            const bool hit = fa::failures() != before;
            if (hit) {
                fa::disarm();  // one failing call per run; the rest of the run goes through
                failed_in = "step " + std::to_string(k);
            }
            std::string got = describe(op, rec, out, rc, dir);
            if (!reference) {
                outcome.steps.push_back({rc, got});
                continue;
            }
            const Observed &want = (*reference)[k];
            if (rc == want.rc) {
                // Without memory to convert the message, TXLS_error_mesg hands out TXLS-00002, kept ready.
                const bool stand_in = hit && op.call == kErrorMesg && got.starts_with("TXLS-00002");
                if (got != want.out && !stand_in)
                    fault(k, (hit ? "succeeded with a failed allocation but " : "") + first_difference(got, want.out));
                continue;
            }
            if (!hit) {
                fault(k, "returned " + std::to_string(rc) + " instead of " + std::to_string(want.rc) + " " +
                             (rc < 0 ? TXLS_error_mesg(rec) : ""));
                continue;
            }
            // A failed allocation: -2 from operator new, any failure code from the C allocator (a C
            // library may report it as its own kind of failure), -2 from the pipeline whatever failed.
            if (one_effect && rc < 0 && book_extent(rec) != extent_before)
                fault(k, "failed with " + std::to_string(rc) + " but changed the book from " + extent_before + " to " + book_extent(rec));
            if (std::string wrong = left_after_failure(op, rec, dir); !wrong.empty())
                fault(k, "failed with " + std::to_string(rc) + " but " + wrong);
            if (rc == -2) {
                const char *message = on_book(op.call) ? TXLS_error_mesg(rec) : nullptr;
                if (message && (rec->error_code != -2 || !std::strstr(message, "TXLS-00002")))
                    fault(k, "-2 but the record says " + std::to_string(rec->error_code) + " " + message);
            } else if (fa::first_failure_source() == fa::kNew || rc >= 0 || op.call == kCompress) {
                fault(k, "returned " + std::to_string(rc) + " instead of -2 (or " + std::to_string(want.rc) + ")");
            }
            // The failed call leaves the book as it was: made again, it does what it did.
            try {
                rc = perform(op, rec, out);
            } catch (const std::exception &error) {
                fault(k, std::string("exception escaped the C API when made again: ") + error.what());
                continue;
            }
            fa::suspend();
            got = describe(op, rec, out, rc, dir);
            if (rc != want.rc || got != want.out)
                fault(k, "made again after the failure: " + std::to_string(rc) + " " + first_difference(got, want.out));
        }
        fa::disarm();
        TXLS_free_book(rec);
        fs::remove_all(dir);
    }).join();
    outcome.failures = fa::failures();
    return outcome;
}

class OutOfMemory : public ::testing::TestWithParam<std::pair<int, int>> {
protected:
    static void TearDownTestSuite() { fs::remove_all(scratch_root()); }
};

TEST_P(OutOfMemory, EveryAllocationFailingInTurn) {
    const Scenario &scenario = scenarios()[GetParam().first];
    const Mode &mode = kModes[GetParam().second];
    Outcome reference = run_scenario(scenario, mode, 0, nullptr);
    // Two clean runs agree, or the comparisons below would mean nothing.
    Outcome again = run_scenario(scenario, mode, 0, &reference.steps);
    ASSERT_TRUE(again.faults.empty()) << again.faults.front();
    constexpr long kLimit = 200000;
    std::vector<std::string> faults;
    long nth = 1;
    for (; nth < kLimit; ++nth) {
        Outcome outcome = run_scenario(scenario, mode, nth, &reference.steps);
        faults.insert(faults.end(), outcome.faults.begin(), outcome.faults.end());
        if (outcome.failures == 0) break;  // the whole scenario went through: every point driven
    }
    EXPECT_LT(nth, kLimit);
    RecordProperty("allocation_points", std::to_string(nth - 1));
    for (std::size_t k = 0; k < faults.size() && k < 40; ++k) ADD_FAILURE() << faults[k];
    EXPECT_TRUE(faults.empty()) << faults.size() << " faults";
    if (__lsan_do_recoverable_leak_check) { EXPECT_EQ(__lsan_do_recoverable_leak_check(), 0) << "leaks above"; }
}

// Every scenario in every mode, except that under the address sanitizer, which reads a new
// thread's attributes with the C library's allocator and stops when that fails, the pipeline's
// threads are not run with malloc failing. Clang says so through __has_feature only.
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TABSMITH_UNDER_ASAN 1
#endif
#endif
std::vector<std::pair<int, int>> cases() {
    std::vector<std::pair<int, int>> out;
    for (int s = 0; s < static_cast<int>(scenarios().size()); ++s)
        for (int m = 0; m < static_cast<int>(std::size(kModes)); ++m)
#if defined(__SANITIZE_ADDRESS__) || defined(TABSMITH_UNDER_ASAN)
            if (scenarios()[s].ops[0].call != kCompress || kModes[m].sources == fa::kNew)
#endif
                out.emplace_back(s, m);
    return out;
}

INSTANTIATE_TEST_SUITE_P(Api, OutOfMemory, ::testing::ValuesIn(cases()), [](const auto &info) {
    return std::string(scenarios()[info.param.first].name) + "_" + kModes[info.param.second].name;
});

}  // namespace
