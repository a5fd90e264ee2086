// Memory-file table: opening modes, reads and writes around the position, growth, limits,
// release and parking.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <string>
#include <thread>
#include <vector>

#include "common/fixtures.h"
#include "support/files.h"
#include "support/mfile.h"

namespace tabsmith {
namespace {

class MfileTest : public ::testing::Test {
protected:
    void SetUp() override {
        mclose_all();
        mpark(0);
        mpark(1);  // nothing parked from an earlier test
    }
    void TearDown() override { mclose_all(); }
    static std::string contents(MFile *f) { return std::string(mdata(f)); }
    testing::TempFolder dir;
};

TEST_F(MfileTest, WriteCloseReopenAndAppend) {
    MFile *f = mopen("xl/workbook.xml", "wb");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(mwrite("abc", 1, 3, f), 3u);
    EXPECT_EQ(mwrite("defg", 2, 2, f), 2u);
    EXPECT_EQ(mclose(f), 0);
    EXPECT_EQ(f->state, kMfileClosed);
    char buf[16] = {};
    EXPECT_EQ(mread(buf, 1, sizeof buf, f), 0u) << "a closed entry is not read";
    MFile *again = mopen("xl/workbook.xml", "rb");
    ASSERT_EQ(again, f);
    EXPECT_EQ(again->position, 0);
    EXPECT_EQ(mread(buf, 1, sizeof buf, again), 7u);
    EXPECT_EQ(std::string(buf, 7), "abcdefg");
    EXPECT_EQ(meof(again), -1);
    EXPECT_EQ(mlength("xl/workbook.xml"), 7);
    EXPECT_EQ(mlength("other"), 0);
    EXPECT_EQ(mopen("XL/WORKBOOK.XML", "wb")->index, 1u) << "names compare case-sensitively";
    mclose(again);
    MFile *log = mopen("xl/workbook.xml", "ab");
    mwrite("+", 1, 1, log);
    EXPECT_EQ(contents(log), "abcdefg+");
    // Opening for writing empties the same entry.
    EXPECT_EQ(mopen("xl/workbook.xml", "wb"), f);
    EXPECT_EQ(mcount(), 2u);
    EXPECT_EQ(f->length, 0);
    EXPECT_EQ(f->state, kMfileOpen);
}

TEST_F(MfileTest, ReadOpenLoadsTheDiskFileOnce) {
    std::string path = dir.write("book.xlsx", std::string("PK\3\4") + std::string(5000, 'z'));
    MFile *f = mopen(path, "rb");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->length, 5004);
    EXPECT_EQ(contents(f).substr(0, 4), std::string("PK\3\4"));
    unlink(path.c_str());
    EXPECT_EQ(mopen(path, "rb"), f) << "the table entry wins over the disk";
    EXPECT_EQ(mopen(dir / "missing.xlsx", "rb"), nullptr);
    EXPECT_EQ(mlast_error(), "mopen() aod_fsze() rc=-101");
    EXPECT_EQ(mopen(dir.path(), "rb"), nullptr) << "a folder is not a file";
}

TEST_F(MfileTest, SeekThenWriteOverwritesAndLengthOnlyGrowsPastTheEnd) {
    MFile *f = mopen("s", "wb");
    mwrite("abcdefgh", 1, 8, f);
    EXPECT_EQ(mseek(f, 2, 0), 0);
    mwrite("XY", 1, 2, f);
    EXPECT_EQ(f->length, 8);
    EXPECT_EQ(mtell(f), 4);
    EXPECT_EQ(mseek(f, -1, 2), 0);
    mwrite("123", 1, 3, f);
    EXPECT_EQ(contents(f), "abXYefg123");
    // A gap left by seeking past the end reads back as zeros.
    EXPECT_EQ(mseek(f, 5, 1), 0);
    mwrite("!", 1, 1, f);
    EXPECT_EQ(contents(f), std::string("abXYefg123") + std::string(5, '\0') + "!");
    EXPECT_EQ(mseek(f, f->capacity, 0), 0);
    for (auto [offset, origin] : {std::pair{f->capacity + 1, 0}, {-1, 0}, {0, 3}}) EXPECT_EQ(mseek(f, offset, origin), -1);
    EXPECT_EQ(mseek(f, 3, 0), 0);
    char buf[4];
    EXPECT_EQ(mread(buf, 2, 2, f), 4u);
    EXPECT_EQ(std::string(buf, 4), "Yefg");
    EXPECT_EQ(meof(f), 0);
}

TEST_F(MfileTest, GrowthKeepsContentsAndTakesBigStepsFromOneHundredMebibytes) {
    MFile *f = mopen("g", "wb");
    std::string small(1022, 'a'), big(10000, 'c');
    mwrite(small.data(), 1, small.size(), f);
    mwrite("b", 1, 1, f);
    mwrite(big.data(), 1, big.size(), f);
    EXPECT_EQ(contents(f), small + "b" + big);
    EXPECT_GE(f->capacity, f->length);
    // From 100 MiB on, growth adds 10 MiB steps instead of doubling.
    std::string path = dir / "at";
    int fd = open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0600);
    ASSERT_EQ(ftruncate(fd, kMfileBigCapacity), 0);
    close(fd);
    MFile *at = mopen(path, "ab");
    ASSERT_NE(at, nullptr);
    mwrite("x", 1, 1, at);
    EXPECT_EQ(at->capacity, kMfileBigCapacity + kMfileBigStep);
    std::vector<char> chunk(2 * kMfileBigStep + 5, 'y');
    mwrite(chunk.data(), 1, chunk.size(), at);
    EXPECT_EQ(at->capacity, kMfileBigCapacity + 3 * kMfileBigStep);
    EXPECT_EQ(at->length, kMfileBigCapacity + 1 + 2 * kMfileBigStep + 5);
    EXPECT_EQ(mdata(at)[kMfileBigCapacity], 'x');
}

TEST_F(MfileTest, TableLimitRefusesNewNamesButReopensOldOnes) {
    for (std::size_t i = 0; i < MFILE_MAX_OPEN_FILES; ++i) {
        std::string name = "f" + std::to_string(i);
        ASSERT_NE(mopen(name, "wb"), nullptr) << i;
        mtruncate(name);  // keep the test small
    }
    EXPECT_EQ(mopen("one-too-many", "wb"), nullptr);
    EXPECT_EQ(mlast_error(), "mopen() Mfile_ct >= MFILE_MAX_OPEN_FILES");
    MFile *old = mopen("f99999", "wb");
    ASSERT_NE(old, nullptr);
    EXPECT_EQ(old->index, 99999u);
    EXPECT_EQ(mwrite("ok", 1, 2, old), 2u);
    MFile *t = mopen("f1", "rb");  // a truncated file takes writes again
    EXPECT_EQ(mwrite("again", 1, 5, t), 5u);
    EXPECT_EQ(contents(t), "again");
}

TEST_F(MfileTest, ReleasedEntriesAreInvisibleButStillCounted) {
    mopen("a", "wb");
    MFile *b = mopen("b", "wb");
    mwrite("bee", 1, 3, b);
    mopen("c", "wb");
    EXPECT_EQ(mrelease("b"), 0);
    EXPECT_EQ(b->state, kMfileReleased);
    EXPECT_EQ(mwrite("x", 1, 1, b), 0u) << "a released entry takes no writes";
    EXPECT_EQ(mclose(b), 0);
    EXPECT_EQ(b->state, kMfileReleased);
    EXPECT_EQ(mlist(), (std::vector<std::string>{"a", "c"}));
    EXPECT_EQ(mcount(), 3u);
    EXPECT_EQ(mfind("b"), nullptr);
    EXPECT_EQ(mopen("b", "rb"), nullptr);
    EXPECT_EQ(mopen("b", "wb")->index, 3u);
    EXPECT_EQ(mrelease("never-opened"), 0);
}

TEST_F(MfileTest, ParkingSwapsWholeTablesAndEachThreadHasItsOwn) {
    mwrite("one", 1, 3, mopen("book1/sheet1.xml", "wb"));
    mpark(0);
    EXPECT_EQ(mcount(), 0u);
    EXPECT_EQ(mfind("book1/sheet1.xml"), nullptr);
    mwrite("two", 1, 3, mopen("book2/sheet1.xml", "wb"));
    mpark(1);
    EXPECT_EQ(mlist(), std::vector<std::string>{"book1/sheet1.xml"});
    EXPECT_EQ(contents(mopen("book1/sheet1.xml", "rb")), "one");
    mpark(1);
    EXPECT_EQ(mcount(), 0u) << "restoring again replaces the table with the empty parked one";
    mopen("mine", "wb");
    std::size_t seen = 99;
    std::thread([&] { seen = mcount(); }).join();
    EXPECT_EQ(seen, 0u);
    EXPECT_EQ(mcount(), 1u);
}

TEST_F(MfileTest, BadNamesModesAndArgumentsAreRefused) {
    for (auto [name, mode] : {std::pair<std::string, const char *>{"", "wb"}, {std::string(257, 'n'), "wb"}, {"x", "w"},
                              {"x", "a+"}})
        EXPECT_EQ(mopen(name, mode), nullptr) << name.size() << mode;
    EXPECT_NE(mopen(std::string(256, 'n'), "wb"), nullptr);
    EXPECT_EQ(mwrite("x", 1, 1, nullptr), 0u);
    EXPECT_EQ(mread(nullptr, 1, 1, nullptr), 0u);
    EXPECT_EQ(mseek(nullptr, 0, 0), -1);
    EXPECT_EQ(mtell(nullptr), -1);
    EXPECT_EQ(mclose(nullptr), -1);
    MFile *f = mopen("o", "wb");
    EXPECT_EQ(mwrite("x", SIZE_MAX / 2, 3, f), 0u) << "size x count overflows";
    EXPECT_EQ(f->length, 0);
}

}  // namespace
}  // namespace tabsmith
