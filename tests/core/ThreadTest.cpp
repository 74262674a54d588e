// SPDX-License-Identifier: MIT
#include "core/Thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <semaphore>
#include <thread>

#include "sys/Time.h"

namespace {

// Returns 0 after every `limit` runs; limit 0 runs until stopped.
struct CountingMethod : Thread::Method {
    explicit CountingMethod(int runLimit) : limit(runLimit) {}
    int run(Thread* thread, void* argument) override {
        seenThread = thread;
        seenArgument = argument;
        const int done = ++runs;
        return limit == 0 || done % limit != 0;
    }
    const int limit;
    std::atomic<int> runs{0};
    Thread* seenThread = nullptr; // read only after the worker was joined
    void* seenArgument = nullptr;
};

// A bound for what takes microseconds: it turns a hang into a failure.
template <class Predicate>
bool eventually(Predicate predicate) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!predicate()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::yield();
    }
    return true;
}

TEST(Thread, RunReturningZeroRunsOnceEndsAndStartsAgain) {
    CountingMethod method(1);
    int payload = 0;
    Thread thread(&method, &payload);
    // Restarting as soon as handle reads 0, as an owner polling running()
    // does, also catches a handle left set by a worker that ended before
    // start() returned.
    for (int round = 1; round <= 200; ++round) {
        ASSERT_TRUE(thread.start()) << round;
        ASSERT_TRUE(eventually([&] { return !thread.running(); })) << round;
        ASSERT_EQ(method.runs, round);
    }
    thread.wait();
    EXPECT_EQ(method.seenThread, &thread);
    EXPECT_EQ(method.seenArgument, &payload);
    EXPECT_EQ(thread.stopRequested, 0u);
}

TEST(Thread, StopEndsALoopingThreadWhichThenStartsAgain) {
    CountingMethod method(0);
    Thread thread(&method, nullptr);
    ASSERT_TRUE(thread.start());
    EXPECT_FALSE(thread.start()); // already running
    ASSERT_TRUE(eventually([&] { return method.runs >= 3; }));
    thread.stop();
    EXPECT_FALSE(thread.running());
    EXPECT_EQ(thread.stopRequested, 0u);
    const int runs = method.runs;
    ASSERT_TRUE(thread.start());
    ASSERT_TRUE(eventually([&] { return method.runs > runs; }));
}

TEST(Thread, StopRequestedDuringARunPreventsTheNextRun) {
    struct GatedMethod : Thread::Method {
        int run(Thread*, void*) override {
            ++runs;
            entered.release();
            proceed.acquire();
            return 1;
        }
        std::atomic<int> runs{0};
        std::binary_semaphore entered{0}, proceed{0};
    } method;
    Thread thread(&method, nullptr);
    ASSERT_TRUE(thread.start());
    method.entered.acquire();
    thread.requestStop();
    method.proceed.release(); // the run asks to go on; the flag must win
    thread.wait();
    EXPECT_EQ(method.runs, 1);
}

TEST(Thread, DestructorStopsAndJoinsARunningThread) {
    CountingMethod method(0);
    {
        Thread thread(&method, nullptr);
        ASSERT_TRUE(thread.start());
        ASSERT_TRUE(eventually([&] { return method.runs >= 1; }));
    }
    // A worker left running would call the method again and touch the
    // destroyed Thread (which the sanitizers report).
    const int runs = method.runs;
    sys::Sleep(20);
    EXPECT_EQ(method.runs, runs);
}

} // namespace
