// SPDX-License-Identifier: MIT
// The input record driven by SDL events, exactly as the window layer's loop
// would receive them: pushing an event is enough for the devices to see it.
#include "core/UserInput.h"
#include "support/WinTestDriver.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/FrameTimer.h"
#include "core/Log.h"
#include "core/Report.h"
#include "win/Win.h"

namespace {

void pushKey(SDL_Scancode scancode, bool down) {
    SDL_Event event{};
    event.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    event.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    event.key.keysym.scancode = scancode;
    event.key.keysym.sym = SDL_GetKeyFromScancode(scancode);
    SDL_PushEvent(&event);
}

void pushButton(int sdlButton, bool down) {
    SDL_Event event{};
    event.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
    event.button.button = Uint8(sdlButton);
    event.button.state = down ? SDL_PRESSED : SDL_RELEASED;
    SDL_PushEvent(&event);
}

void pushMotion(int dx, int dy) {
    SDL_Event event{};
    event.type = SDL_MOUSEMOTION;
    event.motion.xrel = dx;
    event.motion.yrel = dy;
    SDL_PushEvent(&event);
}

void pushWheel(int y, bool flipped = false) {
    SDL_Event event{};
    event.type = SDL_MOUSEWHEEL;
    event.wheel.y = y;
    event.wheel.direction = flipped ? SDL_MOUSEWHEEL_FLIPPED : SDL_MOUSEWHEEL_NORMAL;
    SDL_PushEvent(&event);
}

// A fresh record per test (the process-wide one keeps state between tests),
// initialised with the log captured.
class UserInputTest : public ::testing::Test {
protected:
    void SetUp() override {
        savedStep = currentFrameStep;
        input.init(nullptr, nullptr);
    }
    void TearDown() override {
        // Keys left down would leak into the next test through the shared mirror.
        for (int sc = SDL_SCANCODE_A; sc <= SDL_SCANCODE_RGUI; ++sc)
            pushKey(SDL_Scancode(sc), false);
        for (int b = 1; b <= 8; ++b) pushButton(b, false);
        input.update();
        input.release();
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
        currentFrameStep = savedStep;
    }
    void hold(SDL_Scancode sc) { pushKey(sc, true); }

    std::vector<std::u16string> lines;
    ScopedLogSink sink{[this](const String& line) { lines.emplace_back(line.text()); }};
    UserInput input;
    float savedStep = 1.0f;
};

TEST_F(UserInputTest, InitFindsKeyboardAndMouseButNoJoystick) {
    EXPECT_EQ(std::u16string(reportClass), u"UserInput");
    EXPECT_EQ(std::u16string(reportFunction), u"init");
    const std::vector<std::u16string> expected = {u"Keyboard Found: OK", u"Mouse Found:    OK",
                                                  u"Joystick Found:    FALSE"};
    EXPECT_EQ(lines, expected);
    EXPECT_EQ(input.keyboardFound, 1u);
    EXPECT_EQ(input.mouseFound, 1u);
    EXPECT_EQ(input.joystickFound, 0u);
    EXPECT_EQ(input.joystick, nullptr);

    // Without a joystick, update still refreshes keyboard and mouse and
    // leaves the joystick fields as they were.
    hold(SDL_SCANCODE_SPACE);
    pushMotion(3, 0);
    input.update();
    EXPECT_EQ(input.keyDown[DIK_SPACE], 1);
    EXPECT_EQ(input.mouseMoveX, 3.0f);
    EXPECT_EQ(input.lastJoyEvent, -1);
    EXPECT_EQ(input.hatUp | input.hatDown | input.hatLeft | input.hatRight, 0);
    for (float axis : input.joyAxes) EXPECT_EQ(axis, 0.0f);
}

TEST_F(UserInputTest, KeysAreHitOnceHeldThroughUpdatesAndReleased) {
    hold(SDL_SCANCODE_A);
    for (int update = 0; update < 3; ++update) {
        input.update();
        EXPECT_EQ(input.keyHit[DIK_A], update == 0 ? 1 : 0) << "update " << update;
        EXPECT_EQ(input.keyDown[DIK_A], 1) << "update " << update;
        EXPECT_EQ(input.lastKey, DIK_A);
    }
    pushKey(SDL_SCANCODE_A, false);
    input.update();
    EXPECT_EQ(input.keyDown[DIK_A], 0);
    EXPECT_EQ(input.keyHit[DIK_A], 0);
    EXPECT_EQ(input.lastKey, -1);

    // Pressed again after a release: a new hit.
    pushKey(SDL_SCANCODE_A, true);
    input.update();
    EXPECT_EQ(input.keyHit[DIK_A], 1);
}

TEST_F(UserInputTest, LastKeyIsTheHighestCodeDown) {
    hold(SDL_SCANCODE_Z); // 44
    hold(SDL_SCANCODE_A); // 30, pressed later
    input.update();
    EXPECT_EQ(input.lastKey, 44);
    pushKey(SDL_SCANCODE_Z, false);
    input.update();
    EXPECT_EQ(input.lastKey, 30);
}

TEST_F(UserInputTest, ArrowAxesJumpToTheLimitAndDecayWithTheFrameStep) {
    currentFrameStep = 0.1f;
    pushKey(SDL_SCANCODE_RIGHT, true);
    input.update();
    EXPECT_FLOAT_EQ(input.arrowX, 1.0f);
    input.update();
    EXPECT_FLOAT_EQ(input.arrowX, 1.0f); // held: stays at the limit
    pushKey(SDL_SCANCODE_RIGHT, false);
    input.update();
    EXPECT_FLOAT_EQ(input.arrowX, 0.95f);
    input.update();
    EXPECT_FLOAT_EQ(input.arrowX, 0.9025f);
    EXPECT_FLOAT_EQ(input.arrowY, 0.0f);

    // Left drives the same axis negative; up is positive y, down negative.
    hold(SDL_SCANCODE_LEFT);
    hold(SDL_SCANCODE_DOWN);
    input.update();
    EXPECT_FLOAT_EQ(input.arrowX, -1.0f);
    EXPECT_FLOAT_EQ(input.arrowY, -1.0f);
    pushKey(SDL_SCANCODE_DOWN, false);
    hold(SDL_SCANCODE_UP);
    input.update();
    EXPECT_FLOAT_EQ(input.arrowY, 1.0f);
}

TEST_F(UserInputTest, MouseMotionAccumulatesBetweenUpdatesOnly) {
    pushMotion(4, -2);
    pushMotion(6, -3);
    input.update();
    EXPECT_EQ(input.mouseMoveX, 10.0f);
    EXPECT_EQ(input.mouseMoveY, -5.0f);
    input.update();
    EXPECT_EQ(input.mouseMoveX, 0.0f);
    EXPECT_EQ(input.mouseMoveY, 0.0f);
}

TEST_F(UserInputTest, MouseButtonsUseDirectInputOrder) {
    pushButton(SDL_BUTTON_RIGHT, true);
    input.update();
    EXPECT_EQ(input.mouseDown[1], 1);
    EXPECT_EQ(input.mouseHit[1], 1);
    EXPECT_EQ(input.mouseDown[2], 0);
    EXPECT_EQ(input.lastMouseEvent, 1);

    pushButton(SDL_BUTTON_MIDDLE, true);
    pushButton(SDL_BUTTON_X2, true);
    input.update();
    EXPECT_EQ(input.mouseHit[1], 0); // still held
    EXPECT_EQ(input.mouseHit[2], 1);
    EXPECT_EQ(input.mouseDown[4], 1);
    EXPECT_EQ(input.lastMouseEvent, 4);

    pushButton(SDL_BUTTON_RIGHT, false);
    pushButton(SDL_BUTTON_MIDDLE, false);
    pushButton(SDL_BUTTON_X2, false);
    input.update();
    for (int b = 0; b < 8; ++b) EXPECT_EQ(input.mouseDown[b], 0) << b;
    EXPECT_EQ(input.lastMouseEvent, -1);
}

TEST_F(UserInputTest, WheelFlagsLastOneUpdate) {
    pushButton(SDL_BUTTON_LEFT, true);
    pushWheel(1);
    input.update();
    EXPECT_EQ(input.wheelUp, 1);
    EXPECT_EQ(input.wheelDown, 0);
    EXPECT_EQ(input.lastMouseEvent, 8); // the wheel outranks a button
    input.update();
    EXPECT_EQ(input.wheelUp, 0);
    EXPECT_EQ(input.wheelDown, 0);
    EXPECT_EQ(input.lastMouseEvent, 0);

    pushWheel(-2);
    input.update();
    EXPECT_EQ(input.wheelUp, 0);
    EXPECT_EQ(input.wheelDown, 1);
    EXPECT_EQ(input.lastMouseEvent, 9);

    // A "natural scrolling" device reports flipped; the turn it means counts.
    pushWheel(-1, true);
    input.update();
    EXPECT_EQ(input.wheelUp, 1);

    // Turns that cancel within one update leave no flag.
    pushWheel(1);
    pushWheel(-1);
    input.update();
    EXPECT_EQ(input.wheelUp | input.wheelDown, 0);
}

TEST_F(UserInputTest, UnacquiredDevicesAreReacquiredByUpdate) {
    input.keyboard->Unacquire();
    input.mouse->Unacquire();
    hold(SDL_SCANCODE_SPACE);
    pushButton(SDL_BUTTON_LEFT, true);
    pushMotion(9, 9); // relative motion while unacquired is not the program's
    input.update();
    EXPECT_EQ(input.keyDown[DIK_SPACE], 1);
    EXPECT_EQ(input.mouseDown[0], 1);
    EXPECT_EQ(input.mouseMoveX, 0.0f);
}

void pushFocus(bool gained) {
    SDL_Event event{};
    event.type = SDL_WINDOWEVENT;
    event.window.event = gained ? SDL_WINDOWEVENT_FOCUS_GAINED : SDL_WINDOWEVENT_FOCUS_LOST;
    SDL_PushEvent(&event);
}

TEST_F(UserInputTest, LosingFocusStopsUpdatesUntilFocusReturnsWithNothingHeld) {
    hold(SDL_SCANCODE_A);
    pushButton(SDL_BUTTON_LEFT, true);
    input.update();
    ASSERT_EQ(input.keyDown[DIK_A], 1);

    // The key is let go in another program: this one never sees the release.
    pushFocus(false);
    input.update();
    EXPECT_EQ(input.keyDown[DIK_A], 1); // the failed read ends the update
    EXPECT_EQ(input.mouseDown[0], 1);

    pushFocus(true);
    input.update();
    EXPECT_EQ(input.keyDown[DIK_A], 0);
    EXPECT_EQ(input.mouseDown[0], 0);
    hold(SDL_SCANCODE_A);
    input.update();
    EXPECT_EQ(input.keyHit[DIK_A], 1);
}

// A virtual joystick that SDL reports like a real one: six axes, 32 buttons
// and a hat, moved through a handle of its own.
class VirtualJoystick {
public:
    VirtualJoystick() {
        SDL_InitSubSystem(SDL_INIT_JOYSTICK);
        index_ = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, 6, 32, 1);
        if (index_ >= 0) handle_ = SDL_JoystickOpen(index_);
    }
    ~VirtualJoystick() {
        if (handle_) SDL_JoystickClose(handle_);
        if (index_ >= 0) SDL_JoystickDetachVirtual(index_);
        SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
    }
    bool ok() const { return handle_ != nullptr; }
    void axis(int i, Sint16 v) { SDL_JoystickSetVirtualAxis(handle_, i, v); }
    void button(int b, bool down) { SDL_JoystickSetVirtualButton(handle_, b, down ? 1 : 0); }
    void hat(Uint8 v) { SDL_JoystickSetVirtualHat(handle_, 0, v); }

private:
    int index_ = -1;
    SDL_Joystick* handle_ = nullptr;
};

TEST(UserInputJoystick, AxesHatAndButtonsOfAnAttachedJoystick) {
    VirtualJoystick stick;
    ASSERT_TRUE(stick.ok()) << SDL_GetError();
    std::vector<std::u16string> lines;
    ScopedLogSink sink{[&](const String& line) { lines.emplace_back(line.text()); }};
    UserInput input;
    input.init(nullptr, nullptr);
    ASSERT_EQ(input.joystickFound, 1u);
    EXPECT_EQ(lines.back(), u"Joystick Found:    OK");

    stick.axis(0, 32767);
    stick.axis(1, -32768);
    stick.axis(2, 0);
    stick.axis(3, 1000);   // 3 % of the travel: within the dead zone
    stick.axis(4, 30500);  // 93 %: beyond saturation
    stick.axis(5, -16384); // half way, scaled between the two bands
    stick.hat(SDL_HAT_RIGHT);
    input.update();
    EXPECT_NEAR(input.joyAxes[3], 0.0f, 1e-3f);
    EXPECT_NEAR(input.joyAxes[4], 1.0f, 1e-3f);
    EXPECT_NEAR(input.joyAxes[5], -(0.5f - 0.05f) / (0.9f - 0.05f), 1e-3f);
    EXPECT_NEAR(input.joyAxes[0], 1.0f, 1e-3f);
    EXPECT_NEAR(input.joyAxes[1], -1.0f, 1e-3f);
    EXPECT_NEAR(input.joyAxes[2], 0.0f, 1e-3f); // inside the dead zone: centred
    EXPECT_EQ(input.hatRight, 1);
    EXPECT_EQ(input.hatUp | input.hatDown | input.hatLeft, 0);
    EXPECT_EQ(input.lastJoyEvent, 33);

    // A diagonal sets no hat flag; a newly pressed button wins over the hat.
    stick.axis(0, 0);
    stick.hat(SDL_HAT_RIGHTUP);
    input.update();
    EXPECT_EQ(input.hatRight | input.hatUp | input.hatDown | input.hatLeft, 0);
    EXPECT_EQ(input.lastJoyEvent, -1);
    EXPECT_NEAR(input.joyAxesPrevious[0], 1.0f, 1e-3f);
    EXPECT_NEAR(input.joyAxes[0], 0.0f, 1e-3f);

    stick.hat(SDL_HAT_DOWN);
    stick.button(3, true);
    stick.button(31, true);
    input.update();
    EXPECT_EQ(input.hatDown, 1);
    EXPECT_EQ(input.lastJoyEvent, 31);
    EXPECT_EQ(input.joyDown[3], 1);
    EXPECT_EQ(input.joyDown[31], 1);

    // Held buttons are not new: the hat decides again.
    input.update();
    EXPECT_EQ(input.lastJoyEvent, 35);
    // SDL's virtual joysticks have no force feedback.
    EXPECT_EQ(input.rumbleTwoAxes, nullptr);
    EXPECT_EQ(input.rumbleOneAxis, nullptr);
    input.release();
    EXPECT_EQ(input.joystick, nullptr);
}

// A force-feedback joystick offering a triangle and a sine wave; it keeps
// what each CreateEffect asked for.
struct RumbleDevice final : IDirectInputDevice8W {
    struct Made {
        GUID kind;
        DIEFFECT effect;
        DIPERIODIC periodic;
        std::vector<DWORD> axes;
    };
    struct Effect final : IDirectInputEffect {
        HRESULT Start(DWORD, DWORD) override { return DI_OK; }
        HRESULT Stop() override { return DI_OK; }
        uint32_t Release() override {
            delete this;
            return 0;
        }
    };
    HRESULT SetDataFormat(const DIDATAFORMAT*) override { return DI_OK; }
    HRESULT SetCooperativeLevel(HWND, DWORD) override { return DI_OK; }
    HRESULT SetProperty(REFGUID_PROP, const DIPROPHEADER*) override { return DI_OK; }
    HRESULT Acquire() override { return DI_OK; }
    HRESULT Unacquire() override { return DI_OK; }
    HRESULT Poll() override { return DI_OK; }
    HRESULT GetDeviceState(DWORD, void*) override { return DI_OK; }
    HRESULT GetCapabilities(DIDEVCAPS* caps) override {
        caps->dwFlags = DIDC_ATTACHED | (forceFeedback ? DIDC_FORCEFEEDBACK : 0);
        return DI_OK;
    }
    HRESULT EnumEffects(LPDIENUMEFFECTSCALLBACKW callback, void* context, DWORD type) override {
        types.push_back(type);
        for (GUID kind : {GUID_Triangle, GUID_Sine}) {
            const DIEFFECTINFOW info{sizeof(DIEFFECTINFOW), kind, DIEFT_PERIODIC};
            if (callback(&info, context) == DIENUM_STOP) break;
        }
        return DI_OK;
    }
    HRESULT CreateEffect(REFGUID kind, const DIEFFECT* effect, IDirectInputEffect** out,
                         void*) override {
        made.push_back({kind, *effect,
                        *static_cast<const DIPERIODIC*>(effect->lpvTypeSpecificParams),
                        std::vector<DWORD>(effect->rgdwAxes, effect->rgdwAxes + effect->cAxes)});
        *out = new Effect;
        return DI_OK;
    }
    uint32_t Release() override { return 0; }
    bool forceFeedback = true;
    std::vector<DWORD> types;
    std::vector<Made> made;
};

TEST(UserInputRumble, TheFirstPeriodicEffectIsMadeOnTwoAxesAndOnOne) {
    RumbleDevice device;
    UserInput input;
    input.joystick = &device;
    input.createRumble();
    ASSERT_EQ(device.made.size(), 2u);
    EXPECT_EQ(device.types, std::vector<DWORD>{DIEFT_PERIODIC});
    EXPECT_EQ(device.made[0].axes, (std::vector<DWORD>{DIJOFS_X, DIJOFS_Y}));
    EXPECT_EQ(device.made[1].axes, std::vector<DWORD>{DIJOFS_X});
    for (const auto& made : device.made) {
        EXPECT_EQ(made.kind.data1, GUID_Triangle.data1); // the first one offered
        EXPECT_EQ(made.effect.dwDuration, 100000u);
        EXPECT_EQ(made.effect.dwGain, 0u);
        EXPECT_EQ(made.effect.dwTriggerButton, DIEB_NOTRIGGER);
        EXPECT_EQ(made.effect.dwFlags, DIEFF_CARTESIAN | DIEFF_OBJECTOFFSETS);
        EXPECT_EQ(made.periodic.dwMagnitude, 100000u);
        EXPECT_EQ(made.periodic.dwPeriod, 100000u);
    }
    EXPECT_NE(input.rumbleTwoAxes, nullptr);
    EXPECT_NE(input.rumbleOneAxis, nullptr);
    input.joystick = nullptr; // not ours to release
    input.release();
    EXPECT_EQ(input.rumbleTwoAxes, nullptr);

    RumbleDevice plain;
    plain.forceFeedback = false;
    UserInput other;
    other.joystick = &plain;
    other.createRumble();
    EXPECT_TRUE(plain.made.empty());
    other.joystick = nullptr;
}

// A keyboard that cannot be read even after re-acquiring.
struct DeadDevice final : IDirectInputDevice8W {
    HRESULT SetDataFormat(const DIDATAFORMAT*) override { return DI_OK; }
    HRESULT SetCooperativeLevel(HWND, DWORD) override { return DI_OK; }
    HRESULT SetProperty(REFGUID_PROP, const DIPROPHEADER*) override { return DI_OK; }
    HRESULT Acquire() override {
        ++acquires;
        return E_FAIL;
    }
    HRESULT Unacquire() override { return DI_OK; }
    HRESULT Poll() override { return DIERR_INPUTLOST; }
    HRESULT GetDeviceState(DWORD, void*) override {
        ++reads;
        return DIERR_INPUTLOST;
    }
    HRESULT GetCapabilities(DIDEVCAPS*) override { return DIERR_INPUTLOST; }
    HRESULT EnumEffects(LPDIENUMEFFECTSCALLBACKW, void*, DWORD) override { return DIERR_INPUTLOST; }
    HRESULT CreateEffect(REFGUID, const DIEFFECT*, IDirectInputEffect**, void*) override {
        return DIERR_INPUTLOST;
    }
    uint32_t Release() override { return 0; }
    int acquires = 0;
    int reads = 0;
};

TEST_F(UserInputTest, AnUnreadableKeyboardEndsTheUpdateBeforeTheMouse) {
    hold(SDL_SCANCODE_A);
    pushMotion(5, 5);
    input.update();
    ASSERT_EQ(input.keyDown[DIK_A], 1);

    DeadDevice dead;
    IDirectInputDevice8W* realKeyboard = input.keyboard;
    input.keyboard = &dead;
    pushMotion(7, 0);
    pushWheel(1);
    input.update();
    EXPECT_EQ(dead.reads, 2);
    EXPECT_EQ(dead.acquires, 1);
    EXPECT_EQ(input.keyDown[DIK_A], 1); // keyboard state kept
    EXPECT_EQ(input.mouseMoveX, 5.0f);  // mouse not read this time
    EXPECT_EQ(input.wheelUp, 0);

    // The same for the mouse: the keyboard is read, then the update stops.
    input.keyboard = realKeyboard;
    IDirectInputDevice8W* realMouse = input.mouse;
    input.mouse = &dead;
    pushKey(SDL_SCANCODE_A, false);
    input.update();
    EXPECT_EQ(input.keyDown[DIK_A], 0);
    EXPECT_EQ(input.mouseMoveX, 5.0f);
    input.mouse = realMouse;
    input.update();
    EXPECT_EQ(input.mouseMoveX, 7.0f); // motion waited for the next good read
    EXPECT_EQ(input.wheelUp, 1);
}

TEST_F(UserInputTest, ReleaseDropsEveryInterfaceAndInitWorksAgain) {
    hold(SDL_SCANCODE_A);
    input.update();
    input.release();
    EXPECT_EQ(input.directInput, nullptr);
    EXPECT_EQ(input.keyboard, nullptr);
    EXPECT_EQ(input.mouse, nullptr);
    EXPECT_EQ(input.joystick, nullptr);

    // Without devices an update changes nothing.
    pushKey(SDL_SCANCODE_A, false);
    input.update();
    EXPECT_EQ(input.keyDown[DIK_A], 1);

    // A new init starts from cleared key state.
    input.init(nullptr, nullptr);
    EXPECT_EQ(input.keyDown[DIK_A], 0);
    ASSERT_NE(input.keyboard, nullptr);
    input.update();
    EXPECT_EQ(input.keyDown[DIK_A], 0);
}

TEST_F(UserInputTest, KeysFromTheWindowLayersTestDriverArrive) {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    ASSERT_TRUE(win::init());
    win::test::keyDown(VK_RIGHT);
    input.update();
    EXPECT_EQ(input.keyDown[DIK_RIGHT], 1);
    win::test::keyUp(VK_RIGHT);
    input.update();
    EXPECT_EQ(input.keyDown[DIK_RIGHT], 0);

    // The window layer stopping and starting SDL again must not leave the
    // devices deaf.
    input.release();
    win::shutdown();
    ASSERT_TRUE(win::init());
    input.init(nullptr, nullptr);
    win::test::keyDown(VK_UP);
    input.update();
    EXPECT_EQ(input.keyDown[DIK_UP], 1);
    win::test::keyUp(VK_UP);
    win::shutdown();
}

} // namespace
