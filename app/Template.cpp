// SPDX-License-Identifier: MIT
#include "app/Template.h"

#include "win/Win.h"

HINSTANCE instanceHandle = nullptr;

INT_PTR Template::show(uint16_t dialogId, HWND parent, int32_t isModeless, int32_t showNow) {
    if (IsWindow(window)) {
        SetForegroundWindow(window);
        return 0;
    }
    window = nullptr;
    modeless = isModeless;
    if (modeless) {
        window = CreateDialogParamW(instanceHandle, dialogId, parent, &Template::dialogProc,
                                    reinterpret_cast<LPARAM>(this));
        if (window && showNow) {
            ShowWindow(window, SW_SHOW);
            SetForegroundWindow(window);
        }
        return 0;
    }
    return DialogBoxParamW(instanceHandle, dialogId, parent, &Template::dialogProc,
                           reinterpret_cast<LPARAM>(this));
}

void Template::close(int32_t result) {
    if (!modeless) {
        EndDialog(window, result);
    } else if (window) {
        DestroyWindow(window);
        window = nullptr;
    }
}

INT_PTR Template::messageProc(HWND, UINT, WPARAM, LPARAM) {
    return 0;
}

INT_PTR Template::defaultProc(HWND target, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(target, message, wParam, lParam);
}

INT_PTR Template::dialogProc(HWND target, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        // Attach first, so the handler can already use `window`.
        SetWindowLongPtrW(target, GWLP_USERDATA, lParam);
        reinterpret_cast<Template*>(lParam)->window = target;
    }
    auto* object = reinterpret_cast<Template*>(GetWindowLongPtrW(target, GWLP_USERDATA));
    if (!object) return 0;
    return object->messageProc(target, message, wParam, lParam);
}
