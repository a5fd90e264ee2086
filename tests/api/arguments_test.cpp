// Arguments callers get wrong: null pointers, records never opened, positions at the ends of the
// int range, search records continued from anywhere, and odd texts with the answer each gets.

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <functional>
#include <string>

#include "common/fixtures.h"

using tabsmith::testing::SheetTest;

namespace {

constexpr int kRows = 1048576;
constexpr int kColumns = 16384;

}  // namespace

TEST(RefusedArguments, EveryEntryPointAnswersWithItsCode) {
    XLS_BOOK book{}, closed{}, never{};
    ASSERT_EQ(TXLS_open_book(&book, "MODE=CREATE"), 0);
    ASSERT_EQ(TXLS_open_sheet(&book, "SHEET_NAME=S"), 0);
    char out[16], small[4] = {'x', 'x', 'x', 'x'};
    char *outs[2] = {out, nullptr};
    int v = 0;
    long size = 0;
    TXLS_SEARCH search{};
    search.count = 1;
    const struct {
        const char *what;
        std::function<int()> call;
        int rc;
    } calls[] = {
#define CALL(expression, rc) {#expression, [&] { return expression; }, rc}
        CALL(TXLS_open_book(nullptr, "MODE=CREATE"), -3), CALL(TXLS_free_book(nullptr), -3),
        CALL(TXLS_close_book(nullptr, "SAVE"), -3), CALL(TXLS_error_code(nullptr), -3),
        CALL(TXLS_version(&book, nullptr, 8), -3), CALL(TXLS_version(nullptr, small, sizeof small), -909),
        CALL(TXLS_open_sheet(&book, nullptr), -3), CALL(TXLS_open_sheet2(nullptr, 0), -801),
        CALL(TXLS_sheet_name(nullptr, 0, out, sizeof out), -801), CALL(TXLS_sheet_name(&book, 0, nullptr, 0), -3),
        CALL(TXLS_sheet_num(nullptr), 0), CALL(TXLS_row_num(nullptr), 0), CALL(TXLS_column_num(nullptr, 0), 0),
        CALL(TXLS_put_cell(nullptr, "A1", "1"), -3), CALL(TXLS_put_cell(&closed, "A1", "1"), -3),
        CALL(TXLS_put_cell(&book, nullptr, "1"), -3), CALL(TXLS_put_cell(&book, "A1", nullptr), -3),
        CALL(TXLS_get_cell(nullptr, "A1", out, sizeof out, out, sizeof out), -3),
        CALL(TXLS_get_cell(&book, nullptr, out, sizeof out, nullptr, 0), -3),
        CALL(TXLS_get_cell(&book, "A1", nullptr, 10, nullptr, 0), -3), CALL(TXLS_get_cell(&book, "Z9", out, 1, nullptr, 0), -902),
        CALL(TXLS_get_format_cell(nullptr, "A1", out, sizeof out, out, sizeof out), -3),
        CALL(TXLS_get_format_cell(&book, nullptr, out, sizeof out, out, sizeof out), -3),
        CALL(TXLS_get_format_cell(&book, "A1", nullptr, 0, out, sizeof out), -3),
        CALL(TXLS_get_cells(&book, 0, 0, 0, 0, 2, outs, sizeof out), -3),
        CALL(TXLS_get_cells(&book, 0, 0, 0, 0, 1, nullptr, sizeof out), -3),
        CALL(TXLS_get_cells(&book, 0, 0, 0, 0, 1, outs, 0), -3),
        CALL(TXLS_search(&book, nullptr, "x", outs, sizeof out), -3),
        CALL(TXLS_search(&book, &search, nullptr, outs, sizeof out), -3),
        CALL(TXLS_search(&book, &search, "x", nullptr, sizeof out), -3),
        CALL(TXLS_is_cell(nullptr, "A1", &v, &v), -3), CALL(TXLS_is_cell(&closed, "A1", &v, &v), -3),
        CALL(TXLS_is_cell(&book, nullptr, &v, &v), -3), CALL(TXLS_is_cell(&book, "A1", nullptr, &v), -3),
        CALL(TXLS_is_cell(&book, "A1", &v, nullptr), -3), CALL(TXLS_is_range(nullptr, "A1:B2", &v, &v, &v, &v), -3),
        CALL(TXLS_is_range(&book, nullptr, &v, &v, &v, &v), -3),
        CALL(TXLS_is_range(&book, "A1:B2", &v, &v, &v, nullptr), -3),
        CALL(TXLS_cell_name(1, 1, nullptr, 8), -3), CALL(TXLS_cell_range(1, 1, 2, 2, nullptr, 10), -3),
        CALL(TXLS_put_variable(nullptr, "k", "v"), -3), CALL(TXLS_put_variable(&book, nullptr, "v"), -3),
        CALL(TXLS_put_values(nullptr, "A1=1"), -3), CALL(TXLS_put_values(&book, nullptr), 0),
        CALL(TXLS_is_property(nullptr, "A1", &v), -3), CALL(TXLS_is_property(&book, nullptr, &v), -3),
        CALL(TXLS_is_property(&book, "A1", nullptr), -3), CALL(TXLS_set_property(nullptr, nullptr, nullptr), 0),
        CALL(TXLS_read_file(nullptr, "FILE=x"), -3), CALL(TXLS_read_file(&book, nullptr), -3),
        CALL(TXLS_save_pdf(nullptr, "FILE=x.pdf"), -3), CALL(TXLS_save_pdf(&closed, "FILE=x.pdf"), -3),
        CALL(TXLS_save_pdf(&book, nullptr), -3), CALL(TXLS_save_pdf(&book, "TIMEOUT=5"), -3),
        CALL(TXLS_save_pdf(&book, "FILE=x.pdf TIMEOUT=-1"), -3), CALL(TXLS_save_pdf(&book, "FILE=x.pdf PAGES=2"), -3),
        CALL(TXLS_save_pdf(&book, "FILE=x.pdf SOFFICE=/nonexistent/soffice"), -920),
        CALL(TXLS_close_datasource(nullptr), 0), CALL(TXLS_memory_put(nullptr, "x", 1), -3),
        CALL(TXLS_memory_put("x", nullptr, 5), -3), CALL(TXLS_memory_get("x", nullptr, &size), -3), CALL(TXLS_debug(nullptr), 0),
        // A record never opened: freeing and closing it are no faults, it has no sheets to open.
        CALL(TXLS_free_book(&never), 0), CALL(TXLS_close_book(&never, "SAVE"), 0),
        CALL(TXLS_open_sheet(&never, "SHEET_NAME=A"), -3), CALL(TXLS_sheet_num(&never), 0),
        CALL(TXLS_version(&never, out, sizeof out), 0),
#undef CALL
    };
    for (const auto &c : calls) EXPECT_EQ(c.call(), c.rc) << c.what;
    EXPECT_EQ(small[0], '\0');
    EXPECT_STREQ(out, "2.0.4.0");
    EXPECT_EQ(TXLS_error_mesg(nullptr), nullptr);
    EXPECT_STREQ(TXLS_error_mesg(&never), "");
    TXLS_free_book(&book);
}

// Under UBSan an overflow anywhere here fails too.
TEST(RefusedArguments, CellPositionsOutsideTheSheetWithoutOverflow) {
    const struct {
        int row, column, rc;
        const char *name;
    } cases[] = {
        {1, 1, 0, "A1"}, {1, 27, 0, "AA1"}, {kRows, kColumns, 0, "XFD1048576"}, {INT_MIN, 1, -3, ""}, {1, INT_MIN, -3, ""},
        {INT_MIN, INT_MIN, -3, ""}, {INT_MIN + 1, 1, -3, ""}, {INT_MAX, 1, -3, ""}, {1, INT_MAX, -3, ""},
        {INT_MAX, INT_MAX, -3, ""}, {0, 1, -3, ""}, {1, 0, -3, ""}, {-1, -1, -3, ""}, {kRows + 1, 1, -3, ""},
        {1, kColumns + 1, -3, ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::to_string(c.row) + "," + std::to_string(c.column));
        char out[32];
        // Alone and as either corner of a range.
        for (int form = 0; form < 3; ++form) {
            std::memset(out, 'x', sizeof out);
            const int rc = form == 0   ? TXLS_cell_name(c.row, c.column, out, sizeof out)
                           : form == 1 ? TXLS_cell_range(c.row, c.column, 1, 1, out, sizeof out)
                                       : TXLS_cell_range(1, 1, c.row, c.column, out, sizeof out);
            EXPECT_EQ(rc, c.rc);
            const std::string name = c.rc ? "" : form == 0 ? c.name : form == 1 ? std::string(c.name) + ":A1" : "A1:" + std::string(c.name);
            EXPECT_EQ(out, name);
        }
    }
    char small[4], range[8];
    EXPECT_EQ(TXLS_cell_name(1, 27, small, 4), 0);  // "AA1" and its terminator fit exactly; one byte less does not
    EXPECT_STREQ(small, "AA1");
    EXPECT_EQ(TXLS_cell_name(1, 27, small, 3) + TXLS_cell_range(1, 1, 3, 3, range, 5), -1818);
    EXPECT_EQ(TXLS_cell_name(INT_MIN, INT_MIN, small, INT_MIN), -3);
    EXPECT_EQ(TXLS_cell_name(kRows, kColumns, small, sizeof small), -909);
    EXPECT_EQ(TXLS_cell_range(INT_MAX, INT_MIN, INT_MIN, INT_MAX, small, sizeof small), -3);
}

namespace {

class SearchContinuation : public SheetTest {
protected:
    void SetUp() override {
        SheetTest::SetUp();
        ASSERT_EQ(TXLS_put_values(&book, "B2=head B3=below C2=right"), 0);
    }
    // Continues (text null) or starts a search; the two values it gives, "|" between.
    std::string search(TXLS_SEARCH &record, const char *text, int rc = 0) {
        char buffers[2][64] = {"junk", "junk"};
        char *outs[2] = {buffers[0], buffers[1]};
        EXPECT_EQ(TXLS_search(&book, &record, text, outs, sizeof buffers[0]), rc);
        EXPECT_EQ(TXLS_error_code(&book), rc);
        return std::string(outs[0]) + "|" + outs[1];
    }
};

}  // namespace

TEST_F(SearchContinuation, AMergedHitIsReadStepByStep) {
    store().sheets[0]->merges.push_back(tabsmith::MergeArea{1, 1, 3, 1});  // B2:B4
    TXLS_SEARCH record{};
    record.direction = 1;
    record.count = 2;
    EXPECT_EQ(search(record, "head"), "head|below");
    EXPECT_EQ(record.remaining, 2);
    EXPECT_EQ(search(record, nullptr), "below|");
    EXPECT_EQ(record.hit_row, 2);
    search(record, nullptr);
    EXPECT_EQ(record.remaining, 0);
}

TEST_F(SearchContinuation, AContinuationPastTheSheetsEdgeEndsTheSearch) {
    const struct {
        const char *why;
        int direction, sheet, row, column, rc;
    } cases[] = {
        {"down from INT_MAX", 1, 0, INT_MAX, 0, -801},
        {"right from INT_MAX", 0, 0, 0, INT_MAX, -801},
        {"down from the last row", 1, 0, kRows - 1, 0, -801},
        {"right from the last column", 0, 0, 0, kColumns - 1, -801},
        {"down onto the last row", 1, 0, kRows - 2, 0, 0},
        {"right onto the last column", 0, 0, 0, kColumns - 2, 0},
        {"down, the column at INT_MAX", 1, 0, 0, INT_MAX, 0},  // past the cells in use: empty values
        {"negative row", 1, 0, INT_MIN, 0, -3},
        {"negative column", 0, 0, 0, INT_MIN, -3},
        {"sheet INT_MAX", 0, INT_MAX, 0, 0, -3},
        {"sheet INT_MIN", 0, INT_MIN, 0, 0, -3},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.why);
        TXLS_SEARCH record{};
        record.direction = c.direction;
        record.count = 2;
        record.remaining = INT_MAX;
        record.hit_sheet = c.sheet;
        record.hit_row = c.row;
        record.hit_column = c.column;
        EXPECT_EQ(search(record, nullptr, c.rc), "|");
        if (c.rc != -801) continue;
        EXPECT_EQ(record.remaining, 0);  // the next call starts anew
        search(record, "right");
        EXPECT_EQ(record.hit_row * 100 + record.hit_column, 102);
    }
}
