// SPDX-License-Identifier: MIT
#include "X11Desktop.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

X11Desktop::X11Desktop() : display_(XOpenDisplay(nullptr)) {}

X11Desktop::~X11Desktop() {
    if (display_) XCloseDisplay(display_);
}

bool X11Desktop::hasWindowManager() {
    return !rootWindowList("_NET_SUPPORTING_WM_CHECK").empty();
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
