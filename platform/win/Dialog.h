// SPDX-License-Identifier: MIT
// The dialog manager: dialogs built from templates in dialog units, the
// modal run shared by dialog boxes and message boxes, default processing of
// what a dialog procedure leaves alone, and keyboard navigation.
#pragma once

#include <cstddef>
#include <utility>

#include "win/DialogTemplate.h"
#include "win/Window.h"

namespace win {

// Dialog base units of the dialog font, measured as the platform does: x is
// the average width of "A".."Z", "a".."z" (sum / 26, halved with rounding),
// y the font's height. One dialog unit is baseX / 4 by baseY / 8 pixels.
struct DialogUnits {
    int baseX = 0;
    int baseY = 0;
};
DialogUnits dialogUnits();
RECT dialogRectToPixels(const DialogUnits& units, int x, int y, int cx, int cy);

// A dialog window with its controls, hidden, sent WM_INITDIALOG; null when
// it could not be made or was destroyed during WM_INITDIALOG.
HWND createDialog(const DialogTemplate& dialog, HWND owner, DLGPROC proc, LPARAM param);
// Shows `dialog`, disables its owner and runs the loop until EndDialog or
// its destruction; destroys it and returns the EndDialog result.
INT_PTR runModalDialog(HWND dialog);

// The window procedure of every dialog: the dialog procedure first, then the
// default processing for what it returned 0 to.
LRESULT dialogWindowProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// WM_COMMAND with BN_CLICKED as the button `id` would send it; nothing when
// that button exists but is disabled.
void sendCommand(HWND dialog, int id);
void moveTabFocus(HWND dialog, bool backwards);
void moveGroupFocus(HWND dialog, bool backwards);
// The controls of the group holding child `index`: from the nearest WS_GROUP
// control at or before it to the next WS_GROUP control; half-open.
std::pair<size_t, size_t> groupRange(const WindowObject& dialog, size_t index);

} // namespace win
