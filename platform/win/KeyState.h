// SPDX-License-Identifier: MIT
// The key and button state the layer keeps from the input it routes, the
// platform's queries of it (GetKeyState, GetAsyncKeyState), and the map
// between virtual keys and SDL keys.
#pragma once

#include <cstdint>

#include "win/WinTypes.h"

namespace win::input {

// A key or button went down or up (virtual key); toggles follow presses.
void noteKey(int virtualKey, bool down);
bool isKeyHeld(int virtualKey);
void forgetKeys();
// MK_ flags for mouse messages, from the held buttons and modifiers.
WPARAM mouseKeyFlags();
// Virtual keys from and to SDL keys (SDL_Keycode values).
int virtualKeyFromSdl(int32_t keycode);
int32_t sdlKeyFromVirtualKey(int virtualKey);
// The modifiers (SDL_Keymod) the layer believes held, for events it makes.
uint16_t heldModifiers();

} // namespace win::input
