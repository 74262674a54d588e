// SPDX-License-Identifier: MIT
#include "core/WinShell/Desktop.h"

#include <string_view>

#include "core/Log.h"
#include "core/Report.h"
#include "win/Win.h"

namespace WinShell::Desktop {

HWND desktopWindow = nullptr;
HWND shellWindow = nullptr;
HWND shellView = nullptr;
HWND iconView = nullptr;

namespace {

// Class names compare exactly, length included.
bool hasClass(HWND window, std::u16string_view name) {
    char16_t buffer[257] = {};
    const int length = window ? GetClassNameW(window, buffer, 257) : 0;
    return std::u16string_view(buffer, size_t(length > 0 ? length : 0)) == name;
}

// The shell's window found through the icon list it holds: a list view
// whose parent is a shell view and whose grandparent is the shell window.
BOOL findShellByIconList(HWND window, LPARAM found) {
    if (!hasClass(window, u"SysListView32")) return TRUE;
    HWND view = GetParent(window);
    HWND shell = view ? GetParent(view) : nullptr;
    if (!hasClass(view, u"SHELLDLL_DefView") || !hasClass(shell, u"Progman")) return TRUE;
    *reinterpret_cast<HWND*>(found) = shell;
    return FALSE;
}

BOOL findShellViewInTopLevel(HWND window, LPARAM found) {
    HWND view = FindWindowExW(window, nullptr, u"SHELLDLL_DefView", nullptr);
    if (!view) return TRUE;
    *reinterpret_cast<HWND*>(found) = view;
    return FALSE;
}

HWND shellViewOf(HWND shell) {
    HWND view = FindWindowExW(shell, nullptr, u"SHELLDLL_DefView", nullptr);
    return view ? view : GetWindow(shell, GW_CHILD);
}

// The platform wakes a desktop that has not made its shell view yet by
// activating the shell's tab through its taskbar-list object; an X desktop
// has no such object to ask.
void wakeShell() {
    log(u"No taskbar-list object to wake the shell's desktop with; looking on");
}

} // namespace

void detectDesktopHWNDs() {
    setReportContext(u"WinShell::Desktop", u"detectDesktopHWNDs");
    desktopWindow = shellWindow = shellView = iconView = nullptr;

    desktopWindow = GetDesktopWindow();
    if (!desktopWindow) {
        log(u"Desktop Window not found...");
        return;
    }

    shellWindow = GetShellWindow();
    if (!shellWindow) {
        HWND found = nullptr;
        EnumChildWindows(desktopWindow, findShellByIconList, LPARAM(&found));
        shellWindow = found;
    }
    if (!shellWindow)
        shellWindow = FindWindowExW(desktopWindow, nullptr, u"Progman", u"Program Manager");
    if (!shellWindow) shellWindow = FindWindowExW(nullptr, nullptr, u"Progman", nullptr);
    if (!shellWindow) {
        log(u"Progman Window not found...");
        return;
    }

    shellView = shellViewOf(shellWindow);
    if (!shellView) {
        wakeShell();
        shellView = shellViewOf(shellWindow);
    }
    if (!shellView) {
        HWND found = nullptr;
        EnumWindows(findShellViewInTopLevel, LPARAM(&found));
        shellView = found;
    }
    if (!shellView) {
        log(u"Shell Dll Window not found...");
        return;
    }

    iconView = FindWindowExW(shellView, nullptr, u"SysListView32", u"FolderView");
    if (!iconView) iconView = GetWindow(shellView, GW_CHILD);
}

} // namespace WinShell::Desktop
