// SPDX-License-Identifier: MIT
// The controls of a dialog: what a click or a key does to each kind, their
// messages (BM_, STM_, WM_SETTEXT), hit testing, and their painting with
// ImGui's draw lists in the look of a desktop dialog.
#pragma once

#include <string>

#include "win/Window.h"

struct ImDrawList;

namespace win {

// A control from a template item; `className` is "STATIC", "EDIT" or
// "BUTTON" in any case. Null for a class the layer does not have.
HWND createControl(HWND dialog, const char16_t* className, const char16_t* text, DWORD style,
                   int id, const RECT& rect);
LRESULT controlWindowProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam);

bool takesFocus(const WindowObject& control);
// Statics and group boxes let the mouse through to the dialog, as they
// answer HTTRANSPARENT on the platform.
bool transparentToMouse(const WindowObject& control);
// The control under `point` (dialog client pixels) that takes the mouse.
HWND hitTest(HWND dialog, POINT point);
// What a click or the space bar does: toggle or check, then WM_COMMAND.
void activateControl(HWND control);

// Draws a dialog (its frame when drawn in a host, then its controls) with
// its client origin at `origin` in the host's pixels.
void paintDialog(HWND dialog, ImDrawList* list, POINT origin);

// Text as shown: '&' marks a mnemonic and is not drawn, "&&" is one '&'.
std::string displayText(const std::u16string& text, bool prefix);

} // namespace win
