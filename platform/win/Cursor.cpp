// SPDX-License-Identifier: MIT
#include "win/Cursor.h"

#include <SDL.h>

#include "sys/Unicode.h"
#include "win/Canvas.h"
#include "win/Win.h"
#include "win/WinInternal.h"
#include "win/Window.h"

namespace win::input {
namespace {

POINT cursor{};
int cursorCount = 0;

} // namespace

POINT trackedCursor() {
    return cursor;
}
void setTrackedCursor(POINT screen) {
    cursor = screen;
}

} // namespace win::input

using namespace win;
using namespace win::input;

namespace {

HWND clippedHost = nullptr;
RECT clip{};         // screen pixels; meaningful while clippedHost is set
bool pinned = false; // clipped to one point: SDL relative mode

} // namespace

int ShowCursor(BOOL show) {
    // The cursor shows while the count is 0 or more, as on the platform.
    cursorCount += show ? 1 : -1;
    if (SDL_WasInit(SDL_INIT_VIDEO)) SDL_ShowCursor(cursorCount >= 0 ? SDL_ENABLE : SDL_DISABLE);
    return cursorCount;
}

namespace {

RECT screenRect() {
    return RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
}

bool coversScreen(const RECT& rect) {
    const RECT screen = screenRect();
    return rect.left <= screen.left && rect.top <= screen.top && rect.right >= screen.right &&
           rect.bottom >= screen.bottom;
}

void releaseClip() {
    if (WindowObject* clipped = object(clippedHost); clipped && clipped->top) {
        if (pinned) {
            SDL_SetRelativeMouseMode(SDL_FALSE);
            // Relative mode let SDL's idea of the pointer wander; put it
            // back where it was pinned.
            SetCursorPos(clip.left, clip.top);
        } else {
            SDL_SetWindowMouseRect(clipped->top->window, nullptr);
        }
    }
    clippedHost = nullptr;
    pinned = false;
}

} // namespace

BOOL ClipCursor(const RECT* rect) {
    releaseClip();
    if (!rect || coversScreen(*rect)) return TRUE;
    // SDL confines the pointer to a window; the foreground one is the one
    // the engine clips to (its view).
    WindowObject* host = object(hostOf(foreground()));
    if (!host) {
        logOnce(u"ClipCursor: no window to confine the pointer to");
        return FALSE;
    }
    clip = *rect;
    clippedHost = host;
    if (rect->right - rect->left <= 1 && rect->bottom - rect->top <= 1) {
        // Pinned to a point so that only relative motion counts: SDL's
        // relative mode does that and keeps motion arriving, where a
        // one-pixel confinement would stop it. Headless there is no
        // pointer to pin, and the clip is only remembered.
        pinned = true;
        if (!headless() && SDL_SetRelativeMouseMode(SDL_TRUE) != 0)
            logOnce(u"ClipCursor: " + sys::utf8ToUtf16(SDL_GetError()));
        return TRUE;
    }
    int left = 0, top = 0;
    SDL_GetWindowPosition(host->top->window, &left, &top);
    const SDL_Rect area{rect->left - left, rect->top - top, rect->right - rect->left,
                        rect->bottom - rect->top};
    if (SDL_SetWindowMouseRect(host->top->window, &area) != 0) {
        logOnce(u"ClipCursor: " + sys::utf8ToUtf16(SDL_GetError()));
        clippedHost = nullptr;
        return FALSE;
    }
    return TRUE;
}

BOOL GetClipCursor(RECT* rect) {
    if (!rect) return FALSE;
    *rect = clippedHost ? clip : screenRect();
    return TRUE;
}

BOOL GetCursorPos(POINT* point) {
    if (!point) return FALSE;
    *point = cursor;
    if (clippedHost && pinned) {
        *point = POINT{clip.left, clip.top};
        return TRUE;
    }
    // Headless there is no pointer but the one the events moved.
    if (SDL_WasInit(SDL_INIT_VIDEO) && !headless()) {
        int x = 0, y = 0;
        SDL_GetGlobalMouseState(&x, &y);
        *point = POINT{x, y};
    }
    return TRUE;
}

BOOL SetCursorPos(int x, int y) {
    cursor = POINT{x, y};
    if (!SDL_WasInit(SDL_INIT_VIDEO) || headless()) return TRUE;
    if (SDL_WarpMouseGlobal(x, y) != 0) {
        // Some systems (Wayland) let the pointer be moved only inside our window.
        WindowObject* host = object(hostOf(foreground()));
        if (!host) return FALSE;
        int left = 0, top = 0;
        SDL_GetWindowPosition(host->top->window, &left, &top);
        SDL_WarpMouseInWindow(host->top->window, x - left, y - top);
    }
    return TRUE;
}
