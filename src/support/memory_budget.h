// The memory limit of a thread's engine calls: how far the process's heap may grow beyond what
// it held when the limit was set, and the check every request for memory of the engine passes.
#pragma once

#include <cstddef>

namespace tabsmith {

// Limits this thread's calls to `bytes` of heap growth from now on; 0 lifts the limit. The heap
// is the process's (other threads' memory counts too): the measure is the C allocator's own
// count of bytes in use, which no pairing of requests and releases can get out of step.
void set_memory_limit(std::size_t bytes) noexcept;
std::size_t memory_limit() noexcept;

// Whether a request of `bytes` more may be made. The heap is measured only every so many bytes
// requested (a small share of the limit), so a check costs a counter addition in between and
// nothing at all while no thread has a limit.
bool memory_allows(std::size_t bytes) noexcept;

}  // namespace tabsmith
