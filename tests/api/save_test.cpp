// Saving books: files on disk, memory books, failed saves that leave the book open and no
// partial file behind.

#include <gtest/gtest.h>

#include <dirent.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "model/book.h"
#include "support/fixtures.h"

using tabsmith::testing::BookTest;

namespace {

namespace fs = std::filesystem;

class Save : public BookTest {
protected:
    void SetUp() override {
        dir = fs::path(::testing::TempDir()) / ("save_" + std::to_string(::getpid()) + "_" +
                                                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override {
        BookTest::TearDown();
        fs::remove_all(dir);
    }
    int entries() const {
        int n = 0;
        for ([[maybe_unused]] const auto &e : fs::directory_iterator(dir)) ++n;
        return n;
    }
    fs::path dir;
};

bool is_zip(const fs::path &path) {
    std::ifstream in(path, std::ios::binary);
    char head[4] = {};
    in.read(head, 4);
    return in.gcount() == 4 && head[0] == 'P' && head[1] == 'K' && head[2] == 3 && head[3] == 4;
}

}  // namespace

TEST_F(Save, WritesAZipPackageAndReleasesTheBook) {
    std::string options = "MODE=CREATE BOOK=" + (dir / "report").string();
    ASSERT_EQ(open(options.c_str()), 0);
    ASSERT_EQ(TXLS_open_sheet(&book, "SHEET_NAME=Data"), 0);
    ASSERT_EQ(TXLS_put_cell(&book, "A1", "42"), 0);
    EXPECT_EQ(TXLS_close_book(&book, "SAVE"), 0);
    EXPECT_EQ(book.work, nullptr);
    EXPECT_TRUE(is_zip(dir / "report.xlsx"));
    EXPECT_EQ(entries(), 1);  // no temporary file left beside it
    EXPECT_EQ(std::system(("unzip -tq " + (dir / "report.xlsx").string() + " >/dev/null").c_str()), 0);
}

TEST_F(Save, MissingFolderFailsAndTheBookCanBeSavedElsewhere) {
    std::string missing = (dir / "no" / "such" / "folder" / "out.xlsx").string();
    ASSERT_EQ(open(("MODE=CREATE BOOK=" + missing).c_str()), 0);
    ASSERT_EQ(TXLS_open_sheet(&book, "SHEET_NAME=Data"), 0);
    ASSERT_EQ(TXLS_put_cell(&book, "A1", "kept"), 0);
    EXPECT_EQ(TXLS_close_book(&book, "SAVE"), -103);
    EXPECT_EQ(TXLS_error_code(&book), -103);
    EXPECT_EQ(message(), "TXLS-03121 Excelファイル書込みエラー(\"" + missing + "\")。");
    ASSERT_NE(book.work, nullptr);  // still open
    EXPECT_EQ(value("A1"), "kept");
    // Point the book elsewhere and save again.
    static_cast<tabsmith::Book *>(book.work)->file_name = (dir / "second.xlsx").string();
    EXPECT_EQ(TXLS_close_book(&book, "SAVE"), 0);
    EXPECT_TRUE(is_zip(dir / "second.xlsx"));
    EXPECT_EQ(entries(), 1);
}

TEST_F(Save, ATargetThatCannotBeReplacedLeavesNoPartialFile) {
    fs::create_directories(dir / "taken.xlsx");  // a folder stands where the file should go
    ASSERT_EQ(open(("MODE=CREATE BOOK=" + (dir / "taken.xlsx").string()).c_str()), 0);
    EXPECT_EQ(TXLS_close_book(&book, "SAVE"), -103);
    EXPECT_TRUE(fs::is_directory(dir / "taken.xlsx"));
    EXPECT_EQ(entries(), 1);
    EXPECT_NE(book.work, nullptr);
    EXPECT_EQ(TXLS_close_book(&book, "DESTROY"), 0);
}

TEST_F(Save, ExistingFileIsReplacedWhole) {
    fs::path target = dir / "old.xlsx";
    std::ofstream(target) << "previous contents";
    ASSERT_EQ(open(("MODE=CREATE BOOK=" + target.string()).c_str()), 0);
    EXPECT_EQ(TXLS_close_book(&book, "SAVE"), 0);
    EXPECT_TRUE(is_zip(target));
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
    EXPECT_EQ(std::string(static_cast<const char *>(bytes), 4), std::string("PK\x03\x04", 4));
    // The bytes are a complete package.
    fs::path copy = dir / "copy.xlsx";
    std::ofstream(copy, std::ios::binary).write(static_cast<const char *>(bytes), size);
    EXPECT_EQ(std::system(("unzip -tq " + copy.string() + " >/dev/null").c_str()), 0);
    // Part files do not linger as memory files.
    EXPECT_NE(TXLS_memory_get("xl/workbook.xml", &bytes, &size), 0);
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
