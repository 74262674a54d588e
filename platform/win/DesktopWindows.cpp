// SPDX-License-Identifier: MIT
// The desktop's windows on X11, through a connection of this layer's own:
//  [x] GetDesktopWindow: the root window of the default screen
//  [x] GetShellWindow: the top-level window typed _NET_WM_WINDOW_TYPE_DESKTOP
//  [x] top-level windows are the window manager's clients (WM_STATE) inside
//      its frames, or the root's children where no manager runs
//  [x] child order is the platform's Z order: topmost first
//  [x] class names from WM_CLASS, titles from _NET_WM_NAME, else WM_NAME
//  [ ] other displays and screens than the default (the engine asks for none)
// A window may vanish between two calls; the server's error for it is
// caught and the call answers as for a missing window.
#include "win/DesktopWindows.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include <SDL.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include "sys/Unicode.h"
#include "win/Win.h"
#include "win/WinInternal.h"
#include "win/Window.h"

namespace win::desktop {
namespace {

::Display* display = nullptr;
bool triedToConnect = false;

// Handles by X window id. The objects are never registered as windows of
// this layer, so every other call ignores them.
std::unordered_map<::Window, std::unique_ptr<WindowObject>>& handles() {
    static std::unordered_map<::Window, std::unique_ptr<WindowObject>> map;
    return map;
}

::Display* connection() {
    if (display || triedToConnect) return display;
    triedToConnect = true;
    const char* driver = init() ? SDL_GetCurrentVideoDriver() : nullptr;
    if (!driver || std::strcmp(driver, "x11") != 0) return nullptr;
    display = XOpenDisplay(nullptr);
    if (!display) log(u"desktop windows: the X display could not be opened");
    return display;
}

// The server reports a vanished window asynchronously, and Xlib's default
// handler ends the process; while a trap is alive, errors are only noted.
// Traps nest: the outermost installs the handler and the inner ones share it.
class ErrorTrap {
public:
    ErrorTrap() {
        if (depth()++ == 0) {
            noted() = false;
            previous() = XSetErrorHandler(&note);
        }
    }
    ~ErrorTrap() {
        if (--depth() == 0) {
            XSync(display, False);
            XSetErrorHandler(previous());
        }
    }
    ErrorTrap(const ErrorTrap&) = delete;
    ErrorTrap& operator=(const ErrorTrap&) = delete;

    // Whether any request since the outermost trap began failed.
    bool failed() const {
        XSync(display, False);
        return noted();
    }

private:
    using Handler = int (*)(::Display*, XErrorEvent*);
    static int& depth() {
        static int value = 0;
        return value;
    }
    static bool& noted() {
        static bool value = false;
        return value;
    }
    static Handler& previous() {
        static Handler value = nullptr;
        return value;
    }
    static int note(::Display*, XErrorEvent*) {
        noted() = true;
        return 0;
    }
};

HWND handleOf(::Window id) {
    if (!id) return nullptr;
    auto& map = handles();
    auto found = map.find(id);
    if (found == map.end()) {
        auto object = std::make_unique<WindowObject>(WindowKind::Desktop);
        object->id = 0;
        object->userData = LONG_PTR(id);
        found = map.emplace(id, std::move(object)).first;
    }
    return found->second.get();
}

::Window idOf(HWND window) {
    if (!window || !display) return 0;
    for (const auto& [id, object] : handles())
        if (object.get() == window) return id;
    return 0;
}

::Window root() {
    return DefaultRootWindow(display);
}

Atom atom(const char* name) {
    return XInternAtom(display, name, False);
}

// Children topmost first, as the platform lists them; empty when gone.
std::vector<::Window> childrenOf(::Window parent, ::Window* parentOut = nullptr) {
    ErrorTrap trap;
    ::Window rootId = 0, parentId = 0, *list = nullptr;
    unsigned count = 0;
    std::vector<::Window> children;
    if (XQueryTree(display, parent, &rootId, &parentId, &list, &count)) {
        children.assign(list, list + count);
        std::reverse(children.begin(), children.end());
        if (parentOut) *parentOut = parentId;
    }
    if (list) XFree(list);
    if (trap.failed()) return {};
    return children;
}

bool hasProperty(::Window window, Atom property) {
    ErrorTrap trap;
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    const bool found = XGetWindowProperty(display, window, property, 0, 0, False, AnyPropertyType,
                                          &type, &format, &count, &after, &data) == Success &&
                       type != None;
    if (data) XFree(data);
    return found && !trap.failed();
}

// The client inside a window manager's frame: the first window holding
// WM_STATE, breadth first; the frame itself when there is none.
::Window clientOf(::Window frame) {
    const Atom state = atom("WM_STATE");
    std::vector<::Window> queue{frame};
    for (size_t i = 0; i < queue.size() && i < 64; ++i) {
        if (hasProperty(queue[i], state)) return queue[i];
        for (::Window child : childrenOf(queue[i])) queue.push_back(child);
    }
    return frame;
}

std::vector<::Window> topLevelWindows() {
    std::vector<::Window> windows;
    for (::Window child : childrenOf(root())) windows.push_back(clientOf(child));
    return windows;
}

// Top-level windows for a parent of null or the desktop, else the children.
std::vector<::Window> childrenForSearch(HWND parent) {
    const ::Window id = parent ? idOf(parent) : root();
    if (!id) return {};
    return id == root() ? topLevelWindows() : childrenOf(id);
}

std::u16string className(::Window window) {
    ErrorTrap trap;
    XClassHint hint{};
    std::u16string name;
    if (XGetClassHint(display, window, &hint)) {
        if (hint.res_class) name = sys::utf8ToUtf16(hint.res_class);
        if (hint.res_name) XFree(hint.res_name);
        if (hint.res_class) XFree(hint.res_class);
    }
    return trap.failed() ? std::u16string() : name;
}

std::u16string title(::Window window) {
    ErrorTrap trap;
    std::u16string text;
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, window, atom("_NET_WM_NAME"), 0, 4096, False,
                           atom("UTF8_STRING"), &type, &format, &count, &after, &data) == Success &&
        data && format == 8) {
        text = sys::utf8ToUtf16(std::string_view(reinterpret_cast<const char*>(data), count));
    } else {
        XTextProperty property{};
        if (XGetWMName(display, window, &property) && property.value) {
            char** list = nullptr;
            int pieces = 0;
            if (Xutf8TextPropertyToTextList(display, &property, &list, &pieces) >= Success &&
                list) {
                for (int i = 0; i < pieces; ++i) text += sys::utf8ToUtf16(list[i]);
                XFreeStringList(list);
            }
        }
        if (property.value) XFree(property.value);
    }
    if (data) XFree(data);
    return trap.failed() ? std::u16string() : text;
}

bool isDesktopTyped(::Window window) {
    ErrorTrap trap;
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    bool desktop = false;
    if (XGetWindowProperty(display, window, atom("_NET_WM_WINDOW_TYPE"), 0, 32, False, XA_ATOM,
                           &type, &format, &count, &after, &data) == Success &&
        data && format == 32) {
        const Atom wanted = atom("_NET_WM_WINDOW_TYPE_DESKTOP");
        const auto* types = reinterpret_cast<const unsigned long*>(data);
        desktop = std::find(types, types + count, wanted) != types + count;
    }
    if (data) XFree(data);
    return desktop && !trap.failed();
}

bool exists(::Window window) {
    ErrorTrap trap;
    XWindowAttributes attributes;
    return XGetWindowAttributes(display, window, &attributes) && !trap.failed();
}

int copyOut(const std::u16string& text, char16_t* buffer, int capacity) {
    if (!buffer || capacity <= 0) return 0;
    const int n = std::min(int(text.size()), capacity - 1);
    std::copy_n(text.data(), n, buffer);
    buffer[n] = u'\0';
    return n;
}

// Every descendant, depth first, each window before its children.
bool walkDescendants(::Window parent, WNDENUMPROC proc, LPARAM parameter, int depth = 0) {
    if (depth > 64) return true;
    for (::Window child : childrenOf(parent)) {
        if (!proc(handleOf(child), parameter)) return false;
        if (!walkDescendants(child, proc, parameter, depth + 1)) return false;
    }
    return true;
}

} // namespace

bool isDesktopWindow(HWND window) {
    const ::Window id = idOf(window);
    return id && exists(id);
}

int windowText(HWND window, char16_t* buffer, int capacity) {
    const ::Window id = idOf(window);
    return id ? copyOut(title(id), buffer, capacity) : 0;
}

HWND parentOf(HWND window) {
    const ::Window id = idOf(window);
    if (!id) return nullptr;
    ::Window parent = 0;
    childrenOf(id, &parent);
    // A top-level window's parent is the root or a manager's frame; the
    // platform reports none for it.
    if (!parent || parent == root() || hasProperty(id, atom("WM_STATE"))) return nullptr;
    return handleOf(parent);
}

void disconnect() {
    if (display) XCloseDisplay(display);
    display = nullptr;
    triedToConnect = false;
}

} // namespace win::desktop

using namespace win::desktop;

HWND GetDesktopWindow() {
    if (!connection()) {
        win::logOnce(u"GetDesktopWindow: there is no X11 desktop (offscreen or Wayland)");
        return nullptr;
    }
    return handleOf(root());
}

HWND GetShellWindow() {
    if (!connection()) return nullptr;
    for (::Window window : topLevelWindows())
        if (isDesktopTyped(window)) return handleOf(window);
    return nullptr;
}

HWND GetWindow(HWND window, UINT command) {
    if (!connection()) return nullptr;
    if (command == GW_CHILD) {
        const std::vector<::Window> children = childrenForSearch(window);
        return children.empty() ? nullptr : handleOf(children.front());
    }
    if (command == GW_HWNDNEXT) {
        const std::vector<::Window> siblings = childrenForSearch(parentOf(window));
        auto at = std::find(siblings.begin(), siblings.end(), idOf(window));
        return at == siblings.end() || at + 1 == siblings.end() ? nullptr : handleOf(*(at + 1));
    }
    win::logOnce(u"GetWindow: only GW_CHILD and GW_HWNDNEXT are answered for desktop windows");
    return nullptr;
}

BOOL EnumWindows(WNDENUMPROC proc, LPARAM parameter) {
    if (!proc || !connection()) return FALSE;
    for (::Window window : topLevelWindows())
        if (!proc(handleOf(window), parameter)) return FALSE;
    return TRUE;
}

BOOL EnumChildWindows(HWND parent, WNDENUMPROC proc, LPARAM parameter) {
    if (!proc || !connection()) return FALSE;
    const ::Window id = parent ? idOf(parent) : root();
    if (!id) return FALSE;
    return walkDescendants(id, proc, parameter) ? TRUE : FALSE;
}

HWND FindWindowExW(HWND parent, HWND childAfter, const char16_t* className,
                   const char16_t* windowName) {
    if (!connection()) return nullptr;
    const std::vector<::Window> candidates = childrenForSearch(parent);
    auto from = candidates.begin();
    if (childAfter) {
        from = std::find(candidates.begin(), candidates.end(), idOf(childAfter));
        if (from == candidates.end()) return nullptr;
        ++from;
    }
    for (auto it = from; it != candidates.end(); ++it) {
        if (className && win::desktop::className(*it) != className) continue;
        if (windowName && title(*it) != windowName) continue;
        return handleOf(*it);
    }
    return nullptr;
}

int GetClassNameW(HWND window, char16_t* buffer, int capacity) {
    if (!connection()) return 0;
    const ::Window id = idOf(window);
    return id ? copyOut(win::desktop::className(id), buffer, capacity) : 0;
}
