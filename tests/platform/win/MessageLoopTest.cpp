// SPDX-License-Identifier: MIT
// The one message loop: timers that keep firing through every nested modal
// run, posted messages, WM_QUIT, and message boxes held open or answered
// headless.
#include "WinTestSupport.h"
#include "support/WinTestDriver.h"

#include <chrono>
#include <thread>

namespace wintest {
namespace {

using LoopTest = WinTest;
using Clock = std::chrono::steady_clock;

int ticksOf(const Probe& probe, UINT_PTR id) {
    int ticks = 0;
    for (const Message& m : probe.only(WM_TIMER))
        if (m.wParam == id) ++ticks;
    return ticks;
}

TEST_F(LoopTest, TimerKeepsTickingThroughAModalChildAndAHeldMessageBox) {
    Probe& owner = makeProbe();
    Probe& child = makeProbe();
    HWND parent = open(owner);
    ASSERT_TRUE(SetTimer(parent, 7, 10, nullptr));

    int ticksWhenBoxOpened = -1, ticksWhenBoxClosed = -1, boxAnswer = 0;
    child.react = [&](HWND dialog, UINT message, WPARAM wParam, LPARAM) -> INT_PTR {
        if (message == WM_INITDIALOG) SetTimer(dialog, 1, 20, nullptr);
        if (message == WM_TIMER && wParam == 1 && ticksOf(owner, 7) >= 3) {
            KillTimer(dialog, 1);
            ticksWhenBoxOpened = ticksOf(owner, 7);
            boxAnswer = MessageBoxW(dialog, u"Still ticking?", u"Held", MB_OKCANCEL);
            ticksWhenBoxClosed = ticksOf(owner, 7);
            EndDialog(dialog, 5);
        }
        return 0;
    };
    win::test::holdMessageBoxes(true);
    const auto start = Clock::now();
    win::test::setIdleHook([&] {
        HWND box = GetForegroundWindow();
        const bool boxOpen =
            box && box != parent && GetParent(box) == child.messages.front().window;
        if (boxOpen && ticksOf(owner, 7) >= ticksWhenBoxOpened + 5) win::test::pressKey(VK_ESCAPE);
        if (Clock::now() - start > std::chrono::seconds(20)) { // a hang: fail, do not block
            if (boxOpen) EndDialog(box, 0);
            if (IsWindow(child.messages.front().window))
                EndDialog(child.messages.front().window, -7);
        }
    });
    const INT_PTR result =
        DialogBoxParamW(nullptr, kProbeDialog, parent, &probeProc, LPARAM(&child));

    EXPECT_EQ(result, 5);
    EXPECT_EQ(boxAnswer, IDCANCEL);
    EXPECT_GE(ticksWhenBoxOpened, 3);
    EXPECT_GE(ticksWhenBoxClosed, ticksWhenBoxOpened + 5);
    EXPECT_TRUE(owner.commands().empty());
}

TEST_F(LoopTest, ASlowHandlerMeetsNoStormOfCatchUpTicks) {
    Probe& probe = makeProbe();
    HWND dialog = open(probe);
    std::vector<Clock::time_point> ticks;
    probe.react = [&](HWND, UINT message, WPARAM, LPARAM) -> INT_PTR {
        if (message != WM_TIMER) return 0;
        ticks.push_back(Clock::now());
        if (ticks.size() == 1) std::this_thread::sleep_for(std::chrono::milliseconds(150));
        return 0;
    };
    SetTimer(dialog, 3, 30, nullptr);
    ASSERT_TRUE(pump([&] { return ticks.size() >= 3; }));
    // After the 150 ms stall one tick is due, then the period starts afresh:
    // five missed ticks are not made up in a burst. A burst would come back to
    // back; half a period of slack keeps a loaded machine from failing this.
    EXPECT_GE(ticks[2] - ticks[1], std::chrono::milliseconds(15));
}

TEST_F(LoopTest, TimersAreReplacedKilledAndDieWithTheirWindow) {
    Probe& probe = makeProbe();
    HWND dialog = open(probe);
    EXPECT_EQ(SetTimer(dialog, 4, 1000000, nullptr), 4u);
    EXPECT_EQ(SetTimer(dialog, 4, 5, nullptr), 4u); // same id: a new period
    ASSERT_TRUE(pump([&] { return ticksOf(probe, 4) >= 2; }));
    EXPECT_TRUE(KillTimer(dialog, 4));
    EXPECT_FALSE(KillTimer(dialog, 4));
    const int ticks = ticksOf(probe, 4);
    win::test::pumpUntil([] { return false; }, 40);
    EXPECT_EQ(ticksOf(probe, 4), ticks);

    SetTimer(dialog, 5, 1, nullptr);
    DestroyWindow(dialog);
    EXPECT_FALSE(KillTimer(dialog, 5)) << "destroying a window kills its timers";
    EXPECT_EQ(SetTimer(dialog, 5, 1, nullptr), 0u);

    // A timer procedure instead of a window.
    static int procTicks = 0;
    procTicks = 0;
    const UINT_PTR id = SetTimer(nullptr, 0, 2, [](HWND, UINT message, UINT_PTR, DWORD) {
        if (message == WM_TIMER) ++procTicks;
    });
    EXPECT_NE(id, 0u);
    EXPECT_TRUE(pump([] { return procTicks >= 2; }));
    EXPECT_TRUE(KillTimer(nullptr, id));
}

TEST_F(LoopTest, PostedMessagesArriveInOrderAndStaleTargetsAreRefused) {
    Probe& probe = makeProbe();
    HWND dialog = open(probe);
    for (UINT i = 1; i <= 3; ++i) EXPECT_TRUE(PostMessageW(dialog, kAppMessage + i, i, 0));
    EXPECT_TRUE(probe.only(kAppMessage + 1).empty()) << "posted, not sent";
    EXPECT_EQ(SendMessageW(dialog, kAppMessage, 0, 0), 0);
    ASSERT_EQ(probe.only(kAppMessage).size(), 1u);
    ASSERT_TRUE(pump([&] { return !probe.only(kAppMessage + 3).empty(); }));
    std::vector<UINT> order;
    for (const Message& m : probe.messages)
        if (m.message > kAppMessage && m.message <= kAppMessage + 3)
            order.push_back(m.message - kAppMessage);
    EXPECT_EQ(order, (std::vector<UINT>{1, 2, 3}));

    PostMessageW(dialog, kAppMessage + 9, 0, 0);
    DestroyWindow(dialog);
    settle(); // the queued message must not reach a dead window's procedure
    EXPECT_TRUE(probe.only(kAppMessage + 9).empty());
    EXPECT_FALSE(PostMessageW(dialog, kAppMessage, 0, 0));
}

TEST_F(LoopTest, QuitEndsTheModalLoopsOnceAndIsThenConsumed) {
    Probe& probe = makeProbe();
    probe.react = [](HWND dialog, UINT message, WPARAM, LPARAM) -> INT_PTR {
        if (message == WM_INITDIALOG) SetTimer(dialog, 1, 5, nullptr);
        if (message == WM_TIMER) {
            KillTimer(dialog, 1);
            // A box opened after the quit ends at once, and so does its dialog.
            PostQuitMessage(0);
            MessageBoxW(dialog, u"never waits", u"Quit", MB_OK);
        }
        return 0;
    };
    win::test::holdMessageBoxes(true);
    EXPECT_EQ(DialogBoxParamW(nullptr, kProbeDialog, nullptr, &probeProc, LPARAM(&probe)), 0);
    EXPECT_FALSE(IsWindow(probe.messages.front().window));

    // The next dialog runs normally.
    Probe& next = makeProbe();
    next.react = [](HWND dialog, UINT message, WPARAM, LPARAM) -> INT_PTR {
        if (message == WM_INITDIALOG) SetTimer(dialog, 1, 5, nullptr);
        if (message == WM_TIMER) EndDialog(dialog, 3);
        return 0;
    };
    EXPECT_EQ(DialogBoxParamW(nullptr, kProbeDialog, nullptr, &probeProc, LPARAM(&next)), 3);
}

TEST_F(LoopTest, HeadlessMessageBoxesAreLoggedAndAnsweredOk) {
    ASSERT_TRUE(win::headless());
    std::vector<std::u16string> lines;
    standin::setLogFunction([&](const std::u16string& line) { lines.push_back(line); });
    EXPECT_EQ(MessageBoxW(nullptr, u"==>Error<==", u"Error", MB_OKCANCEL | MB_ICONERROR), IDOK);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], u"MessageBox: Error: ==>Error<==");
}

TEST_F(LoopTest, HeldMessageBoxesAnswerButtonsAndKeys) {
    Probe& probe = makeProbe();
    HWND owner = open(probe);
    win::test::holdMessageBoxes(true);

    struct Case {
        UINT type;
        std::function<void(HWND)> answer;
        int expected;
    };
    const std::vector<Case> cases = {
        {MB_OKCANCEL, [](HWND box) { win::test::click(GetDlgItem(box, IDCANCEL)); }, IDCANCEL},
        {MB_OKCANCEL, [](HWND) { win::test::pressKey(VK_RETURN); }, IDOK},
        {MB_OKCANCEL, [](HWND) { win::test::pressKey(VK_ESCAPE); }, IDCANCEL},
        {MB_OK, [](HWND) { win::test::pressKey(VK_ESCAPE); }, IDOK}, // no Cancel: Escape is OK
        {MB_OKCANCEL, [](HWND box) { win::test::closeBox(box); }, IDCANCEL},
        {MB_OKCANCEL, // Tab to Cancel, then Enter presses the focused button
         [](HWND) {
             win::test::pressKey(VK_TAB);
             win::test::pressKey(VK_RETURN);
         },
         IDCANCEL},
    };
    for (const Case& c : cases) {
        bool answered = false;
        win::test::setIdleHook([&] {
            HWND box = GetForegroundWindow();
            if (!answered && box && box != owner) {
                EXPECT_EQ(GetParent(box), owner);
                EXPECT_FALSE(IsWindowEnabled(owner));
                c.answer(box);
                answered = true;
            }
        });
        EXPECT_EQ(MessageBoxW(owner, u"Text", u"Caption", c.type | MB_ICONINFORMATION), c.expected);
        EXPECT_TRUE(IsWindowEnabled(owner));
    }
    EXPECT_TRUE(probe.commands().empty()) << "the owner heard the box's keys";

    // Without an owner the box has a window of its own.
    win::test::setIdleHook([&] {
        HWND box = GetForegroundWindow();
        if (box && box != owner && !GetParent(box)) win::test::click(GetDlgItem(box, IDOK));
    });
    EXPECT_EQ(MessageBoxW(nullptr, u"Alone", u"Caption", MB_OKCANCEL), IDOK);
}

TEST_F(LoopTest, PumpUntilGivesUpAtItsTimeout) {
    int idle = 0;
    win::test::setIdleHook([&] { ++idle; });
    EXPECT_FALSE(win::test::pumpUntil([] { return false; }, 30));
    EXPECT_GT(idle, 0);
    EXPECT_TRUE(win::test::pumpUntil([] { return true; }, 0));
}

} // namespace
} // namespace wintest
