// Replacing a file through a private temporary file: permissions kept or taken from the umask,
// symbolic links resolved to the file they name, planted names never followed, nothing left behind.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "common/file_checks.h"
#include "common/fixtures.h"
#include "support/files.h"

namespace tabsmith {
using tabsmith::testing::contents;
using tabsmith::testing::mode_of;
using tabsmith::testing::is_link;
using tabsmith::testing::names_in;

namespace {

namespace fs = std::filesystem;

// Writes `bytes` through a replacement of `target` and commits it.
int replace(const std::string &target, const std::string &bytes) {
    ReplacementFile file;
    if (int rc = file.create(target); rc != 0) return rc;
    if (::write(file.descriptor(), bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) return -1;
    return file.commit();
}

// Sets the umask for one scope.
class UmaskScope {
public:
    explicit UmaskScope(mode_t mask) : old_(::umask(mask)) {}
    ~UmaskScope() { ::umask(old_); }

private:
    mode_t old_;
};

class ReplacementFileTest : public ::testing::Test {
protected:
    testing::TempFolder dir;
};

TEST_F(ReplacementFileTest, AReplacedFileKeepsItsPermissions) {
    for (unsigned mode : {0600u, 0640u, 0604u, 0644u, 0700u, 0400u}) {
        SCOPED_TRACE(mode);
        std::string path = dir.write("kept.txt", "old");
        ASSERT_EQ(::chmod(path.c_str(), mode), 0);
        UmaskScope umask(022);
        ASSERT_EQ(replace(path, "new"), 0);
        EXPECT_EQ(contents(path), "new");
        EXPECT_EQ(mode_of(path), mode);
        EXPECT_EQ(names_in(dir.path()), std::vector<std::string>{"kept.txt"});
    }
}

TEST_F(ReplacementFileTest, ANewFileGetsWhatTheUmaskLeavesOfReadAndWrite) {
    for (mode_t mask : {022, 077, 002, 027, 0}) {
        SCOPED_TRACE(mask);
        UmaskScope umask(mask);
        EXPECT_EQ(new_file_mode(), 0666u & ~mask);
        std::string path = dir / "fresh.txt";
        ASSERT_EQ(replace(path, "made"), 0);
        EXPECT_EQ(contents(path), "made");
        EXPECT_EQ(mode_of(path), 0666u & ~mask);
        fs::remove(path);
    }
}

TEST_F(ReplacementFileTest, TheTemporaryFileIsPrivateAndBesideTheFileItReplaces) {
    std::string path = dir.write("report.txt", "old");
    ASSERT_EQ(::chmod(path.c_str(), 0644), 0);
    UmaskScope umask(0);
    ReplacementFile a, b;
    ASSERT_EQ(a.create(path), 0);
    ASSERT_EQ(b.create(path), 0);
    EXPECT_NE(a.temporary_path(), b.temporary_path());
    for (ReplacementFile *file : {&a, &b}) {
        EXPECT_EQ(fs::path(file->temporary_path()).parent_path(), fs::path(dir.path()));
        struct stat st;
        ASSERT_EQ(::lstat(file->temporary_path().c_str(), &st), 0);
        EXPECT_TRUE(S_ISREG(st.st_mode));
        EXPECT_EQ(st.st_mode & 0777, 0600u);  // nobody else reads a half-written file
        EXPECT_EQ(file->destination(), path);
    }
    EXPECT_EQ(contents(path), "old");
    std::string left = a.temporary_path();
    a.abort();
    EXPECT_FALSE(fs::exists(left));
    b.abort();
    {
        ReplacementFile dropped;  // an uncommitted file goes with its object
        ASSERT_EQ(dropped.create(path), 0);
        left = dropped.temporary_path();
        EXPECT_TRUE(fs::exists(left));
    }
    EXPECT_FALSE(fs::exists(left));
    EXPECT_EQ(contents(path), "old");
    EXPECT_EQ(names_in(dir.path()), std::vector<std::string>{"report.txt"});
}

TEST_F(ReplacementFileTest, ALinkedTargetIsReplacedWhereItsLinksEnd) {
    fs::create_directories(dir / "real");
    fs::create_directories(dir / "links");
    std::string real = dir.write("real/data.txt", "old");
    ASSERT_EQ(::chmod(real.c_str(), 0640), 0);
    struct Case {
        const char *name;
        std::vector<std::pair<std::string, std::string>> links;  // link path -> what it holds
        std::string target;
    };
    const std::vector<Case> cases = {
        {"absolute", {{dir / "links/a.txt", real}}, dir / "links/a.txt"},
        {"relative", {{dir / "links/r.txt", "../real/data.txt"}}, dir / "links/r.txt"},
        {"chain",
         {{dir / "links/c1.txt", "c2.txt"}, {dir / "links/c2.txt", "../real/data.txt"}},
         dir / "links/c1.txt"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        for (const auto &[link, to] : c.links) ASSERT_EQ(::symlink(to.c_str(), link.c_str()), 0);
        const std::string bytes = std::string("through ") + c.name;
        ASSERT_EQ(replace(c.target, bytes), 0);
        for (const auto &[link, to] : c.links) {
            EXPECT_TRUE(is_link(link));
            EXPECT_EQ(fs::read_symlink(link).string(), to);
        }
        EXPECT_EQ(contents(real), bytes);
        EXPECT_EQ(mode_of(real), 0640u);
        EXPECT_EQ(names_in(dir / "real"), std::vector<std::string>{"data.txt"});
        for (const auto &[link, to] : c.links) fs::remove(link);
    }
    // A dangling link names the file to make.
    ASSERT_EQ(::symlink("../real/new.txt", (dir / "links/d.txt").c_str()), 0);
    ASSERT_EQ(replace(dir / "links/d.txt", "born"), 0);
    EXPECT_TRUE(is_link(dir / "links/d.txt"));
    EXPECT_EQ(contents(dir / "real/new.txt"), "born");
}

TEST_F(ReplacementFileTest, TargetsThatCannotBeReplacedFailBeforeAnythingIsWritten) {
    fs::create_directories(dir / "folder.txt");
    ASSERT_EQ(::symlink("loop2", (dir / "loop1").c_str()), 0);
    ASSERT_EQ(::symlink("loop1", (dir / "loop2").c_str()), 0);
    ASSERT_EQ(::symlink((dir / "folder.txt").c_str(), (dir / "to_folder").c_str()), 0);
    const std::vector<std::string> before = names_in(dir.path());
    for (const std::string &target : {dir / "missing/x.txt", dir / "folder.txt", dir / "loop1", dir / "to_folder",
                                      dir / "slash/", std::string("/dev/null"), std::string()}) {
        SCOPED_TRACE(target);
        ReplacementFile file;
        EXPECT_EQ(file.create(target), kOpenError);
        EXPECT_EQ(file.descriptor(), -1);
        EXPECT_EQ(file.commit(), kWriteError);
    }
    EXPECT_EQ(names_in(dir.path()), before);
    EXPECT_TRUE(fs::is_directory(dir / "folder.txt"));
}

TEST_F(ReplacementFileTest, AFailedRenameRemovesTheTemporaryFile) {
    std::string path = dir / "gone.txt";
    ReplacementFile file;
    ASSERT_EQ(file.create(path), 0);
    std::string temporary = file.temporary_path();
    fs::create_directories(path);  // something takes the name meanwhile
    EXPECT_EQ(file.commit(), kWriteError);
    EXPECT_FALSE(fs::exists(temporary));
    EXPECT_TRUE(fs::is_directory(path));
    EXPECT_EQ(names_in(dir.path()), std::vector<std::string>{"gone.txt"});
}

}  // namespace
}  // namespace tabsmith
