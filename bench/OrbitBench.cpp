// SPDX-License-Identifier: MIT
// The dialog's CPU use, in-process and measured by the process's own CPU
// clock (every thread, the GL driver's included): first left alone with the
// sample relief open, then while the right button drags the camera round
// without pause. Prints CPU per second, frames drawn per tick and CPU per
// drawn frame for both. Runs on whatever display is set (Xvfb through
// tests/run-on-desktop for llvmpipe), else SDL's offscreen driver.
//
//   orbit_bench [SECONDS]
#include <time.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/WinMain.h"
#include "core/FrameTimer.h"
#include "support/WinTestDriver.h"
#include "sys/Unicode.h"
#include "win/Win.h"

namespace {

double cpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

double wallSeconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

struct Window {
    double wall = 0, cpu = 0;
    uint64_t frames = 0;
    uint32_t ticks = 0;

    void start() {
        wall = wallSeconds();
        cpu = cpuSeconds();
        frames = application().framesDrawn;
        ticks = frameNumber;
    }
    void report(const char* name) const {
        const double seconds = wallSeconds() - wall, used = cpuSeconds() - cpu;
        const uint64_t drawn = application().framesDrawn - frames;
        const uint32_t ticked = frameNumber - ticks;
        std::printf("%-8s %5.1f s: %6.2f %% of a core, %u ticks, %llu frames drawn", name, seconds,
                    100.0 * used / seconds, ticked, static_cast<unsigned long long>(drawn));
        if (drawn > 0) std::printf(", %.3f ms of CPU a frame", 1000.0 * used / double(drawn));
        std::printf("\n");
    }
};

} // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 10.0;
    if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY"))
        ::setenv("SDL_VIDEODRIVER", "offscreen", 1);
    application().pendingImage =
        String(sys::utf8ToUtf16(std::string(EMBOSSA_SOURCE_DIR) + "/examples/rings.png").c_str());
    enum class Phase { Settling, Idle, Orbiting, Done } phase = Phase::Settling;
    double phaseStart = wallSeconds();
    Window window;
    uint32_t movedAt = 0;
    bool ran = false;
    win::test::setIdleHook([&] {
        HWND dialog = application().window;
        if (!IsWindow(dialog)) return;
        HWND view = GetDlgItem(dialog, Embossa::kView);
        RECT client{};
        GetClientRect(view, &client);
        const int x = client.right / 2, y = client.bottom / 2;
        const double now = wallSeconds();
        switch (phase) {
        case Phase::Settling:
            if (now - phaseStart < 2.0) return;
            if (!application().view) {
                std::fprintf(stderr, "orbit_bench: Direct3D did not start; nothing to measure\n");
                phase = Phase::Done;
                application().close(0);
                return;
            }
            win::test::moveMouse(view, x, y, 0, 0);
            phase = Phase::Idle;
            phaseStart = now;
            window.start();
            return;
        case Phase::Idle:
            if (now - phaseStart < seconds) return;
            window.report("idle");
            win::test::mouseButtonAt(view, x, y, 3, true);
            phase = Phase::Orbiting;
            phaseStart = now;
            window.start();
            return;
        case Phase::Orbiting:
            if (now - phaseStart < seconds) {
                // A little motion once a tick, as a hand dragging steadily
                // gives: each tick has some to turn the camera by.
                if (frameNumber != movedAt) win::test::moveMouse(view, x, y, 1, 0);
                movedAt = frameNumber;
                return;
            }
            window.report("orbiting");
            win::test::mouseButtonAt(view, x, y, 3, false);
            phase = Phase::Done;
            ran = true;
            application().close(0);
            return;
        case Phase::Done: return;
        }
    });
    static int instance = 0;
    WinMain(&instance);
    return ran ? 0 : 1;
}
