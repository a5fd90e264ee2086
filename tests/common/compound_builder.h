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
constexpr std::uint32_t kCfbFatMark = 0xFFFFFFFD;
constexpr std::uint32_t kCfbDifatMark = 0xFFFFFFFC;
constexpr std::uint32_t kCfbNoStream = 0xFFFFFFFF;

struct CompoundLayout {
    struct Entry {
        std::u16string name;
        std::string data;
        int parent = 0;        // 0 the root, else the (1-based) index of a storage listed before
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
    std::vector<bool> in_mini;

    std::size_t sector_offset(std::uint32_t sector) const { return (std::size_t(sector) + 1) * sector_size; }
    // Where FAT[sector] is stored.
    std::size_t fat_entry_offset(std::uint32_t sector) const {
        std::uint32_t per = sector_size / 4;
        return sector_offset(fat_sectors[sector / per]) + 4 * (sector % per);
    }
    std::size_t entry_offset(std::size_t index) const {
        std::uint32_t per = sector_size / 128;
        return sector_offset(directory_sectors[index / per]) + 128 * (index % per);
    }
    // Where MiniFAT[mini] is stored.
    std::size_t mini_fat_entry_offset(std::uint32_t mini) const {
        std::uint32_t per = sector_size / 4;
        return sector_offset(mini_fat_sectors[mini / per]) + 4 * (mini % per);
    }
    std::uint32_t get32(std::size_t at) const {
        auto b = [&](std::size_t i) { return std::uint32_t(static_cast<unsigned char>(bytes[at + i])); };
        return b(0) | b(1) << 8 | b(2) << 16 | b(3) << 24;
    }
    void put32(std::size_t at, std::uint32_t value) {
        for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
    }
    void put16(std::size_t at, std::uint16_t value) {
        bytes[at] = static_cast<char>(value & 0xFF);
        bytes[at + 1] = static_cast<char>(value >> 8);
    }
    // The sectors of a regular stream, following the FAT as written.
    std::vector<std::uint32_t> chain_of(std::size_t index) const {
        std::vector<std::uint32_t> out;
        for (std::uint32_t s = starts[index]; s != kCfbEnd && out.size() < 1000000; s = get32(fat_entry_offset(s)))
            out.push_back(s);
        return out;
    }
};

inline CompoundBuild build_compound(const CompoundLayout &layout) {
    constexpr std::uint32_t kCutoff = 4096;
    CompoundBuild b;
    const std::uint32_t ss = 1u << layout.shift;
    const std::uint32_t per_fat = ss / 4;
    b.sector_size = ss;
    const std::size_t n = layout.entries.size() + 1;
    b.starts.assign(n, kCfbEnd);
    b.in_mini.assign(n, false);

    // The mini stream and its FAT.
    std::string mini_stream;
    std::vector<std::uint32_t> mini_fat;
    for (std::size_t i = 1; i < n; ++i) {
        const auto &e = layout.entries[i - 1];
        if (e.storage || e.data.empty() || e.data.size() >= kCutoff) continue;
        std::uint32_t first = static_cast<std::uint32_t>(mini_stream.size() / 64);
        std::uint32_t count = static_cast<std::uint32_t>((e.data.size() + 63) / 64);
        for (std::uint32_t k = 0; k < count; ++k) mini_fat.push_back(k + 1 < count ? first + k + 1 : kCfbEnd);
        mini_stream += e.data;
        mini_stream.resize(std::size_t(first + count) * 64, '\0');
        b.starts[i] = first;
        b.in_mini[i] = true;
    }
    auto sectors_for = [ss](std::size_t bytes) { return static_cast<std::uint32_t>((bytes + ss - 1) / ss); };
    std::uint32_t dir_count = sectors_for(n * 128);
    std::uint32_t mini_fat_count = sectors_for(mini_fat.size() * 4);
    std::uint32_t mini_stream_count = sectors_for(mini_stream.size());
    std::uint32_t data = dir_count + mini_fat_count + mini_stream_count;
    for (std::size_t i = 1; i < n; ++i) {
        const auto &e = layout.entries[i - 1];
        if (!e.storage && e.data.size() >= kCutoff) data += sectors_for(e.data.size());
    }
    std::uint32_t fat_count = 1, difat_count = 0;
    while (std::uint64_t(fat_count) * per_fat < data + fat_count + difat_count) {
        ++fat_count;
        difat_count = fat_count > 109 ? (fat_count - 109 + per_fat - 2) / (per_fat - 1) : 0;
    }
    std::uint32_t total = data + fat_count + difat_count;
    b.bytes.assign(std::size_t(total + 1) * ss, '\0');
    std::vector<std::uint32_t> fat(std::size_t(fat_count) * per_fat, kCfbFree);

    std::uint32_t next = 0;
    auto take = [&](std::uint32_t count, std::vector<std::uint32_t> &list, std::uint32_t mark) {
        for (std::uint32_t k = 0; k < count; ++k) {
            list.push_back(next + k);
            fat[next + k] = mark ? mark : (k + 1 < count ? next + k + 1 : kCfbEnd);
        }
        next += count;
    };
    take(fat_count, b.fat_sectors, kCfbFatMark);
    take(difat_count, b.difat_sectors, kCfbDifatMark);
    take(dir_count, b.directory_sectors, 0);
    take(mini_fat_count, b.mini_fat_sectors, 0);
    take(mini_stream_count, b.mini_stream_sectors, 0);
    auto write_at = [&](std::uint32_t first, const std::string &bytes) {
        std::copy(bytes.begin(), bytes.end(), b.bytes.begin() + b.sector_offset(first));
    };
    for (std::size_t i = 1; i < n; ++i) {
        const auto &e = layout.entries[i - 1];
        if (e.storage || e.data.size() < kCutoff) continue;
        std::vector<std::uint32_t> list;
        take(sectors_for(e.data.size()), list, 0);
        b.starts[i] = list[0];
        write_at(list[0], e.data);
    }
    if (!mini_stream.empty()) write_at(b.mini_stream_sectors[0], mini_stream);
    for (std::size_t k = 0; k < mini_fat.size(); ++k) b.put32(b.sector_offset(b.mini_fat_sectors[0]) + 4 * k, mini_fat[k]);
    // Mini FAT sectors are consecutive, so the entries run on across them.
    for (std::size_t k = mini_fat.size(); k < std::size_t(mini_fat_count) * per_fat; ++k)
        b.put32(b.sector_offset(b.mini_fat_sectors[0]) + 4 * k, kCfbFree);
    for (std::size_t k = 0; k < fat.size(); ++k) b.put32(b.sector_offset(b.fat_sectors[k / per_fat]) + 4 * (k % per_fat), fat[k]);

    // Header.
    const char signature[] = "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1";
    std::copy(signature, signature + 8, b.bytes.begin());
    b.put16(0x18, 0x3E);
    b.put16(0x1A, layout.shift == 12 ? 4 : 3);
    b.put16(0x1C, 0xFFFE);
    b.put16(0x1E, static_cast<std::uint16_t>(layout.shift));
    b.put16(0x20, 6);
    b.put32(0x28, layout.shift == 12 ? dir_count : 0);
    b.put32(0x2C, fat_count);
    b.put32(0x30, b.directory_sectors[0]);
    b.put32(0x38, kCutoff);
    b.put32(0x3C, mini_fat_count ? b.mini_fat_sectors[0] : kCfbEnd);
    b.put32(0x40, mini_fat_count);
    b.put32(0x44, difat_count ? b.difat_sectors[0] : kCfbEnd);
    b.put32(0x48, difat_count);
    for (std::uint32_t k = 0; k < 109; ++k) b.put32(0x4C + 4 * k, k < fat_count ? b.fat_sectors[k] : kCfbFree);
    for (std::uint32_t d = 0; d < difat_count; ++d) {
        std::size_t at = b.sector_offset(b.difat_sectors[d]);
        for (std::uint32_t k = 0; k < per_fat - 1; ++k) {
            std::size_t which = 109 + std::size_t(d) * (per_fat - 1) + k;
            b.put32(at + 4 * k, which < fat_count ? b.fat_sectors[which] : kCfbFree);
        }
        b.put32(at + 4 * (per_fat - 1), d + 1 < difat_count ? b.difat_sectors[d + 1] : kCfbEnd);
    }

    // Directory: each storage's children as a balanced tree ordered as the format orders names
    // (shorter first, then by upper-cased code unit).
    std::vector<std::uint32_t> left(n, kCfbNoStream), right(n, kCfbNoStream), child(n, kCfbNoStream);
    auto upper = [](std::u16string s) {
        for (auto &c : s)
            if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - 32);
        return s;
    };
    for (std::size_t parent = 0; parent < n; ++parent) {
        std::vector<std::size_t> kids;
        for (std::size_t i = 1; i < n; ++i)
            if (std::size_t(layout.entries[i - 1].parent) == parent) kids.push_back(i);
        std::sort(kids.begin(), kids.end(), [&](std::size_t x, std::size_t y) {
            const auto &a = layout.entries[x - 1].name, &c = layout.entries[y - 1].name;
            return a.size() != c.size() ? a.size() < c.size() : upper(a) < upper(c);
        });
        auto tree = [&](auto &&self, std::size_t lo, std::size_t hi) -> std::uint32_t {
            if (lo >= hi) return kCfbNoStream;
            std::size_t mid = (lo + hi) / 2;
            left[kids[mid]] = self(self, lo, mid);
            right[kids[mid]] = self(self, mid + 1, hi);
            return static_cast<std::uint32_t>(kids[mid]);
        };
        child[parent] = tree(tree, 0, kids.size());
    }
    for (std::size_t i = 0; i < dir_count * (ss / 128); ++i) {
        std::size_t at = b.entry_offset(i);
        b.put32(at + 0x44, kCfbNoStream);
        b.put32(at + 0x48, kCfbNoStream);
        b.put32(at + 0x4C, kCfbNoStream);
        if (i >= n) continue;
        std::u16string name = i == 0 ? u"Root Entry" : layout.entries[i - 1].name;
        for (std::size_t k = 0; k < name.size() && k < 31; ++k) b.put16(at + 2 * k, name[k]);
        b.put16(at + 0x40, static_cast<std::uint16_t>((std::min<std::size_t>(name.size(), 31) + 1) * 2));
        b.bytes[at + 0x42] = static_cast<char>(i == 0 ? 5 : layout.entries[i - 1].storage ? 1 : 2);
        b.bytes[at + 0x43] = 1;
        b.put32(at + 0x44, left[i]);
        b.put32(at + 0x48, right[i]);
        b.put32(at + 0x4C, child[i]);
        std::uint64_t size = i == 0 ? mini_stream.size() : layout.entries[i - 1].storage ? 0 : layout.entries[i - 1].data.size();
        std::uint32_t start = i == 0 ? (mini_stream.empty() ? kCfbEnd : b.mini_stream_sectors[0]) : b.starts[i];
        if (i == 0) b.starts[0] = start;
        b.put32(at + 0x74, start);
        b.put32(at + 0x78, static_cast<std::uint32_t>(size));
        b.put32(at + 0x7C, static_cast<std::uint32_t>(size >> 32));
    }
    return b;
}

}  // namespace tabsmith::testing
