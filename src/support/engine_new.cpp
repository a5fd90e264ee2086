// The engine's own operator new: every request the engine's code makes passes the thread's
// memory limit before the process's operator new serves it; deletes stay the process's.

// The shared library exports only the C API (api/exports.map) and the PHP module hides the symbols
// of the engine linked into it, so these serve the engine alone: a program or PHP process that
// loads it keeps its own allocator. A program linking the static library gets them for all of its
// code, unless it brings an allocator of its own (the out-of-memory tests, a sanitizer's runtime):
// then this object, which holds nothing else, stays out of its link.

#include <dlfcn.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "support/memory_budget.h"

namespace {

using NewFn = void *(*)(std::size_t);

void *heap_block(std::size_t size) {
    for (;;) {
        if (void *p = std::malloc(size ? size : 1)) return p;
        std::new_handler handler = std::get_new_handler();
        if (!handler) throw std::bad_alloc();
        handler();
    }
}

// The operator new the rest of the process uses (the program's replacement, a sanitizer's,
// or the C++ library's), so that whichever delete frees a block is the one that matches it.
NewFn process_new(std::atomic<NewFn> &slot, const char *symbol, NewFn self) {
    NewFn fn = slot.load(std::memory_order_acquire);
    if (fn) return fn;
    fn = reinterpret_cast<NewFn>(dlsym(RTLD_DEFAULT, symbol));
    if (!fn || fn == self) fn = reinterpret_cast<NewFn>(dlsym(RTLD_NEXT, symbol));
    if (!fn || fn == self) fn = heap_block;
    slot.store(fn, std::memory_order_release);
    return fn;
}

std::atomic<NewFn> next_new{nullptr};
std::atomic<NewFn> next_new_array{nullptr};

}  // namespace

void *operator new(std::size_t size) {
    if (!tabsmith::memory_allows(size)) throw std::bad_alloc();
    return process_new(next_new, "_Znwm", static_cast<NewFn>(&::operator new))(size);
}

void *operator new[](std::size_t size) {
    if (!tabsmith::memory_allows(size)) throw std::bad_alloc();
    return process_new(next_new_array, "_Znam", static_cast<NewFn>(&::operator new[]))(size);
}

void *operator new(std::size_t size, const std::nothrow_t &) noexcept {
    try {
        return ::operator new(size);
    } catch (...) {
        return nullptr;
    }
}

void *operator new[](std::size_t size, const std::nothrow_t &) noexcept {
    try {
        return ::operator new[](size);
    } catch (...) {
        return nullptr;
    }
}
