// The book's shared strings: every put gets its own index, as callers and readers count them,
// while equal texts are stored once, so a report that repeats a few texts keeps a small table.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tabsmith {

class SharedStringTable {
public:
    // Appends one index for `utf8`; returns it, or kNoMemory when memory runs out (nothing changes).
    int put(std::string_view utf8);
    // put() that always stores a new entry, so that entry n is index n: a package's table is
    // read this way, and its strings keep their numbers (and their formatted runs) at save.
    int put_distinct(std::string_view utf8);
    void clear();

    // Indexes handed out so far.
    std::size_t size() const { return slots_.size(); }
    // The text behind an index (empty past the end).
    const std::string &text(std::uint32_t index) const;
    // The stored entry an index names: entries are numbered in the order their texts first came.
    std::uint32_t entry(std::uint32_t index) const { return index < slots_.size() ? slots_[index] : index; }
    std::size_t entry_count() const { return entries_.size(); }
    const std::string &entry_text(std::size_t entry) const { return entries_[entry]; }

private:
    int put(std::string_view utf8, bool distinct);

    std::vector<std::uint32_t> slots_;
    std::deque<std::string> entries_;   // a deque never moves its strings, so views stay valid
    std::unordered_map<std::string_view, std::uint32_t> lookup_;
};

}  // namespace tabsmith
