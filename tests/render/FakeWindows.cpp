// SPDX-License-Identifier: MIT
// Window-layer calls for the renderer's tests: client and window rectangles
// from fake::Window, resizes recorded, and GDI calls that only count what
// the dialog bitmap hands over.
#include "render/FakeWindows.h"

#include <algorithm>

#include "win/Win.h"

namespace fake {

namespace {

std::vector<Window*>& windows() {
    static std::vector<Window*> list;
    return list;
}

Window* find(HWND handle) {
    for (Window* w : windows())
        if (w->handle() == handle) return w;
    return nullptr;
}

int32_t bitmapTag;

} // namespace

Window::Window(LONG clientWidth, LONG clientHeight, LONG frame) {
    client = RECT{0, 0, clientWidth, clientHeight};
    outer = RECT{100, 100, 100 + clientWidth + 2 * frame, 100 + clientHeight + 2 * frame};
    windows().push_back(this);
}

Window::~Window() { std::erase(windows(), this); }

Gdi& gdi() {
    static Gdi state;
    return state;
}

} // namespace fake

BOOL GetClientRect(HWND window, RECT* rect) {
    fake::Window* w = fake::find(window);
    *rect = w ? w->client : RECT{};
    return w ? 1 : 0;
}

BOOL GetWindowRect(HWND window, RECT* rect) {
    fake::Window* w = fake::find(window);
    *rect = w ? w->outer : RECT{};
    return w ? 1 : 0;
}

BOOL SetWindowPos(HWND window, HWND, int, int, int cx, int cy, UINT flags) {
    fake::Window* w = fake::find(window);
    if (!w) return 0;
    const LONG frameX = (w->outer.right - w->outer.left) - w->client.right;
    const LONG frameY = (w->outer.bottom - w->outer.top) - w->client.bottom;
    w->resizes.push_back(POINT{cx, cy});
    w->resizeFlags.push_back(flags);
    w->outer.right = w->outer.left + cx;
    w->outer.bottom = w->outer.top + cy;
    w->client = RECT{0, 0, cx - frameX, cy - frameY};
    return 1;
}

BOOL DestroyWindow(HWND window) { return fake::find(window) ? 1 : 0; }

HDC GetDC(HWND) { return reinterpret_cast<HDC>(&fake::bitmapTag); }
int ReleaseDC(HWND, HDC) { return 1; }
int GetDeviceCaps(HDC, int index) { return index == BITSPIXEL ? fake::gdi().bitsPerPixel : 0; }
HBITMAP CreateBitmap(int, int, UINT, UINT, const void*) { return reinterpret_cast<HBITMAP>(&fake::bitmapTag); }
BOOL DeleteObject(HBITMAP) { return 1; }

int SetDIBits(HDC, HBITMAP, UINT, UINT lineCount, const void* bits, const BITMAPINFO*, UINT) {
    auto& state = fake::gdi();
    ++state.setDIBitsCalls;
    state.lastLineCount = lineCount;
    state.lastBits = bits;
    return int(lineCount);
}

// The renderer's tests put a recording wait in place of the window layer's;
// with none installed there are no messages to deliver.
bool win::waitMessages(uint32_t) { return true; }
