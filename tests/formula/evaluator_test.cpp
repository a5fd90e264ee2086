// Formula cells: operators and functions, cell values of each kind, cross-sheet references,
// cycles, malformed and unsupported formulas, deep chains, and the save-time walk.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <tuple>

#include "model/address.h"
#include "model/book.h"
#include "cells/values.h"
#include "formula/evaluator.h"
#include "formula/recalc.h"
#include "support/charset.h"

namespace tabsmith {
namespace {

class EvaluatorTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(add_sheet(book, "Sheet1"), 0);
        ASSERT_EQ(add_sheet(book, "My Sheet"), 1);
    }
    void put(const std::string &name, const std::string &value, int sheet = 0) {
        int row = 0, column = 0;
        ASSERT_EQ(parse_cell_name(name, row, column), 0) << name;
        ASSERT_EQ(put_cell_value(book, sheet, row, column, value), 0) << name << " " << value;
    }
    // Past the length limits of put: the formula goes straight into the cell.
    void set_formula(const std::string &name, const std::string &formula) {
        put(name, "0");
        int row = 0, column = 0;
        parse_cell_name(name, row, column);
        Cell &slot = book.sheets[0]->rows[static_cast<std::size_t>(row)].cells[static_cast<std::size_t>(column)];
        slot.kind = kCellFormula;
        slot.set_formula(formula);
    }
    int eval(const std::string &name, std::string &out, int sheet = 0) {
        int row = 0, column = 0;
        parse_cell_name(name, row, column);
        return evaluate_cell(book, sheet, row, column, out);
    }
    const Cell *cell(const std::string &name, int sheet = 0) {
        int row = 0, column = 0;
        parse_cell_name(name, row, column);
        return find_cell(book, sheet, row, column);
    }
    std::string message() const { return book.err.message_utf8(); }

    Book book;
};

TEST_F(EvaluatorTest, ComputesFormulas) {
    for (auto [name, value, sheet] : {std::tuple{"A1", "1.26", 0}, {"A2", "5", 0}, {"A3", "-2", 0}, {"B1", "2024/01/02", 0},
                                      {"B2", "50%", 0}, {"B3", "12:00", 0}, {"C1", "'text", 0}, {"A1", "7", 1},
                                      {"B1", "3", 1}, {"A2", "1.5", 1}, {"B2", "=A1*2", 1}})
        put(name, value, sheet);
    struct Case { const char *formula, *result; };
    const Case cases[] = {
        {"=10-2+3", "11"}, {"=8/2/2", "2"}, {"=2*3+4", "10"}, {"=2+3*4", "14"}, {"=-2*3", "-6"}, {"=-(2+3)*4", "-20"},
        {"=2*-3", "-6"}, {"=--2+ +1", "3"}, {"=((((1))))", "1"}, {"=ROUND(A1*2, 1)", "2.5"}, {"=ROUND(2.5, 0)", "3"},
        {"=ROUND(-2.5, 0)", "-3"}, {"=ROUND(1234, -2)", "1200"}, {"=round(2.675, 2)", "2.68"},
        {"=ROUNDUP(1.5, 1)", "1.5"}, {"=ROUNDUP(1.51, 1)", "1.6"}, {"=ROUNDUP(2.05, 0)", "3"},
        {"=ROUNDDOWN(-1.29, 1)", "-1.2"}, {"=TRUNC(-3.7)", "-3"}, {"=TRUNC(3.789, 2)", "3.78"},
        {"=SUM(A1:A3)", "4.26"}, {"=SUM(A1:A3, 10, A2)", "19.26"}, {"=AVERAGE(A2:A3)", "1.5"},
        {"=AVERAGE(A1:A3)", "1.42"}, {"=MIN(A1:A3)", "-2"}, {"=MAX(A1:A3)+1", "6"}, {"=COUNT(A1)", "1"},
        {"=COUNT(5)", "1"}, {"=COUNT(A1:C1)", "2"}, {"=SUM()", "0"}, {"=ROW()", "10"}, {"=ROW(C7:D9)", "7"},
        {"=B1", "45293"}, {"=B1+B3", "45293.5"}, {"=B2*10", "5"}, {"='My Sheet'!A1+'My Sheet'!B2", "21"},
        {"=SUM('My Sheet'!A1:B2)", "25.5"}, {"=1/3", "0.333333"}, {"=\"abc\"", "abc"}, {"=Z99", "0"},
    };
    for (const auto &c : cases) {
        put("J10", c.formula);
        std::string out;
        EXPECT_EQ(eval("J10", out), kFormulaOk) << c.formula;
        EXPECT_EQ(out, c.result) << c.formula;
        EXPECT_EQ(cell("J10")->kind, kCellFormulaValue) << c.formula;
    }
}

TEST_F(EvaluatorTest, MalformedFormulasRaiseTheirMessage) {
    put("A1", "1");
    struct Case { const char *formula, *message; };
    const Case cases[] = {
        {"=2^3", "TXLS-02201"}, {"=A1%", "TXLS-02201"}, {"=(1+2", "TXLS-02304"}, {"=SUM(1))", "TXLS-02304"},
        {"=ROUND(1)", "TXLS-03201"}, {"=ROUND(1,2,3)", "TXLS-03202"}, {"=ROW(A1,A2)", "TXLS-03202"},
        {"=B9+1", "TXLS-03200"},
    };
    for (const auto &c : cases) {
        put("B9", c.formula);
        book.err.clear_message();
        std::string out;
        EXPECT_EQ(eval("B9", out), kFormulaError) << c.formula;
        EXPECT_NE(message().find(c.message), std::string::npos) << c.formula << ": " << message();
    }
}

TEST_F(EvaluatorTest, UnsupportedFormulasAreLeftUncomputed) {
    put("A1", "1");
    put("A2", "0");
    put("C1", "'text");
    const char *cases[] = {
        "=VLOOKUP(1,A1:B2,2)", "=1/A2",       "=C1+1",           "=SUM(A1:A100)", "=A1=1",
        "='Nope'!A1",          "=TRUE",       "=1 2",            "=2*",           "=(1,2)",
        "=\"5\"",              "=\"\"",       "=AVERAGE(D1:D2)", "=SUM(\"x\")",   "=A1:A2",
        "=9223372036854775807+1", "=SUM(,1)",
    };
    for (const char *formula : cases) {
        put("B9", formula);
        book.err.clear_message();
        std::string out;
        int rc = eval("B9", out);
        EXPECT_TRUE(rc == kFormulaUnsupported || rc == kFormulaNotNumeric) << formula << " " << rc;
        EXPECT_FALSE(book.err.has_message()) << formula;
        EXPECT_EQ(cell("B9")->kind, kCellFormula) << formula;
    }
    set_formula("B9", std::string(6001, '1'));
    std::string out;
    EXPECT_EQ(eval("B9", out), kFormulaTooLong);
}

TEST_F(EvaluatorTest, CyclesOfAnyLengthNameACell) {
    struct Case { std::vector<std::pair<const char *, const char *>> cells; const char *named; };
    const Case cases[] = {
        {{{"A1", "=A1"}}, "A1"}, {{{"A1", "=B1+1"}, {"B1", "=A1"}}, "A1"},
        {{{"A1", "=B1"}, {"B1", "=C1*2"}, {"C1", "=SUM(A1:A1)"}}, "A1"},
        {{{"A2", "=SUM(A1:A3)"}, {"A1", "1"}, {"A3", "1"}}, "A2"},
        {{{"A1", "=MAX('My Sheet'!A1:A1)"}, {"A1", "=Sheet1!A1"}}, "Sheet1!A1"},
    };
    for (const auto &c : cases) {
        Book fresh;
        ASSERT_EQ(add_sheet(fresh, "Sheet1"), 0);
        ASSERT_EQ(add_sheet(fresh, "My Sheet"), 1);
        for (const auto &[name, value] : c.cells) {
            int row = 0, column = 0;
            parse_cell_name(name, row, column);
            int sheet = std::string(value).find("Sheet1!") != std::string::npos ? 1 : 0;
            ASSERT_EQ(put_cell_value(fresh, sheet, row, column, value), 0);
        }
        EXPECT_EQ(recalc_book(fresh), -1) << c.named;
        std::string text = fresh.err.message_utf8();
        EXPECT_NE(text.find("TXLS-03200"), std::string::npos) << text;
        EXPECT_NE(text.find(std::string("(\"") + c.named + "\")"), std::string::npos) << text;
    }
}

TEST_F(EvaluatorTest, LongChainsAndDeepNestingStayOffTheCallStack) {
    constexpr int kChain = 100000;
    put("A1", "1");
    for (int r = 2; r <= kChain; ++r) put("A" + std::to_string(r), "=A" + std::to_string(r - 1) + "+1");
    std::string out;
    ASSERT_EQ(eval("A" + std::to_string(kChain), out), kFormulaOk);
    EXPECT_EQ(out, std::to_string(kChain));
    EXPECT_EQ(cell("A2")->text(), "2");

    // Each cell summing the range of all before it would be quadratic if computed twice.
    put("B1", "=SUM(A1:A" + std::to_string(kChain) + ")");
    ASSERT_EQ(eval("B1", out), kFormulaOk);
    EXPECT_EQ(out, std::to_string(static_cast<long long>(kChain) * (kChain + 1) / 2));

    // Nesting beyond the 100-entry lists is refused quietly, whatever the depth; past 6000
    // bytes the text is not even read.
    struct Deep { const char *open; int depth; int rc; };
    for (const Deep &d : {Deep{"(", 2999, kFormulaUnsupported}, Deep{"-", 5999, kFormulaUnsupported},
                          Deep{"SUM(", 1199, kFormulaUnsupported}, Deep{"(", 10000, kFormulaTooLong}}) {
        std::string deep;
        for (int i = 0; i < d.depth; ++i) deep += d.open;
        deep += "1";
        if (std::string(d.open) != "-") deep += std::string(static_cast<std::size_t>(d.depth), ')');
        set_formula("C1", deep);
        EXPECT_EQ(eval("C1", out), d.rc) << d.open << d.depth;
    }
}

TEST_F(EvaluatorTest, SaveWalkTurnsRecalcOffForWhatItCannotCompute) {
    put("A1", "2");
    put("A2", "=A1*3");
    put("A3", "=VLOOKUP(1,A1:A2,1)");
    put("A4", "=A3+1");
    put("A5", "=A2+1");
    EXPECT_EQ(recalc_book(book), 0);
    EXPECT_FALSE(book.settings.recalc);
    EXPECT_EQ(cell("A2")->text(), "6");
    EXPECT_EQ(cell("A5")->text(), "7");
    EXPECT_EQ(cell("A3")->kind, kCellFormula);
    EXPECT_EQ(cell("A4")->kind, kCellFormula);

    // RECALC off: nothing is computed.
    put("B1", "=1+1");
    EXPECT_EQ(recalc_book(book), 0);
    EXPECT_EQ(cell("B1")->kind, kCellFormula);
}

TEST(CalcIdTest, ReplacesOnlySixCharacterIds) {
    struct Case { const char *in; bool recalc; const char *out; };
    const Case cases[] = {
        {"<calcPr calcId=\"114210\"/>", true, "<calcPr calcId=\"145621\"/>"},
        {"<calcPr calcId=\"114210\"/>", false, "<calcPr calcId=\"114210\"/>"},
        {"<calcPr calcId=\"12345\"/>", true, "<calcPr calcId=\"12345\"/>"},
        {"<calcPr fullCalcOnLoad=\"1\"/>", true, "<calcPr fullCalcOnLoad=\"1\"/>"},
    };
    for (const auto &c : cases) {
        std::string xml = c.in;
        update_calc_id(xml, c.recalc);
        EXPECT_EQ(xml, c.out);
    }
}

}  // namespace
}  // namespace tabsmith
