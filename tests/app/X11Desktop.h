// SPDX-License-Identifier: MIT
// The user's side of an X desktop: a connection of its own to the X server,
// asking the window manager to minimise and restore windows as a taskbar or
// pager does. Kept apart because Xlib's macros clash with engine names.
#pragma once

#include <string>
#include <vector>

struct _XDisplay;

class X11Desktop {
public:
    using WindowId = unsigned long;

    X11Desktop(); // connects to $DISPLAY
    ~X11Desktop();
    X11Desktop(const X11Desktop&) = delete;
    X11Desktop& operator=(const X11Desktop&) = delete;

    bool connected() const { return display_ != nullptr; }
    // Whether a window manager has announced itself on the root window.
    bool hasWindowManager();
    // The managed top-level window titled `title`, or 0.
    WindowId clientTitled(const std::string& title);
    void minimise(WindowId client);
    // Asks the window manager to activate the window, which brings a
    // minimised one back.
    void restore(WindowId client);

private:
    std::vector<WindowId> rootWindowList(const char* property);
    std::string titleOf(WindowId window);

    _XDisplay* display_;
};
