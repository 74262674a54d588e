// SPDX-License-Identifier: MIT
// The engine's window wrapper as the renderer sees it: a handle, whether the
// window is shown full screen, and whether discarding the wrapper should
// destroy the window. The tool only wraps a dialog control it does not own,
// so discarding that wrapper leaves the control alone.
#pragma once

#include <cstdint>

#include "win/Win.h"

namespace WinShell {

class Window {
public:
    HWND handle = nullptr;
    int32_t fullScreen = 0;
    int32_t ownsWindow = 0;

    Window() = default;
    Window(HWND handle, int32_t fullScreen, int32_t ownsWindow)
        : handle(handle), fullScreen(fullScreen), ownsWindow(ownsWindow) {}
    ~Window() {
        if (ownsWindow && handle) DestroyWindow(handle);
    }
    // Two owning copies would destroy the window twice.
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;
};

} // namespace WinShell
