// Arguments at the ends of the int range: cell names outside the sheet are refused, and a search
// record continued from any position ends at the sheet's edge. Run under UBSan, an overflow
// anywhere here is a failure too.

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "common/fixtures.h"

using tabsmith::testing::SheetTest;

namespace {

constexpr int kRows = 1048576;
constexpr int kColumns = 16384;

struct NameCase {
    int row, column;
    int rc;
    const char *name;
};

}  // namespace

TEST(CellNames, PositionsOutsideTheSheetAreRefusedWithoutOverflow) {
    const NameCase cases[] = {
        {1, 1, 0, "A1"},
        {1, 27, 0, "AA1"},
        {kRows, kColumns, 0, "XFD1048576"},
        {INT_MIN, 1, -3, ""},
        {1, INT_MIN, -3, ""},
        {INT_MIN, INT_MIN, -3, ""},
        {INT_MIN + 1, 1, -3, ""},
        {INT_MAX, 1, -3, ""},
        {1, INT_MAX, -3, ""},
        {INT_MAX, INT_MAX, -3, ""},
        {0, 1, -3, ""},
        {1, 0, -3, ""},
        {-1, -1, -3, ""},
        {kRows + 1, 1, -3, ""},
        {1, kColumns + 1, -3, ""},
    };
    for (const NameCase &c : cases) {
        SCOPED_TRACE(std::to_string(c.row) + "," + std::to_string(c.column));
        char out[32];
        std::memset(out, 'x', sizeof out);
        EXPECT_EQ(TXLS_cell_name(c.row, c.column, out, sizeof out), c.rc);
        EXPECT_STREQ(out, c.name);
        // Either corner of a range refuses it alone.
        std::memset(out, 'x', sizeof out);
        EXPECT_EQ(TXLS_cell_range(c.row, c.column, 1, 1, out, sizeof out), c.rc);
        EXPECT_STREQ(out, c.rc == 0 ? (std::string(c.name) + ":A1").c_str() : "");
        std::memset(out, 'x', sizeof out);
        EXPECT_EQ(TXLS_cell_range(1, 1, c.row, c.column, out, sizeof out), c.rc);
        EXPECT_STREQ(out, c.rc == 0 ? ("A1:" + std::string(c.name)).c_str() : "");
    }
    char small[4];
    EXPECT_EQ(TXLS_cell_name(INT_MIN, INT_MIN, small, INT_MIN), -3);
    EXPECT_EQ(TXLS_cell_name(kRows, kColumns, small, sizeof small), -909);
    EXPECT_EQ(TXLS_cell_range(INT_MAX, INT_MIN, INT_MIN, INT_MAX, small, sizeof small), -3);
}

namespace {

class SearchContinuation : public SheetTest {
protected:
    void SetUp() override {
        SheetTest::SetUp();
        ASSERT_EQ(TXLS_put_cell(&book, "B2", "head"), 0);
        ASSERT_EQ(TXLS_put_cell(&book, "B3", "below"), 0);
        ASSERT_EQ(TXLS_put_cell(&book, "C2", "right"), 0);
        for (int i = 0; i < 2; ++i) {
            std::strcpy(buffers[i], "junk");
            outs[i] = buffers[i];
        }
    }
    int search(TXLS_SEARCH &record, const char *text = "head") {
        return TXLS_search(&book, &record, text, outs, sizeof buffers[0]);
    }
    char buffers[2][64];
    char *outs[2];
};

}  // namespace

TEST_F(SearchContinuation, AMergedHitIsReadStepByStep) {
    store().sheets[0]->merges.push_back(tabsmith::MergeArea{1, 1, 3, 1});  // B2:B4
    TXLS_SEARCH record{};
    record.direction = 1;
    record.count = 2;
    ASSERT_EQ(search(record), 0);
    EXPECT_EQ(record.remaining, 2);
    EXPECT_EQ(std::string(outs[0]) + "|" + outs[1], "head|below");
    ASSERT_EQ(search(record, nullptr), 0);
    EXPECT_EQ(record.hit_row, 2);
    EXPECT_EQ(std::string(outs[0]) + "|" + outs[1], "below|");
    ASSERT_EQ(search(record, nullptr), 0);
    EXPECT_EQ(record.remaining, 0);
}

TEST_F(SearchContinuation, AContinuationPastTheSheetsEdgeEndsTheSearch) {
    struct Case {
        const char *why;
        int direction, row, column;
        int rc;
    };
    const Case cases[] = {
        {"down from INT_MAX", 1, INT_MAX, 0, -801},
        {"right from INT_MAX", 0, 0, INT_MAX, -801},
        {"down from the last row", 1, kRows - 1, 0, -801},
        {"right from the last column", 0, 0, kColumns - 1, -801},
        {"down onto the last row", 1, kRows - 2, 0, 0},
        {"right onto the last column", 0, 0, kColumns - 2, 0},
        {"down, the column at INT_MAX", 1, 0, INT_MAX, 0},  // past the cells in use: empty values
        {"negative row", 1, INT_MIN, 0, -3},
        {"negative column", 0, 0, INT_MIN, -3},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.why);
        TXLS_SEARCH record{};
        record.direction = c.direction;
        record.count = 2;
        record.remaining = INT_MAX;
        record.hit_sheet = 0;
        record.hit_row = c.row;
        record.hit_column = c.column;
        EXPECT_EQ(search(record, nullptr), c.rc);
        EXPECT_EQ(TXLS_error_code(&book), c.rc);
        EXPECT_STREQ(outs[0], "");
        EXPECT_STREQ(outs[1], "");
        if (c.rc == -801) {
            EXPECT_EQ(record.remaining, 0);  // the next call starts anew
            ASSERT_EQ(search(record, "right"), 0);
            EXPECT_EQ(record.hit_row, 1);
            EXPECT_EQ(record.hit_column, 2);
        }
    }
    TXLS_SEARCH record{};
    record.count = 1;
    record.remaining = 1;
    record.hit_sheet = INT_MAX;
    EXPECT_EQ(search(record, nullptr), -3);
    record.hit_sheet = INT_MIN;
    EXPECT_EQ(search(record, nullptr), -3);
}
