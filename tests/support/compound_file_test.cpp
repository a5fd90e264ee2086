// Compound files: streams read back from built files of both sector sizes, lookups by name, every
// damaged structure refused (or confined to the streams it holds), every damaged tree walked once.

#include <gtest/gtest.h>

#include <functional>

#include "common/compound_builder.h"
#include "support/compound_file.h"
#include "support/results.h"

namespace tabsmith {
namespace {

using testing::build_compound, testing::CompoundBuild, testing::kCfbEnd, testing::kCfbFree;
using Damage = std::function<void(CompoundBuild &)>;

std::string pattern(std::size_t size, unsigned seed) {
    std::string out(size, '\0');
    for (std::size_t i = 0; i < size; ++i) out[i] = static_cast<char>((i * 131 + seed * 7 + (i >> 8)) & 0xFF);
    return out;
}
// `value` written at an offset, or at a field of directory entry `entry`.
Damage at(std::size_t offset, std::uint32_t value) { return [=](CompoundBuild &b) { b.put32(offset, value); }; }
Damage field(std::size_t entry, std::size_t offset, std::uint32_t value) {
    return [=](CompoundBuild &b) { b.put32(b.entry_offset(entry) + offset, value); };
}

// Streams of every size class: empty, inside one mini sector, across mini sectors, just under
// and at the cutoff, across regular sectors; one storage (8) holding a stream of its own (9).
testing::CompoundLayout mixed_layout(unsigned shift = 9) {
    return {shift,
            {{u"Workbook", pattern(70000, 1)}, {u"\x05SummaryInformation", pattern(100, 2)}, {u"Empty", ""},
             {u"One", pattern(1, 3)}, {u"Sixty-four", pattern(64, 4)}, {u"Under cutoff", pattern(4095, 5)},
             {u"At cutoff", pattern(4096, 6)}, {u"_VBA_PROJECT_CUR", "", 0, true}, {u"dir", pattern(5000, 7), 8},
             {u"Лист", pattern(300, 8)}}};
}
const char *const kNames[] = {"Workbook", "\x05SummaryInformation", "Empty", "One", "Sixty-four", "Under cutoff",
                              "At cutoff", "_VBA_PROJECT_CUR", "dir", "Лист"};

TEST(CompoundFile, StreamsOfEverySizeReadBackWithBothSectorSizes) {
    for (unsigned shift : {9u, 12u}) {
        SCOPED_TRACE(shift);
        const testing::CompoundLayout layout = mixed_layout(shift);
        CompoundBuild built = build_compound(layout);
        CompoundFile file;
        std::string out;
        ASSERT_EQ(file.open(built.bytes), 0);
        ASSERT_GE(file.entries().size(), layout.entries.size() + 1);
        EXPECT_EQ(std::tuple(file.sector_size(), file.entries()[0].type, file.entries()[0].name),
                  std::tuple(1u << shift, kCompoundRoot, "Root Entry"));
        for (std::size_t i = 0; i < layout.entries.size(); ++i) {
            const CompoundEntry &entry = file.entries()[i + 1];
            const bool storage = layout.entries[i].storage;
            EXPECT_EQ(std::tuple(entry.name, entry.type), std::tuple(kNames[i], storage ? kCompoundStorage : kCompoundStream));
            if (storage) continue;
            EXPECT_EQ(entry.size, layout.entries[i].data.size());
            EXPECT_TRUE(file.read_stream(static_cast<int>(i + 1), out) == 0 && out == layout.entries[i].data) << kNames[i];
        }
        // Sizes of 4096-byte-sector files are 64-bit; 512-byte-sector files keep only the low half.
        built.put32(built.entry_offset(1) + 0x7C, 1);
        ASSERT_EQ(file.open(built.bytes), 0);
        EXPECT_EQ(file.read_stream(1, out), shift == 9 ? 0 : kReadError);
        EXPECT_EQ(out.size(), shift == 9 ? 70000u : 0u);
    }
}

TEST(CompoundFile, LookupsByNameIndexAndTreeOrder) {
    CompoundBuild built = build_compound(mixed_layout());
    // Names as the file stores them: a lone surrogate, a length longer than the field, an odd one.
    built.put16(built.entry_offset(3), 0xD800);
    built.put16(built.entry_offset(4) + 0x40, 0xFFFF);
    built.put16(built.entry_offset(5) + 0x40, 7);
    CompoundFile file, closed;
    ASSERT_EQ(file.open(built.bytes), 0);
    EXPECT_EQ(file.entries()[3].name + "|" + file.entries()[4].name + "|" + file.entries()[5].name, "\uFFFDmpty|One|Six");
    const std::pair<const char *, int> tops[] = {
        {"Workbook", 1}, {"WORKBOOK", 1}, {"workbook", 1}, {"at CUTOFF", 7}, {"_vba_project_cur", 8}, {"лист", 10},
        {"ЛИСТ", 10}, {"\uFFFDMPTY", 3}, {"Work", -1}, {"Workbooks", -1}, {"", -1}, {"Root Entry", -1},
        {"dir", -1},  // below a storage, not under the root
    };
    for (auto [name, index] : tops) EXPECT_EQ(file.find_top(name), index) << name;
    EXPECT_EQ(std::tuple(file.find_child(8, "DIR"), closed.find_top("Workbook")), std::tuple(9, -1));
    for (auto [storage, kids] : {std::pair{8, std::vector<int>{9}}, {1, {}}, {-1, {}}, {1000, {}}})
        EXPECT_EQ(file.children(storage), kids) << storage;  // a stream has no children
    // The root's children in tree order: shorter names first, then by upper-cased name.
    std::vector<std::string> order;
    for (int i : file.children(0)) order.push_back(file.entries()[i].name);
    EXPECT_EQ(order, (std::vector<std::string>{"One", "Лист", "\uFFFDmpty", "Workbook", "At cutoff", "Six",
                                               "Under cutoff", "_VBA_PROJECT_CUR", "\x05SummaryInformation"}));
    std::string out;
    for (int index : {-1, 0, 8, 1000000}) EXPECT_EQ(file.read_stream(index, out), kBadArgument) << index;
    EXPECT_EQ(closed.read_stream(0, out), kBadArgument);
}

// Damage to the header, the DIFAT, the FAT sectors or the directory makes the whole file
// unreadable (the DIFAT chain rows damage a file big enough that its FAT sectors are not all
// listed in the header). Damage to one stream's chain leaves the file open and only that stream
// unreadable (with a damaged mini FAT or mini stream, every stream kept in the mini stream).
// Sibling and child links that form cycles, point at the root or outside the directory are
// walked once each; out-of-range links read as -1.
TEST(CompoundFile, DamageIsConfinedToWhatItTouches) {
    const CompoundBuild base = build_compound(mixed_layout());
    CompoundBuild big = build_compound({9, {{u"Workbook", pattern(7500000, 9)}, {u"Small", pattern(10, 1)}}});
    ASSERT_EQ(big.difat_sectors.size(), 1u);
    CompoundFile file;
    std::string out;
    ASSERT_EQ(file.open(big.bytes), 0);
    EXPECT_TRUE(file.read_stream(1, out) == 0 && out == pattern(7500000, 9));
    EXPECT_TRUE(file.read_stream(2, out) == 0 && out == pattern(10, 1));
    ASSERT_EQ(file.open(base.bytes), 0);
    const std::uint32_t top = static_cast<std::uint32_t>(file.entries()[0].child);
    ASSERT_GT(top, 0u);
    auto shift = [](std::uint16_t v) -> Damage { return [=](CompoundBuild &b) { b.put16(0x1E, v); }; };
    auto size = [](std::size_t n) -> Damage { return [=](CompoundBuild &b) { b.bytes.resize(n); }; };
    const auto chain = base.chain_of(1);
    const std::size_t link5 = base.fat_entry_offset(chain[5]), link10 = base.fat_entry_offset(chain[10]);
    auto mini = [&](std::uint32_t v) { return at(base.mini_fat_entry_offset(base.starts[2]), v); };
    auto fat_of = [&](std::uint32_t sector, std::uint32_t v) { return at(base.fat_entry_offset(sector), v); };
    // `broken`: the whole file (kWhole), the tree (kTree) or the one stream that no longer reads.
    constexpr int kWhole = -1, kTree = 0, kRegular = 1, kLast = 9, kMini = 2, kOtherMini = 10;
    struct Case { const char *what; Damage damage; int broken = kWhole; bool all_mini = false, on_big = false; };
    const Case cases[] = {
        {"signature", [](CompoundBuild &b) { b.bytes[7] = 0; }}, {"sector shift 10", shift(10)},
        {"sector shift 12 in a file laid out for 9", shift(12)}, {"DIFAT entry outside", at(0x4C, 0x00FFFFFF)},
        {"mini sector shift", [](CompoundBuild &b) { b.put16(0x20, 7); }}, {"shorter than a header", size(511)}, {"header only", size(512)},
        {"no FAT sectors", at(0x2C, 0)}, {"more FAT sectors than the file has", at(0x2C, 0x7FFFFFFF)},
        {"one FAT sector more claimed than listed", at(0x2C, static_cast<std::uint32_t>(base.fat_sectors.size() + 1))},
        {"directory start outside", at(0x30, 0x00FFFFFF)},
        {"directory chain looping", at(base.fat_entry_offset(base.directory_sectors.back()), base.directory_sectors[0])},
        {"directory chain into a free sector", at(base.fat_entry_offset(base.directory_sectors[0]), kCfbFree)},
        {"directory cut off", size(base.sector_offset(base.directory_sectors.back()) + 100)},
        {"first entry no root", [](CompoundBuild &b) { b.bytes[b.entry_offset(0) + 0x42] = 1; }},
        {"DIFAT chain outside the file", at(0x44, 0x00FFFFF0), kWhole, false, true},
        // More FAT sectors claimed than one DIFAT sector lists, and the chain back at itself.
        {"DIFAT chain looping", [](CompoundBuild &b) {
             const std::size_t difat = b.sector_offset(b.difat_sectors[0]);
             for (std::size_t k = 0; k < 127; ++k) b.put32(difat + 4 * k, b.fat_sectors[0]);
             b.put32(difat + 508, b.difat_sectors[0]), b.put32(0x2C, 109 + 127 + 1);
         }, kWhole, false, true},
        {"FAT chain looping back", at(link5, chain[2]), kRegular}, {"FAT chain too short", at(link10, kCfbEnd), kRegular},
        {"FAT chain into a FAT sector", at(link10, base.fat_sectors[0]), kRegular},
        {"FAT chain outside the file", at(link10, 0x00FFFFFF), kRegular}, {"start outside the file", field(1, 0x74, 0x00FFFFFF), kRegular},
        {"size beyond the file", field(1, 0x78, 0x7FFFFFFF), kRegular},
        {"file cut inside the last stream", [](CompoundBuild &b) { b.bytes.resize(b.sector_offset(b.chain_of(9).back()) - 10); }, kLast},
        {"mini chain looping", mini(base.starts[2]), kMini}, {"mini start beyond the mini stream", field(2, 0x74, 100000), kMini},
        {"mini FAT start outside", at(0x3C, 0x00FFFFFF), kMini, true},
        {"mini FAT chain looping", fat_of(base.mini_fat_sectors[0], base.mini_fat_sectors[0]), kMini, true},
        {"mini stream chain too short", fat_of(base.mini_stream_sectors[0], kCfbEnd), kMini, true},
        {"mini stream larger than the file", field(0, 0x78, 0x7FFFFFFF), kMini, true},
        {"right sibling back to the top of the tree", [&](CompoundBuild &b) {
             for (std::size_t i = 1; i <= 10; ++i)
                 if (b.get32(b.entry_offset(i) + 0x48) == testing::kCfbNoStream) b.put32(b.entry_offset(i) + 0x48, top);
         }, kTree},
        {"left sibling to itself", field(top, 0x44, top), kTree}, {"child of the root is the root", field(0, 0x4C, 0), kTree},
        {"storage's child is its parent's tree", field(8, 0x4C, top), kTree},
        {"links out of range", [](CompoundBuild &b) { field(1, 0x44, 5000)(b), field(1, 0x48, 0xFFFFFFFA)(b), field(1, 0x4C, 0x80000000)(b); },
         kTree},
    };
    const auto layout = mixed_layout();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        CompoundBuild damaged = c.on_big ? big : base;
        c.damage(damaged);
        if (c.broken == kWhole) {
            EXPECT_TRUE(file.open(damaged.bytes) == kReadError && file.entries().empty());
            continue;
        }
        ASSERT_EQ(file.open(damaged.bytes), 0);
        if (c.broken == kTree) {
            std::vector<bool> seen(file.entries().size());
            for (int k : file.children(0)) {
                EXPECT_TRUE(k != 0 && !seen[k]) << "entry " << k;
                seen[k] = true;
            }
            EXPECT_EQ(file.find_top("Missing"), -1);
            file.children(8);
            continue;
        }
        out = "stale";
        EXPECT_TRUE(file.read_stream(c.broken, out) == kReadError && out.empty());
        const int other = c.broken == kRegular ? 7 : kRegular;
        EXPECT_TRUE(file.read_stream(other, out) == 0 && out == layout.entries[other - 1].data);
        EXPECT_EQ(file.read_stream(kOtherMini, out), c.all_mini ? kReadError : 0);
    }
    EXPECT_EQ(std::tuple(file.entries()[1].left, file.entries()[1].right, file.entries()[1].child), std::tuple(-1, -1, -1));
}

}  // namespace
}  // namespace tabsmith
