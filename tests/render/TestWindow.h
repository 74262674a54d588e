// SPDX-License-Identifier: MIT
// A window of the real window layer, headless, with the client size a test
// asks for: a plain static control (as the tool's 3D view is) on a dialog
// of its own. The renderer reads sizes from it and resizes it through the
// same calls it makes on the tool's window.
#pragma once

#include <cstdlib>

#include "win/DialogTemplate.h"
#include "win/Win.h"

namespace rendertest {

class TestWindow {
public:
    TestWindow(LONG clientWidth, LONG clientHeight) {
        setenv("SDL_VIDEODRIVER", "offscreen", 0); // unless one asks to watch
        static const bool registered = [] {
            registerDialogTemplate(DialogTemplate{kTemplate,
                                                  u"Render test",
                                                  u"MS Shell Dlg",
                                                  8,
                                                  WS_POPUP | WS_CAPTION,
                                                  0,
                                                  0,
                                                  200,
                                                  150,
                                                  1033,
                                                  {{1, u"STATIC", u"", SS_LEFT, 0, 0, 10, 10}}});
            return true;
        }();
        (void)registered;
        dialog_ = CreateDialogParamW(nullptr, kTemplate, nullptr, &quietProc, 0);
        control_ = GetDlgItem(dialog_, 1);
        ShowWindow(dialog_, SW_SHOW);
        resizeClient(clientWidth, clientHeight);
    }
    ~TestWindow() { DestroyWindow(dialog_); }
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;

    HWND handle() const { return control_; }
    // As a user resizing it.
    void resizeClient(LONG width, LONG height) { MoveWindow(control_, 0, 0, width, height, TRUE); }
    RECT client() const {
        RECT rect{};
        GetClientRect(control_, &rect);
        return rect;
    }

private:
    static constexpr WORD kTemplate = 0x7E51;
    static INT_PTR quietProc(HWND, UINT message, WPARAM, LPARAM) {
        return message == WM_INITDIALOG;
    }

    HWND dialog_ = nullptr;
    HWND control_ = nullptr;
};

} // namespace rendertest
