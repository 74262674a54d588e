// SPDX-License-Identifier: MIT
// From SDL events to window messages: the mouse goes to the control under
// it or, over statics and empty space, to the dialog; keys drive the
// dialog's navigation; overlays get everything as ImGui input. Also the key,
// button and cursor state the engine queries.
#pragma once

#include <cstdint>

#include "win/Window.h"

union SDL_Event;

namespace win::input {

void dispatchEvent(const SDL_Event& event);
// Drops the mouse capture and hover state that point at `window`.
void forgetWindow(HWND window);
// Lets go of a pressed control and of hover (an overlay is taking the window).
void cancelCapture();
void reset();

WPARAM mouseKeyFlags();
// Virtual keys from and to SDL keys (SDL_Keycode values).
int virtualKeyFromSdl(int32_t keycode);
int32_t sdlKeyFromVirtualKey(int virtualKey);
// The modifiers (SDL_Keymod) the layer believes held, for events it makes.
uint16_t heldModifiers();
// The pointer as the last mouse event left it, in screen pixels.
POINT trackedCursor();
void setTrackedCursor(POINT screen);

} // namespace win::input
