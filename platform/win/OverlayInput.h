// SPDX-License-Identifier: MIT
// What an overlay's ImGui context gets as input: collected from SDL events
// between two frames and handed over at the next one. Presses are latched
// so that a press and its release arriving between two frames still reach
// ImGui as a click.
#pragma once

#include <string>

struct ImGuiIO;

namespace win {

struct OverlayInput {
    float mouseX = -1, mouseY = -1;
    bool mouseHeld[5] = {};
    bool mousePressed[5] = {};
    bool keyHeld[512] = {};
    bool keyPressed[512] = {};
    float wheel = 0, wheelH = 0;
    std::string text;
};

// ImGui's named keys index its key array by SDL scancode.
void mapOverlayKeys(ImGuiIO& io);
// Hands the collected input to ImGui and clears the latches; a window
// without a live overlay shows ImGui no pointer and no keys.
void feedOverlayInput(OverlayInput& input, bool live, ImGuiIO& io);

} // namespace win
