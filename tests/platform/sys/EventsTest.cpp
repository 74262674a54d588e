// SPDX-License-Identifier: MIT
// Kernel events: reset rules, names, waits on several, time-outs, and the
// hand-offs between threads the sound thread depends on.
#include "sys/Events.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

TEST(Events, AutoResetWakesOneWaitManualResetStaysSet) {
    sys::EventHandle automatic = sys::createEvent(false, true);
    sys::EventHandle manual = sys::createEvent(true, false);
    ASSERT_NE(automatic, nullptr);
    EXPECT_EQ(sys::waitForEvent(automatic, 0), sys::kWaitObject0);
    EXPECT_EQ(sys::waitForEvent(automatic, 0), sys::kWaitTimeout);
    sys::setEvent(automatic);
    sys::setEvent(automatic); // setting twice still wakes only one wait
    EXPECT_EQ(sys::waitForEvent(automatic, 0), sys::kWaitObject0);
    EXPECT_EQ(sys::waitForEvent(automatic, 0), sys::kWaitTimeout);

    EXPECT_EQ(sys::waitForEvent(manual, 0), sys::kWaitTimeout);
    sys::setEvent(manual);
    EXPECT_EQ(sys::waitForEvent(manual, 0), sys::kWaitObject0);
    EXPECT_EQ(sys::waitForEvent(manual, 0), sys::kWaitObject0);
    EXPECT_TRUE(sys::resetEvent(manual));
    EXPECT_EQ(sys::waitForEvent(manual, 0), sys::kWaitTimeout);
    EXPECT_TRUE(sys::closeEvent(automatic));
    EXPECT_TRUE(sys::closeEvent(manual));
}

TEST(Events, NamedEventsAreSharedAndLiveUntilTheLastClose) {
    const char16_t* name = u"SoundUpdateEvent-test";
    sys::EventHandle first = sys::createEvent(false, false, name);
    // The second open keeps the first one's reset rule and state.
    sys::EventHandle second = sys::createEvent(true, true, name);
    ASSERT_EQ(first, second);
    EXPECT_EQ(sys::waitForEvent(first, 0), sys::kWaitTimeout);
    sys::setEvent(second);
    EXPECT_EQ(sys::waitForEvent(first, 0), sys::kWaitObject0);
    EXPECT_EQ(sys::waitForEvent(second, 0), sys::kWaitTimeout); // auto reset

    EXPECT_TRUE(sys::closeEvent(first));
    EXPECT_TRUE(sys::setEvent(second)); // still open once
    EXPECT_TRUE(sys::closeEvent(second));
    EXPECT_FALSE(sys::setEvent(second)); // gone: refused, not touched

    // The name is free again: a new event, with the flags asked for now.
    sys::EventHandle third = sys::createEvent(true, false, name);
    EXPECT_EQ(sys::waitForEvent(third, 0), sys::kWaitTimeout);
    sys::closeEvent(third);

    sys::EventHandle a = sys::createEvent(false, false, u"");
    sys::EventHandle b = sys::createEvent(false, false, u"");
    EXPECT_NE(a, b); // an empty name is no name
    sys::closeEvent(a);
    sys::closeEvent(b);
}

TEST(Events, RefusesBadListsAndClosedHandles) {
    sys::EventHandle event = sys::createEvent(false, true);
    sys::EventHandle list[sys::kMaximumWaitObjects + 1];
    for (auto& entry : list) entry = event;
    EXPECT_EQ(sys::waitForEvents(0, list, false, 0), sys::kWaitFailed);
    EXPECT_EQ(sys::waitForEvents(sys::kMaximumWaitObjects + 1, list, false, 0), sys::kWaitFailed);
    EXPECT_EQ(sys::waitForEvents(1, nullptr, false, 0), sys::kWaitFailed);
    EXPECT_EQ(sys::waitForEvents(2, list, true, 0), sys::kWaitFailed); // one event twice
    // Waiting for any of 64 copies of one event is allowed.
    EXPECT_EQ(sys::waitForEvents(sys::kMaximumWaitObjects, list, false, 0), sys::kWaitObject0);

    sys::EventHandle none[2] = {event, nullptr};
    EXPECT_EQ(sys::waitForEvents(2, none, false, 0), sys::kWaitFailed);
    sys::closeEvent(event);
    EXPECT_EQ(sys::waitForEvent(event, 0), sys::kWaitFailed);
    EXPECT_FALSE(sys::resetEvent(event));
    EXPECT_FALSE(sys::closeEvent(event));
}

class EventList : public ::testing::Test {
protected:
    void SetUp() override {
        for (auto& event : events) event = sys::createEvent(false, false);
        manual = sys::createEvent(true, false);
    }
    void TearDown() override {
        for (auto event : events) sys::closeEvent(event);
        sys::closeEvent(manual);
    }
    sys::EventHandle events[3]{};
    sys::EventHandle manual = nullptr;
};

TEST_F(EventList, WaitAnyReportsTheFirstSignalledAndConsumesOnlyIt) {
    sys::setEvent(events[2]);
    sys::setEvent(events[1]);
    EXPECT_EQ(sys::waitForEvents(3, events, false, 0), sys::kWaitObject0 + 1);
    EXPECT_EQ(sys::waitForEvents(3, events, false, 0), sys::kWaitObject0 + 2);
    EXPECT_EQ(sys::waitForEvents(3, events, false, 0), sys::kWaitTimeout);
}

TEST_F(EventList, WaitAllConsumesNothingUntilEveryEventIsSet) {
    sys::EventHandle mixed[2] = {events[0], manual};
    sys::setEvent(events[0]);
    EXPECT_EQ(sys::waitForEvents(2, mixed, true, 0), sys::kWaitTimeout);
    EXPECT_EQ(sys::waitForEvent(events[0], 0), sys::kWaitObject0); // was not consumed

    sys::setEvent(events[0]);
    sys::setEvent(manual);
    EXPECT_EQ(sys::waitForEvents(2, mixed, true, 0), sys::kWaitObject0);
    EXPECT_EQ(sys::waitForEvent(events[0], 0), sys::kWaitTimeout); // auto: consumed
    EXPECT_EQ(sys::waitForEvent(manual, 0), sys::kWaitObject0);    // manual: stays
}

TEST_F(EventList, TimeOutsLastAtLeastTheirLength) {
    const auto start = Clock::now();
    EXPECT_EQ(sys::waitForEvents(3, events, false, 30), sys::kWaitTimeout);
    EXPECT_GE(Clock::now() - start, 30ms);

    const auto allStart = Clock::now();
    sys::setEvent(events[0]);
    EXPECT_EQ(sys::waitForEvents(3, events, true, 20), sys::kWaitTimeout);
    EXPECT_GE(Clock::now() - allStart, 20ms);
}

TEST_F(EventList, AnotherThreadWakesAnInfiniteWait) {
    std::thread setter([&] {
        std::this_thread::sleep_for(20ms);
        sys::setEvent(events[1]);
    });
    EXPECT_EQ(sys::waitForEvents(3, events, false, sys::kInfinite), sys::kWaitObject0 + 1);
    setter.join();

    // Wait-all completes only when the last of them is set, by two threads.
    std::thread first([&] { sys::setEvent(events[0]); });
    std::thread last([&] {
        std::this_thread::sleep_for(20ms);
        sys::setEvent(events[2]);
        sys::setEvent(events[1]);
    });
    EXPECT_EQ(sys::waitForEvents(3, events, true, 5000), sys::kWaitObject0);
    first.join();
    last.join();
    EXPECT_EQ(sys::waitForEvents(3, events, false, 0), sys::kWaitTimeout);
}

TEST_F(EventList, ManualEventReleasesEveryWaiter) {
    constexpr int kWaiters = 8;
    std::atomic<int> woken{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < kWaiters; ++i)
        threads.emplace_back([&] {
            if (sys::waitForEvent(manual, 5000) == sys::kWaitObject0) ++woken;
        });
    std::this_thread::sleep_for(20ms);
    sys::setEvent(manual);
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(woken.load(), kWaiters);
}

TEST(Events, ClosingTheLastHandleDuringAWaitLeavesTheWaitIntact) {
    sys::EventHandle event = sys::createEvent(false, false);
    std::thread waiter([&] { EXPECT_EQ(sys::waitForEvent(event, 50), sys::kWaitTimeout); });
    std::this_thread::sleep_for(10ms);
    EXPECT_TRUE(sys::closeEvent(event));
    waiter.join(); // the sanitizers would catch the object freed under the wait
}

// Two threads pass a token back and forth through two auto-reset events
// while others hammer a third: every set is seen by exactly one wait, and
// no wake-up is lost (a lost one would hang until the time-out fails it).
TEST(EventsStress, HandOffsLoseNoWakeUp) {
    constexpr int kRounds = 5000;
    sys::EventHandle ping = sys::createEvent(false, false);
    sys::EventHandle pong = sys::createEvent(false, false);
    sys::EventHandle noise = sys::createEvent(false, false);
    std::atomic<bool> stop{false};
    std::atomic<int> noiseTaken{0}, noiseSet{0};

    std::thread pinger([&] {
        for (int i = 0; i < kRounds; ++i) {
            sys::setEvent(ping);
            sys::EventHandle both[2] = {pong, noise};
            for (;;) {
                const uint32_t woke = sys::waitForEvents(2, both, false, 5000);
                ASSERT_NE(woke, sys::kWaitTimeout);
                if (woke == sys::kWaitObject0) break;
                ++noiseTaken;
            }
        }
    });
    std::thread ponger([&] {
        for (int i = 0; i < kRounds; ++i) {
            ASSERT_EQ(sys::waitForEvent(ping, 5000), sys::kWaitObject0);
            sys::setEvent(pong);
        }
    });
    std::vector<std::thread> noisy;
    for (int t = 0; t < 2; ++t)
        noisy.emplace_back([&] {
            while (!stop) {
                sys::setEvent(noise);
                ++noiseSet;
                std::this_thread::yield();
            }
        });
    pinger.join();
    ponger.join();
    stop = true;
    for (auto& thread : noisy) thread.join();
    // An auto-reset event coalesces sets, so it is taken at most as often.
    EXPECT_LE(noiseTaken.load(), noiseSet.load());
    EXPECT_EQ(sys::waitForEvent(ping, 0), sys::kWaitTimeout);
    EXPECT_EQ(sys::waitForEvent(pong, 0), sys::kWaitTimeout);
    sys::closeEvent(ping);
    sys::closeEvent(pong);
    sys::closeEvent(noise);
}

} // namespace
