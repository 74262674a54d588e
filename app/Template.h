// SPDX-License-Identifier: MIT
// A dialog window owned by an object. One dialog procedure serves every
// Template: it attaches the object to the window on WM_INITDIALOG and from
// then on forwards each message to the object's messageProc, returning the
// handler's result to the dialog manager.
#pragma once

#include <cstdint>

#include "core/DialogTools.h"
#include "win/WinTypes.h"

// The module instance handle the entry function received.
extern HINSTANCE instanceHandle;

class Template : public DialogTools {
public:
    HWND window = nullptr; // stays set (stale) after a modal dialog ends
    int32_t modeless = 0;

    virtual ~Template() = default;
    // Opens the dialog; an open one is only brought forward (result 0).
    // Modal: returns the dialog's result. Modeless: returns 0.
    virtual INT_PTR show(uint16_t dialogId, HWND parent, int32_t modeless, int32_t showNow);
    virtual void close(int32_t result);
    virtual INT_PTR messageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    virtual INT_PTR defaultProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    static INT_PTR dialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
};
