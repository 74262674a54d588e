// SPDX-License-Identifier: MIT
#include "sys/Time.h"

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <thread>

#include <pthread.h>

namespace {

std::atomic<int> interruptions{0};
void countInterruption(int) {
    ++interruptions;
}

TEST(Time, SleepLastsAtLeastTheTimeAskedEvenWhenASignalInterruptsIt) {
    interruptions = 0;
    // Without SA_RESTART the signal cuts the kernel's sleep short.
    struct sigaction action {
    }, previous{};
    action.sa_handler = &countInterruption;
    sigemptyset(&action.sa_mask);
    ASSERT_EQ(sigaction(SIGUSR1, &action, &previous), 0);

    const pthread_t sleeper = pthread_self();
    std::thread interrupter([sleeper] {
        sys::Sleep(10);
        pthread_kill(sleeper, SIGUSR1);
    });
    const uint64_t start = sys::performanceCounter();
    sys::Sleep(60);
    const uint64_t elapsed = sys::performanceCounter() - start;
    interrupter.join();
    sigaction(SIGUSR1, &previous, nullptr);

    EXPECT_EQ(interruptions, 1);
    EXPECT_GE(elapsed, 60u * sys::performanceFrequency() / 1000);
}

} // namespace
