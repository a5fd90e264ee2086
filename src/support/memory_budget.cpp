// The thread's memory limit and the heap measure it is held against: glibc's count of bytes in
// use, or the sanitizer allocator's when the engine runs under one (glibc's heap is idle there).

#include "support/memory_budget.h"

#include <malloc.h>

#include <algorithm>
#include <atomic>

extern "C" std::size_t __sanitizer_get_current_allocated_bytes() __attribute__((weak));

namespace tabsmith {
namespace {

// The heap is measured after each `step` bytes requested: a 32nd of the limit keeps the
// overshoot small against the limit, the bounds keep the measuring rare for large limits and
// still cheap for small ones (the measure walks the allocator's free lists).
constexpr std::size_t kMinStep = 64 * 1024;
constexpr std::size_t kMaxStep = 4 * 1024 * 1024;

struct Budget {
    std::size_t limit = 0;
    std::size_t baseline = 0;
    std::size_t step = 0;
    std::size_t since_measure = 0;
};

thread_local Budget budget;
// Threads with a limit; while there are none, a request costs one relaxed load.
std::atomic<int> limited_threads{0};

std::size_t heap_in_use() noexcept {
    if (__sanitizer_get_current_allocated_bytes) return __sanitizer_get_current_allocated_bytes();
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

}  // namespace

void set_memory_limit(std::size_t bytes) noexcept {
    if ((budget.limit == 0) != (bytes == 0)) limited_threads.fetch_add(bytes ? 1 : -1, std::memory_order_relaxed);
    budget.limit = bytes;
    budget.baseline = bytes ? heap_in_use() : 0;
    budget.step = std::clamp(bytes / 32, kMinStep, kMaxStep);
    budget.since_measure = 0;
}

std::size_t memory_limit() noexcept { return budget.limit; }

bool memory_allows(std::size_t bytes) noexcept {
    if (limited_threads.load(std::memory_order_relaxed) == 0 || budget.limit == 0) return true;
    // A single request as large as the whole limit never fits, whatever the heap holds.
    if (bytes >= budget.limit) return false;
    budget.since_measure += bytes;
    if (budget.since_measure < budget.step) return true;
    budget.since_measure = 0;
    const std::size_t in_use = heap_in_use();
    return in_use <= budget.baseline || in_use - budget.baseline + bytes <= budget.limit;
}

}  // namespace tabsmith
