// The table of distinct shared texts and their indexes.

#include "model/shared_strings.h"

#include <algorithm>
#include <functional>
#include <new>

#include "support/results.h"

namespace tabsmith {

namespace {

std::uint64_t hash_of(std::string_view text) { return std::hash<std::string_view>{}(text); }

constexpr std::uint64_t kIndexBits = 0xFFFFFFFFu;
constexpr std::size_t kFirstSlots = 64;

}  // namespace

int SharedStringTable::put(std::string_view utf8) { return put(utf8, false); }

int SharedStringTable::put_distinct(std::string_view utf8) { return put(utf8, true); }

std::uint64_t &SharedStringTable::slot_of(std::string_view utf8, std::uint64_t hash) {
    const std::size_t mask = slots_.size() - 1;
    const std::uint64_t tag = hash & ~kIndexBits;
    for (std::size_t i = static_cast<std::size_t>(hash) & mask;; i = (i + 1) & mask) {
        std::uint64_t &slot = slots_[i];
        if (slot == 0) return slot;
        if ((slot & ~kIndexBits) == tag && entries_[(slot & kIndexBits) - 1] == utf8) return slot;
    }
}

// Doubles the table (it is never more than half full, so probes stay short).
void SharedStringTable::grow_slots() {
    std::vector<std::uint64_t> old(std::max(kFirstSlots, slots_.size() * 2), 0);
    old.swap(slots_);
    for (std::uint64_t slot : old)
        if (slot != 0) slot_of(entries_[(slot & kIndexBits) - 1], hash_of(entries_[(slot & kIndexBits) - 1])) = slot;
}

int SharedStringTable::put(std::string_view utf8, bool distinct) {
    try {
        if ((distinct_ + 1) * 2 > slots_.size()) grow_slots();
        const std::uint64_t hash = hash_of(utf8);
        std::uint64_t &slot = slot_of(utf8, hash);
        if (slot != 0 && !distinct) return static_cast<int>((slot & kIndexBits) - 1);
        const auto index = static_cast<std::uint32_t>(entries_.size());
        entries_.emplace_back(utf8);
        if (slot == 0) {
            slot = (hash & ~kIndexBits) | (std::uint64_t{index} + 1);
            ++distinct_;
        }
        return static_cast<int>(index);
    } catch (const std::bad_alloc &) {
        return kNoMemory;
    }
}

void SharedStringTable::clear() {
    slots_ = {};
    entries_.clear();
    distinct_ = 0;
}

}  // namespace tabsmith
