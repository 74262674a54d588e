// SPDX-License-Identifier: MIT
// Time on CLOCK_MONOTONIC: immune to wall-clock changes (NTP steps, the user
// setting the date), which would otherwise turn into huge or negative frame
// times. Stateless, so it is safe to call from static initialisers.
#include "sys/Time.h"

#include <cerrno>
#include <ctime>

#include <sched.h>

namespace sys {
namespace {

constexpr uint64_t kNanosecondsPerSecond = 1'000'000'000;

} // namespace

uint64_t performanceFrequency() {
    return kNanosecondsPerSecond;
}

uint64_t performanceCounter() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return uint64_t(now.tv_sec) * kNanosecondsPerSecond + uint64_t(now.tv_nsec);
}

uint32_t milliseconds() {
    return uint32_t(performanceCounter() / 1'000'000);
}

void Sleep(uint32_t ms) {
    if (ms == 0) {
        sched_yield();
        return;
    }
    // An absolute deadline, so that a signal handler interrupting the wait
    // does not shorten it and restarting does not drift.
    timespec deadline{};
    clock_gettime(CLOCK_MONOTONIC, &deadline);
    deadline.tv_sec += time_t(ms / 1000);
    deadline.tv_nsec += long(ms % 1000) * 1'000'000;
    if (deadline.tv_nsec >= long(kNanosecondsPerSecond)) {
        deadline.tv_sec += 1;
        deadline.tv_nsec -= long(kNanosecondsPerSecond);
    }
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr) == EINTR) {
    }
}

} // namespace sys
