// Builds small compound files for the tests, laid out the way a writer lays them out, and says
// where each structure went so that a test can damage exactly one of them.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace tabsmith::testing {

constexpr std::uint32_t kCfbFree = 0xFFFFFFFF;
constexpr std::uint32_t kCfbEnd = 0xFFFFFFFE;
constexpr std::uint32_t kCfbNoStream = 0xFFFFFFFF;

struct CompoundLayout {
    struct Entry {
        std::u16string name;
        std::string data;
        int parent = 0;  // 0 the root, else the (1-based) index of a storage listed before
        bool storage = false;
    };
    unsigned shift = 9;        // 9: 512-byte sectors, 12: 4096
    std::vector<Entry> entries;  // directory entries 1..n; 0 is the root
};

struct CompoundBuild {
    std::string bytes;
    std::uint32_t sector_size = 0;
    std::vector<std::uint32_t> fat_sectors, difat_sectors, directory_sectors, mini_fat_sectors, mini_stream_sectors;
    // First sector (or mini sector) of each directory entry's data; kCfbEnd when it has none.
    std::vector<std::uint32_t> starts;

    std::size_t sector_offset(std::uint32_t sector) const { return (std::size_t(sector) + 1) * sector_size; }
    // Where item `index` of `size` bytes sits in a table spread over `sectors`.
    std::size_t item_offset(const std::vector<std::uint32_t> &sectors, std::size_t index, std::uint32_t size) const {
        return sector_offset(sectors[index / (sector_size / size)]) + size * (index % (sector_size / size));
    }
    std::size_t fat_entry_offset(std::uint32_t sector) const { return item_offset(fat_sectors, sector, 4); }
    std::size_t entry_offset(std::size_t index) const { return item_offset(directory_sectors, index, 128); }
    std::size_t mini_fat_entry_offset(std::uint32_t mini) const { return item_offset(mini_fat_sectors, mini, 4); }
    std::uint32_t get32(std::size_t at) const { return std::uint8_t(bytes[at]) | std::uint8_t(bytes[at + 1]) << 8 | std::uint8_t(bytes[at + 2]) << 16 | std::uint32_t(std::uint8_t(bytes[at + 3])) << 24; }
    void put32(std::size_t at, std::uint32_t value) { put16(at, value & 0xFFFF), put16(at + 2, value >> 16); }
    void put16(std::size_t at, std::uint32_t value) { bytes[at] = static_cast<char>(value), bytes[at + 1] = static_cast<char>(value >> 8); }
    // The sectors of a regular stream, following the FAT as written.
    std::vector<std::uint32_t> chain_of(std::size_t index) const {
        std::vector<std::uint32_t> out;
        for (std::uint32_t s = starts[index]; s != kCfbEnd && out.size() < 1000000; s = get32(fat_entry_offset(s))) out.push_back(s);
        return out;
    }
};

inline CompoundBuild build_compound(const CompoundLayout &layout) {
    constexpr std::uint32_t kCutoff = 4096;
    const std::uint32_t ss = 1u << layout.shift, per_fat = ss / 4;
    const std::size_t n = layout.entries.size() + 1;
    CompoundBuild b{{}, ss, {}, {}, {}, {}, {}, std::vector<std::uint32_t>(n, kCfbEnd)};

    std::string mini_stream;  // and its FAT
    std::vector<std::uint32_t> mini_fat;
    for (std::size_t i = 1; i < n; ++i) {
        const auto &e = layout.entries[i - 1];
        if (e.storage || e.data.empty() || e.data.size() >= kCutoff) continue;
        const auto first = static_cast<std::uint32_t>(mini_stream.size() / 64), count = static_cast<std::uint32_t>((e.data.size() + 63) / 64);
        for (std::uint32_t k = 0; k < count; ++k) mini_fat.push_back(k + 1 < count ? first + k + 1 : kCfbEnd);
        mini_stream += e.data, mini_stream.resize(std::size_t(first + count) * 64, '\0'), b.starts[i] = first;
    }
    auto sectors_for = [ss](std::size_t bytes) { return static_cast<std::uint32_t>((bytes + ss - 1) / ss); };
    const std::uint32_t dir_count = sectors_for(n * 128), mini_fat_count = sectors_for(mini_fat.size() * 4),
                        mini_stream_count = sectors_for(mini_stream.size());
    std::uint32_t data = dir_count + mini_fat_count + mini_stream_count;
    for (const auto &e : layout.entries) data += !e.storage && e.data.size() >= kCutoff ? sectors_for(e.data.size()) : 0;
    std::uint32_t fat_count = 1, difat_count = 0;
    while (std::uint64_t(fat_count) * per_fat < data + fat_count + difat_count)
        ++fat_count, difat_count = fat_count > 109 ? (fat_count - 109 + per_fat - 2) / (per_fat - 1) : 0;
    b.bytes.assign(std::size_t(data + fat_count + difat_count + 1) * ss, '\0');
    std::vector<std::uint32_t> fat(std::size_t(fat_count) * per_fat, kCfbFree);

    std::uint32_t next = 0;
    auto take = [&](std::uint32_t count, std::vector<std::uint32_t> &list, std::uint32_t mark) {
        for (std::uint32_t k = 0; k < count; ++k) list.push_back(next + k), fat[next + k] = mark ? mark : (k + 1 < count ? next + k + 1 : kCfbEnd);
        next += count;
    };
    take(fat_count, b.fat_sectors, 0xFFFFFFFD);  // marked as FAT sectors
    take(difat_count, b.difat_sectors, 0xFFFFFFFC);  // and as DIFAT sectors
    take(dir_count, b.directory_sectors, 0), take(mini_fat_count, b.mini_fat_sectors, 0), take(mini_stream_count, b.mini_stream_sectors, 0);
    for (std::size_t i = 1; i < n; ++i) {
        const auto &e = layout.entries[i - 1];
        if (e.storage || e.data.size() < kCutoff) continue;
        std::vector<std::uint32_t> list;  // the stream's sectors
        take(sectors_for(e.data.size()), list, 0);
        b.starts[i] = list[0];
        b.bytes.replace(b.sector_offset(list[0]), e.data.size(), e.data);
    }
    if (!mini_stream.empty()) b.bytes.replace(b.sector_offset(b.mini_stream_sectors[0]), mini_stream.size(), mini_stream);
    for (std::uint32_t k = 0; k < mini_fat_count * per_fat; ++k) b.put32(b.mini_fat_entry_offset(k), k < mini_fat.size() ? mini_fat[k] : kCfbFree);
    for (std::uint32_t k = 0; k < fat.size(); ++k) b.put32(b.fat_entry_offset(k), fat[k]);

    // Header: signature, version, byte order, sector shifts, counts and starts of the chains.
    b.bytes.replace(0, 8, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1");
    for (auto [at, value] : {std::pair<std::size_t, std::uint32_t>{0x18, 0x3E}, {0x1A, layout.shift == 12 ? 4 : 3}, {0x1C, 0xFFFE},
                             {0x1E, layout.shift}, {0x20, 6}})
        b.put16(at, static_cast<std::uint16_t>(value));
    for (auto [at, value] : {std::pair<std::size_t, std::uint32_t>{0x28, layout.shift == 12 ? dir_count : 0}, {0x2C, fat_count},
                             {0x30, b.directory_sectors[0]}, {0x38, kCutoff},
                             {0x3C, mini_fat_count ? b.mini_fat_sectors[0] : kCfbEnd}, {0x40, mini_fat_count},
                             {0x44, difat_count ? b.difat_sectors[0] : kCfbEnd}, {0x48, difat_count}})
        b.put32(at, value);
    for (std::uint32_t k = 0; k < 109; ++k) b.put32(0x4C + 4 * k, k < fat_count ? b.fat_sectors[k] : kCfbFree);
    for (std::uint32_t d = 0; d < difat_count; ++d) {
        const std::size_t at = b.sector_offset(b.difat_sectors[d]);
        for (std::uint32_t k = 0, which = 109 + d * (per_fat - 1); k < per_fat - 1; ++k, ++which) b.put32(at + 4 * k, which < fat_count ? b.fat_sectors[which] : kCfbFree);
        b.put32(at + 4 * (per_fat - 1), d + 1 < difat_count ? b.difat_sectors[d + 1] : kCfbEnd);
    }

    // Directory: each storage's children as a balanced tree ordered as the format orders names
    // (shorter first, then by upper-cased code unit).
    std::vector<std::uint32_t> left(n, kCfbNoStream), right(n, kCfbNoStream), child(n, kCfbNoStream);
    auto upper = [](std::u16string s) { return std::transform(s.begin(), s.end(), s.begin(), [](char16_t c) -> char16_t { return c >= u'a' && c <= u'z' ? c - 32 : c; }), s; };
    for (std::size_t parent = 0; parent < n; ++parent) {
        std::vector<std::size_t> kids;
        for (std::size_t i = 1; i < n; ++i) if (std::size_t(layout.entries[i - 1].parent) == parent) kids.push_back(i);
        std::sort(kids.begin(), kids.end(), [&](std::size_t x, std::size_t y) {
            const auto &a = layout.entries[x - 1].name, &c = layout.entries[y - 1].name;
            return a.size() != c.size() ? a.size() < c.size() : upper(a) < upper(c);
        });
        auto tree = [&](auto &&self, std::size_t lo, std::size_t hi) -> std::uint32_t {
            const std::size_t mid = (lo + hi) / 2;
            if (lo >= hi) return kCfbNoStream;
            return left[kids[mid]] = self(self, lo, mid), right[kids[mid]] = self(self, mid + 1, hi), static_cast<std::uint32_t>(kids[mid]);
        };
        child[parent] = tree(tree, 0, kids.size());
    }
    for (std::size_t i = 0; i < dir_count * (ss / 128); ++i) {
        const std::size_t at = b.entry_offset(i);
        for (std::size_t link : {0x44, 0x48, 0x4C}) b.put32(at + link, kCfbNoStream);
        if (i >= n) continue;
        std::u16string name = i == 0 ? u"Root Entry" : layout.entries[i - 1].name;
        for (std::size_t k = 0; k < name.size() && k < 31; ++k) b.put16(at + 2 * k, name[k]);
        b.put16(at + 0x40, static_cast<std::uint16_t>((std::min<std::size_t>(name.size(), 31) + 1) * 2));
        b.put16(at + 0x42, i == 0 ? 0x105 : layout.entries[i - 1].storage ? 0x101 : 0x102);  // type, black
        const std::uint64_t size = i == 0 ? mini_stream.size() : layout.entries[i - 1].storage ? 0 : layout.entries[i - 1].data.size();
        if (i == 0) b.starts[0] = mini_stream.empty() ? kCfbEnd : b.mini_stream_sectors[0];
        for (auto [field, value] : {std::pair<std::size_t, std::uint32_t>{0x44, left[i]}, {0x48, right[i]}, {0x4C, child[i]},
                                    {0x74, b.starts[i]}, {0x78, static_cast<std::uint32_t>(size)},
                                    {0x7C, static_cast<std::uint32_t>(size >> 32)}})
            b.put32(at + field, value);
    }
    return b;
}

}  // namespace tabsmith::testing
