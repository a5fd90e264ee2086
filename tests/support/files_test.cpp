// Disk-or-memory file routines, path helpers, folders, temporary folders and growable tables.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <optional>
#include <regex>
#include <string>

#include "common/fixtures.h"
#include "support/files.h"
#include "support/growable.h"
#include "support/mfile.h"

namespace tabsmith {
namespace {

bool exists(const std::string &path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

class FilesTest : public ::testing::Test {
protected:
    void SetUp() override { mclose_all(); }
    void TearDown() override { mclose_all(); }
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
    std::vector<int> when(const DateTime &t) { return {t.year, t.month, t.day, t.hour, t.minute, t.second}; }
    testing::TempFolder dir;
};

TEST_F(FilesTest, OpenModesBehaveAlikeOnDiskAndInMemory) {
    for (int on_disk : {1, 0}) {
        SCOPED_TRACE(on_disk ? "disk" : "memory");
        std::string name = on_disk ? dir / "f.txt" : "mem/f.txt";
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
    EXPECT_EQ(aod_open(1, dir.path(), kAodRead), nullptr) << "a folder is not a file";
    EXPECT_EQ(aod_open(1, std::string("a\0b", 3), kAodWrite), nullptr);
    EXPECT_FALSE(exists("a"));
    // Every line ends once.
    auto f = aod_open(0, "lines", kAodWrite);
    for (const char *line : {"a", "b\n", "c\r", ""}) aod_write_line(f.get(), line);
    aod_close(f);
    EXPECT_EQ(slurp(0, "lines"), "a\r\nb\nc\r\r\n");
}

TEST_F(FilesTest, WholeFilesCopiesSizesAndDates) {
    std::string big;
    for (int i = 0; i < 3000; ++i) big += std::to_string(i) + ",";
    ASSERT_GT(big.size(), 3 * 4096u);
    std::string a = dir / "a.csv", b = dir / "b.csv", none = dir / "none";
    spit(1, a, big);
    spit(0, "m1", big);
    std::string out;
    EXPECT_EQ(aod_read_all(1, a, out), 0);
    EXPECT_EQ(out, big);
    EXPECT_EQ(out.c_str()[out.size()], '\0');
    EXPECT_EQ(aod_read_all(1, none, out), -101);
    EXPECT_TRUE(out.empty());
    for (auto [on_disk, from, to] : {std::tuple{1, a, b}, {1, a, a}, {0, std::string("m1"), std::string("m2")},
                                     {0, std::string("m1"), std::string("m1")}}) {
        EXPECT_EQ(aod_copy(on_disk, from, to), 0) << from << " " << to;
        EXPECT_EQ(slurp(on_disk, to), big) << "copying onto itself keeps the contents";
        EXPECT_EQ(aod_fsze(on_disk, to), static_cast<std::int64_t>(big.size()));
    }
    EXPECT_EQ(aod_copy(1, none, b), -101);
    EXPECT_EQ(aod_copy(1, a, dir / "no/such/dir"), -101);
    for (auto [on_disk, name] : {std::pair{1, none}, {0, std::string("none")}, {1, dir.path()}})
        EXPECT_EQ(aod_fsze(on_disk, name), -101) << name;

    std::tm local{};
    local.tm_year = 2021 - 1900, local.tm_mon = 2, local.tm_mday = 4, local.tm_hour = 5, local.tm_min = 6;
    local.tm_sec = 7, local.tm_isdst = -1;
    struct timespec times[2] = {{mktime(&local), 0}, {mktime(&local), 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, a.c_str(), times, 0), 0);
    DateTime stamp;
    EXPECT_EQ(aod_fdate(1, a, stamp), 0);
    EXPECT_EQ(when(stamp), (std::vector<int>{2021, 3, 4, 5, 6, 7}));
    mset_datetime(mfind("m1"), {2010, 12, 31, 23, 59, 58});
    EXPECT_EQ(aod_fdate(0, "m1", stamp), 0);
    EXPECT_EQ(when(stamp), (std::vector<int>{2010, 12, 31, 23, 59, 58}));
    EXPECT_EQ(aod_fdate(1, none, stamp), -101);
    EXPECT_EQ(aod_fdate(0, "none", stamp), -101);
}

TEST(PathHelpers, ModulePathExtensionsAndSplits) {
    std::string exe;
    EXPECT_EQ(module_path(exe), 0);
    EXPECT_NE(exe.find("test_support"), std::string::npos) << exe;
    const std::pair<const char *, const char *> extensions[] = {{"dir/book.xls", "dir/book.xlsx"},
                                                                {"dir.d/book", "dir.d/book.xlsx"},
                                                                {"dir.d\\book", "dir.d\\book.xlsx"}};
    for (auto [path, expected] : extensions) EXPECT_EQ(replace_extension(path, "xlsx"), expected);
    EXPECT_EQ(replace_extension("a.b.c", "tmp"), "a.b.tmp");
    struct Case { std::string path; int charset; const char *folder, *file; } cases[] = {
        {"/var/data/out.xlsx", kUtf8, "/var/data", "out.xlsx"}, {"c:\\reports\\x.xlsx", kUtf8, "c:\\reports", "x.xlsx"},
        {"plain.xlsx", kUtf8, "", "plain.xlsx"},                {"/root.xlsx", kUtf8, "/", "root.xlsx"},
        // In Shift-JIS the second byte of 表 (95 5C) is a backslash and must not split.
        {"a/\x95\x5C.xlsx", kSjis, "a", "\x95\x5C.xlsx"},     {"\x95", kSjis, "", "\x95"},  // a lone lead byte
    };
    for (const Case &c : cases) {
        std::string folder, file;
        split_path(c.path, c.charset, folder, file);
        EXPECT_EQ(folder + "|" + file, std::string(c.folder) + "|" + c.file) << c.path;
    }
    EXPECT_TRUE(std::regex_match(datetime_stamp(), std::regex(R"(\d{4}/\d\d/\d\d \d\d:\d\d:\d\d)")));
}

TEST_F(FilesTest, MakeAndRemoveFolders) {
    EXPECT_EQ(make_folders(dir / "a/b\\c/"), 0);
    EXPECT_TRUE(exists(dir / "a/b/c"));
    EXPECT_EQ(make_folders(dir / "a/b"), 0) << "existing folders are fine";
    spit(1, dir / "a/file", "x");
    EXPECT_EQ(make_folders(dir / "a/file/sub"), -1);
    EXPECT_EQ(make_folders(""), -3);
    std::string deep = "deep";
    for (int level = 2; level <= kMaxFolderLevels; ++level) deep += "/d";
    // Relative to the scratch folder, so that only the 30 levels above count.
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    ASSERT_EQ(chdir(dir.path().c_str()), 0);
    EXPECT_EQ(make_folders(deep), 0);
    EXPECT_EQ(make_folders(deep + "/one-more"), -9);
    EXPECT_FALSE(exists(deep + "/one-more"));
    ASSERT_EQ(chdir(cwd), 0);
    // A link inside the tree is removed, not followed.
    make_folders(dir / "outside");
    spit(1, dir / "outside/keep", "x");
    ASSERT_EQ(symlink((dir / "outside").c_str(), (dir / "a/link").c_str()), 0);
    EXPECT_EQ(remove_folder_tree(dir / "a"), 0);
    EXPECT_FALSE(exists(dir / "a"));
    EXPECT_TRUE(exists(dir / "outside/keep"));
    EXPECT_EQ(remove_folder_tree(dir / "a"), 0) << "nothing left to remove";
    for (const char *refused : {"/", "//.", ""}) EXPECT_EQ(remove_folder_tree(refused), -3) << refused;
}

TEST_F(FilesTest, TempFolderFollowsTheEnvironment) {
    auto saved = [](const char *name) { return getenv(name) ? std::optional<std::string>(getenv(name)) : std::nullopt; };
    const std::optional<std::string> temp = saved("TEMP"), tmpdir = saved("TMPDIR");
    setenv("TEMP", dir.path().c_str(), 1);
    std::string path, one, two;
    EXPECT_EQ(temp_folder("OVtemp", path), 0);
    EXPECT_EQ(path, dir / "OVtemp");
    EXPECT_TRUE(exists(path));
    EXPECT_EQ(temp_folder("", path), -3);
    EXPECT_EQ(unique_temp_folder("OVtemp", one), 0);
    EXPECT_EQ(unique_temp_folder("OVtemp", two), 0);
    EXPECT_NE(one, two);
    EXPECT_EQ(one.rfind(dir / "OVtemp", 0), 0u);
    EXPECT_EQ(unique_temp_folder("a/b", one), -3);
    // An over-long TEMP is passed over for TMPDIR.
    setenv("TEMP", ("/" + std::string(300, 'x')).c_str(), 1);
    setenv("TMPDIR", dir.path().c_str(), 1);
    EXPECT_EQ(temp_folder("OVtemp2", path), 0);
    EXPECT_EQ(path, dir / "OVtemp2");
    for (auto [name, value] : {std::pair{"TEMP", temp}, {"TMPDIR", tmpdir}}) {
        if (value) setenv(name, value->c_str(), 1);
        else unsetenv(name);
    }
}

TEST(Growable, TablesGrowAndKeepTheirContents) {
    std::vector<int> table;
    EXPECT_EQ(ensure_index(table, 0, 5, 2), 0);
    table[0] = 42;
    EXPECT_EQ(ensure_index(table, 40, 5, 2), 0);
    EXPECT_GE(table.capacity(), 41u);
    EXPECT_EQ(table[0], 42);
    EXPECT_EQ(table[40], 0);
    std::vector<char> huge;
    EXPECT_EQ(ensure_index(huge, SIZE_MAX - 1, 5, 2), -2);
    EXPECT_TRUE(huge.empty());
    std::vector<std::unique_ptr<std::string>> records;
    EXPECT_EQ(ensure_record(records, 3, 16), 0);
    ASSERT_NE(records[3], nullptr);
    *records[3] = "kept";
    EXPECT_EQ(ensure_record(records, 17, 16), 0);
    ASSERT_NE(records[17], nullptr);
    EXPECT_EQ(*records[3], "kept");
}

}  // namespace
}  // namespace tabsmith
