// SPDX-License-Identifier: MIT
// Stands in for the user32 and gdi32 calls the engine makes, on SDL2 with
// Dear ImGui painting the controls. Every top-level dialog is one SDL window;
// controls are objects of this layer, hit-tested and drawn by it.
//  [x] modal and modeless dialogs from DialogTemplate resources, dialog units
//      measured from the dialog font and scaled for the display's DPI
//  [x] static, read-only edit, push button, group box, auto radio button,
//      auto check box, bitmap static, plain static as a child render surface
//  [x] SendMessage/PostMessage, WM_COMMAND on clicks and keys, timers,
//      mouse messages to the dialog (also over static controls)
//  [x] message boxes and the open-file dialog run the same loop, so timers
//      keep ticking while they are open
//  [x] GDI-style bitmaps shown by the bitmap static
//  [ ] window classes, menus, other control kinds (the engine uses none)
#pragma once

#include <functional>
#include <string>

#include "win/DialogTemplate.h"
#include "win/WinTypes.h"

// Lifecycle of the layer. init() is implicit in the first dialog; shutdown()
// closes SDL and the GL context. Headless when SDL's video driver is
// "offscreen" (or no display can be opened): everything still runs, message
// boxes are logged and answered with their default button.
namespace win {
bool init();
// Whether init() has run and shutdown() has not; asks SDL nothing.
bool initialized();
void shutdown();
bool headless();
// True when a display was wanted but none could be opened, so the layer runs
// offscreen: nobody could see or close a window.
bool displayMissing();
// Waits up to `milliseconds` while the layer's events, posted messages and
// timers keep flowing, as a PeekMessage loop does, so a minimised window can
// come back and a closed one can end the program. Returns false, without
// waiting on, once WM_QUIT arrived or a running modal dialog was ended: the
// waiter should give up then. Before init() it only sleeps.
bool waitMessages(uint32_t milliseconds);
} // namespace win

// Dialogs
INT_PTR DialogBoxParamW(HINSTANCE instance, WORD templateId, HWND parent, DLGPROC proc,
                        LPARAM param);
HWND CreateDialogParamW(HINSTANCE instance, WORD templateId, HWND parent, DLGPROC proc,
                        LPARAM param);
BOOL EndDialog(HWND dialog, INT_PTR result);
HWND GetDlgItem(HWND dialog, int id);
int GetDlgCtrlID(HWND control);
HWND GetParent(HWND window);

// Windows
BOOL IsWindow(HWND window);
BOOL DestroyWindow(HWND window);
BOOL ShowWindow(HWND window, int command);
BOOL IsWindowVisible(HWND window);
BOOL SetForegroundWindow(HWND window);
HWND GetForegroundWindow();
BOOL EnableWindow(HWND window, BOOL enable);
BOOL IsWindowEnabled(HWND window);
LONG_PTR SetWindowLongPtrW(HWND window, int index, LONG_PTR value);
LONG_PTR GetWindowLongPtrW(HWND window, int index);
BOOL GetWindowRect(HWND window, RECT* rect); // screen coordinates
BOOL GetClientRect(HWND window, RECT* rect); // 0, 0, width, height
BOOL SetWindowPos(HWND window, HWND insertAfter, int x, int y, int cx, int cy, UINT flags);
BOOL MoveWindow(HWND window, int x, int y, int cx, int cy, BOOL repaint);
BOOL ClientToScreen(HWND window, POINT* point);
BOOL ScreenToClient(HWND window, POINT* point);
// The deepest shown window at a screen point, message boxes over their owner
// first; null over no window of ours.
HWND WindowFromPoint(POINT point);
int GetSystemMetrics(int index);
BOOL SetWindowTextW(HWND window, const char16_t* text);
int GetWindowTextW(HWND window, char16_t* buffer, int capacity);
int GetWindowTextLengthW(HWND window);
BOOL InvalidateRect(HWND window, const RECT* rect, BOOL erase);

// Other programs' windows on the desktop: found on X11, none elsewhere.
// A null or desktop parent means the top-level windows; children come
// topmost first, and EnumChildWindows visits every descendant.
HWND GetDesktopWindow();
HWND GetShellWindow();
HWND GetWindow(HWND window, UINT command); // GW_CHILD, GW_HWNDNEXT
BOOL EnumWindows(WNDENUMPROC proc, LPARAM parameter);
BOOL EnumChildWindows(HWND parent, WNDENUMPROC proc, LPARAM parameter);
HWND FindWindowExW(HWND parent, HWND childAfter, const char16_t* className,
                   const char16_t* windowName);
int GetClassNameW(HWND window, char16_t* buffer, int capacity);

// Messages
LRESULT SendMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
BOOL PostMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void PostQuitMessage(int exitCode);
LRESULT DefWindowProcW(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT milliseconds, TIMERPROC proc);
BOOL KillTimer(HWND window, UINT_PTR id);

// Focus, keyboard, mouse
HWND SetFocus(HWND window);
HWND GetFocus();
short GetAsyncKeyState(int virtualKey);
short GetKeyState(int virtualKey);
int ShowCursor(BOOL show);
BOOL ClipCursor(const RECT* rect); // null frees the cursor
// The whole screen while the cursor is free.
BOOL GetClipCursor(RECT* rect);
BOOL GetCursorPos(POINT* point);
BOOL SetCursorPos(int x, int y);

// Message boxes
int MessageBoxW(HWND owner, const char16_t* text, const char16_t* caption, UINT type);

// GDI
HDC GetDC(HWND window);
int ReleaseDC(HWND window, HDC dc);
int GetDeviceCaps(HDC dc, int index);
// A device-dependent bitmap initialised from bottom-up rows of `bits` (may be null).
HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void* bits);
int SetDIBits(HDC dc, HBITMAP bitmap, UINT startLine, UINT lineCount, const void* bits,
              const BITMAPINFO* info, UINT usage);
BOOL DeleteObject(HBITMAP bitmap);

// What the renderer needs from a window: its pixel size, and a place to hand
// finished frames for the layer to composite into the window at the next paint.
namespace win {
struct Surface {
    unsigned glTexture = 0; // an RGBA texture of the client size, bottom-up
    int width = 0;
    int height = 0;
};
void setWindowSurface(HWND window, const Surface& surface);
bool minimized(HWND window);
// Makes the process's one OpenGL 3.3 core context current (on a hidden
// window, so framebuffer 0 is nothing the user sees); false without OpenGL.
bool makeGLContextCurrent();
} // namespace win

// Seams the tests install into the real loop; tests/support/WinTestDriver.h
// drives it with input, pumping and screenshots.
namespace win::test {
// Called once per loop iteration of the innermost running loop.
void setIdleHook(std::function<void()> hook);
// Headless, message boxes are answered at once; held, they open as they
// would on a display and wait for keys or clicks (GetForegroundWindow is the
// box, GetDlgItem(box, IDOK) its OK button).
void holdMessageBoxes(bool hold);
} // namespace win::test
