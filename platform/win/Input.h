// SPDX-License-Identifier: MIT
// From SDL events to window messages: the mouse goes to the control under
// it or, over statics and empty space, to the dialog; keys drive the
// dialog's navigation; overlays get everything as ImGui input.
#pragma once

#include "win/Window.h"

union SDL_Event;

namespace win::input {

void dispatchEvent(const SDL_Event& event);
// Drops the mouse capture and hover state that point at `window`.
void forgetWindow(HWND window);
// Lets go of a pressed control and of hover (an overlay is taking the window).
void cancelCapture();
void reset();

} // namespace win::input
