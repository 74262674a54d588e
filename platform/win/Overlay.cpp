// SPDX-License-Identifier: MIT
// ImGui overlays over a window's controls, for the parts of the layer that
// draw with ImGui widgets (the open-file dialog). The overlay takes the
// window's input while it is set; a null window gets a plain window of its
// own for as long as its overlay lasts.
#include <algorithm>
#include <cmath>

#include <SDL.h>

#include "win/Canvas.h"
#include "win/Cursor.h"
#include "win/Input.h"
#include "win/WinInternal.h"
#include "win/Window.h"

namespace win {
namespace {

HWND ownerlessWindow = nullptr;

HWND createPlainWindow(std::u16string_view caption) {
    const int width = int(std::lround(680 * canvas::scale()));
    const int height = int(std::lround(480 * canvas::scale()));
    HWND window = newWindow(WindowKind::Dialog);
    window->text = std::u16string(caption);
    window->rect = RECT{0, 0, width, height};
    if (!canvas::createTopLevel(*window, window->text, width, height, nullptr)) {
        retireWindow(window);
        return nullptr;
    }
    SDL_SetWindowPosition(window->top->window, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
    ShowWindow(window, SW_SHOW);
    return window;
}

} // namespace

void setOverlay(HWND window, std::function<void()> drawImGui, std::u16string_view caption) {
    if (!init()) return;
    HWND host = nullptr;
    if (window) {
        host = hostOf(window);
    } else if (drawImGui) {
        if (!object(ownerlessWindow)) ownerlessWindow = createPlainWindow(caption);
        host = ownerlessWindow;
    } else {
        if (object(ownerlessWindow)) DestroyWindow(ownerlessWindow);
        ownerlessWindow = nullptr;
        return;
    }
    if (!host) return;
    TopLevel& top = *host->top;
    const bool starting = !top.overlay && drawImGui;
    top.overlay = std::move(drawImGui);
    top.input = OverlayInput{};
    if (starting) {
        input::cancelCapture();
        // ImGui knows where the pointer is from the first frame on.
        int left = 0, topY = 0;
        SDL_GetWindowPosition(top.window, &left, &topY);
        const POINT cursor = input::trackedCursor();
        const int x = cursor.x - left, y = cursor.y - topY;
        if (x >= 0 && y >= 0 && x < host->rect.right && y < host->rect.bottom) {
            top.input.mouseX = float(x);
            top.input.mouseY = float(y);
        }
    }
    top.overlayFrames = 3;
    top.dirty = true;
}

} // namespace win
