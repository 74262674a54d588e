// SPDX-License-Identifier: MIT
// Message boxes are dialogs the layer builds itself: a text static, an icon
// and OK (and Cancel) buttons. Drawn in the owner's window when it has a
// visible one, else in a small window of their own; either way they run the
// one message loop, so timers keep ticking while a box waits.
#pragma once

#include "win/Window.h"

struct ImDrawList;

namespace win {
// The white message area with the icon, and the grey strip of buttons.
void paintMessageBoxBackground(const WindowObject& box, ImDrawList* list, POINT origin);
} // namespace win
