// Formula cells (operators and functions over cell values of each kind and other sheets, malformed
// formulas, what is left uncomputed, cycles, deep chains, the save walk) and the decimal value.

#include <gtest/gtest.h>

#include "cells/values.h"
#include "formula/decimal.h"
#include "formula/evaluator.h"
#include "formula/recalc.h"
#include "model/address.h"

namespace tabsmith {
namespace {

class EvaluatorTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(add_sheet(book, "Sheet1") == 0 && add_sheet(book, "My Sheet") == 1); }
    static void put(Book &into, const std::string &name, const std::string &value, int sheet = 0) {
        int row = 0, column = 0;
        ASSERT_EQ(parse_cell_name(name, row, column), 0) << name;
        ASSERT_EQ(put_cell_value(into, sheet, row, column, value), 0) << name << " " << value;
    }
    // Past the length limits of put: the formula goes straight into the cell.
    void set_formula(const std::string &name, const std::string &formula) {
        put(book, name, "0");
        int row = 0, column = 0;
        parse_cell_name(name, row, column);
        Cell &slot = book.sheets[0]->rows[static_cast<std::size_t>(row)].cells[static_cast<std::size_t>(column)];
        slot.kind = kCellFormula;
        slot.set_formula(formula);
    }
    int eval(const std::string &name, std::string &out) {
        int row = 0, column = 0;
        parse_cell_name(name, row, column);
        return evaluate_cell(book, 0, row, column, out);
    }
    const Cell *cell(const std::string &name) {
        int row = 0, column = 0;
        parse_cell_name(name, row, column);
        return find_cell(book, 0, row, column);
    }
    Book book;
};

TEST_F(EvaluatorTest, FormulasComputeFailWithTheirMessageOrAreLeftUncomputed) {
    for (auto [name, value, sheet] : {std::tuple{"A1", "1.26", 0}, {"A2", "5", 0}, {"A3", "-2", 0}, {"B1", "2024/01/02", 0},
                                      {"B2", "50%", 0}, {"B3", "12:00", 0}, {"C1", "'text", 0}, {"D2", "0", 0},
                                      {"A1", "7", 1}, {"B1", "3", 1}, {"A2", "1.5", 1}, {"B2", "=A1*2", 1}})
        put(book, name, value, sheet);
    constexpr int kOk = kFormulaOk, kError = kFormulaError, kNaN = kFormulaNotNumeric, kNo = kFormulaUnsupported;
    // The result, the message code of a failure, or nothing for what is left to the reader.
    const std::tuple<const char *, int, const char *> cases[] = {
        {"=10-2+3", kOk, "11"}, {"=8/2/2", kOk, "2"}, {"=2*3+4", kOk, "10"}, {"=2+3*4", kOk, "14"}, {"=-2*3", kOk, "-6"},
        {"=-(2+3)*4", kOk, "-20"}, {"=2*-3", kOk, "-6"}, {"=--2+ +1", kOk, "3"}, {"=((((1))))", kOk, "1"},
        {"=ROUND(A1*2, 1)", kOk, "2.5"}, {"=round(2.675, 2)", kOk, "2.68"}, {"=ROUND(-2.5, 0)", kOk, "-3"},
        {"=ROUNDUP(1.51, 1)", kOk, "1.6"}, {"=ROUNDDOWN(-1.29, 1)", kOk, "-1.2"}, {"=TRUNC(-3.7)", kOk, "-3"},
        {"=TRUNC(3.789, 2)", kOk, "3.78"}, {"=SUM(A1:A3)", kOk, "4.26"}, {"=SUM(A1:A3, 10, A2)", kOk, "19.26"},
        {"=AVERAGE(A2:A3)", kOk, "1.5"}, {"=AVERAGE(A1:A3)", kOk, "1.42"}, {"=MIN(A1:A3)", kOk, "-2"},
        {"=MAX(A1:A3)+1", kOk, "6"}, {"=COUNT(A1)", kOk, "1"}, {"=COUNT(5)", kOk, "1"}, {"=COUNT(A1:C1)", kOk, "2"},
        {"=SUM()", kOk, "0"}, {"=ROW()", kOk, "10"}, {"=ROW(C7:D9)", kOk, "7"}, {"=B1", kOk, "45293"},
        {"=B1+B3", kOk, "45293.5"}, {"=B2*10", kOk, "5"}, {"='My Sheet'!A1+'My Sheet'!B2", kOk, "21"},
        {"=SUM('My Sheet'!A1:B2)", kOk, "25.5"}, {"=1/3", kOk, "0.333333"}, {"=\"abc\"", kOk, "abc"}, {"=Z99", kOk, "0"},
        {"=2^3", kError, "TXLS-02201"}, {"=A1%", kError, "TXLS-02201"}, {"=(1+2", kError, "TXLS-02304"},
        {"=SUM(1))", kError, "TXLS-02304"}, {"=ROUND(1)", kError, "TXLS-03201"}, {"=ROUND(1,2,3)", kError, "TXLS-03202"},
        {"=ROW(A1,A2)", kError, "TXLS-03202"}, {"=J10+1", kError, "TXLS-03200"},
        {"=VLOOKUP(1,A1:B2,2)", kNo, ""}, {"=1/D2", kNo, ""}, {"=C1+1", kNaN, ""}, {"=SUM(A1:A100)", kNo, ""},
        {"=A1=1", kNo, ""}, {"='Nope'!A1", kNo, ""}, {"=TRUE", kNo, ""}, {"=1 2", kNo, ""}, {"=2*", kNo, ""},
        {"=(1,2)", kNo, ""}, {"=\"5\"", kNo, ""}, {"=\"\"", kNo, ""}, {"=AVERAGE(D1:D1)", kNo, ""}, {"=SUM(\"x\")", kNo, ""},
        {"=A1:A2", kNo, ""}, {"=9223372036854775807+1", kNo, ""}, {"=SUM(,1)", kNo, ""},
    };
    for (const auto &[formula, rc, expected] : cases) {
        put(book, "J10", formula);
        book.err.clear_message();
        std::string out;
        EXPECT_EQ(eval("J10", out), rc) << formula;
        if (rc == kError) {
            EXPECT_NE(book.err.message_utf8().find(expected), std::string::npos) << formula << ": " << book.err.message_utf8();
        } else {
            EXPECT_EQ(out, expected) << formula;
        }
        EXPECT_EQ(book.err.has_message(), rc == kError) << formula;
        EXPECT_EQ(cell("J10")->kind, rc == kOk ? kCellFormulaValue : kCellFormula) << formula;
    }
}

TEST_F(EvaluatorTest, CyclesOfAnyLengthNameACell) {
    const std::pair<std::vector<std::pair<const char *, const char *>>, const char *> cases[] = {
        {{{"A1", "=A1"}}, "A1"}, {{{"A1", "=B1+1"}, {"B1", "=A1"}}, "A1"},
        {{{"A1", "=B1"}, {"B1", "=C1*2"}, {"C1", "=SUM(A1:A1)"}}, "A1"}, {{{"A2", "=SUM(A1:A3)"}, {"A1", "1"}, {"A3", "1"}}, "A2"},
        {{{"A1", "=MAX('My Sheet'!A1:A1)"}, {"A1", "=Sheet1!A1"}}, "Sheet1!A1"},  // the second on My Sheet
    };
    for (const auto &[cells, named] : cases) {
        Book fresh;
        ASSERT_TRUE(add_sheet(fresh, "Sheet1") == 0 && add_sheet(fresh, "My Sheet") == 1);
        for (const auto &[name, value] : cells) put(fresh, name, value, std::string(value).find("Sheet1!") != std::string::npos);
        EXPECT_EQ(recalc_book(fresh), -1) << named;
        const std::string text = fresh.err.message_utf8();
        EXPECT_TRUE(text.find("TXLS-03200") != std::string::npos && text.find(std::string("(\"") + named + "\")") != std::string::npos)
            << text;
    }
}

TEST(CalcIdTest, ReplacesOnlySixCharacterIds) {
    const std::tuple<const char *, bool, const char *> cases[] = {
        {"<calcPr calcId=\"114210\"/>", true, "<calcPr calcId=\"145621\"/>"},
        {"<calcPr calcId=\"114210\"/>", false, "<calcPr calcId=\"114210\"/>"},
        {"<calcPr calcId=\"12345\"/>", true, "<calcPr calcId=\"12345\"/>"},
        {"<calcPr fullCalcOnLoad=\"1\"/>", true, "<calcPr fullCalcOnLoad=\"1\"/>"},
    };
    for (auto [in, recalc, out] : cases) {
        std::string xml = in;
        update_calc_id(xml, recalc);
        EXPECT_EQ(xml, out);
    }
}

TEST(FormulaValueTest, ParsingArithmeticAndRoundingGiveTheirCanonicalText) {
    // `op`: 'p' parses `left`; + - * / compute left op right; 'n', 'u', 'd' round left to `right`
    // digits to the nearest, up or down. A left operand that is no number is taken as a text.
    struct Row { char op; const char *left, *right; int rc; const char *text; } rows[] = {
        {'p', " 12 ", "", 0, "12"}, {'p', "- 3.50", "", 0, "-3.5"}, {'p', "+1.23456789", "", 0, "1.23456789"},
        // Positive values keep fifteen fraction places, negative ones six.
        {'p', "-1.23456789", "", 0, "-1.234568"}, {'p', "0.1234567890123456789", "", 0, "0.123456789012346"},
        {'p', "007.250", "", 0, "7.25"}, {'p', "-0", "", 0, "0"}, {'p', "-0.0000001", "", 0, "0"},
        {'p', "9223372036854775807", "", 0, "9223372036854775807"}, {'p', "0.9999999999999999", "", 0, "1"},
        {'p', "1,234", "", -1, "##ERROR##"}, {'p', "1e5", "", -1, "##ERROR##"}, {'p', "1.2.3", "", -1, "##ERROR##"},
        {'p', ".1.2", "", -1, "##ERROR##"}, {'p', "--1", "", -1, "##ERROR##"}, {'p', "1-", "", -1, "##ERROR##"},
        {'p', "-", "", -1, "##ERROR##"}, {'p', "9223372036854775808", "", -1, "##ERROR##"},
        {'p', "1234567890123456789012345678901234567890", "", -1, "##ERROR##"},
        {'/', "7", "2", 0, "3.5"}, {'/', "6", "3", 0, "2"}, {'-', "5", "7", 0, "-2"}, {'/', "1", "3", 0, "0.333333"},
        {'+', "0.1", "0.2", 0, "0.3"}, {'*', "-1.5", "2", 0, "-3"}, {'+', "9007199254740993", "1", 0, "9007199254740994"},
        {'/', "1", "0", -1, "##ERROR##"}, {'/', "1", "0.0", -1, "##ERROR##"}, {'+', "9223372036854775807", "1", -1, "##ERROR##"},
        {'*', "4294967296", "4294967296", -1, "##ERROR##"}, {'+', "1e300", "1", -1, "##ERROR##"},
        {'*', "9000000000000000000.5", "2", -1, "##ERROR##"},
        {'n', "2.52", "1", 0, "2.5"}, {'n', "2.5", "0", 0, "3"}, {'n', "-2.5", "0", 0, "-3"}, {'n', "1234", "-2", 0, "1200"},
        {'n', "1250", "-2", 0, "1300"}, {'n', "2.675", "2", 0, "2.68"}, {'n', "999.96", "1", 0, "1000"}, {'n', "49", "-2", 0, "0"},
        {'u', "1.5", "1", 0, "1.5"}, {'u', "1.51", "1", 0, "1.6"}, {'u', "2.05", "0", 0, "3"}, {'u', "1", "-5", 0, "100000"},
        {'d', "-1.29", "1", 0, "-1.2"}, {'d', "-3.7", "0", 0, "-3"}, {'n', "5000000000.5", "0", 0, "5000000001"},
        {'n', "1.23456789", "8", 0, "1.234568"}, {'d', "123", "-40", 0, "0"}, {'u', "9223372036854775807", "-1", -1, "##ERROR##"},
    };
    const std::string ops = "+-*/", modes = "nud";
    for (const Row &r : rows) {
        FormulaValue left, right, out;
        int rc = left.parse_number(r.left);
        if (r.op != 'p') {
            if (rc != 0) left.set_text(r.left);
            right.parse_number(r.right);
            rc = ops.find(r.op) != std::string::npos
                     ? arithmetic(left, static_cast<ArithmeticOp>(ops.find(r.op)), right, out)
                     : round_number(left, std::stoi(r.right), static_cast<RoundMode>(modes.find(r.op)), out);
        }
        EXPECT_EQ(rc, r.rc) << r.left << " " << r.op << " " << r.right;
        EXPECT_EQ(r.op == 'p' ? left.text : out.text, r.text) << r.left << " " << r.op << " " << r.right;
    }
}

TEST(FormulaValueTest, FieldsCapacitiesOrderAndConversions) {
    FormulaValue v, a, b, out;
    ASSERT_EQ(v.parse_number("- 3.50"), 0);
    EXPECT_EQ(std::tuple(v.sign, v.whole, v.fraction, v.scale), std::tuple(-1, 3, 0.5, 2));
    ASSERT_EQ(v.parse_number("0.1234567890123456789"), 0);  // only sixteen digits reach the fraction
    EXPECT_DOUBLE_EQ(v.fraction, 0.1234567890123456);
    EXPECT_EQ(v.scale, 19);
    ASSERT_EQ(v.parse_number(" \t\n"), 0);
    EXPECT_TRUE(v.kind == ValueKind::kEmpty && v.length == 0);
    EXPECT_TRUE(v.set_text(std::string(254, 'a')) == 0 && v.capacity == kValueSmallCapacity);
    EXPECT_TRUE(v.set_text(std::string(12000, 'a')) == 0 && v.capacity == kValueLargeCapacity);
    EXPECT_TRUE(v.set_text("'" + std::string(12000, 'a') + "'") == 0 && v.text.size() == 12002u);  // quotes come on top
    EXPECT_EQ(v.set_text(std::string(12001, 'a')), -1);
    EXPECT_TRUE(v.text == "##ERROR##" && v.length == -1);
    a.parse_number("-2");
    b.parse_number("1.5");
    EXPECT_TRUE(compare_numbers(a, b) < 0 && compare_numbers(b, a) > 0 && compare_numbers(a, a) == 0);
    EXPECT_TRUE(number_from_double(2.0 / 3.0, out) == 0 && out.text == "0.666667");
    EXPECT_EQ(number_from_integer(INT64_MIN, out), -1);
    EXPECT_TRUE(is_number_literal("1,234.5"));
    EXPECT_FALSE(is_number_literal("1.2.3") || is_number_literal("A1"));
}

}  // namespace
}  // namespace tabsmith
