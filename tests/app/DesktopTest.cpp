// SPDX-License-Identifier: MIT
// The dialog on a real desktop: an X server with a window manager (started
// by run-on-desktop), which minimises and restores the dialog the way a
// user's clicks on its frame would. Only the window manager's events tell
// the program what happened, so the device-loss wait must keep reading them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "app/WinMain.h"
#include "core/FrameTimer.h"
#include "render/D3D/D3D.h"
#include "support/Watchdog.h"
#include "support/WinTestDriver.h"
#include "support/X11Desktop.h"
#include "win/Win.h"

namespace {

class DesktopTest : public ::testing::Test {
protected:
    X11Desktop desktop;

    void SetUp() override {
        if (!std::getenv("DISPLAY") || !desktop.connected())
            GTEST_FAIL() << "no X server; run this test through tests/run-on-desktop";
        setenv("SDL_VIDEODRIVER", "x11", 1);
        ASSERT_TRUE(desktop.waitForWindowManager()) << "the window manager did not start";
    }
    void TearDown() override { win::test::setIdleHook(nullptr); }
};

bool showsTheViewBackground(HWND dialog) {
    win::test::Capture shot;
    if (!win::test::capture(GetDlgItem(dialog, 1005), shot) || shot.width < 4) return false;
    const uint32_t corner = shot.at(2, 2);
    return corner == 0x999999u;
}

TEST_F(DesktopTest, MinimisedAndRestoredAHundredTimesTheViewDrawsAgainAndEscapeStillEnds) {
    constexpr int kCycles = 100;
    Watchdog watchdog(600, "the dialog stopped answering while minimised and restored");
    // Each stage waits for what the window manager's events bring about;
    // the hook runs on every pass of whichever loop is running, the device
    // restore's waits included.
    enum class Stage { Find, Minimise, AwaitLoss, AwaitReturn, AwaitFrames, Done };
    Stage stage = Stage::Find;
    unsigned long client = 0;
    int cycles = 0, drawnAgain = 0, lostSeen = 0;
    uint32_t backAt = 0;
    static int instance;
    win::test::setIdleHook([&] {
        HWND dialog = application().window;
        if (!IsWindow(dialog)) return;
        switch (stage) {
        case Stage::Find:
            if ((client = desktop.clientTitled("Embossa")) && frameNumber > 3)
                stage = Stage::Minimise;
            break;
        case Stage::Minimise:
            desktop.minimise(client);
            stage = Stage::AwaitLoss;
            break;
        case Stage::AwaitLoss:
            if (!win::minimized(dialog) || !D3D::device.lost) break;
            ++lostSeen;
            desktop.restore(client);
            stage = Stage::AwaitReturn;
            break;
        case Stage::AwaitReturn:
            if (win::minimized(dialog) || D3D::device.lost) break;
            backAt = frameNumber;
            stage = Stage::AwaitFrames;
            break;
        case Stage::AwaitFrames:
            // Frames of the dialog's own timer, not one painted for the capture.
            if (frameNumber - backAt < 3) break;
            if (showsTheViewBackground(dialog)) ++drawnAgain;
            stage = ++cycles < kCycles ? Stage::Minimise : Stage::Done;
            if (stage == Stage::Done) win::test::pressKey(VK_ESCAPE);
            break;
        case Stage::Done: break;
        }
    });
    const int result = WinMain(&instance);
    EXPECT_EQ(result, -1);
    EXPECT_EQ(cycles, kCycles);
    EXPECT_EQ(lostSeen, kCycles);
    EXPECT_EQ(drawnAgain, kCycles);
}

} // namespace
