// SPDX-License-Identifier: MIT
#include "core/FrameTimer.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <tuple>

namespace {

// Injected frequencies keep every number exact: at 35 counts a second a count
// is one tick of the frame step, at 32 it is 0.03125 s.

std::string clockText(const FrameTimer& t) {
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03d", t.hours, t.minutes, t.seconds,
                  t.milliseconds);
    return text;
}

TEST(FrameTimerStep, FollowsTheFrameTimeByAtMostEightPercentWithinLimits) {
    FrameTimer timer(35, 1000);
    const uint32_t number = frameNumber;
    timer.update(1001); // 1/35 s
    EXPECT_EQ(timer.frameStep, 1.0f);
    timer.update(1003); // 2/35 s
    EXPECT_EQ(timer.frameStep, 1.08f);
    EXPECT_EQ(currentFrameStep, 1.08f);
    EXPECT_EQ(frameNumber, number + 2);

    for (uint64_t now = 1003; timer.frameStep < 4.0f;) { // 10-second stalls
        const float previous = timer.frameStep;
        timer.update(now += 350);
        ASSERT_LE(timer.frameStep, float(previous * 1.08));
        ASSERT_LE(timer.frameStep, 4.0f);
    }
    for (int frame = 0; frame < 80; ++frame) { // frames of no time at all
        const float previous = timer.frameStep;
        timer.update(timer.lastCount);
        ASSERT_GE(timer.frameStep, float(previous * 0.92));
        ASSERT_GE(timer.frameStep, 0.01f);
    }
    EXPECT_EQ(timer.frameStep, 0.01f);
}

TEST(FrameTimerRate, MeasuresOnceAWindowAndRoundsUp) {
    FrameTimer timer(32, 0);
    for (uint64_t now = 1; now <= 19; ++now) timer.update(now);
    EXPECT_EQ(timer.fps, 0);
    timer.update(20);
    EXPECT_EQ(timer.fps, 32);
    timer.fpsWindow = 3;
    for (uint64_t now = 23; now <= 29; now += 3) timer.update(now); // 10.67 a second
    EXPECT_EQ(timer.fps, 11);
    for (int frame = 0; frame < 3; ++frame) timer.update(29); // no time: no division by 0
    EXPECT_EQ(timer.fps, 11);
}

TEST(FrameTimerClock, RunsAtAnySpeedBothWaysThroughMidnight) {
    FrameTimer timer(32, 0);
    timer.clockSpeed = 60.0f;
    timer.hours = 23, timer.minutes = 59, timer.seconds = 30;
    for (uint64_t now = 1; now <= 32; ++now) timer.update(now); // one real second
    EXPECT_EQ(clockText(timer), "00:00:30.000");

    timer = FrameTimer(1, 0);
    timer.clockSpeed = -1.0f;
    timer.hours = 1;
    timer.update(1);
    EXPECT_EQ(clockText(timer), "00:59:59.000");
    timer.hours = timer.minutes = timer.seconds = 0;
    timer.update(2);
    EXPECT_EQ(clockText(timer), "23:59:59.000");

    // 1e9 s is 11574 days and 6400 s; subtracting 1 at a time from a float
    // that large would never finish.
    timer.clockSpeed = 1e9f;
    timer.update(3);
    EXPECT_EQ(clockText(timer), "01:46:39.000");
}

TEST(FrameTimerClock, MillisecondsShowTheFractionEitherWay) {
    FrameTimer timer(4, 0); // a count is a quarter second
    timer.update(1);
    EXPECT_EQ(clockText(timer), "12:00:00.250");
    timer.clockSpeed = -1.0f;
    timer.update(2);
    EXPECT_EQ(clockText(timer), "12:00:00.000"); // a whole second reads 0, not 1000
    timer.update(7);
    EXPECT_EQ(clockText(timer), "11:59:59.750"); // fraction -0.25
}

TEST(FrameTimer, PausedTimerKeepsEverything) {
    FrameTimer timer(35, 0);
    timer.clockSpeed = 60.0f;
    timer.update(2);
    auto state = [&] {
        return std::tuple(timer.frameStep, timer.frameSeconds, timer.lastCount, timer.fpsFrames,
                          timer.fpsSeconds, timer.clockFraction, clockText(timer), currentFrameStep,
                          frameNumber);
    };
    const auto before = state();
    timer.paused = 1;
    timer.update(700);
    EXPECT_EQ(state(), before);
}

TEST(FrameTimer, MillisecondTimerFallbackSurvivesTheThirtyTwoBitWrap) {
    FrameTimer timer(0, 0xFFFFFFF0u);
    EXPECT_EQ(timer.highResolution, 0u);
    timer.update(0x10);
    EXPECT_EQ(timer.frameSeconds, 32.0f * 0.001f);
}

} // namespace
