// Saving books: files on disk, memory books, failed saves that leave the book open and no
// partial file behind.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "common/fixtures.h"
#include "model/book.h"

using tabsmith::testing::BookTest;
using tabsmith::testing::TempFolder;

namespace {

namespace fs = std::filesystem;

class Save : public BookTest {
protected:
    int entries() const { return static_cast<int>(std::distance(fs::directory_iterator(dir.path()), {})); }
    bool is_package(const std::string &path) {
        std::ifstream in(path, std::ios::binary);
        char head[4] = {};
        in.read(head, 4);
        return std::string(head, 4) == std::string("PK\x03\x04", 4) &&
               std::system(("unzip -tq '" + path + "' >/dev/null").c_str()) == 0;
    }
    TempFolder dir;
};

}  // namespace

TEST_F(Save, WritesAPackageReplacingAnOldFileAndReleasesTheBook) {
    std::string path = dir.write("report.xlsx", "previous contents");
    ASSERT_EQ(open(("MODE=CREATE BOOK=" + dir / "report").c_str()), 0);
    ASSERT_EQ(TXLS_open_sheet(&book, "SHEET_NAME=Data"), 0);
    ASSERT_EQ(TXLS_put_cell(&book, "A1", "42"), 0);
    EXPECT_EQ(TXLS_close_book(&book, "SAVE"), 0);
    EXPECT_EQ(book.work, nullptr);
    EXPECT_TRUE(is_package(path));
    EXPECT_EQ(entries(), 1);  // no temporary file left beside it
}

TEST_F(Save, FailedSavesKeepTheBookOpenAndLeaveNoPartialFile) {
    std::string missing = dir / "no/such/folder/out.xlsx";
    ASSERT_EQ(open(("MODE=CREATE BOOK=" + missing).c_str()), 0);
    ASSERT_EQ(TXLS_open_sheet(&book, "SHEET_NAME=Data"), 0);
    ASSERT_EQ(TXLS_put_cell(&book, "A1", "kept"), 0);
    EXPECT_EQ(TXLS_close_book(&book, "SAVE"), -103);
    EXPECT_EQ(TXLS_error_code(&book), -103);
    EXPECT_EQ(message(), "TXLS-03121 Excelファイル書込みエラー(\"" + missing + "\")。");
    ASSERT_NE(book.work, nullptr);
    EXPECT_EQ(value("A1"), "kept");
    // A folder where the file should go.
    fs::create_directories(dir / "taken.xlsx");
    static_cast<tabsmith::Book *>(book.work)->file_name = dir / "taken.xlsx";
    EXPECT_EQ(TXLS_close_book(&book, "SAVE"), -103);
    EXPECT_TRUE(fs::is_directory(dir / "taken.xlsx"));
    EXPECT_EQ(entries(), 1);  // the folder in the way, nothing beside it
    // Pointed elsewhere, the same book saves.
    static_cast<tabsmith::Book *>(book.work)->file_name = dir / "second.xlsx";
    EXPECT_EQ(TXLS_close_book(&book, "SAVE"), 0);
    EXPECT_TRUE(is_package(dir / "second.xlsx"));
    EXPECT_EQ(entries(), 2);
}

TEST_F(Save, WriteMemoryHandsTheArchiveToTheCaller) {
    ASSERT_EQ(open("MODE=CREATE BOOK=inmem WRITE_MEMORY=TRUE"), 0);
    ASSERT_EQ(TXLS_open_sheet(&book, "SHEET_NAME=Data"), 0);
    ASSERT_EQ(TXLS_put_cell(&book, "B2", "memory"), 0);
    EXPECT_EQ(TXLS_close_book(&book, "SAVE"), 0);
    EXPECT_FALSE(fs::exists("inmem.xlsx"));
    const void *bytes = nullptr;
    long size = 0;
    ASSERT_EQ(TXLS_memory_get("inmem.xlsx", &bytes, &size), 0);
    ASSERT_GT(size, 100);
    EXPECT_TRUE(is_package(dir.write("copy.xlsx", std::string(static_cast<const char *>(bytes), size))));
    EXPECT_NE(TXLS_memory_get("xl/workbook.xml", &bytes, &size), 0);  // parts do not linger
    TXLS_swap_book(0);  // park it away so later tests start clean
}

TEST_F(Save, SwapParksAndRestoresMemoryFiles) {
    const char text[] = "parked";
    ASSERT_EQ(TXLS_memory_put("kept.bin", text, sizeof text), 0);
    EXPECT_EQ(TXLS_swap_book(0), 0);
    const void *bytes = nullptr;
    long size = 0;
    EXPECT_NE(TXLS_memory_get("kept.bin", &bytes, &size), 0);
    EXPECT_EQ(TXLS_swap_book(1), 0);
    ASSERT_EQ(TXLS_memory_get("kept.bin", &bytes, &size), 0);
    EXPECT_EQ(size, static_cast<long>(sizeof text));
    TXLS_swap_book(0);
}
