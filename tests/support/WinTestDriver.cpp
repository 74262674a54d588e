// SPDX-License-Identifier: MIT
// Test input as SDL events pushed onto SDL's own queue, so that a test's
// click travels the same routing as a user's; and screenshots read back
// from the window's frame and written as PNG.
#include <algorithm>
#include <cstdio>
#include <filesystem>

#include <SDL.h>
#include <png.h>

#include "support/WinTestDriver.h"
#include "win/Canvas.h"
#include "win/Input.h"
#include "win/KeyState.h"
#include "win/MessageLoop.h"
#include "win/Win.h"
#include "win/WinInternal.h"
#include "win/Window.h"

namespace win::test {
namespace {

// Modifiers pushed but maybe not handled yet, for the events that follow.
uint16_t pushedModifiers = KMOD_NONE;

void push(SDL_Event& event) {
    event.common.timestamp = SDL_GetTicks();
    SDL_PushEvent(&event);
}

uint32_t windowIdOf(HWND window) {
    WindowObject* host = object(hostOf(window));
    return host && host->top ? host->top->windowId : 0;
}

void pushWindowEvent(HWND window, SDL_WindowEventID what) {
    const uint32_t id = windowIdOf(window);
    if (!id) return;
    SDL_Event event{};
    event.type = SDL_WINDOWEVENT;
    event.window.windowID = id;
    event.window.event = uint8_t(what);
    push(event);
}

// Keys go where the keyboard is: the foreground window's, else any shown one.
uint32_t keyboardWindowId() {
    if (uint32_t id = windowIdOf(foreground())) return id;
    for (HWND window : liveWindows())
        if (window->top && window->visible) return window->top->windowId;
    return 0;
}

void pushMotion(uint32_t id, int x, int y, int dx = 0, int dy = 0) {
    SDL_Event event{};
    event.type = SDL_MOUSEMOTION;
    event.motion.windowID = id;
    event.motion.x = x;
    event.motion.y = y;
    event.motion.xrel = dx;
    event.motion.yrel = dy;
    push(event);
}

void pushButton(uint32_t id, int x, int y, int button, bool down, int clicks) {
    SDL_Event event{};
    event.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
    event.button.windowID = id;
    event.button.button = Uint8(button);
    event.button.state = down ? SDL_PRESSED : SDL_RELEASED;
    event.button.clicks = Uint8(clicks);
    event.button.x = x;
    event.button.y = y;
    push(event);
}

uint16_t modifierOf(SDL_Keycode key) {
    switch (key) {
    case SDLK_LSHIFT: return KMOD_LSHIFT;
    case SDLK_RSHIFT: return KMOD_RSHIFT;
    case SDLK_LCTRL: return KMOD_LCTRL;
    case SDLK_RCTRL: return KMOD_RCTRL;
    case SDLK_LALT: return KMOD_LALT;
    case SDLK_RALT: return KMOD_RALT;
    default: return KMOD_NONE;
    }
}

void pushKey(int virtualKey, bool down) {
    const SDL_Keycode key = input::sdlKeyFromVirtualKey(virtualKey);
    if (key == SDLK_UNKNOWN) return;
    if (down)
        pushedModifiers |= modifierOf(key);
    else
        pushedModifiers &= uint16_t(~modifierOf(key));
    SDL_Event event{};
    event.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    event.key.windowID = keyboardWindowId();
    event.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    event.key.keysym.sym = key;
    event.key.keysym.scancode = SDL_GetScancodeFromKey(key);
    event.key.keysym.mod = Uint16(pushedModifiers | input::heldModifiers());
    push(event);
}

// The host's pixels for a point in `window`'s client coordinates.
POINT inHost(HWND window, int x, int y) {
    const POINT origin = hostOrigin(window);
    return POINT{origin.x + x, origin.y + y};
}

bool writePng(const std::string& path, const uint8_t* rgb, int width, int height) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y) png_write_row(png, rgb + size_t(y) * size_t(width) * 3);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return std::fclose(file) == 0;
}

} // namespace

void click(HWND control, int button) {
    WindowObject* c = object(control);
    if (!c) return;
    clickAt(control, (c->rect.right - c->rect.left) / 2, (c->rect.bottom - c->rect.top) / 2,
            button);
}

void clickAt(HWND window, int x, int y, int button) {
    const uint32_t id = windowIdOf(window);
    if (!id) return;
    const POINT at = inHost(window, x, y);
    pushMotion(id, at.x, at.y);
    pushButton(id, at.x, at.y, button, true, 1);
    pushButton(id, at.x, at.y, button, false, 1);
}

void doubleClickAt(HWND window, int x, int y) {
    const uint32_t id = windowIdOf(window);
    if (!id) return;
    const POINT at = inHost(window, x, y);
    pushMotion(id, at.x, at.y);
    pushButton(id, at.x, at.y, SDL_BUTTON_LEFT, true, 1);
    pushButton(id, at.x, at.y, SDL_BUTTON_LEFT, false, 1);
    pushButton(id, at.x, at.y, SDL_BUTTON_LEFT, true, 2);
    pushButton(id, at.x, at.y, SDL_BUTTON_LEFT, false, 2);
}

void mouseButtonAt(HWND window, int x, int y, int button, bool down) {
    const uint32_t id = windowIdOf(window);
    if (!id) return;
    const POINT at = inHost(window, x, y);
    pushMotion(id, at.x, at.y);
    pushButton(id, at.x, at.y, button, down, 1);
}

void moveMouse(HWND window, int x, int y, int dx, int dy) {
    const uint32_t id = windowIdOf(window);
    if (!id) return;
    const POINT at = inHost(window, x, y);
    pushMotion(id, at.x, at.y, dx, dy);
}

void wheelAt(HWND window, int x, int y, int clicks) {
    const uint32_t id = windowIdOf(window);
    if (!id) return;
    const POINT at = inHost(window, x, y);
    pushMotion(id, at.x, at.y);
    SDL_Event event{};
    event.type = SDL_MOUSEWHEEL;
    event.wheel.windowID = id;
    event.wheel.y = clicks;
    event.wheel.direction = SDL_MOUSEWHEEL_NORMAL;
    push(event);
}

void keyDown(int virtualKey) {
    pushKey(virtualKey, true);
}
void keyUp(int virtualKey) {
    pushKey(virtualKey, false);
}

void pressKey(int virtualKey) {
    keyDown(virtualKey);
    keyUp(virtualKey);
}

void typeText(const std::string& utf8) {
    constexpr size_t room = sizeof(SDL_TextInputEvent::text) - 1;
    for (size_t at = 0; at < utf8.size();) {
        size_t count = std::min(room, utf8.size() - at);
        // Never split a character: back up to the start of a sequence.
        while (count > 0 && at + count < utf8.size() && (uint8_t(utf8[at + count]) & 0xC0) == 0x80)
            --count;
        SDL_Event event{};
        event.type = SDL_TEXTINPUT;
        event.text.windowID = keyboardWindowId();
        std::copy_n(utf8.data() + at, count, event.text.text);
        push(event);
        at += count;
    }
}

void closeBox(HWND window) {
    pushWindowEvent(window, SDL_WINDOWEVENT_CLOSE);
}

void focusAway(HWND window) {
    pushWindowEvent(window, SDL_WINDOWEVENT_FOCUS_LOST);
}

bool capture(HWND window, Capture& out) {
    if (!init() || !object(window)) return false;
    HWND host = hostOf(window);
    std::vector<uint8_t> rgba;
    int width = 0, height = 0;
    if (!canvas::paintNow(host, &rgba, &width, &height)) return false;
    RECT area{0, 0, width, height};
    if (window != host) {
        const POINT origin = hostOrigin(window);
        area = RECT{std::max(0, int(origin.x)), std::max(0, int(origin.y)),
                    std::min(width, int(origin.x + window->rect.right - window->rect.left)),
                    std::min(height, int(origin.y + window->rect.bottom - window->rect.top))};
    }
    const int w = area.right - area.left, h = area.bottom - area.top;
    if (w <= 0 || h <= 0) return false;
    out.width = w;
    out.height = h;
    out.pixels.resize(size_t(w) * size_t(h));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const uint8_t* in =
                rgba.data() + (size_t(area.top + y) * size_t(width) + size_t(area.left + x)) * 4;
            out.pixels[size_t(y) * size_t(w) + size_t(x)] =
                uint32_t(in[0]) << 16 | uint32_t(in[1]) << 8 | in[2];
        }
    return true;
}

bool saveScreenshot(HWND window, const std::string& path) {
    Capture shot;
    if (!capture(window, shot)) return false;
    std::vector<uint8_t> rgb;
    rgb.reserve(shot.pixels.size() * 3);
    for (uint32_t pixel : shot.pixels) {
        rgb.push_back(uint8_t(pixel >> 16));
        rgb.push_back(uint8_t(pixel >> 8));
        rgb.push_back(uint8_t(pixel));
    }
    std::error_code ignored;
    const std::filesystem::path parent = std::filesystem::path(path).parent_path();
    if (!parent.empty()) std::filesystem::create_directories(parent, ignored);
    return writePng(path, rgb.data(), shot.width, shot.height);
}

bool pumpUntil(const std::function<bool()>& done, int timeoutMs) {
    if (!init()) return done();
    const uint64_t deadline = SDL_GetTicks64() + uint64_t(std::max(timeoutMs, 0));
    for (;;) {
        if (done()) return true;
        const uint64_t now = SDL_GetTicks64();
        if (now >= deadline) return false;
        runIteration(int(std::min<uint64_t>(deadline - now, 50)), done);
    }
}

} // namespace win::test
