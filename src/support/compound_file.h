// Compound files: the sector container (header, FAT, directory, mini stream) that legacy .xls
// workbooks and encrypted .xlsx packages are stored in, read safely from the whole file in memory.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "support/results.h"

namespace tabsmith {

// Directory entry types.
constexpr std::uint8_t kCompoundStorage = 1;
constexpr std::uint8_t kCompoundStream = 2;
constexpr std::uint8_t kCompoundRoot = 5;

// One directory entry. Entry 0 is the root storage. `left`, `right` and `child` are either -1 or
// the index of an existing entry (anything else in the file is read as -1).
struct CompoundEntry {
    std::string name;        // UTF-8 (directory names are UTF-16LE in the file)
    std::uint8_t type = 0;   // kCompoundStorage, kCompoundStream, kCompoundRoot; 0 unused
    std::uint64_t size = 0;
    std::uint32_t start = 0; // first sector (or mini sector for a stream below the cutoff)
    std::int32_t left = -1, right = -1, child = -1;
};

// A compound file opened from its bytes. Every sector number, chain and index taken from the
// file is checked before it is used, so a damaged or hostile file gives kReadError and never a
// crash, a hang or an allocation beyond the file's own size.
class CompoundFile {
public:
    // Takes the whole file. 0; kReadError for anything malformed (bad signature, sector shift
    // other than 9 or 12, mini sector shift other than 6, FAT, DIFAT or directory chains that
    // loop, point outside the file or are too short, a first entry that is no root); kNoMemory.
    // A damaged mini stream or mini FAT does not fail the open: only the streams kept in the
    // mini stream become unreadable.
    int open(std::string bytes);
    // Why the last open failed, in a few words ("Invalid Byte Order"); empty after a success or a
    // shortage of memory.
    const char *fault() const { return fault_; }

    const std::vector<CompoundEntry> &entries() const { return entries_; }
    // 512 or 4096 once open.
    std::uint32_t sector_size() const { return sector_size_; }

    // The entries directly under the storage (or root) `storage`, in the order of their tree
    // (left subtree, node, right subtree), each at most once however the tree is damaged.
    // Empty for an index that is no storage.
    std::vector<int> children(int storage) const;
    // Index of the entry called `name` directly under `storage`, or -1. Names compare without
    // regard to letter case, as the format does.
    int find_child(int storage, std::string_view name) const;
    // Index of the stream or storage called `name` directly under the root storage, or -1.
    int find_top(std::string_view name) const { return find_child(0, name); }

    // The stream's bytes, exactly its size: 0; kBadArgument when `index` is no stream entry;
    // kReadError when its chain is broken, loops, is too short or runs past the file (or the
    // mini stream); kNoMemory.
    int read_stream(int index, std::string &out) const;
    // Whether two streams (or a stream and the mini stream's container) claim the same sector:
    // a damaged file, whose streams would read each other's bytes.
    bool streams_overlap() const;

private:
    int refuse(const char *why) {
        fault_ = why;
        return kReadError;
    }
    int parse();
    int read_fat();
    int read_directory();
    void read_mini_stream_layout();
    int read_regular(const CompoundEntry &entry, std::string &out) const;
    int read_mini(const CompoundEntry &entry, std::string &out) const;
    // Byte offset of a sector that lies wholly inside the file, or 0 when it does not (offset 0
    // is the header, never a sector).
    std::uint64_t whole_sector(std::uint32_t sector) const;

    std::string bytes_;
    const char *fault_ = "";
    std::uint32_t sector_shift_ = 0;
    std::uint32_t sector_size_ = 0;
    std::uint32_t sector_count_ = 0;  // sectors that start inside the file
    std::uint32_t mini_cutoff_ = 0;
    std::vector<std::uint32_t> fat_;
    std::vector<std::uint32_t> mini_fat_;
    std::vector<std::uint32_t> mini_stream_sectors_;  // the root entry's chain
    std::uint64_t mini_stream_size_ = 0;
    bool mini_usable_ = false;
    std::vector<CompoundEntry> entries_;
    std::vector<std::u32string> folded_names_;  // names upper-cased for lookups
};

}  // namespace tabsmith
