// SPDX-License-Identifier: MIT
// Dialogs driven through the real loop with pushed SDL input: what reaches
// the dialog procedure, in which order, and what each control does.
#include "WinTestSupport.h"
#include "support/WinTestDriver.h"

#include <SDL.h>

#include "win/Canvas.h"
#include "win/Dialog.h"

namespace wintest {
namespace {

using DialogTest = WinTest;

POINT centreOf(HWND control) {
    RECT r{};
    GetClientRect(control, &r);
    return POINT{r.right / 2, r.bottom / 2};
}

// Where a control's client point lies in its dialog's client area.
POINT inDialog(HWND control, POINT p) {
    ClientToScreen(control, &p);
    ScreenToClient(GetParent(control), &p);
    return p;
}

TEST_F(DialogTest, ModalDialogSeesInitDialogFirstAndReturnsTheEndDialogResult) {
    Probe& probe = makeProbe();
    int focusId = 0;
    probe.react = [&focusId](HWND dialog, UINT message, WPARAM wParam, LPARAM) -> INT_PTR {
        if (message == WM_TIMER) EndDialog(dialog, 42);
        if (message == WM_INITDIALOG) {
            // wParam names the control to get the focus: the first tab stop.
            focusId = GetDlgCtrlID(reinterpret_cast<HWND>(wParam));
            SetTimer(dialog, 1, 5, nullptr);
        }
        return 0;
    };
    const INT_PTR result =
        DialogBoxParamW(nullptr, kProbeDialog, nullptr, &probeProc, LPARAM(&probe));

    EXPECT_EQ(result, 42);
    EXPECT_EQ(messagesBeforeInit, 0);
    ASSERT_FALSE(probe.messages.empty());
    const Message& first = probe.messages.front();
    EXPECT_EQ(first.message, WM_INITDIALOG);
    EXPECT_EQ(first.lParam, LPARAM(&probe));
    EXPECT_EQ(focusId, 101);
    // The dialog is gone and its handle says so, as a stale handle must.
    EXPECT_FALSE(IsWindow(first.window));
    EXPECT_EQ(probe.only(WM_DESTROY).size(), 1u);
    EXPECT_EQ(SendMessageW(first.window, WM_GETTEXTLENGTH, 0, 0), 0);
    EXPECT_EQ(GetDlgItem(first.window, 102), nullptr);
}

TEST_F(DialogTest, MissingTemplateOrParentFailsWithoutCallingTheProcedure) {
    Probe& probe = makeProbe();
    EXPECT_EQ(DialogBoxParamW(nullptr, 4711, nullptr, &probeProc, LPARAM(&probe)), -1);
    EXPECT_EQ(CreateDialogParamW(nullptr, 4711, nullptr, &probeProc, LPARAM(&probe)), nullptr);
    HWND gone = open(probe);
    DestroyWindow(gone);
    EXPECT_EQ(DialogBoxParamW(nullptr, kProbeDialog, gone, &probeProc, LPARAM(&probe)), -1);
    EXPECT_EQ(probe.only(WM_INITDIALOG).size(), 1u);
}

TEST_F(DialogTest, EndDialogDuringInitDialogEndsWithoutALoop) {
    Probe& probe = makeProbe();
    probe.react = [](HWND dialog, UINT message, WPARAM, LPARAM) -> INT_PTR {
        if (message == WM_INITDIALOG) EndDialog(dialog, 7);
        return 0;
    };
    EXPECT_EQ(DialogBoxParamW(nullptr, kProbeDialog, nullptr, &probeProc, LPARAM(&probe)), 7);
    EXPECT_TRUE(probe.only(WM_PAINT).empty()); // never shown
}

TEST_F(DialogTest, ClicksOnEachControlKindSendTheirCommand) {
    Probe& probe = makeProbe();
    HWND dialog = open(probe);
    for (int id : {102, 301, 202, 101, IDOK}) win::test::click(GetDlgItem(dialog, id));
    settle();

    // The edit takes its click silently; the others notify with BN_CLICKED
    // and their own handle.
    EXPECT_EQ(probe.commands(), (std::vector<int>{102, 301, 202, IDOK}));
    for (const Message& m : probe.only(WM_COMMAND)) {
        EXPECT_EQ(HIWORD(m.wParam), BN_CLICKED);
        EXPECT_EQ(reinterpret_cast<HWND>(m.lParam), GetDlgItem(dialog, LOWORD(m.wParam)));
    }
    EXPECT_TRUE(probe.mouse().empty()) << "the dialog heard clicks meant for its controls";
    EXPECT_EQ(SendMessageW(GetDlgItem(dialog, 301), BM_GETCHECK, 0, 0), LRESULT(BST_CHECKED));
    EXPECT_EQ(GetFocus(), GetDlgItem(dialog, IDOK)); // clicking a button focuses it
}

// Raw SDL button events, for presses and releases at different places.
void pushButton(HWND dialog, POINT at, bool down) {
    SDL_Event event{};
    event.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
    event.button.windowID = win::hostOf(dialog)->top->windowId;
    event.button.button = SDL_BUTTON_LEFT;
    event.button.state = down ? SDL_PRESSED : SDL_RELEASED;
    event.button.clicks = 1;
    event.button.x = at.x;
    event.button.y = at.y;
    SDL_PushEvent(&event);
}

TEST_F(DialogTest, MouseStaysWithWhereThePressBegan) {
    Probe& probe = makeProbe();
    HWND dialog = open(probe);
    HWND push = GetDlgItem(dialog, 102);
    const POINT onButton = inDialog(push, centreOf(push));
    const POINT empty{2, 2};

    // Pressed on the button, released beside it: no click, and the dialog
    // hears nothing of it.
    pushButton(dialog, onButton, true);
    settle();
    EXPECT_TRUE(push->pressed);
    pushButton(dialog, empty, false);
    settle();
    EXPECT_FALSE(push->pressed);
    EXPECT_TRUE(probe.commands().empty());
    EXPECT_TRUE(probe.mouse().empty());

    // Pressed on the dialog, released over the button: the dialog gets both
    // halves, so a drag it started always ends; the button stays quiet.
    pushButton(dialog, empty, true);
    pushButton(dialog, onButton, false);
    settle();
    EXPECT_TRUE(probe.commands().empty());
    EXPECT_EQ(probe.mouse(), (std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONUP}));
    EXPECT_EQ(probe.only(WM_LBUTTONUP)[0].lParam, MAKELPARAM(onButton.x, onButton.y));
}

TEST_F(DialogTest, LosingTheFocusEndsAPressWithoutClicking) {
    Probe& probe = makeProbe();
    HWND dialog = open(probe);
    HWND push = GetDlgItem(dialog, 102);
    const POINT onButton = inDialog(push, centreOf(push));

    // Alt+Tab with the button held: the release goes to another program.
    pushButton(dialog, onButton, true);
    settle();
    win::test::focusAway(dialog);
    settle();
    EXPECT_FALSE(push->pressed);
    pushButton(dialog, onButton, false);
    settle();
    EXPECT_TRUE(probe.commands().empty());

    // A right drag on the dialog hears its release where the pointer was,
    // with the button no longer reported held.
    win::test::mouseButtonAt(dialog, 4, 5, 3, true);
    settle();
    win::test::focusAway(dialog);
    settle();
    EXPECT_EQ(probe.mouse(), (std::vector<UINT>{WM_RBUTTONDOWN, WM_RBUTTONUP}));
    const auto up = probe.only(WM_RBUTTONUP);
    ASSERT_EQ(up.size(), 1u);
    EXPECT_EQ(up[0].lParam, MAKELPARAM(4, 5));
    EXPECT_EQ(up[0].wParam & MK_RBUTTON, 0u);
    EXPECT_EQ(GetAsyncKeyState(VK_RBUTTON) & 0x8000, 0);
}

TEST_F(DialogTest, RadioButtonsUncheckOnlyTheirOwnGroup) {
    Probe& probe = makeProbe();
    HWND dialog = open(probe);
    auto checked = [dialog](int id) {
        return SendMessageW(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0);
    };

    win::test::click(GetDlgItem(dialog, 201));
    win::test::click(GetDlgItem(dialog, 211));
    win::test::click(GetDlgItem(dialog, 203));
    settle();
    EXPECT_EQ(checked(201), 0);
    EXPECT_EQ(checked(203), 1);
    EXPECT_EQ(checked(211), 1) << "group B lost its choice to a click in group A";

    // Clicking the radio that is already on still notifies.
    win::test::click(GetDlgItem(dialog, 203));
    settle();
    EXPECT_EQ(probe.commands(), (std::vector<int>{201, 211, 203, 203}));

    // BM_SETCHECK sets one button only, as on the platform.
    SendMessageW(GetDlgItem(dialog, 202), BM_SETCHECK, BST_CHECKED, 0);
    EXPECT_EQ(checked(202), 1);
    EXPECT_EQ(checked(203), 1);
}

TEST_F(DialogTest, RadiosWithoutAnyGroupStyleFormOneGroup) {
    Probe& probe = makeProbe();
    HWND dialog = open(probe, kUngroupedDialog);
    win::test::click(GetDlgItem(dialog, 401));
    win::test::click(GetDlgItem(dialog, 403));
    settle();
    EXPECT_EQ(SendMessageW(GetDlgItem(dialog, 401), BM_GETCHECK, 0, 0), 0);
    EXPECT_EQ(SendMessageW(GetDlgItem(dialog, 403), BM_GETCHECK, 0, 0), 1);
}

TEST_F(DialogTest, CheckBoxTogglesOnClicksSpaceAndBmClick) {
    Probe& probe = makeProbe();
    HWND dialog = open(probe);
    HWND check = GetDlgItem(dialog, 301);
    auto state = [check] { return SendMessageW(check, BM_GETCHECK, 0, 0); };

    win::test::click(check);
    win::test::click(check);
    settle();
    EXPECT_EQ(state(), 0);
    win::test::pressKey(VK_SPACE); // the click left the focus on it
    settle();
    EXPECT_EQ(state(), 1);
    SendMessageW(check, BM_CLICK, 0, 0);
    EXPECT_EQ(state(), 0);
    EXPECT_EQ(probe.commands(), (std::vector<int>{301, 301, 301, 301}));
}

TEST_F(DialogTest, KeysFollowTheDialogManager) {
    Probe& probe = makeProbe();
    HWND dialog = open(probe);
    auto focusId = [] { return GetDlgCtrlID(GetFocus()); };
    ASSERT_EQ(focusId(), 101);

    win::test::pressKey(VK_ESCAPE);
    win::test::pressKey(VK_RETURN); // focus on the edit: the default button, OK
    settle();
    EXPECT_EQ(probe.commands(), (std::vector<int>{IDCANCEL, IDOK}));

    // Tab visits the tab stops in template order; a radio group is one stop.
    std::vector<int> visited;
    for (int i = 0; i < 7; ++i) {
        win::test::pressKey(VK_TAB);
        settle();
        visited.push_back(focusId());
    }
    EXPECT_EQ(visited, (std::vector<int>{102, 201, 211, 301, IDOK, IDCANCEL, 101}));
    win::test::keyDown(VK_SHIFT);
    win::test::pressKey(VK_TAB);
    win::test::keyUp(VK_SHIFT);
    settle();
    EXPECT_EQ(focusId(), IDCANCEL);

    // A focused push button is the one Enter and space press.
    probe.clear();
    win::test::pressKey(VK_RETURN);
    win::test::pressKey(VK_SPACE);
    settle();
    EXPECT_EQ(probe.commands(), (std::vector<int>{IDCANCEL, IDCANCEL}));

    // Arrows move within a radio group and choose as they go.
    SetFocus(GetDlgItem(dialog, 201));
    probe.clear();
    win::test::pressKey(VK_DOWN);
    win::test::pressKey(VK_DOWN);
    win::test::pressKey(VK_DOWN); // wraps inside the group, past its group box
    settle();
    EXPECT_EQ(probe.commands(), (std::vector<int>{202, 203, 201}));
    EXPECT_EQ(SendMessageW(GetDlgItem(dialog, 201), BM_GETCHECK, 0, 0), 1);
    EXPECT_EQ(SendMessageW(GetDlgItem(dialog, 203), BM_GETCHECK, 0, 0), 0);
}

TEST_F(DialogTest, CloseBoxBecomesCancelUnlessTheProcedureTakesWmClose) {
    Probe& probe = makeProbe();
    HWND dialog = open(probe);
    win::test::closeBox(dialog);
    settle();
    ASSERT_EQ(probe.commands(), std::vector<int>{IDCANCEL});
    EXPECT_EQ(probe.only(WM_CLOSE).size(), 1u);
    EXPECT_TRUE(IsWindow(dialog)) << "closing is the procedure's decision";

    probe.clear();
    probe.react = [](HWND, UINT message, WPARAM, LPARAM) -> INT_PTR { return message == WM_CLOSE; };
    win::test::closeBox(dialog);
    settle();
    EXPECT_TRUE(probe.commands().empty());

    // Cancel disabled: neither Escape nor the close box can cancel.
    probe.react = nullptr;
    EnableWindow(GetDlgItem(dialog, IDCANCEL), FALSE);
    win::test::closeBox(dialog);
    win::test::pressKey(VK_ESCAPE);
    settle();
    EXPECT_TRUE(probe.commands().empty());
}

TEST_F(DialogTest, MouseOverStaticsAndEmptySpaceReachesTheDialog) {
    Probe& probe = makeProbe();
    HWND dialog = open(probe);
    HWND surface = GetDlgItem(dialog, 303);
    const POINT at = inDialog(surface, POINT{5, 6});

    win::test::clickAt(surface, 5, 6);
    win::test::clickAt(surface, 5, 6, 3);              // right button
    win::test::clickAt(GetDlgItem(dialog, 101), 3, 3); // the edit keeps its clicks
    settle();
    EXPECT_EQ(probe.mouse(),
              (std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONUP, WM_RBUTTONDOWN, WM_RBUTTONUP}));
    const auto down = probe.only(WM_LBUTTONDOWN);
    ASSERT_EQ(down.size(), 1u);
    EXPECT_EQ(GET_X_LPARAM(down[0].lParam), at.x);
    EXPECT_EQ(GET_Y_LPARAM(down[0].lParam), at.y);
    EXPECT_EQ(down[0].wParam & MK_LBUTTON, MK_LBUTTON);
    EXPECT_EQ(probe.only(WM_LBUTTONUP)[0].wParam & MK_LBUTTON, 0u);
    EXPECT_FALSE(probe.only(WM_MOUSEMOVE).empty());

    // Group boxes and labels are see-through too; a double click arrives
    // as the platform's down, up, double click, up.
    probe.clear();
    win::test::doubleClickAt(dialog, 2, 2);
    settle();
    EXPECT_EQ(probe.mouse(),
              (std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP}));
    const auto twice = probe.only(WM_LBUTTONDBLCLK);
    ASSERT_EQ(twice.size(), 1u);
    EXPECT_EQ(twice[0].lParam, MAKELPARAM(2, 2));
}

TEST_F(DialogTest, DisabledControlsTakeNoClicksAndNoFocus) {
    Probe& probe = makeProbe();
    HWND dialog = open(probe);
    HWND push = GetDlgItem(dialog, 102);
    EXPECT_EQ(EnableWindow(push, FALSE), FALSE); // it was enabled
    EXPECT_FALSE(IsWindowEnabled(push));
    win::test::click(push);
    win::test::pressKey(VK_TAB);
    settle();
    EXPECT_TRUE(probe.commands().empty());
    EXPECT_TRUE(probe.mouse().empty()) << "a disabled button still covers the dialog";
    EXPECT_EQ(GetDlgCtrlID(GetFocus()), 201);
    EXPECT_EQ(GetWindowLongPtrW(push, GWL_STYLE) & LONG_PTR(WS_DISABLED), LONG_PTR(WS_DISABLED));
}

TEST_F(DialogTest, TextTravelsThroughTheTextMessages) {
    Probe& probe = makeProbe();
    HWND dialog = open(probe);
    HWND edit = GetDlgItem(dialog, 101);
    EXPECT_TRUE(SetWindowTextW(edit, u"/home/user/pictures/relief.png"));
    EXPECT_EQ(GetWindowTextLengthW(edit), 30);
    char16_t small[8];
    EXPECT_EQ(GetWindowTextW(edit, small, 8), 7); // cut, and terminated
    EXPECT_EQ(std::u16string(small), u"/home/u");
    EXPECT_EQ(GetWindowTextW(edit, small, 0), 0);
    SendMessageW(edit, WM_SETTEXT, 0, 0); // null clears
    EXPECT_EQ(GetWindowTextLengthW(edit), 0);

    char16_t caption[32];
    GetWindowTextW(dialog, caption, 32);
    EXPECT_EQ(std::u16string(caption), u"Probe");
    SetWindowTextW(dialog, u"Renamed");
    GetWindowTextW(dialog, caption, 32);
    EXPECT_EQ(std::u16string(caption), u"Renamed");
    EXPECT_EQ(probe.only(WM_SETTEXT).size(), 1u) << "the dialog procedure sees its caption change";
}

TEST_F(DialogTest, PlacementFollowsDialogUnitsAndMovesTheWindow) {
    Probe& probe = makeProbe();
    HWND dialog = open(probe);
    const win::DialogUnits units = win::dialogUnits();
    EXPECT_EQ(units.baseY, 13) << "an 8-point dialog font is 13 pixels high at 96 DPI";
    EXPECT_GE(units.baseX, 5);
    EXPECT_LE(units.baseX, 8);

    RECT client{};
    GetClientRect(dialog, &client);
    EXPECT_EQ(client.right, (200 * units.baseX + 2) / 4);
    EXPECT_EQ(client.bottom, (124 * units.baseY + 4) / 8);
    // Control 102 sits at 150, 6 and measures 44 x 14 dialog units.
    HWND push = GetDlgItem(dialog, 102);
    const POINT origin = inDialog(push, POINT{0, 0});
    EXPECT_EQ(origin.x, (150 * units.baseX + 2) / 4);
    EXPECT_EQ(origin.y, (6 * units.baseY + 4) / 8);

    RECT before{};
    GetWindowRect(dialog, &before);
    ASSERT_TRUE(SetWindowPos(dialog, nullptr, 40, 30, 1, 1, SWP_NOSIZE | SWP_NOZORDER));
    RECT after{};
    GetWindowRect(dialog, &after);
    EXPECT_EQ(after.left, 40);
    EXPECT_EQ(after.top, 30);
    EXPECT_EQ(after.right - after.left, before.right - before.left);
    POINT p{3, 4};
    ClientToScreen(push, &p);
    ScreenToClient(push, &p);
    EXPECT_EQ(p.x, 3);
    EXPECT_EQ(p.y, 4);
    EXPECT_GT(GetSystemMetrics(SM_CXSCREEN), 0);
    EXPECT_GT(GetSystemMetrics(SM_CYSCREEN), 0);
}

TEST_F(DialogTest, HandlesStayRecognisableAfterDestruction) {
    Probe& probe = makeProbe();
    HWND dialog = open(probe);
    HWND push = GetDlgItem(dialog, 102);
    EXPECT_EQ(SetWindowLongPtrW(dialog, GWLP_USERDATA, 5), LONG_PTR(&probe));
    EXPECT_EQ(GetWindowLongPtrW(dialog, GWLP_USERDATA), 5);
    SetWindowLongPtrW(dialog, GWLP_USERDATA, LONG_PTR(&probe));
    EXPECT_EQ(GetParent(push), dialog);
    EXPECT_EQ(GetWindowLongPtrW(push, GWLP_ID), 102);

    // Destroyed from inside its own procedure, in the middle of a click.
    probe.react = [](HWND window, UINT message, WPARAM, LPARAM) -> INT_PTR {
        if (message == WM_COMMAND) DestroyWindow(window);
        return 0;
    };
    win::test::click(push);
    settle();
    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_FALSE(IsWindow(push));
    EXPECT_FALSE(DestroyWindow(dialog));
    EXPECT_EQ(GetWindowLongPtrW(dialog, GWLP_USERDATA), 0);

    Probe& second = makeProbe();
    HWND again = open(second);
    EXPECT_NE(again, dialog) << "a new window must not take an old handle";
    EXPECT_FALSE(IsWindow(dialog));
}

TEST_F(DialogTest, ModalChildBlocksItsOwnerUntilItEnds) {
    Probe& owner = makeProbe();
    Probe& child = makeProbe();
    HWND parent = open(owner);
    bool ownerEnabledDuring = true;
    HWND ownerSeen = nullptr;
    int step = 0;
    win::test::setIdleHook([&] {
        HWND modal = GetForegroundWindow();
        if (!modal || modal == parent) return;
        if (step == 0) {
            ownerEnabledDuring = IsWindowEnabled(parent);
            ownerSeen = GetParent(modal);
            win::test::click(GetDlgItem(parent, 102)); // must not reach the owner
            win::test::closeBox(parent);
            step = 1;
        } else if (++step > 3) {
            EndDialog(modal, 9);
        }
    });
    EXPECT_EQ(
        DialogBoxParamW(nullptr, kProbeDialog, GetDlgItem(parent, 102), &probeProc, LPARAM(&child)),
        9);
    EXPECT_FALSE(ownerEnabledDuring);
    EXPECT_TRUE(owner.commands().empty());
    EXPECT_TRUE(IsWindowEnabled(parent));
    EXPECT_EQ(GetForegroundWindow(), parent);
    EXPECT_EQ(ownerSeen, parent) << "owned by the control's dialog";
}

TEST_F(DialogTest, ModelessDialogsShowOnRequestAndEndDialogHidesThem) {
    Probe& probe = makeProbe();
    HWND dialog = CreateDialogParamW(nullptr, kProbeDialog, nullptr, &probeProc, LPARAM(&probe));
    ASSERT_TRUE(dialog);
    EXPECT_FALSE(IsWindowVisible(dialog)) << "no WS_VISIBLE in the template";
    EXPECT_FALSE(ShowWindow(dialog, SW_SHOW));
    EXPECT_TRUE(IsWindowVisible(dialog));
    EXPECT_EQ(GetForegroundWindow(), dialog);
    EXPECT_TRUE(EndDialog(dialog, 1));
    EXPECT_FALSE(IsWindowVisible(dialog));
    EXPECT_TRUE(IsWindow(dialog));
    EXPECT_FALSE(EndDialog(GetDlgItem(dialog, 102), 1)) << "a control is no dialog";

    EXPECT_FALSE(win::minimized(dialog));
    ShowWindow(dialog, SW_MINIMIZE);
    EXPECT_TRUE(win::minimized(GetDlgItem(dialog, 303))) << "a control shares its window's state";
    ShowWindow(dialog, SW_RESTORE);
    EXPECT_FALSE(win::minimized(dialog));
}

TEST_F(DialogTest, InvalidatingADialogSendsItWmPaint) {
    Probe& probe = makeProbe();
    HWND dialog = open(probe);
    ASSERT_TRUE(pump([&] { return !probe.only(WM_PAINT).empty(); })) << "shown windows paint";
    probe.clear();
    InvalidateRect(dialog, nullptr, FALSE);
    EXPECT_TRUE(pump([&] { return !probe.only(WM_PAINT).empty(); }));
}

// The pointer queries a 3D view leans on: which window is under a point
// (controls inside a group box, not the box), and where the pointer is
// clipped: the whole screen while free, one point while pinned.
TEST_F(DialogTest, WindowFromPointAndTheCursorClip) {
    Probe& probe = makeProbe();
    HWND dialog = open(probe);
    const auto screenPoint = [](HWND window, POINT p) {
        ClientToScreen(window, &p);
        return p;
    };
    HWND radio = GetDlgItem(dialog, 201);
    HWND label = GetDlgItem(dialog, 303);
    EXPECT_EQ(WindowFromPoint(screenPoint(radio, centreOf(radio))), radio);
    EXPECT_EQ(WindowFromPoint(screenPoint(label, centreOf(label))), label); // statics count
    RECT client{};
    GetClientRect(dialog, &client);
    EXPECT_EQ(WindowFromPoint(screenPoint(dialog, POINT{client.right - 2, client.bottom - 2})),
              dialog);
    EXPECT_EQ(WindowFromPoint(screenPoint(dialog, POINT{client.right + 50, 2})), nullptr);

    const RECT screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    RECT clip{};
    const auto same = [](const RECT& a, const RECT& b) {
        return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
    };
    ASSERT_TRUE(GetClipCursor(&clip));
    EXPECT_TRUE(same(clip, screen));
    const POINT at = screenPoint(radio, centreOf(radio));
    const RECT pin{at.x, at.y, at.x + 1, at.y + 1};
    ASSERT_TRUE(ClipCursor(&pin));
    GetClipCursor(&clip);
    EXPECT_TRUE(same(clip, pin));
    POINT cursor{};
    GetCursorPos(&cursor);
    EXPECT_EQ(cursor.x, at.x);
    EXPECT_EQ(cursor.y, at.y);
    // Restoring the saved whole-screen clip frees the pointer.
    ASSERT_TRUE(ClipCursor(&screen));
    GetClipCursor(&clip);
    EXPECT_TRUE(same(clip, screen));
    ClipCursor(&pin);
    ClipCursor(nullptr);
    GetClipCursor(&clip);
    EXPECT_TRUE(same(clip, screen));
}

} // namespace
} // namespace wintest
