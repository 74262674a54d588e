// SPDX-License-Identifier: MIT
#include "X11TestWindows.h"

#include <algorithm>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

X11TestWindows::X11TestWindows() : display_(XOpenDisplay(nullptr)) {}

X11TestWindows::~X11TestWindows() {
    if (!display_) return;
    // Children go with their parents; destroying them first is harmless.
    for (auto it = made_.rbegin(); it != made_.rend(); ++it) XDestroyWindow(display_, *it);
    XSync(display_, False);
    XCloseDisplay(display_);
}

X11TestWindows::Id X11TestWindows::root() const {
    return DefaultRootWindow(display_);
}

X11TestWindows::Id X11TestWindows::create(Id parent, const std::string& className,
                                          const std::string& title, bool desktopType) {
    const Id window =
        XCreateSimpleWindow(display_, parent ? parent : root(), 0, 0, 40, 30, 0, 0, 0);
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
    return window;
}

void X11TestWindows::destroy(Id window) {
    XDestroyWindow(display_, window);
    made_.erase(std::remove(made_.begin(), made_.end(), window), made_.end());
    XSync(display_, False);
}

void X11TestWindows::sync() {
    XSync(display_, False);
}
