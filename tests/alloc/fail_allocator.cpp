// Replacement operator new/delete and interposed malloc, calloc, realloc and free for the
// out-of-memory tests, in the test program only: the engine's code links into it and so uses them.

#include "fail_allocator.h"

#include <dlfcn.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

// This file is built without sanitizer instrumentation: the loader asks malloc for memory before
// the address sanitizer is ready. Its shared variables are plain ones used through the compiler's
// atomic built-ins, which are always inlined (an out-of-line std::atomic member could come from
// another, instrumented file).

namespace tabsmith::testing::fail_alloc {
namespace {

bool counting = false;
unsigned counted_sources = 0;
long target = 0;
bool repeating = false;
long count = 0;
long failed = 0;
unsigned first_source = 0;

template <typename T>
T load(const T &value) {
    return __atomic_load_n(&value, __ATOMIC_ACQUIRE);
}
template <typename T>
void store(T &value, T to) {
    __atomic_store_n(&value, to, __ATOMIC_RELEASE);
}

// Where a debugger stops to see who asked for the failing allocation (break failure_point).
[[gnu::noinline]] void failure_point() { asm volatile(""); }

// Worker threads of the engine count too: their allocations belong to the call under test.
bool fail_now(Source source) {
    if (!load(counting) || !(load(counted_sources) & source)) return false;
    const long n = __atomic_add_fetch(&count, 1, __ATOMIC_RELAXED);
    const long nth = load(target);
    if (nth <= 0 || n < nth || (n > nth && !load(repeating))) return false;
    unsigned none = 0;
    __atomic_compare_exchange_n(&first_source, &none, static_cast<unsigned>(source), false, __ATOMIC_RELAXED,
                                __ATOMIC_RELAXED);
    __atomic_add_fetch(&failed, 1, __ATOMIC_RELAXED);
    failure_point();
    return true;
}

// The allocator underneath: the next definition after this program's (the C library's, or the
// address sanitizer's), looked up on first use. dlsym may itself ask for memory while it looks;
// that is served from a small arena that is never given back.
using MallocFn = void *(*)(std::size_t);
using CallocFn = void *(*)(std::size_t, std::size_t);
using ReallocFn = void *(*)(void *, std::size_t);
using FreeFn = void (*)(void *);

MallocFn real_malloc = nullptr;
CallocFn real_calloc = nullptr;
ReallocFn real_realloc = nullptr;
FreeFn real_free = nullptr;
bool resolving = false;

alignas(std::max_align_t) unsigned char arena[64 * 1024];
std::size_t arena_used = 0;

void *arena_take(std::size_t size) {
    const std::size_t rounded = (size + alignof(std::max_align_t) - 1) & ~(alignof(std::max_align_t) - 1);
    const std::size_t at = __atomic_fetch_add(&arena_used, rounded, __ATOMIC_RELAXED);
    if (at + rounded > sizeof arena) return nullptr;
    return arena + at;
}

bool from_arena(const void *p) {
    auto *bytes = static_cast<const unsigned char *>(p);
    return bytes >= arena && bytes < arena + sizeof arena;
}

// The first call comes while the program is still single-threaded (the loader's own requests).
void resolve() {
    if (load(real_free)) return;
    store(resolving, true);
    store(real_malloc, reinterpret_cast<MallocFn>(dlsym(RTLD_NEXT, "malloc")));
    store(real_calloc, reinterpret_cast<CallocFn>(dlsym(RTLD_NEXT, "calloc")));
    store(real_realloc, reinterpret_cast<ReallocFn>(dlsym(RTLD_NEXT, "realloc")));
    store(real_free, reinterpret_cast<FreeFn>(dlsym(RTLD_NEXT, "free")));
    store(resolving, false);
}

void *plain_malloc(std::size_t size) {
    if (!load(real_malloc)) {
        if (load(resolving)) return arena_take(size);
        resolve();
    }
    return real_malloc(size);
}

void plain_free(void *p) {
    if (!p || from_arena(p)) return;
    resolve();
    real_free(p);
}

// Requests that are never failed, because no caller could survive it: glibc ends the process
// when it cannot note the destructor of a thread_local object (at a thread's first use of the
// engine's per-thread tables), and minizip writes through some of its allocations unchecked.
bool fatal_to_fail(void *caller) {
    if (!load(counting) || !(load(counted_sources) & kMalloc)) return false;
    Dl_info info;
    if (!dladdr(caller, &info)) return false;
    if (info.dli_sname && std::strcmp(info.dli_sname, "__cxa_thread_atexit_impl") == 0) return true;
    return info.dli_fname && std::strstr(info.dli_fname, "libminizip");
}

// A failing operator new leaves errno as the failed malloc underneath it would.
void *new_block(std::size_t size) {
    if (fail_now(kNew)) {
        errno = ENOMEM;
        return nullptr;
    }
    return plain_malloc(size ? size : 1);
}

}  // namespace

void arm(long nth, unsigned sources, bool repeat) {
    store(counting, false);
    store(count, 0L);
    store(failed, 0L);
    store(first_source, 0u);
    store(target, nth);
    store(repeating, repeat);
    store(counted_sources, sources);
}

void disarm() {
    store(counting, false);
    store(target, 0L);
}

void resume() { store(counting, true); }
void suspend() { store(counting, false); }

long counted() { return load(count); }
long failures() { return load(failed); }
unsigned first_failure_source() { return load(first_source); }

}  // namespace tabsmith::testing::fail_alloc

namespace fa = tabsmith::testing::fail_alloc;

// ---- The C allocator, interposed for the whole process (the C libraries included).

extern "C" {

void *malloc(std::size_t size) {
    if (fa::fatal_to_fail(__builtin_return_address(0))) return fa::plain_malloc(size);
    if (fa::fail_now(fa::kMalloc)) {
        errno = ENOMEM;
        return nullptr;
    }
    return fa::plain_malloc(size);
}

void *calloc(std::size_t count, std::size_t size) {
    if (fa::fatal_to_fail(__builtin_return_address(0))) return fa::real_calloc(count, size);
    if (!fa::load(fa::real_calloc)) {
        // dlsym's own request while it looks the allocator up: the arena is zero-filled.
        if (fa::load(fa::resolving)) {
            if (size && count > SIZE_MAX / size) return nullptr;
            return fa::arena_take(count * size);
        }
        fa::resolve();
    }
    if (fa::fail_now(fa::kMalloc)) {
        errno = ENOMEM;
        return nullptr;
    }
    return fa::real_calloc(count, size);
}

void *realloc(void *p, std::size_t size) {
    if (p && fa::from_arena(p)) {
        // A block of dlsym's bookkeeping moves to the real heap; its old size is unknown, so
        // copy what the arena holds past it.
        void *moved = fa::plain_malloc(size);
        if (moved) {
            auto *bytes = static_cast<unsigned char *>(p);
            const std::size_t left = static_cast<std::size_t>(fa::arena + sizeof fa::arena - bytes);
            std::memcpy(moved, p, size < left ? size : left);
        }
        return moved;
    }
    if (!fa::fatal_to_fail(__builtin_return_address(0)) && fa::fail_now(fa::kMalloc)) {
        errno = ENOMEM;
        return nullptr;
    }
    fa::resolve();
    return fa::real_realloc(p, size);
}

void free(void *p) { fa::plain_free(p); }

}  // extern "C"

// ---- Every replaceable form of operator new and delete but the over-aligned ones, which the
// engine does not use (they stay the allocator underneath's own, with their deletes).

void *operator new(std::size_t size) {
    if (void *p = fa::new_block(size)) return p;
    throw std::bad_alloc();
}
void *operator new[](std::size_t size) {
    if (void *p = fa::new_block(size)) return p;
    throw std::bad_alloc();
}
void *operator new(std::size_t size, const std::nothrow_t &) noexcept { return fa::new_block(size); }
void *operator new[](std::size_t size, const std::nothrow_t &) noexcept { return fa::new_block(size); }
void operator delete(void *p) noexcept { fa::plain_free(p); }
void operator delete[](void *p) noexcept { fa::plain_free(p); }
void operator delete(void *p, std::size_t) noexcept { fa::plain_free(p); }
void operator delete[](void *p, std::size_t) noexcept { fa::plain_free(p); }
void operator delete(void *p, const std::nothrow_t &) noexcept { fa::plain_free(p); }
void operator delete[](void *p, const std::nothrow_t &) noexcept { fa::plain_free(p); }
