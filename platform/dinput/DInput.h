// SPDX-License-Identifier: MIT
// Stands in for the DirectInput 8 calls the engine makes, on SDL2 input
// events seen through an event watch, so the window layer's loop keeps every
// event it pumps.
//  [x] DirectInput8Create, system keyboard and system mouse devices
//  [x] keyboard: 256-byte state by DIK code, mapped by physical key (scancode)
//  [x] mouse: relative motion, eight buttons, wheel (DIMOUSESTATE2)
//  [x] data formats, cooperative levels, buffer size, acquire/unacquire
//  [x] joystick: the first SDL joystick, six axes scaled to the range
//      property with dead zone and saturation, the first hat in hundredths
//      of a degree, 32 buttons; DIERR_DEVICENOTREG when none is attached
//  [x] force feedback: capabilities, periodic effects created through SDL
//      haptic on a joystick that has it, started and stopped
//  [ ] effect parameters after creation (SetParameters), envelopes, and
//      effects other than the periodic ones
//  [x] foreground devices lose acquisition when the program's window loses
//      focus and cannot be acquired again until it has focus back
//  [ ] exclusive access (other programs keep their input)
#pragma once

#include <cstdint>

#include "shared/Results.h"
#include "win/WinTypes.h"

using BYTE = uint8_t;

inline constexpr DWORD DIRECTINPUT_VERSION = 0x0800;
inline constexpr DWORD DISCL_EXCLUSIVE = 0x1;
inline constexpr DWORD DISCL_NONEXCLUSIVE = 0x2;
inline constexpr DWORD DISCL_FOREGROUND = 0x4;
inline constexpr DWORD DISCL_BACKGROUND = 0x8;
inline constexpr DWORD DI8DEVCLASS_GAMECTRL = 4;
inline constexpr DWORD DIEDFL_ATTACHEDONLY = 0x1;

inline constexpr HRESULT DI_OK = 0;
inline constexpr HRESULT DIERR_NOTACQUIRED = makeHResult(1, 7, 12);
inline constexpr HRESULT DIERR_INPUTLOST = makeHResult(1, 7, 30);
inline constexpr HRESULT DIERR_OTHERAPPHASPRIO = HRESULT(0x80070005u);
inline constexpr HRESULT DIERR_DEVICENOTREG = HRESULT(0x80040154u);
inline constexpr HRESULT DIERR_INVALIDPARAM = E_INVALIDARG;
inline constexpr HRESULT DIERR_UNSUPPORTED = E_NOTIMPL;

// Device identities: only which one is meant matters here.
struct GUID {
    uint32_t data1 = 0;
};
using REFGUID = const GUID&;
inline constexpr GUID GUID_SysKeyboard{1};
inline constexpr GUID GUID_SysMouse{2};
inline constexpr GUID GUID_Joystick{3};
inline constexpr GUID IID_IDirectInput8W{8};

// A data format names the state layout GetDeviceState fills.
struct DIDATAFORMAT {
    DWORD dwSize;
    DWORD dwDataSize; // bytes of device state
};
extern const DIDATAFORMAT c_dfDIKeyboard;
extern const DIDATAFORMAT c_dfDIMouse2;
extern const DIDATAFORMAT c_dfDIJoystick;

struct DIMOUSESTATE2 {
    LONG lX;
    LONG lY;
    LONG lZ;
    BYTE rgbButtons[8];
};

struct DIJOYSTATE {
    LONG lX, lY, lZ;
    LONG lRx, lRy, lRz;
    LONG rglSlider[2];
    DWORD rgdwPOV[4]; // hundredths of a degree, 0xFFFFFFFF centred
    BYTE rgbButtons[32];
};

struct DIPROPHEADER {
    DWORD dwSize;
    DWORD dwHeaderSize;
    DWORD dwObj;
    DWORD dwHow;
};
struct DIPROPDWORD {
    DIPROPHEADER diph;
    DWORD dwData;
};
struct DIPROPRANGE {
    DIPROPHEADER diph;
    LONG lMin;
    LONG lMax;
};
inline constexpr DWORD DIPH_DEVICE = 0;
// Property identifiers are small integers passed where a GUID pointer goes.
using REFGUID_PROP = uintptr_t;
inline constexpr REFGUID_PROP DIPROP_BUFFERSIZE = 1;
inline constexpr REFGUID_PROP DIPROP_RANGE = 4;
inline constexpr REFGUID_PROP DIPROP_DEADZONE = 5;
inline constexpr REFGUID_PROP DIPROP_SATURATION = 6;

// Capabilities: only the force-feedback flag is read.
struct DIDEVCAPS {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwDevType;
    DWORD dwAxes;
    DWORD dwButtons;
    DWORD dwPOVs;
};
inline constexpr DWORD DIDC_ATTACHED = 0x1;
inline constexpr DWORD DIDC_FORCEFEEDBACK = 0x100;

// Effect kinds; the periodic ones are the only ones offered.
inline constexpr GUID GUID_Sine{20};
inline constexpr GUID GUID_Triangle{21};
inline constexpr GUID GUID_SawtoothUp{22};
inline constexpr GUID GUID_SawtoothDown{23};
inline constexpr DWORD DIEFT_ALL = 0x0;
inline constexpr DWORD DIEFT_PERIODIC = 0x3;
inline constexpr BOOL DIENUM_STOP = 0;
inline constexpr BOOL DIENUM_CONTINUE = 1;

struct DIEFFECTINFOW {
    DWORD dwSize;
    GUID guid;
    DWORD dwEffType;
};
using LPDIENUMEFFECTSCALLBACKW = BOOL (*)(const DIEFFECTINFOW* effect, void* context);

struct DIPERIODIC {
    DWORD dwMagnitude; // 0..10,000; more is full strength
    LONG lOffset;
    DWORD dwPhase;
    DWORD dwPeriod; // microseconds
};
struct DIEFFECT {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwDuration; // microseconds; INFINITE runs until stopped
    DWORD dwSamplePeriod;
    DWORD dwGain;
    DWORD dwTriggerButton;
    DWORD dwTriggerRepeatInterval;
    DWORD cAxes;
    DWORD* rgdwAxes;
    LONG* rglDirection;
    void* lpEnvelope;
    DWORD cbTypeSpecificParams;
    void* lpvTypeSpecificParams;
    DWORD dwStartDelay;
};
inline constexpr DWORD DIEFF_OBJECTOFFSETS = 0x2;
inline constexpr DWORD DIEFF_CARTESIAN = 0x10;
inline constexpr DWORD DIEB_NOTRIGGER = 0xFFFFFFFFu;
inline constexpr DWORD DIJOFS_X = 0;
inline constexpr DWORD DIJOFS_Y = 4;
inline constexpr DWORD DI_FFNOMINALMAX = 10000;
inline constexpr DWORD INFINITE = 0xFFFFFFFFu;

struct IDirectInputEffect;

struct IDirectInputDevice8W {
    virtual ~IDirectInputDevice8W() = default;
    virtual HRESULT SetDataFormat(const DIDATAFORMAT* format) = 0;
    virtual HRESULT SetCooperativeLevel(HWND window, DWORD flags) = 0;
    virtual HRESULT SetProperty(REFGUID_PROP property, const DIPROPHEADER* header) = 0;
    virtual HRESULT Acquire() = 0;
    virtual HRESULT Unacquire() = 0;
    virtual HRESULT Poll() = 0;
    virtual HRESULT GetDeviceState(DWORD size, void* data) = 0;
    virtual HRESULT GetCapabilities(DIDEVCAPS* caps) = 0;
    // Reports the effects of `type` the device can play, until the callback stops.
    virtual HRESULT EnumEffects(LPDIENUMEFFECTSCALLBACKW callback, void* context, DWORD type) = 0;
    virtual HRESULT CreateEffect(REFGUID kind, const DIEFFECT* parameters,
                                 IDirectInputEffect** effect, void* outer) = 0;
    virtual uint32_t Release() = 0;
};

// An effect keeps what it plays on alive, so it may outlive its device.
struct IDirectInputEffect {
    virtual ~IDirectInputEffect() = default;
    virtual HRESULT Start(DWORD iterations, DWORD flags) = 0;
    virtual HRESULT Stop() = 0;
    virtual uint32_t Release() = 0;
};

struct IDirectInput8W {
    virtual ~IDirectInput8W() = default;
    virtual HRESULT CreateDevice(REFGUID guid, IDirectInputDevice8W** device, void* outer) = 0;
    virtual uint32_t Release() = 0;
};

HRESULT DirectInput8Create(HINSTANCE instance, DWORD version, REFGUID iid, void** out, void* outer);

// DIK key codes the engine names; the rest follow the same PC set-1 numbering.
inline constexpr int DIK_ESCAPE = 0x01;
inline constexpr int DIK_1 = 0x02;
inline constexpr int DIK_A = 0x1E;
inline constexpr int DIK_Z = 0x2C;
inline constexpr int DIK_LCONTROL = 0x1D;
inline constexpr int DIK_LSHIFT = 0x2A;
inline constexpr int DIK_RETURN = 0x1C;
inline constexpr int DIK_SPACE = 0x39;
inline constexpr int DIK_UP = 0xC8;
inline constexpr int DIK_LEFT = 0xCB;
inline constexpr int DIK_RIGHT = 0xCD;
inline constexpr int DIK_DOWN = 0xD0;

namespace dinput {
// The DIK code of an SDL scancode, 0 for keys DirectInput has no code for.
int dikFromScancode(int scancode);
} // namespace dinput
