// Loading picture files: one read into a buffer of the file's size, the type from bytes and
// name, the size from the header, and the results of files that cannot be placed.

#include <gtest/gtest.h>

#include <string>

#include "common/fixtures.h"
#include "common/picture_headers.h"
#include "image/file_type.h"
#include "image/picture_file.h"
#include "support/results.h"

namespace tabsmith {
namespace {

using namespace testing;

TEST(PictureFile, LoadsBytesTypeAndSizeIntoABufferOfTheFilesSize) {
    TempFolder folder;
    // Large enough that a buffer grown by doubling would show in its capacity.
    std::string bytes = png_header(640, 480) + std::string(3 << 20, 'p');
    const std::string path = folder.write("big.png", bytes);
    PictureData picture;
    ASSERT_EQ(load_picture_file(path, kFileTypeBmp, kFileTypeWmf, picture), kOk);
    EXPECT_EQ(picture.type, kFileTypePng);
    EXPECT_EQ(picture.width, 640);
    EXPECT_EQ(picture.height, 480);
    EXPECT_EQ(picture.source, path);
    EXPECT_TRUE(picture.bytes == bytes);
    EXPECT_EQ(picture.bytes.capacity(), bytes.size());
}

TEST(PictureFile, FilesThatCannotBePlaced) {
    TempFolder folder;
    struct Case {
        std::string path;
        int first, last;
        int rc;
    } cases[] = {
        {folder / "missing.png", kFileTypeBmp, kFileTypeWmf, kOpenError},
        {folder.path(), kFileTypeBmp, kFileTypeWmf, kOpenError},
        {folder.write("bmp.bmp", bmp_picture(2, 2)), kFileTypeJpeg, kFileTypeTiff, kUnsupported},
        {folder.write("png.gif", png_header(2, 2)), kFileTypeBmp, kFileTypeWmf, kUnsupported},
        {folder.write("tiny.png", "\x89PNG"), kFileTypeBmp, kFileTypeWmf, kUnsupported},
        {folder.write("bad.png", png_header(0, 2)), kFileTypeBmp, kFileTypeWmf, kUnsupported},
        {folder.write("book.xlsx", std::string("PK\x03\x04", 4) + std::string(40, 'z')), kFileTypeBmp, kFileTypeWmf,
         kUnsupported},
    };
    for (const Case &c : cases) {
        PictureData picture;
        EXPECT_EQ(load_picture_file(c.path, c.first, c.last, picture), c.rc) << c.path;
        EXPECT_TRUE(picture.bytes.empty()) << c.path;
        EXPECT_EQ(picture.type, 0) << c.path;
    }
}

}  // namespace
}  // namespace tabsmith
