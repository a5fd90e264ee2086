// Disk-or-memory file routines, path helpers, folders, temporary folders and growable tables.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <regex>
#include <string>

#include "support/files.h"
#include "support/growable.h"
#include "support/mfile.h"

namespace tabsmith {
namespace {

bool exists(const std::string &path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

class FilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        mclose_all();
        char pattern[] = "/tmp/files_testXXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override {
        mclose_all();
        remove_folder_tree(dir_);
    }
    std::string slurp(int on_disk, const std::string &name) {
        std::string out;
        EXPECT_EQ(aod_read_all(on_disk, name, out), 0);
        return out;
    }
    void spit(int on_disk, const std::string &name, const std::string &bytes) {
        auto f = aod_open(on_disk, name, kAodWrite);
        ASSERT_NE(f, nullptr);
        ASSERT_EQ(aod_write(f.get(), bytes.data(), bytes.size()), 0);
        ASSERT_EQ(aod_close(f), 0);
    }
    std::string dir_;
};

TEST_F(FilesTest, OpenModesBehaveAlikeOnDiskAndInMemory) {
    for (int on_disk : {1, 0}) {
        SCOPED_TRACE(on_disk ? "disk" : "memory");
        std::string name = on_disk ? dir_ + "/f.txt" : "mem/f.txt";
        EXPECT_EQ(aod_open(on_disk, name + ".none", kAodRead), nullptr);
        EXPECT_EQ(aod_open(on_disk, name, 5), nullptr);
        EXPECT_EQ(aod_open(on_disk, name, 0), nullptr);
        spit(on_disk, name, "hello");
        spit(on_disk, name, "HELLO");  // replaced
        auto f = aod_open(on_disk, name, kAodAppend);
        EXPECT_EQ(aod_write_line(f.get(), " world"), 0);
        aod_close(f);
        EXPECT_EQ(slurp(on_disk, name), "HELLO world\r\n");

        f = aod_open(on_disk, name, kAodReadWrite);  // neither truncated nor moved
        char buf[5];
        EXPECT_EQ(aod_read(f.get(), buf, 5), 5);
        EXPECT_EQ(aod_write(f.get(), "_", 1), 0);
        EXPECT_EQ(aod_seek(f.get(), -2, kAodEnd), 0);
        EXPECT_EQ(aod_tell(f.get()), 11);
        EXPECT_EQ(aod_read(f.get(), buf, 5), 2);
        EXPECT_EQ(aod_seek(f.get(), 0, 0), -3);
        EXPECT_EQ(aod_seek(f.get(), 0, 4), -3);
        EXPECT_EQ(aod_seek(f.get(), -100, kAodCurrent), -104);
        aod_close(f);
        EXPECT_EQ(slurp(on_disk, name), "HELLO_world\r\n");

        f = aod_open(on_disk, name + ".new", kAodReadWrite);
        ASSERT_NE(f, nullptr) << "read/write creates a missing file";
        EXPECT_EQ(aod_read(f.get(), buf, 5), 0);
    }
    EXPECT_EQ(aod_open(1, dir_, kAodRead), nullptr) << "a folder is not a file";
    EXPECT_EQ(aod_open(1, std::string("a\0b", 3), kAodWrite), nullptr);
    EXPECT_FALSE(exists("a"));
}

TEST_F(FilesTest, WriteLineEndsEveryLineOnce) {
    auto f = aod_open(0, "lines", kAodWrite);
    aod_write_line(f.get(), "a");
    aod_write_line(f.get(), "b\n");
    aod_write_line(f.get(), "c\r");
    aod_write_line(f.get(), "");
    aod_close(f);
    EXPECT_EQ(slurp(0, "lines"), "a\r\nb\nc\r\r\n");
}

TEST_F(FilesTest, ReadWholeFileCopyAndSize) {
    std::string big;
    for (int i = 0; i < 3000; ++i) big += std::to_string(i) + ",";
    ASSERT_GT(big.size(), 3 * 4096u);
    std::string a = dir_ + "/a.csv", b = dir_ + "/b.csv";
    spit(1, a, big);
    std::string out;
    EXPECT_EQ(aod_read_all(1, a, out), 0);
    EXPECT_EQ(out, big);
    EXPECT_EQ(out.c_str()[out.size()], '\0');
    EXPECT_EQ(aod_read_all(1, dir_ + "/none", out), -101);
    EXPECT_TRUE(out.empty());

    EXPECT_EQ(aod_copy(1, a, b), 0);
    EXPECT_EQ(slurp(1, b), big);
    EXPECT_EQ(aod_copy(1, a, a), 0);
    EXPECT_EQ(slurp(1, a), big) << "copying onto itself keeps the contents";
    EXPECT_EQ(aod_copy(1, dir_ + "/none", b), -101);
    EXPECT_EQ(aod_copy(1, a, dir_ + "/no/such/dir"), -101);

    spit(0, "m1", big);
    EXPECT_EQ(aod_copy(0, "m1", "m2"), 0);
    EXPECT_EQ(slurp(0, "m2"), big);
    EXPECT_EQ(aod_copy(0, "m1", "m1"), 0);
    EXPECT_EQ(slurp(0, "m1"), big);

    EXPECT_EQ(aod_fsze(1, a), static_cast<std::int64_t>(big.size()));
    EXPECT_EQ(aod_fsze(0, "m2"), static_cast<std::int64_t>(big.size()));
    EXPECT_EQ(aod_fsze(1, dir_ + "/none"), -101);
    EXPECT_EQ(aod_fsze(0, "none"), -101);
    EXPECT_EQ(aod_fsze(1, dir_), -101);
}

TEST_F(FilesTest, FileDateIsTheLocalLastWriteTime) {
    std::string path = dir_ + "/dated";
    spit(1, path, "x");
    std::tm local{};
    local.tm_year = 2021 - 1900, local.tm_mon = 2, local.tm_mday = 4, local.tm_hour = 5, local.tm_min = 6;
    local.tm_sec = 7, local.tm_isdst = -1;
    struct timespec times[2] = {{mktime(&local), 0}, {mktime(&local), 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    DateTime when;
    EXPECT_EQ(aod_fdate(1, path, when), 0);
    EXPECT_EQ((std::vector<int>{when.year, when.month, when.day, when.hour, when.minute, when.second}),
              (std::vector<int>{2021, 3, 4, 5, 6, 7}));
    EXPECT_EQ(aod_fdate(1, dir_ + "/none", when), -101);

    spit(0, "entry", "x");
    mset_datetime(mfind("entry"), {2010, 12, 31, 23, 59, 58});
    EXPECT_EQ(aod_fdate(0, "entry", when), 0);
    EXPECT_EQ(when.year, 2010);
    EXPECT_EQ(when.second, 58);
    EXPECT_EQ(aod_fdate(0, "none", when), -101);
}

TEST_F(FilesTest, PathHelpers) {
    std::string exe;
    EXPECT_EQ(module_path(exe), 0);
    EXPECT_NE(exe.find("test_support"), std::string::npos) << exe;

    EXPECT_EQ(replace_extension("dir/book.xls", "xlsx"), "dir/book.xlsx");
    EXPECT_EQ(replace_extension("dir.d/book", "xlsx"), "dir.d/book.xlsx");
    EXPECT_EQ(replace_extension("dir.d\\book", "xlsx"), "dir.d\\book.xlsx");
    EXPECT_EQ(replace_extension("a.b.c", "tmp"), "a.b.tmp");

    std::string folder, file;
    split_path("/var/data/out.xlsx", kUtf8, folder, file);
    EXPECT_EQ(folder, "/var/data");
    EXPECT_EQ(file, "out.xlsx");
    split_path("c:\\reports\\x.xlsx", kUtf8, folder, file);
    EXPECT_EQ(folder, "c:\\reports");
    split_path("plain.xlsx", kUtf8, folder, file);
    EXPECT_EQ(folder, "");
    EXPECT_EQ(file, "plain.xlsx");
    split_path("/root.xlsx", kUtf8, folder, file);
    EXPECT_EQ(folder, "/");
    // In Shift-JIS the second byte of 表 (95 5C) is a backslash and must not split.
    std::string sjis_name = "a/\x95\x5C.xlsx";
    split_path(sjis_name, kSjis, folder, file);
    EXPECT_EQ(folder, "a");
    EXPECT_EQ(file, "\x95\x5C.xlsx");
    split_path("\x95", kSjis, folder, file);  // a lone lead byte at the end
    EXPECT_EQ(file, "\x95");
}

TEST_F(FilesTest, MakeAndRemoveFolders) {
    EXPECT_EQ(make_folders(dir_ + "/a/b\\c/"), 0);
    EXPECT_TRUE(exists(dir_ + "/a/b/c"));
    EXPECT_EQ(make_folders(dir_ + "/a/b"), 0) << "existing folders are fine";
    spit(1, dir_ + "/a/file", "x");
    EXPECT_EQ(make_folders(dir_ + "/a/file/sub"), -1);
    EXPECT_EQ(make_folders(""), -3);

    std::string deep = "deep";
    for (int level = 2; level <= 30; ++level) deep += "/d";
    // Relative to the scratch folder, so that only the 30 levels above count.
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    ASSERT_EQ(chdir(dir_.c_str()), 0);
    EXPECT_EQ(make_folders(deep), 0);
    EXPECT_EQ(make_folders(deep + "/one-more"), -9);
    EXPECT_FALSE(exists(deep + "/one-more"));
    ASSERT_EQ(chdir(cwd), 0);

    // A link inside the tree is removed, not followed.
    std::string outside = dir_ + "/outside";
    make_folders(outside);
    spit(1, outside + "/keep", "x");
    ASSERT_EQ(symlink(outside.c_str(), (dir_ + "/a/link").c_str()), 0);
    EXPECT_EQ(remove_folder_tree(dir_ + "/a"), 0);
    EXPECT_FALSE(exists(dir_ + "/a"));
    EXPECT_TRUE(exists(outside + "/keep"));
    EXPECT_EQ(remove_folder_tree(dir_ + "/a"), 0) << "nothing left to remove";
    EXPECT_EQ(remove_folder_tree("/"), -3);
    EXPECT_EQ(remove_folder_tree("//."), -3);
    EXPECT_EQ(remove_folder_tree(""), -3);
}

TEST_F(FilesTest, TempFolderFollowsTheEnvironment) {
    const char *old_temp = getenv("TEMP");
    std::string saved = old_temp ? old_temp : "";
    setenv("TEMP", dir_.c_str(), 1);
    std::string path;
    EXPECT_EQ(temp_folder("OVtemp", path), 0);
    EXPECT_EQ(path, dir_ + "/OVtemp");
    EXPECT_TRUE(exists(path));
    EXPECT_EQ(temp_folder("", path), -3);

    std::string one, two;
    EXPECT_EQ(unique_temp_folder("OVtemp", one), 0);
    EXPECT_EQ(unique_temp_folder("OVtemp", two), 0);
    EXPECT_NE(one, two);
    EXPECT_EQ(one.rfind(dir_ + "/OVtemp", 0), 0u);
    EXPECT_EQ(unique_temp_folder("a/b", one), -3);

    setenv("TEMP", ("/" + std::string(300, 'x')).c_str(), 1);
    setenv("TMPDIR", dir_.c_str(), 1);
    EXPECT_EQ(temp_folder("OVtemp2", path), 0);
    EXPECT_EQ(path, dir_ + "/OVtemp2");
    if (old_temp) setenv("TEMP", saved.c_str(), 1); else unsetenv("TEMP");
    unsetenv("TMPDIR");
}

TEST(DateTimeStamp, HasTheFixedLayout) {
    EXPECT_TRUE(std::regex_match(datetime_stamp(), std::regex(R"(\d{4}/\d\d/\d\d \d\d:\d\d:\d\d)")));
}

TEST(Growable, ArraysGrowByFactorOrStepAndKeepContents) {
    std::vector<int> table;
    EXPECT_EQ(ensure_index(table, 0, 5, 2), 0);
    EXPECT_EQ(table.capacity(), 5u);
    table[0] = 42;
    EXPECT_EQ(ensure_index(table, 5, 5, 2), 0);
    EXPECT_EQ(table.capacity(), 10u);
    EXPECT_EQ(ensure_index(table, 40, 5, 2), 0);
    EXPECT_EQ(table.capacity(), 41u) << "at least index + 1";
    EXPECT_EQ(table[0], 42);
    EXPECT_EQ(table[40], 0);
    std::vector<char> huge;
    EXPECT_EQ(ensure_index(huge, SIZE_MAX - 1, 5, 2), -2);
    EXPECT_TRUE(huge.empty());

    std::vector<std::unique_ptr<std::string>> records;
    EXPECT_EQ(ensure_record(records, 3, 16), 0);
    EXPECT_EQ(records.capacity(), 16u);
    ASSERT_NE(records[3], nullptr);
    *records[3] = "kept";
    EXPECT_EQ(ensure_record(records, 17, 16), 0);
    EXPECT_EQ(records.capacity(), 32u);
    EXPECT_EQ(*records[3], "kept");
}

}  // namespace
}  // namespace tabsmith
