// Saving books: where a saved book lands under every memory switch, what a save keeps, and files
// replaced safely (links, modes, concurrent saves, changed files, leftovers, write errors anywhere).

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <regex>
#include <string>
#include <vector>

#include "common/file_checks.h"
#include "common/fixtures.h"
#include "common/package_reader.h"
#include "support/mfile.h"

using namespace tabsmith::testing;

namespace {

namespace fs = std::filesystem;

int entries(const std::string &folder) { return static_cast<int>(names_in(folder).size()); }

struct UmaskScope {
    explicit UmaskScope(mode_t mask) : old(::umask(mask)) {}
    ~UmaskScope() { ::umask(old); }
    mode_t old;
};

std::string memory_file(const std::string &name) {
    const void *bytes = nullptr;
    long size = 0;
    if (TXLS_memory_get(name.c_str(), &bytes, &size) != 0) return {};
    return std::string(static_cast<const char *>(bytes), static_cast<std::size_t>(size));
}

// A part of a saved package on disk or in memory; "" when the package is not whole.
std::string part(const std::string &where, const char *name, bool in_memory = false) {
    const ReadPackage package = in_memory ? read_package(memory_file(where)) : read_package_file(where);
    return package_fault(package).empty() ? package.text(name) : "";
}

std::vector<std::string> sheet_names(const std::string &workbook_part) {
    static const std::regex sheet("<sheet name=\"([^\"]*)\"");
    std::vector<std::string> names;
    for (auto it = std::sregex_iterator(workbook_part.begin(), workbook_part.end(), sheet); it != std::sregex_iterator(); ++it)
        names.push_back((*it)[1]);
    return names;
}

std::string write_error(const std::string &path) { return "TXLS-03121 Excelファイル書込みエラー(\"" + path + "\")。"; }

class Save : public BookTest {
protected:
    void TearDown() override {
        orv_zip_on_memory(1);
        tabsmith::mclose_all();
        BookTest::TearDown();
    }
    // Opens a new book to be saved at `path` with `marker` in A1 of its sheet Data.
    void create(const std::string &path, const std::string &marker = "saved") {
        ASSERT_EQ(open(("MODE=CREATE CHARSET=UTF8 BOOK=\"" + path + "\"").c_str()), 0);
        ASSERT_EQ(TXLS_open_sheet(&book, "SHEET_NAME=Data"), 0);
        ASSERT_EQ(TXLS_put_cell(&book, "A1", marker.c_str()), 0);
    }
    std::string listed_sheets() {
        std::string out;
        for (int k = 0; k < TXLS_sheet_num(&book); ++k) {
            char name[64] = "";
            TXLS_sheet_name(&book, k, name, sizeof name);
            out += name;
        }
        return out;
    }
    TempFolder dir;
};

}  // namespace

// WRITE_MEMORY x orv_zip_on_memory x the MEMORY close option: a save that returns 0 releases the
// book and leaves the workbook where its caller fetches it; only a disk save writes to the disk,
// and no part lingers as a memory file of its own.
TEST_F(Save, EveryMemorySwitchLeavesTheSavedBookWhereItsCallerLooks) {
    const std::string name = dir / "book.xlsx";
    for (int switches = 0; switches < 8; ++switches) {
        const bool write_memory = switches & 1, route = switches & 2, memory_option = switches & 4;
        SCOPED_TRACE(std::string(write_memory ? "WRITE_MEMORY=TRUE " : "") + (route ? "orv_zip_on_memory(0) " : "") +
                     (memory_option ? "MEMORY=other.xlsx" : "SAVE"));
        dir.write("book.xlsx", "previous contents");
        ASSERT_EQ(open(("MODE=CREATE BOOK=\"" + dir / "book" + "\"" + (write_memory ? " WRITE_MEMORY=TRUE" : "")).c_str()), 0);
        ASSERT_EQ(TXLS_put_cell(&book, "A1", "switched"), 0);
        orv_zip_on_memory(route ? 0 : 1);
        const int rc = TXLS_close_book(&book, memory_option ? "SAVE MEMORY=\"other.xlsx\"" : "SAVE");
        orv_zip_on_memory(1);
        ASSERT_EQ(rc, 0) << message();
        EXPECT_EQ(book.work, nullptr);
        const bool to_disk = !memory_option && !write_memory && !route;
        EXPECT_EQ(entries(dir.path()), 1);  // nothing beside the file it replaced
        EXPECT_EQ(contents(name) == "previous contents", !to_disk);
        EXPECT_EQ(memory_file(name).empty(), to_disk || memory_option);
        EXPECT_NE(part(to_disk ? name : memory_option ? "other.xlsx" : name, "xl/sharedStrings.xml", !to_disk).find("switched"),
                  std::string::npos);
        EXPECT_EQ(memory_file("xl/workbook.xml"), "");
        fs::remove(name);
        tabsmith::mclose_all();
    }
    // Memory files parked by TXLS_swap_book(0) are gone until TXLS_swap_book(1) brings them back.
    const char text[] = "parked";
    ASSERT_EQ(TXLS_memory_put("kept.bin", text, sizeof text), 0);
    EXPECT_EQ(TXLS_swap_book(0), 0);
    EXPECT_EQ(memory_file("kept.bin"), "");
    EXPECT_EQ(TXLS_swap_book(1), 0);
    EXPECT_EQ(memory_file("kept.bin"), std::string(text, sizeof text));
}

// A, B, C saved with SHEET.ORDER=DESC come out C, B, A, also after saves that failed (a failed
// save puts the book's own order back); pictures and charts stay on their sheet.
TEST_F(Save, DescendingSheetOrderSurvivesFailedSavesAndKeepsDrawingsOnTheirSheet) {
    for (int failures : {0, 1, 2}) {
        SCOPED_TRACE(std::to_string(failures) + " failed saves first");
        ASSERT_EQ(open(("MODE=CREATE BOOK=\"" + (dir / "missing/desc.xlsx") + "\"").c_str()), 0);
        for (const char *sheet : {"A", "B", "C"}) {
            ASSERT_EQ(TXLS_open_sheet(&book, (std::string("SHEET_NAME=") + sheet).c_str()), 0);
            ASSERT_EQ(TXLS_put_cell(&book, "A1", sheet), 0);
        }
        ASSERT_EQ(TXLS_put_values(&book, "SHEET=A B1=1 A2=y B2=2 A1:B2.CHART=PIE SHEET=C SHEET.ORDER=DESC"), 0) << message();
        for (int k = 0; k < failures; ++k) {
            ASSERT_EQ(TXLS_close_book(&book, "SAVE"), -103);
            EXPECT_EQ(listed_sheets(), "ABC");
            EXPECT_EQ(value("A1"), "C");  // C is still the current sheet
        }
        ASSERT_EQ(TXLS_close_book(&book, "SAVE MEMORY=\"desc.xlsx\""), 0) << message();
        EXPECT_EQ(sheet_names(part("desc.xlsx", "xl/workbook.xml", true)), (std::vector<std::string>{"C", "B", "A"}));
        EXPECT_EQ(part("desc.xlsx", "xl/worksheets/sheet1.xml", true).find("<drawing"), std::string::npos);
        EXPECT_NE(part("desc.xlsx", "xl/worksheets/sheet3.xml", true).find("<drawing"), std::string::npos);
        EXPECT_NE(part("desc.xlsx", "xl/charts/chart1.xml", true).find("<c:v>2</c:v>"), std::string::npos);
        EXPECT_EQ(entries(dir.path()), 0);
        tabsmith::mclose_all();
    }
}

// Calls that accept anything and do nothing still start from a clean error code and line.
TEST_F(Save, NoOpCallsClearAnEarlierErrorCodeAndLine) {
    const std::string statements = dir.write("statements.txt", "A1=1\n\nA2=2\nNOPE.NOPE=3\nA4=4\n");
    const std::string read = "FILE=\"" + statements + "\" CHARSET=UTF8";
    char out[64];
    const std::pair<const char *, std::function<int()>> calls[] = {
        {"TXLS_set_property", [&] { return TXLS_set_property(&book, "ANY", "thing"); }},
        {"TXLS_set_property (NULLs)", [&] { return TXLS_set_property(&book, nullptr, nullptr); }},
        {"TXLS_open_datasource", [&] { return TXLS_open_datasource(&book, "x"); }},
        {"TXLS_paste_datasource", [&] { return TXLS_paste_datasource(&book, "x"); }},
        {"TXLS_close_datasource", [&] { return TXLS_close_datasource(&book); }},
        {"TXLS_version", [&] { return TXLS_version(&book, out, sizeof out); }},
        {"TXLS_put_cell", [&] { return TXLS_put_cell(&book, "B1", "next"); }},
    };
    ASSERT_EQ(open("MODE=CREATE CHARSET=UTF8 BOOK=never_saved"), 0);
    EXPECT_EQ(TXLS_error_line(&book), 0);
    for (const auto &[name, call] : calls) {
        SCOPED_TRACE(name);
        // The line of a failing statement file stays readable until the next call.
        EXPECT_EQ(TXLS_read_file(&book, read.c_str()), -1);
        EXPECT_EQ(TXLS_error_line(&book), 4);
        EXPECT_EQ(TXLS_error_line(&book), 4);  // reading it changes nothing
        ASSERT_EQ(TXLS_put_cell(&book, "not a cell", "x"), -3);
        EXPECT_EQ(TXLS_error_line(&book), 0);  // a failure outside a statement file has no line
        ASSERT_EQ(TXLS_error_code(&book), -3);
        EXPECT_EQ(call(), 0);
        EXPECT_EQ(TXLS_error_code(&book), 0);
        EXPECT_EQ(TXLS_read_file(&book, read.c_str()), -1);
        EXPECT_EQ(call(), 0);
        EXPECT_EQ(TXLS_error_line(&book), 0);
    }
}

// Another process rewrites the file between this book's open and its save: the save is refused
// and that process's file stays as it left it. Each change leaves the other identity marks alone.
TEST_F(Save, AnUpdateRefusesAFileChangedSinceItWasRead) {
    const std::string target = dir / "shared.xlsx";
    auto modified = [&] {
        struct stat st {};
        ::stat(target.c_str(), &st);
        return st.st_mtim;
    };
    auto set_modified = [](const std::string &path, timespec when) {
        const timespec times[2] = {{0, UTIME_OMIT}, when};
        ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    };
    const std::pair<const char *, std::function<void()>> changes[] = {
        {"none", [] {}}, {"size", [&] { std::ofstream(target, std::ios::app | std::ios::binary) << "x"; }},
        {"modification time, nanoseconds only",
         [&] {
             timespec when = modified();
             when.tv_nsec = (when.tv_nsec + 1000) % 1000000000;
             set_modified(target, when);
         }},
        {"replaced by a rename, same bytes and time",
         [&] {
             fs::copy_file(target, dir / "copy.xlsx");
             set_modified(dir / "copy.xlsx", modified());
             fs::rename(dir / "copy.xlsx", target);
         }},
        {"removed", [&] { fs::remove(target); }},
    };
    for (const auto &[change, apply] : changes) {
        SCOPED_TRACE(change);
        create(target, "theirs");
        ASSERT_EQ(TXLS_close_book(&book, "SAVE"), 0) << message();
        ASSERT_EQ(open(("MODE=UPDATE CHARSET=UTF8 BOOK=\"" + target + "\"").c_str()), 0) << message();
        ASSERT_EQ(TXLS_open_sheet(&book, "MODE=UPDATE SHEET_NAME=Data"), 0) << message();
        ASSERT_EQ(TXLS_put_cell(&book, "A1", "mine"), 0);
        apply();
        const bool exists = fs::exists(target), refused = std::string(change) != "none";
        const std::string left = contents(target);
        EXPECT_EQ(TXLS_close_book(&book, "SAVE"), refused ? -103 : 0);
        if (!refused) { EXPECT_NE(part(target, "xl/sharedStrings.xml").find("mine"), std::string::npos); }
        if (refused) {
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
TEST_F(Save, ASaveRemovesTemporaryFilesOnlyOfProcessesThatAreGone) {
    const pid_t gone = ::fork();
    if (gone == 0) ::_exit(0);
    ASSERT_GT(gone, 0);
    ::waitpid(gone, nullptr, 0);
    const std::string dead = ".report.xlsx.tabsmith-" + std::to_string(gone);
    TempFolder elsewhere;
    const std::string victim = elsewhere.write("victim.txt", "secret");
    enum Kind { kFile, kLink, kLocked };
    const struct {
        std::string name;
        Kind kind;
        bool removed;
    } leftovers[] = {
        {dead + "-aB3xYz.tmp", kFile, true},
        {".report.xlsx.tabsmith-" + std::to_string(::getppid()) + "-aB3xYz.tmp", kFile, false},
        {".report.xlsx.tabsmith-1-aB3xYz.tmp", kFile, false},
        {dead + "-locked.tmp", kLocked, false},  // a writer in another pid namespace
        {dead + "-linked.tmp", kLink, false}, {".other.xlsx.tabsmith-" + std::to_string(gone) + "-aB3xYz.tmp", kFile, false},
        {".report.xlsx.swp", kFile, false},
    };
    std::vector<std::string> expected = {"report.xlsx"};
    int held = -1;
    for (const auto &leftover : leftovers) {
        const std::string path = dir / leftover.name;
        if (leftover.kind == kLink) ASSERT_EQ(::symlink(victim.c_str(), path.c_str()), 0);
        else dir.write(leftover.name, "partial");
        if (leftover.kind == kLocked) { ASSERT_EQ(::flock(held = ::open(path.c_str(), O_RDONLY | O_CLOEXEC), LOCK_EX), 0); }
        if (!leftover.removed) expected.push_back(leftover.name);
    }
    std::sort(expected.begin(), expected.end());
    create(dir / "report.xlsx");
    EXPECT_EQ(TXLS_close_book(&book, "SAVE"), 0) << message();
    ::close(held);
    EXPECT_EQ(names_in(dir.path()), expected);
    EXPECT_EQ(contents(victim), "secret");
}

namespace {

// A book large enough that a few kilobytes of file hold only part of it: texts that do not
// compress away, the same every time.
bool fill(XLS_BOOK &record, const std::string &path) {
    if (TXLS_open_book(&record, ("MODE=CREATE CHARSET=UTF8 BOOK=\"" + path + "\"").c_str()) != 0 || TXLS_open_sheet(&record, "SHEET_NAME=Data") != 0)
        return false;
    std::mt19937 random(12345);
    char cell[32];
    for (int row = 1; row <= 1500; ++row)
        for (int column = 1; column <= 4; ++column) {
            std::string text;
            for (int i = 0; i < 12; ++i) text += static_cast<char>('a' + random() % 26);
            TXLS_cell_name(row, column, cell, sizeof cell);
            if (TXLS_put_cell(&record, cell, text.c_str()) != 0) return false;
        }
    return true;
}

}  // namespace

// Each limit runs in a child process (a file size limit must not reach the test program), which
// exits with the checks that failed on its standard error.
TEST_F(Save, AFileSizeLimitAnywhereInTheSaveGivesAWriteErrorAndKeepsTheBook) {
    XLS_BOOK probe{};
    ASSERT_TRUE(fill(probe, dir / "probe.xlsx") && TXLS_close_book(&probe, "SAVE") == 0);
    const std::size_t finished = contents(dir / "probe.xlsx").size();
    fs::remove(dir / "probe.xlsx");
    ASSERT_GT(finished, 24 * 1024u) << "the book is too small for the limits";
    const struct {
        const char *where;
        rlim_t bytes;   // 0: 100 bytes short of the finished package, inside its central directory
        bool existing;  // an earlier file at the target must survive the failure
    } limits[] = {
        {"first entries", 4 * 1024, false}, {"inside the parts", 20 * 1024, false}, {"central directory at close", 0, false},
        {"inside the parts, over an earlier file", 20 * 1024, true}, {"central directory, over an earlier file", 0, true},
    };
    const std::string target = dir / "limited.xlsx";
    for (const auto &limit : limits) {
        SCOPED_TRACE(limit.where);
        if (limit.existing) ::chmod(dir.write("limited.xlsx", "earlier").c_str(), 0600);
        auto child = [&] {
            std::string problems;
            auto check = [&](bool ok, const std::string &what) { problems += ok ? "" : what + "; "; };
            ::signal(SIGXFSZ, SIG_IGN);
            XLS_BOOK record{};
            check(fill(record, target), "fill failed");
            struct rlimit old, small;
            ::getrlimit(RLIMIT_FSIZE, &old);
            small = old;
            small.rlim_cur = limit.bytes ? limit.bytes : finished - 100;
            ::setrlimit(RLIMIT_FSIZE, &small);
            const int rc = TXLS_close_book(&record, "SAVE");
            ::setrlimit(RLIMIT_FSIZE, &old);
            check(rc == -103 && TXLS_error_code(&record) == -103, "result " + std::to_string(rc));
            const std::string said = tabsmith::to_utf8(record.log.error_info, tabsmith::kSjis);
            check(said == write_error(target), "message: " + said);
            check(record.work != nullptr, "the book was released");
            check(limit.existing ? contents(target) == "earlier" && mode_of(target) == 0600 : !fs::exists(target),
                  "the earlier file changed or a partial target was left");
            check(entries(dir.path()) == (limit.existing ? 1 : 0), "files left in the folder");
            // Once there is room again, the same book saves.
            check(TXLS_close_book(&record, "SAVE") == 0 && record.work == nullptr, "second save");
            check(package_fault(target).empty(), "the second save is no package");
            check(!limit.existing || mode_of(target) == 0600, "the replaced file's mode was lost");
            check(entries(dir.path()) == 1, "files left after the second save");
            std::fputs(problems.c_str(), stderr);
            std::_Exit(problems.empty() ? 0 : 1);
        };
        EXPECT_EXIT(child(), ::testing::ExitedWithCode(0), "");
        fs::remove(target);
    }
}

TEST_F(Save, LinksPlantedAtTemporaryNamesAreNeverFollowedAndModesAreKept) {
    TempFolder elsewhere;
    const std::string victim = elsewhere.write("victim.txt", "secret"), target = dir / "report.xlsx", link = dir / "linked.xlsx";
    std::vector<std::string> planted = {target + ".tmp"};
    for (int step = 0; step < 4; ++step) planted.push_back(target + ".tmp" + std::to_string(::getpid() + step));
    for (const std::string &name : planted) ASSERT_EQ(::symlink(victim.c_str(), name.c_str()), 0);
    UmaskScope umask(027);
    const std::tuple<const char *, std::string, unsigned> saves[] = {{"first", target, 0640}, {"second", target, 0604}, {"third", link, 0604}};
    for (const auto &[marker, path, mode] : saves) {  // a new file, over it, through a link to it
        if (path == link) { ASSERT_EQ(::symlink("report.xlsx", link.c_str()), 0); }
        create(path, marker);
        ASSERT_EQ(TXLS_close_book(&book, "SAVE"), 0) << message();
        EXPECT_TRUE(contents(victim) == "secret" && !is_link(target)) << "the file behind a planted link was overwritten";
        EXPECT_NE(part(target, "xl/sharedStrings.xml").find(marker), std::string::npos);
        EXPECT_EQ(mode_of(target), mode) << marker;
        for (const std::string &name : planted) EXPECT_EQ(fs::read_symlink(name), victim) << name;
        EXPECT_EQ(entries(dir.path()), static_cast<int>(planted.size()) + (path == link ? 2 : 1));
        ::chmod(target.c_str(), 0604);
    }
    EXPECT_EQ(fs::read_symlink(link), "report.xlsx");
}
