// The thumbnail a book names with BOOK.THUMBNAIL.PATH: stored byte for byte as the package's
// last entry, and a file gone by the time of the save fails it with the book still open.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "common/fixtures.h"
#include "common/package_reader.h"
#include "common/tiny_jpeg.h"
#include "common/golden.h"

using namespace tabsmith::testing;
namespace fs = std::filesystem;

namespace {

class Thumbnail : public BookTest {
protected:
    // A UTF-8 book saving to dir/book.xlsx with one value and the thumbnail set.
    void open_with_thumbnail() {
        TXLS_free_book(&book);
        ASSERT_EQ(open(("MODE=CREATE CHARSET=UTF8 BOOK=\"" + target + "\"").c_str()), 0);
        ASSERT_EQ(TXLS_open_sheet(&book, "SHEET_NAME=Data"), 0);
        ASSERT_EQ(TXLS_put_cell(&book, "A1", "42"), 0);
        ASSERT_EQ(TXLS_put_values(&book, ("BOOK.THUMBNAIL.PATH=\"" + picture + "\"").c_str()), 0);
    }
    void expect_thumbnail_saved() {
        const ReadPackage package = read_package_file(target);
        EXPECT_EQ(package_fault(package), "");
        ASSERT_FALSE(package.entries.empty()) << target;
        EXPECT_EQ(package.entries.back().name, "docProps/thumbnail.jpeg");
        EXPECT_EQ(package.entries.back().text, kTinyJpeg);
        EXPECT_TRUE(has(package.text("[Content_Types].xml"), R"(<Default Extension="jpeg" ContentType="image/jpeg"/>)"));
        EXPECT_TRUE(has(package.text("_rels/.rels"), R"(Target="docProps/thumbnail.jpeg")"));
    }
    TempFolder dir;
    std::string picture = dir.write("thumb.jpg", kTinyJpeg);
    std::string target = dir / "book.xlsx";
};

}  // namespace

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
    open_with_thumbnail();   // a book that cannot save is scrapped without complaint
    fs::remove(picture);
    EXPECT_EQ(TXLS_close_book(&book, "SAVE"), -101);
    EXPECT_EQ(TXLS_close_book(&book, ""), 0);
    EXPECT_EQ(book.work, nullptr);
    EXPECT_FALSE(fs::exists(target));
}
