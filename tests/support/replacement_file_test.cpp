// Replacing a file through a private temporary file: permissions kept or taken from the umask,
// symbolic links resolved to the file they name, planted names never followed, nothing left behind.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/file_checks.h"
#include "common/fixtures.h"
#include "support/files.h"

namespace tabsmith {
namespace {

namespace fs = std::filesystem;
using testing::contents;
using testing::is_link;
using testing::mode_of;
using testing::names_in;
using Names = std::vector<std::string>;

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

class ReplacementFileTest : public ::testing::Test {
protected:
    testing::TempFolder dir;
};

// A replaced file keeps its permissions; a new one gets what the umask leaves of read and write.
TEST_F(ReplacementFileTest, PermissionsKeptOrTakenFromTheUmask) {
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
        fs::remove(path);
    }
}

TEST_F(ReplacementFileTest, TheTemporaryFileIsPrivateBesideItsTargetAndGoesUnlessCommitted) {
    const std::string path = dir.write("report.txt", "old");
    ASSERT_EQ(::chmod(path.c_str(), 0644), 0);
    UmaskScope umask(0);
    ReplacementFile a, b;
    ASSERT_EQ(a.create(path) | b.create(path), 0);
    EXPECT_NE(a.temporary_path(), b.temporary_path());
    for (ReplacementFile *file : {&a, &b}) {
        EXPECT_EQ(fs::path(file->temporary_path()).parent_path(), fs::path(dir.path()));
        struct stat st;
        ASSERT_EQ(::lstat(file->temporary_path().c_str(), &st), 0);
        EXPECT_TRUE(S_ISREG(st.st_mode) && (st.st_mode & 0777) == 0600u);  // nobody else reads a half-written file
        EXPECT_EQ(file->destination(), path);
    }
    std::string left = a.temporary_path();
    a.abort(), b.abort();
    EXPECT_FALSE(fs::exists(left));
    {
        ReplacementFile dropped;  // an uncommitted file goes with its object
        ASSERT_EQ(dropped.create(path), 0);
        left = dropped.temporary_path();
        EXPECT_TRUE(fs::exists(left));
    }
    EXPECT_FALSE(fs::exists(left));
    // A failed rename (something took the name meanwhile) removes the temporary file too.
    ReplacementFile raced;
    ASSERT_EQ(raced.create(dir / "gone.txt"), 0);
    left = raced.temporary_path();
    fs::create_directories(dir / "gone.txt");
    EXPECT_EQ(raced.commit(), kWriteError);
    EXPECT_FALSE(fs::exists(left));
    EXPECT_EQ(contents(path), "old");
    EXPECT_EQ(names_in(dir.path()), (Names{"gone.txt", "report.txt"}));
}

TEST_F(ReplacementFileTest, ALinkedTargetIsReplacedWhereItsLinksEnd) {
    fs::create_directories(dir / "links");
    const std::string real = dir.write("real/data.txt", "old");
    ASSERT_EQ(::chmod(real.c_str(), 0640), 0);
    UmaskScope umask(022);
    const std::tuple<const char *, std::vector<std::pair<std::string, std::string>>, const char *, const char *, unsigned> cases[] = {
        {"absolute", {{"links/a.txt", real}}, "links/a.txt", "real/data.txt", 0640},
        {"relative", {{"links/r.txt", "../real/data.txt"}}, "links/r.txt", "real/data.txt", 0640},
        {"chain", {{"links/c1.txt", "c2.txt"}, {"links/c2.txt", "../real/data.txt"}}, "links/c1.txt", "real/data.txt", 0640},
        {"dangling: the file to make", {{"links/d.txt", "../real/new.txt"}}, "links/d.txt", "real/new.txt", 0644},
    };
    for (const auto &[name, links, target, file, mode] : cases) {
        SCOPED_TRACE(name);
        for (const auto &[link, to] : links) ASSERT_EQ(::symlink(to.c_str(), (dir / link).c_str()), 0);
        ASSERT_EQ(replace(dir / target, name), 0);
        for (const auto &[link, to] : links) EXPECT_TRUE(is_link(dir / link) && fs::read_symlink(dir / link).string() == to);
        EXPECT_TRUE(contents(dir / file) == name && mode_of(dir / file) == mode) << mode_of(dir / file);
    }
    EXPECT_EQ(names_in(dir / "real"), (Names{"data.txt", "new.txt"}));
}

TEST_F(ReplacementFileTest, TargetsThatCannotBeReplacedFailBeforeAnythingIsWritten) {
    fs::create_directories(dir / "folder.txt");
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
    EXPECT_TRUE(fs::is_directory(dir / "folder.txt"));
}

}  // namespace
}  // namespace tabsmith
