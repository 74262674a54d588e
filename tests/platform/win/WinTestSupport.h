// SPDX-License-Identifier: MIT
// Shared by the window layer's tests: the offscreen video driver, a dialog
// procedure that records what reaches it, and the test dialog templates.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <deque>
#include <functional>
#include <vector>

#include "shared/StandInLog.h"
#include "support/WinTestDriver.h"
#include "win/DialogTemplate.h"
#include "win/Win.h"

namespace wintest {

// Before SDL starts: headless on Mesa, unless the caller chose a driver
// (SDL_VIDEODRIVER=x11 to watch the tests run).
inline const bool offscreenDriver = [] {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    return true;
}();

struct Message {
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

// What one dialog saw, attached to it the way the program attaches its
// object: through WM_INITDIALOG's parameter and the user-data slot.
struct Probe {
    std::vector<Message> messages;
    std::function<INT_PTR(HWND, UINT, WPARAM, LPARAM)> react;

    std::vector<int> commands() const {
        std::vector<int> ids;
        for (const Message& m : messages)
            if (m.message == WM_COMMAND) ids.push_back(LOWORD(m.wParam));
        return ids;
    }
    std::vector<Message> only(UINT message) const {
        std::vector<Message> found;
        for (const Message& m : messages)
            if (m.message == message) found.push_back(m);
        return found;
    }
    std::vector<UINT> mouse() const {
        std::vector<UINT> found;
        for (const Message& m : messages)
            if (m.message >= WM_MOUSEMOVE && m.message <= WM_MOUSEWHEEL &&
                m.message != WM_MOUSEMOVE)
                found.push_back(m.message);
        return found;
    }
    void clear() { messages.clear(); }
};

inline int messagesBeforeInit = 0;

inline INT_PTR probeProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) SetWindowLongPtrW(window, GWLP_USERDATA, lParam);
    auto* probe = reinterpret_cast<Probe*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!probe) {
        ++messagesBeforeInit;
        return 0;
    }
    probe->messages.push_back(Message{window, message, wParam, lParam});
    return probe->react ? probe->react(window, message, wParam, lParam) : 0;
}

constexpr WORD kProbeDialog = 9001;
constexpr WORD kUngroupedDialog = 9002;
constexpr UINT kAppMessage = 0x8000; // WM_APP

// Every control kind of the layer; two radio groups split by WS_GROUP.
inline void registerProbeDialogs() {
    constexpr DWORD push = BS_PUSHBUTTON | WS_TABSTOP;
    registerDialogTemplate(DialogTemplate{
        kProbeDialog,
        u"Probe",
        u"MS Shell Dlg",
        8,
        WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SHELLFONT,
        0,
        0,
        200,
        124,
        1033,
        {
            {-1, u"STATIC", u"Label:", SS_LEFT, 8, 8, 40, 8},
            {101, u"EDIT", u"", WS_BORDER | WS_TABSTOP | ES_READONLY | ES_AUTOHSCROLL, 50, 6, 96,
             14},
            {102, u"BUTTON", u"Push", push, 150, 6, 44, 14},
            {-1, u"BUTTON", u"Group A", BS_GROUPBOX, 6, 24, 90, 50},
            {201, u"BUTTON", u"A1", BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP, 12, 36, 40, 10},
            {202, u"BUTTON", u"A2", BS_AUTORADIOBUTTON, 12, 48, 40, 10},
            {203, u"BUTTON", u"A3", BS_AUTORADIOBUTTON, 12, 60, 40, 10},
            {-1, u"BUTTON", u"Group B", BS_GROUPBOX | WS_GROUP, 100, 24, 94, 50},
            {211, u"BUTTON", u"B1", BS_AUTORADIOBUTTON | WS_TABSTOP, 106, 36, 40, 10},
            {212, u"BUTTON", u"B2", BS_AUTORADIOBUTTON, 106, 48, 40, 10},
            {301, u"BUTTON", u"Check", BS_AUTOCHECKBOX | WS_TABSTOP | WS_GROUP, 6, 80, 50, 10},
            {302, u"STATIC", u"", SS_BITMAP, 60, 80, 10, 10},
            {303, u"STATIC", u"", SS_LEFT, 100, 78, 94, 20},
            {IDOK, u"BUTTON", u"OK", BS_DEFPUSHBUTTON | WS_TABSTOP, 98, 104, 46, 14},
            {IDCANCEL, u"BUTTON", u"Cancel", push, 148, 104, 46, 14},
        },
    });
    registerDialogTemplate(DialogTemplate{
        kUngroupedDialog,
        u"Ungrouped",
        u"MS Shell Dlg",
        8,
        WS_POPUP | WS_CAPTION,
        0,
        0,
        120,
        60,
        1033,
        {
            {401, u"BUTTON", u"One", BS_AUTORADIOBUTTON, 6, 6, 50, 10},
            {402, u"BUTTON", u"Two", BS_AUTORADIOBUTTON, 6, 18, 50, 10},
            {-1, u"STATIC", u"between", SS_LEFT, 6, 30, 50, 8},
            {403, u"BUTTON", u"Three", BS_AUTORADIOBUTTON, 6, 40, 50, 10},
        },
    });
}

// Each test starts with a fresh layer and leaves none of its hooks behind.
class WinTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(win::init());
        registerProbeDialogs();
        messagesBeforeInit = 0;
    }
    void TearDown() override {
        win::test::setIdleHook(nullptr);
        win::test::holdMessageBoxes(false);
        standin::setLogFunction(nullptr);
        win::shutdown();
    }

    // Probes live as long as the test's windows, which the layer's shutdown
    // destroys (sending WM_DESTROY) after the test body has returned.
    Probe& makeProbe() { return probes_.emplace_back(); }

    // A shown modeless probe dialog.
    HWND open(Probe& probe, WORD id = kProbeDialog, HWND parent = nullptr) {
        HWND dialog = CreateDialogParamW(nullptr, id, parent, &probeProc, LPARAM(&probe));
        if (dialog) ShowWindow(dialog, SW_SHOW);
        return dialog;
    }

    std::deque<Probe> probes_;

    static bool pump(const std::function<bool()>& done) { return win::test::pumpUntil(done, 5000); }
    // Lets every pushed event be handled (nothing waits on them otherwise).
    static void settle() {
        int asked = 0; // asked before the pass and once after it: one full pass
        win::test::pumpUntil([&] { return ++asked > 2; }, 2000);
    }
};

} // namespace wintest
