// Shared-string indexes and the table of distinct texts behind them.

#include "model/shared_strings.h"

#include <new>

#include "support/results.h"

namespace tabsmith {

int SharedStringTable::put(std::string_view utf8) { return put(utf8, false); }

int SharedStringTable::put_distinct(std::string_view utf8) { return put(utf8, true); }

int SharedStringTable::put(std::string_view utf8, bool distinct) {
    try {
        if (slots_.size() == slots_.capacity()) {
            std::size_t capacity = slots_.capacity();
            slots_.reserve(capacity == 0 ? 100 : (capacity < 104857600 ? capacity * 2 : capacity + 1000));
        }
        auto found = lookup_.find(utf8);
        std::uint32_t entry = 0;
        if (found != lookup_.end() && !distinct) {
            entry = found->second;
        } else {
            entry = static_cast<std::uint32_t>(entries_.size());
            entries_.emplace_back(utf8);
            try {
                if (found == lookup_.end()) lookup_.emplace(entries_.back(), entry);
            } catch (...) {
                entries_.pop_back();
                throw;
            }
        }
        slots_.push_back(entry);
        return static_cast<int>(slots_.size() - 1);
    } catch (const std::bad_alloc &) {
        return kNoMemory;
    }
}

void SharedStringTable::clear() {
    slots_.clear();
    lookup_.clear();
    entries_.clear();
}

const std::string &SharedStringTable::text(std::uint32_t index) const {
    static const std::string empty;
    return index < slots_.size() ? entries_[slots_[index]] : empty;
}

}  // namespace tabsmith
