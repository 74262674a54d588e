// SPDX-License-Identifier: MIT
// What the runtime needs from the window layer: a window's client size,
// whether it can be shown on, where finished frames go, and the one OpenGL
// context of the process. The default host asks platform/win; tests may
// install their own windows to drive minimising and resizing exactly.
#pragma once

#include <memory>

#include "win/Win.h"

namespace d3d9 {

class WindowHost {
public:
    virtual ~WindowHost() = default;
    virtual bool isWindow(HWND window) = 0;
    // The client area in pixels; false when the window is unknown.
    virtual bool clientSize(HWND window, int* width, int* height) = 0;
    // False while the window is minimised or hidden: the device is lost then.
    virtual bool usable(HWND window) = 0;
    // Hands a finished frame (an RGBA texture, bottom-up) to the window.
    virtual void present(HWND window, const win::Surface& surface) = 0;
    // Makes the process's OpenGL 3.3 core context current; false when the
    // host has none, and the runtime then makes its own.
    virtual bool makeContextCurrent() = 0;
};

// The host in use: the window layer unless a test installed another.
WindowHost& windowHost();

} // namespace d3d9

namespace d3d9::test {
// Installs `host` (null restores the window layer).
void setWindowHost(std::shared_ptr<WindowHost> host);
} // namespace d3d9::test
