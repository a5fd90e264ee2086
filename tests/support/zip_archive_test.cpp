// The routing of zip archives between memory files and disk files, and the exported
// memory-file utilities.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <minizip/zip.h>

#include <string>
#include <thread>
#include <tuple>

#include "support/mfile.h"
#include "support/zip_archive.h"
#include "tabsmith.h"

namespace tabsmith {
namespace {

bool exists(const std::string &path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

class ZipArchiveTest : public ::testing::Test {
protected:
    void SetUp() override {
        mclose_all();
        saved_route_ = zip_route();
    }
    void TearDown() override {
        set_zip_route(saved_route_);
        mclose_all();
    }
    int saved_route_ = -1;
};

TEST_F(ZipArchiveTest, RouteIsPerThreadAndFixedPerOpenArchive) {
    EXPECT_EQ(orv_zip_on_memory(0), 0);
    EXPECT_EQ(zip_route(), 0);
    int other = 0;
    std::thread([&other] { other = zip_route(); }).join();
    EXPECT_EQ(other, -1);

    // Switching the route while an archive is open must not confuse the open handle.
    zlib_filefunc64_def functions = zip_file_functions();
    zipFile zf = zipOpen2_64("switch.zip", APPEND_STATUS_CREATE, nullptr, &functions);
    ASSERT_NE(zf, nullptr);
    orv_zip_on_memory(1);
    zip_fileinfo info{};
    ASSERT_EQ(zipOpenNewFileInZip(zf, "a", &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED, 6), ZIP_OK);
    ASSERT_EQ(zipWriteInFileInZip(zf, "abc", 3), ZIP_OK);
    ASSERT_EQ(zipCloseFileInZip(zf), ZIP_OK);
    ASSERT_EQ(zipClose(zf, nullptr), ZIP_OK);
    EXPECT_FALSE(exists("switch.zip"));
    orv_zip_on_memory(0);
    ZipPackageReader reader;
    ASSERT_EQ(reader.open("switch.zip", true), 0);
    std::string out;
    EXPECT_EQ(reader.read(0, out, 100), 0);
    EXPECT_EQ(out, "abc");
}

TEST_F(ZipArchiveTest, MemoryPutAndGet) {
    const char bytes[] = {'P', 'K', 0, 3, 4};
    const void *out = nullptr;
    long size = -1;
    ASSERT_EQ(TXLS_memory_put("in.xlsx", bytes, 5), 0);
    ASSERT_EQ(TXLS_memory_get("in.xlsx", &out, &size), 0);
    EXPECT_EQ(std::string(static_cast<const char *>(out), static_cast<std::size_t>(size)), std::string(bytes, 5));
    ASSERT_EQ(TXLS_memory_put("in.xlsx", nullptr, 0), 0) << "replaced by an empty file";
    ASSERT_EQ(TXLS_memory_get("in.xlsx", &out, &size), 0);
    EXPECT_EQ(size, 0);
    EXPECT_NE(out, nullptr);
    for (auto [name, data, length] : {std::tuple<std::string, const char *, long>{"", bytes, 5}, {"x", bytes, -1},
                                      {std::string(257, 'n'), bytes, 5}})
        EXPECT_EQ(TXLS_memory_put(name.c_str(), data, length), -3) << name.size() << " " << length;
    EXPECT_EQ(TXLS_memory_get("never-written", &out, &size), -101);
    EXPECT_EQ(TXLS_memory_get("", &out, &size), -3);
}

}  // namespace
}  // namespace tabsmith
