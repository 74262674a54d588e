// SPDX-License-Identifier: MIT
// The windows that make up the desktop, found once at start-up so engine
// code can draw behind or onto it: the desktop window, the shell's window
// ("Progman"), the shell view inside it ("SHELLDLL_DefView") and the icon
// list inside that ("SysListView32", "FolderView"). Each stage that finds
// nothing logs why and ends the search, leaving the later handles null; the
// handles are never refreshed. Main thread only.
#pragma once

#include "win/WinTypes.h"

namespace WinShell::Desktop {

extern HWND desktopWindow;
extern HWND shellWindow;
extern HWND shellView;
extern HWND iconView;

// Forgets earlier results first, so it may run again (tests do).
void detectDesktopHWNDs();

} // namespace WinShell::Desktop
