// Zip archives in memory and on disk: round trips, entry names and order, corrupt and hostile
// archives, limits, and the exported memory-file utilities.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <minizip/unzip.h>
#include <minizip/zip.h>
#include <zlib.h>

#include <cstdlib>
#include <random>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "common/fixtures.h"
#include "support/files.h"
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
    static void put(const std::string &name, const std::string &bytes) {
        ASSERT_EQ(TXLS_memory_put(name.c_str(), bytes.data(), static_cast<long>(bytes.size())), 0);
    }
    static std::string mem(const std::string &name) {
        const MFile *f = mfind(name);
        return f ? std::string(mdata(f)) : std::string("<missing>");
    }
    static std::string disk(const std::string &path) {
        std::string out;
        return aod_read_all(1, path, out) == 0 ? out : std::string("<missing>");
    }
    static void write_disk(const std::string &path, const std::string &bytes) {
        std::size_t slash = path.rfind('/');
        ASSERT_EQ(make_folders(path.substr(0, slash)), 0);
        auto f = aod_open(1, path, kAodWrite);
        ASSERT_TRUE(f);
        ASSERT_EQ(aod_write(f.get(), bytes.data(), bytes.size()), 0);
        ASSERT_EQ(aod_close(f), 0);
    }
    // Entry names and DOS date/times of an archive, read through the current route.
    static std::vector<std::pair<std::string, uLong>> entries(const std::string &archive) {
        std::vector<std::pair<std::string, uLong>> out;
        zlib_filefunc64_def functions = zip_file_functions();
        unzFile uf = unzOpen2_64(archive.c_str(), &functions);
        if (!uf) return out;
        for (int rc = unzGoToFirstFile(uf); rc == UNZ_OK; rc = unzGoToNextFile(uf)) {
            unz_file_info64 info;
            char name[1024];
            unzGetCurrentFileInfo64(uf, &info, name, sizeof name, nullptr, 0, nullptr, 0);
            out.emplace_back(name, info.dosDate);
        }
        unzClose(uf);
        return out;
    }
    // Builds an archive with minizip directly, so that its names need not pass our writer.
    static void forge(const std::string &archive, const std::vector<std::pair<std::string, std::string>> &files) {
        zlib_filefunc64_def functions = zip_file_functions();
        zipFile zf = zipOpen2_64(archive.c_str(), APPEND_STATUS_CREATE, nullptr, &functions);
        ASSERT_NE(zf, nullptr);
        for (const auto &[name, bytes] : files) {
            zip_fileinfo info{};
            ASSERT_EQ(zipOpenNewFileInZip64(zf, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                                            Z_DEFAULT_COMPRESSION, 0),
                      ZIP_OK);
            ASSERT_EQ(zipWriteInFileInZip(zf, bytes.data(), static_cast<unsigned>(bytes.size())), ZIP_OK);
            ASSERT_EQ(zipCloseFileInZip(zf), ZIP_OK);
        }
        ASSERT_EQ(zipClose(zf, nullptr), ZIP_OK);
    }
    testing::TempFolder folder;
    const std::string dir_ = folder.path();
    int saved_route_ = -1;
};

std::string noise(std::size_t size, unsigned seed) {
    std::mt19937 gen(seed);
    std::string out(size, '\0');
    for (char &c : out) c = static_cast<char>(gen());
    return out;
}

const std::vector<std::string> kParts = {"[Content_Types].xml", "xl/workbook.xml", "xl/worksheets/sheet10.xml",
                                         "xl/worksheets/sheet2.xml", "xl/media/image1.png", "docProps/empty.xml"};

void put_parts() {
    for (std::size_t i = 0; i < kParts.size(); ++i) {
        std::string bytes = kParts[i] == "xl/media/image1.png" ? noise(100000, 7)
                            : kParts[i] == "docProps/empty.xml" ? std::string()
                                                                 : "<x>" + std::string(5000 * i, 'a') + "</x>";
        ASSERT_EQ(TXLS_memory_put(kParts[i].c_str(), bytes.data(), static_cast<long>(bytes.size())), 0);
    }
}

TEST_F(ZipArchiveTest, MemoryToMemoryRoundTripKeepsOrderAndLeavesNoDiskFile) {
    put_parts();
    std::vector<std::string> expected;
    for (const auto &n : kParts) expected.push_back(mem(n));
    mset_datetime(mfind("xl/workbook.xml"), DateTime{2019, 12, 31, 23, 59, 59});
    set_zip_route(0);
    const std::string archive = dir_ + "/book.xlsx";
    ASSERT_EQ(zip_write_package(0, archive, "", kParts), 0);
    EXPECT_FALSE(exists(archive));
    ASSERT_NE(mfind(archive), nullptr);

    auto listed = entries(archive);
    ASSERT_EQ(listed.size(), kParts.size());
    for (std::size_t i = 0; i < kParts.size(); ++i) EXPECT_EQ(listed[i].first, kParts[i]);

    for (const auto &n : kParts) mrelease(n);
    std::vector<std::string> names;
    ASSERT_EQ(zip_extract_package(0, archive, "", 100, &names), 0);
    EXPECT_EQ(names, kParts);
    for (std::size_t i = 0; i < kParts.size(); ++i) EXPECT_EQ(mem(kParts[i]), expected[i]) << kParts[i];
    DateTime when;
    ASSERT_EQ(aod_fdate(0, "xl/workbook.xml", when), 0);
    EXPECT_EQ(std::vector<int>({when.year, when.month, when.day, when.hour, when.minute, when.second}),
              std::vector<int>({2019, 12, 31, 23, 59, 58}))
        << "the entry's time travels with it, in DOS 2-second steps";
}

TEST_F(ZipArchiveTest, MemoryPartsToDiskArchivePassUnzipAndCarryTheirStamps) {
    put_parts();
    mset_datetime(mfind("xl/workbook.xml"), DateTime{2021, 3, 4, 5, 6, 8});
    set_zip_route(1);
    const std::string archive = dir_ + "/out.xlsx";
    write_disk(archive, "an older file in the way");
    ASSERT_EQ(zip_write_package(0, archive, "", kParts), 0);
    EXPECT_EQ(std::system(("unzip -tqq " + archive + " >/dev/null").c_str()), 0);

    auto listed = entries(archive);
    ASSERT_EQ(listed.size(), kParts.size());
    const uLong stamped = (41ul << 25) | (3ul << 21) | (4ul << 16) | (5ul << 11) | (6ul << 5) | 4ul;
    EXPECT_EQ(listed[1].second, stamped);
    EXPECT_GE(listed[0].second >> 25, 40u) << "unstamped parts carry the time they were written";
}

TEST_F(ZipArchiveTest, DiskPartsToMemoryArchiveAndBackToDisk) {
    const std::string parts = dir_ + "/parts";
    write_disk(parts + "/xl/workbook.xml", "<workbook/>");
    write_disk(parts + "/xl/worksheets/sheet1.xml", std::string(70000, 's'));
    write_disk(parts + "/[Content_Types].xml", "<Types/>");
    struct timespec old_times[2] = {{0, UTIME_OMIT}, {1262347230, 0}};  // 2010-01-01 ~12:00 UTC
    ASSERT_EQ(utimensat(AT_FDCWD, (parts + "/xl/workbook.xml").c_str(), old_times, 0), 0);

    set_zip_route(0);
    const std::vector<std::string> names = {"/[Content_Types].xml", "\\xl/workbook.xml", "//xl/worksheets/sheet1.xml"};
    ASSERT_EQ(zip_write_package(1, "memory.xlsx", parts, names), 0);
    auto listed = entries("memory.xlsx");
    ASSERT_EQ(listed.size(), 3u);
    EXPECT_EQ(listed[0].first, "[Content_Types].xml");
    EXPECT_EQ(listed[1].first, "xl/workbook.xml");
    EXPECT_EQ(listed[2].first, "xl/worksheets/sheet1.xml");

    const std::string out = dir_ + "/out";
    write_disk(out + "/stale.txt", "removed by the extraction");
    std::vector<std::string> extracted;
    ASSERT_EQ(zip_extract_package(1, "memory.xlsx", out, 10, &extracted), 0);
    EXPECT_EQ(extracted.size(), 3u);
    EXPECT_FALSE(exists(out + "/stale.txt"));
    EXPECT_EQ(disk(out + "/xl/workbook.xml"), "<workbook/>");
    EXPECT_EQ(disk(out + "/xl/worksheets/sheet1.xml"), std::string(70000, 's'));
    struct stat st;
    ASSERT_EQ(stat((out + "/xl/workbook.xml").c_str(), &st), 0);
    EXPECT_LE(std::llabs(static_cast<long long>(st.st_mtime) - 1262347230), 1) << "DOS times have 2 s steps";
}

TEST_F(ZipArchiveTest, WriteFailures) {
    put("a.xml", "<a/>");
    set_zip_route(0);
    EXPECT_EQ(zip_write_package(0, "z1", "", {"a.xml", "missing.xml"}), -101);
    EXPECT_EQ(zip_write_package(0, "z2", "", {"/"}), -101) << "nothing left to name the entry";
    EXPECT_EQ(zip_write_package(0, "z3", "", {"a.xml", "z3"}), -101) << "the archive cannot hold itself";
    EXPECT_EQ(zip_write_package(1, "z4", dir_ + "/no-such-folder", {"a.xml"}), -1);
    EXPECT_EQ(zip_write_package(1, "z5", "", {"a.xml"}), -1);
    set_zip_route(1);
    EXPECT_EQ(zip_write_package(0, dir_ + "/no-such-folder/z.xlsx", "", {"a.xml"}), -101);
    EXPECT_EQ(zip_write_package(0, dir_, "", {"a.xml"}), -101) << "a folder is no archive";
}

TEST_F(ZipArchiveTest, ExtractArgumentsAndCapacity) {
    set_zip_route(0);
    forge("three.zip", {{"a", "1"}, {"b", "2"}, {"c", "3"}});
    std::vector<std::string> names;
    EXPECT_EQ(zip_extract_package(0, "three.zip", "", 0, &names), -3);
    EXPECT_EQ(zip_extract_package(1, "three.zip", "", 10, &names), -3);
    {
        // Should the guard ever fail, these would empty the test's own folder and nothing else.
        const std::string sandbox = dir_ + "/sandbox";
        write_disk(sandbox + "/x/y/keep.txt", "kept");
        char previous[4096];
        ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
        ASSERT_EQ(chdir(sandbox.c_str()), 0);
        EXPECT_EQ(zip_extract_package(1, "three.zip", ".", 10, &names), -3) << "would empty the current folder";
        EXPECT_EQ(zip_extract_package(1, "three.zip", "./", 10, &names), -3);
        EXPECT_EQ(zip_extract_package(1, "three.zip", "x/..", 10, &names), -3);
        EXPECT_EQ(zip_extract_package(1, "three.zip", "x/y/../..", 10, &names), -3);
        ASSERT_EQ(chdir(previous), 0);
        EXPECT_EQ(zip_extract_package(1, "three.zip", sandbox + "/x/y/..", 10, &names), -3);
        EXPECT_EQ(disk(sandbox + "/x/y/keep.txt"), "kept");
    }
    EXPECT_EQ(zip_extract_package(0, "no-such.zip", "", 10, &names), -101);

    const std::string out = dir_ + "/out";
    write_disk(out + "/keep.txt", "untouched");
    EXPECT_EQ(zip_extract_package(1, "three.zip", out, 3, &names), -9);
    EXPECT_TRUE(names.empty());
    EXPECT_EQ(disk(out + "/keep.txt"), "untouched") << "-9 comes before anything is written";
    EXPECT_EQ(zip_extract_package(1, "three.zip", out, 4, &names), 0);
    EXPECT_EQ(names, (std::vector<std::string>{"a", "b", "c"}));

    forge("empty.zip", {});
    EXPECT_EQ(zip_extract_package(0, "empty.zip", "", 1, &names), 0);
    EXPECT_TRUE(names.empty());
}

TEST_F(ZipArchiveTest, FolderEntriesAndBackslashNames) {
    set_zip_route(0);
    forge("dirs.zip", {{"xl/", ""}, {"xl\\media\\", ""}, {"xl\\media\\a.bin", "AB"}, {"xl/b.xml", "<b/>"}});
    std::vector<std::string> names;
    ASSERT_EQ(zip_extract_package(0, "dirs.zip", "", 10, &names), 0);
    EXPECT_EQ(names, (std::vector<std::string>{"xl\\media\\a.bin", "xl/b.xml"}));
    EXPECT_EQ(mem("xl\\media\\a.bin"), "AB") << "memory files keep the entry's exact name";

    const std::string out = dir_ + "/out";
    ASSERT_EQ(zip_extract_package(1, "dirs.zip", out, 10, &names), 0);
    EXPECT_EQ(disk(out + "/xl/media/a.bin"), "AB");
    EXPECT_EQ(disk(out + "/xl/b.xml"), "<b/>");
}

TEST_F(ZipArchiveTest, HostileNamesAreRefusedBeforeAnythingIsWritten) {
    set_zip_route(0);
    const std::string out = dir_ + "/a/b/out";
    for (const char *bad : {"../evil.txt", "xl/../../evil.txt", "..\\evil.txt", "xl\\..\\..\\evil.txt", "/evil.txt",
                            "\\evil.txt", "xl/..", "../", "/"}) {
        SCOPED_TRACE(bad);
        forge("bad.zip", {{"first.txt", "fine"}, {bad, "pwned"}});
        std::vector<std::string> names;
        EXPECT_EQ(zip_extract_package(1, "bad.zip", out, 10, &names), kZipUnsafeEntry);
        EXPECT_EQ(zip_extract_package(0, "bad.zip", "", 10, &names), kZipUnsafeEntry);
        EXPECT_FALSE(exists(out + "/first.txt"));
        EXPECT_EQ(mfind("first.txt"), nullptr);
        EXPECT_FALSE(exists(dir_ + "/a/b/evil.txt"));
        EXPECT_FALSE(exists(dir_ + "/a/evil.txt"));
        EXPECT_FALSE(exists("/evil.txt"));
    }
    forge("self.zip", {{"self.zip", "replaces the archive while it is read"}});
    EXPECT_EQ(zip_extract_package(0, "self.zip", "", 10, nullptr), kZipUnsafeEntry);
    // Dots inside names are ordinary.
    forge("dots.zip", {{"a..b/..c", "ok"}, {"./x", "ok"}});
    ASSERT_EQ(zip_extract_package(1, "dots.zip", out, 10, nullptr), 0);
    EXPECT_EQ(disk(out + "/a..b/..c"), "ok");
}

TEST_F(ZipArchiveTest, NameLengthLimit) {
    set_zip_route(0);
    std::string longest = std::string(200, 'd') + "/" + std::string(55, 'f');  // 256 bytes
    forge("ok.zip", {{longest, "x"}});
    std::vector<std::string> names;
    ASSERT_EQ(zip_extract_package(0, "ok.zip", "", 10, &names), 0);
    EXPECT_EQ(names, std::vector<std::string>{longest});
    forge("long.zip", {{longest + "g", "x"}});
    EXPECT_EQ(zip_extract_package(0, "long.zip", "", 10, &names), -9);
}

TEST_F(ZipArchiveTest, CorruptAndTruncatedArchivesFailCleanly) {
    put_parts();
    set_zip_route(0);
    ASSERT_EQ(zip_write_package(0, "good.zip", "", kParts), 0);
    const std::string good(mem("good.zip"));

    put("noise.zip", noise(5000, 3));
    EXPECT_LT(zip_extract_package(0, "noise.zip", "", 100, nullptr), 0);
    put("empty.zip", "");
    EXPECT_LT(zip_extract_package(0, "empty.zip", "", 100, nullptr), 0);

    for (std::size_t cut = 0; cut < good.size(); cut += good.size() / 97 + 1) {
        put("cut.zip", good.substr(0, cut));
        EXPECT_LT(zip_extract_package(0, "cut.zip", "", 100, nullptr), 0) << cut;
    }
    // A flipped byte in the compressed data of the picture is caught by inflate or by the CRC.
    std::string damaged = good;
    std::size_t at = damaged.find("image1.png") + 10 + 50000;
    damaged[at] = static_cast<char>(damaged[at] ^ 0x55);
    put("damaged.zip", damaged);
    EXPECT_LT(zip_extract_package(0, "damaged.zip", "", 100, nullptr), 0);

    // Every single-byte change must end in a result, never a crash or a hang.
    std::mt19937 gen(11);
    for (int round = 0; round < 300; ++round) {
        std::string copy = good;
        copy[gen() % copy.size()] = static_cast<char>(gen());
        put("fuzz.zip", copy);
        int rc = zip_extract_package(0, "fuzz.zip", "", 100, nullptr);
        EXPECT_LE(rc, 0);
    }
}

TEST_F(ZipArchiveTest, DeclaredSizesAreChecked) {
    set_zip_route(0);
    // Raw entries let the test declare sizes the data does not have.
    auto raw = [](const char *archive, const std::string &stored, ZPOS64_T declared, uLong crc, int count = 1) {
        zlib_filefunc64_def functions = zip_file_functions();
        zipFile zf = zipOpen2_64(archive, APPEND_STATUS_CREATE, nullptr, &functions);
        ASSERT_NE(zf, nullptr);
        for (int i = 0; i < count; ++i) {
            zip_fileinfo info{};
            std::string name = "part" + std::to_string(i) + ".xml";
            ASSERT_EQ(zipOpenNewFileInZip3_64(zf, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, 0, 0, 1,
                                              -MAX_WBITS, 8, Z_DEFAULT_STRATEGY, nullptr, 0, 1),
                      ZIP_OK);
            ASSERT_EQ(zipWriteInFileInZip(zf, stored.data(), static_cast<unsigned>(stored.size())), ZIP_OK);
            ASSERT_EQ(zipCloseFileInZipRaw64(zf, declared, crc), ZIP_OK);
        }
        ASSERT_EQ(zipClose(zf, nullptr), ZIP_OK);
    };
    const std::string data = "hello";
    const uLong crc = crc32(0, reinterpret_cast<const Bytef *>(data.data()), 5);
    raw("exact.zip", data, 5, crc);
    ASSERT_EQ(zip_extract_package(0, "exact.zip", "", 10, nullptr), 0);
    EXPECT_EQ(mem("part0.xml"), "hello");
    raw("short.zip", data, 10, crc);
    EXPECT_EQ(zip_extract_package(0, "short.zip", "", 10, nullptr), kZipBadSize);
    raw("crc.zip", data, 5, crc ^ 1);
    EXPECT_EQ(zip_extract_package(0, "crc.zip", "", 10, nullptr), UNZ_CRCERROR);
    mrelease("part0.xml");
    // A few kilobytes that claim to unpack to 20 GiB are refused before a byte is written.
    raw("huge.zip", data, 0xFFFFFFFFu, crc, 5);
    EXPECT_EQ(zip_extract_package(0, "huge.zip", "", 10, nullptr), -9);
    EXPECT_EQ(mfind("part0.xml"), nullptr);
}

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
    EXPECT_EQ(zip_extract_package(0, "switch.zip", "", 10, nullptr), 0);
    EXPECT_EQ(mem("a"), "abc");
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
