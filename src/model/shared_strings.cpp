// The table of distinct shared texts and their indexes.

#include "model/shared_strings.h"

#include <new>

#include "support/results.h"

namespace tabsmith {

int SharedStringTable::put(std::string_view utf8) { return put(utf8, false); }

int SharedStringTable::put_distinct(std::string_view utf8) { return put(utf8, true); }

int SharedStringTable::put(std::string_view utf8, bool distinct) {
    try {
        auto found = lookup_.find(utf8);
        if (found != lookup_.end() && !distinct) return static_cast<int>(found->second);
        const auto index = static_cast<std::uint32_t>(entries_.size());
        entries_.emplace_back(utf8);
        try {
            if (found == lookup_.end()) lookup_.emplace(entries_.back(), index);
        } catch (...) {
            entries_.pop_back();
            throw;
        }
        return static_cast<int>(index);
    } catch (const std::bad_alloc &) {
        return kNoMemory;
    }
}

void SharedStringTable::clear() {
    lookup_.clear();
    entries_.clear();
}

const std::string &SharedStringTable::text(std::uint32_t index) const {
    static const std::string empty;
    return index < entries_.size() ? entries_[index] : empty;
}

}  // namespace tabsmith
