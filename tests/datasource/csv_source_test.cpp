// CSV/TSV pastes: line reading, field splitting, the paste through CSV and TSV statements, the
// area limits, statement lines, byte order marks, the environment rule and random input.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <unistd.h>
#include <string>
#include <vector>

#include "api/api.h"
#include "cells/values.h"
#include "datasource/csv_source.h"
#include "support/fixtures.h"

using namespace tabsmith;
using tabsmith::testing::BookTest;

namespace {

std::string temp_path(const std::string &name) {
    static const std::filesystem::path folder = [] {
        auto dir = std::filesystem::temp_directory_path() / ("tabsmith_csv_" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir);
        return dir;
    }();
    return (folder / name).string();
}

std::string write_file(const std::string &name, const std::string &bytes) {
    std::string path = temp_path(name);
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

std::vector<std::string> read_lines(const std::string &bytes, LineReader::Result *last = nullptr) {
    LineReader reader(bytes);
    reader.take_byte_order_mark();
    std::vector<std::string> lines;
    std::string line;
    for (;;) {
        LineReader::Result r = reader.next(line);
        if (last) *last = r;
        if (r != LineReader::Result::kLine) break;
        lines.push_back(line);
    }
    return lines;
}

class CsvPaste : public BookTest {
protected:
    void SetUp() override {
        ASSERT_EQ(open("MODE=CREATE CHARSET=UTF8"), 0);
        ASSERT_EQ(TXLS_open_sheet(&book, "SHEET_NAME=Sheet1"), 0);
    }
    Book &store() { return *book_of(&book); }
    Sheet &sheet() { return *store().sheets[0]; }
    int paste(const std::string &target, const std::string &bytes, const char *keyword = "CSV") {
        std::string path = write_file("data.txt", bytes);
        return TXLS_put_values(&book, (target + "." + keyword + "=\"" + path + "\"").c_str());
    }
};

}  // namespace

TEST(CsvLines, LineBreaksQuotesAndTheLastLine) {
    struct Case {
        std::string bytes;
        std::vector<std::string> lines;
    } cases[] = {
        {"a\nb\n", {"a", "b"}},
        {"a\r\nb\r\n", {"a", "b"}},
        {"a\rb\r", {"a", "b"}},
        {"a\r\rb", {"a", "", "b"}},
        {"a\n\nb", {"a", "", "b"}},
        {"last line", {"last line"}},
        {"\"x\ny\",z\nw", {"\"x\ny\",z", "w"}},
        {"\"x\r\ny\"\n", {"\"x\r\ny\""}},
        {"", {}},
        {"\n", {""}},
        {"\xEF\xBB\xBF" "a\n", {"a"}},
        {std::string("\xFF\xFE" "a\0,\0b\0\n\0c\0", 12), {"a,b", "c"}},
        {std::string("\xFE\xFF\0a\0\n\0\xE9", 8), {"a", "\xC3\xA9"}},
    };
    for (const Case &c : cases) EXPECT_EQ(read_lines(c.bytes), c.lines) << c.bytes;
}

TEST(CsvLines, AnOverLongLineIsReadToItsEnd) {
    std::string ok(kLineBytes, 'a');
    LineReader::Result last;
    EXPECT_EQ(read_lines(ok + "\nb", &last), (std::vector<std::string>{ok, "b"}));
    std::vector<std::string> lines = read_lines("x\n" + ok + "a\nb\n", &last);
    EXPECT_EQ(lines, std::vector<std::string>{"x"});
    EXPECT_EQ(last, LineReader::Result::kTooLong);
}

TEST(CsvFields, Splitting) {
    struct Case {
        std::string line;
        char delimiter;
        SplitResult result;
        std::vector<std::string> fields;
    } cases[] = {
        {"a,\"b,c\",d", ',', SplitResult::kOk, {"a", "b,c", "d"}},
        {"\"x\"\"y\"", ',', SplitResult::kOk, {"x\"y"}},
        {"\"line\nbreak\",2", ',', SplitResult::kOk, {"line\nbreak", "2"}},
        {"a,b,", ',', SplitResult::kOk, {"a", "b", ""}},
        {"", ',', SplitResult::kOk, {""}},
        {"\"\"", ',', SplitResult::kOk, {""}},
        {"a\"b\"c,d", ',', SplitResult::kOk, {"a\"b\"c", "d"}},
        {"\"ab\"cd", ',', SplitResult::kOk, {"\"ab\"cd"}},
        {"a,b\tc", '\t', SplitResult::kOk, {"a,b", "c"}},
        {"\"a\tb\"\tc", '\t', SplitResult::kOk, {"a\tb", "c"}},
        {"a,\"b", ',', SplitResult::kUnclosedQuote, {}},
        {"\xE6\x97\xA5,\"\xE6\x9C\xAC,\"", ',', SplitResult::kOk, {"\xE6\x97\xA5", "\xE6\x9C\xAC,"}},
    };
    std::vector<std::string> fields;
    for (const Case &c : cases) {
        EXPECT_EQ(split_fields(c.line, c.delimiter, fields), c.result) << c.line;
        if (c.result == SplitResult::kOk) {
            EXPECT_EQ(fields, c.fields) << c.line;
        }
    }
}

TEST(CsvFields, Limits) {
    std::vector<std::string> fields;
    std::string thousand(999, ',');
    EXPECT_EQ(split_fields(thousand, ',', fields), SplitResult::kOk);
    EXPECT_EQ(fields.size(), 1000u);
    EXPECT_EQ(split_fields(thousand + ",", ',', fields), SplitResult::kTooManyFields);
    EXPECT_EQ(split_fields(std::string(kFieldBytes, 'x'), ',', fields), SplitResult::kOk);
    EXPECT_EQ(split_fields("a," + std::string(kFieldBytes + 1, 'x'), ',', fields), SplitResult::kFieldTooLong);
}

TEST(CsvFields, InvalidUtf8IsReplaced) {
    EXPECT_EQ(valid_utf8("ok \xC3\xA9"), "ok \xC3\xA9");
    EXPECT_EQ(valid_utf8("a\xFF" "b\xC3"), "a\xEF\xBF\xBD" "b\xEF\xBF\xBD");
    EXPECT_EQ(valid_utf8("\xED\xA0\x80"), "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");
}

TEST_F(CsvPaste, FieldsLandFromTheTargetCell) {
    ASSERT_EQ(paste("B2", "a,\"b,c\",d\n1,2024/01/05,\"x\"\"y\"\n\"multi\nline\",,3"), 0);
    EXPECT_EQ(value("B2"), "a");
    EXPECT_EQ(value("C2"), "b,c");
    EXPECT_EQ(value("D2"), "d");
    EXPECT_EQ(kind("B3"), "INTEGER");
    EXPECT_EQ(kind("C3"), "DATE");
    EXPECT_EQ(value("D3"), "x\"y");
    EXPECT_EQ(value("B4"), "multi\nline");
    EXPECT_EQ(kind("C4"), "");
    EXPECT_EQ(value("D4"), "3");  // the last line had no line feed
    EXPECT_EQ(sheet().rows_used, 4);
    EXPECT_EQ(sheet().data_row, 4);
    EXPECT_EQ(sheet().data_column, 4);
}

TEST_F(CsvPaste, TsvSplitsAtTabsOnly) {
    ASSERT_EQ(paste("A1", "a,b\tc\r\n\td", "TSV"), 0);
    EXPECT_EQ(value("A1"), "a,b");
    EXPECT_EQ(value("B1"), "c");
    EXPECT_EQ(kind("A2"), "");
    EXPECT_EQ(value("B2"), "d");
}

TEST_F(CsvPaste, EmptyLinesOccupyRows) {
    ASSERT_EQ(paste("A1", "1\n\n3\n"), 0);
    EXPECT_EQ(value("A1"), "1");
    EXPECT_EQ(kind("A2"), "");
    EXPECT_EQ(value("A3"), "3");
    EXPECT_EQ(sheet().rows_used, 3);
    EXPECT_EQ(sheet().data_row, 3);
}

TEST_F(CsvPaste, ARangeLimitsRowsAndColumnsButNotStatements) {
    ASSERT_EQ(paste("A1:B2", "1,2,3\n4,5,6\n7,8,9\n!Z9=late\n"), 0);
    EXPECT_EQ(value("B1"), "2");
    EXPECT_EQ(kind("C1"), "");
    EXPECT_EQ(value("B2"), "5");
    EXPECT_EQ(kind("A3"), "");
    EXPECT_EQ(value("Z9"), "late");
}

TEST_F(CsvPaste, StatementLinesDoNotTakeARow) {
    ASSERT_EQ(paste("A1", "a\n!C1=\"from statement\"\nb\n"), 0);
    EXPECT_EQ(value("A1"), "a");
    EXPECT_EQ(value("A2"), "b");
    EXPECT_EQ(value("C1"), "from statement");
}

TEST_F(CsvPaste, AFailingStatementLineEndsThePaste) {
    EXPECT_EQ(paste("A1", "a\n!NOPE.NOPE=1\nb\n"), -1);
    EXPECT_EQ(value("A1"), "a");
    EXPECT_EQ(kind("A2"), "");
    EXPECT_NE(message().find("TXLS-02200"), std::string::npos);
}

TEST_F(CsvPaste, UnsplittableLinesEndThePasteWithSuccess) {
    const std::string wide(1000, ',');  // 1001 fields
    struct Case {
        std::string bytes;
    } cases[] = {
        {"ok\n" + wide + "\nlater\n"},
        {"ok\n\"open,quote\nlater\n"},
        {"ok\n" + std::string(kFieldBytes + 1, 'x') + "\nlater\n"},
        {"ok\n" + std::string(kLineBytes + 10, 'x') + "\nlater\n"},
    };
    for (const Case &c : cases) {
        ASSERT_EQ(TXLS_put_values(&book, "A1=\"\" A2=\"\""), 0);
        EXPECT_EQ(paste("A1", c.bytes), 0);
        EXPECT_EQ(value("A1"), "ok");
        EXPECT_EQ(value("A2"), "");
        EXPECT_EQ(value("A3"), "");
    }
}

TEST_F(CsvPaste, ByteOrderMarksChooseTheCharacterSet) {
    ASSERT_EQ(paste("A1", "\xEF\xBB\xBF\xE6\x97\xA5,b"), 0);
    EXPECT_EQ(value("A1"), "\xE6\x97\xA5");
    ASSERT_EQ(paste("A2", std::string("\xFF\xFE\xE5\x65,\0x\0", 8)), 0);
    EXPECT_EQ(value("A2"), "\xE6\x97\xA5");
    EXPECT_EQ(value("B2"), "x");
}

TEST_F(CsvPaste, ShiftJisFilesInAShiftJisBook) {
    XLS_BOOK sjis_book{};
    ASSERT_EQ(TXLS_open_book(&sjis_book, "MODE=CREATE CHARSET=SJIS"), 0);
    ASSERT_EQ(TXLS_open_sheet(&sjis_book, "SHEET_NAME=S"), 0);
    std::string path = write_file("sjis.csv", tabsmith::testing::sjis("日本,\"語,x\"\n"));
    EXPECT_EQ(TXLS_put_values(&sjis_book, ("A1.CSV=\"" + path + "\"").c_str()), 0);
    EXPECT_EQ(cell_value_text(*book_of(&sjis_book), *find_cell(*book_of(&sjis_book), 0, 0, 0)), "日本");
    EXPECT_EQ(cell_value_text(*book_of(&sjis_book), *find_cell(*book_of(&sjis_book), 0, 0, 1)), "語,x");
    TXLS_free_book(&sjis_book);
}

TEST_F(CsvPaste, FieldsNeverReadTheEnvironment) {
    ::setenv("TABSMITH_CSV_SECRET", "leaked", 1);
    ASSERT_EQ(tsx_put_resource(store(), "REGION", "north"), 0);
    ASSERT_EQ(paste("A1", "$TABSMITH_CSV_SECRET,$REGION,\\$REGION,$SYSDATE"), 0);
    EXPECT_EQ(value("A1"), "$TABSMITH_CSV_SECRET");
    EXPECT_EQ(value("B1"), "north");
    EXPECT_EQ(value("C1"), "$REGION");
    EXPECT_EQ(kind("D1"), "DATE");
    // Values put by the caller keep their environment lookup.
    ASSERT_EQ(TXLS_put_values(&book, "A2=$TABSMITH_CSV_SECRET"), 0);
    EXPECT_EQ(value("A2"), "leaked");
    ::unsetenv("TABSMITH_CSV_SECRET");
}

TEST_F(CsvPaste, RowNumberFollowsThePaste) {
    ASSERT_EQ(paste("A1", "a,b,c\nd\n"), 0);
    EXPECT_EQ(sheet().data_row, 2);
    EXPECT_EQ(sheet().data_column, 3);
    ASSERT_EQ(TXLS_put_values(&book, "A($ROWNUM+1)=next"), 0);
    EXPECT_EQ(value("A3"), "next");
}

TEST_F(CsvPaste, LoadedBooksKeepTheirValues) {
    ASSERT_EQ(TXLS_put_values(&book, "B1=kept"), 0);
    store().from_file = true;
    ASSERT_EQ(paste("A1", "new,over"), 0);
    EXPECT_EQ(value("A1"), "new");
    EXPECT_EQ(value("B1"), "kept");
}

TEST_F(CsvPaste, FailuresAndTheirMessages) {
    EXPECT_EQ(TXLS_put_values(&book, "A1.CSV=\"/nonexistent/tabsmith.csv\""), -101);
    EXPECT_NE(message().find("TXLS-00100"), std::string::npos);
    EXPECT_NE(message().find("/nonexistent/tabsmith.csv"), std::string::npos);
    EXPECT_EQ(book.error_code, -101);
    EXPECT_EQ(TXLS_put_values(&book, ("A1.CSV=\"/" + std::string(300, 'p') + "\"").c_str()), -3);
    EXPECT_NE(message().find("TXLS-00005"), std::string::npos);

    PasteRequest request;
    request.path = write_file("k.csv", "a");
    request.delimiter_kind = 2;
    EXPECT_EQ(paste_delimited(store(), request, PasteArea{}).rc, -3);
}

TEST_F(CsvPaste, AFileThatPastesItselfStops) {
    std::string path = temp_path("self.csv");
    write_file("self.csv", "a\n!A1.CSV=\"" + path + "\"\n");
    EXPECT_EQ(TXLS_put_values(&book, ("A1.CSV=\"" + path + "\"").c_str()), -1);
    EXPECT_EQ(value("A1"), "a");
}

TEST_F(CsvPaste, RandomBytesNeverBreakThePaste) {
    std::mt19937 random(20240611);
    const std::string alphabet = std::string("ab1,,\t\"\"\r\n\n!$=.\xE6\x97\xA5\xFF\xFE\xEF\xBB\xBF", 24) + '\0';
    for (int round = 0; round < 300; ++round) {
        std::string bytes;
        std::size_t length = random() % 400;
        if (round % 50 == 0) length = kLineBytes + random() % 100;
        for (std::size_t i = 0; i < length; ++i) bytes += alphabet[random() % alphabet.size()];
        PasteRequest request;
        request.path = write_file("fuzz.csv", bytes);
        request.delimiter_kind = static_cast<int>(random() % 2);
        PasteArea area;
        area.first_row = static_cast<int>(random() % 5);
        area.first_column = static_cast<int>(random() % 5);
        if (random() % 2) area.last_row = area.first_row + static_cast<int>(random() % 3);
        if (random() % 2) area.last_column = area.first_column + static_cast<int>(random() % 3);
        PasteOutcome outcome = paste_delimited(store(), request, area);
        EXPECT_TRUE(outcome.rc == 0 || outcome.rc == -1 || outcome.rc == -909) << outcome.rc;
        store().current_sheet = 0;
    }
    for (const auto &pasted : store().sheets)
        for (const Row &row : pasted->rows)
            for (const Cell &cell : row.cells)
                if (!cell.empty()) {
                    std::string text = cell_value_text(store(), cell);
                    EXPECT_EQ(valid_utf8(text), text);
                }
}
