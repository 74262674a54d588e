// SPDX-License-Identifier: MIT
// The user's side of an X desktop, for the tests that need one (run through
// tests/run-on-desktop): a connection of its own to the X server that puts
// windows up with the classes, titles and types a test asks for, and asks
// the window manager to minimise and restore windows as a taskbar does.
// Xlib stays inside the .cpp: its macros clash with engine names.
#pragma once

#include <string>
#include <vector>

struct _XDisplay;

class X11Desktop {
public:
    using WindowId = unsigned long;

    X11Desktop();  // connects to $DISPLAY
    ~X11Desktop(); // destroys every window it made
    X11Desktop(const X11Desktop&) = delete;
    X11Desktop& operator=(const X11Desktop&) = delete;

    bool connected() const { return display_ != nullptr; }
    // The window manager starts beside the test program; windows put up
    // before it runs are taken into frames while a test looks at them.
    bool waitForWindowManager();

    // A mapped window below `parent` (0: a top-level window) with WM_CLASS
    // `className`; `title` as WM_NAME and, UTF-8, as _NET_WM_NAME.
    WindowId create(WindowId parent, const std::string& className, const std::string& title = "",
                    bool desktopType = false);
    void destroy(WindowId window);
    // Waits until the server has done everything asked so far and, under a
    // window manager, until it manages every top-level window made here:
    // half-framed, a window is briefly in a frame that does not yet say
    // whose it is.
    void sync();

    // The managed top-level window titled `title`, or 0.
    WindowId clientTitled(const std::string& title);
    void minimise(WindowId client);
    // Asks the window manager to activate the window, which brings a
    // minimised one back.
    void restore(WindowId client);

private:
    // Whether a window manager has announced itself on the root window.
    bool hasWindowManager();
    std::vector<WindowId> rootWindowList(const char* property);
    std::string titleOf(WindowId window);
    bool isManaged(WindowId window);

    _XDisplay* display_;
    std::vector<WindowId> made_;
    std::vector<WindowId> topLevel_;
};
