// Disk-or-memory file routines, the memory-file table, the zip routing between the two, path
// helpers, folders, temporary folders, growable tables and files replaced through a private copy.

#include <gtest/gtest.h>
#include <fcntl.h>
#include <minizip/zip.h>
#include <sys/stat.h>
#include <unistd.h>

#include <optional>
#include <regex>

#include "common/file_checks.h"
#include "common/fixtures.h"
#include "support/files.h"
#include "support/growable.h"
#include "support/zip_archive.h"

namespace tabsmith {
namespace {

using testing::contents, testing::is_link, testing::mode_of, testing::names_in;
using Names = std::vector<std::string>;

bool exists(const std::string &path) { return std::filesystem::exists(std::filesystem::symlink_status(path)); }
std::string slurp(int on_disk, const std::string &name) {
    std::string out;
    return aod_read_all(on_disk, name, out) == 0 ? out : "<unreadable>";
}
void spit(int on_disk, const std::string &name, const std::string &bytes, int mode = kAodWrite) {
    auto f = aod_open(on_disk, name, mode);
    ASSERT_NE(f, nullptr);
    ASSERT_TRUE(aod_write(f.get(), bytes.data(), bytes.size()) == 0 && aod_close(f) == 0);
}
std::string text(const MFile *f) { return std::string(mdata(f)); }
std::string put(const char *name, const std::string &bytes) {
    mwrite(bytes.data(), 1, bytes.size(), mopen(name, "wb"));
    return name;
}

class FilesTest : public ::testing::Test {
protected:
    void SetUp() override { mclose_all(), mpark(0), mpark(1), saved_route_ = zip_route(); }  // nothing parked before
    void TearDown() override { set_zip_route(saved_route_), mclose_all(); }
    testing::TempFolder dir;
    int saved_route_ = -1;
};

TEST_F(FilesTest, OpenModesReadsWritesAndSeeksBehaveAlikeOnDiskAndInMemory) {
    for (int on_disk : {1, 0}) {
        SCOPED_TRACE(on_disk ? "disk" : "memory");
        const std::string name = on_disk ? dir / "f.txt" : "mem/f.txt";
        for (int mode : {int{kAodRead}, 5, 0}) EXPECT_EQ(aod_open(on_disk, name, mode), nullptr) << mode;
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
        EXPECT_EQ(std::tuple(aod_seek(f.get(), 0, 0), aod_seek(f.get(), 0, 4), aod_seek(f.get(), -100, kAodCurrent)),
                  std::tuple(kBadArgument, kBadArgument, kSeekError));
        aod_close(f);
        EXPECT_EQ(slurp(on_disk, name), "HELLO_world\r\n");
        f = aod_open(on_disk, name + ".new", kAodReadWrite);  // read/write creates a missing file
        EXPECT_TRUE(f && aod_read(f.get(), buf, 5) == 0);
    }
    EXPECT_EQ(aod_open(1, dir.path(), kAodRead), nullptr) << "a folder is not a file";
    EXPECT_TRUE(aod_open(1, std::string("a\0b", 3), kAodWrite) == nullptr && !exists("a"));
    auto f = aod_open(0, "lines", kAodWrite);
    for (const char *line : {"a", "b\n", "c\r", ""}) aod_write_line(f.get(), line);
    aod_close(f);
    EXPECT_EQ(slurp(0, "lines"), "a\r\nb\nc\r\r\n") << "every line ends once";
}

TEST_F(FilesTest, WholeFilesCopiesSizesAndDates) {
    std::string big, out;
    for (int i = 0; i < 3000; ++i) big += std::to_string(i) + ",";
    const std::string a = dir / "a.csv", none = dir / "none";
    spit(1, a, big), spit(0, "m1", big);
    EXPECT_TRUE(aod_read_all(1, a, out) == 0 && out == big && out.c_str()[out.size()] == '\0');
    EXPECT_TRUE(aod_read_all(1, none, out) == -101 && out.empty());
    for (auto [on_disk, from, to] : {std::tuple{1, a, dir / "b.csv"}, {1, a, a}, {0, std::string("m1"), std::string("m2")},
                                     {0, std::string("m1"), std::string("m1")}}) {
        EXPECT_EQ(aod_copy(on_disk, from, to), 0) << from << " " << to;
        EXPECT_TRUE(slurp(on_disk, to) == big) << "copying onto itself keeps the contents";
        EXPECT_EQ(aod_fsze(on_disk, to), static_cast<std::int64_t>(big.size()));
    }
    EXPECT_EQ(std::tuple(aod_copy(1, none, dir / "b.csv"), aod_copy(1, a, dir / "no/such/dir")), std::tuple(-101, -101));
    EXPECT_EQ(std::tuple(aod_fsze(1, none), aod_fsze(0, "none"), aod_fsze(1, dir.path())), std::tuple(-101, -101, -101));
    std::tm local{};  // 2021-03-04 05:06:07
    local.tm_year = 2021 - 1900, local.tm_mon = 2, local.tm_mday = 4, local.tm_hour = 5, local.tm_min = 6, local.tm_sec = 7;
    local.tm_isdst = -1;
    const timespec times[2] = {{mktime(&local), 0}, {mktime(&local), 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, a.c_str(), times, 0), 0);
    mset_datetime(mfind("m1"), {2010, 12, 31, 23, 59, 58});
    auto when = [](int on_disk, const std::string &name, DateTime t = {}) {
        return std::vector<int>{aod_fdate(on_disk, name, t), t.year, t.month, t.day, t.hour, t.minute, t.second};
    };
    EXPECT_EQ(when(1, a), (std::vector<int>{0, 2021, 3, 4, 5, 6, 7}));
    EXPECT_EQ(when(0, "m1"), (std::vector<int>{0, 2010, 12, 31, 23, 59, 58}));
    EXPECT_EQ(std::tuple(when(1, none)[0], when(0, "none")[0]), std::tuple(-101, -101));
}

TEST(PathHelpers, ModulePathExtensionsAndSplits) {
    std::string exe, folder, file;
    EXPECT_TRUE(module_path(exe) == 0 && exe.find("test_support") != std::string::npos) << exe;
    for (auto [path, ext, expected] : {std::tuple{"dir/book.xls", "xlsx", "dir/book.xlsx"}, {"dir.d/book", "xlsx", "dir.d/book.xlsx"},
                                       {"dir.d\\book", "xlsx", "dir.d\\book.xlsx"}, {"a.b.c", "tmp", "a.b.tmp"}})
        EXPECT_EQ(replace_extension(path, ext), expected);
    const std::tuple<std::string, int, const char *> splits[] = {
        {"/var/data/out.xlsx", kUtf8, "/var/data|out.xlsx"}, {"c:\\reports\\x.xlsx", kUtf8, "c:\\reports|x.xlsx"},
        {"plain.xlsx", kUtf8, "|plain.xlsx"}, {"/root.xlsx", kUtf8, "/|root.xlsx"},
        // In Shift-JIS the second byte of 表 (95 5C) is a backslash and must not split.
        {"a/\x95\x5C.xlsx", kSjis, "a|\x95\x5C.xlsx"}, {"\x95", kSjis, "|\x95"},  // a lone lead byte
    };
    for (const auto &[path, charset, expected] : splits) {
        split_path(path, charset, folder, file);
        EXPECT_EQ(folder + "|" + file, expected) << path;
    }
    EXPECT_TRUE(std::regex_match(datetime_stamp(), std::regex(R"(\d{4}/\d\d/\d\d \d\d:\d\d:\d\d)")));
}

TEST_F(FilesTest, MakeAndRemoveFolders) {
    EXPECT_TRUE(make_folders(dir / "a/b\\c/") == 0 && exists(dir / "a/b/c"));
    EXPECT_EQ(make_folders(dir / "a/b"), 0) << "existing folders are fine";
    spit(1, dir / "a/file", "x");
    EXPECT_EQ(std::tuple(make_folders(dir / "a/file/sub"), make_folders("")), std::tuple(-1, -3));
    // Relative to the scratch folder, so that only the levels below it count.
    std::string deep = "deep", cwd = std::filesystem::current_path();
    for (int level = 2; level <= kMaxFolderLevels; ++level) deep += "/d";
    ASSERT_EQ(chdir(dir.path().c_str()), 0);
    EXPECT_EQ(std::tuple(make_folders(deep), make_folders(deep + "/one-more"), exists(deep + "/one-more")), std::tuple(0, -9, false));
    ASSERT_EQ(chdir(cwd.c_str()), 0);
    // A link inside the tree is removed, not followed.
    dir.write("outside/keep", "x");
    ASSERT_EQ(symlink((dir / "outside").c_str(), (dir / "a/link").c_str()), 0);
    EXPECT_TRUE(remove_folder_tree(dir / "a") == 0 && !exists(dir / "a") && exists(dir / "outside/keep"));
    EXPECT_EQ(remove_folder_tree(dir / "a"), 0) << "nothing left to remove";
    for (const char *refused : {"/", "//.", ""}) EXPECT_EQ(remove_folder_tree(refused), -3) << refused;
}

TEST_F(FilesTest, TempFolderFollowsTheEnvironment) {
    auto saved = [](const char *name) { return getenv(name) ? std::optional<std::string>(getenv(name)) : std::nullopt; };
    const std::optional<std::string> temp = saved("TEMP"), tmpdir = saved("TMPDIR");
    setenv("TEMP", dir.path().c_str(), 1);
    std::string path, one, two;
    EXPECT_TRUE(temp_folder("OVtemp", path) == 0 && path == dir / "OVtemp" && exists(path));
    EXPECT_TRUE(unique_temp_folder("OVtemp", one) == 0 && unique_temp_folder("OVtemp", two) == 0 && one != two);
    EXPECT_EQ(one.rfind(dir / "OVtemp", 0), 0u);
    EXPECT_EQ(std::tuple(temp_folder("", path), unique_temp_folder("a/b", one)), std::tuple(-3, -3));
    setenv("TEMP", ("/" + std::string(300, 'x')).c_str(), 1);  // an over-long TEMP is passed over for TMPDIR
    setenv("TMPDIR", dir.path().c_str(), 1);
    EXPECT_TRUE(temp_folder("OVtemp2", path) == 0 && path == dir / "OVtemp2");
    for (auto [name, value] : {std::pair{"TEMP", temp}, {"TMPDIR", tmpdir}}) value ? setenv(name, value->c_str(), 1) : unsetenv(name);
}

TEST(Growable, TablesGrowAndKeepTheirContents) {
    std::vector<int> table;
    std::vector<char> huge;
    std::vector<std::unique_ptr<std::string>> records;
    EXPECT_EQ(ensure_index(table, 0, 5, 2), 0);
    table[0] = 42;
    EXPECT_TRUE(ensure_index(table, 40, 5, 2) == 0 && table.capacity() >= 41 && table[0] == 42 && table[40] == 0);
    EXPECT_TRUE(ensure_index(huge, SIZE_MAX - 1, 5, 2) == -2 && huge.empty());
    ASSERT_TRUE(ensure_record(records, 3, 16) == 0 && records[3]);
    *records[3] = "kept";
    EXPECT_TRUE(ensure_record(records, 17, 16) == 0 && records[17] && *records[3] == "kept");
}

TEST_F(FilesTest, MemoryFilesWriteReadSeekAndReopen) {
    MFile *f = mopen("xl/workbook.xml", "wb");
    ASSERT_NE(f, nullptr);
    EXPECT_TRUE(mwrite("abc", 1, 3, f) == 3u && mwrite("defg", 2, 2, f) == 2u && mclose(f) == 0 && f->state == kMfileClosed);
    char buf[16] = {};
    EXPECT_EQ(mread(buf, 1, sizeof buf, f), 0u) << "a closed entry is not read";
    ASSERT_EQ(mopen("xl/workbook.xml", "rb"), f);
    EXPECT_TRUE(f->position == 0 && mread(buf, 1, sizeof buf, f) == 7u && std::string(buf, 7) == "abcdefg" && meof(f) == -1);
    EXPECT_EQ(mlength("xl/workbook.xml") * 10 + mlength("other"), 70);
    EXPECT_EQ(mopen("XL/WORKBOOK.XML", "wb")->index, 1u) << "names compare case-sensitively";
    mclose(f);
    mwrite("+", 1, 1, mopen("xl/workbook.xml", "ab"));
    EXPECT_EQ(text(f), "abcdefg+");
    EXPECT_EQ(mopen("xl/workbook.xml", "wb"), f) << "opening for writing empties the same entry";
    EXPECT_EQ(std::tuple(mcount(), f->length, f->state), std::tuple(2u, 0, kMfileOpen));
    // Writes after a seek overwrite; the length grows only past the end, a gap reads as zeros.
    mwrite("abcdefgh", 1, 8, f);
    EXPECT_EQ((mseek(f, 2, 0), mwrite("XY", 1, 2, f)), 2u);
    EXPECT_TRUE(f->length == 8 && mtell(f) == 4 && mseek(f, -1, 2) == 0);
    mwrite("123", 1, 3, f);
    EXPECT_EQ((mseek(f, 5, 1), mwrite("!", 1, 1, f)), 1u);
    EXPECT_EQ(text(f), std::string("abXYefg123") + std::string(5, '\0') + "!");
    EXPECT_EQ(mseek(f, f->capacity, 0), 0);
    for (auto [offset, origin] : {std::pair{f->capacity + 1, 0}, {-1, 0}, {0, 3}}) EXPECT_EQ(mseek(f, offset, origin), -1);
    EXPECT_TRUE(mseek(f, 3, 0) == 0 && mread(buf, 2, 2, f) == 4u && std::string(buf, 4) == "Yefg" && meof(f) == 0);
    // A read open loads the disk file once; the table entry wins over the disk afterwards.
    const std::string path = dir.write("book.xlsx", std::string("PK\3\4") + std::string(5000, 'z'));
    MFile *disk = mopen(path, "rb");
    ASSERT_TRUE(disk && text(disk) == std::string("PK\3\4") + std::string(5000, 'z'));
    unlink(path.c_str());
    EXPECT_EQ(mopen(path, "rb"), disk);
    EXPECT_EQ(mopen(dir / "missing.xlsx", "rb"), nullptr);
    EXPECT_EQ(mlast_error(), "mopen() aod_fsze() rc=-101");
    EXPECT_EQ(mopen(dir.path(), "rb"), nullptr) << "a folder is not a file";
    // Growth keeps the contents; from 100 MiB on it adds 10 MiB steps instead of doubling.
    const std::string small(1022, 'a'), big(10000, 'c');
    MFile *g = mopen("g", "wb");
    for (const std::string &piece : {small, std::string("b"), big}) mwrite(piece.data(), 1, piece.size(), g);
    EXPECT_TRUE(text(g) == small + "b" + big && g->capacity >= g->length);
    std::filesystem::resize_file(dir.write("at", ""), kMfileBigCapacity);
    MFile *at = mopen(dir / "at", "ab");
    ASSERT_TRUE(at && mwrite("x", 1, 1, at) == 1u);
    EXPECT_EQ(at->capacity, kMfileBigCapacity + kMfileBigStep);
    const std::vector<char> chunk(2 * kMfileBigStep + 5, 'y');
    mwrite(chunk.data(), 1, chunk.size(), at);
    EXPECT_EQ(std::tuple(at->capacity, at->length, mdata(at)[kMfileBigCapacity]),
              std::tuple(kMfileBigCapacity + 3 * kMfileBigStep, kMfileBigCapacity + 1 + 2 * kMfileBigStep + 5, 'x'));
}

TEST_F(FilesTest, MemoryTableLimitsReleaseAndBadArguments) {
    for (std::size_t i = 0; i < MFILE_MAX_OPEN_FILES; ++i) {
        ASSERT_NE(mopen("f" + std::to_string(i), "wb"), nullptr) << i;
        mtruncate("f" + std::to_string(i));  // keep the test small
    }
    EXPECT_EQ(mopen("one-too-many", "wb"), nullptr);
    EXPECT_EQ(mlast_error(), "mopen() Mfile_ct >= MFILE_MAX_OPEN_FILES");
    MFile *old = mopen("f99999", "wb");  // old names reopen
    ASSERT_NE(old, nullptr);
    EXPECT_EQ(std::tuple(old->index, mwrite("ok", 1, 2, old)), std::tuple(99999u, 2u));
    MFile *t = mopen("f1", "rb");  // a truncated file takes writes again
    EXPECT_TRUE(mwrite("again", 1, 5, t) == 5u && text(t) == "again");
    mclose_all();
    // A released entry is invisible but still counted, and takes no writes.
    MFile *b = mopen(put("b", "bee"), "rb");
    mopen("a", "wb"), mopen("c", "wb");
    EXPECT_EQ(mrelease("b"), 0);
    EXPECT_EQ(std::tuple(b->state, mwrite("x", 1, 1, b), mclose(b), b->state), std::tuple(kMfileReleased, 0u, 0, kMfileReleased));
    EXPECT_EQ(mlist(), (std::vector<std::string>{"a", "c"}));
    EXPECT_TRUE(mcount() == 3 && mfind("b") == nullptr && mopen("b", "rb") == nullptr);
    EXPECT_EQ(mopen("b", "wb")->index, 3u);
    EXPECT_EQ(mrelease("never-opened"), 0);
    for (auto [name, mode] : {std::pair<std::string, const char *>{"", "wb"}, {std::string(257, 'n'), "wb"}, {"x", "w"}, {"x", "a+"}})
        EXPECT_EQ(mopen(name, mode), nullptr) << name.size() << mode;
    EXPECT_NE(mopen(std::string(256, 'n'), "wb"), nullptr);
    EXPECT_EQ(std::tuple(mwrite("x", 1, 1, nullptr), mread(nullptr, 1, 1, nullptr), mseek(nullptr, 0, 0), mtell(nullptr),
                         mclose(nullptr)), std::tuple(0u, 0u, -1, -1, -1));
    MFile *o = mopen("o", "wb");
    EXPECT_TRUE(mwrite("x", SIZE_MAX / 2, 3, o) == 0 && o->length == 0) << "size x count overflows";
}

// The route is fixed per open archive: switching it while one is open does not confuse the handle.
TEST_F(FilesTest, ZipRouteAndTheMemoryCalls) {
    EXPECT_TRUE(orv_zip_on_memory(0) == 0 && zip_route() == 0);
    zlib_filefunc64_def functions = zip_file_functions();
    zipFile zf = zipOpen2_64("switch.zip", APPEND_STATUS_CREATE, nullptr, &functions);
    ASSERT_NE(zf, nullptr);
    orv_zip_on_memory(1);
    zip_fileinfo info{};
    ASSERT_EQ(zipOpenNewFileInZip(zf, "a", &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED, 6), ZIP_OK);
    ASSERT_TRUE(zipWriteInFileInZip(zf, "abc", 3) == ZIP_OK && zipCloseFileInZip(zf) == ZIP_OK && zipClose(zf, nullptr) == ZIP_OK);
    EXPECT_FALSE(exists("switch.zip"));
    ZipPackageReader reader;
    std::string out;
    EXPECT_TRUE(reader.open("switch.zip", true) == 0 && reader.read(0, out, 100) == 0 && out == "abc");
    const char bytes[] = {'P', 'K', 0, 3, 4};
    const void *got = nullptr;
    long size = -1;
    ASSERT_TRUE(TXLS_memory_put("in.xlsx", bytes, 5) == 0 && TXLS_memory_get("in.xlsx", &got, &size) == 0);
    EXPECT_EQ(std::string(static_cast<const char *>(got), static_cast<std::size_t>(size)), std::string(bytes, 5));
    ASSERT_TRUE(TXLS_memory_put("in.xlsx", nullptr, 0) == 0 && TXLS_memory_get("in.xlsx", &got, &size) == 0);
    EXPECT_TRUE(size == 0 && got != nullptr) << "replaced by an empty file";
    for (auto [name, length] : {std::pair<std::string, long>{"", 5}, {"x", -1}, {std::string(257, 'n'), 5}})
        EXPECT_EQ(TXLS_memory_put(name.c_str(), bytes, length), -3) << name.size() << " " << length;
    EXPECT_EQ(std::tuple(TXLS_memory_get("never-written", &got, &size), TXLS_memory_get("", &got, &size)), std::tuple(-101, -3));
}

// Writes `bytes` through a replacement of `target` and commits it.
int replace(const std::string &target, const std::string &bytes) {
    ReplacementFile file;
    if (int rc = file.create(target); rc != 0) return rc;
    if (::write(file.descriptor(), bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) return -1;
    return file.commit();
}

// Sets the umask for one scope.
struct UmaskScope {
    explicit UmaskScope(mode_t mask) : old(::umask(mask)) {}
    ~UmaskScope() { ::umask(old); }
    mode_t old;
};


// A replaced file keeps its permissions; a new one gets what the umask leaves of read and write.
TEST_F(FilesTest, ReplacementKeepsPermissionsOrTakesThemFromTheUmask) {
    const std::tuple<unsigned, mode_t, unsigned> cases[] = {
        {0600, 022, 0600}, {0640, 022, 0640}, {0604, 022, 0604}, {0644, 022, 0644}, {0700, 022, 0700}, {0400, 022, 0400},
        {0, 022, 0644}, {0, 077, 0600}, {0, 002, 0664}, {0, 027, 0640}, {0, 0, 0666},  // 0: no file before
    };
    for (const auto &[before, mask, after] : cases) {
        SCOPED_TRACE(std::to_string(before) + " " + std::to_string(mask));
        const std::string path = before ? dir.write("kept.txt", "old") : dir / "kept.txt";
        ASSERT_TRUE(!before || ::chmod(path.c_str(), before) == 0);
        UmaskScope umask(mask);
        EXPECT_EQ(new_file_mode(), 0666u & ~mask);
        ASSERT_EQ(replace(path, "new"), 0);
        EXPECT_TRUE(contents(path) == "new" && mode_of(path) == after) << mode_of(path);
        EXPECT_EQ(names_in(dir.path()), Names{"kept.txt"});
        std::filesystem::remove(path);
    }
}

TEST_F(FilesTest, ReplacementTemporaryFileIsPrivateBesideItsTargetAndGoesUnlessCommitted) {
    const std::string path = dir.write("report.txt", "old");
    ASSERT_EQ(::chmod(path.c_str(), 0644), 0);
    UmaskScope umask(0);
    ReplacementFile a, b;
    ASSERT_EQ(a.create(path) | b.create(path), 0);
    EXPECT_NE(a.temporary_path(), b.temporary_path());
    for (ReplacementFile *file : {&a, &b}) {
        EXPECT_EQ(std::filesystem::path(file->temporary_path()).parent_path(), std::filesystem::path(dir.path()));
        struct stat st;
        ASSERT_EQ(::lstat(file->temporary_path().c_str(), &st), 0);
        EXPECT_TRUE(S_ISREG(st.st_mode) && (st.st_mode & 0777) == 0600u);  // nobody else reads a half-written file
        EXPECT_EQ(file->destination(), path);
    }
    std::string left = a.temporary_path();
    EXPECT_FALSE((a.abort(), b.abort(), exists(left)));
    {
        ReplacementFile dropped;  // an uncommitted file goes with its object
        ASSERT_EQ(dropped.create(path), 0);
        left = dropped.temporary_path();
        EXPECT_TRUE(exists(left));
    }
    EXPECT_FALSE(exists(left));
    // A failed rename (something took the name meanwhile) removes the temporary file too.
    ReplacementFile raced;
    ASSERT_EQ(raced.create(dir / "gone.txt"), 0);
    left = raced.temporary_path();
    std::filesystem::create_directories(dir / "gone.txt");
    EXPECT_TRUE(raced.commit() == kWriteError && !exists(left) && contents(path) == "old");
    EXPECT_EQ(names_in(dir.path()), (Names{"gone.txt", "report.txt"}));
}

TEST_F(FilesTest, ReplacementTargetsThatCannotBeReplacedFailBeforeAnythingIsWritten) {
    std::filesystem::create_directories(dir / "folder.txt");
    ASSERT_EQ(::symlink("loop2", (dir / "loop1").c_str()) | ::symlink("loop1", (dir / "loop2").c_str()), 0);
    ASSERT_EQ(::symlink((dir / "folder.txt").c_str(), (dir / "to_folder").c_str()), 0);
    const Names before = names_in(dir.path());
    for (const std::string &target : {dir / "missing/x.txt", dir / "folder.txt", dir / "loop1", dir / "to_folder",
                                      dir / "slash/", std::string("/dev/null"), std::string()}) {
        ReplacementFile file;  // a create that succeeded must not go on to replace the target
        ASSERT_EQ(file.create(target), kOpenError) << target;
        EXPECT_EQ(file.descriptor(), -1);
        EXPECT_EQ(file.commit(), kWriteError);
    }
    EXPECT_EQ(names_in(dir.path()), before);
    EXPECT_TRUE(std::filesystem::is_directory(dir / "folder.txt"));
}

}  // namespace
}  // namespace tabsmith
