// SPDX-License-Identifier: MIT
// A handle is the address of a small record holding the pthread and the
// body to call; the new thread marks itself with a thread_local pointer to
// that record, so "am I this thread?" never reads the pthread_t that
// pthread_create may still be writing.
#include "sys/ThreadStart.h"

#include <new>

#include <pthread.h>
#include <sched.h>
#include <unistd.h>

namespace sys {
namespace {

struct ThreadRecord {
    pthread_t thread{};
    ThreadBody body = nullptr;
    void* argument = nullptr;
};

thread_local const ThreadRecord* currentRecord = nullptr;
thread_local uint32_t randomState = 1;

void* trampoline(void* opaque) {
    const auto* record = static_cast<const ThreadRecord*>(opaque);
    currentRecord = record;
    record->body(record->argument);
    return nullptr;
}

} // namespace

ThreadHandle startThread(ThreadBody body, void* argument) {
    auto* record = new (std::nothrow) ThreadRecord{};
    if (!record) return 0;
    record->body = body;
    record->argument = argument;
    if (pthread_create(&record->thread, nullptr, &trampoline, record) != 0) {
        delete record;
        return 0;
    }
    return reinterpret_cast<ThreadHandle>(record);
}

bool joinThread(ThreadHandle handle) {
    auto* record = reinterpret_cast<ThreadRecord*>(handle);
    if (!record || record == currentRecord) return false;
    pthread_join(record->thread, nullptr);
    delete record;
    return true;
}

bool isCurrentThread(ThreadHandle handle) {
    return handle != 0 && reinterpret_cast<const ThreadRecord*>(handle) == currentRecord;
}

void seedThreadRandom(uint32_t seed) {
    randomState = seed;
}

int threadRandom() {
    // The Windows runtime's linear congruential generator and 15-bit output,
    // so a seed gives the same sequence on both platforms.
    randomState = randomState * 214013u + 2531011u;
    return int((randomState >> 16) & uint32_t(kThreadRandomMax));
}

int usableCores() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0) return CPU_COUNT(&set);
    const long online = sysconf(_SC_NPROCESSORS_ONLN);
    return online > 0 ? int(online) : 1;
}

} // namespace sys
