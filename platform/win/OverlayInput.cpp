// SPDX-License-Identifier: MIT
#include "win/OverlayInput.h"

#include <cfloat>

#include <SDL.h>
#include <imgui.h>

#include "win/KeyState.h"

namespace win {

// Keyboard map of ImGui 1.86.
void mapOverlayKeys(ImGuiIO& io) {
    io.KeyMap[ImGuiKey_Tab] = SDL_SCANCODE_TAB;
    io.KeyMap[ImGuiKey_LeftArrow] = SDL_SCANCODE_LEFT;
    io.KeyMap[ImGuiKey_RightArrow] = SDL_SCANCODE_RIGHT;
    io.KeyMap[ImGuiKey_UpArrow] = SDL_SCANCODE_UP;
    io.KeyMap[ImGuiKey_DownArrow] = SDL_SCANCODE_DOWN;
    io.KeyMap[ImGuiKey_PageUp] = SDL_SCANCODE_PAGEUP;
    io.KeyMap[ImGuiKey_PageDown] = SDL_SCANCODE_PAGEDOWN;
    io.KeyMap[ImGuiKey_Home] = SDL_SCANCODE_HOME;
    io.KeyMap[ImGuiKey_End] = SDL_SCANCODE_END;
    io.KeyMap[ImGuiKey_Insert] = SDL_SCANCODE_INSERT;
    io.KeyMap[ImGuiKey_Delete] = SDL_SCANCODE_DELETE;
    io.KeyMap[ImGuiKey_Backspace] = SDL_SCANCODE_BACKSPACE;
    io.KeyMap[ImGuiKey_Space] = SDL_SCANCODE_SPACE;
    io.KeyMap[ImGuiKey_Enter] = SDL_SCANCODE_RETURN;
    io.KeyMap[ImGuiKey_Escape] = SDL_SCANCODE_ESCAPE;
    io.KeyMap[ImGuiKey_KeyPadEnter] = SDL_SCANCODE_KP_ENTER;
    io.KeyMap[ImGuiKey_A] = SDL_SCANCODE_A;
    io.KeyMap[ImGuiKey_C] = SDL_SCANCODE_C;
    io.KeyMap[ImGuiKey_V] = SDL_SCANCODE_V;
    io.KeyMap[ImGuiKey_X] = SDL_SCANCODE_X;
    io.KeyMap[ImGuiKey_Y] = SDL_SCANCODE_Y;
    io.KeyMap[ImGuiKey_Z] = SDL_SCANCODE_Z;
}

void feedOverlayInput(OverlayInput& in, bool live, ImGuiIO& io) {
    io.MousePos =
        live && in.mouseX >= 0 ? ImVec2(in.mouseX, in.mouseY) : ImVec2(-FLT_MAX, -FLT_MAX);
    for (int i = 0; i < 5; ++i) {
        io.MouseDown[i] = live && (in.mouseHeld[i] || in.mousePressed[i]);
        in.mousePressed[i] = false;
    }
    for (int k = 0; k < 512; ++k) {
        io.KeysDown[k] = live && (in.keyHeld[k] || in.keyPressed[k]);
        in.keyPressed[k] = false;
    }
    io.MouseWheel = live ? in.wheel : 0;
    io.MouseWheelH = live ? in.wheelH : 0;
    in.wheel = in.wheelH = 0;
    const uint16_t mods = live ? input::heldModifiers() : 0;
    io.KeyShift = mods & KMOD_SHIFT;
    io.KeyCtrl = mods & KMOD_CTRL;
    io.KeyAlt = mods & KMOD_ALT;
    io.KeySuper = mods & KMOD_GUI;
    if (live && !in.text.empty()) io.AddInputCharactersUTF8(in.text.c_str());
    in.text.clear();
}

} // namespace win
