// SPDX-License-Identifier: MIT
// What the window layer offers the parts built on it inside platform/win
// (the open-file dialog): a nested run of the one message loop, and an ImGui
// overlay drawn over a window's controls. The engine never sees these.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "shared/StandInLog.h"
#include "win/WinTypes.h"

struct ImFont;

namespace win {

// Runs the message loop until `finished` returns true (asked before every
// iteration) or WM_QUIT arrives; the quit then stays posted for the loops
// outside. Timers of every window keep firing meanwhile.
void runModalLoop(const std::function<bool()>& finished);

// Draws `drawImGui` inside the ImGui frame of `window`'s top-level window,
// after its controls; the current ImGui context is that window's. While an
// overlay is set, the window's mouse, keys and text go to ImGui (its
// io.MousePos, io.MouseDown, io.KeysDown by SDL scancode, typed text) and
// none to the controls or the window procedure; the close box arrives as an
// Escape key. An empty function removes the overlay.
// With a null window the overlay gets a plain window of its own, titled
// `caption`, which goes away when the overlay is removed.
void setOverlay(HWND window, std::function<void()> drawImGui,
                std::u16string_view caption = u"Open");

// The dialog font (shared by every window's ImGui context, already the
// default font there) and the display scale it was sized for.
ImFont* dialogFont();
float displayScale();

// The layer's lines (message boxes answered headless, calls it cannot
// honour) go through the stand-ins' log, which the program points at the
// engine's; once per distinct line for what the layer cannot honour.
inline void log(std::u16string_view line) {
    standin::log(line);
}
inline void logOnce(std::u16string_view line) {
    standin::logOnce(line);
}

} // namespace win
