// Formula texts moved to another cell (a shared formula's dependents) and following renamed sheets.
#include <gtest/gtest.h>

#include "formula/references.h"

namespace tabsmith::testing {
namespace {

TEST(References, MovedFormulasShiftRelativePartsOnly) {
    const struct {
        const char *formula;
        int rows, columns;
        const char *expected;
    } cases[] = {
        {"A1+B2", 1, 0, "A2+B3"},
        {"$A$1+A$1+$A1", 2, 3, "$A$1+D$1+$A3"},
        {"SUM(A1:B2)*2", 1, 1, "SUM(B2:C3)*2"},
        {"SUM(A:A,1:1)", 1, 1, "SUM(B:B,2:2)"},
        {"Sheet2!A1+'My Sheet'!B1", 1, 0, "Sheet2!A2+'My Sheet'!B2"},
        {"\"A1\"&A1", 1, 0, "\"A1\"&A2"},          // a text stays
        {"LOG10(A1)+rate", 1, 0, "LOG10(A2)+rate"},  // function and defined names stay
        {"A1", -1, 0, "#REF!"},                     // moved off the sheet
        {"XFD1", 0, 1, "#REF!"},
        {"A1048576", 1, 0, "#REF!"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(moved_formula(c.formula, c.rows, c.columns), c.expected) << c.formula;
}

TEST(References, RenamedSheetsAreQuotedInEveryReference) {
    const SheetRenames renames{{"Form", "Form 2"}, {"A'B", "C"}};
    const struct {
        const char *formula, *expected;
    } cases[] = {
        {"Form!$1:$2", "'Form 2'!$1:$2"},
        {"'Form'!A1+SUM(Form!B1:B3)", "'Form 2'!A1+SUM('Form 2'!B1:B3)"},
        {"'A''B'!A1", "'C'!A1"},
        {"Formula!A1+Data!A1+'Form x'!A1", "Formula!A1+Data!A1+'Form x'!A1"},
        {"\"Form!A1\"&Form", "\"Form!A1\"&Form"},   // a text and a defined name stay
        {"#REF!+Form!A1", "#REF!+'Form 2'!A1"},
    };
    for (const auto &c : cases) EXPECT_EQ(with_sheets_renamed(c.formula, renames), c.expected) << c.formula;
}

}  // namespace
}  // namespace tabsmith::testing
