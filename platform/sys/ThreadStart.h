// SPDX-License-Identifier: MIT
// Stands in for the kernel's simple thread start (a function taking one
// pointer, default stack size) on POSIX threads, and for the C runtime's
// random-number state, which the Windows runtime keeps per thread.
//  [x] start with the default stack size; a non-zero handle, 0 when refused
//  [x] waiting for a thread to end, which also releases its handle
//  [x] rand/srand-style generator per thread (glibc's rand() is process-wide)
//  [ ] OLE initialisation per thread: Linux has no component library to set up
//  [ ] stack size, priority, suspended start: the engine asks for none
#pragma once

#include <cstdint>

namespace sys {

using ThreadHandle = uintptr_t;
using ThreadBody = void (*)(void* argument);

// Returns 0 when the system refuses a thread (out of memory or thread limit).
// Every handle returned must be passed to joinThread exactly once.
ThreadHandle startThread(ThreadBody body, void* argument);
// Blocks until the thread's body has returned, then releases the handle.
// Returns false (and waits for nothing) when called from that very thread.
bool joinThread(ThreadHandle handle);
bool isCurrentThread(ThreadHandle handle);
// The cores this process may run on (its CPU affinity), at least 1.
int usableCores();

// The generator of the calling thread: a new thread starts from seed 1, as
// the runtime's does, so every worker seeds its own.
constexpr int kThreadRandomMax = 0x7FFF;
void seedThreadRandom(uint32_t seed);
int threadRandom(); // 0..kThreadRandomMax

} // namespace sys
