// SPDX-License-Identifier: MIT
// The desktop search where there is no X desktop: the suite runs offscreen,
// as it would on Wayland or with no display at all.
#include "core/WinShell/Desktop.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "core/Log.h"
#include "win/Win.h"

namespace {

using namespace WinShell;

const bool offscreen = [] {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    return true;
}();

// Offscreen (or on Wayland) there is no X desktop to search.
TEST(DesktopDetectionOffscreen, StopsAtTheMissingDesktopWindow) {
    ASSERT_TRUE(win::init());
    std::vector<std::u16string> lines;
    ScopedLogSink sink([&](const String& line) { lines.emplace_back(line.view()); });
    Desktop::detectDesktopHWNDs();
    EXPECT_EQ(Desktop::desktopWindow, nullptr);
    EXPECT_EQ(Desktop::shellWindow, nullptr);
    EXPECT_EQ(lines, std::vector<std::u16string>{u"Desktop Window not found..."});
}

} // namespace
