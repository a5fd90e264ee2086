// The out-of-memory tests' allocator: counts the allocations made while it is armed and running
// (operator new as the engine calls it, and malloc, calloc and realloc) and fails the n-th of them.
#pragma once

namespace tabsmith::testing::fail_alloc {

// What is counted: operator new (but the over-aligned forms), or malloc, calloc and realloc (which the C
// libraries under the engine use: minizip, zlib, libdeflate, iconv, and the C library itself).
enum Source : unsigned { kNew = 1, kMalloc = 2, kAny = kNew | kMalloc };

// Fails the `nth` counted allocation of the sources in `sources` (1-based; 0 never fails) and,
// with `repeat`, every later one as well, until disarm(). Counting starts stopped: resume() and
// suspend() bracket the calls under test, so the test's own allocations are never counted.
void arm(long nth, unsigned sources, bool repeat);
void disarm();
void resume();
void suspend();

// Allocations counted since arm(), failures handed out, and the source of the first one
// (0 when none).
long counted();
long failures();
unsigned first_failure_source();

}  // namespace tabsmith::testing::fail_alloc
