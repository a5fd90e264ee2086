// Random bytes through the option, sheet and cell entry points in every character set: no
// call may crash, hang or write outside its buffers (the sanitizer build checks the last).

#include <gtest/gtest.h>

#include <random>

#include "tabsmith.h"

namespace {

// Mostly printable bytes with option syntax and multibyte lead bytes mixed in.
std::string random_text(std::mt19937 &rng, std::size_t max_len) {
    static const std::string pieces[] = {"=", " ", "\"", "'", ";", "MODE", "BOOK", "CHARSET", "UTF8", "EUC",
                                         "SHEET_NAME", "TEMPLATE", "$ROWNUM", "(", ")", ":", "!", "$", "A1",
                                         "\x81", "\xE3\x81", "\x8E", "\xF0\x9F", "\xFF", "%", "\\", ","};
    std::uniform_int_distribution<std::size_t> len(0, max_len);
    std::uniform_int_distribution<int> pick(0, 3);
    std::uniform_int_distribution<std::size_t> piece(0, std::size(pieces) - 1);
    std::uniform_int_distribution<int> byte(1, 255);
    std::string out;
    std::size_t n = len(rng);
    while (out.size() < n) {
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
            std::string sheet = random_text(rng, 40);
            TXLS_open_sheet(&book, sheet.c_str());
            TXLS_open_sheet(&book, ("SHEET_NAME=\"" + sheet + "\"").c_str());
            std::string cell = random_text(rng, 12);
            std::string value = random_text(rng, 80);
            TXLS_put_cell(&book, cell.c_str(), value.c_str());
            TXLS_put_cell(&book, "A1", value.c_str());
            char out[16], kind[8];
            TXLS_get_cell(&book, cell.c_str(), out, sizeof out, kind, sizeof kind);
            TXLS_get_cell(&book, "A1", out, sizeof out, kind, sizeof kind);
            int r = 0, c = 0, r2 = 0, c2 = 0;
            TXLS_is_cell(&book, cell.c_str(), &r, &c);
            TXLS_is_range(&book, value.c_str(), &r, &c, &r2, &c2);
            TXLS_put_variable(&book, cell.c_str(), value.c_str());
            TXLS_error_mesg(&book);
        }
        char name[8];
        for (int s = -1; s <= TXLS_sheet_num(&book); ++s) TXLS_sheet_name(&book, s, name, sizeof name);
        TXLS_free_book(&book);
    }
}

TEST(Fuzz, NullArgumentsEverywhere) {
    XLS_BOOK book{};
    ASSERT_EQ(TXLS_open_book(&book, nullptr), 0);
    ASSERT_EQ(TXLS_open_sheet(&book, "SHEET_NAME=S"), 0);
    char out[8];
    int v = 0;
    EXPECT_NE(TXLS_put_cell(&book, nullptr, "1"), 0);
    EXPECT_NE(TXLS_put_cell(nullptr, "A1", "1"), 0);
    TXLS_put_cell(&book, "A1", nullptr);
    EXPECT_NE(TXLS_get_cell(&book, nullptr, out, sizeof out, out, sizeof out), 0);
    TXLS_get_cell(&book, "A1", nullptr, 0, nullptr, 0);
    EXPECT_NE(TXLS_get_cells(&book, 0, 0, 0, 0, 3, nullptr, 8), 0);
    EXPECT_NE(TXLS_search(&book, nullptr, "x", nullptr, 8), 0);
    EXPECT_NE(TXLS_is_cell(&book, nullptr, &v, &v), 0);
    TXLS_is_cell(&book, "A1", nullptr, nullptr);
    EXPECT_NE(TXLS_is_range(nullptr, "A1:B2", &v, &v, &v, &v), 0);
    TXLS_is_range(&book, "A1:B2", nullptr, nullptr, nullptr, nullptr);
    EXPECT_NE(TXLS_cell_name(1, 1, nullptr, 8), 0);
    EXPECT_NE(TXLS_cell_range(1, 1, 2, 2, nullptr, 0), 0);
    EXPECT_NE(TXLS_put_variable(&book, nullptr, nullptr), 0);
    EXPECT_NE(TXLS_put_variable(nullptr, "k", "v"), 0);
    EXPECT_EQ(TXLS_sheet_num(nullptr), 0);
    EXPECT_EQ(TXLS_row_num(nullptr), 0);
    EXPECT_EQ(TXLS_column_num(nullptr, 0), 0);
    EXPECT_EQ(TXLS_open_sheet2(nullptr, 0), -801);
    EXPECT_NE(TXLS_sheet_name(nullptr, 0, out, sizeof out), 0);
    TXLS_put_values(&book, nullptr);
    TXLS_free_book(&book);
}
