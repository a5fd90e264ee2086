// Saves that replace files safely: links planted beside the target are never followed, the
// replaced file keeps its permissions and stays behind its links, concurrent saves to one path
// each land whole, an update never overwrites a version it did not read, temporary files of
// killed saves are cleaned, and a write that fails anywhere (a full disk included) reports -103.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <minizip/unzip.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "common/file_checks.h"
#include "common/fixtures.h"

using tabsmith::testing::BookTest;
using tabsmith::testing::TempFolder;

using tabsmith::testing::contents;
using tabsmith::testing::mode_of;
using tabsmith::testing::is_link;
using tabsmith::testing::names_in;

namespace {

namespace fs = std::filesystem;

int entries(const std::string &folder) {
    return static_cast<int>(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

// A complete archive that unzip accepts.
bool is_package(const std::string &path) {
    return contents(path).rfind("PK\x03\x04", 0) == 0 &&
           std::system(("unzip -tq '" + path + "' >/dev/null 2>&1").c_str()) == 0;
}

// One entry of a package on disk, read with minizip; empty when it cannot be read.
std::string entry_text(const std::string &archive, const char *entry) {
    unzFile zip = unzOpen64(archive.c_str());
    if (!zip) return {};
    std::string text;
    if (unzLocateFile(zip, entry, 1) == UNZ_OK && unzOpenCurrentFile(zip) == UNZ_OK) {
        char buffer[4096];
        int got;
        while ((got = unzReadCurrentFile(zip, buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<std::size_t>(got));
        if (unzCloseCurrentFile(zip) != UNZ_OK || got < 0) text.clear();
    }
    unzClose(zip);
    return text;
}

// The bytes an archive's end record gives for its central directory, or 0.
std::uint32_t central_directory_size(const std::string &bytes) {
    if (bytes.size() < 22 || bytes.compare(bytes.size() - 22, 4, "PK\x05\x06") != 0) return 0;
    const auto *at = reinterpret_cast<const unsigned char *>(bytes.data() + bytes.size() - 22 + 12);
    return at[0] | at[1] << 8 | at[2] << 16 | static_cast<std::uint32_t>(at[3]) << 24;
}

// Whether a snapshot of a file is a whole archive: its end record accounts for every byte.
bool whole_archive(const std::string &bytes) {
    if (bytes.size() < 22 || bytes.compare(0, 4, "PK\x03\x04") != 0) return false;
    const auto *end = reinterpret_cast<const unsigned char *>(bytes.data() + bytes.size() - 22);
    auto word = [&](int at) {
        return end[at] | end[at + 1] << 8 | end[at + 2] << 16 | static_cast<std::uint32_t>(end[at + 3]) << 24;
    };
    return std::string_view(bytes).substr(bytes.size() - 22, 4) == "PK\x05\x06" &&
           static_cast<std::uint64_t>(word(12)) + word(16) + 22 == bytes.size();
}

class UmaskScope {
public:
    explicit UmaskScope(mode_t mask) : old_(::umask(mask)) {}
    ~UmaskScope() { ::umask(old_); }

private:
    mode_t old_;
};

std::string write_error(const std::string &path) { return "TXLS-03121 Excelファイル書込みエラー(\"" + path + "\")。"; }

class SaveSafety : public BookTest {
protected:
    // Opens a new book to be saved at `path` with `marker` in A1.
    void create(const std::string &path, const std::string &marker = "saved") {
        ASSERT_EQ(open(("MODE=CREATE CHARSET=UTF8 BOOK=\"" + path + "\"").c_str()), 0);
        ASSERT_EQ(TXLS_open_sheet(&book, "SHEET_NAME=Data"), 0);
        ASSERT_EQ(TXLS_put_cell(&book, "A1", marker.c_str()), 0);
    }
    TempFolder dir;
};

}  // namespace

TEST_F(SaveSafety, LinksPlantedAtTemporaryNamesAreNeverFollowed) {
    TempFolder elsewhere;
    const std::string victim = elsewhere.write("victim.txt", "secret");
    const std::string target = dir / "report.xlsx";
    // The names a save could once be predicted to write: the target with ".tmp" and this or a
    // following process id, and the bare ".tmp".
    std::vector<std::string> planted = {target + ".tmp"};
    for (int step = 0; step < 4; ++step) planted.push_back(target + ".tmp" + std::to_string(::getpid() + step));
    for (const std::string &name : planted) ASSERT_EQ(::symlink(victim.c_str(), name.c_str()), 0);

    for (bool existing : {false, true}) {
        SCOPED_TRACE(existing ? "over an existing file" : "new file");
        if (existing) dir.write("report.xlsx", "old");
        create(target, existing ? "second" : "first");
        ASSERT_EQ(TXLS_close_book(&book, "SAVE"), 0) << message();
        EXPECT_TRUE(contents(victim) == "secret") << "the file behind a planted link was overwritten";
        EXPECT_FALSE(is_link(target));
        EXPECT_TRUE(is_package(target));
        EXPECT_NE(entry_text(target, "xl/sharedStrings.xml").find(existing ? "second" : "first"), std::string::npos);
        for (const std::string &name : planted) {
            EXPECT_TRUE(is_link(name)) << name;
            EXPECT_EQ(fs::read_symlink(name), victim);
        }
        EXPECT_EQ(entries(dir.path()), static_cast<int>(planted.size()) + 1);
    }
}

TEST_F(SaveSafety, ASavedFileKeepsThePermissionsOfTheFileItReplaces) {
    UmaskScope umask(022);
    for (unsigned mode : {0600u, 0640u, 0604u, 0660u, 0644u}) {
        SCOPED_TRACE(mode);
        const std::string target = dir.write("private.xlsx", "old");
        ASSERT_EQ(::chmod(target.c_str(), mode), 0);
        create(target);
        ASSERT_EQ(TXLS_close_book(&book, "SAVE"), 0) << message();
        EXPECT_EQ(mode_of(target), mode);
        EXPECT_TRUE(is_package(target));
        EXPECT_EQ(entries(dir.path()), 1);
    }
}

TEST_F(SaveSafety, ANewFileGetsTheModeTheUmaskLeaves) {
    for (mode_t mask : {022, 077, 027, 002}) {
        SCOPED_TRACE(mask);
        UmaskScope umask(mask);
        const std::string target = dir / "fresh.xlsx";
        create(target);
        ASSERT_EQ(TXLS_close_book(&book, "SAVE"), 0) << message();
        EXPECT_EQ(mode_of(target), 0666u & ~mask);
        EXPECT_TRUE(is_package(target));
        fs::remove(target);
    }
}

TEST_F(SaveSafety, ALinkedTargetStaysALinkAndItsFileGetsTheBook) {
    fs::create_directories(dir / "real");
    fs::create_directories(dir / "links");
    const std::string real = dir.write("real/book.xlsx", "old");
    ASSERT_EQ(::chmod(real.c_str(), 0640), 0);
    const std::string link = dir / "links/book.xlsx";
    ASSERT_EQ(::symlink("../real/book.xlsx", link.c_str()), 0);
    create(link, "through the link");
    ASSERT_EQ(TXLS_close_book(&book, "SAVE"), 0) << message();
    EXPECT_TRUE(is_link(link));
    EXPECT_EQ(fs::read_symlink(link), "../real/book.xlsx");
    EXPECT_TRUE(is_package(real));
    EXPECT_NE(entry_text(real, "xl/sharedStrings.xml").find("through the link"), std::string::npos);
    EXPECT_EQ(mode_of(real), 0640u);
    EXPECT_EQ(entries(dir / "real"), 1);
    EXPECT_EQ(entries(dir / "links"), 1);
}

// Each thread saves its own book to the same path again and again while a reader watches the
// file: every snapshot is a whole archive, and the last save that finished is what stays.
TEST_F(SaveSafety, ConcurrentSavesToOnePathEachLandWhole) {
    constexpr int kThreads = 4;
    constexpr int kRounds = 20;
    const std::string target = dir / "shared.xlsx";
    std::atomic<int> failures{0}, running{kThreads}, torn{0}, snapshots{0};
    std::vector<std::thread> savers;
    for (int t = 0; t < kThreads; ++t) {
        savers.emplace_back([&, t] {
            const std::string marker = "book-" + std::to_string(t);
            for (int round = 0; round < kRounds; ++round) {
                XLS_BOOK own{};
                bool ok = TXLS_open_book(&own, ("MODE=CREATE CHARSET=UTF8 BOOK=\"" + target + "\"").c_str()) == 0 &&
                          TXLS_open_sheet(&own, "SHEET_NAME=Data") == 0 &&
                          TXLS_put_cell(&own, "A1", marker.c_str()) == 0 && TXLS_close_book(&own, "SAVE") == 0;
                if (!ok) ++failures;
                TXLS_free_book(&own);
            }
            --running;
        });
    }
    std::thread watcher([&] {
        while (running > 0) {
            std::string bytes = contents(target);
            if (bytes.empty()) continue;  // not saved yet
            ++snapshots;
            if (!whole_archive(bytes)) ++torn;
        }
    });
    for (auto &saver : savers) saver.join();
    watcher.join();
    EXPECT_EQ(failures, 0);
    EXPECT_EQ(torn, 0) << "of " << snapshots << " snapshots";
    ASSERT_TRUE(is_package(target));
    const std::string strings = entry_text(target, "xl/sharedStrings.xml");
    int matching = 0;
    for (int t = 0; t < kThreads; ++t)
        if (strings.find("book-" + std::to_string(t) + "<") != std::string::npos) ++matching;
    EXPECT_EQ(matching, 1) << strings;
    EXPECT_EQ(entries(dir.path()), 1);  // no temporary file left behind
}

// Another process rewrites the file between this book's open and its save: the save is refused
// and that process's file stays as it left it. Each change leaves the other identity marks alone.
TEST_F(SaveSafety, AnUpdateRefusesAFileChangedSinceItWasRead) {
    const std::string target = dir / "shared.xlsx";
    auto set_modified = [](const std::string &path, timespec when) {
        const timespec times[2] = {{0, UTIME_OMIT}, when};
        ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    };
    auto modified = [](const std::string &path) {
        struct stat st {};
        ::stat(path.c_str(), &st);
        return st.st_mtim;
    };
    struct Case {
        const char *change;
        std::function<void()> apply;
        int rc;
    };
    const Case cases[] = {
        {"none", [] {}, 0},
        {"size", [&] { std::ofstream(target, std::ios::app | std::ios::binary) << "x"; }, -103},
        {"modification time, nanoseconds only",
         [&] {
             timespec when = modified(target);
             when.tv_nsec = (when.tv_nsec + 1000) % 1000000000;
             set_modified(target, when);
         },
         -103},
        {"replaced by a rename, same bytes and time",
         [&] {
             fs::copy_file(target, dir / "copy.xlsx");
             set_modified(dir / "copy.xlsx", modified(target));
             fs::rename(dir / "copy.xlsx", target);
         },
         -103},
        {"removed", [&] { fs::remove(target); }, -103},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.change);
        create(target, "theirs");
        ASSERT_EQ(TXLS_close_book(&book, "SAVE"), 0) << message();
        ASSERT_EQ(open(("MODE=UPDATE CHARSET=UTF8 BOOK=\"" + target + "\"").c_str()), 0) << message();
        ASSERT_EQ(TXLS_open_sheet(&book, "MODE=UPDATE SHEET_NAME=Data"), 0) << message();
        ASSERT_EQ(TXLS_put_cell(&book, "A1", "mine"), 0);
        c.apply();
        const bool exists = fs::exists(target);
        const std::string left = contents(target);
        EXPECT_EQ(TXLS_close_book(&book, "SAVE"), c.rc);
        if (c.rc == 0) {
            EXPECT_NE(entry_text(target, "xl/sharedStrings.xml").find("mine"), std::string::npos);
        } else {
            EXPECT_EQ(message(), "TXLS-03123 Excelファイルは読み込み後に変更されたため保存できません(\"" + target + "\")。");
            EXPECT_EQ(fs::exists(target), exists);
            EXPECT_TRUE(contents(target) == left) << "the other process's file changed";
        }
        EXPECT_EQ(entries(dir.path()), exists ? 1 : 0);  // no temporary file left behind
        TXLS_free_book(&book);
        fs::remove(target);
    }
}

// A save killed half way leaves its temporary file beside the target; the next save of that
// target removes it once its process is gone, and nothing else.
TEST_F(SaveSafety, ASaveRemovesTemporaryFilesOnlyOfProcessesThatAreGone) {
    const pid_t gone = ::fork();
    if (gone == 0) ::_exit(0);
    ASSERT_GT(gone, 0);
    ::waitpid(gone, nullptr, 0);
    const std::string dead = std::to_string(gone);
    TempFolder elsewhere;
    const std::string victim = elsewhere.write("victim.txt", "secret");
    enum Kind { kFile, kLink, kLocked };
    struct Leftover {
        std::string name;
        Kind kind;
        bool removed;
    };
    const Leftover leftovers[] = {
        {".report.xlsx.tabsmith-" + dead + "-aB3xYz.tmp", kFile, true},
        {".report.xlsx.tabsmith-" + std::to_string(::getppid()) + "-aB3xYz.tmp", kFile, false},
        {".report.xlsx.tabsmith-1-aB3xYz.tmp", kFile, false},
        {".report.xlsx.tabsmith-" + dead + "-locked.tmp", kLocked, false},  // a writer in another pid namespace
        {".report.xlsx.tabsmith-" + dead + "-linked.tmp", kLink, false},
        {".other.xlsx.tabsmith-" + dead + "-aB3xYz.tmp", kFile, false},
        {".report.xlsx.swp", kFile, false},
    };
    std::vector<std::string> expected = {"report.xlsx"};
    int held = -1;
    for (const Leftover &leftover : leftovers) {
        const std::string path = dir / leftover.name;
        if (leftover.kind == kLink) ASSERT_EQ(::symlink(victim.c_str(), path.c_str()), 0);
        else dir.write(leftover.name, "partial");
        if (leftover.kind == kLocked) {
            held = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
            ASSERT_EQ(::flock(held, LOCK_EX), 0);
        }
        if (!leftover.removed) expected.push_back(leftover.name);
    }
    std::sort(expected.begin(), expected.end());
    create(dir / "report.xlsx");
    EXPECT_EQ(TXLS_close_book(&book, "SAVE"), 0) << message();
    ::close(held);
    EXPECT_EQ(names_in(dir.path()), expected);
    EXPECT_EQ(contents(victim), "secret");
}

TEST_F(SaveSafety, TargetsThatCannotBeWrittenGiveAWriteError) {
    fs::create_directories(dir / "readonly");
    fs::create_directories(dir / "folder.xlsx");
    ASSERT_EQ(::chmod((dir / "readonly").c_str(), 0500), 0);
    struct Case {
        const char *why;
        std::string path;
    };
    std::vector<Case> cases = {
        {"missing folder", dir / "missing/out.xlsx"},
        {"a folder in the way", dir / "folder.xlsx"},
        {"a link that loops", dir / "loop.xlsx"},
    };
    ASSERT_EQ(::symlink("loop.xlsx", (dir / "loop.xlsx").c_str()), 0);
    if (::geteuid() != 0) cases.push_back({"folder without write permission", dir / "readonly/out.xlsx"});
    for (const Case &c : cases) {
        SCOPED_TRACE(c.why);
        create(c.path, "still here");
        EXPECT_EQ(TXLS_close_book(&book, "SAVE"), -103);
        EXPECT_EQ(TXLS_error_code(&book), -103);
        EXPECT_EQ(message(), write_error(c.path));
        ASSERT_NE(book.work, nullptr);
        EXPECT_EQ(value("A1"), "still here");
        EXPECT_EQ(entries(dir / "readonly"), 0);
        EXPECT_EQ(entries(dir.path()), 3);
        TXLS_free_book(&book);
    }
    ::chmod((dir / "readonly").c_str(), 0700);
}

namespace {

// Runs `checks` in a child process (a file size limit must not reach the test program) and
// gives back what it reported: empty when every check held.
std::string in_child(const std::function<std::string()> &checks) {
    int channel[2];
    if (::pipe(channel) != 0) return "no pipe";
    std::fflush(nullptr);
    pid_t child = ::fork();
    if (child < 0) return "no fork";
    if (child == 0) {
        ::close(channel[0]);
        std::string report = checks();
        if (!report.empty()) (void)!::write(channel[1], report.data(), report.size());
        ::_exit(0);
    }
    ::close(channel[1]);
    std::string report;
    char buffer[1024];
    ssize_t got;
    while ((got = ::read(channel[0], buffer, sizeof buffer)) > 0) report.append(buffer, static_cast<std::size_t>(got));
    ::close(channel[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) report += " [child ended abnormally]";
    return report;
}

// A book large enough that a few kilobytes of file hold only part of it: texts that do not
// compress away, the same every time.
bool fill(XLS_BOOK &record, const std::string &path) {
    if (TXLS_open_book(&record, ("MODE=CREATE CHARSET=UTF8 BOOK=\"" + path + "\"").c_str()) != 0) return false;
    if (TXLS_open_sheet(&record, "SHEET_NAME=Data") != 0) return false;
    std::mt19937 random(12345);
    for (int row = 1; row <= 1500; ++row) {
        for (int column = 1; column <= 4; ++column) {
            std::string text;
            for (int i = 0; i < 12; ++i) text += static_cast<char>('a' + random() % 26);
            char cell[32];
            TXLS_cell_name(row, column, cell, sizeof cell);
            if (TXLS_put_cell(&record, cell, text.c_str()) != 0) return false;
        }
    }
    return true;
}

struct SizeLimit {
    const char *where;
    rlim_t bytes;        // 0: just short of the finished package, so that only the central directory fails
    bool existing;       // an earlier file at the target must survive the failure
};

}  // namespace

TEST_F(SaveSafety, AFileSizeLimitAnywhereInTheSaveGivesAWriteErrorAndKeepsTheBook) {
    const SizeLimit limits[] = {
        {"first entries", 4 * 1024, false},
        {"inside the parts", 20 * 1024, false},
        {"central directory at close", 0, false},
        {"inside the parts, over an earlier file", 20 * 1024, true},
        {"central directory, over an earlier file", 0, true},
    };
    for (const SizeLimit &limit : limits) {
        SCOPED_TRACE(limit.where);
        const std::string target = dir / "limited.xlsx";
        if (limit.existing) {
            dir.write("limited.xlsx", "earlier");
            ::chmod(target.c_str(), 0600);
        }
        const std::string report = in_child([&]() -> std::string {
            std::string problems;
            auto check = [&](bool ok, const std::string &what) {
                if (!ok) problems += what + "; ";
            };
            ::signal(SIGXFSZ, SIG_IGN);
            // The finished size, from the same book saved without a limit.
            XLS_BOOK probe{};
            const std::string probe_path = dir / "probe/probe.xlsx";
            fs::create_directories(dir / "probe");
            if (!fill(probe, probe_path) || TXLS_close_book(&probe, "SAVE") != 0) return "probe save failed";
            const std::string finished = contents(probe_path);
            fs::remove_all(dir / "probe");
            const std::uint32_t directory = central_directory_size(finished);
            check(finished.size() > 24 * 1024 && directory > 200, "the book is too small for the limits");
            rlim_t bytes = limit.bytes ? limit.bytes : finished.size() - directory / 2;

            XLS_BOOK record{};
            if (!fill(record, target)) return "fill failed";
            struct rlimit old;
            ::getrlimit(RLIMIT_FSIZE, &old);
            struct rlimit small = old;
            small.rlim_cur = bytes;
            ::setrlimit(RLIMIT_FSIZE, &small);
            const int rc = TXLS_close_book(&record, "SAVE");
            ::setrlimit(RLIMIT_FSIZE, &old);
            check(rc == -103, "result " + std::to_string(rc));
            check(TXLS_error_code(&record) == -103, "error code");
            const std::string said = tabsmith::to_utf8(record.log.error_info, tabsmith::kSjis);
            check(said == write_error(target), "message: " + said);
            check(record.work != nullptr, "the book was released");
            if (limit.existing) {
                check(contents(target) == "earlier", "the earlier file changed");
                check(mode_of(target) == 0600, "the earlier file's mode changed");
            } else {
                check(!fs::exists(target), "a partial target was left");
            }
            check(entries(dir.path()) == (limit.existing ? 1 : 0), "files left in the folder");
            // Once there is room again, the same book saves.
            check(TXLS_close_book(&record, "SAVE") == 0, "second save");
            check(record.work == nullptr, "the book is still open after saving");
            check(is_package(target), "the second save is no package");
            if (limit.existing) check(mode_of(target) == 0600, "the replaced file's mode was lost");
            check(entries(dir.path()) == 1, "files left after the second save");
            TXLS_free_book(&record);
            return problems;
        });
        EXPECT_EQ(report, "");
        fs::remove(target);
    }
}
