// SPDX-License-Identifier: MIT
// Drives the real window loop from tests: input goes in as SDL events, so
// clicks and keys travel the same path as a user's; the loop is pumped until
// a condition holds; what a window shows is read back. Test-only, and so
// kept out of what ships.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "win/Win.h"

namespace win::test {
void click(HWND control, int button = 1);                // at the control's centre
void clickAt(HWND window, int x, int y, int button = 1); // client coordinates
void doubleClickAt(HWND window, int x, int y);
// One press or release of a button (1 left, 3 right) at a client point.
void mouseButtonAt(HWND window, int x, int y, int button, bool down);
// The pointer to a client point, reporting (dx, dy) of relative motion.
void moveMouse(HWND window, int x, int y, int dx, int dy);
// Wheel clicks (positive: away from the user) with the pointer at a client point.
void wheelAt(HWND window, int x, int y, int clicks);
void pressKey(int virtualKey);
// Holds a key (VK_SHIFT for Shift+Tab, say) until keyUp.
void keyDown(int virtualKey);
void keyUp(int virtualKey);
void typeText(const std::string& utf8);
void closeBox(HWND window); // the title bar's close button
// The window's top level loses the focus to another program, as on Alt+Tab.
void focusAway(HWND window);
// Runs loop iterations until `done` or the timeout; returns whether done.
bool pumpUntil(const std::function<bool()>& done, int timeoutMs);
// What a window shows, painted now and read back: rows top first, each
// pixel 0xRRGGBB; for a control, just its rectangle.
struct Capture {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;
    uint32_t at(int x, int y) const { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
};
bool capture(HWND window, Capture& out);
// The same, saved as a PNG.
bool saveScreenshot(HWND window, const std::string& path);
} // namespace win::test
