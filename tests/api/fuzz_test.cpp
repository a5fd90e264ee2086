// Hostile callers: random bytes through the option, sheet and cell entry points in every
// character set, and null pointers in every argument that takes one. No call may crash.

#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "tabsmith.h"

namespace {

// Mostly printable bytes with option syntax and multibyte lead bytes mixed in.
std::string random_text(std::mt19937 &rng, std::size_t max_len) {
    static const std::string pieces[] = {"=", " ", "\"", "'", ";", "MODE", "BOOK", "CHARSET", "UTF8", "EUC",
                                         "SHEET_NAME", "TEMPLATE", "$ROWNUM", "(", ")", ":", "!", "$", "A1",
                                         "\x81", "\xE3\x81", "\x8E", "\xF0\x9F", "\xFF", "%", "\\", ","};
    std::uniform_int_distribution<std::size_t> len(0, max_len), piece(0, std::size(pieces) - 1);
    std::uniform_int_distribution<int> pick(0, 3), byte(1, 255);
    std::string out;
    for (std::size_t n = len(rng); out.size() < n;) {
        if (pick(rng) == 0) out.push_back(static_cast<char>(byte(rng)));
        else out += pieces[piece(rng)];
    }
    return out;
}

}  // namespace

TEST(Fuzz, RandomOptionsSheetsAndCellsNeverCrash) {
    std::mt19937 rng(20261206);
    const char *charsets[] = {"CHARSET=SJIS", "CHARSET=EUC", "CHARSET=UTF8"};
    for (int round = 0; round < 300; ++round) {
        XLS_BOOK book{};
        std::string options = random_text(rng, 60);
        TXLS_open_book(&book, options.c_str());
        TXLS_error_mesg(&book);
        ASSERT_EQ(TXLS_open_book(&book, charsets[round % 3]), 0);
        for (int i = 0; i < 20; ++i) {
            std::string sheet = random_text(rng, 40), cell = random_text(rng, 12), value = random_text(rng, 80);
            TXLS_open_sheet(&book, sheet.c_str());
            TXLS_open_sheet(&book, ("SHEET_NAME=\"" + sheet + "\"").c_str());
            TXLS_put_cell(&book, cell.c_str(), value.c_str());
            TXLS_put_cell(&book, "A1", value.c_str());
            char out[16], kind[8];
            TXLS_get_cell(&book, cell.c_str(), out, sizeof out, kind, sizeof kind);
            TXLS_get_cell(&book, "A1", out, sizeof out, kind, sizeof kind);
            int r = 0, c = 0, r2 = 0, c2 = 0;
            TXLS_is_cell(&book, cell.c_str(), &r, &c);
            TXLS_is_range(&book, value.c_str(), &r, &c, &r2, &c2);
            TXLS_put_variable(&book, cell.c_str(), value.c_str());
            TXLS_put_values(&book, value.c_str());
            TXLS_error_mesg(&book);
        }
        char name[8];
        for (int s = -1; s <= TXLS_sheet_num(&book); ++s) TXLS_sheet_name(&book, s, name, sizeof name);
        TXLS_free_book(&book);
    }
}

TEST(Fuzz, NullArgumentsAreRefused) {
    XLS_BOOK book{}, closed{};
    ASSERT_EQ(TXLS_open_book(&book, "MODE=CREATE"), 0);
    ASSERT_EQ(TXLS_open_sheet(&book, "SHEET_NAME=S"), 0);
    char out[16];
    char *outs[2] = {out, nullptr};
    int v = 0;
    long size = 0;
    TXLS_SEARCH search{};
    search.count = 1;
    struct Call {
        const char *what;
        std::function<int()> call;
        int rc;
    };
#define CALL(expression, rc) Call{#expression, [&] { return expression; }, rc}
    const Call calls[] = {
        CALL(TXLS_open_book(nullptr, "MODE=CREATE"), -3),
        CALL(TXLS_free_book(nullptr), -3),
        CALL(TXLS_close_book(nullptr, "SAVE"), -3),
        CALL(TXLS_error_code(nullptr), -3),
        CALL(TXLS_version(&book, nullptr, 8), -3),
        CALL(TXLS_open_sheet(&book, nullptr), -3),
        CALL(TXLS_open_sheet2(nullptr, 0), -801),
        CALL(TXLS_sheet_name(nullptr, 0, out, sizeof out), -801),
        CALL(TXLS_sheet_name(&book, 0, nullptr, 0), -3),
        CALL(TXLS_sheet_num(nullptr), 0),
        CALL(TXLS_row_num(nullptr), 0),
        CALL(TXLS_column_num(nullptr, 0), 0),
        CALL(TXLS_put_cell(nullptr, "A1", "1"), -3),
        CALL(TXLS_put_cell(&closed, "A1", "1"), -3),
        CALL(TXLS_put_cell(&book, nullptr, "1"), -3),
        CALL(TXLS_put_cell(&book, "A1", nullptr), -3),
        CALL(TXLS_get_cell(nullptr, "A1", out, sizeof out, out, sizeof out), -3),
        CALL(TXLS_get_cell(&book, nullptr, out, sizeof out, nullptr, 0), -3),
        CALL(TXLS_get_cell(&book, "A1", nullptr, 10, nullptr, 0), -3),
        CALL(TXLS_get_format_cell(nullptr, "A1", out, sizeof out, out, sizeof out), -3),
        CALL(TXLS_get_format_cell(&book, nullptr, out, sizeof out, out, sizeof out), -3),
        CALL(TXLS_get_format_cell(&book, "A1", nullptr, 0, out, sizeof out), -3),
        CALL(TXLS_get_cells(&book, 0, 0, 0, 0, 2, outs, sizeof out), -3),
        CALL(TXLS_get_cells(&book, 0, 0, 0, 0, 1, nullptr, sizeof out), -3),
        CALL(TXLS_get_cells(&book, 0, 0, 0, 0, 1, outs, 0), -3),
        CALL(TXLS_search(&book, nullptr, "x", outs, sizeof out), -3),
        CALL(TXLS_search(&book, &search, nullptr, outs, sizeof out), -3),
        CALL(TXLS_search(&book, &search, "x", nullptr, sizeof out), -3),
        CALL(TXLS_is_cell(nullptr, "A1", &v, &v), -3),
        CALL(TXLS_is_cell(&closed, "A1", &v, &v), -3),
        CALL(TXLS_is_cell(&book, nullptr, &v, &v), -3),
        CALL(TXLS_is_cell(&book, "A1", nullptr, &v), -3),
        CALL(TXLS_is_cell(&book, "A1", &v, nullptr), -3),
        CALL(TXLS_is_range(nullptr, "A1:B2", &v, &v, &v, &v), -3),
        CALL(TXLS_is_range(&book, nullptr, &v, &v, &v, &v), -3),
        CALL(TXLS_is_range(&book, "A1:B2", &v, &v, &v, nullptr), -3),
        CALL(TXLS_cell_name(1, 1, nullptr, 8), -3),
        CALL(TXLS_cell_range(1, 1, 2, 2, nullptr, 10), -3),
        CALL(TXLS_put_variable(nullptr, "k", "v"), -3),
        CALL(TXLS_put_variable(&book, nullptr, "v"), -3),
        CALL(TXLS_put_values(nullptr, "A1=1"), -3),
        CALL(TXLS_put_values(&book, nullptr), 0),
        CALL(TXLS_is_property(nullptr, "A1", &v), -3),
        CALL(TXLS_is_property(&book, nullptr, &v), -3),
        CALL(TXLS_is_property(&book, "A1", nullptr), -3),
        CALL(TXLS_set_property(nullptr, nullptr, nullptr), 0),
        CALL(TXLS_read_file(nullptr, "FILE=x"), -3),
        CALL(TXLS_read_file(&book, nullptr), -3),
        CALL(TXLS_close_datasource(nullptr), 0),
        CALL(TXLS_memory_put(nullptr, "x", 1), -3),
        CALL(TXLS_memory_put("x", nullptr, 5), -3),
        CALL(TXLS_memory_get("x", nullptr, &size), -3),
        CALL(TXLS_debug(nullptr), 0),
    };
#undef CALL
    for (const Call &c : calls) EXPECT_EQ(c.call(), c.rc) << c.what;
    EXPECT_EQ(TXLS_error_mesg(nullptr), nullptr);
    TXLS_free_book(&book);
}
