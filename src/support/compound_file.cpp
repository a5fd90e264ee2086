// Reads compound files: header, DIFAT, FAT, directory, mini FAT and mini stream, each sector
// number and chain bounded by the file before use, and the streams they hold.

#include "support/compound_file.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "support/charset.h"
#include "support/results.h"

namespace tabsmith {

namespace {

constexpr unsigned char kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
constexpr std::size_t kHeaderBytes = 512;
constexpr std::size_t kHeaderDifatEntries = 109;
constexpr std::size_t kHeaderDifatAt = 0x4C;
constexpr std::size_t kEntryBytes = 128;
constexpr std::uint32_t kMiniSectorShift = 6;
constexpr std::uint32_t kMiniSectorSize = 1u << kMiniSectorShift;
constexpr std::uint32_t kEndOfChain = 0xFFFFFFFE;
// Sector numbers above this one are marks (free, end of chain, FAT, DIFAT), never sectors.
constexpr std::uint32_t kMaxRegularSector = 0xFFFFFFFA;
// follow_chain's `want` for a chain read up to its end mark rather than for a known length.
constexpr std::uint64_t kToEnd = 0;

std::uint16_t le16(const unsigned char *p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
std::uint32_t le32(const unsigned char *p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
std::uint64_t le64(const unsigned char *p) { return le32(p) | (static_cast<std::uint64_t>(le32(p + 4)) << 32); }

std::uint64_t ceil_div(std::uint64_t a, std::uint64_t b) { return a / b + (a % b != 0); }

// Follows a chain through `table` from `start`. Every sector must be below `limit` (the sectors
// that exist) and none may come twice, so the walk ends after at most `limit` steps. With a
// `want` it stops after that many sectors and fails when the chain ends sooner; with kToEnd it
// runs to the end-of-chain mark.
int follow_chain(const std::vector<std::uint32_t> &table, std::uint32_t start, std::uint64_t limit,
                 std::uint64_t want, std::vector<std::uint32_t> &out) {
    out.clear();
    limit = std::min<std::uint64_t>(limit, table.size());
    if (want != kToEnd) {
        if (want > limit) return kReadError;
        out.reserve(want);
    }
    std::vector<bool> seen(limit);
    std::uint32_t sector = start;
    while (want == kToEnd || out.size() < want) {
        if (want == kToEnd && sector == kEndOfChain) return 0;
        if (sector >= limit || seen[sector]) return kReadError;
        seen[sector] = true;
        out.push_back(sector);
        sector = table[sector];
    }
    return 0;
}

// Upper-casing as the format compares names, for the scripts stream and sheet names are written
// in (Latin, Greek, Cyrillic, full-width Latin); other characters compare as they are.
char32_t fold_case(char32_t c) {
    if (c >= U'a' && c <= U'z') return c - 0x20;
    if (c < 0xE0) return c;
    if (c <= 0xFE) return c == 0xF7 ? c : c - 0x20;
    if (c == 0xFF) return 0x178;
    if (c >= 0x3B1 && c <= 0x3C9) return c == 0x3C2 ? 0x3A3 : c - 0x20;
    if (c >= 0x430 && c <= 0x44F) return c - 0x20;
    if (c >= 0x450 && c <= 0x45F) return c - 0x50;
    if (c >= 0xFF41 && c <= 0xFF5A) return c - 0x20;
    return c;
}


// A directory name: up to 31 UTF-16LE units before the terminator (the length field counts
// bytes with the terminator). A lone surrogate becomes U+FFFD.
void decode_entry_name(const unsigned char *field, std::uint16_t length_bytes, std::string &name,
                       std::u32string &folded) {
    std::size_t units = std::min<std::size_t>(length_bytes, 64) / 2;
    for (std::size_t i = 0; i < units; ++i) {
        char32_t unit = le16(field + 2 * i);
        if (unit == 0) break;
        char32_t c = unit;
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < units) {
            char32_t low = le16(field + 2 * i + 2);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                c = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            }
        }
        if (c >= 0xD800 && c <= 0xDFFF) c = 0xFFFD;
        append_utf8_code_point(name, static_cast<std::uint32_t>(c));
        folded += fold_case(c);
    }
}

// A UTF-8 name as upper-cased code points; bytes that start no character become U+FFFD.
std::u32string fold_utf8(std::string_view text) {
    std::u32string out;
    const auto *p = reinterpret_cast<const unsigned char *>(text.data());
    std::size_t n = text.size(), i = 0;
    while (i < n) {
        Utf8Sequence seq = utf8_sequence_at(p + i, n - i);
        if (seq.length == 0) {
            out += U'\uFFFD';
            i += seq.broken;
            continue;
        }
        char32_t c = seq.length == 1 ? p[i] : p[i] & (0xFF >> (seq.length + 1));
        for (std::size_t k = 1; k < seq.length; ++k) c = (c << 6) | (p[i + k] & 0x3F);
        out += fold_case(c);
        i += seq.length;
    }
    return out;
}

}  // namespace

int CompoundFile::open(std::string bytes) {
    *this = CompoundFile();
    try {
        bytes_ = std::move(bytes);
        int rc = parse();
        if (rc != 0) {
            const char *why = fault_;
            *this = CompoundFile();
            fault_ = why;
        }
        return rc;
    } catch (const std::bad_alloc &) {
        *this = CompoundFile();
        return kNoMemory;
    }
}

std::uint64_t CompoundFile::whole_sector(std::uint32_t sector) const {
    if (sector >= sector_count_) return 0;
    std::uint64_t at = (static_cast<std::uint64_t>(sector) + 1) << sector_shift_;
    return at + sector_size_ <= bytes_.size() ? at : 0;
}

int CompoundFile::parse() {
    const std::size_t size = bytes_.size();
    const auto *head = reinterpret_cast<const unsigned char *>(bytes_.data());
    if (size < kHeaderBytes || std::memcmp(head, kSignature, sizeof kSignature) != 0) return refuse("Invalid Signature");
    // The byte-order mark: every field of the file is little-endian, and says so.
    if (le16(head + 0x1C) != 0xFFFE) return refuse("Invalid Byte Order");
    std::uint16_t shift = le16(head + 0x1E);
    if (shift != 9 && shift != 12) return refuse("Invalid Sector Size");
    if (le16(head + 0x20) != kMiniSectorShift) return refuse("Invalid Mini Sector Size");
    sector_shift_ = shift;
    sector_size_ = 1u << shift;
    // The header takes the whole first sector (the rest of it is zero with 4096-byte sectors).
    if (size < sector_size_) return refuse("Short Header Sector");
    // A last sector cut short still counts: a stream that ends before the cut reads whole.
    sector_count_ = static_cast<std::uint32_t>(
        std::min<std::uint64_t>(ceil_div(size - sector_size_, sector_size_), kMaxRegularSector + 1ull));
    mini_cutoff_ = le32(head + 0x38);

    if (int rc = read_fat()) return rc;
    if (int rc = read_directory()) return rc;
    read_mini_stream_layout();
    return 0;
}

// The FAT sectors are listed by the DIFAT: the first 109 in the header, the rest in a chain of
// DIFAT sectors whose last entry links to the next.
int CompoundFile::read_fat() {
    const auto *data = reinterpret_cast<const unsigned char *>(bytes_.data());
    std::uint32_t fat_sectors = le32(data + 0x2C);
    if (fat_sectors == 0 || fat_sectors > sector_count_) return refuse("Invalid FAT Sector Count");
    std::vector<std::uint32_t> where;
    where.reserve(fat_sectors);
    for (std::size_t i = 0; i < kHeaderDifatEntries && where.size() < fat_sectors; ++i)
        where.push_back(le32(data + kHeaderDifatAt + 4 * i));
    const std::size_t per_difat = sector_size_ / 4 - 1;
    std::vector<bool> seen(sector_count_);
    std::uint32_t next = le32(data + 0x44);
    while (where.size() < fat_sectors) {
        std::uint64_t at = whole_sector(next);
        if (at == 0 || seen[next]) return refuse("Invalid DIFAT Chain");
        seen[next] = true;
        for (std::size_t i = 0; i < per_difat && where.size() < fat_sectors; ++i) where.push_back(le32(data + at + 4 * i));
        next = le32(data + at + sector_size_ - 4);
    }
    const std::size_t per_fat = sector_size_ / 4;
    fat_.resize(static_cast<std::size_t>(fat_sectors) * per_fat);
    for (std::size_t k = 0; k < where.size(); ++k) {
        std::uint64_t at = whole_sector(where[k]);
        if (at == 0) return refuse("Invalid FAT Sector");
        for (std::size_t i = 0; i < per_fat; ++i) fat_[k * per_fat + i] = le32(data + at + 4 * i);
    }
    return 0;
}

int CompoundFile::read_directory() {
    const auto *data = reinterpret_cast<const unsigned char *>(bytes_.data());
    std::vector<std::uint32_t> chain;
    if (follow_chain(fat_, le32(data + 0x30), sector_count_, kToEnd, chain) != 0 || chain.empty())
        return refuse("Invalid Directory Chain");
    const std::size_t per_sector = sector_size_ / kEntryBytes;
    entries_.reserve(chain.size() * per_sector);
    folded_names_.reserve(chain.size() * per_sector);
    std::vector<std::uint32_t> links;  // left, right, child of each entry as the file has them
    links.reserve(chain.size() * per_sector * 3);
    for (std::uint32_t sector : chain) {
        std::uint64_t at = whole_sector(sector);
        if (at == 0) return refuse("Invalid Directory Sector");
        for (std::size_t k = 0; k < per_sector; ++k) {
            const unsigned char *p = data + at + k * kEntryBytes;
            CompoundEntry entry;
            std::u32string folded;
            decode_entry_name(p, le16(p + 0x40), entry.name, folded);
            entry.type = p[0x42];
            links.push_back(le32(p + 0x44));
            links.push_back(le32(p + 0x48));
            links.push_back(le32(p + 0x4C));
            entry.start = le32(p + 0x74);
            // Files with 512-byte sectors may carry garbage in the size's high half.
            entry.size = sector_shift_ == 9 ? le32(p + 0x78) : le64(p + 0x78);
            entries_.push_back(std::move(entry));
            folded_names_.push_back(std::move(folded));
        }
    }
    const std::size_t count = entries_.size();
    auto index = [count](std::uint32_t link) { return link < count ? static_cast<std::int32_t>(link) : -1; };
    for (std::size_t i = 0; i < count; ++i) {
        entries_[i].left = index(links[3 * i]);
        entries_[i].right = index(links[3 * i + 1]);
        entries_[i].child = index(links[3 * i + 2]);
    }
    return entries_[0].type == kCompoundRoot ? 0 : refuse("No Root Entry");
}

// The mini stream is the root entry's data, in 64-byte mini sectors chained by the mini FAT.
// Either being damaged leaves only the small streams unreadable.
void CompoundFile::read_mini_stream_layout() {
    const auto *data = reinterpret_cast<const unsigned char *>(bytes_.data());
    const CompoundEntry &root = entries_[0];
    if (root.size == 0 || root.size > bytes_.size()) return;
    if (follow_chain(fat_, root.start, sector_count_, ceil_div(root.size, sector_size_), mini_stream_sectors_) != 0)
        return;
    std::vector<std::uint32_t> chain;
    if (follow_chain(fat_, le32(data + 0x3C), sector_count_, kToEnd, chain) != 0) return;
    const std::size_t per_sector = sector_size_ / 4;
    mini_fat_.reserve(chain.size() * per_sector);
    for (std::uint32_t sector : chain) {
        std::uint64_t at = whole_sector(sector);
        if (at == 0) {
            mini_fat_.clear();
            return;
        }
        for (std::size_t i = 0; i < per_sector; ++i) mini_fat_.push_back(le32(data + at + 4 * i));
    }
    mini_stream_size_ = root.size;
    mini_usable_ = true;
}

std::vector<int> CompoundFile::children(int storage) const {
    std::vector<int> out;
    if (storage < 0 || static_cast<std::size_t>(storage) >= entries_.size()) return out;
    std::uint8_t type = entries_[storage].type;
    if (type != kCompoundStorage && type != kCompoundRoot) return out;
    // In-order walk with an explicit stack; an entry already met (a cycle, or a subtree linked
    // twice) is not entered again, so the walk takes at most one step per entry.
    std::vector<bool> seen(entries_.size());
    seen[storage] = true;
    std::vector<int> stack;
    int node = entries_[storage].child;
    while (true) {
        while (node >= 0 && !seen[node]) {
            seen[node] = true;
            stack.push_back(node);
            node = entries_[node].left;
        }
        if (stack.empty()) break;
        node = stack.back();
        stack.pop_back();
        out.push_back(node);
        node = entries_[node].right;
    }
    return out;
}

int CompoundFile::find_child(int storage, std::string_view name) const {
    std::u32string wanted = fold_utf8(name);
    for (int index : children(storage))
        if (folded_names_[index] == wanted) return index;
    return -1;
}

int CompoundFile::read_stream(int index, std::string &out) const {
    out.clear();
    if (index < 0 || static_cast<std::size_t>(index) >= entries_.size()) return kBadArgument;
    const CompoundEntry &entry = entries_[index];
    if (entry.type != kCompoundStream) return kBadArgument;
    if (entry.size == 0) return 0;
    try {
        int rc = entry.size < mini_cutoff_ ? read_mini(entry, out) : read_regular(entry, out);
        if (rc != 0) out = std::string();
        return rc;
    } catch (const std::bad_alloc &) {
        out = std::string();
        return kNoMemory;
    }
}

bool CompoundFile::streams_overlap() const {
    std::vector<std::uint8_t> seen(sector_count_, 0);
    auto claim = [&](const std::vector<std::uint32_t> &chain) {
        for (std::uint32_t sector : chain) {
            if (sector >= seen.size()) continue;
            if (seen[sector]) return true;
            seen[sector] = 1;
        }
        return false;
    };
    const auto *data = reinterpret_cast<const unsigned char *>(bytes_.data());
    // The allocation sectors the header lists, the directory and the mini FAT.
    std::vector<std::uint32_t> fat_sectors;
    const std::uint32_t fat_count = le32(data + 0x2C);
    for (std::size_t i = 0; i < kHeaderDifatEntries && fat_sectors.size() < fat_count; ++i)
        fat_sectors.push_back(le32(data + kHeaderDifatAt + 4 * i));
    if (claim(fat_sectors)) return true;
    for (std::uint32_t start : {le32(data + 0x30), le32(data + 0x3C)}) {
        std::vector<std::uint32_t> chain;
        if (start < sector_count_ && follow_chain(fat_, start, sector_count_, kToEnd, chain) == 0 && claim(chain))
            return true;
    }
    for (const CompoundEntry &entry : entries_) {
        // The root's chain holds the mini stream; other streams below the cutoff live in it.
        if (!(entry.type == kCompoundRoot || (entry.type == kCompoundStream && entry.size >= mini_cutoff_)) ||
            entry.size == 0 || entry.size > bytes_.size())
            continue;
        // The whole chain, to its end mark: sectors past the stream's size still belong to it.
        std::vector<std::uint32_t> chain;
        if (follow_chain(fat_, entry.start, sector_count_, kToEnd, chain) != 0) continue;
        if (claim(chain)) return true;
    }
    return false;
}

int CompoundFile::read_regular(const CompoundEntry &entry, std::string &out) const {
    if (entry.size > bytes_.size()) return kReadError;
    std::vector<std::uint32_t> chain;
    if (follow_chain(fat_, entry.start, sector_count_, ceil_div(entry.size, sector_size_), chain) != 0)
        return kReadError;
    const std::size_t size = static_cast<std::size_t>(entry.size);
    out.resize(size);
    std::size_t done = 0;
    for (std::uint32_t sector : chain) {
        std::uint64_t at = (static_cast<std::uint64_t>(sector) + 1) << sector_shift_;
        std::size_t n = std::min<std::size_t>(sector_size_, size - done);
        if (at + n > bytes_.size()) return kReadError;
        std::memcpy(out.data() + done, bytes_.data() + at, n);
        done += n;
    }
    return 0;
}

int CompoundFile::read_mini(const CompoundEntry &entry, std::string &out) const {
    if (!mini_usable_ || entry.size > mini_stream_size_) return kReadError;
    std::vector<std::uint32_t> chain;
    if (follow_chain(mini_fat_, entry.start, ceil_div(mini_stream_size_, kMiniSectorSize),
                     ceil_div(entry.size, kMiniSectorSize), chain) != 0)
        return kReadError;
    const std::size_t size = static_cast<std::size_t>(entry.size);
    out.resize(size);
    std::size_t done = 0;
    for (std::uint32_t mini : chain) {
        // A mini sector never straddles two sectors: 64 divides the sector size.
        std::uint64_t position = static_cast<std::uint64_t>(mini) << kMiniSectorShift;
        std::size_t n = std::min<std::size_t>(kMiniSectorSize, size - done);
        if (position + n > mini_stream_size_) return kReadError;
        std::uint32_t sector = mini_stream_sectors_[position >> sector_shift_];
        std::uint64_t at = ((static_cast<std::uint64_t>(sector) + 1) << sector_shift_) + (position & (sector_size_ - 1));
        if (at + n > bytes_.size()) return kReadError;
        std::memcpy(out.data() + done, bytes_.data() + at, n);
        done += n;
    }
    return 0;
}

}  // namespace tabsmith
