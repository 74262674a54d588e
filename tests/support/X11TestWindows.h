// SPDX-License-Identifier: MIT
// Windows a test puts on the X desktop itself, with the classes, titles and
// types the desktop search looks for, through a connection of its own.
// Xlib stays inside the .cpp: its macros clash with engine names.
#pragma once

#include <string>
#include <vector>

struct _XDisplay;

class X11TestWindows {
public:
    using Id = unsigned long;

    X11TestWindows();  // connects to $DISPLAY
    ~X11TestWindows(); // destroys every window it made
    X11TestWindows(const X11TestWindows&) = delete;
    X11TestWindows& operator=(const X11TestWindows&) = delete;

    bool connected() const { return display_ != nullptr; }
    Id root() const;
    // A mapped window below `parent` (0: a top-level window) with WM_CLASS
    // `className`; `title` as WM_NAME and, UTF-8, as _NET_WM_NAME.
    Id create(Id parent, const std::string& className, const std::string& title = "",
              bool desktopType = false);
    void destroy(Id window);
    // Waits until the server has done everything asked so far.
    void sync();

private:
    _XDisplay* display_;
    std::vector<Id> made_;
};
