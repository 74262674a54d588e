// SPDX-License-Identifier: MIT
// The window objects behind HWND: dialogs, their controls and message boxes,
// kept in a registry so that a stale handle is recognised instead of
// followed. Only top-level windows own an SDL window; controls and message
// boxes drawn inside an owner are areas of their host's SDL window, with
// rectangles in their parent's client pixels.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "win/Win.h"

namespace win {

struct TopLevel; // the SDL side of a top-level window (Canvas.h)

enum class WindowKind {
    Dialog,  // from a template, a message box, or a plain window
    Control, // a child of a dialog
    Desktop, // another program's window on the desktop (DesktopWindows.h)
};

enum class ControlKind {
    Static,
    BitmapStatic,
    Edit,
    PushButton,
    CheckBox,
    RadioButton,
    GroupBox,
};

} // namespace win

struct WindowObject {
    explicit WindowObject(win::WindowKind k); // out of line: TopLevel is incomplete here
    ~WindowObject();

    win::WindowKind kind;
    // Controls: their dialog. Message boxes drawn in an owner: the host
    // top-level. Top-level windows: null.
    HWND parent = nullptr;
    // What GetParent reports for a dialog, and what a modal dialog disables.
    HWND owner = nullptr;
    std::vector<HWND> children; // controls, in tab and template order
    std::vector<HWND> panels;   // message boxes drawn in this window, topmost last

    std::u16string text;
    DWORD style = 0;
    int id = 0;
    RECT rect{}; // in the parent's client pixels; top-level windows: 0, 0, w, h
    LONG_PTR userData = 0;
    bool visible = false;
    bool enabled = true;
    bool destroying = false;

    // Dialogs
    DLGPROC dialogProc = nullptr;
    HWND focus = nullptr;
    bool modal = false; // a modal loop runs for it
    bool ended = false;
    INT_PTR result = 0;
    bool focusCues = false; // keyboard navigation used: focus rectangles show
    UINT boxType = 0;       // message boxes: MB_ flags
    bool messageBox = false;
    std::unique_ptr<win::TopLevel> top; // set for windows with an SDL window

    // Controls
    win::ControlKind control = win::ControlKind::Static;
    WPARAM check = BST_UNCHECKED;
    HBITMAP image = nullptr;
    win::Surface surface;
    bool pressed = false; // mouse or key held on it
    bool hot = false;     // under the mouse
};

namespace win {

// Creates and registers an object; the registry owns it.
HWND newWindow(WindowKind kind);
// The live object, or null for a null, destroyed or foreign handle.
WindowObject* object(HWND window);
// Every live window, in creation order (a copy: callers may destroy while walking).
std::vector<HWND> liveWindows();
// Tears an object down; its memory is retired, never reused, so an old
// handle never aliases a new window.
void retireWindow(HWND window);

// The window owning the SDL window `window` is drawn in.
HWND hostOf(HWND window);
// Controls: their dialog; dialogs: themselves.
HWND dialogOf(HWND window);
// The top-left of `window`'s client area in its host's client pixels.
POINT hostOrigin(HWND window);
// The dialog that takes input in a host: the topmost message box drawn in
// it, or the host itself.
HWND activeDialog(HWND host);
// Marks the host for repainting.
void invalidate(HWND window);

// The window with keyboard input: a dialog or a message box.
HWND foreground();
void setForeground(HWND window);

} // namespace win
