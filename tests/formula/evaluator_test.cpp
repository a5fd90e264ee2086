// Formula cells: operators and functions over cell values of each kind and other sheets, the
// messages of malformed formulas, what is left uncomputed, cycles, deep chains and the save walk.

#include <gtest/gtest.h>

#include "cells/values.h"
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

TEST_F(EvaluatorTest, LongChainsAndDeepNestingStayOffTheCallStack) {
    constexpr int kChain = 100000;
    put(book, "A1", "1");
    for (int r = 2; r <= kChain; ++r) put(book, "A" + std::to_string(r), "=A" + std::to_string(r - 1) + "+1");
    std::string out;
    ASSERT_EQ(eval("A" + std::to_string(kChain), out), kFormulaOk);
    EXPECT_EQ(out, std::to_string(kChain));
    EXPECT_EQ(cell("A2")->text(), "2");
    // Each cell summing the range of all before it would be quadratic if computed twice.
    put(book, "B1", "=SUM(A1:A" + std::to_string(kChain) + ")");
    ASSERT_EQ(eval("B1", out), kFormulaOk);
    EXPECT_EQ(out, std::to_string(static_cast<long long>(kChain) * (kChain + 1) / 2));
    // Nesting beyond the 100-entry lists is refused quietly, whatever the depth; past 6000
    // bytes the text is not even read.
    for (auto [open, depth, rc] : {std::tuple{"(", 2999, kFormulaUnsupported}, {"-", 5999, kFormulaUnsupported},
                                   {"SUM(", 1199, kFormulaUnsupported}, {"(", 10000, kFormulaTooLong}}) {
        std::string deep;
        for (int i = 0; i < depth; ++i) deep += open;
        set_formula("C1", deep + "1" + (std::string(open) == "-" ? "" : std::string(static_cast<std::size_t>(depth), ')')));
        EXPECT_EQ(eval("C1", out), rc) << open << depth;
    }
    set_formula("C2", std::string(6001, '1'));
    EXPECT_EQ(eval("C2", out), kFormulaTooLong);
}

TEST_F(EvaluatorTest, SaveWalkTurnsRecalcOffForWhatItCannotCompute) {
    for (auto [name, value] : {std::pair{"A1", "2"}, {"A2", "=A1*3"}, {"A3", "=VLOOKUP(1,A1:A2,1)"}, {"A4", "=A3+1"}, {"A5", "=A2+1"}})
        put(book, name, value);
    EXPECT_EQ(recalc_book(book), 0);
    EXPECT_FALSE(book.settings.recalc);
    EXPECT_EQ(cell("A2")->text() + "|" + cell("A5")->text(), "6|7");
    EXPECT_TRUE(cell("A3")->kind == kCellFormula && cell("A4")->kind == kCellFormula);
    put(book, "B1", "=1+1");  // RECALC off: nothing is computed
    EXPECT_EQ(recalc_book(book), 0);
    EXPECT_EQ(cell("B1")->kind, kCellFormula);
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

}  // namespace
}  // namespace tabsmith
