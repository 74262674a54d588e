// SPDX-License-Identifier: MIT
// Key state is kept from the events handled (GetKeyState) and joined with
// SDL's live state (GetAsyncKeyState), so keys a test pushes count too.
#include "win/KeyState.h"

#include <algorithm>
#include <iterator>

#include <SDL.h>

#include "win/Win.h"

namespace win::input {
namespace {

bool keyDown[256] = {};
bool keyToggled[256] = {};

struct KeyPair {
    int vk;
    SDL_Keycode key;
};

// Virtual keys that are not letters or digits.
constexpr KeyPair kKeys[] = {
    {0x08, SDLK_BACKSPACE},    {VK_TAB, SDLK_TAB},
    {VK_RETURN, SDLK_RETURN},  {VK_RETURN, SDLK_KP_ENTER},
    {0x13, SDLK_PAUSE},        {0x14, SDLK_CAPSLOCK},
    {VK_ESCAPE, SDLK_ESCAPE},  {VK_SPACE, SDLK_SPACE},
    {0x21, SDLK_PAGEUP},       {0x22, SDLK_PAGEDOWN},
    {0x23, SDLK_END},          {0x24, SDLK_HOME},
    {VK_LEFT, SDLK_LEFT},      {VK_UP, SDLK_UP},
    {VK_RIGHT, SDLK_RIGHT},    {VK_DOWN, SDLK_DOWN},
    {0x2D, SDLK_INSERT},       {0x2E, SDLK_DELETE},
    {VK_LWIN, SDLK_LGUI},      {VK_RWIN, SDLK_RGUI},
    {0x60, SDLK_KP_0},         {0x61, SDLK_KP_1},
    {0x62, SDLK_KP_2},         {0x63, SDLK_KP_3},
    {0x64, SDLK_KP_4},         {0x65, SDLK_KP_5},
    {0x66, SDLK_KP_6},         {0x67, SDLK_KP_7},
    {0x68, SDLK_KP_8},         {0x69, SDLK_KP_9},
    {0x6A, SDLK_KP_MULTIPLY},  {0x6B, SDLK_KP_PLUS},
    {0x6D, SDLK_KP_MINUS},     {0x6E, SDLK_KP_PERIOD},
    {0x6F, SDLK_KP_DIVIDE},    {0x70, SDLK_F1},
    {0x71, SDLK_F2},           {0x72, SDLK_F3},
    {0x73, SDLK_F4},           {0x74, SDLK_F5},
    {0x75, SDLK_F6},           {0x76, SDLK_F7},
    {0x77, SDLK_F8},           {0x78, SDLK_F9},
    {0x79, SDLK_F10},          {0x7A, SDLK_F11},
    {0x7B, SDLK_F12},          {0x90, SDLK_NUMLOCKCLEAR},
    {0x91, SDLK_SCROLLLOCK},   {VK_LSHIFT, SDLK_LSHIFT},
    {VK_RSHIFT, SDLK_RSHIFT},  {VK_LCONTROL, SDLK_LCTRL},
    {VK_RCONTROL, SDLK_RCTRL}, {VK_LMENU, SDLK_LALT},
    {VK_RMENU, SDLK_RALT},     {0xBA, SDLK_SEMICOLON},
    {0xBB, SDLK_EQUALS},       {0xBC, SDLK_COMMA},
    {0xBD, SDLK_MINUS},        {0xBE, SDLK_PERIOD},
    {0xBF, SDLK_SLASH},        {0xC0, SDLK_BACKQUOTE},
    {0xDB, SDLK_LEFTBRACKET},  {0xDC, SDLK_BACKSLASH},
    {0xDD, SDLK_RIGHTBRACKET}, {0xDE, SDLK_QUOTE},
};

} // namespace

void noteKey(int vk, bool down) {
    if (vk <= 0 || vk > 255) return;
    if (down && !keyDown[vk]) keyToggled[vk] = !keyToggled[vk];
    keyDown[vk] = down;
    // The side-less keys follow either side.
    keyDown[VK_SHIFT] = keyDown[VK_LSHIFT] || keyDown[VK_RSHIFT];
    keyDown[VK_CONTROL] = keyDown[VK_LCONTROL] || keyDown[VK_RCONTROL];
    keyDown[VK_MENU] = keyDown[VK_LMENU] || keyDown[VK_RMENU];
}

bool isKeyHeld(int virtualKey) {
    return virtualKey > 0 && virtualKey <= 255 && keyDown[virtualKey];
}

void forgetKeys() {
    std::fill(std::begin(keyDown), std::end(keyDown), false);
    std::fill(std::begin(keyToggled), std::end(keyToggled), false);
}

WPARAM mouseKeyFlags() {
    WPARAM flags = 0;
    if (keyDown[VK_LBUTTON]) flags |= MK_LBUTTON;
    if (keyDown[VK_RBUTTON]) flags |= MK_RBUTTON;
    if (keyDown[VK_MBUTTON]) flags |= MK_MBUTTON;
    if (keyDown[VK_SHIFT]) flags |= MK_SHIFT;
    if (keyDown[VK_CONTROL]) flags |= MK_CONTROL;
    return flags;
}

int virtualKeyFromSdl(int32_t keycode) {
    if (keycode >= SDLK_a && keycode <= SDLK_z) return 'A' + (keycode - SDLK_a);
    if (keycode >= SDLK_0 && keycode <= SDLK_9) return keycode;
    for (const KeyPair& pair : kKeys)
        if (pair.key == keycode) return pair.vk;
    return 0;
}

int32_t sdlKeyFromVirtualKey(int vk) {
    if (vk >= 'A' && vk <= 'Z') return SDLK_a + (vk - 'A');
    if (vk >= '0' && vk <= '9') return vk;
    if (vk == VK_SHIFT) return SDLK_LSHIFT;
    if (vk == VK_CONTROL) return SDLK_LCTRL;
    if (vk == VK_MENU) return SDLK_LALT;
    for (const KeyPair& pair : kKeys)
        if (pair.vk == vk) return pair.key;
    return SDLK_UNKNOWN;
}

uint16_t heldModifiers() {
    uint16_t mods = KMOD_NONE;
    if (keyDown[VK_LSHIFT]) mods |= KMOD_LSHIFT;
    if (keyDown[VK_RSHIFT]) mods |= KMOD_RSHIFT;
    if (keyDown[VK_LCONTROL]) mods |= KMOD_LCTRL;
    if (keyDown[VK_RCONTROL]) mods |= KMOD_RCTRL;
    if (keyDown[VK_LMENU]) mods |= KMOD_LALT;
    if (keyDown[VK_RMENU]) mods |= KMOD_RALT;
    if (keyDown[VK_LWIN]) mods |= KMOD_LGUI;
    if (keyDown[VK_RWIN]) mods |= KMOD_RGUI;
    return mods;
}

} // namespace win::input

using namespace win::input;

namespace {

bool liveKeyDown(int vk) {
    if (!SDL_WasInit(SDL_INIT_VIDEO)) return false;
    if (vk == VK_LBUTTON || vk == VK_RBUTTON || vk == VK_MBUTTON) {
        const Uint32 buttons = SDL_GetMouseState(nullptr, nullptr);
        const int button = vk == VK_LBUTTON   ? SDL_BUTTON_LEFT
                           : vk == VK_RBUTTON ? SDL_BUTTON_RIGHT
                                              : SDL_BUTTON_MIDDLE;
        return buttons & SDL_BUTTON(button);
    }
    const Uint8* keys = SDL_GetKeyboardState(nullptr);
    const auto down = [keys](SDL_Keycode key) {
        return key != SDLK_UNKNOWN && keys[SDL_GetScancodeFromKey(key)];
    };
    if (vk == VK_SHIFT) return down(SDLK_LSHIFT) || down(SDLK_RSHIFT);
    if (vk == VK_CONTROL) return down(SDLK_LCTRL) || down(SDLK_RCTRL);
    if (vk == VK_MENU) return down(SDLK_LALT) || down(SDLK_RALT);
    return down(sdlKeyFromVirtualKey(vk));
}

} // namespace

short GetAsyncKeyState(int virtualKey) {
    if (virtualKey <= 0 || virtualKey > 255) return 0;
    return (keyDown[virtualKey] || liveKeyDown(virtualKey)) ? short(0x8000) : short(0);
}

short GetKeyState(int virtualKey) {
    if (virtualKey <= 0 || virtualKey > 255) return 0;
    return short((keyDown[virtualKey] ? 0x8000 : 0) | (keyToggled[virtualKey] ? 1 : 0));
}
