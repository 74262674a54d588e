// SPDX-License-Identifier: MIT
// Routing SDL input the way the platform routes it in a dialog:
//  - a left press on a button or edit captures the mouse for it; releasing
//    inside clicks it, and the dialog hears nothing;
//  - over statics, group boxes and empty space the dialog gets WM_*BUTTON*
//    and WM_MOUSEMOVE in client coordinates, and keeps them (an implicit
//    capture) until every button is up, so drags end where they started;
//  - keys are the dialog manager's: Escape, Enter, Tab, space and arrows;
//  - a window with an overlay passes everything to its ImGui context.
// The key and pointer state it leaves behind is kept in KeyState and Cursor.
#include "win/Input.h"

#include <SDL.h>

#include "sys/Unicode.h"
#include "win/Canvas.h"
#include "win/Controls.h"
#include "win/Cursor.h"
#include "win/Dialog.h"
#include "win/KeyState.h"
#include "win/WinInternal.h"

namespace win::input {
namespace {

HWND capture = nullptr; // a control (left button) or a dialog (any buttons)
int captureButtons = 0;
HWND hotControl = nullptr;

int buttonIndex(int sdlButton) {
    switch (sdlButton) {
    case SDL_BUTTON_LEFT: return 0;
    case SDL_BUTTON_RIGHT: return 1;
    case SDL_BUTTON_MIDDLE: return 2;
    case SDL_BUTTON_X1: return 3;
    case SDL_BUTTON_X2: return 4;
    default: return -1;
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
    case 0: return down ? (twice ? WM_LBUTTONDBLCLK : WM_LBUTTONDOWN) : WM_LBUTTONUP;
    case 1: return down ? (twice ? WM_RBUTTONDBLCLK : WM_RBUTTONDOWN) : WM_RBUTTONUP;
    case 2: return down ? WM_MBUTTONDOWN : WM_MBUTTONUP;
    default: return 0;
    }
}

void trackCursor(HWND host, int x, int y) {
    int left = 0, top = 0;
    SDL_GetWindowPosition(host->top->window, &left, &top);
    setTrackedCursor(POINT{left + x, top + y});
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
                 MAKELPARAM(trackedCursor().x, trackedCursor().y));
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
    case VK_TAB: moveTabFocus(dialog, (e.keysym.mod & KMOD_SHIFT) || isKeyHeld(VK_SHIFT)); break;
    case VK_SPACE:
        if (WindowObject* focus = object(d->focus);
            !repeat && focus && focus->control != ControlKind::Edit && takesFocus(*focus))
            activateControl(focus);
        break;
    case VK_LEFT:
    case VK_UP: moveGroupFocus(dialog, true); break;
    case VK_RIGHT:
    case VK_DOWN: moveGroupFocus(dialog, false); break;
    default: break;
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
    POINT local = trackedCursor();
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
    case SDL_WINDOWEVENT_CLOSE: closeRequest(host); break;
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
    case SDL_WINDOWEVENT_MINIMIZED: top.minimized = true; break;
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
    case SDL_WINDOWEVENT_FOCUS_LOST: endPressesOnFocusLoss(host); break;
    case SDL_WINDOWEVENT_LEAVE:
        if (hostOf(hotControl) == host) setHot(nullptr);
        if (top.overlay) {
            top.input.mouseX = top.input.mouseY = -1;
            touchOverlay(top);
        }
        break;
    default: break;
    }
}

} // namespace

void dispatchEvent(const SDL_Event& event) {
    switch (event.type) {
    case SDL_QUIT: PostQuitMessage(0); break; // Ctrl+C in a terminal, a session ending
    case SDL_WINDOWEVENT: windowEvent(event.window); break;
    case SDL_MOUSEMOTION: mouseMotion(event.motion); break;
    case SDL_MOUSEBUTTONDOWN: mouseButton(event.button, true); break;
    case SDL_MOUSEBUTTONUP: mouseButton(event.button, false); break;
    case SDL_MOUSEWHEEL: mouseWheel(event.wheel); break;
    case SDL_KEYDOWN: key(event.key, true); break;
    case SDL_KEYUP: key(event.key, false); break;
    case SDL_TEXTINPUT: textInput(event.text); break;
    default: break;
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
    forgetKeys();
    capture = hotControl = nullptr;
    captureButtons = 0;
}

} // namespace win::input
