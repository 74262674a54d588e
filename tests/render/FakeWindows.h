// SPDX-License-Identifier: MIT
// The few window and GDI calls the renderer and the dialog bitmap make,
// answered from windows that a test describes, so the renderer's tests run
// without the window layer. The real layer is never linked into these tests.
#pragma once

#include <vector>

#include "win/WinTypes.h"

namespace fake {

class Window {
public:
    RECT outer{0, 0, 0, 0}; // screen rectangle, frame included
    RECT client{0, 0, 0, 0};
    std::vector<POINT> resizes; // SetWindowPos sizes (cx, cy)
    std::vector<UINT> resizeFlags;

    Window(LONG clientWidth, LONG clientHeight, LONG frame = 0);
    ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;
    HWND handle() { return reinterpret_cast<HWND>(this); }
    // As a user resizing it: the frame stays as it was.
    void resizeClient(LONG width, LONG height) {
        outer.right += width - client.right;
        outer.bottom += height - client.bottom;
        client = RECT{0, 0, width, height};
    }
};

struct Gdi {
    int32_t bitsPerPixel = 32;
    int32_t setDIBitsCalls = 0;
    UINT lastLineCount = 0;
    const void* lastBits = nullptr;
};
Gdi& gdi();

} // namespace fake
