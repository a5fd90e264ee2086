// A1 names and positions, ranges, row ranges, sheet prefixes, range lists, computed forms in
// names and in formula texts, and the exported cell-name calls.

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "api/api.h"
#include "common/fixtures.h"
#include "model/address.h"

using namespace tabsmith;
using tabsmith::testing::BookTest;
using tabsmith::testing::sjis;

namespace {

class Address : public ::testing::Test {
protected:
    void SetUp() override {
        add_sheet(book, "Sheet1");
        add_sheet(book, "Sheet2");
    }
    Sheet &first() { return *book.sheets[0]; }
    std::string message() const { return book.err.message_utf8(); }
    // The expanded text, or "rc=<code>" on failure.
    std::string expand(std::string_view text) {
        std::string out;
        const int rc = expand_computed_forms(book, text, out);
        return rc == 0 ? out : "rc=" + std::to_string(rc);
    }
    // "row,column", "sheet!row,column" or with ":row,column" for a range; "rc=<code>" on failure.
    std::string at(std::string_view text) {
        CellRef ref;
        if (int rc = resolve_reference(book, text, ref)) return "rc=" + std::to_string(rc);
        std::string s = (ref.sheet >= 0 ? std::to_string(ref.sheet) + "!" : "") + std::to_string(ref.row1) + "," + std::to_string(ref.column1);
        return ref.is_range ? s + ":" + std::to_string(ref.row2) + "," + std::to_string(ref.column2) : s;
    }
    Book book;
};

std::string parsed(std::string_view name) {
    int row = 7, column = 7;
    const int rc = parse_cell_name(name, row, column);
    return rc == 0 ? std::to_string(row) + "," + std::to_string(column) : "rc=" + std::to_string(rc);
}

}  // namespace

TEST(CellNames, LettersNamesAndTheirLimits) {
    for (auto [column, letters] : {std::pair{0, "A"}, {25, "Z"}, {26, "AA"}, {701, "ZZ"}, {702, "AAA"}, {1352, "AZA"}, {16383, "XFD"}, {16384, ""}, {-1, ""}})
        EXPECT_EQ(column_letters(column), letters) << column;
    std::string name;
    EXPECT_EQ(cell_name(1048575, 16383, name, true), 0);
    EXPECT_EQ(name, "$XFD$1048576");
    for (auto [row, column] : {std::pair{1048576, 0}, {0, 16384}, {-1, 0}}) EXPECT_EQ(cell_name(row, column, name), -1);
    for (auto [text, expected] : {std::pair{"b2", "1,1"}, {"$B$2", "1,1"}, {"B$2", "1,1"}, {"$B2", "1,1"}, {"xfd1048576", "1048575,16383"},
                                  {"C*", "1048575,2"}, {"**", "1048575,16383"}})
        EXPECT_EQ(parsed(text), expected) << text;
    for (const char *text : {"A0", "A1048577", "XFE1", "AAAA1", "A", "1", "", "$", "$$A1", "A$$1", "A1x", "A-1", "A 1", " A1", "A1.5",
                             "\xc3\x84" "1", "A99999999999999999999999", "*", "***"})
        EXPECT_EQ(parsed(text), "rc=-1") << text;
    for (int column = 0; column <= kMaxNameColumn; ++column) {  // every column round-trips through its name
        ASSERT_EQ(cell_name(column, column, name), 0);
        ASSERT_EQ(parsed(name), std::to_string(column) + "," + std::to_string(column)) << name;
    }
}

TEST_F(Address, ComputedFormsInNames) {
    ASSERT_EQ(tsx_put_resource(book, "start", "7"), 0);
    const struct { int data_row, data_column; const char *text, *at; } cases[] = {
        // $ROWNUM is the counter minus one as a 0-based row; not set, the last row in use.
        {11, 0, "A($ROWNUM+2)", "12,0"}, {11, 0, "B($rownum)", "10,1"}, {0, 0, "A($ROWNUM)", "0,0"}, {4, 3, "($CLMNUM)1", "0,2"},
        {4, 3, "$($CLMNUM+1)$($ROWNUM+1)", "4,3"}, {0, 0, "A(10-3+1)", "8,0"}, {0, 0, "A(5 3)", "3,0"},  // a term without operator replaces
        {0, 0, "A( 2 + 2 )", "4,0"}, {0, 0, "A($START+1)", "8,0"}, {0, 0, "A(1048576)", "rc=-1"}, {0, 0, "(16384)1", "rc=-1"},
        {0, 0, "A(99999999999999999999999999+1)", "rc=-1"},
        // Malformed groups are no name and say nothing.
        {0, 0, "A($ROWNUM", "rc=-1"}, {0, 0, "A()", "rc=-1"}, {0, 0, "A(+)", "rc=-1"}, {0, 0, "A(1)2", "rc=-1"}, {0, 0, "hello($MISSING)", "rc=-1"},
        {0, 0, "A1($MISSING)", "rc=-1"}, {0, 0, "($ROWNUM", "rc=-1"}, {0, 0, "A((1))x", "rc=-1"},
    };
    for (const auto &c : cases) {
        first().data_row = c.data_row;
        first().data_column = c.data_column;
        EXPECT_EQ(at(c.text), c.at) << c.text;
    }
    EXPECT_FALSE(book.err.has_message());
    first().rows_used = 5;
    EXPECT_EQ(at("A($ROWNUM)"), "4,0");
    EXPECT_EQ(at("A($ROWNUM-10)"), "rc=-1");
    ASSERT_EQ(ensure_cell(book, first(), 1, 6), 0);  // not set, $CLMNUM is the last column of the widest row in use
    first().rows_used = 2;
    first().rows[1].used = 7;
    EXPECT_EQ(at("($CLMNUM)1"), "0,6");
    tsx_put_resource(book, "word", "12a");
    for (auto [text, said] : {std::pair{"A($MISSING)", "TXLS-03001 変数の値が取得できません(\"$MISSING\")。"}, {"A($word)", "TXLS-02302 数値が不正です(\"$word\")。"},
                              {"A($ROWNUM*2)", "TXLS-02201 サポート外の演算子です(\"*\")。"}, {"A(4/2)", "TXLS-02201 サポート外の演算子です(\"/\")。"},
                              {"A(2^2)", "TXLS-02200 サポート外のキーワードです(\"^\")。"}, {"A(x)", "TXLS-02200 サポート外のキーワードです(\"x\")。"}}) {
        EXPECT_EQ(at(text), "rc=-3") << text;
        EXPECT_EQ(message(), said);
    }
}

TEST_F(Address, SheetPrefixesRangesRowRangesAndLists) {
    for (const char *name : {"My Sheet", "It's", "売上", "a:b", "a,b"}) add_sheet(book, name);
    const std::string prefix = std::string(90, 'n') + "!A";
    const std::pair<std::string, const char *> cases[] = {
        {"Sheet2!C4", "1!3,2"}, {"Nowhere!C4", "3,2"}, {"sheet2!C4", "3,2"}, {"'My Sheet'!B2", "2!1,1"}, {"'It''s'!B2", "3!1,1"},  // matched exactly
        {"売上!B2", "4!1,1"}, {"'a:b'!B2", "5!1,1"}, {"'My Sheet'!A1:B2", "2!0,0:1,1"}, {"'Unclosed!B2", "rc=-1"}, {"'My Sheet'B2", "rc=-1"},
        {std::string(93, 'n') + "!A1", "0,0"}, {std::string(94, 'n') + "!A1", "rc=-1"}, {std::string(90, 'n') + "!A1:B2", "0,0:1,1"},
        {std::string(91, 'n') + "!A1:B2", "rc=-1"},
        // Leading zeros are the only way past the 125 bytes of a range text.
        {prefix + std::string(29, '0') + "1:B2", "0,0:1,1"}, {prefix + std::string(30, '0') + "1:B2", "rc=-1"},
        {"A1:C3", "0,0:2,2"}, {"Sheet2!$C$3:a1", "1!2,2:0,0"},  // corners stay as written
        {"A1:", "rc=-1"}, {":A1", "rc=-1"}, {"A1:B2:C3", "rc=-1"}, {"1:3", "rc=-1"}, {"A:C", "rc=-1"}, {"A1:B0", "rc=-1"}, {"", "rc=-1"},
        {"Sheet2!", "rc=-1"}, {"nothing", "rc=-1"}, {std::string(5000, '\''), "rc=-1"}, {"A\xff\xfe" "1", "rc=-1"},
    };
    for (const auto &[text, expected] : cases) EXPECT_EQ(at(text), expected) << text;
    first().data_row = 20;  // long expressions are fine as long as the expanded range fits
    EXPECT_EQ(at("A1:D(" + std::string(200, ' ') + "$ROWNUM)"), "0,0:19,3");
    CellRef ref;
    EXPECT_EQ(resolve_range(book, "A1", ref), -1);

    int r1 = -1, r2 = -1;
    ASSERT_EQ(parse_row_range(book, "3:5", r1, r2), 0);
    EXPECT_EQ(std::pair(r1, r2), std::pair(2, 4));
    for (const std::string &text : {std::string("1:1048576"), "1:" + std::string(77, '0') + "2"}) EXPECT_EQ(parse_row_range(book, text, r1, r2), 0);  // 80 bytes
    for (const std::string &text : std::vector<std::string>{"0:5", "3", "3:", ":5", "a:5", "3:5:7", "1:1048577", "$3:$5", " 3:5", "-1:2", "", "1:" + std::string(78, '0') + "2"})
        EXPECT_EQ(parse_row_range(book, text, r1, r2), -3) << text;
    book.max_rows = kXlsMaxRows;
    EXPECT_EQ(std::pair(parse_row_range(book, "1:65536", r1, r2), parse_row_range(book, "1:65537", r1, r2)), std::pair(0, -3));

    std::vector<CellRef> refs;
    ASSERT_EQ(parse_range_list(book, "A1, B2:C3,'a,b'!D4", refs), 0);
    ASSERT_EQ(refs.size(), 3u);
    EXPECT_EQ(std::vector<int>({refs[0].is_range, refs[1].is_range, refs[2].sheet, refs[2].row1}), std::vector<int>({0, 1, 6, 3}));
    std::string many = "A1";
    for (int i = 1; i < kMaxRangeList; ++i) many += ",A1";
    ASSERT_EQ(parse_range_list(book, many, refs), 0);
    EXPECT_EQ(refs.size(), 255u);
    for (const std::string &text : {many + ",A1", std::string(""), std::string("A1,"), std::string(",A1"), std::string("A1,,B2"), std::string("A1,xyz"),
                                    std::string(5999, ',')}) {
        EXPECT_EQ(parse_range_list(book, text, refs), -1) << text;
        EXPECT_TRUE(refs.empty());
    }
    EXPECT_EQ(parse_range_list(book, "A1,A($NOPE)", refs), -3);
}

TEST_F(Address, ComputedFormsInFormulaTexts) {
    first().data_row = 11;
    first().data_column = 3;
    tsx_put_resource(book, "LASTROW", "4");
    const std::string nested = std::string(3000, '(') + "$ROWNUM" + std::string(2990, ')');
    const std::pair<std::string, std::string> cases[] = {
        {"=SUM(A1:A($ROWNUM))", "=SUM(A1:A11)"}, {"=SUM($A$1:$A$($ROWNUM+1))", "=SUM($A$1:$A$12)"}, {"=A($ROWNUM)*2+B($ROWNUM-1)", "=A11*2+B10"},
        {"=Sheet2!C($ROWNUM)", "=Sheet2!C11"}, {"='Q (1)'!C($ROWNUM)", "='Q (1)'!C11"}, {"=SUM(A1:A($LASTROW))", "=SUM(A1:A5)"},
        {"($CLMNUM)1", "C1"}, {"=SUM(A1:($CLMNUM)$5)", "=SUM(A1:C$5)"}, {"=($CLMNUM+1)($ROWNUM)", "=D11"},
        {"=($CLMNUM)$(2)", "=C$3"},  // row right after a column group
        {"=A($ROWNUM-12)", "rc=-1"},  // row above the first
        {std::string(6000, 'x'), std::string(6000, 'x')}, {std::string(6001, 'x'), "rc=-1"}, {nested, nested},
        {"$" + std::string(5999, '('), "$" + std::string(5999, '(')},
    };
    for (const auto &[text, expected] : cases) EXPECT_EQ(expand(text), expected) << text.substr(0, 80);
    CellRef ref;
    EXPECT_EQ(resolve_cell(book, "A" + nested, ref), -1);
    // Groups that are no computed form stay as they are, without a word.
    for (const char *text : {"=SUM(5)", "=ABS($A1)", "=SUM($A$1)", "=SUM($B)", "=MAX($ROWNUM,1)", "=LOG10($ROWNUM)", "=x1A($ROWNUM)", "=_A($ROWNUM)",
                             "=ZZZZ($ROWNUM)", "=($ROWNUM)+1", "=\"A($ROWNUM)\"&B1", "=IF(A1>0,A($ROWNUM:1),0)", "=A(($ROWNUM))", "no dollar (1) here"})
        EXPECT_EQ(expand(text), text) << text;
    EXPECT_FALSE(book.err.has_message());
    EXPECT_EQ(expand("=SUM(A1:A($NOSUCH))"), "rc=-3");
    EXPECT_NE(message().find("TXLS-03001"), std::string::npos);
    EXPECT_EQ(expand("=A($ROWNUM*2)"), "rc=-3");
    EXPECT_NE(message().find("TXLS-02201"), std::string::npos);
}

TEST(CellNameApi, NamesAndRangesNeverPastTheBuffer) {
    char out[8];
    std::memset(out, '#', sizeof out);
    EXPECT_EQ(TXLS_cell_name(1, 27, out, 4), 0);  // "AA1" and its terminator fit exactly
    EXPECT_STREQ(out, "AA1");
    std::memset(out, '#', sizeof out);
    EXPECT_EQ(TXLS_cell_name(1, 27, out, 3), -909);
    EXPECT_EQ(std::string(out, 4), std::string("\0###", 4));
    EXPECT_EQ(TXLS_cell_range(1, 1, 3, 3, out, 6), 0);
    EXPECT_STREQ(out, "A1:C3");
    std::memset(out, '#', sizeof out);
    EXPECT_EQ(TXLS_cell_range(1, 1, 3, 3, out, 5), -909);
    EXPECT_EQ(out[5], '#');
    for (auto [column, size, rc] : {std::tuple{1, 0, -909}, {1, -5, -909}, {16385, 8, -3}}) EXPECT_EQ(TXLS_cell_name(1, column, out, size), rc);
    EXPECT_EQ(TXLS_cell_name(0, 1, out, sizeof out), -3);
    EXPECT_EQ(TXLS_cell_range(1, 1, 1048577, 1, out, sizeof out), -3);
}

TEST(CellApi, IsCellAndIsRangeGiveOneBasedPositionsAndStoreTheirResult) {
    XLS_BOOK book{};
    ASSERT_EQ(TXLS_open_book(&book, "MODE=CREATE"), 0);
    Book &work = *static_cast<Book *>(book.work);
    add_sheet(work, "Sheet1");
    work.sheets[0]->data_row = 11;
    auto is = [&](bool range, const std::string &text) {
        int r1 = 0, c1 = 0, r2 = 0, c2 = 0;
        const int rc = range ? TXLS_is_range(&book, text.c_str(), &r1, &c1, &r2, &c2) : TXLS_is_cell(&book, text.c_str(), &r1, &c1);
        if (rc != 0) return "rc=" + std::to_string(rc);
        return std::to_string(r1) + "," + std::to_string(c1) + (range ? ":" + std::to_string(r2) + "," + std::to_string(c2) : "");
    };
    const struct { bool range; std::string text, result; int code; } cases[] = {  // code: the book's error code afterwards
        {false, "b2", "2,2", 0}, {false, "Sheet1!$XFD$1048576", "1048576,16384", 0}, {false, "A($ROWNUM+2)", "13,1", 0},
        {false, "A1:B2", "rc=-801", -801}, {false, "A0", "rc=-801", -801}, {false, "B2", "2,2", 0},  // cleared again
        {false, "A($NOPE)", "rc=-3", -3}, {false, std::string(6000, 'A'), "rc=-801", -801}, {false, std::string(6001, 'A'), "rc=-3", -3},
        {false, "", "rc=-801", -801}, {false, "\x81", "rc=-801", -801},  // a cut Shift-JIS character
        {true, "A1:C3", "1,1:3,3", 0}, {true, "zz", "rc=-801", -801}, {true, "A1", "rc=-3", 0},  // a single cell is no range, and no error either
        {true, std::string(6001, 'A'), "rc=-3", -3},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(is(c.range, c.text), c.result) << c.text;
        EXPECT_EQ(TXLS_error_code(&book), c.code) << c.text;
    }
    // Texts arrive in the book's character set.
    add_sheet(work, "売上");
    ASSERT_EQ(TXLS_put_variable(&book, sjis("最終行").c_str(), "9"), 0);
    EXPECT_EQ(is(true, sjis("売上!A1:B($最終行)")), "1,1:10,2");
    EXPECT_EQ(is(false, sjis("売上!B($最終行)")), "10,2");
    TXLS_free_book(&book);
}
