// SPDX-License-Identifier: MIT
// The drawing side of the window layer: the process's one OpenGL context, the
// dialog font, and an ImGui context per top-level window sharing one font
// atlas. Painting a window sends the owner WM_PAINT when it was invalidated,
// then draws its controls, its message boxes and its overlay, at most about
// 60 times a second.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "win/OverlayInput.h"
#include "win/Window.h"

struct SDL_Window;
struct ImGuiContext;
struct ImDrawList;
struct ImFont;

namespace win {

struct TopLevel {
    SDL_Window* window = nullptr;
    uint32_t windowId = 0;
    ImGuiContext* imgui = nullptr;
    bool dirty = true;
    bool ownerPaint = true; // the window procedure gets WM_PAINT at the next paint
    bool minimized = false;
    bool painting = false;
    uint64_t lastPaintMs = 0;
    uint64_t lastFrameCounter = 0;
    std::function<void()> overlay;
    int overlayFrames = 0; // frames still to paint after overlay input
    OverlayInput input;

    TopLevel() = default;
    TopLevel(const TopLevel&) = delete;
    TopLevel& operator=(const TopLevel&) = delete;
    ~TopLevel();
};

namespace canvas {

// The GL context and the font atlas; false only when there is no font at all.
// A missing GL context is not a failure: windows then run undrawn.
bool init();
void shutdown();
bool hasGL();
bool makeCurrent(SDL_Window* window = nullptr);

// Display scale (DPI / 96, in quarter steps) and the dialog font.
float scale();
ImFont* dialogFont();
int fontHeight();
// Width of `utf8` in the dialog font, one line.
float textWidth(const std::string& utf8);

// Gives a top-level window its SDL window and ImGui context.
bool createTopLevel(WindowObject& window, const std::u16string& caption, int width, int height,
                    HWND modalFor);
// Destroys a top-level window's SDL window and ImGui context, or, when it is
// in the middle of painting (its procedure destroyed it from WM_PAINT or an
// overlay), as soon as that paint ends.
void releaseTopLevel(std::unique_ptr<TopLevel> top);

// Paints the windows that are due; returns the milliseconds until the next
// paint is due, or -1 when nothing waits.
int paintDue();
// Paints `host` now; with `pixels`, also reads the frame back (RGBA, top row first).
bool paintNow(HWND host, std::vector<uint8_t>* pixels = nullptr, int* width = nullptr,
              int* height = nullptr);

// Texture of a bitmap, uploaded when its pixels changed; 0 without GL.
unsigned bitmapTexture(HBITMAP bitmap);
void deleteTexture(unsigned texture);

} // namespace canvas
} // namespace win
