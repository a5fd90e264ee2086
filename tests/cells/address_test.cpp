// A1 names and positions, ranges, row ranges, sheet prefixes, range lists, computed forms,
// and the exported cell-name functions.

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "api/api.h"
#include "model/address.h"
#include "support/fixtures.h"

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
        int rc = expand_computed_forms(book, text, out);
        return rc == 0 ? out : "rc=" + std::to_string(rc);
    }
    // "row,column", "sheet!row,column" or with ":row,column" for a range; "rc=<code>" on failure.
    std::string at(std::string_view text) {
        CellRef ref;
        int rc = resolve_reference(book, text, ref);
        if (rc != 0) return "rc=" + std::to_string(rc);
        std::string s = ref.sheet >= 0 ? std::to_string(ref.sheet) + "!" : "";
        s += std::to_string(ref.row1) + "," + std::to_string(ref.column1);
        if (ref.is_range) s += ":" + std::to_string(ref.row2) + "," + std::to_string(ref.column2);
        return s;
    }
    Book book;
};

}  // namespace

// ---- names and positions ----

namespace {

std::string parsed(std::string_view name) {
    int row = 7, column = 7;
    int rc = parse_cell_name(name, row, column);
    return rc == 0 ? std::to_string(row) + "," + std::to_string(column) : "rc=" + std::to_string(rc);
}

}  // namespace

TEST(CellNames, ColumnLettersAndNamesWithinTheLimits) {
    const std::pair<int, const char *> columns[] = {{0, "A"},     {25, "Z"},     {26, "AA"},     {701, "ZZ"},
                                                    {702, "AAA"}, {1352, "AZA"}, {16383, "XFD"}, {16384, ""},
                                                    {-1, ""}};
    for (auto &[column, letters] : columns) EXPECT_EQ(column_letters(column), letters) << column;
    std::string name;
    EXPECT_EQ(cell_name(0, 0, name), 0);
    EXPECT_EQ(name, "A1");
    EXPECT_EQ(cell_name(1048575, 16383, name, true), 0);
    EXPECT_EQ(name, "$XFD$1048576");
    EXPECT_EQ(cell_name(1048576, 0, name), -1);
    EXPECT_EQ(cell_name(0, 16384, name), -1);
    EXPECT_EQ(cell_name(-1, 0, name), -1);
}

TEST(CellNames, ParsedInAnyCaseWithOptionalDollarsAndStarForms) {
    for (const char *name : {"b2", "$B$2", "B$2", "$B2"}) EXPECT_EQ(parsed(name), "1,1") << name;
    EXPECT_EQ(parsed("xfd1048576"), "1048575,16383");
    EXPECT_EQ(parsed("C*"), "1048575,2");
    EXPECT_EQ(parsed("**"), "1048575,16383");
    for (const char *name : {"A0", "A1048577", "XFE1", "AAAA1", "A", "1", "", "$", "$$A1", "A$$1", "A1x", "A-1",
                             "A 1", " A1", "A1.5", "\xc3\x84" "1", "A99999999999999999999999", "*", "***"})
        EXPECT_EQ(parsed(name), "rc=-1") << name;
}

TEST(CellNames, EveryColumnRoundTrips) {
    for (int column = 0; column <= kMaxNameColumn; ++column) {
        std::string name;
        ASSERT_EQ(cell_name(column, column, name), 0);
        ASSERT_EQ(parsed(name), std::to_string(column) + "," + std::to_string(column)) << name;
    }
}

// ---- computed forms in a name ----

TEST_F(Address, RownumIsTheCounterMinusOneAsAZeroBasedRow) {
    first().data_row = 11;
    EXPECT_EQ(at("A($ROWNUM+2)"), "12,0");  // 1-based row 13
    EXPECT_EQ(at("B($rownum)"), "10,1");
    first().data_row = 0;  // not set: the last row in use, never below 0
    EXPECT_EQ(at("A($ROWNUM)"), "0,0");
    first().rows_used = 5;
    EXPECT_EQ(at("A($ROWNUM)"), "4,0");
    EXPECT_EQ(at("A($ROWNUM-10)"), "rc=-1");
}

TEST_F(Address, ClmnumAndBothGroupsTogether) {
    first().data_row = 4;
    first().data_column = 3;
    EXPECT_EQ(at("($CLMNUM)1"), "0,2");
    EXPECT_EQ(at("$($CLMNUM+1)$($ROWNUM+1)"), "4,3");
    first().data_column = 0;  // not set: the widest row in use gives the last column
    ASSERT_EQ(ensure_cell(book, first(), 1, 6), 0);
    first().rows_used = 2;
    first().rows[1].used = 7;
    EXPECT_EQ(at("($CLMNUM)1"), "0,6");
}

TEST_F(Address, TermsCombineLeftToRightAndVariablesGiveTheirDigits) {
    EXPECT_EQ(at("A(10-3+1)"), "8,0");
    EXPECT_EQ(at("A(5 3)"), "3,0");  // a term without operator replaces
    EXPECT_EQ(at("A( 2 + 2 )"), "4,0");
    EXPECT_EQ(at("A(1048576)"), "rc=-1");
    EXPECT_EQ(at("(16384)1"), "rc=-1");
    EXPECT_EQ(at("A(99999999999999999999999999+1)"), "rc=-1");
    ASSERT_EQ(tsx_put_resource(book, "start", "7"), 0);
    EXPECT_EQ(at("A($START+1)"), "8,0");
    EXPECT_FALSE(book.err.has_message());
}

TEST_F(Address, BadTermsRaiseTheirMessages) {
    tsx_put_resource(book, "word", "12a");
    const char *cases[][2] = {{"A($MISSING)", "TXLS-03001 変数の値が取得できません(\"$MISSING\")。"},
                              {"A($word)", "TXLS-02302 数値が不正です(\"$word\")。"},
                              {"A($ROWNUM*2)", "TXLS-02201 サポート外の演算子です(\"*\")。"},
                              {"A(4/2)", "TXLS-02201 サポート外の演算子です(\"/\")。"},
                              {"A(2^2)", "TXLS-02200 サポート外のキーワードです(\"^\")。"},
                              {"A(x)", "TXLS-02200 サポート外のキーワードです(\"x\")。"}};
    for (auto &c : cases) {
        EXPECT_EQ(at(c[0]), "rc=-3") << c[0];
        EXPECT_EQ(message(), c[1]);
    }
}

TEST_F(Address, MalformedGroupsAreNoNameAndSayNothing) {
    for (const char *text : {"A($ROWNUM", "A()", "A(+)", "A(1)2", "hello($MISSING)", "A1($MISSING)", "($ROWNUM",
                             "A((1))x"})
        EXPECT_EQ(at(text), "rc=-1") << text;
    EXPECT_FALSE(book.err.has_message());
}

// ---- sheet prefixes, ranges, references ----

TEST_F(Address, SheetPrefixFindsTheSheetOrLeavesTheCurrentOne) {
    add_sheet(book, "My Sheet");
    add_sheet(book, "It's");
    add_sheet(book, "売上");
    add_sheet(book, "a:b");
    EXPECT_EQ(at("Sheet2!C4"), "1!3,2");
    EXPECT_EQ(at("Nowhere!C4"), "3,2");
    EXPECT_EQ(at("sheet2!C4"), "3,2");  // matched exactly
    EXPECT_EQ(at("'My Sheet'!B2"), "2!1,1");
    EXPECT_EQ(at("'It''s'!B2"), "3!1,1");
    EXPECT_EQ(at("売上!B2"), "4!1,1");
    EXPECT_EQ(at("'a:b'!B2"), "5!1,1");
    EXPECT_EQ(at("'My Sheet'!A1:B2"), "2!0,0:1,1");
    EXPECT_EQ(at("'Unclosed!B2"), "rc=-1");
    EXPECT_EQ(at("'My Sheet'B2"), "rc=-1");
}

TEST_F(Address, SheetNameAndRangeTextLimits) {
    EXPECT_EQ(at(std::string(93, 'n') + "!A1"), "0,0");
    EXPECT_EQ(at(std::string(94, 'n') + "!A1"), "rc=-1");
    EXPECT_EQ(at(std::string(90, 'n') + "!A1:B2"), "0,0:1,1");
    EXPECT_EQ(at(std::string(91, 'n') + "!A1:B2"), "rc=-1");
    // Leading zeros are the only way past the 125 bytes of a range text.
    std::string prefix = std::string(90, 'n') + "!A";
    EXPECT_EQ(at(prefix + std::string(29, '0') + "1:B2"), "0,0:1,1");  // 125 bytes
    EXPECT_EQ(at(prefix + std::string(30, '0') + "1:B2"), "rc=-1");
    // Long expressions are fine as long as the expanded range fits.
    first().data_row = 20;
    EXPECT_EQ(at("A1:D(" + std::string(200, ' ') + "$ROWNUM)"), "0,0:19,3");
}

TEST_F(Address, RangesKeepTheirCornersAsWritten) {
    EXPECT_EQ(at("A1:C3"), "0,0:2,2");
    EXPECT_EQ(at("Sheet2!$C$3:a1"), "1!2,2:0,0");
    CellRef ref;
    EXPECT_EQ(resolve_range(book, "A1", ref), -1);
    for (const char *text : {"A1:", ":A1", "A1:B2:C3", "1:3", "A:C", "A1:B0", "", "Sheet2!", "nothing"})
        EXPECT_EQ(at(text), "rc=-1") << text;
}
TEST_F(Address, RowRanges) {
    int r1 = -1, r2 = -1;
    ASSERT_EQ(parse_row_range(book, "3:5", r1, r2), 0);
    EXPECT_EQ(r1, 2);
    EXPECT_EQ(r2, 4);
    EXPECT_EQ(parse_row_range(book, "1:1048576", r1, r2), 0);
    for (const char *text : {"0:5", "3", "3:", ":5", "a:5", "3:5:7", "1:1048577", "$3:$5", " 3:5", "-1:2", ""})
        EXPECT_EQ(parse_row_range(book, text, r1, r2), -3) << text;
    EXPECT_EQ(parse_row_range(book, "1:" + std::string(77, '0') + "2", r1, r2), 0);   // 80 bytes
    EXPECT_EQ(parse_row_range(book, "1:" + std::string(78, '0') + "2", r1, r2), -3);  // 81 bytes
    book.max_rows = kXlsMaxRows;
    EXPECT_EQ(parse_row_range(book, "1:65536", r1, r2), 0);
    EXPECT_EQ(parse_row_range(book, "1:65537", r1, r2), -3);
}

TEST_F(Address, RangeLists) {
    add_sheet(book, "a,b");
    std::vector<CellRef> refs;
    ASSERT_EQ(parse_range_list(book, "A1, B2:C3,'a,b'!D4", refs), 0);
    ASSERT_EQ(refs.size(), 3u);
    EXPECT_FALSE(refs[0].is_range);
    EXPECT_TRUE(refs[1].is_range);
    EXPECT_EQ(refs[2].sheet, 2);
    EXPECT_EQ(refs[2].row1, 3);
    std::string many = "A1";
    for (int i = 1; i < kMaxRangeList; ++i) many += ",A1";
    ASSERT_EQ(parse_range_list(book, many, refs), 0);
    EXPECT_EQ(refs.size(), 255u);
    EXPECT_EQ(parse_range_list(book, many + ",A1", refs), -1);
    EXPECT_TRUE(refs.empty());
    for (const char *text : {"", "A1,", ",A1", "A1,,B2", "A1,xyz"}) EXPECT_EQ(parse_range_list(book, text, refs), -1) << text;
    EXPECT_EQ(parse_range_list(book, "A1,A($NOPE)", refs), -3);
    EXPECT_TRUE(refs.empty());
}

// ---- computed forms inside longer texts (formulas) ----

TEST_F(Address, FormulaKeepsFunctionCallsAndExpandsRowGroups) {
    first().data_row = 11;
    EXPECT_EQ(expand("=SUM(A1:A($ROWNUM))"), "=SUM(A1:A11)");
    EXPECT_EQ(expand("=SUM($A$1:$A$($ROWNUM+1))"), "=SUM($A$1:$A$12)");
    EXPECT_EQ(expand("=A($ROWNUM)*2+B($ROWNUM-1)"), "=A11*2+B10");
    EXPECT_EQ(expand("=Sheet2!C($ROWNUM)"), "=Sheet2!C11");
    EXPECT_EQ(expand("='Q (1)'!C($ROWNUM)"), "='Q (1)'!C11");
}

TEST_F(Address, FormulaGroupsThatAreNoComputedForm) {
    first().data_row = 11;
    for (const char *text : {"=SUM(5)", "=ABS($A1)", "=SUM($A$1)", "=SUM($B)", "=MAX($ROWNUM,1)", "=LOG10($ROWNUM)",
                             "=x1A($ROWNUM)", "=_A($ROWNUM)", "=ZZZZ($ROWNUM)", "=($ROWNUM)+1", "=\"A($ROWNUM)\"&B1",
                             "=IF(A1>0,A($ROWNUM:1),0)", "=A(($ROWNUM))", "no dollar (1) here"}) {
        EXPECT_EQ(expand(text), text) << text;
    }
    EXPECT_FALSE(book.err.has_message());
}

TEST_F(Address, FormulaColumnGroups) {
    first().data_row = 11;
    first().data_column = 3;
    EXPECT_EQ(expand("($CLMNUM)1"), "C1");
    EXPECT_EQ(expand("=SUM(A1:($CLMNUM)$5)"), "=SUM(A1:C$5)");
    EXPECT_EQ(expand("=($CLMNUM+1)($ROWNUM)"), "=D11");
    EXPECT_EQ(expand("=($CLMNUM)$(2)"), "=C$3");  // the row right after a column group
}

TEST_F(Address, FormulaFailures) {
    tsx_put_resource(book, "LASTROW", "4");
    EXPECT_EQ(expand("=SUM(A1:A($LASTROW))"), "=SUM(A1:A5)");
    EXPECT_EQ(expand("=SUM(A1:A($NOSUCH))"), "rc=-3");
    EXPECT_NE(message().find("TXLS-03001"), std::string::npos);
    EXPECT_EQ(expand("=A($ROWNUM*2)"), "rc=-3");
    EXPECT_NE(message().find("TXLS-02201"), std::string::npos);
    EXPECT_EQ(expand("=A($ROWNUM-5)"), "rc=-1");  // row above the first
    EXPECT_EQ(expand(std::string(6000, 'x')), std::string(6000, 'x'));
    EXPECT_EQ(expand(std::string(6001, 'x')), "rc=-1");
}

TEST_F(Address, HostileTextsNeitherCrashNorHang) {
    std::string nested = std::string(3000, '(') + "$ROWNUM" + std::string(2990, ')');
    std::string out;
    EXPECT_EQ(expand_computed_forms(book, nested, out), 0);
    EXPECT_EQ(out, nested);
    CellRef ref;
    EXPECT_EQ(resolve_cell(book, "A" + nested, ref), -1);
    std::string opens(6000, '(');
    EXPECT_EQ(expand_computed_forms(book, "$" + opens.substr(1), out), 0);
    EXPECT_EQ(resolve_reference(book, std::string(5000, '\''), ref), -1);
    EXPECT_EQ(resolve_reference(book, std::string("A\xff\xfe" "1"), ref), -1);
    std::vector<CellRef> refs;
    EXPECT_EQ(parse_range_list(book, std::string(5999, ','), refs), -1);
}

// ---- exported functions ----

TEST(CellNameApi, WritesNamesAndRangesNeverPastTheBuffer) {
    char out[8];
    std::memset(out, '#', sizeof out);
    EXPECT_EQ(TXLS_cell_name(1, 27, out, 4), 0);  // "AA1" and its terminator fit exactly
    EXPECT_STREQ(out, "AA1");
    std::memset(out, '#', sizeof out);
    EXPECT_EQ(TXLS_cell_name(1, 27, out, 3), -909);
    EXPECT_EQ(out[0], '\0');
    EXPECT_EQ(out[3], '#');
    EXPECT_EQ(TXLS_cell_range(1, 1, 3, 3, out, 6), 0);
    EXPECT_STREQ(out, "A1:C3");
    std::memset(out, '#', sizeof out);
    EXPECT_EQ(TXLS_cell_range(1, 1, 3, 3, out, 5), -909);
    EXPECT_EQ(out[5], '#');
    EXPECT_EQ(TXLS_cell_name(1, 1, out, 0), -909);
    EXPECT_EQ(TXLS_cell_name(1, 1, out, -5), -909);
}

TEST(CellNameApi, BadArguments) {
    char out[16];
    EXPECT_EQ(TXLS_cell_name(0, 1, out, sizeof out), -3);
    EXPECT_EQ(TXLS_cell_name(1, 16385, out, sizeof out), -3);
    EXPECT_EQ(TXLS_cell_name(1, 1, nullptr, 10), -3);
    EXPECT_EQ(TXLS_cell_range(1, 1, 1048577, 1, out, sizeof out), -3);
    EXPECT_EQ(TXLS_cell_range(1, 1, 2, 2, nullptr, 10), -3);
}

namespace {

class CellApi : public BookTest {
protected:
    void SetUp() override {
        ASSERT_EQ(open("MODE=CREATE"), 0);
        work = static_cast<Book *>(book.work);
        add_sheet(*work, "Sheet1");
    }
    std::string is_cell(const char *text) {
        int row = 0, column = 0;
        int rc = TXLS_is_cell(&book, text, &row, &column);
        return rc == 0 ? std::to_string(row) + "," + std::to_string(column) : "rc=" + std::to_string(rc);
    }
    std::string is_range(const char *text) {
        int r1 = 0, c1 = 0, r2 = 0, c2 = 0;
        int rc = TXLS_is_range(&book, text, &r1, &c1, &r2, &c2);
        if (rc != 0) return "rc=" + std::to_string(rc);
        return std::to_string(r1) + "," + std::to_string(c1) + ":" + std::to_string(r2) + "," + std::to_string(c2);
    }
    Book *work = nullptr;
};

}  // namespace

TEST_F(CellApi, IsCellGivesOneBasedPositionsAndStoresItsResult) {
    work->sheets[0]->data_row = 11;
    EXPECT_EQ(is_cell("b2"), "2,2");
    EXPECT_EQ(is_cell("Sheet1!$XFD$1048576"), "1048576,16384");
    EXPECT_EQ(is_cell("A($ROWNUM+2)"), "13,1");
    EXPECT_EQ(is_cell("A1:B2"), "rc=-801");
    EXPECT_EQ(TXLS_error_code(&book), -801);
    EXPECT_EQ(is_cell("A0"), "rc=-801");
    EXPECT_EQ(is_cell("B2"), "2,2");
    EXPECT_EQ(TXLS_error_code(&book), 0);  // cleared again
    EXPECT_EQ(is_cell("A($NOPE)"), "rc=-3");
    EXPECT_EQ(TXLS_error_code(&book), -3);
    EXPECT_NE(message().find("TXLS-03001"), std::string::npos);
}

TEST_F(CellApi, IsCellRefusesBadArguments) {
    int row = 0, column = 0;
    EXPECT_EQ(TXLS_is_cell(&book, nullptr, &row, &column), -3);
    EXPECT_EQ(TXLS_is_cell(&book, "A1", nullptr, &column), -3);
    EXPECT_EQ(TXLS_is_cell(&book, "A1", &row, nullptr), -3);
    EXPECT_EQ(TXLS_is_cell(nullptr, "A1", &row, &column), -3);
    std::string long_text(6000, 'A');
    EXPECT_EQ(is_cell(long_text.c_str()), "rc=-801");
    long_text += 'A';
    EXPECT_EQ(is_cell(long_text.c_str()), "rc=-3");
    EXPECT_EQ(TXLS_error_code(&book), -3);
    EXPECT_EQ(is_cell(""), "rc=-801");
    EXPECT_EQ(is_cell("\x81"), "rc=-801");  // a cut Shift-JIS character
    XLS_BOOK closed{};
    EXPECT_EQ(TXLS_is_cell(&closed, "A1", &row, &column), -3);
    EXPECT_EQ(closed.error_code, -3);
}

TEST_F(CellApi, IsRangeGivesFourCornersAndRefusesASingleCellWithoutACode) {
    EXPECT_EQ(is_range("A1:C3"), "1,1:3,3");
    EXPECT_EQ(TXLS_error_code(&book), 0);
    EXPECT_EQ(is_range("zz"), "rc=-801");
    EXPECT_EQ(TXLS_error_code(&book), -801);
    EXPECT_EQ(is_range("A1"), "rc=-3");
    EXPECT_EQ(TXLS_error_code(&book), 0);
    EXPECT_EQ(is_range(nullptr), "rc=-3");
    EXPECT_EQ(is_range(std::string(6001, 'A').c_str()), "rc=-3");
    int r1 = 0, c1 = 0, r2 = 0;
    EXPECT_EQ(TXLS_is_range(&book, "A1:B2", &r1, &c1, &r2, nullptr), -3);
    EXPECT_EQ(TXLS_is_range(nullptr, "A1:B2", &r1, &c1, &r2, &r2), -3);
}

TEST_F(CellApi, TextsArriveInTheBookCharacterSet) {
    ASSERT_EQ(work->charset, kSjis);
    add_sheet(*work, "売上");
    ASSERT_EQ(TXLS_put_variable(&book, sjis("最終行").c_str(), "9"), 0);
    EXPECT_EQ(is_range(sjis("売上!A1:B($最終行)").c_str()), "1,1:10,2");
    EXPECT_EQ(is_cell(sjis("売上!B($最終行)").c_str()), "10,2");
}
