// The thumbnail a book names with BOOK.THUMBNAIL.PATH: stored byte for byte as the package's
// last entry, and a file gone by the time of the save fails it with the book still open.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <minizip/unzip.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "common/fixtures.h"
#include "common/tiny_jpeg.h"

using tabsmith::testing::BookTest;
using tabsmith::testing::kTinyJpeg;
using tabsmith::testing::TempFolder;

namespace {

namespace fs = std::filesystem;

// Every entry of a package on disk as (name, contents), in archive order.
std::vector<std::pair<std::string, std::string>> package_entries(const std::string &path) {
    std::vector<std::pair<std::string, std::string>> entries;
    unzFile zip = unzOpen64(path.c_str());
    if (!zip) return entries;
    for (int rc = unzGoToFirstFile(zip); rc == UNZ_OK; rc = unzGoToNextFile(zip)) {
        char name[256];
        unz_file_info64 info;
        if (unzGetCurrentFileInfo64(zip, &info, name, sizeof name, nullptr, 0, nullptr, 0) != UNZ_OK) break;
        std::string bytes(static_cast<std::size_t>(info.uncompressed_size), '\0');
        if (unzOpenCurrentFile(zip) != UNZ_OK) break;
        int got = unzReadCurrentFile(zip, bytes.data(), static_cast<unsigned>(bytes.size()));
        unzCloseCurrentFile(zip);
        if (got != static_cast<int>(bytes.size())) bytes = "<short read>";
        entries.emplace_back(name, std::move(bytes));
    }
    unzClose(zip);
    return entries;
}

std::string entry(const std::vector<std::pair<std::string, std::string>> &entries, const std::string &name) {
    for (const auto &[entry_name, bytes] : entries)
        if (entry_name == name) return bytes;
    return "<missing>";
}

class Thumbnail : public BookTest {
protected:
    // A UTF-8 book saving to dir/book.xlsx with one value and the thumbnail set.
    void open_with_thumbnail() {
        ASSERT_EQ(open(("MODE=CREATE CHARSET=UTF8 BOOK=\"" + target + "\"").c_str()), 0);
        ASSERT_EQ(TXLS_open_sheet(&book, "SHEET_NAME=Data"), 0);
        ASSERT_EQ(TXLS_put_cell(&book, "A1", "42"), 0);
        ASSERT_EQ(TXLS_put_values(&book, ("BOOK.THUMBNAIL.PATH=\"" + picture + "\"").c_str()), 0);
    }
    void expect_thumbnail_saved() {
        const auto entries = package_entries(target);
        ASSERT_FALSE(entries.empty()) << target;
        EXPECT_EQ(entries.back().first, "docProps/thumbnail.jpeg");
        EXPECT_EQ(entries.back().second, kTinyJpeg);
        EXPECT_NE(entry(entries, "[Content_Types].xml").find("<Default Extension=\"jpeg\" ContentType=\"image/jpeg\"/>"),
                  std::string::npos);
        EXPECT_NE(entry(entries, "_rels/.rels").find("Target=\"docProps/thumbnail.jpeg\""), std::string::npos);
    }

    TempFolder dir;
    std::string picture = dir.write("thumb.jpg", kTinyJpeg);
    std::string target = dir / "book.xlsx";
};

}  // namespace

TEST_F(Thumbnail, IsStoredByteForByteAsTheLastEntry) {
    open_with_thumbnail();
    ASSERT_EQ(TXLS_close_book(&book, "SAVE"), 0);
    expect_thumbnail_saved();
}

// Whatever stands at the path at the save (nothing, a folder, a FIFO that would block a read),
// the save fails with the picture's open error and keeps the book, which then saves once the
// picture is back, or can be scrapped.
TEST_F(Thumbnail, AFileThatCannotBeOpenedAtTheSaveFailsItAndKeepsTheBook) {
    const std::pair<const char *, void (*)(const std::string &)> obstacles[] = {
        {"missing", [](const std::string &) {}},
        {"folder", [](const std::string &path) { fs::create_directory(path); }},
        {"fifo", [](const std::string &path) { ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0); }},
    };
    for (const auto &[what, place] : obstacles) {
        SCOPED_TRACE(what);
        TXLS_free_book(&book);
        open_with_thumbnail();
        fs::remove(picture);
        place(picture);
        EXPECT_EQ(TXLS_close_book(&book, "SAVE"), -101);
        EXPECT_EQ(TXLS_error_code(&book), -101);
        EXPECT_EQ(message(), "TXLS-03102 イメージファイルオープンエラー(\"" + picture + "\")。");
        ASSERT_NE(book.work, nullptr);
        EXPECT_EQ(value("A1"), "42");
        EXPECT_FALSE(fs::exists(target));
        EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), {}), what == std::string("missing") ? 0 : 1);

        fs::remove(picture);
        dir.write("thumb.jpg", kTinyJpeg);
        ASSERT_EQ(TXLS_close_book(&book, "SAVE"), 0);
        expect_thumbnail_saved();
        fs::remove(target);
    }
    // A book that cannot save is scrapped without complaint.
    open_with_thumbnail();
    fs::remove(picture);
    EXPECT_EQ(TXLS_close_book(&book, "SAVE"), -101);
    EXPECT_EQ(TXLS_close_book(&book, ""), 0);
    EXPECT_EQ(book.work, nullptr);
    EXPECT_FALSE(fs::exists(target));
}
