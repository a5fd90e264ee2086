// Shared test fixtures: an open book record, character-set helpers and a private temporary
// folder that takes everything written into it away when the test ends.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include "model/book.h"
#include "support/charset.h"
#include "tabsmith.h"

namespace tabsmith::testing {

// A folder of its own under the system's temporary folder, removed with its contents when the
// object goes, so that a failed assertion leaves nothing behind either.
class TempFolder {
public:
    TempFolder() : path_((std::filesystem::temp_directory_path() / "tabsmith_test_XXXXXX").string()) {
        if (!::mkdtemp(path_.data())) path_.clear();
        EXPECT_FALSE(path_.empty()) << "no temporary folder";
    }
    ~TempFolder() {
        std::error_code ignored;  // a folder a test has already taken away is no failure
        if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder &) = delete;  // one owner removes it

    const std::string &path() const { return path_; }
    std::string operator/(const std::string &name) const { return path_ + "/" + name; }
    // Writes `bytes` to `name` inside the folder (creating subfolders) and gives the full path.
    std::string write(const std::string &name, const std::string &bytes) const {
        const std::string full = *this / name;
        std::filesystem::create_directories(std::filesystem::path(full).parent_path());
        return std::ofstream(full, std::ios::binary) << bytes, full;
    }

private:
    std::string path_;
};

// A zero-filled book record opened with the given options and freed at the end of the test.
class BookTest : public ::testing::Test {
protected:
    void TearDown() override { TXLS_free_book(&book); }
    int open(const char *options) { return TXLS_open_book(&book, options); }
    // Frees the record and opens a new book in `charset` with one sheet.
    void reopen(const std::string &charset = "UTF8", const std::string &sheet = "Sheet1") {
        TXLS_free_book(&book);
        ASSERT_EQ(open(("MODE=CREATE CHARSET=" + charset).c_str()), 0);
        ASSERT_EQ(TXLS_open_sheet(&book, ("SHEET_NAME=" + sheet).c_str()), 0);
    }
    Book &store() { return *static_cast<Book *>(book.work); }
    std::string message() const { return to_utf8(book.log.error_info, kSjis); }  // the last message, in UTF-8
    std::string value(const char *cell) { return get(cell).first; }
    std::string kind(const char *cell) { return get(cell).second; }
    std::pair<std::string, std::string> get(const char *cell) {
        char v[4096] = "", k[4096] = "";
        return TXLS_get_cell(&book, cell, v, sizeof v, k, sizeof k), std::pair<std::string, std::string>{v, k};
    }
    XLS_BOOK book{};
};

// A UTF-8 book with one sheet, Sheet1.
class SheetTest : public BookTest {
protected:
    void SetUp() override { reopen(); }
};

inline std::string sjis(const std::string &utf8) { return from_utf8(utf8, kSjis); }
inline std::string euc(const std::string &utf8) { return from_utf8(utf8, kEuc); }

}  // namespace tabsmith::testing
