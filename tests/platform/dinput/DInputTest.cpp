// SPDX-License-Identifier: MIT
// DirectInput's own rules, below the engine's input record: key codes by
// physical key, and what the object and its devices refuse.
#include "dinput/DInput.h"

#include <SDL.h>
#include <gtest/gtest.h>

namespace {

TEST(DikCodes, FollowThePhysicalKeyNotTheLayout) {
    // The key right of T is DIK_Y (0x15) on every layout, even where it is
    // labelled Z; the key right of left Shift is DIK_Z (0x2C).
    EXPECT_EQ(dinput::dikFromScancode(SDL_SCANCODE_Y), 0x15);
    EXPECT_EQ(dinput::dikFromScancode(SDL_SCANCODE_Z), DIK_Z);
    EXPECT_EQ(dinput::dikFromScancode(SDL_SCANCODE_Q), 0x10);
    EXPECT_EQ(dinput::dikFromScancode(SDL_SCANCODE_M), 0x32);
    EXPECT_EQ(dinput::dikFromScancode(SDL_SCANCODE_1), DIK_1);
    EXPECT_EQ(dinput::dikFromScancode(SDL_SCANCODE_0), 0x0B);
    EXPECT_EQ(dinput::dikFromScancode(SDL_SCANCODE_ESCAPE), DIK_ESCAPE);
    EXPECT_EQ(dinput::dikFromScancode(SDL_SCANCODE_RIGHT), DIK_RIGHT);
    EXPECT_EQ(dinput::dikFromScancode(SDL_SCANCODE_UP), DIK_UP);
    EXPECT_EQ(dinput::dikFromScancode(SDL_SCANCODE_KP_ENTER), 0x9C);
    EXPECT_EQ(dinput::dikFromScancode(SDL_SCANCODE_RCTRL), 0x9D);
    EXPECT_EQ(dinput::dikFromScancode(SDL_SCANCODE_UNKNOWN), 0);
    EXPECT_EQ(dinput::dikFromScancode(-1), 0);
    EXPECT_EQ(dinput::dikFromScancode(SDL_NUM_SCANCODES), 0);
}

TEST(DirectInputObject, RejectsWrongVersionsAndUnknownDevices) {
    void* out = &out;
    EXPECT_TRUE(FAILED(DirectInput8Create(nullptr, 0x0700, IID_IDirectInput8W, &out, nullptr)));
    EXPECT_EQ(out, nullptr);
    ASSERT_EQ(DirectInput8Create(nullptr, DIRECTINPUT_VERSION, IID_IDirectInput8W, &out, nullptr),
              DI_OK);
    auto* di = static_cast<IDirectInput8W*>(out);
    IDirectInputDevice8W* device = nullptr;
    EXPECT_EQ(di->CreateDevice(GUID_Joystick, &device, nullptr), DIERR_DEVICENOTREG);
    EXPECT_EQ(device, nullptr);

    // The mouse refuses the keyboard's format and reads before acquiring.
    ASSERT_EQ(di->CreateDevice(GUID_SysMouse, &device, nullptr), DI_OK);
    EXPECT_EQ(device->SetDataFormat(&c_dfDIKeyboard), DIERR_INVALIDPARAM);
    EXPECT_EQ(device->SetCooperativeLevel(nullptr, DISCL_EXCLUSIVE | DISCL_NONEXCLUSIVE),
              DIERR_INVALIDPARAM);
    ASSERT_EQ(device->SetDataFormat(&c_dfDIMouse2), DI_OK);
    DIMOUSESTATE2 state{};
    EXPECT_EQ(device->GetDeviceState(sizeof state, &state), DIERR_NOTACQUIRED);
    device->Release();
    di->Release();
}

} // namespace
