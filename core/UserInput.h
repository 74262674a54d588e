// SPDX-License-Identifier: MIT
// The process's one input record. update() polls the keyboard, the mouse and
// a joystick through DirectInput once per frame tick (right after the frame
// timer) and leaves plain state that the 3D view and the script objects read
// directly: what is down, what went down since the previous update, the
// mouse movement and wheel, the joystick axes and hat, and two axes that the
// arrow keys drive and that decay with the frame step. Main thread only.
#pragma once

#include <cstdint>

#include "dinput/DInput.h"

struct UserInput {
    IDirectInput8W* directInput = nullptr;
    IDirectInputDevice8W* keyboard = nullptr;
    IDirectInputDevice8W* mouse = nullptr;
    IDirectInputDevice8W* joystick = nullptr;
    IDirectInputEffect* rumbleTwoAxes = nullptr;
    IDirectInputEffect* rumbleOneAxis = nullptr;

    uint8_t keyDown[256] = {};
    int32_t lastKey = -1; // highest key code down
    float arrowX = 0.0f;  // -1..1
    float arrowY = 0.0f;
    uint32_t keyboardFound = 0;
    uint8_t keyHit[256] = {};

    uint8_t mouseDown[8] = {};
    int32_t lastMouseEvent = -1; // highest button, 8 wheel up, 9 wheel down
    float mouseMoveX = 0.0f;     // device units since the previous update
    float mouseMoveY = 0.0f;
    uint32_t mouseFound = 0;
    uint8_t mouseHit[8] = {};
    uint8_t wheelUp = 0;
    uint8_t wheelDown = 0;

    uint8_t joyDown[32] = {};
    uint8_t hatLeft = 0;
    uint8_t hatRight = 0;
    uint8_t hatUp = 0;
    uint8_t hatDown = 0;
    int32_t lastJoyEvent = -1; // 32..35 hat left/right/up/down, else newest button
    float joyAxes[6] = {};     // x, y, z, rx, ry, rz, about -1..1
    float joyAxesPrevious[6] = {};
    uint32_t joystickFound = 0;

    // A second init creates new interfaces without releasing the first ones,
    // as the engine has always done; callers release between the two.
    void init(HINSTANCE instance, HWND window);
    void update();
    void release();
    // init's step for a joystick with force feedback: the first periodic
    // effect it offers, made on x and y and on x alone. Nothing starts them.
    void createRumble();

private:
    bool readKeyboard(uint8_t (&state)[256]);
    bool readMouse(DIMOUSESTATE2& state);
    bool readJoystick(DIJOYSTATE& state);
    void initJoystick(HWND window);
};

extern UserInput userInput;
