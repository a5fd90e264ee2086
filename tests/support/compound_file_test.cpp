// Compound files: streams read back from built files of both sector sizes, every damaged
// structure refused (or confined to the streams it holds), and the corpus's real files.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "common/compound_builder.h"
#include "common/corpus.h"
#include "common/file_checks.h"
#include "support/compound_file.h"
#include "support/results.h"

namespace tabsmith {
namespace {

using testing::build_compound;
using testing::CompoundBuild;
using testing::CompoundLayout;

std::string pattern(std::size_t size, unsigned seed) {
    std::string out(size, '\0');
    for (std::size_t i = 0; i < size; ++i) out[i] = static_cast<char>((i * 131 + seed * 7 + (i >> 8)) & 0xFF);
    return out;
}

// Streams of every size class: empty, inside one mini sector, across mini sectors, just under
// and at the cutoff, across regular sectors; one storage holding a stream of its own.
CompoundLayout mixed_layout(unsigned shift) {
    CompoundLayout layout;
    layout.shift = shift;
    layout.entries = {
        {u"Workbook", pattern(70000, 1)},
        {u"\x05SummaryInformation", pattern(100, 2)},
        {u"Empty", ""},
        {u"One", pattern(1, 3)},
        {u"Sixty-four", pattern(64, 4)},
        {u"Under cutoff", pattern(4095, 5)},
        {u"At cutoff", pattern(4096, 6)},
        {u"_VBA_PROJECT_CUR", "", 0, true},
        {u"dir", pattern(5000, 7), 8},
        {u"Лист", pattern(300, 8)},
    };
    return layout;
}

TEST(CompoundFile, StreamsOfEverySizeReadBackWithBothSectorSizes) {
    for (unsigned shift : {9u, 12u}) {
        SCOPED_TRACE(shift);
        CompoundLayout layout = mixed_layout(shift);
        CompoundBuild built = build_compound(layout);
        CompoundFile file;
        ASSERT_EQ(file.open(built.bytes), 0);
        EXPECT_EQ(file.sector_size(), 1u << shift);
        ASSERT_GE(file.entries().size(), layout.entries.size() + 1);
        EXPECT_EQ(file.entries()[0].type, kCompoundRoot);
        EXPECT_EQ(file.entries()[0].name, "Root Entry");
        const char *names[] = {"Workbook", "\x05SummaryInformation", "Empty", "One", "Sixty-four",
                               "Under cutoff", "At cutoff", "_VBA_PROJECT_CUR", "dir", "Лист"};
        for (std::size_t i = 0; i < layout.entries.size(); ++i) {
            const CompoundEntry &entry = file.entries()[i + 1];
            EXPECT_EQ(entry.name, names[i]);
            if (layout.entries[i].storage) {
                EXPECT_EQ(entry.type, kCompoundStorage);
                continue;
            }
            EXPECT_EQ(entry.type, kCompoundStream);
            EXPECT_EQ(entry.size, layout.entries[i].data.size());
            std::string out = "stale";
            ASSERT_EQ(file.read_stream(static_cast<int>(i + 1), out), 0) << names[i];
            EXPECT_EQ(out, layout.entries[i].data) << names[i];
        }
    }
}

TEST(CompoundFile, FindsTopLevelNamesWithoutRegardToCase) {
    CompoundFile file;
    ASSERT_EQ(file.open(build_compound(mixed_layout(9)).bytes), 0);
    struct Case {
        const char *name;
        int index;
    } cases[] = {
        {"Workbook", 1}, {"WORKBOOK", 1}, {"workbook", 1}, {"at CUTOFF", 7}, {"_vba_project_cur", 8},
        {"лист", 10},    {"ЛИСТ", 10},    {"Work", -1},    {"Workbooks", -1}, {"", -1},
        {"dir", -1},  // below a storage, not under the root
        {"Root Entry", -1},
    };
    for (const Case &c : cases) EXPECT_EQ(file.find_top(c.name), c.index) << c.name;
    EXPECT_EQ(file.find_child(8, "DIR"), 9);
    EXPECT_EQ(file.children(8), std::vector<int>{9});
    EXPECT_EQ(file.children(1), std::vector<int>{});  // a stream has no children
    EXPECT_EQ(file.children(-1), std::vector<int>{});
    EXPECT_EQ(file.children(1000), std::vector<int>{});
    // The root's children in tree order: shorter names first, then by upper-cased name.
    std::vector<std::string> order;
    for (int i : file.children(0)) order.push_back(file.entries()[i].name);
    EXPECT_EQ(order, (std::vector<std::string>{"One", "Лист", "Empty", "Workbook", "At cutoff", "Sixty-four",
                                               "Under cutoff", "_VBA_PROJECT_CUR", "\x05SummaryInformation"}));
}

TEST(CompoundFile, ReadStreamRefusesWhatIsNoStream) {
    CompoundFile file;
    ASSERT_EQ(file.open(build_compound(mixed_layout(9)).bytes), 0);
    std::string out;
    for (int index : {-1, 0, 8, 1000000}) EXPECT_EQ(file.read_stream(index, out), kBadArgument) << index;
    CompoundFile closed;
    EXPECT_EQ(closed.read_stream(0, out), kBadArgument);
    EXPECT_EQ(closed.find_top("Workbook"), -1);
}

// A file big enough that its FAT sectors do not all fit in the header's list: the rest are
// found through a DIFAT sector.
TEST(CompoundFile, FindsFatSectorsThroughTheDifatChain) {
    CompoundLayout layout;
    layout.entries = {{u"Workbook", pattern(7500000, 9)}, {u"Small", pattern(10, 1)}};
    CompoundBuild built = build_compound(layout);
    ASSERT_EQ(built.difat_sectors.size(), 1u);
    CompoundFile file;
    ASSERT_EQ(file.open(built.bytes), 0);
    std::string out;
    ASSERT_EQ(file.read_stream(1, out), 0);
    EXPECT_TRUE(out == layout.entries[0].data);
    ASSERT_EQ(file.read_stream(2, out), 0);
    EXPECT_EQ(out, layout.entries[1].data);

    // The DIFAT chain pointing outside the file, or back at itself when more FAT sectors are
    // claimed than one DIFAT sector lists.
    CompoundBuild outside = built;
    outside.put32(0x44, 0x00FFFFF0);
    EXPECT_EQ(file.open(outside.bytes), kReadError);
    CompoundBuild looping = built;
    std::size_t difat = looping.sector_offset(looping.difat_sectors[0]);
    looping.put32(difat + 508, looping.difat_sectors[0]);
    for (std::size_t k = 0; k < 127; ++k) looping.put32(difat + 4 * k, looping.fat_sectors[0]);
    looping.put32(0x2C, 109 + 127 + 1);
    EXPECT_EQ(file.open(looping.bytes), kReadError);
}

// Damage to the header, the DIFAT, the FAT sectors or the directory makes the whole file
// unreadable.
TEST(CompoundFile, RefusesDamagedStructure) {
    const CompoundBuild base = build_compound(mixed_layout(9));
    struct Case {
        const char *what;
        std::function<void(CompoundBuild &)> damage;
    } cases[] = {
        {"signature", [](CompoundBuild &b) { b.bytes[7] = 0; }},
        {"sector shift 10", [](CompoundBuild &b) { b.put16(0x1E, 10); }},
        {"sector shift 0", [](CompoundBuild &b) { b.put16(0x1E, 0); }},
        {"sector shift 31", [](CompoundBuild &b) { b.put16(0x1E, 31); }},
        {"sector shift 12 in a file laid out for 9", [](CompoundBuild &b) { b.put16(0x1E, 12); }},
        {"mini sector shift", [](CompoundBuild &b) { b.put16(0x20, 7); }},
        {"shorter than a header", [](CompoundBuild &b) { b.bytes.resize(511); }},
        {"header only", [](CompoundBuild &b) { b.bytes.resize(512); }},
        {"no FAT sectors", [](CompoundBuild &b) { b.put32(0x2C, 0); }},
        {"more FAT sectors than the file has", [](CompoundBuild &b) { b.put32(0x2C, 0x7FFFFFFF); }},
        {"DIFAT entry outside", [](CompoundBuild &b) { b.put32(0x4C, 0x00FFFFFF); }},
        {"DIFAT entry marked free", [](CompoundBuild &b) { b.put32(0x4C, testing::kCfbFree); }},
        {"one FAT sector more claimed than listed",
         [](CompoundBuild &b) { b.put32(0x2C, static_cast<std::uint32_t>(b.fat_sectors.size() + 1)); }},
        {"directory start outside", [](CompoundBuild &b) { b.put32(0x30, 0x00FFFFFF); }},
        {"directory start at end of chain", [](CompoundBuild &b) { b.put32(0x30, testing::kCfbEnd); }},
        {"directory chain looping",
         [](CompoundBuild &b) { b.put32(b.fat_entry_offset(b.directory_sectors.back()), b.directory_sectors[0]); }},
        {"directory chain into a free sector",
         [](CompoundBuild &b) { b.put32(b.fat_entry_offset(b.directory_sectors[0]), testing::kCfbFree); }},
        {"directory cut off",
         [](CompoundBuild &b) { b.bytes.resize(b.sector_offset(b.directory_sectors.back()) + 100); }},
        {"first entry no root", [](CompoundBuild &b) { b.bytes[b.entry_offset(0) + 0x42] = 1; }},
    };
    for (const Case &c : cases) {
        CompoundBuild damaged = base;
        c.damage(damaged);
        CompoundFile file;
        EXPECT_EQ(file.open(damaged.bytes), kReadError) << c.what;
        EXPECT_TRUE(file.entries().empty()) << c.what;
    }
}

// Damage to one stream's chain leaves the file open and only that stream unreadable.
TEST(CompoundFile, RefusesDamagedStreamChains) {
    const CompoundBuild base = build_compound(mixed_layout(9));
    const int kRegular = 1, kLast = 9, kMini = 2, kOtherMini = 10;
    struct Case {
        const char *what;
        int broken;     // the stream that must fail
        bool all_mini;  // whether every stream in the mini stream fails with it
        std::function<void(CompoundBuild &)> damage;
    } cases[] = {
        {"FAT chain looping back", kRegular, false,
         [](CompoundBuild &b) {
             auto chain = b.chain_of(1);
             b.put32(b.fat_entry_offset(chain[5]), chain[2]);
         }},
        {"FAT chain looping on itself", kRegular, false,
         [](CompoundBuild &b) { b.put32(b.fat_entry_offset(b.starts[1]), b.starts[1]); }},
        {"FAT chain too short", kRegular, false,
         [](CompoundBuild &b) { b.put32(b.fat_entry_offset(b.chain_of(1)[10]), testing::kCfbEnd); }},
        {"FAT chain into a FAT sector", kRegular, false,
         [](CompoundBuild &b) { b.put32(b.fat_entry_offset(b.chain_of(1)[10]), b.fat_sectors[0]); }},
        {"FAT chain outside the file", kRegular, false,
         [](CompoundBuild &b) { b.put32(b.fat_entry_offset(b.chain_of(1)[10]), 0x00FFFFFF); }},
        {"start outside the file", kRegular, false,
         [](CompoundBuild &b) { b.put32(b.entry_offset(1) + 0x74, 0x00FFFFFF); }},
        {"size beyond the file", kRegular, false,
         [](CompoundBuild &b) { b.put32(b.entry_offset(1) + 0x78, 0x7FFFFFFF); }},
        {"file cut inside the last stream", kLast, false,
         [](CompoundBuild &b) { b.bytes.resize(b.sector_offset(b.chain_of(9).back()) - 10); }},
        {"mini chain looping", kMini, false,
         [](CompoundBuild &b) { b.put32(b.mini_fat_entry_offset(b.starts[2]), b.starts[2]); }},
        {"mini chain too short", kMini, false,
         [](CompoundBuild &b) { b.put32(b.mini_fat_entry_offset(b.starts[2]), testing::kCfbEnd); }},
        {"mini start beyond the mini stream", kMini, false,
         [](CompoundBuild &b) { b.put32(b.entry_offset(2) + 0x74, 100000); }},
        {"mini FAT start outside", kMini, true, [](CompoundBuild &b) { b.put32(0x3C, 0x00FFFFFF); }},
        {"mini FAT chain looping", kMini, true,
         [](CompoundBuild &b) { b.put32(b.fat_entry_offset(b.mini_fat_sectors[0]), b.mini_fat_sectors[0]); }},
        {"mini stream chain too short", kMini, true,
         [](CompoundBuild &b) { b.put32(b.fat_entry_offset(b.mini_stream_sectors[0]), testing::kCfbEnd); }},
        {"mini stream larger than the file", kMini, true,
         [](CompoundBuild &b) { b.put32(b.entry_offset(0) + 0x78, 0x7FFFFFFF); }},
    };
    CompoundLayout layout = mixed_layout(9);
    for (const Case &c : cases) {
        CompoundBuild damaged = base;
        c.damage(damaged);
        CompoundFile file;
        ASSERT_EQ(file.open(damaged.bytes), 0) << c.what;
        std::string out = "stale";
        EXPECT_EQ(file.read_stream(c.broken, out), kReadError) << c.what;
        EXPECT_TRUE(out.empty()) << c.what;
        int other_regular = c.broken == kRegular ? 7 : kRegular;  // never the broken one
        ASSERT_EQ(file.read_stream(other_regular, out), 0) << c.what;
        EXPECT_EQ(out, layout.entries[other_regular - 1].data) << c.what;
        EXPECT_EQ(file.read_stream(kOtherMini, out), c.all_mini ? kReadError : 0) << c.what;
    }
}

// Sibling and child links that form cycles, point at the root or outside the directory are
// walked once each; out-of-range links read as -1.
TEST(CompoundFile, SurvivesDamagedDirectoryTrees) {
    const CompoundBuild base = build_compound(mixed_layout(9));
    CompoundFile intact;
    ASSERT_EQ(intact.open(base.bytes), 0);
    const int root_child = intact.entries()[0].child;
    ASSERT_GT(root_child, 0);
    struct Case {
        const char *what;
        std::function<void(CompoundBuild &)> damage;
    } cases[] = {
        {"right sibling back to the top of the tree",
         [&](CompoundBuild &b) {
             for (std::size_t i = 1; i <= 10; ++i)
                 if (b.get32(b.entry_offset(i) + 0x48) == testing::kCfbNoStream) b.put32(b.entry_offset(i) + 0x48, root_child);
         }},
        {"left sibling to itself", [&](CompoundBuild &b) { b.put32(b.entry_offset(root_child) + 0x44, root_child); }},
        {"child of the root is the root", [](CompoundBuild &b) { b.put32(b.entry_offset(0) + 0x4C, 0); }},
        {"sibling is the root", [&](CompoundBuild &b) { b.put32(b.entry_offset(root_child) + 0x48, 0); }},
        {"storage's child is its parent's tree",
         [&](CompoundBuild &b) { b.put32(b.entry_offset(8) + 0x4C, root_child); }},
    };
    for (const Case &c : cases) {
        CompoundBuild damaged = base;
        c.damage(damaged);
        CompoundFile file;
        ASSERT_EQ(file.open(damaged.bytes), 0) << c.what;
        std::vector<int> kids = file.children(0);
        std::vector<bool> seen(file.entries().size());
        for (int k : kids) {
            EXPECT_NE(k, 0) << c.what;
            EXPECT_FALSE(seen[k]) << c.what << ": entry " << k << " twice";
            seen[k] = true;
        }
        EXPECT_EQ(file.find_top("Missing"), -1) << c.what;
        file.children(8);
    }

    CompoundBuild wild = base;
    wild.put32(wild.entry_offset(1) + 0x44, 5000);
    wild.put32(wild.entry_offset(1) + 0x48, 0xFFFFFFFA);
    wild.put32(wild.entry_offset(1) + 0x4C, 0x80000000);
    CompoundFile file;
    ASSERT_EQ(file.open(wild.bytes), 0);
    EXPECT_EQ(file.entries()[1].left, -1);
    EXPECT_EQ(file.entries()[1].right, -1);
    EXPECT_EQ(file.entries()[1].child, -1);
}

TEST(CompoundFile, ReadsNamesAsTheFileStoresThem) {
    CompoundBuild built = build_compound(mixed_layout(9));
    // A lone surrogate, a name length longer than the field, and an odd one.
    built.put16(built.entry_offset(3), 0xD800);
    built.put16(built.entry_offset(4) + 0x40, 0xFFFF);
    built.put16(built.entry_offset(5) + 0x40, 7);
    CompoundFile file;
    ASSERT_EQ(file.open(built.bytes), 0);
    EXPECT_EQ(file.entries()[3].name, "\uFFFDmpty");
    EXPECT_EQ(file.entries()[4].name, "One");
    EXPECT_EQ(file.entries()[5].name, "Six");
    EXPECT_EQ(file.find_top("\uFFFDMPTY"), 3);
}

// Sizes of 4096-byte-sector files are 64-bit; 512-byte-sector files keep only the low half.
TEST(CompoundFile, SizeHighHalfCountsOnlyWithLargeSectors) {
    for (unsigned shift : {9u, 12u}) {
        CompoundBuild built = build_compound(mixed_layout(shift));
        built.put32(built.entry_offset(1) + 0x7C, 1);
        CompoundFile file;
        ASSERT_EQ(file.open(built.bytes), 0);
        std::string out;
        EXPECT_EQ(file.read_stream(1, out), shift == 9 ? 0 : kReadError) << shift;
        EXPECT_EQ(out.size(), shift == 9 ? 70000u : 0u);
    }
}

TEST(CompoundFile, CorpusWorkbooksOpenAndTheirWorkbookStreamReadsWhole) {
    std::vector<std::string> files = testing::corpus_files("xls", {".xls"});
    if (files.empty()) GTEST_SKIP() << "no corpus at " << testing::corpus_dir();
    for (const std::string &path : files) {
        SCOPED_TRACE(path);
        CompoundFile file;
        ASSERT_EQ(file.open(testing::contents(path)), 0);
        int index = file.find_top("Workbook");
        if (index < 0) index = file.find_top("Book");
        ASSERT_GE(index, 0);
        std::string out;
        ASSERT_EQ(file.read_stream(index, out), 0);
        EXPECT_EQ(out.size(), file.entries()[index].size);
        EXPECT_GE(out.size(), 4u);
        // A BIFF stream starts with its BOF record (0x0809 BIFF8, 0x0209/0x0409 older).
        EXPECT_EQ(static_cast<unsigned char>(out[0]), 0x09);
    }
}

TEST(CompoundFile, CorpusEncryptedPackagesHoldTheirStream) {
    std::vector<std::string> files = testing::corpus_files("xlsx", {".xlsx"});
    if (files.empty()) GTEST_SKIP() << "no corpus at " << testing::corpus_dir();
    int encrypted = 0;
    for (const std::string &path : files) {
        std::string bytes = testing::contents(path);
        if (bytes.rfind("\xD0\xCF\x11\xE0", 0) != 0) continue;
        SCOPED_TRACE(path);
        ++encrypted;
        CompoundFile file;
        ASSERT_EQ(file.open(bytes), 0);
        int index = file.find_top("EncryptedPackage");
        ASSERT_GE(index, 0);
        EXPECT_EQ(file.entries()[index].type, kCompoundStream);
        EXPECT_GE(file.find_top("EncryptionInfo"), 0);
    }
    EXPECT_GE(encrypted, 4);
}

// Broken files may open or not; whatever opens has every stream read or refused, never more.
TEST(CompoundFile, CorpusBrokenFilesNeverCrash) {
    std::vector<std::string> files = testing::corpus_files("broken");
    if (files.empty()) GTEST_SKIP() << "no corpus at " << testing::corpus_dir();
    for (const std::string &path : files) {
        SCOPED_TRACE(path);
        std::string bytes = testing::contents(path);
        CompoundFile file;
        int rc = file.open(bytes);
        EXPECT_TRUE(rc == 0 || rc == kReadError) << rc;
        for (std::size_t i = 0; i < file.entries().size(); ++i) {
            std::string out;
            int read = file.read_stream(static_cast<int>(i), out);
            EXPECT_TRUE(read == 0 || read == kReadError || read == kBadArgument) << read;
            if (read == 0) {
                EXPECT_EQ(out.size(), file.entries()[i].size);
            }
            EXPECT_LE(out.size(), bytes.size());
        }
        for (std::size_t i = 0; i < file.entries().size(); ++i) file.children(static_cast<int>(i));
        file.find_top("Workbook");
    }
}

}  // namespace
}  // namespace tabsmith
