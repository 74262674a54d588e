// SPDX-License-Identifier: MIT
// The layer's lifecycle and its log hook. SDL's video starts with the first
// dialog; without a display the offscreen driver takes over, so the same
// code runs headless (Mesa renders through EGL there).
#include "win/Win.h"

#include <cstring>

#include <SDL.h>

#include "sys/Unicode.h"
#include "win/Canvas.h"
#include "win/DesktopWindows.h"
#include "win/Input.h"
#include "win/MessageLoop.h"
#include "win/WinInternal.h"
#include "win/Window.h"

namespace win {
namespace {

bool initializedFlag = false;
bool fellBackToOffscreen = false;

std::u16string sdlError() {
    return sys::utf8ToUtf16(SDL_GetError());
}

} // namespace

bool initialized() {
    return initializedFlag;
}

bool init() {
    if (initializedFlag) return true;
    // Closing a dialog's window ends the dialog, not the process; the dialog
    // manager decides that through WM_CLOSE.
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
    // A click that activates a window also presses the button under it, as
    // on the platform.
    SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
    SDL_SetHint(SDL_HINT_VIDEO_X11_NET_WM_BYPASS_COMPOSITOR, "0");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        log(u"win::init: no display (" + sdlError() + u"), running offscreen");
        SDL_SetHint(SDL_HINT_VIDEODRIVER, "offscreen");
        fellBackToOffscreen = true;
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
            log(u"win::init: SDL video failed: " + sdlError());
            return false;
        }
    }
    if (!canvas::init()) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return false;
    }
    initializedFlag = true;
    return true;
}

void shutdown() {
    if (!initializedFlag) return;
    // Owned windows go with their owners; what remains are top-level windows.
    for (HWND window : liveWindows())
        if (object(window) && !object(window)->parent) DestroyWindow(window);
    for (HWND window : liveWindows()) retireWindow(window);
    resetLoop();
    input::reset();
    canvas::shutdown();
    desktop::disconnect();
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    initializedFlag = false;
}

bool displayMissing() {
    if (!init()) return true;
    // SDL itself falls back to its offscreen driver when no display answers;
    // only a driver somebody asked for (tests, CI) is a choice.
    const char* asked = SDL_GetHint(SDL_HINT_VIDEODRIVER);
    return fellBackToOffscreen || (headless() && !(asked && *asked));
}

bool headless() {
    if (!init()) return true;
    const char* driver = SDL_GetCurrentVideoDriver();
    return !driver || std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0;
}

} // namespace win
