// The book's shared strings: equal texts are stored once and share one index, so a report that
// repeats a few texts keeps a small table and its cells hold nothing but the index.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

namespace tabsmith {

class SharedStringTable {
public:
    // The index of `utf8`, stored first if no equal text is; kNoMemory when memory runs out
    // (nothing changes).
    int put(std::string_view utf8);
    // put() that always stores a new entry, so that the n-th text put is index n: a package's
    // table is read this way, and its strings keep their numbers (and their formatted runs) at save.
    int put_distinct(std::string_view utf8);
    void clear();

    // Texts stored; indexes run from 0 to size() - 1 in the order their texts first came.
    std::size_t size() const { return entries_.size(); }
    // The text behind an index (empty past the end).
    const std::string &text(std::uint32_t index) const { return index < entries_.size() ? entries_[index] : empty_; }

private:
    int put(std::string_view utf8, bool distinct);
    // The slot that holds `utf8` (its index + 1 is non-zero) or the empty slot where it belongs.
    std::uint64_t &slot_of(std::string_view utf8, std::uint64_t hash);
    void grow_slots();

    std::deque<std::string> entries_;   // a deque never moves its strings, so views stay valid as texts come
    // An open-addressed table of the first index of each distinct text: a slot holds the index
    // + 1 in its low half (0 = empty) and the upper half of the text's hash in its upper half.
    std::vector<std::uint64_t> slots_;
    std::size_t distinct_ = 0;
    std::string empty_;   // what text() gives past the end
};

}  // namespace tabsmith
