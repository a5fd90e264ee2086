// CSV/TSV pastes and statement files (lines, fields, what lands where, byte order marks, character
// sets, the environment, failures), and rows streamed out of memory to their temporary files.

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <sys/resource.h>

#include "api/api.h"
#include "cells/values.h"
#include "common/file_checks.h"
#include "common/fixtures.h"
#include "datasource/csv_source.h"
#include "datasource/row_stream.h"

using namespace tabsmith;
using tabsmith::testing::SheetTest;
using tabsmith::testing::TempFolder;

namespace {

using Lines = std::vector<std::string>;

Lines read_lines(const std::string &bytes, LineReader::Result *last = nullptr) {
    LineReader reader(bytes);
    reader.take_byte_order_mark();
    Lines lines;
    std::string line;
    LineReader::Result r;
    while ((r = reader.next(line)) == LineReader::Result::kLine) lines.push_back(line);
    if (last) *last = r;
    return lines;
}

class Paste : public SheetTest {
protected:
    int paste(const std::string &target, const std::string &bytes, const char *keyword = "CSV") {
        return TXLS_put_values(&book, (target + "." + keyword + "=\"" + dir.write("data.txt", bytes) + "\"").c_str());
    }
    int read(const std::string &options) { return TXLS_read_file(&book, options.c_str()); }
    // "A1=text" checks a cell's value, "A1:KIND" its kind name ("A1:" an empty cell).
    void expect_cells(const std::vector<std::string> &checks, const std::string &context) {
        for (const std::string &check : checks) {
            const std::size_t eq = check.find('='), colon = check.find(':');
            if (eq != std::string::npos) { EXPECT_EQ(value(check.substr(0, eq).c_str()), check.substr(eq + 1)) << check << " of " << context; }
            else EXPECT_EQ(kind(check.substr(0, colon).c_str()), check.substr(colon + 1)) << check << " of " << context;
        }
    }
    TempFolder dir;
};

}  // namespace

TEST(CsvLines, LineBreaksQuotesByteOrderMarksAndLimits) {
    const std::pair<std::string, Lines> cases[] = {
        {"a\nb\n", {"a", "b"}}, {"a\r\nb\r\n", {"a", "b"}}, {"a\rb\r", {"a", "b"}}, {"a\r\rb", {"a", "", "b"}}, {"a\n\nb", {"a", "", "b"}},
        {"last line", {"last line"}}, {"\"x\ny\",z\nw", {"\"x\ny\",z", "w"}}, {"\"x\r\ny\"\n", {"\"x\r\ny\""}}, {"", {}}, {"\n", {""}},
        {"\xEF\xBB\xBF" "a\n", {"a"}}, {std::string("\xFF\xFE" "a\0,\0b\0\n\0c\0", 12), {"a,b", "c"}}, {std::string("\xFE\xFF\0a\0\n\0\xE9", 8), {"a", "\xC3\xA9"}},
    };
    for (const auto &[bytes, lines] : cases) EXPECT_EQ(read_lines(bytes), lines) << bytes;
    // An over-long line is read to its end and stops the reading.
    const std::string longest(kLineBytes, 'a');
    LineReader::Result last = LineReader::Result::kLine;
    EXPECT_EQ(read_lines(longest + "\nb"), (Lines{longest, "b"}));
    EXPECT_EQ(read_lines("x\n" + longest + "a\nb\n", &last), Lines{"x"});
    EXPECT_EQ(last, LineReader::Result::kTooLong);
}

TEST(CsvFields, SplittingLimitsAndInvalidUtf8) {
    const struct { std::string line; char delimiter; SplitResult result; Lines fields; } cases[] = {
        {"a,\"b,c\",d", ',', SplitResult::kOk, {"a", "b,c", "d"}}, {"\"x\"\"y\"", ',', SplitResult::kOk, {"x\"y"}},
        {"\"line\nbreak\",2", ',', SplitResult::kOk, {"line\nbreak", "2"}}, {"a,b,", ',', SplitResult::kOk, {"a", "b", ""}}, {"", ',', SplitResult::kOk, {""}},
        {"\"\"", ',', SplitResult::kOk, {""}}, {"a\"b\"c,d", ',', SplitResult::kOk, {"a\"b\"c", "d"}}, {"\"ab\"cd", ',', SplitResult::kOk, {"\"ab\"cd"}},
        {"a,b\tc", '\t', SplitResult::kOk, {"a,b", "c"}}, {"\"a\tb\"\tc", '\t', SplitResult::kOk, {"a\tb", "c"}},
        {"\xE6\x97\xA5,\"\xE6\x9C\xAC,\"", ',', SplitResult::kOk, {"\xE6\x97\xA5", "\xE6\x9C\xAC,"}},
        {std::string(999, ','), ',', SplitResult::kOk, Lines(1000, "")}, {std::string(kFieldBytes, 'x'), ',', SplitResult::kOk, {std::string(kFieldBytes, 'x')}},
        {"a,\"b", ',', SplitResult::kUnclosedQuote, {}}, {std::string(1000, ','), ',', SplitResult::kTooManyFields, {}},
        {"a," + std::string(kFieldBytes + 1, 'x'), ',', SplitResult::kFieldTooLong, {}},
    };
    Lines fields;
    for (const auto &c : cases) {
        EXPECT_EQ(split_fields(c.line, c.delimiter, fields), c.result) << c.line.substr(0, 40);
        if (c.result == SplitResult::kOk) { EXPECT_EQ(fields, c.fields) << c.line.substr(0, 40); }
    }
    EXPECT_EQ(valid_utf8("ok \xC3\xA9"), "ok \xC3\xA9");
    EXPECT_EQ(valid_utf8("a\xFF" "b\xC3"), "a\xEF\xBF\xBD" "b\xEF\xBF\xBD");
    EXPECT_EQ(valid_utf8("\xED\xA0\x80"), "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");
}

TEST_F(Paste, WhatLandsWhere) {
    const struct { std::string target, bytes; const char *keyword; int rc; std::vector<std::string> cells; } cases[] = {
        {"B2", "a,\"b,c\",d\n1,2024/01/05,\"x\"\"y\"\n\"multi\nline\",,3", "CSV", 0,  // the last line has no line feed
         {"B2=a", "C2=b,c", "D2=d", "B3:INTEGER", "C3:DATE", "D3=x\"y", "B4=multi\nline", "C4:", "D4=3"}},
        {"A1", "a,b\tc\r\n\td", "TSV", 0, {"A1=a,b", "B1=c", "A2:", "B2=d"}},
        {"A1", "1\n\n3\n", "CSV", 0, {"A1=1", "A2:", "A3=3"}},  // empty lines take rows
        {"A1:B2", "1,2,3\n4,5,6\n7,8,9\n!Z9=late\n", "CSV", 0, {"B1=2", "C1:", "B2=5", "A3:", "Z9=late"}},  // a range limits rows and columns, not statements
        {"A1", "a\n!C1=\"from statement\"\nb\n", "CSV", 0, {"A1=a", "A2=b", "C1=from statement"}},
        {"A1", "a\n!NOPE.NOPE=1\nb\n", "CSV", -1, {"A1=a", "A2:"}},  // a failing statement ends it
        // Byte order marks choose the character set.
        {"A1", "\xEF\xBB\xBF\xE6\x97\xA5,b", "CSV", 0, {"A1=日"}}, {"A2", std::string("\xFF\xFE\xE5\x65,\0x\0", 8), "CSV", 0, {"A2=日", "B2=x"}},
        // Lines that cannot be split end the paste with success.
        {"A1", "ok\n" + std::string(1000, ',') + "\nlater\n", "CSV", 0, {"A1=ok", "A2:", "A3:"}},
        {"A1", "ok\n\"open,quote\nlater\n", "CSV", 0, {"A1=ok", "A2:", "A3:"}},
        {"A1", "ok\n" + std::string(kFieldBytes + 1, 'x') + "\nlater\n", "CSV", 0, {"A1=ok", "A2:"}},
        {"A1", "ok\n" + std::string(kLineBytes + 10, 'x') + "\nlater\n", "CSV", 0, {"A1=ok", "A2:"}},
    };
    for (const auto &c : cases) {
        reopen();
        EXPECT_EQ(paste(c.target, c.bytes, c.keyword), c.rc) << c.bytes.substr(0, 40);
        if (c.rc != 0) { EXPECT_EQ(message(), "TXLS-02200 サポート外のキーワードです(\"NOPE\")。"); }  // the failing line's message
        expect_cells(c.cells, c.bytes.substr(0, 40));
    }
}

TEST_F(Paste, RowCounterLoadedBooksCharacterSetsAndTheEnvironment) {
    ASSERT_EQ(paste("B2", "a,b,c\nd\n"), 0);
    const Sheet &sheet = *store().sheets[0];
    EXPECT_EQ(std::vector<int>({sheet.rows_used, sheet.data_row, sheet.data_column}), std::vector<int>({3, 3, 4}));
    ASSERT_EQ(TXLS_put_values(&book, "A($ROWNUM+1)=next Z1=kept"), 0);
    store().from_file = true;
    ASSERT_EQ(paste("Y1", "new,over"), 0);
    expect_cells({"A4=next", "Y1=new", "Z1=kept"}, "a loaded book");
    // Fields never read the environment; values put by the caller keep their lookup.
    ::setenv("TABSMITH_CSV_SECRET", "leaked", 1);
    reopen();
    ASSERT_EQ(tsx_put_resource(store(), "REGION", "north"), 0);
    ASSERT_EQ(paste("A1", "$TABSMITH_CSV_SECRET,$REGION,\\$REGION,$SYSDATE"), 0);
    ASSERT_EQ(TXLS_put_values(&book, "A2=$TABSMITH_CSV_SECRET"), 0);
    ::unsetenv("TABSMITH_CSV_SECRET");
    expect_cells({"A1=$TABSMITH_CSV_SECRET", "B1=north", "C1=$REGION", "D1:DATE", "A2=leaked"}, "the environment");
    reopen("SJIS");  // a Shift-JIS file in a Shift-JIS book
    ASSERT_EQ(paste("A1", tabsmith::testing::sjis("日本,\"語,x\"\n")), 0);
    EXPECT_EQ(cell_value_text(store(), *find_cell(store(), 0, 0, 0)) + "|" + cell_value_text(store(), *find_cell(store(), 0, 0, 1)), "日本|語,x");
}

TEST_F(Paste, FailuresAndTheirMessages) {
    EXPECT_EQ(std::pair(TXLS_put_values(&book, "A1.CSV=\"/nonexistent/tabsmith.csv\""), book.error_code), std::pair(-101, -101));
    EXPECT_EQ(message(), "TXLS-00100 データソースファイルがオープンできません(\"/nonexistent/tabsmith.csv\")。処理を中断します。");
    EXPECT_EQ(TXLS_put_values(&book, ("A1.CSV=\"/" + std::string(300, 'p') + "\"").c_str()), -3);
    EXPECT_EQ(message(), "TXLS-00005 ファイル名が長すぎます。");
    PasteRequest request;
    request.path = dir.write("k.csv", "a");
    request.delimiter_kind = 2;
    EXPECT_EQ(paste_delimited(store(), request, PasteArea{}).rc, -3);
    const std::string self = dir / "self.csv";  // a file that pastes itself stops
    dir.write("self.csv", "a\n!A1.CSV=\"" + self + "\"\n");
    EXPECT_EQ(TXLS_put_values(&book, ("B1.CSV=\"" + self + "\"").c_str()), -1);
    EXPECT_EQ(value("B1"), "a");
}

TEST_F(Paste, StatementFilesRunEveryLineSkipCommentsAndMayPasteDataSources) {
    const std::string csv = dir.write("d.csv", "x,y\n");
    const std::string path = dir.write("a.txt", "A1=1\r\n! A2=commented\nB1=\"two words\" C1=3\n\nA3.FONT.COLOR=RED\nB2.CSV=\"" + csv + "\"");
    ASSERT_EQ(read("FILE=\"" + path + "\" CHARSET=UTF8"), 0);
    expect_cells({"A1=1", "A2=", "B1=two words", "C1=3", "B2=x", "C2=y"}, path);
    reopen();
    const std::string failing = dir.write("fail.txt", "A1=1\nNOPE.NOPE=2\nA2=3\n");
    const std::string too_long = dir.write("long.txt", "B1=1\nB2=\"" + std::string(20000, 'x') + "\"\nB3=3\n");
    const struct { std::string options; int rc; const char *code; } cases[] = {
        {"CHARSET=UTF8", -3, nullptr}, {"", -3, nullptr}, {"FILE", -3, "TXLS-02303"}, {"FILE x", -3, "TXLS-02303"}, {"FILE=", -3, nullptr},
        {"COLOUR=RED", -3, "TXLS-02200"}, {"FILE=a CHARSET=LATIN1", -3, "TXLS-02200"}, {"FILE=/" + std::string(300, 'p'), -3, "TXLS-00005"},
        {"FILE=/nonexistent/statements.txt", -101, "TXLS-03100"},
        {"FILE=" + failing, -1, "TXLS-02200"},  // a failing statement stops the reading
        {"FILE=" + too_long, -1, nullptr},      // over-long lines are refused whole
    };
    for (const auto &c : cases) {
        EXPECT_EQ(read(c.options), c.rc) << c.options;
        EXPECT_EQ(book.error_code, c.rc) << c.options;
        if (c.code) { EXPECT_NE(message().find(c.code), std::string::npos) << c.options << message(); }
    }
    expect_cells({"A1=1", "A2=", "B1=1", "B2=", "B3="}, "failing files");
}

namespace tabsmith {
namespace {

using testing::BookTest;


class RowStream : public BookTest {
protected:
    void open_streaming(int after, const std::string &name = "") {
        TXLS_free_book(&book);
        ASSERT_EQ(open(("MODE=CREATE CHARSET=UTF8 STREAM_AFTER=" + std::to_string(after) + (name.empty() ? "" : " BOOK=" + name)).c_str()), 0);
        ASSERT_EQ(TXLS_open_sheet(&book, "SHEET_NAME=Sheet1"), 0);
    }
    const SheetRowFile *row_file() { return store().sheets[0]->row_file.get(); }
    // The records still in memory written to the file.
    void flush() { ASSERT_EQ(flush_row_file(*store().sheets[0]->row_file), 0); }
    // Each row's "A<n>" value, "" for a row taken out of memory.
    std::string column_a(int rows) {
        std::string out;
        for (int r = 1; r <= rows; ++r) out += value(("A" + std::to_string(r)).c_str()) + ",";
        return out;
    }
    TempFolder folder;
};

}  // namespace

TEST_F(RowStream, WhichRowsLeaveMemory) {
    const struct { int after; std::vector<int> written; int rc; const char *kept; std::vector<int> streamed; } cases[] = {
        {0, {1, 2, 1048577}, 0, "10,20,30,40,50,60,", {}},     // no threshold: nothing streams, the row number is not looked at
        {5, {1, 2, 3, 4, 5, 6}, 0, "10,20,30,40,50,,", {5}},  // rows up to the threshold stay
        {5, {0, 1048576}, 0, "10,20,30,40,50,60,", {1048575}},  // row 0 is not above the threshold; an empty row is a record of no slots
        {5, {1048577}, TXLS_ERR_ARGUMENT, "10,20,30,40,50,60,", {}},
    };
    for (const auto &c : cases) {
        open_streaming(c.after);
        for (int r = 1; r <= 6; ++r) ASSERT_EQ(TXLS_put_values(&book, ("A" + std::to_string(r) + "=" + std::to_string(r * 10)).c_str()), 0);
        int rc = 0;
        for (int row : c.written) rc = rc ? rc : TXLS_write_row(&book, row);
        EXPECT_EQ(std::pair(rc, book.error_code), std::pair(c.rc, c.rc)) << c.after;
        EXPECT_EQ(column_a(6), c.kept) << c.after;
        std::vector<int> streamed;
        if (row_file())
            for (const StreamedRun &run : row_file()->runs)
                for (std::uint32_t k = 0; k < run.count; ++k) streamed.push_back(run.first_row + static_cast<int>(k));
        EXPECT_EQ(streamed, c.streamed) << c.after;
        EXPECT_EQ(store().streamed != nullptr, !c.streamed.empty());
    }
    open_streaming(5);
    ASSERT_EQ(TXLS_write_row(&book, 1048576), 0);
    flush();
    EXPECT_EQ(testing::contents(row_file()->path), std::string(4, '\0'));
    EXPECT_EQ(std::filesystem::path(row_file()->path).filename(), "Sheet1.tmp");
    EXPECT_EQ(std::filesystem::path(row_file()->path).parent_path(), store().streamed->folder);
    EXPECT_TRUE(std::filesystem::exists(store().streamed->folder + "/SST.tmp"));
    EXPECT_FALSE(store().settings.recalc);  // streaming leaves formulas to be computed on opening
    for (const char *bad : {"STREAM_AFTER=abc", "STREAM_AFTER=-1", "STREAM_AFTER=1048577"}) {  // the threshold must be a row count
        TXLS_free_book(&book);
        EXPECT_EQ(open(bad), TXLS_ERR_ARGUMENT) << bad;
        EXPECT_EQ(message(), "TXLS-02200 サポート外のキーワードです(\"" + std::string(bad + 13) + "\")。") << bad;
    }
}

TEST_F(RowStream, RecordOfATextAndAnInteger) {
    open_streaming(5);
    ASSERT_EQ(TXLS_put_values(&book, "A6=ab B6=7"), 0);
    ASSERT_EQ(TXLS_write_row(&book, 6), 0);
    flush();
    const std::string bytes = testing::contents(row_file()->path);
    // count 2; text: kind 41, style 0, string 0, length 2, "ab"; integer: kind 11, 7, length 1, "7".
    EXPECT_EQ(bytes, std::string("\x02\0\0\0", 4) + std::string("\x29\0\0\0" "\0\0\0\0" "\0\0\0\0" "\x02\0\0\0", 16) + "ab" +
                         std::string("\x0b\0\0\0" "\x07\0\0\0" "\0\0\0\0" "\x01\0\0\0", 16) + "7");
    std::vector<Cell> cells;
    ASSERT_EQ(decode_row_record(bytes, cells), bytes.size());
    ASSERT_EQ(cells.size(), 2u);
    EXPECT_EQ(std::vector<std::int64_t>({cells[0].kind, cells[1].kind, cells[1].integer()}), std::vector<std::int64_t>({kCellString, kCellInteger, 7}));
    EXPECT_EQ(decode_row_record(bytes.substr(0, bytes.size() - 1), cells), 0u);
}

// A write that fails (here at the file size limit) is reported and the row keeps its cells;
// the rows streamed before it that the file did not take wait in memory. Once the file takes
// writes again, the save holds every row.
TEST_F(RowStream, AFailedWriteLosesNoRow) {
    const std::string path = folder / "limited.xlsx";
    open_streaming(1, path);
    const std::string text(3000, 'x');
    auto put_row = [&](int r) { return TXLS_put_cell(&book, ("A" + std::to_string(r)).c_str(), (text + std::to_string(r)).c_str()); };
    rlimit unlimited{}, limited{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &unlimited), 0);
    limited = unlimited;
    limited.rlim_cur = 100 * 1024;   // the second write of 64 KiB goes past it
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    int failed_at = 0;
    for (int r = 2; r <= 80 && failed_at == 0; ++r)
        if (put_row(r) != 0 || TXLS_write_row(&book, r) != 0) failed_at = r;
    setrlimit(RLIMIT_FSIZE, &unlimited);
    std::signal(SIGXFSZ, previous);
    ASSERT_GT(failed_at, 2);
    EXPECT_EQ(book.error_code, TXLS_ERR_WRITE);
    EXPECT_EQ(value(("A" + std::to_string(failed_at)).c_str()), text + std::to_string(failed_at));
    EXPECT_GT(row_file()->pending.size(), 0u);   // what the file did not take
    const int last = failed_at + 30;
    for (int r = failed_at + 1; r <= last; ++r) {
        ASSERT_EQ(put_row(r), 0);
        ASSERT_EQ(TXLS_write_row(&book, r), 0) << message();
    }
    ASSERT_EQ(TXLS_close_book(&book, "SAVE"), 0) << message();
    ASSERT_EQ(open(("MODE=READ CHARSET=UTF8 BOOK=" + path).c_str()), 0) << message();
    ASSERT_EQ(TXLS_open_sheet2(&book, 0), 0);
    for (int r = 2; r <= last; ++r) EXPECT_EQ(value(("A" + std::to_string(r)).c_str()), text + std::to_string(r)) << r;
}

TEST_F(RowStream, SavedBookHoldsEveryRowAndTheFolderGoes) {
    const std::string path = folder / "streamed.xlsx";
    open_streaming(2, path);
    ASSERT_EQ(TXLS_put_values(&book, "A1=head B1=2 C1=\"=B1*2\" A2=second"), 0);
    // Rows 3..40 streamed one by one as they are filled; row 20 is streamed before row 19 and
    // row 30 twice (the second time with a new cell on top).
    for (int r = 3; r <= 40; ++r) {
        const std::string n = std::to_string(r);
        ASSERT_EQ(TXLS_put_values(&book, ("A" + n + "=text" + n + " B" + n + "=" + n + " C" + n + "=2.5 D" + n + "=2024/01/15 E" + n + "=\"=B" + n +
                                          "*2\" B" + n + ".FONT.STYLE=BOLD").c_str()), 0) << message();
        if (r != 19) { ASSERT_EQ(TXLS_write_row(&book, r), 0) << r; }
        if (r == 20) { ASSERT_EQ(TXLS_write_row(&book, 19), 0); }
    }
    ASSERT_EQ(TXLS_put_values(&book, "F30=late"), 0);
    ASSERT_EQ(TXLS_write_row(&book, 30), 0);
    ASSERT_EQ(TXLS_put_values(&book, "G30=memory"), 0);
    const std::string streaming_folder = store().streamed->folder;
    EXPECT_TRUE(std::filesystem::is_directory(streaming_folder));
    ASSERT_EQ(TXLS_close_book(&book, "SAVE"), 0) << message();
    EXPECT_FALSE(std::filesystem::exists(streaming_folder));
    ASSERT_EQ(open(("MODE=READ CHARSET=UTF8 BOOK=" + path).c_str()), 0) << message();
    // Formulas come back without values: they are computed on opening.
    auto formula = [&](int row, int column) {
        const Cell *cell = find_cell(store(), 0, row, column);
        return cell && cell->formula() ? *cell->formula() + (cell->kind == kCellFormula ? "" : " (with a value)") : std::string("(none)");
    };
    EXPECT_EQ(value("A1") + "|" + value("A2") + "|" + formula(0, 2) + "|" + value("F30") + "|" + value("G30"), "head|second|B1*2|late|memory");
    for (int r = 3; r <= 40; ++r) {
        const std::string n = std::to_string(r);
        EXPECT_EQ(value(("A" + n).c_str()) + "|" + value(("B" + n).c_str()) + "|" + value(("C" + n).c_str()) + "|" + kind(("D" + n).c_str()) + "|" +
                      formula(r - 1, 4), "text" + n + "|" + n + "|2.5|DATE|B" + n + "*2");
        const Cell *cell = find_cell(store(), 0, r - 1, 1);
        ASSERT_NE(cell, nullptr);
        EXPECT_EQ(store().styles.fonts()[store().styles.xfs()[cell->style - 1u].font].style & kFontBold, kFontBold) << r;
    }
    // A book freed without saving takes its folder too.
    open_streaming(1);
    ASSERT_EQ(TXLS_put_values(&book, "A2=x"), 0);
    ASSERT_EQ(TXLS_write_row(&book, 2), 0);
    const std::string freed = store().streamed->folder;
    TXLS_free_book(&book);
    EXPECT_FALSE(std::filesystem::exists(freed));
}

}  // namespace tabsmith
