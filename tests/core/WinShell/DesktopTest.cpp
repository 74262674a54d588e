// SPDX-License-Identifier: MIT
// The desktop search on a real X server (run through tests/run-on-desktop):
// each test puts the desktop's windows up itself, with the classes and
// titles the search looks for, and reads back what it found.
#include "core/WinShell/Desktop.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/Log.h"
#include "support/X11Desktop.h"
#include "sys/Unicode.h"
#include "win/Win.h"

namespace {

using namespace WinShell;

std::string classOf(HWND window) {
    char16_t buffer[256] = {};
    const int length = GetClassNameW(window, buffer, 256);
    return sys::utf16ToUtf8(std::u16string_view(buffer, size_t(length)));
}

std::string titleOf(HWND window) {
    char16_t buffer[256] = {};
    const int length = GetWindowTextW(window, buffer, 256);
    return sys::utf16ToUtf8(std::u16string_view(buffer, size_t(length)));
}

class DesktopDetection : public ::testing::Test {
protected:
    X11Desktop windows;
    std::vector<std::u16string> lines;
    ScopedLogSink sink{[this](const String& line) { lines.emplace_back(line.view()); }};

    static void SetUpTestSuite() { setenv("SDL_VIDEODRIVER", "x11", 1); }
    void SetUp() override {
        ASSERT_TRUE(std::getenv("DISPLAY") && windows.connected())
            << "no X server; run this test through tests/run-on-desktop";
        ASSERT_TRUE(windows.waitForWindowManager()) << "the window manager did not start";
        ASSERT_TRUE(win::init());
    }
    void TearDown() override { win::shutdown(); }

    void detect() {
        windows.sync();
        lines.clear();
        Desktop::detectDesktopHWNDs();
    }
    bool logged(std::u16string_view line) const {
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
};

// The usual desktop: a desktop-typed shell window holding its view, which
// holds the icon list; every handle found, no search beyond the first.
TEST_F(DesktopDetection, FindsAllFourHandlesOfAShellDesktop) {
    const auto shell = windows.create(0, "Progman", "Program Manager", true);
    const auto view = windows.create(shell, "SHELLDLL_DefView");
    windows.create(view, "Other");
    windows.create(view, "SysListView32", "FolderView");
    detect();
    EXPECT_EQ(Desktop::desktopWindow, GetDesktopWindow());
    ASSERT_NE(Desktop::shellWindow, nullptr);
    EXPECT_EQ(Desktop::shellWindow, GetShellWindow());
    EXPECT_EQ(classOf(Desktop::shellWindow), "Progman");
    EXPECT_EQ(titleOf(Desktop::shellWindow), "Program Manager");
    ASSERT_NE(Desktop::shellView, nullptr);
    EXPECT_EQ(classOf(Desktop::shellView), "SHELLDLL_DefView");
    EXPECT_EQ(GetParent(Desktop::shellView), Desktop::shellWindow);
    ASSERT_NE(Desktop::iconView, nullptr);
    EXPECT_EQ(classOf(Desktop::iconView), "SysListView32");
    EXPECT_EQ(titleOf(Desktop::iconView), "FolderView");
    EXPECT_EQ(GetParent(Desktop::iconView), Desktop::shellView);
    EXPECT_TRUE(lines.empty()) << sys::utf16ToUtf8(lines.front());
}

// No window is typed as the desktop: the shell is found through the icon
// list inside it, and a shell view holding no "FolderView" list gives its
// first child instead.
TEST_F(DesktopDetection, WithoutADesktopTypeTheIconListLeadsToTheShell) {
    const auto shell = windows.create(0, "Progman", "Program Manager");
    const auto view = windows.create(shell, "SHELLDLL_DefView");
    windows.create(view, "SysListView32", "Not the folder view");
    detect();
    EXPECT_EQ(GetShellWindow(), nullptr);
    ASSERT_NE(Desktop::shellWindow, nullptr);
    EXPECT_EQ(classOf(Desktop::shellWindow), "Progman");
    EXPECT_EQ(classOf(Desktop::shellView), "SHELLDLL_DefView");
    ASSERT_NE(Desktop::iconView, nullptr);
    EXPECT_EQ(titleOf(Desktop::iconView), "Not the folder view");
}

// A shell window with no view of its own: the shell cannot be woken here,
// which is said once, and the view is found in another top-level window.
TEST_F(DesktopDetection, AShellWithoutItsViewIsLookedForAmongTopLevelWindows) {
    windows.create(0, "Progman", "Program Manager", true);
    const auto worker = windows.create(0, "WorkerW");
    const auto view = windows.create(worker, "SHELLDLL_DefView");
    windows.create(view, "SysListView32", "FolderView");
    detect();
    EXPECT_EQ(classOf(Desktop::shellWindow), "Progman");
    ASSERT_NE(Desktop::shellView, nullptr);
    EXPECT_EQ(classOf(GetParent(Desktop::shellView)), "WorkerW");
    EXPECT_EQ(titleOf(Desktop::iconView), "FolderView");
    EXPECT_TRUE(logged(u"No taskbar-list object to wake the shell's desktop with; looking on"));
}

TEST_F(DesktopDetection, ClassNamesMustMatchWhole) {
    const auto shell = windows.create(0, "ProgmanX", "Program Manager");
    windows.create(shell, "SHELLDLL_DefView");
    windows.create(0, "Progma", "Program Manager");
    detect();
    EXPECT_EQ(Desktop::desktopWindow, GetDesktopWindow());
    EXPECT_EQ(Desktop::shellWindow, nullptr);
    EXPECT_EQ(Desktop::shellView, nullptr);
    EXPECT_EQ(Desktop::iconView, nullptr);
    EXPECT_TRUE(logged(u"Progman Window not found..."));
}

TEST_F(DesktopDetection, AShellWithNoViewAnywhereStopsThere) {
    windows.create(0, "Progman", "Program Manager", true);
    detect();
    EXPECT_EQ(classOf(Desktop::shellWindow), "Progman");
    EXPECT_EQ(Desktop::shellView, nullptr);
    EXPECT_EQ(Desktop::iconView, nullptr);
    EXPECT_TRUE(logged(u"Shell Dll Window not found..."));
}

// Titles come from _NET_WM_NAME as UTF-8; a window that went away is no
// window any more, and asking about it is harmless.
TEST_F(DesktopDetection, TitlesAreUnicodeAndVanishedWindowsAreGone) {
    const auto shell = windows.create(0, "Progman", "Programm\xC3\xBC Manager \xE2\x9C\x93", true);
    windows.sync();
    HWND found = FindWindowExW(nullptr, nullptr, u"Progman", u"Programm\u00FC Manager \u2713");
    ASSERT_NE(found, nullptr);
    EXPECT_TRUE(IsWindow(found));
    windows.destroy(shell);
    EXPECT_FALSE(IsWindow(found));
    EXPECT_EQ(classOf(found), "");
    EXPECT_EQ(GetWindow(found, GW_CHILD), nullptr);
}

} // namespace
