// SPDX-License-Identifier: MIT
#include "support/X11Desktop.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {

// Polls `done` for up to ten seconds; whether it came true.
template <typename Condition>
bool waitUntil(Condition done, std::chrono::milliseconds step) {
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done()) {
        if (std::chrono::steady_clock::now() >= giveUp) return false;
        std::this_thread::sleep_for(step);
    }
    return true;
}

} // namespace

X11Desktop::X11Desktop() : display_(XOpenDisplay(nullptr)) {}

X11Desktop::~X11Desktop() {
    if (!display_) return;
    // Children go with their parents; destroying them first is harmless.
    for (auto it = made_.rbegin(); it != made_.rend(); ++it) XDestroyWindow(display_, *it);
    XSync(display_, False);
    XCloseDisplay(display_);
}

X11Desktop::WindowId X11Desktop::create(WindowId parent, const std::string& className,
                                        const std::string& title, bool desktopType) {
    const WindowId window = XCreateSimpleWindow(
        display_, parent ? parent : DefaultRootWindow(display_), 0, 0, 40, 30, 0, 0, 0);
    std::string instance = className;
    std::transform(instance.begin(), instance.end(), instance.begin(), ::tolower);
    XClassHint hint{instance.data(), const_cast<char*>(className.c_str())};
    XSetClassHint(display_, window, &hint);
    if (!title.empty()) {
        XStoreName(display_, window, title.c_str());
        XChangeProperty(display_, window, XInternAtom(display_, "_NET_WM_NAME", False),
                        XInternAtom(display_, "UTF8_STRING", False), 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(title.data()), int(title.size()));
    }
    if (desktopType) {
        const Atom type = XInternAtom(display_, "_NET_WM_WINDOW_TYPE_DESKTOP", False);
        XChangeProperty(display_, window, XInternAtom(display_, "_NET_WM_WINDOW_TYPE", False),
                        XA_ATOM, 32, PropModeReplace, reinterpret_cast<const unsigned char*>(&type),
                        1);
    }
    XMapWindow(display_, window);
    made_.push_back(window);
    if (!parent) topLevel_.push_back(window);
    return window;
}

void X11Desktop::destroy(WindowId window) {
    XDestroyWindow(display_, window);
    made_.erase(std::remove(made_.begin(), made_.end(), window), made_.end());
    topLevel_.erase(std::remove(topLevel_.begin(), topLevel_.end(), window), topLevel_.end());
    XSync(display_, False);
}

void X11Desktop::sync() {
    XSync(display_, False);
    if (!hasWindowManager()) return;
    waitUntil(
        [this] {
            return std::all_of(topLevel_.begin(), topLevel_.end(),
                               [this](WindowId window) { return isManaged(window); });
        },
        std::chrono::milliseconds(5));
}

bool X11Desktop::hasWindowManager() {
    return !rootWindowList("_NET_SUPPORTING_WM_CHECK").empty();
}

bool X11Desktop::waitForWindowManager() {
    return waitUntil([this] { return hasWindowManager(); }, std::chrono::milliseconds(20));
}

// Managed means framed and marked: the manager sets WM_STATE on the client
// once it has taken it in.
bool X11Desktop::isManaged(WindowId window) {
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    const bool marked =
        XGetWindowProperty(display_, window, XInternAtom(display_, "WM_STATE", False), 0, 0, False,
                           AnyPropertyType, &type, &format, &count, &after, &data) == Success &&
        type != None;
    if (data) XFree(data);
    if (!marked) return false;
    ::Window rootId = 0, parentId = 0, *children = nullptr;
    unsigned childCount = 0;
    const bool queried =
        XQueryTree(display_, window, &rootId, &parentId, &children, &childCount) != 0;
    if (children) XFree(children);
    return queried && parentId != rootId;
}

X11Desktop::WindowId X11Desktop::clientTitled(const std::string& title) {
    for (WindowId client : rootWindowList("_NET_CLIENT_LIST"))
        if (titleOf(client) == title) return client;
    return 0;
}

void X11Desktop::minimise(WindowId client) {
    XIconifyWindow(display_, client, DefaultScreen(display_));
    XFlush(display_);
}

void X11Desktop::restore(WindowId client) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = client;
    event.xclient.message_type = XInternAtom(display_, "_NET_ACTIVE_WINDOW", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = 2; // from a pager: no focus-stealing rules apply
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display_, DefaultRootWindow(display_), False,
               SubstructureRedirectMask | SubstructureNotifyMask, &event);
    XFlush(display_);
}

std::vector<X11Desktop::WindowId> X11Desktop::rootWindowList(const char* property) {
    std::vector<WindowId> list;
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display_, DefaultRootWindow(display_),
                           XInternAtom(display_, property, False), 0, 1024, False, XA_WINDOW, &type,
                           &format, &count, &after, &data) == Success &&
        data && format == 32) {
        const auto* ids = reinterpret_cast<const unsigned long*>(data);
        list.assign(ids, ids + count);
    }
    if (data) XFree(data);
    return list;
}

std::string X11Desktop::titleOf(WindowId window) {
    XTextProperty text{};
    std::string title;
    if (XGetWMName(display_, window, &text) && text.value)
        title.assign(reinterpret_cast<const char*>(text.value), text.nitems);
    if (text.value) XFree(text.value);
    return title;
}
