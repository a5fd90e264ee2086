// Shared test fixtures: an open book record, character-set helpers, temporary folders.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "support/charset.h"
#include "tabsmith.h"

namespace tabsmith::testing {

// A zero-filled book record opened with the given options and freed at the end of the test.
class BookTest : public ::testing::Test {
protected:
    void TearDown() override { TXLS_free_book(&book); }
    int open(const char *options) { return TXLS_open_book(&book, options); }
    // The last message decoded from Shift-JIS to UTF-8.
    std::string message() const { return to_utf8(book.log.error_info, kSjis); }
    std::string value(const char *cell) {
        char v[4096] = "", k[4096] = "";
        TXLS_get_cell(&book, cell, v, sizeof v, k, sizeof k);
        return v;
    }
    std::string kind(const char *cell) {
        char v[4096] = "", k[4096] = "";
        TXLS_get_cell(&book, cell, v, sizeof v, k, sizeof k);
        return k;
    }
    XLS_BOOK book{};
};

inline std::string sjis(const std::string &utf8) { return from_utf8(utf8, kSjis); }
inline std::string euc(const std::string &utf8) { return from_utf8(utf8, kEuc); }

}  // namespace tabsmith::testing
