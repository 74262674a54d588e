// SPDX-License-Identifier: MIT
#include "core/UserInput.h"

#include <algorithm>
#include <cstring>

#include "core/FrameTimer.h"
#include "core/Log.h"
#include "core/Report.h"

UserInput userInput;

namespace {

// A device whose read fails has usually lost acquisition to a focus change;
// one re-acquire is tried before the update gives up.
template <class State>
bool readState(IDirectInputDevice8W* device, State& state, bool poll) {
    auto read = [&] {
        if (poll && FAILED(device->Poll())) return false;
        return SUCCEEDED(device->GetDeviceState(sizeof(State), &state));
    };
    if (read()) return true;
    device->Acquire();
    return read();
}

void setDeviceDword(IDirectInputDevice8W* device, REFGUID_PROP property, DWORD value,
                    HRESULT& result) {
    DIPROPDWORD prop{};
    prop.diph.dwSize = sizeof prop;
    prop.diph.dwHeaderSize = sizeof prop.diph;
    prop.diph.dwHow = DIPH_DEVICE;
    prop.dwData = value;
    if (SUCCEEDED(result)) result = device->SetProperty(property, &prop.diph);
}

} // namespace

void UserInput::init(HINSTANCE instance, HWND window) {
    setReportContext(u"UserInput", u"init");
    std::memset(keyDown, 0, sizeof keyDown);
    std::memset(keyHit, 0, sizeof keyHit);
    std::memset(mouseDown, 0, sizeof mouseDown);
    std::memset(mouseHit, 0, sizeof mouseHit);

    void* created = nullptr;
    if (FAILED(DirectInput8Create(instance, DIRECTINPUT_VERSION, IID_IDirectInput8W, &created,
                                  nullptr))) {
        log(u"in DirectInput8Create()");
        return;
    }
    directInput = static_cast<IDirectInput8W*>(created);

    HRESULT hr = directInput->CreateDevice(GUID_SysKeyboard, &keyboard, nullptr);
    if (SUCCEEDED(hr)) hr = keyboard->SetDataFormat(&c_dfDIKeyboard);
    if (SUCCEEDED(hr))
        hr = keyboard->SetCooperativeLevel(window, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND);
    if (SUCCEEDED(hr)) hr = keyboard->Acquire();
    if (SUCCEEDED(hr)) {
        log(u"Keyboard Found: OK");
        keyboardFound = 1;
    } else {
        log(u"Keyboard Found: FALSE");
    }

    hr = directInput->CreateDevice(GUID_SysMouse, &mouse, nullptr);
    if (SUCCEEDED(hr)) hr = mouse->SetDataFormat(&c_dfDIMouse2);
    if (SUCCEEDED(hr))
        hr = mouse->SetCooperativeLevel(window, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND);
    setDeviceDword(mouse, DIPROP_BUFFERSIZE, 16, hr);
    if (SUCCEEDED(hr)) hr = mouse->Acquire();
    if (SUCCEEDED(hr)) {
        log(u"Mouse Found:    OK");
        mouseFound = 1;
    } else {
        log(u"Mouse Found:    FALSE");
    }

    initJoystick(window);
}

namespace {

BOOL takeFirstEffect(const DIEFFECTINFOW* effect, void* context) {
    *static_cast<GUID*>(context) = effect->guid;
    return DIENUM_STOP;
}

} // namespace

void UserInput::createRumble() {
    DIDEVCAPS caps{};
    caps.dwSize = sizeof caps;
    if (FAILED(joystick->GetCapabilities(&caps)) || !(caps.dwFlags & DIDC_FORCEFEEDBACK)) return;
    GUID kind{};
    if (FAILED(joystick->EnumEffects(&takeFirstEffect, &kind, DIEFT_PERIODIC)) || kind.data1 == 0)
        return;
    DWORD axes[2] = {DIJOFS_X, DIJOFS_Y};
    LONG directions[2] = {0, 0};
    DIPERIODIC periodic{100000, 0, 0, 100000};
    DIEFFECT effect{};
    effect.dwSize = sizeof effect;
    effect.dwFlags = DIEFF_CARTESIAN | DIEFF_OBJECTOFFSETS;
    effect.dwDuration = 100000;
    effect.dwSamplePeriod = 0;
    effect.dwGain = 0;
    effect.dwTriggerButton = DIEB_NOTRIGGER;
    effect.rgdwAxes = axes;
    effect.rglDirection = directions;
    effect.lpEnvelope = nullptr;
    effect.cbTypeSpecificParams = sizeof periodic;
    effect.lpvTypeSpecificParams = &periodic;
    effect.dwStartDelay = 0;
    effect.cAxes = 2;
    if (FAILED(joystick->CreateEffect(kind, &effect, &rumbleTwoAxes, nullptr)))
        rumbleTwoAxes = nullptr;
    effect.cAxes = 1;
    if (FAILED(joystick->CreateEffect(kind, &effect, &rumbleOneAxis, nullptr)))
        rumbleOneAxis = nullptr;
}

void UserInput::initJoystick(HWND window) {
    HRESULT hr = directInput->CreateDevice(GUID_Joystick, &joystick, nullptr);
    if (SUCCEEDED(hr)) hr = joystick->SetDataFormat(&c_dfDIJoystick);
    if (SUCCEEDED(hr) &&
        FAILED(joystick->SetCooperativeLevel(window, DISCL_EXCLUSIVE | DISCL_FOREGROUND)))
        hr = joystick->SetCooperativeLevel(window, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND);
    if (FAILED(hr)) {
        log(u"Joystick Found:    FALSE");
        return;
    }
    createRumble();
    DIPROPRANGE range{};
    range.diph.dwSize = sizeof range;
    range.diph.dwHeaderSize = sizeof range.diph;
    range.diph.dwHow = DIPH_DEVICE;
    range.lMin = 0;
    range.lMax = 65536;
    hr = joystick->SetProperty(DIPROP_RANGE, &range.diph);
    // A small dead zone (5 % in DirectInput's 0..10,000 scale) keeps a
    // resting stick from drifting.
    setDeviceDword(joystick, DIPROP_DEADZONE, 500, hr);
    setDeviceDword(joystick, DIPROP_SATURATION, 9000, hr);
    if (SUCCEEDED(hr)) hr = joystick->Acquire();
    if (SUCCEEDED(hr)) {
        log(u"Joystick Found:    OK");
        joystickFound = 1;
    } else {
        log(u"Joystick Found:    FALSE");
    }
}

bool UserInput::readKeyboard(uint8_t (&state)[256]) {
    return readState(keyboard, state, false);
}
bool UserInput::readMouse(DIMOUSESTATE2& state) {
    return readState(mouse, state, true);
}
bool UserInput::readJoystick(DIJOYSTATE& state) {
    return readState(joystick, state, true);
}

void UserInput::update() {
    if (keyboard) {
        uint8_t keys[256];
        if (!readKeyboard(keys)) return;
        const float s = currentFrameStep;
        arrowX =
            std::clamp(arrowX - arrowX * 0.5f * s + float(keys[DIK_RIGHT]) - float(keys[DIK_LEFT]),
                       -1.0f, 1.0f);
        arrowY = std::clamp(
            arrowY - arrowY * 0.5f * s + float(keys[DIK_UP]) - float(keys[DIK_DOWN]), -1.0f, 1.0f);
        lastKey = -1;
        for (int k = 0; k < 256; ++k) {
            if (keys[k]) {
                keyHit[k] = keyDown[k] == 0 ? 1 : 0;
                keyDown[k] = 1;
                lastKey = k;
            } else {
                keyHit[k] = keyDown[k] = 0;
            }
        }
    }

    if (mouse) {
        DIMOUSESTATE2 state{};
        if (!readMouse(state)) return;
        lastMouseEvent = -1;
        for (int b = 0; b < 8; ++b) {
            if (state.rgbButtons[b]) {
                mouseHit[b] = mouseDown[b] == 0 ? 1 : 0;
                mouseDown[b] = 1;
                lastMouseEvent = b;
            } else {
                mouseHit[b] = mouseDown[b] = 0;
            }
        }
        mouseMoveX = float(state.lX);
        mouseMoveY = float(state.lY);
        wheelUp = state.lZ > 0 ? 1 : 0;
        wheelDown = state.lZ < 0 ? 1 : 0;
        if (state.lZ > 0) lastMouseEvent = 8;
        if (state.lZ < 0) lastMouseEvent = 9;
    }

    if (joystick) {
        DIJOYSTATE state{};
        if (!readJoystick(state)) return;
        std::copy(std::begin(joyAxes), std::end(joyAxes), std::begin(joyAxesPrevious));
        const LONG axes[6] = {state.lX, state.lY, state.lZ, state.lRx, state.lRy, state.lRz};
        for (int i = 0; i < 6; ++i) joyAxes[i] = float(axes[i] - 32767) / 32767.0f;
        const DWORD hat = state.rgdwPOV[0];
        hatUp = hat == 0 ? 1 : 0;
        hatRight = hat == 9000 ? 1 : 0;
        hatDown = hat == 18000 ? 1 : 0;
        hatLeft = hat == 27000 ? 1 : 0;
        lastJoyEvent = hatDown ? 35 : hatUp ? 34 : hatRight ? 33 : hatLeft ? 32 : -1;
        for (int b = 0; b < 32; ++b) {
            const uint8_t down = state.rgbButtons[b] ? 1 : 0;
            if (down && !joyDown[b]) lastJoyEvent = b;
            joyDown[b] = down;
        }
    }
}

void UserInput::release() {
    for (IDirectInputDevice8W** device : {&keyboard, &mouse, &joystick}) {
        if (!*device) continue;
        (*device)->Unacquire();
        (*device)->Release();
        *device = nullptr;
    }
    for (IDirectInputEffect** effect : {&rumbleTwoAxes, &rumbleOneAxis}) {
        if (*effect) (*effect)->Release();
        *effect = nullptr;
    }
    if (directInput) directInput->Release();
    directInput = nullptr;
}
