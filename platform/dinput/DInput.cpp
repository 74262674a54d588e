// SPDX-License-Identifier: MIT
// DirectInput 8 on SDL2. The window layer's loop owns the event queue, so an
// SDL event watch mirrors key, button, motion and wheel events into one
// process-wide record that the devices read; motion and wheel accumulate
// until a mouse read takes them, as DirectInput's relative axes do.
#include "dinput/DInput.h"

#include <SDL.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <memory>

#include "shared/StandInLog.h"
#include "sys/Unicode.h"

const DIDATAFORMAT c_dfDIKeyboard{sizeof(DIDATAFORMAT), 256};
const DIDATAFORMAT c_dfDIMouse2{sizeof(DIDATAFORMAT), sizeof(DIMOUSESTATE2)};
const DIDATAFORMAT c_dfDIJoystick{sizeof(DIDATAFORMAT), 80};

namespace {

struct Mirror {
    std::array<BYTE, 256> keys{};
    std::array<BYTE, 8> buttons{};
    LONG dx = 0, dy = 0, wheel = 0;
    // Headless windows never report focus, so the program starts focused.
    bool focused = true;
    uint32_t focusLosses = 0; // foreground devices acquired before a loss are lost
};
Mirror mirror;

// SDL numbers buttons left, middle, right, X1, X2; DirectInput left, right,
// middle, X1, X2.
int diButton(int sdlButton) {
    switch (sdlButton) {
    case SDL_BUTTON_LEFT: return 0;
    case SDL_BUTTON_RIGHT: return 1;
    case SDL_BUTTON_MIDDLE: return 2;
    default: return sdlButton >= 4 && sdlButton <= 8 ? sdlButton - 1 : -1;
    }
}

int SDLCALL watch(void*, SDL_Event* event) {
    switch (event->type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP:
        if (const int dik = dinput::dikFromScancode(event->key.keysym.scancode))
            mirror.keys[size_t(dik)] = event->type == SDL_KEYDOWN ? 0x80 : 0;
        break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
        if (const int b = diButton(event->button.button); b >= 0)
            mirror.buttons[size_t(b)] = event->type == SDL_MOUSEBUTTONDOWN ? 0x80 : 0;
        break;
    case SDL_WINDOWEVENT:
        if (event->window.event == SDL_WINDOWEVENT_FOCUS_LOST) {
            // Key and button releases now go to another program: forget
            // what was down rather than hold it forever.
            mirror.focused = false;
            ++mirror.focusLosses;
            mirror.keys.fill(0);
            mirror.buttons.fill(0);
            mirror.dx = mirror.dy = mirror.wheel = 0;
        } else if (event->window.event == SDL_WINDOWEVENT_FOCUS_GAINED) {
            mirror.focused = true;
        }
        break;
    case SDL_MOUSEMOTION:
        mirror.dx += event->motion.xrel;
        mirror.dy += event->motion.yrel;
        break;
    case SDL_MOUSEWHEEL: {
        const LONG y =
            event->wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -event->wheel.y : event->wheel.y;
        // One notch is WHEEL_DELTA (120) on the relative z axis.
        mirror.wheel += y * 120;
        break;
    }
    default: break;
    }
    return 0;
}

// SDL forgets its event watches when its event subsystem stops (the window
// layer's shutdown), so the watch is put back whenever a device starts.
bool startWatching() {
    if (!SDL_WasInit(SDL_INIT_EVENTS) && SDL_InitSubSystem(SDL_INIT_EVENTS) != 0) return false;
    SDL_DelEventWatch(watch, nullptr);
    SDL_AddEventWatch(watch, nullptr);
    return true;
}

class Device final : public IDirectInputDevice8W {
public:
    explicit Device(bool keyboard) : keyboard_(keyboard) {}

    HRESULT SetDataFormat(const DIDATAFORMAT* format) override {
        const DIDATAFORMAT* wanted = keyboard_ ? &c_dfDIKeyboard : &c_dfDIMouse2;
        if (!format || format->dwDataSize != wanted->dwDataSize) return DIERR_INVALIDPARAM;
        formatSet_ = true;
        return DI_OK;
    }
    HRESULT SetCooperativeLevel(HWND, DWORD flags) override {
        const DWORD share = flags & (DISCL_EXCLUSIVE | DISCL_NONEXCLUSIVE);
        const DWORD ground = flags & (DISCL_FOREGROUND | DISCL_BACKGROUND);
        if (share == 0 || share == (DISCL_EXCLUSIVE | DISCL_NONEXCLUSIVE) || ground == 0 ||
            ground == (DISCL_FOREGROUND | DISCL_BACKGROUND))
            return DIERR_INVALIDPARAM;
        foreground_ = ground == DISCL_FOREGROUND;
        return DI_OK;
    }
    HRESULT SetProperty(REFGUID_PROP property, const DIPROPHEADER* header) override {
        if (!header) return DIERR_INVALIDPARAM;
        // Events are mirrored as they come, so the buffer size bounds nothing.
        if (property == DIPROP_BUFFERSIZE) return DI_OK;
        return DIERR_UNSUPPORTED;
    }
    HRESULT Acquire() override {
        if (!formatSet_) return DIERR_INVALIDPARAM;
        if (!startWatching()) return E_FAIL;
        if (foreground_ && !mirror.focused) return DIERR_OTHERAPPHASPRIO;
        if (!acquired_ && !keyboard_) mirror.dx = mirror.dy = mirror.wheel = 0;
        acquired_ = true;
        focusLosses_ = mirror.focusLosses;
        return DI_OK;
    }
    HRESULT Unacquire() override {
        acquired_ = false;
        return DI_OK;
    }
    HRESULT Poll() override {
        if (!acquired_) return DIERR_NOTACQUIRED;
        if (foreground_ && focusLosses_ != mirror.focusLosses) {
            acquired_ = false;
            return DIERR_INPUTLOST;
        }
        return DI_OK;
    }
    HRESULT GetDeviceState(DWORD size, void* data) override {
        // A read fails as a poll would: not acquired, or the focus went.
        if (const HRESULT hr = Poll(); FAILED(hr)) return hr;
        if (!data) return DIERR_INVALIDPARAM;
        if (keyboard_) {
            if (size != 256) return DIERR_INVALIDPARAM;
            std::memcpy(data, mirror.keys.data(), 256);
            return DI_OK;
        }
        if (size != sizeof(DIMOUSESTATE2)) return DIERR_INVALIDPARAM;
        DIMOUSESTATE2 state{};
        state.lX = mirror.dx;
        state.lY = mirror.dy;
        state.lZ = mirror.wheel;
        std::memcpy(state.rgbButtons, mirror.buttons.data(), 8);
        mirror.dx = mirror.dy = mirror.wheel = 0;
        std::memcpy(data, &state, sizeof state);
        return DI_OK;
    }
    HRESULT GetCapabilities(DIDEVCAPS* caps) override {
        if (!caps || caps->dwSize != sizeof(DIDEVCAPS)) return DIERR_INVALIDPARAM;
        caps->dwFlags = DIDC_ATTACHED;
        caps->dwAxes = keyboard_ ? 0 : 3;
        caps->dwButtons = keyboard_ ? 256 : 8;
        caps->dwPOVs = 0;
        return DI_OK;
    }
    HRESULT EnumEffects(LPDIENUMEFFECTSCALLBACKW callback, void*, DWORD) override {
        return callback ? DI_OK : DIERR_INVALIDPARAM;
    }
    HRESULT CreateEffect(REFGUID, const DIEFFECT*, IDirectInputEffect** effect, void*) override {
        if (effect) *effect = nullptr;
        return DIERR_UNSUPPORTED;
    }
    uint32_t Release() override {
        delete this;
        return 0;
    }

private:
    bool keyboard_;
    bool formatSet_ = false;
    bool acquired_ = false;
    bool foreground_ = false;
    uint32_t focusLosses_ = 0;
};

// The first SDL joystick. Axes are scaled to the range property with the
// dead zone and saturation applied (both in 1/10,000 of half the travel).
class JoystickDevice final : public IDirectInputDevice8W {
public:
    explicit JoystickDevice(SDL_Joystick* joystick) : joystick_(joystick) { openHaptic(); }
    ~JoystickDevice() override {
        haptic_.reset(); // effects still alive keep their own reference
        SDL_JoystickClose(joystick_);
    }

    HRESULT SetDataFormat(const DIDATAFORMAT* format) override {
        if (!format || format->dwDataSize != c_dfDIJoystick.dwDataSize) return DIERR_INVALIDPARAM;
        formatSet_ = true;
        return DI_OK;
    }
    HRESULT SetCooperativeLevel(HWND, DWORD flags) override {
        return flags & (DISCL_EXCLUSIVE | DISCL_NONEXCLUSIVE) ? DI_OK : DIERR_INVALIDPARAM;
    }
    HRESULT SetProperty(REFGUID_PROP property, const DIPROPHEADER* header) override {
        if (!header) return DIERR_INVALIDPARAM;
        if (property == DIPROP_RANGE) {
            const auto* range = reinterpret_cast<const DIPROPRANGE*>(header);
            if (range->lMin >= range->lMax) return DIERR_INVALIDPARAM;
            min_ = range->lMin;
            max_ = range->lMax;
            return DI_OK;
        }
        const DWORD value = reinterpret_cast<const DIPROPDWORD*>(header)->dwData;
        if ((property == DIPROP_DEADZONE || property == DIPROP_SATURATION) && value > 10000)
            return DIERR_INVALIDPARAM;
        if (property == DIPROP_DEADZONE)
            deadZone_ = value;
        else if (property == DIPROP_SATURATION)
            saturation_ = value;
        else if (property != DIPROP_BUFFERSIZE)
            return DIERR_UNSUPPORTED;
        return DI_OK;
    }
    HRESULT Acquire() override {
        if (!formatSet_) return DIERR_INVALIDPARAM;
        acquired_ = SDL_JoystickGetAttached(joystick_) == SDL_TRUE;
        return acquired_ ? DI_OK : DIERR_INPUTLOST;
    }
    HRESULT Unacquire() override {
        acquired_ = false;
        return DI_OK;
    }
    HRESULT Poll() override {
        if (!acquired_) return DIERR_NOTACQUIRED;
        SDL_JoystickUpdate();
        if (!SDL_JoystickGetAttached(joystick_)) {
            acquired_ = false;
            return DIERR_INPUTLOST;
        }
        return DI_OK;
    }
    HRESULT GetDeviceState(DWORD size, void* data) override {
        if (!acquired_) return DIERR_NOTACQUIRED;
        if (!data || size != sizeof(DIJOYSTATE)) return DIERR_INVALIDPARAM;
        DIJOYSTATE state{};
        LONG* axes[6] = {&state.lX, &state.lY, &state.lZ, &state.lRx, &state.lRy, &state.lRz};
        const int axisCount = SDL_JoystickNumAxes(joystick_);
        for (int i = 0; i < 6; ++i)
            *axes[i] = scale(i < axisCount ? SDL_JoystickGetAxis(joystick_, i) : 0);
        for (DWORD& pov : state.rgdwPOV) pov = 0xFFFFFFFFu;
        if (SDL_JoystickNumHats(joystick_) > 0)
            state.rgdwPOV[0] = pov(SDL_JoystickGetHat(joystick_, 0));
        const int buttons = std::min(SDL_JoystickNumButtons(joystick_), 32);
        for (int b = 0; b < buttons; ++b)
            state.rgbButtons[b] = SDL_JoystickGetButton(joystick_, b) ? 0x80 : 0;
        std::memcpy(data, &state, sizeof state);
        return DI_OK;
    }
    HRESULT GetCapabilities(DIDEVCAPS* caps) override {
        if (!caps || caps->dwSize != sizeof(DIDEVCAPS)) return DIERR_INVALIDPARAM;
        caps->dwFlags = SDL_JoystickGetAttached(joystick_) ? DIDC_ATTACHED : 0;
        if (periodicKinds() != 0) caps->dwFlags |= DIDC_FORCEFEEDBACK;
        caps->dwAxes = DWORD(std::max(SDL_JoystickNumAxes(joystick_), 0));
        caps->dwButtons = DWORD(std::max(SDL_JoystickNumButtons(joystick_), 0));
        caps->dwPOVs = DWORD(std::max(SDL_JoystickNumHats(joystick_), 0));
        return DI_OK;
    }
    HRESULT EnumEffects(LPDIENUMEFFECTSCALLBACKW callback, void* context, DWORD type) override {
        if (!callback) return DIERR_INVALIDPARAM;
        if (type != DIEFT_ALL && type != DIEFT_PERIODIC) return DI_OK;
        const unsigned supported = periodicKinds();
        for (const PeriodicKind& kind : kPeriodicKinds) {
            if (!(supported & kind.sdlType)) continue;
            const DIEFFECTINFOW info{sizeof(DIEFFECTINFOW), kind.guid, DIEFT_PERIODIC};
            if (callback(&info, context) == DIENUM_STOP) break;
        }
        return DI_OK;
    }
    HRESULT CreateEffect(REFGUID kind, const DIEFFECT* parameters, IDirectInputEffect** effect,
                         void*) override;
    uint32_t Release() override {
        delete this;
        return 0;
    }

private:
    LONG scale(Sint16 raw) const {
        // -1..1 around the centre, then the dead zone and saturation bands.
        double t = (double(raw) + 32768.0) / 65535.0 * 2.0 - 1.0;
        const double dead = deadZone_ / 10000.0, full = std::max(saturation_ / 10000.0, dead);
        const double a = std::abs(t);
        if (a <= dead)
            t = 0.0;
        else if (a >= full)
            t = t < 0 ? -1.0 : 1.0;
        else
            t = (t < 0 ? -1.0 : 1.0) * (a - dead) / (full - dead);
        return LONG(std::lround(min_ + (t + 1.0) / 2.0 * (double(max_) - min_)));
    }
    static DWORD pov(Uint8 hat) {
        switch (hat) {
        case SDL_HAT_UP: return 0;
        case SDL_HAT_RIGHTUP: return 4500;
        case SDL_HAT_RIGHT: return 9000;
        case SDL_HAT_RIGHTDOWN: return 13500;
        case SDL_HAT_DOWN: return 18000;
        case SDL_HAT_LEFTDOWN: return 22500;
        case SDL_HAT_LEFT: return 27000;
        case SDL_HAT_LEFTUP: return 31500;
        default: return 0xFFFFFFFFu;
        }
    }

    struct PeriodicKind {
        GUID guid;
        unsigned sdlType;
    };
    static constexpr PeriodicKind kPeriodicKinds[] = {
        {GUID_Sine, SDL_HAPTIC_SINE},
        {GUID_Triangle, SDL_HAPTIC_TRIANGLE},
        {GUID_SawtoothUp, SDL_HAPTIC_SAWTOOTHUP},
        {GUID_SawtoothDown, SDL_HAPTIC_SAWTOOTHDOWN},
    };

    void openHaptic() {
        if (SDL_JoystickIsHaptic(joystick_) != SDL_TRUE) return;
        if (!SDL_WasInit(SDL_INIT_HAPTIC) && SDL_InitSubSystem(SDL_INIT_HAPTIC) != 0) {
            standin::logOnce(
                u"DirectInput: no force feedback (SDL haptic support failed to start)");
            return;
        }
        if (SDL_Haptic* haptic = SDL_HapticOpenFromJoystick(joystick_))
            haptic_ = std::shared_ptr<SDL_Haptic>(haptic, SDL_HapticClose);
    }
    unsigned periodicKinds() const {
        if (!haptic_) return 0;
        const unsigned all =
            SDL_HAPTIC_SINE | SDL_HAPTIC_TRIANGLE | SDL_HAPTIC_SAWTOOTHUP | SDL_HAPTIC_SAWTOOTHDOWN;
        return SDL_HapticQuery(haptic_.get()) & all;
    }

    SDL_Joystick* joystick_;
    std::shared_ptr<SDL_Haptic> haptic_; // null without force feedback
    bool formatSet_ = false;
    bool acquired_ = false;
    LONG min_ = 0, max_ = 65535;
    DWORD deadZone_ = 0, saturation_ = 10000;
};

// One uploaded SDL haptic effect; it plays only when started.
class HapticEffect final : public IDirectInputEffect {
public:
    HapticEffect(std::shared_ptr<SDL_Haptic> haptic, int id)
        : haptic_(std::move(haptic)), id_(id) {}
    ~HapticEffect() override { SDL_HapticDestroyEffect(haptic_.get(), id_); }
    HRESULT Start(DWORD iterations, DWORD) override {
        const Uint32 times = iterations == INFINITE ? SDL_HAPTIC_INFINITY : Uint32(iterations);
        return SDL_HapticRunEffect(haptic_.get(), id_, times) == 0 ? DI_OK : DIERR_INPUTLOST;
    }
    HRESULT Stop() override {
        return SDL_HapticStopEffect(haptic_.get(), id_) == 0 ? DI_OK : DIERR_INPUTLOST;
    }
    uint32_t Release() override {
        delete this;
        return 0;
    }

private:
    std::shared_ptr<SDL_Haptic> haptic_;
    int id_;
};

HRESULT JoystickDevice::CreateEffect(REFGUID kind, const DIEFFECT* parameters,
                                     IDirectInputEffect** effect, void*) {
    if (!effect) return DIERR_INVALIDPARAM;
    *effect = nullptr;
    if (!parameters || parameters->dwSize != sizeof(DIEFFECT)) return DIERR_INVALIDPARAM;
    const auto found =
        std::find_if(std::begin(kPeriodicKinds), std::end(kPeriodicKinds),
                     [&kind](const PeriodicKind& k) { return k.guid.data1 == kind.data1; });
    if (found == std::end(kPeriodicKinds) || !(periodicKinds() & found->sdlType))
        return DIERR_UNSUPPORTED;
    if (parameters->cbTypeSpecificParams != sizeof(DIPERIODIC) ||
        !parameters->lpvTypeSpecificParams)
        return DIERR_INVALIDPARAM;
    const auto& periodic = *static_cast<const DIPERIODIC*>(parameters->lpvTypeSpecificParams);
    // DirectInput counts microseconds and 0..10,000 of strength; SDL counts
    // milliseconds and 0..32,767.
    const auto ms = [](DWORD us) {
        return us == INFINITE ? SDL_HAPTIC_INFINITY : Uint32(us / 1000);
    };
    SDL_HapticEffect sdl{};
    sdl.type = Uint16(found->sdlType);
    SDL_HapticPeriodic& p = sdl.periodic;
    p.direction.type = SDL_HAPTIC_CARTESIAN;
    for (DWORD axis = 0; axis < std::min<DWORD>(parameters->cAxes, 3); ++axis)
        p.direction.dir[axis] =
            parameters->rglDirection ? Sint32(parameters->rglDirection[axis]) : 0;
    p.length = ms(parameters->dwDuration);
    p.delay = Uint16(std::min<DWORD>(parameters->dwStartDelay / 1000, 0xFFFF));
    p.period = Uint16(std::min<DWORD>(std::max<DWORD>(periodic.dwPeriod / 1000, 1), 0xFFFF));
    p.magnitude =
        Sint16(std::min<DWORD>(periodic.dwMagnitude, DI_FFNOMINALMAX) * 32767 / DI_FFNOMINALMAX);
    p.offset = Sint16(std::clamp<LONG>(periodic.lOffset, -10000, 10000) * 32767 / 10000);
    p.phase = Uint16(std::min<DWORD>(periodic.dwPhase, 35999));
    const int id = SDL_HapticNewEffect(haptic_.get(), &sdl);
    if (id < 0) {
        standin::logOnce(u"DirectInput: force-feedback effect refused: " +
                         sys::utf8ToUtf16(SDL_GetError()));
        return DIERR_UNSUPPORTED;
    }
    *effect = new HapticEffect(haptic_, id);
    return DI_OK;
}

class DirectInput final : public IDirectInput8W {
public:
    HRESULT CreateDevice(REFGUID guid, IDirectInputDevice8W** device, void*) override {
        if (!device) return DIERR_INVALIDPARAM;
        *device = nullptr;
        if (guid.data1 == GUID_SysKeyboard.data1 || guid.data1 == GUID_SysMouse.data1) {
            *device = new Device(guid.data1 == GUID_SysKeyboard.data1);
            return DI_OK;
        }
        if (guid.data1 != GUID_Joystick.data1) return DIERR_DEVICENOTREG;
        if (!SDL_WasInit(SDL_INIT_JOYSTICK) && SDL_InitSubSystem(SDL_INIT_JOYSTICK) != 0) {
            standin::logOnce(u"DirectInput: no joystick (SDL joystick support failed to start)");
            return DIERR_DEVICENOTREG;
        }
        SDL_Joystick* joystick = SDL_NumJoysticks() > 0 ? SDL_JoystickOpen(0) : nullptr;
        if (!joystick) return DIERR_DEVICENOTREG;
        *device = new JoystickDevice(joystick);
        return DI_OK;
    }
    uint32_t Release() override {
        delete this;
        return 0;
    }
};

} // namespace

HRESULT DirectInput8Create(HINSTANCE, DWORD version, REFGUID iid, void** out, void*) {
    if (!out) return DIERR_INVALIDPARAM;
    *out = nullptr;
    if (version != DIRECTINPUT_VERSION || iid.data1 != IID_IDirectInput8W.data1)
        return DIERR_INVALIDPARAM;
    if (!startWatching()) return E_FAIL;
    *out = static_cast<IDirectInput8W*>(new DirectInput);
    return DI_OK;
}

namespace dinput {

int dikFromScancode(int scancode) {
    // By physical position: the PC set-1 code of the key at that place.
    static const std::array<uint8_t, SDL_NUM_SCANCODES> table = [] {
        std::array<uint8_t, SDL_NUM_SCANCODES> t{};
        const uint8_t letters[26] = {0x1E, 0x30, 0x2E, 0x20, 0x12, 0x21, 0x22, 0x23, 0x17,
                                     0x24, 0x25, 0x26, 0x32, 0x31, 0x18, 0x19, 0x10, 0x13,
                                     0x1F, 0x14, 0x16, 0x2F, 0x11, 0x2D, 0x15, 0x2C};
        for (int i = 0; i < 26; ++i) t[SDL_SCANCODE_A + i] = letters[i];
        for (int i = 0; i < 10; ++i) t[SDL_SCANCODE_1 + i] = uint8_t(0x02 + i); // 1..9, 0
        const std::pair<int, uint8_t> rest[] = {
            {SDL_SCANCODE_RETURN, 0x1C},
            {SDL_SCANCODE_ESCAPE, 0x01},
            {SDL_SCANCODE_BACKSPACE, 0x0E},
            {SDL_SCANCODE_TAB, 0x0F},
            {SDL_SCANCODE_SPACE, 0x39},
            {SDL_SCANCODE_MINUS, 0x0C},
            {SDL_SCANCODE_EQUALS, 0x0D},
            {SDL_SCANCODE_LEFTBRACKET, 0x1A},
            {SDL_SCANCODE_RIGHTBRACKET, 0x1B},
            {SDL_SCANCODE_BACKSLASH, 0x2B},
            {SDL_SCANCODE_NONUSHASH, 0x2B},
            {SDL_SCANCODE_SEMICOLON, 0x27},
            {SDL_SCANCODE_APOSTROPHE, 0x28},
            {SDL_SCANCODE_GRAVE, 0x29},
            {SDL_SCANCODE_COMMA, 0x33},
            {SDL_SCANCODE_PERIOD, 0x34},
            {SDL_SCANCODE_SLASH, 0x35},
            {SDL_SCANCODE_CAPSLOCK, 0x3A},
            {SDL_SCANCODE_F1, 0x3B},
            {SDL_SCANCODE_F2, 0x3C},
            {SDL_SCANCODE_F3, 0x3D},
            {SDL_SCANCODE_F4, 0x3E},
            {SDL_SCANCODE_F5, 0x3F},
            {SDL_SCANCODE_F6, 0x40},
            {SDL_SCANCODE_F7, 0x41},
            {SDL_SCANCODE_F8, 0x42},
            {SDL_SCANCODE_F9, 0x43},
            {SDL_SCANCODE_F10, 0x44},
            {SDL_SCANCODE_F11, 0x57},
            {SDL_SCANCODE_F12, 0x58},
            {SDL_SCANCODE_PRINTSCREEN, 0xB7},
            {SDL_SCANCODE_SCROLLLOCK, 0x46},
            {SDL_SCANCODE_PAUSE, 0xC5},
            {SDL_SCANCODE_INSERT, 0xD2},
            {SDL_SCANCODE_HOME, 0xC7},
            {SDL_SCANCODE_PAGEUP, 0xC9},
            {SDL_SCANCODE_DELETE, 0xD3},
            {SDL_SCANCODE_END, 0xCF},
            {SDL_SCANCODE_PAGEDOWN, 0xD1},
            {SDL_SCANCODE_RIGHT, 0xCD},
            {SDL_SCANCODE_LEFT, 0xCB},
            {SDL_SCANCODE_DOWN, 0xD0},
            {SDL_SCANCODE_UP, 0xC8},
            {SDL_SCANCODE_NUMLOCKCLEAR, 0x45},
            {SDL_SCANCODE_KP_DIVIDE, 0xB5},
            {SDL_SCANCODE_KP_MULTIPLY, 0x37},
            {SDL_SCANCODE_KP_MINUS, 0x4A},
            {SDL_SCANCODE_KP_PLUS, 0x4E},
            {SDL_SCANCODE_KP_ENTER, 0x9C},
            {SDL_SCANCODE_KP_1, 0x4F},
            {SDL_SCANCODE_KP_2, 0x50},
            {SDL_SCANCODE_KP_3, 0x51},
            {SDL_SCANCODE_KP_4, 0x4B},
            {SDL_SCANCODE_KP_5, 0x4C},
            {SDL_SCANCODE_KP_6, 0x4D},
            {SDL_SCANCODE_KP_7, 0x47},
            {SDL_SCANCODE_KP_8, 0x48},
            {SDL_SCANCODE_KP_9, 0x49},
            {SDL_SCANCODE_KP_0, 0x52},
            {SDL_SCANCODE_KP_PERIOD, 0x53},
            {SDL_SCANCODE_NONUSBACKSLASH, 0x56},
            {SDL_SCANCODE_APPLICATION, 0xDD},
            {SDL_SCANCODE_LCTRL, 0x1D},
            {SDL_SCANCODE_LSHIFT, 0x2A},
            {SDL_SCANCODE_LALT, 0x38},
            {SDL_SCANCODE_LGUI, 0xDB},
            {SDL_SCANCODE_RCTRL, 0x9D},
            {SDL_SCANCODE_RSHIFT, 0x36},
            {SDL_SCANCODE_RALT, 0xB8},
            {SDL_SCANCODE_RGUI, 0xDC},
        };
        for (const auto& [sc, dik] : rest) t[size_t(sc)] = dik;
        return t;
    }();
    return scancode > 0 && scancode < SDL_NUM_SCANCODES ? table[size_t(scancode)] : 0;
}

} // namespace dinput
