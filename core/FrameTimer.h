// SPDX-License-Identifier: MIT
// The frame timer: turns the time between two frames into the engine's frame
// step (the frame time in ticks of 1/35 s, changing by at most 8 % a frame and
// kept within 0.01..4.0), measures frames per second and runs a day clock at
// any speed, backwards too. One process-wide record, updated once per frame on
// the main thread and read there; nothing is locked. start and update also
// take the counter as arguments, so tests drive the timer with exact numbers.
#pragma once

#include <cstdint>

struct FrameTimer {
    uint32_t highResolution = 0; // 1: performance counter, 0: millisecond timer
    uint64_t lastCount = 0;      // counter at the previous update
    float frameSeconds = 0.0f;
    float frameStep = 1.0f;
    float fpsSeconds = 0.0f;
    float clockFraction = 0.0f; // clock second not yet counted, -1..1
    float clockSpeed = 1.0f;    // clock seconds per real second
    float secondsPerCount = 0.0f;
    uint32_t fpsFrames = 0;
    uint32_t fpsWindow = 20; // frames per frame-rate measurement
    int32_t fps = 0;
    uint8_t hours = 12;
    uint8_t minutes = 0;
    uint8_t seconds = 0;
    uint16_t milliseconds = 0; // 0..999
    uint32_t paused = 0;       // non-zero: update does nothing

    // Starts on the platform's counter.
    FrameTimer();
    FrameTimer(uint64_t frequency, uint64_t now);

    void start();
    // frequency 0 means "no performance counter": now is then the millisecond
    // timer and a count lasts 0.001 s.
    void start(uint64_t frequency, uint64_t now);

    // Once per frame, before anything reads the frame step.
    void update();
    // now in the unit chosen at start: counts, or milliseconds.
    void update(uint64_t now);

private:
    void advanceClock();
};

extern FrameTimer frameTimer;
// The step of the last update, which all per-frame motion multiplies by. It
// reads 1.0 before the first update, so nothing stands still meanwhile.
extern float currentFrameStep;
// Incremented by every update.
extern uint32_t frameNumber;
