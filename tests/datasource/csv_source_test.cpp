// CSV/TSV pastes: line reading, field splitting, the paste through CSV and TSV statements, the
// area limits, statement lines, byte order marks, the environment rule and random input.

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "api/api.h"
#include "cells/values.h"
#include "common/fixtures.h"
#include "datasource/csv_source.h"

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

class CsvPaste : public SheetTest {
protected:
    Sheet &sheet() { return *store().sheets[0]; }
    int paste(const std::string &target, const std::string &bytes, const char *keyword = "CSV") {
        return TXLS_put_values(&book, (target + "." + keyword + "=\"" + dir.write("data.txt", bytes) + "\"").c_str());
    }
    TempFolder dir;
};

}  // namespace

TEST(CsvLines, LineBreaksQuotesByteOrderMarksAndLimits) {
    const std::pair<std::string, Lines> cases[] = {
        {"a\nb\n", {"a", "b"}},          {"a\r\nb\r\n", {"a", "b"}},          {"a\rb\r", {"a", "b"}},
        {"a\r\rb", {"a", "", "b"}},      {"a\n\nb", {"a", "", "b"}},          {"last line", {"last line"}},
        {"\"x\ny\",z\nw", {"\"x\ny\",z", "w"}}, {"\"x\r\ny\"\n", {"\"x\r\ny\""}}, {"", {}}, {"\n", {""}},
        {"\xEF\xBB\xBF" "a\n", {"a"}},   {std::string("\xFF\xFE" "a\0,\0b\0\n\0c\0", 12), {"a,b", "c"}},
        {std::string("\xFE\xFF\0a\0\n\0\xE9", 8), {"a", "\xC3\xA9"}},
    };
    for (const auto &[bytes, lines] : cases) EXPECT_EQ(read_lines(bytes), lines) << bytes;
    // An over-long line is read to its end and stops the reading.
    std::string longest(kLineBytes, 'a');
    LineReader::Result last = LineReader::Result::kLine;
    EXPECT_EQ(read_lines(longest + "\nb"), (Lines{longest, "b"}));
    EXPECT_EQ(read_lines("x\n" + longest + "a\nb\n", &last), Lines{"x"});
    EXPECT_EQ(last, LineReader::Result::kTooLong);
}

TEST(CsvFields, SplittingLimitsAndInvalidUtf8) {
    struct Case { std::string line; char delimiter; SplitResult result; Lines fields; } cases[] = {
        {"a,\"b,c\",d", ',', SplitResult::kOk, {"a", "b,c", "d"}},   {"\"x\"\"y\"", ',', SplitResult::kOk, {"x\"y"}},
        {"\"line\nbreak\",2", ',', SplitResult::kOk, {"line\nbreak", "2"}}, {"a,b,", ',', SplitResult::kOk, {"a", "b", ""}},
        {"", ',', SplitResult::kOk, {""}},          {"\"\"", ',', SplitResult::kOk, {""}},
        {"a\"b\"c,d", ',', SplitResult::kOk, {"a\"b\"c", "d"}},     {"\"ab\"cd", ',', SplitResult::kOk, {"\"ab\"cd"}},
        {"a,b\tc", '\t', SplitResult::kOk, {"a,b", "c"}},           {"\"a\tb\"\tc", '\t', SplitResult::kOk, {"a\tb", "c"}},
        {"\xE6\x97\xA5,\"\xE6\x9C\xAC,\"", ',', SplitResult::kOk, {"\xE6\x97\xA5", "\xE6\x9C\xAC,"}},
        {std::string(999, ','), ',', SplitResult::kOk, Lines(1000, "")},
        {std::string(kFieldBytes, 'x'), ',', SplitResult::kOk, {std::string(kFieldBytes, 'x')}},
        {"a,\"b", ',', SplitResult::kUnclosedQuote, {}},           {std::string(1000, ','), ',', SplitResult::kTooManyFields, {}},
        {"a," + std::string(kFieldBytes + 1, 'x'), ',', SplitResult::kFieldTooLong, {}},
    };
    Lines fields;
    for (const Case &c : cases) {
        EXPECT_EQ(split_fields(c.line, c.delimiter, fields), c.result) << c.line.substr(0, 40);
        if (c.result == SplitResult::kOk) {
            EXPECT_EQ(fields, c.fields) << c.line.substr(0, 40);
        }
    }
    EXPECT_EQ(valid_utf8("ok \xC3\xA9"), "ok \xC3\xA9");
    EXPECT_EQ(valid_utf8("a\xFF" "b\xC3"), "a\xEF\xBF\xBD" "b\xEF\xBF\xBD");
    EXPECT_EQ(valid_utf8("\xED\xA0\x80"), "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");
}

TEST_F(CsvPaste, WhatLandsWhere) {
    const std::string wide(1000, ',');  // 1001 fields
    struct Case {
        std::string target, bytes;
        const char *keyword;
        int rc;
        std::vector<std::pair<const char *, const char *>> cells;  // "kind:NAME" checks the kind
    } cases[] = {
        {"B2", "a,\"b,c\",d\n1,2024/01/05,\"x\"\"y\"\n\"multi\nline\",,3", "CSV", 0,
         {{"B2", "a"}, {"C2", "b,c"}, {"D2", "d"}, {"B3", "kind:INTEGER"}, {"C3", "kind:DATE"}, {"D3", "x\"y"},
          {"B4", "multi\nline"}, {"C4", "kind:"}, {"D4", "3"}}},  // the last line had no line feed
        {"A1", "a,b\tc\r\n\td", "TSV", 0, {{"A1", "a,b"}, {"B1", "c"}, {"A2", "kind:"}, {"B2", "d"}}},
        {"A1", "1\n\n3\n", "CSV", 0, {{"A1", "1"}, {"A2", "kind:"}, {"A3", "3"}}},  // empty lines take rows
        // A range limits rows and columns but not statements.
        {"A1:B2", "1,2,3\n4,5,6\n7,8,9\n!Z9=late\n", "CSV", 0,
         {{"B1", "2"}, {"C1", "kind:"}, {"B2", "5"}, {"A3", "kind:"}, {"Z9", "late"}}},
        {"A1", "a\n!C1=\"from statement\"\nb\n", "CSV", 0, {{"A1", "a"}, {"A2", "b"}, {"C1", "from statement"}}},
        {"A1", "a\n!NOPE.NOPE=1\nb\n", "CSV", -1, {{"A1", "a"}, {"A2", "kind:"}}},  // a failing statement ends it
        // Byte order marks choose the character set.
        {"A1", "\xEF\xBB\xBF\xE6\x97\xA5,b", "CSV", 0, {{"A1", "日"}}},
        {"A2", std::string("\xFF\xFE\xE5\x65,\0x\0", 8), "CSV", 0, {{"A2", "日"}, {"B2", "x"}}},
        // Lines that cannot be split end the paste with success.
        {"A1", "ok\n" + wide + "\nlater\n", "CSV", 0, {{"A1", "ok"}, {"A2", "kind:"}, {"A3", "kind:"}}},
        {"A1", "ok\n\"open,quote\nlater\n", "CSV", 0, {{"A1", "ok"}, {"A2", "kind:"}, {"A3", "kind:"}}},
        {"A1", "ok\n" + std::string(kFieldBytes + 1, 'x') + "\nlater\n", "CSV", 0, {{"A1", "ok"}, {"A2", "kind:"}}},
        {"A1", "ok\n" + std::string(kLineBytes + 10, 'x') + "\nlater\n", "CSV", 0, {{"A1", "ok"}, {"A2", "kind:"}}},
    };
    for (const Case &c : cases) {
        reopen();
        EXPECT_EQ(paste(c.target, c.bytes, c.keyword), c.rc) << c.bytes.substr(0, 40);
        if (c.rc != 0) {
            EXPECT_NE(message().find("TXLS-02200"), std::string::npos) << message();  // the failing line's message
        }
        for (auto [cell, expected] : c.cells) {
            std::string want = expected;
            if (want.rfind("kind:", 0) == 0) {
                EXPECT_EQ(kind(cell), want.substr(5)) << cell << " of " << c.bytes.substr(0, 40);
            } else {
                EXPECT_EQ(value(cell), want) << cell << " of " << c.bytes.substr(0, 40);
            }
        }
    }
}

TEST_F(CsvPaste, TheRowCounterFollowsThePasteAndLoadedBooksKeepTheirValues) {
    ASSERT_EQ(paste("B2", "a,b,c\nd\n"), 0);
    EXPECT_EQ(std::pair(sheet().rows_used, sheet().data_row), std::pair(3, 3));
    EXPECT_EQ(sheet().data_column, 4);
    ASSERT_EQ(TXLS_put_values(&book, "A($ROWNUM+1)=next"), 0);
    EXPECT_EQ(value("A4"), "next");
    ASSERT_EQ(TXLS_put_values(&book, "Z1=kept"), 0);
    store().from_file = true;
    ASSERT_EQ(paste("Y1", "new,over"), 0);
    EXPECT_EQ(value("Y1"), "new");
    EXPECT_EQ(value("Z1"), "kept");
}

TEST_F(CsvPaste, ShiftJisFilesInAShiftJisBook) {
    XLS_BOOK sjis_book{};
    ASSERT_EQ(TXLS_open_book(&sjis_book, "MODE=CREATE CHARSET=SJIS"), 0);
    ASSERT_EQ(TXLS_open_sheet(&sjis_book, "SHEET_NAME=S"), 0);
    std::string path = dir.write("sjis.csv", tabsmith::testing::sjis("日本,\"語,x\"\n"));
    EXPECT_EQ(TXLS_put_values(&sjis_book, ("A1.CSV=\"" + path + "\"").c_str()), 0);
    Book &inner = *book_of(&sjis_book);
    EXPECT_EQ(cell_value_text(inner, *find_cell(inner, 0, 0, 0)), "日本");
    EXPECT_EQ(cell_value_text(inner, *find_cell(inner, 0, 0, 1)), "語,x");
    TXLS_free_book(&sjis_book);
}

TEST_F(CsvPaste, FieldsNeverReadTheEnvironment) {
    ::setenv("TABSMITH_CSV_SECRET", "leaked", 1);
    ASSERT_EQ(tsx_put_resource(store(), "REGION", "north"), 0);
    ASSERT_EQ(paste("A1", "$TABSMITH_CSV_SECRET,$REGION,\\$REGION,$SYSDATE"), 0);
    EXPECT_EQ(value("A1") + "|" + value("B1") + "|" + value("C1") + "|" + kind("D1"), "$TABSMITH_CSV_SECRET|north|$REGION|DATE");
    // Values put by the caller keep their environment lookup.
    ASSERT_EQ(TXLS_put_values(&book, "A2=$TABSMITH_CSV_SECRET"), 0);
    EXPECT_EQ(value("A2"), "leaked");
    ::unsetenv("TABSMITH_CSV_SECRET");
}

TEST_F(CsvPaste, FailuresAndTheirMessages) {
    EXPECT_EQ(TXLS_put_values(&book, "A1.CSV=\"/nonexistent/tabsmith.csv\""), -101);
    EXPECT_NE(message().find("TXLS-00100"), std::string::npos);
    EXPECT_NE(message().find("/nonexistent/tabsmith.csv"), std::string::npos);
    EXPECT_EQ(book.error_code, -101);
    EXPECT_EQ(TXLS_put_values(&book, ("A1.CSV=\"/" + std::string(300, 'p') + "\"").c_str()), -3);
    EXPECT_NE(message().find("TXLS-00005"), std::string::npos);
    PasteRequest request;
    request.path = dir.write("k.csv", "a");
    request.delimiter_kind = 2;
    EXPECT_EQ(paste_delimited(store(), request, PasteArea{}).rc, -3);
    // A file that pastes itself stops.
    std::string self = dir / "self.csv";
    dir.write("self.csv", "a\n!A1.CSV=\"" + self + "\"\n");
    EXPECT_EQ(TXLS_put_values(&book, ("B1.CSV=\"" + self + "\"").c_str()), -1);
    EXPECT_EQ(value("B1"), "a");
}

TEST_F(CsvPaste, RandomBytesNeverBreakThePaste) {
    std::mt19937 random(20240611);
    const std::string alphabet = std::string("ab1,,\t\"\"\r\n\n!$=.\xE6\x97\xA5\xFF\xFE\xEF\xBB\xBF", 24) + '\0';
    for (int round = 0; round < 300; ++round) {
        std::string bytes;
        std::size_t length = round % 50 == 0 ? kLineBytes + random() % 100 : random() % 400;
        for (std::size_t i = 0; i < length; ++i) bytes += alphabet[random() % alphabet.size()];
        PasteRequest request;
        request.path = dir.write("fuzz.csv", bytes);
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
