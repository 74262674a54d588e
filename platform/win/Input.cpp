// SPDX-License-Identifier: MIT
// Routing SDL input the way the platform routes it in a dialog:
//  - a left press on a button or edit captures the mouse for it; releasing
//    inside clicks it, and the dialog hears nothing;
//  - over statics, group boxes and empty space the dialog gets WM_*BUTTON*
//    and WM_MOUSEMOVE in client coordinates, and keeps them (an implicit
//    capture) until every button is up, so drags end where they started;
//  - keys are the dialog manager's: Escape, Enter, Tab, space and arrows;
//  - a window with an overlay passes everything to its ImGui context.
// Key state is kept from the events handled (GetKeyState) and joined with
// SDL's live state (GetAsyncKeyState), so keys a test pushes count too.
#include "win/Input.h"

#include <SDL.h>

#include "sys/Unicode.h"
#include "win/Canvas.h"
#include "win/Controls.h"
#include "win/Dialog.h"
#include "win/WinInternal.h"

namespace win::input {
namespace {

bool keyDown[256] = {};
bool keyToggled[256] = {};
POINT cursor{};
HWND capture = nullptr; // a control (left button) or a dialog (any buttons)
int captureButtons = 0;
HWND hotControl = nullptr;
int cursorCount = 0;

constexpr int VK_XBUTTON1 = 0x05, VK_XBUTTON2 = 0x06;
constexpr int VK_LSHIFT = 0xA0, VK_RSHIFT = 0xA1, VK_LCONTROL = 0xA2, VK_RCONTROL = 0xA3,
              VK_LMENU = 0xA4, VK_RMENU = 0xA5, VK_LWIN = 0x5B, VK_RWIN = 0x5C;

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

void noteKey(int vk, bool down) {
    if (vk <= 0 || vk > 255) return;
    if (down && !keyDown[vk]) keyToggled[vk] = !keyToggled[vk];
    keyDown[vk] = down;
    // The side-less keys follow either side.
    keyDown[VK_SHIFT] = keyDown[VK_LSHIFT] || keyDown[VK_RSHIFT];
    keyDown[VK_CONTROL] = keyDown[VK_LCONTROL] || keyDown[VK_RCONTROL];
    keyDown[VK_MENU] = keyDown[VK_LMENU] || keyDown[VK_RMENU];
}

int buttonIndex(int sdlButton) {
    switch (sdlButton) {
    case SDL_BUTTON_LEFT:
        return 0;
    case SDL_BUTTON_RIGHT:
        return 1;
    case SDL_BUTTON_MIDDLE:
        return 2;
    case SDL_BUTTON_X1:
        return 3;
    case SDL_BUTTON_X2:
        return 4;
    default:
        return -1;
    }
}

int buttonVirtualKey(int index) {
    constexpr int keys[] = {VK_LBUTTON, VK_RBUTTON, VK_MBUTTON, VK_XBUTTON1, VK_XBUTTON2};
    return index >= 0 ? keys[index] : 0;
}

HWND hostByWindowId(uint32_t id) {
    for (HWND window : liveWindows())
        if (window->top && window->top->windowId == id) return window;
    return nullptr;
}

// Input for a window that some modal window has disabled brings that
// window forward instead, as clicking a blocked owner does.
void raiseModalChild(HWND host) {
    for (HWND window : liveWindows()) {
        WindowObject* w = object(window);
        if (w && w->top && w != host && w->visible && w->enabled && hostOf(w->owner) == host) {
            SDL_RaiseWindow(w->top->window);
            setForeground(activeDialog(window));
            return;
        }
    }
}

void touchOverlay(TopLevel& top) {
    top.overlayFrames = 3; // ImGui settles over a frame or two after input
    top.dirty = true;
}

void setHot(HWND control) {
    if (hotControl == control) return;
    if (WindowObject* old = object(hotControl)) {
        old->hot = false;
        invalidate(old);
    }
    hotControl = control;
    if (WindowObject* now = object(control)) {
        now->hot = true;
        invalidate(now);
    }
}

POINT localPoint(HWND dialog, int x, int y) {
    const POINT origin = hostOrigin(dialog);
    return POINT{x - origin.x, y - origin.y};
}

bool insideClient(const WindowObject& window, POINT p) {
    return p.x >= 0 && p.y >= 0 && p.x < window.rect.right - window.rect.left &&
           p.y < window.rect.bottom - window.rect.top;
}

bool insideRect(const RECT& r, POINT p) {
    return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
}

void sendMouse(HWND dialog, UINT message, POINT local) {
    SendMessageW(dialog, message, mouseKeyFlags(), MAKELPARAM(local.x, local.y));
}

UINT buttonMessage(int index, bool down, int clicks) {
    // Pairs of clicks make double clicks: down, up, double click, up.
    const bool twice = down && clicks >= 2 && clicks % 2 == 0;
    switch (index) {
    case 0:
        return down ? (twice ? WM_LBUTTONDBLCLK : WM_LBUTTONDOWN) : WM_LBUTTONUP;
    case 1:
        return down ? (twice ? WM_RBUTTONDBLCLK : WM_RBUTTONDOWN) : WM_RBUTTONUP;
    case 2:
        return down ? WM_MBUTTONDOWN : WM_MBUTTONUP;
    default:
        return 0;
    }
}

void trackCursor(HWND host, int x, int y) {
    int left = 0, top = 0;
    SDL_GetWindowPosition(host->top->window, &left, &top);
    cursor = POINT{left + x, top + y};
}

void mouseButton(const SDL_MouseButtonEvent& e, bool down) {
    HWND host = hostByWindowId(e.windowID);
    const int index = buttonIndex(e.button);
    noteKey(buttonVirtualKey(index), down);
    if (!host || index < 0) return;
    trackCursor(host, e.x, e.y);
    TopLevel& top = *host->top;
    if (top.overlay) {
        top.input.mouseX = float(e.x);
        top.input.mouseY = float(e.y);
        top.input.mouseHeld[index] = down;
        if (down) top.input.mousePressed[index] = true;
        touchOverlay(top);
        return;
    }
    const UINT message = buttonMessage(index, down, e.clicks);
    HWND dialog = activeDialog(host);
    WindowObject* d = object(dialog);

    if (down) {
        if (!d->enabled) {
            raiseModalChild(host);
            return;
        }
        if (WindowObject* held = object(capture)) {
            // Another button while one is held goes where the first went.
            if (held->kind == WindowKind::Dialog && message) {
                captureButtons |= 1 << index;
                sendMouse(capture, message, localPoint(capture, e.x, e.y));
            }
            return;
        }
        const POINT local = localPoint(dialog, e.x, e.y);
        if (d->parent && !insideClient(*d, local)) return; // beside a message box in its owner
        if (HWND control = hitTest(dialog, local)) {
            if (index == 0 && control->enabled) {
                capture = control;
                captureButtons = 1;
                control->pressed = true;
                if (takesFocus(*control)) SetFocus(control);
                invalidate(control);
            }
            return; // buttons and edits take their clicks
        }
        setForeground(dialog);
        if (!message) return;
        capture = dialog;
        captureButtons |= 1 << index;
        sendMouse(dialog, message, local);
        return;
    }

    if (WindowObject* held = object(capture); held && held->kind == WindowKind::Control) {
        if (index != 0) return;
        capture = nullptr;
        captureButtons = 0;
        held->pressed = false;
        invalidate(held);
        const POINT local = localPoint(held->parent, e.x, e.y);
        if (insideRect(held->rect, local)) activateControl(held);
        return;
    }
    HWND target = object(capture) ? capture : dialog;
    const POINT local = localPoint(target, e.x, e.y);
    if (!object(capture)) {
        // A release with no press seen here counts only where a press would have.
        if (!d->enabled || hitTest(dialog, local) || (d->parent && !insideClient(*d, local)))
            return;
    }
    captureButtons &= ~(1 << index);
    if (captureButtons == 0) capture = nullptr;
    if (message && object(target)) sendMouse(target, message, local);
}

void mouseMotion(const SDL_MouseMotionEvent& e) {
    HWND host = hostByWindowId(e.windowID);
    if (!host) return;
    trackCursor(host, e.x, e.y);
    TopLevel& top = *host->top;
    if (top.overlay) {
        top.input.mouseX = float(e.x);
        top.input.mouseY = float(e.y);
        touchOverlay(top);
        return;
    }
    if (WindowObject* held = object(capture); held && held->kind == WindowKind::Control) {
        const bool inside = insideRect(held->rect, localPoint(held->parent, e.x, e.y));
        if (held->pressed != inside) {
            held->pressed = inside;
            invalidate(held);
        }
        return;
    }
    HWND dialog = activeDialog(host);
    WindowObject* d = object(dialog);
    const POINT local = localPoint(dialog, e.x, e.y);
    HWND control = d->enabled ? hitTest(dialog, local) : nullptr;
    setHot(control);
    if (object(capture))
        sendMouse(capture, WM_MOUSEMOVE, localPoint(capture, e.x, e.y));
    else if (d->enabled && !control && (!d->parent || insideClient(*d, local)))
        sendMouse(dialog, WM_MOUSEMOVE, local);
}

void mouseWheel(const SDL_MouseWheelEvent& e) {
    HWND host = hostByWindowId(e.windowID);
    if (!host) return;
    int x = e.x, y = e.y;
    if (e.direction == SDL_MOUSEWHEEL_FLIPPED) x = -x, y = -y;
    TopLevel& top = *host->top;
    if (top.overlay) {
        top.input.wheel += float(y);
        top.input.wheelH += float(x);
        touchOverlay(top);
        return;
    }
    HWND dialog = activeDialog(host);
    if (!y || !dialog->enabled) return;
    // As on the platform: the delta in the high word, the point in screen pixels.
    SendMessageW(dialog, WM_MOUSEWHEEL, MAKEWPARAM(int(mouseKeyFlags()), y * WHEEL_DELTA),
                 MAKELPARAM(cursor.x, cursor.y));
}

int defaultCommand(const WindowObject& dialog) {
    const WindowObject* focus = object(dialog.focus);
    if (focus && focus->control == ControlKind::PushButton) return focus->id;
    for (HWND child : dialog.children)
        if (child->control == ControlKind::PushButton &&
            (child->style & BS_TYPEMASK) == BS_DEFPUSHBUTTON)
            return child->id;
    return IDOK;
}

void key(const SDL_KeyboardEvent& e, bool down) {
    const int vk = virtualKeyFromSdl(e.keysym.sym);
    noteKey(vk, down);
    HWND host = hostByWindowId(e.windowID);
    if (!host) host = hostOf(foreground());
    if (!host) return;
    TopLevel& top = *host->top;
    if (top.overlay) {
        if (e.keysym.scancode >= 0 && e.keysym.scancode < 512) {
            top.input.keyHeld[e.keysym.scancode] = down;
            if (down) top.input.keyPressed[e.keysym.scancode] = true;
        }
        touchOverlay(top);
        return;
    }
    if (!down) return;
    HWND dialog = activeDialog(host);
    WindowObject* d = object(dialog);
    if (!d->enabled) {
        raiseModalChild(host);
        return;
    }
    const bool repeat = e.repeat != 0;
    switch (vk) {
    case VK_ESCAPE:
        if (!repeat) sendCommand(dialog, IDCANCEL);
        break;
    case VK_RETURN:
        if (!repeat) sendCommand(dialog, defaultCommand(*d));
        break;
    case VK_TAB:
        moveTabFocus(dialog, (e.keysym.mod & KMOD_SHIFT) || keyDown[VK_SHIFT]);
        break;
    case VK_SPACE:
        if (WindowObject* focus = object(d->focus);
            !repeat && focus && focus->control != ControlKind::Edit && takesFocus(*focus))
            activateControl(focus);
        break;
    case VK_LEFT:
    case VK_UP:
        moveGroupFocus(dialog, true);
        break;
    case VK_RIGHT:
    case VK_DOWN:
        moveGroupFocus(dialog, false);
        break;
    default:
        break;
    }
}

void textInput(const SDL_TextInputEvent& e) {
    HWND host = hostByWindowId(e.windowID);
    if (!host) host = hostOf(foreground());
    if (!host || !host->top->overlay) return; // read-only edits take no typing
    host->top->input.text += e.text;
    touchOverlay(*host->top);
}

void closeRequest(HWND host) {
    TopLevel& top = *host->top;
    if (top.overlay) {
        // The overlay is a dialog of its own; its close box means Escape.
        top.input.keyPressed[SDL_SCANCODE_ESCAPE] = true;
        touchOverlay(top);
        return;
    }
    HWND dialog = activeDialog(host);
    if (!dialog->enabled) {
        raiseModalChild(host);
        return;
    }
    SendMessageW(dialog, WM_CLOSE, 0, 0);
}

// Focus can leave (Alt+Tab) between a press and its release, and the
// release then goes to another program. Ending the press here, as a release
// where the pointer was last seen, keeps a drag from outliving the focus: a
// view's hidden, pinned cursor would otherwise stay until the next click. A
// pressed push button is let go without being clicked.
void endPressesOnFocusLoss(HWND host) {
    for (int index = 0; index < 5; ++index) noteKey(buttonVirtualKey(index), false);
    WindowObject* held = object(capture);
    if (!held || hostOf(capture) != host) return;
    if (held->kind == WindowKind::Control) {
        cancelCapture();
        return;
    }
    HWND target = capture;
    const int buttons = captureButtons;
    capture = nullptr;
    captureButtons = 0;
    POINT local = cursor;
    ScreenToClient(target, &local);
    for (int index = 0; index < 5; ++index) {
        if (!(buttons & (1 << index))) continue;
        const UINT message = buttonMessage(index, false, 1);
        // The first release may close what held the capture.
        if (message && object(target)) sendMouse(target, message, local);
    }
}

void windowEvent(const SDL_WindowEvent& e) {
    HWND host = hostByWindowId(e.windowID);
    if (!host) return;
    TopLevel& top = *host->top;
    switch (e.event) {
    case SDL_WINDOWEVENT_CLOSE:
        closeRequest(host);
        break;
    case SDL_WINDOWEVENT_SHOWN:
    case SDL_WINDOWEVENT_EXPOSED:
        top.dirty = true;
        top.ownerPaint = true;
        break;
    case SDL_WINDOWEVENT_SIZE_CHANGED:
        host->rect = RECT{0, 0, e.data1, e.data2};
        top.dirty = true;
        top.ownerPaint = true;
        SendMessageW(host, WM_SIZE, 0, MAKELPARAM(e.data1, e.data2));
        break;
    case SDL_WINDOWEVENT_MINIMIZED:
        top.minimized = true;
        break;
    case SDL_WINDOWEVENT_RESTORED:
    case SDL_WINDOWEVENT_MAXIMIZED:
        top.minimized = false;
        top.dirty = true;
        top.ownerPaint = true;
        break;
    case SDL_WINDOWEVENT_FOCUS_GAINED:
        if (host->enabled || activeDialog(host) != host)
            setForeground(activeDialog(host));
        else
            raiseModalChild(host);
        break;
    case SDL_WINDOWEVENT_FOCUS_LOST:
        endPressesOnFocusLoss(host);
        break;
    case SDL_WINDOWEVENT_LEAVE:
        if (hostOf(hotControl) == host) setHot(nullptr);
        if (top.overlay) {
            top.input.mouseX = top.input.mouseY = -1;
            touchOverlay(top);
        }
        break;
    default:
        break;
    }
}

} // namespace

void dispatchEvent(const SDL_Event& event) {
    switch (event.type) {
    case SDL_QUIT:
        PostQuitMessage(0);
        break; // Ctrl+C in a terminal, a session ending
    case SDL_WINDOWEVENT:
        windowEvent(event.window);
        break;
    case SDL_MOUSEMOTION:
        mouseMotion(event.motion);
        break;
    case SDL_MOUSEBUTTONDOWN:
        mouseButton(event.button, true);
        break;
    case SDL_MOUSEBUTTONUP:
        mouseButton(event.button, false);
        break;
    case SDL_MOUSEWHEEL:
        mouseWheel(event.wheel);
        break;
    case SDL_KEYDOWN:
        key(event.key, true);
        break;
    case SDL_KEYUP:
        key(event.key, false);
        break;
    case SDL_TEXTINPUT:
        textInput(event.text);
        break;
    default:
        break;
    }
}

void forgetWindow(HWND window) {
    if (capture == window) {
        capture = nullptr;
        captureButtons = 0;
    }
    if (hotControl == window) hotControl = nullptr;
}

void cancelCapture() {
    if (WindowObject* held = object(capture)) {
        held->pressed = false;
        invalidate(held);
    }
    capture = nullptr;
    captureButtons = 0;
    setHot(nullptr);
}

void reset() {
    std::fill(std::begin(keyDown), std::end(keyDown), false);
    std::fill(std::begin(keyToggled), std::end(keyToggled), false);
    capture = hotControl = nullptr;
    captureButtons = 0;
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

POINT trackedCursor() {
    return cursor;
}
void setTrackedCursor(POINT screen) {
    cursor = screen;
}

} // namespace win::input

using namespace win;
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

HWND clippedHost = nullptr;
RECT clip{};       // screen pixels; meaningful while clippedHost is set
bool pinned = false; // clipped to one point: SDL relative mode

} // namespace

short GetAsyncKeyState(int virtualKey) {
    if (virtualKey <= 0 || virtualKey > 255) return 0;
    return (keyDown[virtualKey] || liveKeyDown(virtualKey)) ? short(0x8000) : short(0);
}

short GetKeyState(int virtualKey) {
    if (virtualKey <= 0 || virtualKey > 255) return 0;
    return short((keyDown[virtualKey] ? 0x8000 : 0) | (keyToggled[virtualKey] ? 1 : 0));
}

int ShowCursor(BOOL show) {
    // The cursor shows while the count is 0 or more, as on the platform.
    cursorCount += show ? 1 : -1;
    if (SDL_WasInit(SDL_INIT_VIDEO)) SDL_ShowCursor(cursorCount >= 0 ? SDL_ENABLE : SDL_DISABLE);
    return cursorCount;
}

namespace {

RECT screenRect() {
    return RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
}

bool coversScreen(const RECT& rect) {
    const RECT screen = screenRect();
    return rect.left <= screen.left && rect.top <= screen.top && rect.right >= screen.right &&
           rect.bottom >= screen.bottom;
}

void releaseClip() {
    if (WindowObject* clipped = object(clippedHost); clipped && clipped->top) {
        if (pinned) {
            SDL_SetRelativeMouseMode(SDL_FALSE);
            // Relative mode let SDL's idea of the pointer wander; put it
            // back where it was pinned.
            SetCursorPos(clip.left, clip.top);
        } else {
            SDL_SetWindowMouseRect(clipped->top->window, nullptr);
        }
    }
    clippedHost = nullptr;
    pinned = false;
}

} // namespace

BOOL ClipCursor(const RECT* rect) {
    releaseClip();
    if (!rect || coversScreen(*rect)) return TRUE;
    // SDL confines the pointer to a window; the foreground one is the one
    // the engine clips to (its view).
    WindowObject* host = object(hostOf(foreground()));
    if (!host) {
        logOnce(u"ClipCursor: no window to confine the pointer to");
        return FALSE;
    }
    clip = *rect;
    clippedHost = host;
    if (rect->right - rect->left <= 1 && rect->bottom - rect->top <= 1) {
        // Pinned to a point so that only relative motion counts: SDL's
        // relative mode does that and keeps motion arriving, where a
        // one-pixel confinement would stop it. Headless there is no
        // pointer to pin, and the clip is only remembered.
        pinned = true;
        if (!headless() && SDL_SetRelativeMouseMode(SDL_TRUE) != 0)
            logOnce(u"ClipCursor: " + sys::utf8ToUtf16(SDL_GetError()));
        return TRUE;
    }
    int left = 0, top = 0;
    SDL_GetWindowPosition(host->top->window, &left, &top);
    const SDL_Rect area{rect->left - left, rect->top - top, rect->right - rect->left,
                        rect->bottom - rect->top};
    if (SDL_SetWindowMouseRect(host->top->window, &area) != 0) {
        logOnce(u"ClipCursor: " + sys::utf8ToUtf16(SDL_GetError()));
        clippedHost = nullptr;
        return FALSE;
    }
    return TRUE;
}

BOOL GetClipCursor(RECT* rect) {
    if (!rect) return FALSE;
    *rect = clippedHost ? clip : screenRect();
    return TRUE;
}

BOOL GetCursorPos(POINT* point) {
    if (!point) return FALSE;
    *point = cursor;
    if (clippedHost && pinned) {
        *point = POINT{clip.left, clip.top};
        return TRUE;
    }
    // Headless there is no pointer but the one the events moved.
    if (SDL_WasInit(SDL_INIT_VIDEO) && !headless()) {
        int x = 0, y = 0;
        SDL_GetGlobalMouseState(&x, &y);
        *point = POINT{x, y};
    }
    return TRUE;
}

BOOL SetCursorPos(int x, int y) {
    cursor = POINT{x, y};
    if (!SDL_WasInit(SDL_INIT_VIDEO) || headless()) return TRUE;
    if (SDL_WarpMouseGlobal(x, y) != 0) {
        // Some systems (Wayland) let the pointer be moved only inside our window.
        WindowObject* host = object(hostOf(foreground()));
        if (!host) return FALSE;
        int left = 0, top = 0;
        SDL_GetWindowPosition(host->top->window, &left, &top);
        SDL_WarpMouseInWindow(host->top->window, x - left, y - top);
    }
    return TRUE;
}
