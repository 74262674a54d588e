// SPDX-License-Identifier: MIT
// Runs the tool's dialog through the real window loop, headless, with a test
// script called on every loop iteration; input goes in as SDL events.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <utility>
#include <vector>

#include "app/WinMain.h"
#include "core/FrameTimer.h"
#include "support/WinTestDriver.h"
#include "win/Win.h"

class DialogHarness : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ::setenv("SDL_VIDEODRIVER", "offscreen", 1); }

    void SetUp() override {
        Embossa& app = application();
        app.axisMode = 0;
        app.flipFlags = 0;
        app.imagePath = u"";
        app.mesh.vertexCount() = 0;
        app.mesh.indexCount() = 0;
    }
    void TearDown() override {
        win::test::setIdleHook(nullptr);
        // Input a script pushed after its dialog ended must not reach the next one.
        win::test::pumpUntil([] { return false; }, 20);
    }

    // `script` runs on every loop iteration until it ends the dialog.
    int run(std::function<void(HWND)> script) {
        win::test::setIdleHook([script] {
            HWND dialog = application().window;
            if (IsWindow(dialog)) script(dialog);
        });
        int result = WinMain(&instanceTag_);
        win::test::setIdleHook(nullptr);
        return result;
    }

    // One action of a script, run once `ticks` frame-timer ticks have passed
    // since the previous one: input pushed in one step has been handled, and
    // polled by the view, by the time the next step runs.
    struct Step {
        uint32_t ticks;
        std::function<void(HWND)> action;
    };
    // Runs the steps in order, then closes the dialog with Escape.
    int runSteps(std::vector<Step> steps) {
        size_t next = 0;
        uint32_t since = 0;
        bool started = false, closing = false;
        return run([&](HWND dialog) {
            if (!std::exchange(started, true)) since = frameNumber;
            if (next == steps.size()) {
                if (!std::exchange(closing, true)) win::test::pressKey(VK_ESCAPE);
                return;
            }
            if (frameNumber - since < steps[next].ticks) return;
            steps[next++].action(dialog);
            since = frameNumber;
        });
    }

private:
    static inline int instanceTag_ = 0;
};
