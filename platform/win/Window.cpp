// SPDX-License-Identifier: MIT
// Window objects: the handle registry, user data, visibility, enabling,
// placement in screen and client coordinates, text, focus and the
// foreground window. Destroyed objects are retired rather than freed, so a
// stale HWND can be tested with IsWindow but never names a newer window.
#include "win/Window.h"

#include <algorithm>
#include <unordered_set>

#include <SDL.h>

#include "sys/Unicode.h"
#include "win/Canvas.h"
#include "win/Controls.h"
#include "win/DesktopWindows.h"
#include "win/Dialog.h"
#include "win/Input.h"
#include "win/MessageLoop.h"
#include "win/WinInternal.h"

WindowObject::WindowObject(win::WindowKind k) : kind(k) {}
WindowObject::~WindowObject() = default;

namespace win {
namespace {

std::vector<std::unique_ptr<WindowObject>> registry; // live, in creation order
std::unordered_set<const WindowObject*> liveSet;
std::vector<std::unique_ptr<WindowObject>> retired;
HWND foregroundWindow = nullptr;

// Frame around the client area: the window manager's decorations for a
// top-level window, the caption and border drawn around a message box in
// its owner.
RECT frameInsets(const WindowObject& window) {
    RECT insets{};
    if (window.top && window.top->window) {
        int top = 0, left = 0, bottom = 0, right = 0;
        if (SDL_GetWindowBordersSize(window.top->window, &top, &left, &bottom, &right) == 0)
            insets = RECT{left, top, right, bottom};
    } else if (window.kind == WindowKind::Dialog && window.parent) {
        const int border = 1;
        insets = RECT{border, border + canvas::fontHeight() + 10, border, border};
    }
    return insets;
}

// Screen position of `window`'s client origin.
POINT clientScreenOrigin(HWND window) {
    POINT origin = hostOrigin(window);
    WindowObject* host = object(hostOf(window));
    if (host && host->top && host->top->window) {
        int x = 0, y = 0;
        SDL_GetWindowPosition(host->top->window, &x, &y);
        origin.x += x;
        origin.y += y;
    }
    return origin;
}

void eraseFrom(std::vector<HWND>& list, HWND window) {
    list.erase(std::remove(list.begin(), list.end(), window), list.end());
}

} // namespace

HWND newWindow(WindowKind kind) {
    registry.push_back(std::make_unique<WindowObject>(kind));
    liveSet.insert(registry.back().get());
    return registry.back().get();
}

WindowObject* object(HWND window) {
    return window && liveSet.count(window) ? window : nullptr;
}

std::vector<HWND> liveWindows() {
    std::vector<HWND> list;
    list.reserve(registry.size());
    for (const auto& window : registry) list.push_back(window.get());
    return list;
}

void retireWindow(HWND window) {
    auto found = std::find_if(registry.begin(), registry.end(),
                              [window](const auto& entry) { return entry.get() == window; });
    if (found == registry.end()) return;
    std::unique_ptr<WindowObject> owned = std::move(*found);
    registry.erase(found);
    liveSet.erase(window);
    if (foregroundWindow == window) foregroundWindow = nullptr;
    canvas::releaseTopLevel(std::move(owned->top));
    owned->children.clear();
    owned->panels.clear();
    owned->text.clear();
    owned->text.shrink_to_fit();
    retired.push_back(std::move(owned));
}

HWND hostOf(HWND window) {
    for (WindowObject* w = object(window); w; w = object(w->parent))
        if (w->top) return w;
    return nullptr;
}

HWND dialogOf(HWND window) {
    WindowObject* w = object(window);
    if (!w) return nullptr;
    return w->kind == WindowKind::Control ? object(w->parent) : w;
}

POINT hostOrigin(HWND window) {
    POINT origin{};
    for (WindowObject* w = object(window); w && !w->top; w = object(w->parent)) {
        origin.x += w->rect.left;
        origin.y += w->rect.top;
    }
    return origin;
}

HWND activeDialog(HWND host) {
    WindowObject* h = object(host);
    if (!h) return nullptr;
    for (auto it = h->panels.rbegin(); it != h->panels.rend(); ++it)
        if (WindowObject* panel = object(*it); panel && panel->visible) return panel;
    return h;
}

void invalidate(HWND window) {
    if (WindowObject* host = object(hostOf(window))) host->top->dirty = true;
}

HWND foreground() {
    return object(foregroundWindow);
}

void setForeground(HWND window) {
    HWND previous = foreground();
    foregroundWindow = object(window);
    if (previous != foregroundWindow) {
        invalidate(previous);
        invalidate(foregroundWindow);
    }
}

} // namespace win

using namespace win;

BOOL IsWindow(HWND window) {
    return object(window) != nullptr || desktop::isDesktopWindow(window);
}

BOOL DestroyWindow(HWND window) {
    WindowObject* w = object(window);
    if (!w) return FALSE;
    if (w->destroying) return TRUE; // asked again from its own WM_DESTROY
    w->destroying = true;

    // Owned windows go first, as on the platform.
    for (HWND other : liveWindows()) {
        WindowObject* o = object(other);
        if (o && o != w && o->kind == WindowKind::Dialog && o->owner &&
            (o->owner == window || dialogOf(o->owner) == window))
            DestroyWindow(other);
    }
    for (HWND panel : std::vector<HWND>(w->panels)) DestroyWindow(panel);
    if (w->top && w->top->window) SDL_HideWindow(w->top->window);

    SendMessageW(window, WM_DESTROY, 0, 0);
    if (!object(window)) return TRUE;
    for (HWND child : std::vector<HWND>(w->children)) DestroyWindow(child);

    killTimersOf(window);
    dropMessagesFor(window);
    input::forgetWindow(window);
    if (WindowObject* parent = object(w->parent)) {
        eraseFrom(parent->children, window);
        eraseFrom(parent->panels, window);
        if (parent->focus == window) parent->focus = nullptr;
        invalidate(parent);
    }
    if (foreground() == window) {
        HWND next = nullptr;
        if (w->parent)
            next = activeDialog(w->parent);
        else if (w->owner)
            next = activeDialog(hostOf(w->owner));
        setForeground(next);
    }
    retireWindow(window);
    return TRUE;
}

BOOL ShowWindow(HWND window, int command) {
    WindowObject* w = object(window);
    if (!w) return FALSE;
    const bool wasVisible = w->visible;
    SDL_Window* sdl = w->top ? w->top->window : nullptr;
    switch (command) {
    case SW_HIDE:
        w->visible = false;
        if (sdl) SDL_HideWindow(sdl);
        if (foreground() == window)
            setForeground(w->owner ? activeDialog(hostOf(w->owner)) : nullptr);
        break;
    case SW_MINIMIZE:
        // The renderer treats a minimised window as a lost device; offscreen
        // SDL reports no minimise event, so the flag is set here as well.
        if (w->top) w->top->minimized = true;
        if (sdl) SDL_MinimizeWindow(sdl);
        break;
    case SW_RESTORE:
        w->visible = true;
        if (w->top) {
            w->top->minimized = false;
            w->top->ownerPaint = true;
        }
        if (sdl) {
            SDL_ShowWindow(sdl);
            SDL_RestoreWindow(sdl);
        }
        break;
    default: // SW_SHOW, SW_SHOWNORMAL and the other showing commands
        w->visible = true;
        if (sdl) SDL_ShowWindow(sdl);
        if (w->top) w->top->ownerPaint = true;
        if (w->kind == WindowKind::Dialog && !wasVisible && w->enabled) setForeground(window);
        break;
    }
    invalidate(window);
    if (w->parent) invalidate(w->parent);
    return wasVisible ? TRUE : FALSE;
}

BOOL IsWindowVisible(HWND window) {
    for (WindowObject* w = object(window); w; w = object(w->parent))
        if (!w->visible) return FALSE;
    return object(window) ? TRUE : FALSE;
}

BOOL SetForegroundWindow(HWND window) {
    WindowObject* w = object(window);
    if (!w) return FALSE;
    HWND host = hostOf(window);
    WindowObject* h = object(host);
    if (h && h->top && h->top->window && h->visible) SDL_RaiseWindow(h->top->window);
    HWND dialog = dialogOf(window);
    // A message box drawn in the window keeps the keyboard while it is open.
    HWND active = activeDialog(host);
    setForeground(active && active != host ? active : dialog);
    return TRUE;
}

HWND GetForegroundWindow() {
    return foreground();
}

BOOL EnableWindow(HWND window, BOOL enable) {
    WindowObject* w = object(window);
    if (!w) return FALSE;
    const bool wasDisabled = !w->enabled;
    w->enabled = enable != FALSE;
    if (!w->enabled) {
        w->pressed = false;
        input::forgetWindow(window);
    }
    invalidate(window);
    return wasDisabled ? TRUE : FALSE;
}

BOOL IsWindowEnabled(HWND window) {
    WindowObject* w = object(window);
    return w && w->enabled ? TRUE : FALSE;
}

LONG_PTR SetWindowLongPtrW(HWND window, int index, LONG_PTR value) {
    WindowObject* w = object(window);
    if (!w) return 0;
    const LONG_PTR previous = GetWindowLongPtrW(window, index);
    switch (index) {
    case GWLP_USERDATA: w->userData = value; break;
    case GWLP_ID: w->id = int(value); break;
    case GWL_STYLE:
        w->style = DWORD(value) & ~(WS_VISIBLE | WS_DISABLED);
        w->visible = (DWORD(value) & WS_VISIBLE) != 0;
        w->enabled = (DWORD(value) & WS_DISABLED) == 0;
        invalidate(window);
        break;
    default:
        logOnce(u"SetWindowLongPtrW: index " + sys::utf8ToUtf16(std::to_string(index)) +
                u" is not kept");
        return 0;
    }
    return previous;
}

LONG_PTR GetWindowLongPtrW(HWND window, int index) {
    WindowObject* w = object(window);
    if (!w) return 0;
    switch (index) {
    case GWLP_USERDATA: return w->userData;
    case GWLP_ID: return w->id;
    case GWL_STYLE:
        return LONG_PTR(w->style | (w->visible ? WS_VISIBLE : 0) | (w->enabled ? 0 : WS_DISABLED));
    default:
        logOnce(u"GetWindowLongPtrW: index " + sys::utf8ToUtf16(std::to_string(index)) +
                u" is not kept");
        return 0;
    }
}

BOOL GetWindowRect(HWND window, RECT* rect) {
    WindowObject* w = object(window);
    if (!w || !rect) return FALSE;
    const POINT origin = clientScreenOrigin(window);
    const RECT insets = frameInsets(*w);
    rect->left = origin.x - insets.left;
    rect->top = origin.y - insets.top;
    rect->right = origin.x + (w->rect.right - w->rect.left) + insets.right;
    rect->bottom = origin.y + (w->rect.bottom - w->rect.top) + insets.bottom;
    return TRUE;
}

BOOL GetClientRect(HWND window, RECT* rect) {
    WindowObject* w = object(window);
    if (!w || !rect) return FALSE;
    *rect = RECT{0, 0, w->rect.right - w->rect.left, w->rect.bottom - w->rect.top};
    return TRUE;
}

BOOL SetWindowPos(HWND window, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
    WindowObject* w = object(window);
    if (!w) return FALSE;
    const RECT insets = frameInsets(*w);
    const int width = cx - insets.left - insets.right;
    const int height = cy - insets.top - insets.bottom;
    const bool resize =
        !(flags & SWP_NOSIZE) && width > 0 && height > 0 &&
        (width != w->rect.right - w->rect.left || height != w->rect.bottom - w->rect.top);
    if (w->top && w->top->window) {
        if (!(flags & SWP_NOMOVE))
            SDL_SetWindowPosition(w->top->window, x + insets.left, y + insets.top);
        if (resize) {
            SDL_SetWindowSize(w->top->window, width, height);
            w->rect = RECT{0, 0, width, height};
        }
        // HWND_TOP (null) without SWP_NOZORDER raises the window.
        if (!(flags & SWP_NOZORDER) && !insertAfter && w->visible) SDL_RaiseWindow(w->top->window);
    } else {
        // Children move in their parent's client coordinates.
        if (!(flags & SWP_NOMOVE)) {
            const int moveX = x + insets.left - w->rect.left, moveY = y + insets.top - w->rect.top;
            w->rect.left += moveX;
            w->rect.right += moveX;
            w->rect.top += moveY;
            w->rect.bottom += moveY;
        }
        if (resize) {
            w->rect.right = w->rect.left + width;
            w->rect.bottom = w->rect.top + height;
        }
    }
    if (resize) SendMessageW(window, WM_SIZE, 0, MAKELPARAM(width, height));
    invalidate(window);
    return TRUE;
}

BOOL MoveWindow(HWND window, int x, int y, int cx, int cy, BOOL) {
    return SetWindowPos(window, nullptr, x, y, cx, cy, SWP_NOZORDER);
}

BOOL ClientToScreen(HWND window, POINT* point) {
    if (!object(window) || !point) return FALSE;
    const POINT origin = clientScreenOrigin(window);
    point->x += origin.x;
    point->y += origin.y;
    return TRUE;
}

BOOL ScreenToClient(HWND window, POINT* point) {
    if (!object(window) || !point) return FALSE;
    const POINT origin = clientScreenOrigin(window);
    point->x -= origin.x;
    point->y -= origin.y;
    return TRUE;
}

HWND WindowFromPoint(POINT point) {
    const auto contains = [point](HWND window) {
        WindowObject* w = object(window);
        if (!w || !w->visible) return false;
        const POINT origin = clientScreenOrigin(window);
        return point.x >= origin.x && point.y >= origin.y &&
               point.x < origin.x + (w->rect.right - w->rect.left) &&
               point.y < origin.y + (w->rect.bottom - w->rect.top);
    };
    // The foreground window's host first: it is on top.
    std::vector<HWND> hosts = liveWindows();
    const auto front = std::find(hosts.begin(), hosts.end(), hostOf(foreground()));
    if (front != hosts.end()) std::rotate(hosts.begin(), front, front + 1);
    for (HWND host : hosts) {
        WindowObject* h = object(host);
        if (!h || !h->top || !contains(host)) continue;
        for (auto panel = h->panels.rbegin(); panel != h->panels.rend(); ++panel)
            if (contains(*panel)) return *panel;
        // Group boxes only frame the controls drawn inside them.
        HWND frame = nullptr;
        for (HWND child : h->children) {
            if (!contains(child)) continue;
            if (child->control != ControlKind::GroupBox) return child;
            if (!frame) frame = child;
        }
        return frame ? frame : host;
    }
    return nullptr;
}

int GetSystemMetrics(int index) {
    if (index != SM_CXSCREEN && index != SM_CYSCREEN) {
        logOnce(u"GetSystemMetrics: index " + sys::utf8ToUtf16(std::to_string(index)) +
                u" is not known; 0");
        return 0;
    }
    SDL_Rect bounds{};
    if (!init() || SDL_GetDisplayBounds(0, &bounds) != 0) return 0;
    return index == SM_CXSCREEN ? bounds.w : bounds.h;
}

BOOL SetWindowTextW(HWND window, const char16_t* text) {
    return SendMessageW(window, WM_SETTEXT, 0, LPARAM(text)) ? TRUE : FALSE;
}

int GetWindowTextW(HWND window, char16_t* buffer, int capacity) {
    if (!object(window)) return desktop::windowText(window, buffer, capacity);
    return int(SendMessageW(window, WM_GETTEXT, WPARAM(capacity), LPARAM(buffer)));
}

int GetWindowTextLengthW(HWND window) {
    return int(SendMessageW(window, WM_GETTEXTLENGTH, 0, 0));
}

BOOL InvalidateRect(HWND window, const RECT*, BOOL) {
    if (!window) {
        for (HWND each : liveWindows())
            if (WindowObject* w = object(each); w && w->top) {
                w->top->dirty = true;
                w->top->ownerPaint = true;
            }
        return TRUE;
    }
    WindowObject* w = object(window);
    if (!w) return FALSE;
    // A top-level window's procedure paints it (the program renders its
    // frame there); a control's painting is the layer's own.
    if (w->top) w->top->ownerPaint = true;
    invalidate(window);
    return TRUE;
}

HWND GetParent(HWND window) {
    WindowObject* w = object(window);
    if (!w) return desktop::parentOf(window);
    return w->kind == WindowKind::Control ? object(w->parent) : object(w->owner);
}

int GetDlgCtrlID(HWND control) {
    WindowObject* w = object(control);
    return w && w->kind == WindowKind::Control ? w->id : 0;
}

HWND SetFocus(HWND window) {
    HWND previous = GetFocus();
    if (!window) {
        if (WindowObject* active = object(foreground())) active->focus = nullptr;
        invalidate(previous);
        return previous;
    }
    WindowObject* w = object(window);
    if (!w) return nullptr;
    HWND dialog = dialogOf(window);
    WindowObject* d = object(dialog);
    if (w->kind == WindowKind::Control) {
        HWND old = d->focus;
        d->focus = window;
        if (old != window) {
            if (object(old)) SendMessageW(old, WM_KILLFOCUS, WPARAM(window), 0);
            SendMessageW(window, WM_SETFOCUS, WPARAM(old), 0);
        }
        invalidate(window);
    }
    // The keyboard moves to the dialog unless a message box above it holds it.
    if (d && d->enabled && activeDialog(hostOf(dialog)) == dialog) setForeground(dialog);
    return previous;
}

HWND GetFocus() {
    WindowObject* active = object(foreground());
    if (!active) return nullptr;
    return object(active->focus) ? active->focus : active;
}

namespace win {

void setWindowSurface(HWND window, const Surface& surface) {
    WindowObject* w = object(window);
    if (!w) return;
    w->surface = surface;
    invalidate(window);
}

bool minimized(HWND window) {
    WindowObject* host = object(hostOf(window));
    return host && host->top && host->top->minimized;
}

bool makeGLContextCurrent() {
    return init() && canvas::makeCurrent();
}

} // namespace win

LRESULT DefWindowProcW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    WindowObject* w = object(window);
    if (!w) return 0;
    switch (message) {
    case WM_SETTEXT:
        w->text = lParam ? reinterpret_cast<const char16_t*>(lParam) : u"";
        if (w->top && w->top->window)
            SDL_SetWindowTitle(w->top->window, sys::utf16ToUtf8(w->text).c_str());
        invalidate(window);
        return TRUE;
    case WM_GETTEXT: {
        auto* buffer = reinterpret_cast<char16_t*>(lParam);
        if (!buffer || wParam == 0) return 0;
        const size_t count = std::min(w->text.size(), size_t(wParam) - 1);
        std::copy_n(w->text.begin(), count, buffer);
        buffer[count] = u'\0';
        return LRESULT(count);
    }
    case WM_GETTEXTLENGTH: return LRESULT(w->text.size());
    case WM_CLOSE: DestroyWindow(window); return 0;
    default: return 0;
    }
}
