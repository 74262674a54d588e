// SPDX-License-Identifier: MIT
// Stands in for the kernel's performance counter (QueryPerformanceCounter and
// QueryPerformanceFrequency), the multimedia timer's millisecond time
// (timeGetTime) and Sleep, all on CLOCK_MONOTONIC.
//  [x] a counter in nanoseconds (frequency 1e9) that never goes backwards
//  [x] millisecond time in 32 bits, wrapping after 49.7 days as the original
//  [x] Sleep(0) gives up the time slice; Sleep(n) lasts at least n ms, signals or not
//  [ ] Sleep(INFINITE) sleeps 49.7 days rather than forever (nothing asks for it)
#pragma once

#include <cstdint>

namespace sys {

// Counts per second of performanceCounter(). Never 0: the platform always has
// a high-resolution counter.
uint64_t performanceFrequency();
uint64_t performanceCounter();

// Milliseconds since an arbitrary start (the machine's boot).
uint32_t milliseconds();

// Keeps its Windows name on purpose: POSIX sleep() counts seconds, and a
// mix-up would stall a thread a thousand times longer than asked.
void Sleep(uint32_t ms);

} // namespace sys
