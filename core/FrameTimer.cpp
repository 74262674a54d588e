// SPDX-License-Identifier: MIT
// Float results are compared bit for bit, so the arithmetic follows the rule
// step by step: the tick (35) and the counter scale are float; the smoothing
// factors (1.08, 0.92) and the limits (0.01, 4.0) are double, as unsuffixed
// literals are, so their products and comparisons are formed in double and
// rounded to float once, when stored.
#include "core/FrameTimer.h"

#include <climits>
#include <cmath>

#include "sys/Time.h"

FrameTimer frameTimer;
float currentFrameStep = 1.0f;
uint32_t frameNumber = 0;

namespace {

constexpr int64_t kSecondsPerDay = 24 * 60 * 60;

} // namespace

FrameTimer::FrameTimer() {
    start();
}

FrameTimer::FrameTimer(uint64_t frequency, uint64_t now) {
    start(frequency, now);
}

void FrameTimer::start() {
    const uint64_t frequency = sys::performanceFrequency();
    start(frequency, frequency != 0 ? sys::performanceCounter() : sys::milliseconds());
}

void FrameTimer::start(uint64_t frequency, uint64_t now) {
    highResolution = frequency != 0 ? 1 : 0;
    lastCount = now;
    secondsPerCount = frequency != 0 ? 1.0f / float(frequency) : 0.001f;
    clockFraction = 0.0f;
}

void FrameTimer::update() {
    update(highResolution ? sys::performanceCounter() : sys::milliseconds());
}

void FrameTimer::update(uint64_t now) {
    if (paused) return;

    // The millisecond timer is 32 bits wide; taking the difference in that
    // width turns its wrap after 49.7 days into one ordinary frame.
    const uint64_t elapsed = highResolution ? now - lastCount : uint32_t(now - lastCount);
    ++fpsFrames;
    frameSeconds = float(elapsed) * secondsPerCount;
    fpsSeconds += frameSeconds;

    if (fpsFrames >= fpsWindow) {
        // A window of frames that took no measurable time has no rate; the
        // last one stays rather than dividing by zero.
        if (fpsSeconds > 0.0f) {
            const float rate = std::ceil(float(fpsWindow) / fpsSeconds);
            fps = rate < 2147483648.0f ? int32_t(rate) : INT32_MAX;
        }
        fpsFrames = 0;
        fpsSeconds = 0.0f;
    }

    ++frameNumber;

    float step = frameSeconds * 35.0f;
    if (frameStep != 0.0f) {
        if (step > frameStep * 1.08)
            step = float(frameStep * 1.08);
        else if (frameStep * 0.92 > step)
            step = float(frameStep * 0.92);
    }
    if (step < 0.01) step = float(0.01);
    if (step > 4.0) step = float(4.0);
    frameStep = step;
    currentFrameStep = step;
    lastCount = now;

    advanceClock();
}

void FrameTimer::advanceClock() {
    clockFraction += frameSeconds * clockSpeed;
    if (!std::isfinite(clockFraction))
        clockFraction = 0.0f; // an absurd speed must not poison the clock

    // Counting whole seconds one at a time while subtracting 1 would never
    // end once the fraction passes 2^24, where float - 1 changes nothing.
    // Taking the whole part at once leaves the same fraction (below 2^24 each
    // subtraction of 1 is exact) and stops at any size.
    const float whole = std::trunc(clockFraction);
    if (whole != 0.0f) {
        clockFraction -= whole;
        const auto turn = int64_t(std::fmod(double(whole), double(kSecondsPerDay)));
        int64_t time = int64_t(hours) * 3600 + int64_t(minutes) * 60 + int64_t(seconds);
        time = ((time + turn) % kSecondsPerDay + kSecondsPerDay) % kSecondsPerDay;
        hours = uint8_t(time / 3600);
        minutes = uint8_t(time / 60 % 60);
        seconds = uint8_t(time % 60);
    }

    // "1000 minus" for fractions at or below 0 gives 1000 at a whole second
    // (and just below one); the field stays within 0..999.
    const int ms =
        clockFraction > 0.0f ? int(clockFraction * 1000.0f) : 1000 - int(-clockFraction * 1000.0f);
    milliseconds = uint16_t(ms % 1000);
}
