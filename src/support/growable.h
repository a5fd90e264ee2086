// Growable tables shared by the record stores: an array grown by a factor and an array of
// separately allocated records grown by a fixed step. Both keep the old contents on failure.
#pragma once

#include <cstddef>
#include <memory>
#include <new>
#include <stdexcept>
#include <vector>

#include "support/results.h"

namespace tabsmith {

// Makes `index` a valid element of `table` (new elements value-initialised). Room is reserved
// as the tables always grew: `initial` elements at first, then the capacity times `factor`,
// at least index + 1. Returns 0, or kNoMemory when memory runs out (the table is unchanged).
template <typename T>
int ensure_index(std::vector<T> &table, std::size_t index, std::size_t initial, std::size_t factor) {
    if (index < table.size()) return 0;
    try {
        if (index >= table.capacity()) {
            std::size_t room = table.capacity() == 0 ? initial : table.capacity() * (factor > 1 ? factor : 2);
            if (room < table.capacity() || room <= index) room = index + 1;
            table.reserve(room);
        }
        table.resize(index + 1);
    } catch (const std::bad_alloc &) {
        return kNoMemory;
    } catch (const std::length_error &) {
        return kNoMemory;
    }
    return 0;
}

// Makes `index` a valid slot of `table` holding an allocated, value-initialised record; the
// pointer array grows `step` slots at a time. Returns 0, or kNoMemory (the table is unchanged).
template <typename T>
int ensure_record(std::vector<std::unique_ptr<T>> &table, std::size_t index, std::size_t step) {
    if (index < table.size() && table[index]) return 0;
    std::size_t old_size = table.size();
    try {
        if (index >= table.capacity()) {
            std::size_t slots = step ? step : 1;
            std::size_t room = (index / slots + 1) * slots;
            if (room <= index) room = index + 1;
            table.reserve(room);
        }
        if (index >= table.size()) table.resize(index + 1);
        table[index] = std::make_unique<T>();
    } catch (const std::bad_alloc &) {
        table.resize(old_size);
        return kNoMemory;
    } catch (const std::length_error &) {
        return kNoMemory;
    }
    return 0;
}

}  // namespace tabsmith
