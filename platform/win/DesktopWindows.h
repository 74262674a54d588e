// SPDX-License-Identifier: MIT
// Windows of other programs on the desktop, for the calls that look at them
// (GetDesktopWindow, GetShellWindow, FindWindowExW, ...). On X11 they are
// found in the server's window tree; anywhere else there are none. Each X
// window gets one handle for the life of the process, never one of ours, so
// the rest of the layer treats such handles as unknown.
#pragma once

#include "win/WinTypes.h"

namespace win::desktop {
// Whether `window` is a handle this part gave out for a window that still
// exists on the server.
bool isDesktopWindow(HWND window);
int windowText(HWND window, char16_t* buffer, int capacity);
HWND parentOf(HWND window);
// Lets go of the server connection (the layer's shutdown); handles given out
// stay recognisable but name nothing.
void disconnect();
} // namespace win::desktop
