// SPDX-License-Identifier: MIT
// GetOpenFileNameW through the real window loop, headless: keys and text go
// in as SDL events once the panel has drawn, and the owner's timer is
// counted to show that the loop kept serving it.
#include "win/FileDialog.h"
#include "shared/StandInLog.h"
#include "support/WinTestDriver.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/TempFolder.h"
#include "sys/Unicode.h"
#include "win/DialogTemplate.h"
#include "win/Win.h"

namespace {

namespace fs = std::filesystem;

constexpr WORD kOwnerTemplate = 0x7F31;
constexpr UINT_PTR kTimer = 7;
constexpr size_t kCapacity = 260;

const char16_t kFilters[] = u"Image files (*.jpg;*.jpeg)\0*.jpg;*.jpeg\0All files (*.*)\0*.*\0";

int timerTicks = 0;

INT_PTR ownerProc(HWND, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_TIMER && wParam == kTimer) ++timerTicks;
    return message == WM_INITDIALOG;
}

// One step of a script: returns true when done, so the next may follow.
using Step = std::function<bool()>;

Step act(std::function<void()> action) {
    return [action] {
        action();
        return true;
    };
}

class FileDialogLoopTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ::setenv("SDL_VIDEODRIVER", "offscreen", 0); // unless one asks to watch
        registerDialogTemplate(
            DialogTemplate{kOwnerTemplate,
                           u"Owner",
                           u"MS Shell Dlg",
                           8,
                           WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_SETFONT,
                           0,
                           0,
                           300,
                           200,
                           0x409,
                           {{-1, u"STATIC", u"Behind the dialog", SS_LEFT, 7, 7, 120, 8}}});
    }

    void SetUp() override {
        for (const char* name : {"a.jpg", "sub/inner.jpg"}) {
            fs::create_directories((folder / name).parent_path());
            TempFolder::writeBytes(folder / name, "x");
        }
        root = folder.path().generic_string();
        buffer.assign(kCapacity, u'\x2A'); // a pattern the dialog must not touch on failure
        timerTicks = 0;
    }

    void TearDown() override {
        win::test::setIdleHook(nullptr);
        if (owner) DestroyWindow(owner);
    }

    HWND createOwner() {
        owner = CreateDialogParamW(nullptr, kOwnerTemplate, nullptr, ownerProc, 0);
        ShowWindow(owner, SW_SHOW);
        SetTimer(owner, kTimer, 10, nullptr);
        return owner;
    }

    void setPrevious(const std::string& path) {
        std::u16string wide = sys::utf8ToUtf16(path);
        std::copy(wide.begin(), wide.end(), buffer.begin());
        buffer[wide.size()] = u'\0';
    }
    std::string result() const { return sys::utf16ToUtf8(buffer.c_str()); }

    OPENFILENAMEW request(HWND window) {
        OPENFILENAMEW r;
        r.lStructSize = kOpenFileNameSize;
        r.hwndOwner = window;
        r.lpstrFilter = kFilters;
        r.nFilterIndex = 1;
        r.lpstrFile = buffer.data();
        r.nMaxFile = DWORD(buffer.size());
        r.Flags = OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
        return r;
    }

    // Runs the dialog, taking the next step only after the panel has drawn
    // twice since the last one, so focus requests and input have landed. A
    // stuck script is cancelled with Escape after a while.
    BOOL run(OPENFILENAMEW& r, std::vector<Step> steps) {
        size_t next = 0;
        int lastFrames = 0;
        const auto start = std::chrono::steady_clock::now();
        win::test::setIdleHook([&] {
            const int frames = win::test::fileDialogView().frames;
            if (std::chrono::steady_clock::now() - start > std::chrono::seconds(20)) {
                stuck = true;
                win::test::pressKey(VK_ESCAPE);
            } else if (next < steps.size() && frames >= lastFrames + 2 && steps[next]()) {
                ++next;
                lastFrames = frames;
            }
        });
        BOOL chosen = GetOpenFileNameW(&r);
        win::test::setIdleHook(nullptr);
        EXPECT_FALSE(stuck) << "the script stopped at step " << next;
        return chosen;
    }

    TempFolder folder;
    std::string root;
    std::u16string buffer;
    HWND owner = nullptr;
    bool stuck = false;
};

TEST_F(FileDialogLoopTest, TypedPathIsAcceptedWhileTheOwnersTimerTicks) {
    createOwner();
    setPrevious(root + "/a.jpg");
    auto r = request(owner);
    win::test::FileDialogView opened;
    int ticksWhenOpen = 0;
    bool saved = false;
    const std::string shot = EMBOSSA_SCREENSHOT_DIR "/file-dialog.png";
    BOOL chosen = run(r, {act([&] {
                              opened = win::test::fileDialogView();
                              ticksWhenOpen = timerTicks;
                              saved = win::test::saveScreenshot(owner, shot);
                          }),
                          [&] { return timerTicks >= ticksWhenOpen + 5; },
                          // Replaces the preselected name rather than adding to it.
                          act([&] { win::test::typeText(root + "/sub/inner.jpg"); }),
                          act([] { win::test::pressKey(VK_RETURN); })});
    EXPECT_EQ(chosen, 1);
    EXPECT_EQ(result(), root + "/sub/inner.jpg");
    EXPECT_EQ(opened.folder, root);
    EXPECT_EQ(opened.text, "a.jpg");
    EXPECT_TRUE(saved) << shot;
    EXPECT_EQ(r.nFilterIndex, 1u);
    EXPECT_EQ(win::test::fileDialogView().frames, 0);
    EXPECT_TRUE(IsWindow(owner));
}

TEST_F(FileDialogLoopTest, RefusalsStayInsideAndEscapeLeavesTheBufferAlone) {
    createOwner();
    setPrevious(root + "/a.jpg");
    const std::u16string before = buffer;
    auto r = request(owner);
    auto messageHas = [](const char* words) {
        return [words] {
            return win::test::fileDialogView().message.find(words) != std::string::npos;
        };
    };
    BOOL chosen =
        run(r, {act([] { win::test::typeText("missing.jpg"); }),
                act([] { win::test::pressKey(VK_RETURN); }), messageHas("File not found."),
                act([] { win::test::typeText("nowhere\\x.jpg"); }),
                act([] { win::test::pressKey(VK_RETURN); }), messageHas("The path does not exist."),
                act([] { win::test::pressKey(VK_ESCAPE); })});
    EXPECT_EQ(chosen, 0);
    EXPECT_EQ(buffer, before);
    EXPECT_EQ(r.nFilterIndex, 1u);
}

TEST_F(FileDialogLoopTest, WithoutOwnerItRunsInAPlainWindowOfItsOwn) {
    const std::u16string initial = sys::utf8ToUtf16(root);
    auto r = request(nullptr);
    r.lpstrInitialDir = initial.c_str();
    buffer[0] = u'\0';
    HWND plain = nullptr;
    BOOL chosen = run(r, {act([&] { plain = GetForegroundWindow(); }),
                          act([] { win::test::typeText("sub\\inner.jpg"); }),
                          act([] { win::test::pressKey(VK_RETURN); })});
    EXPECT_EQ(chosen, 1);
    EXPECT_EQ(result(), root + "/sub/inner.jpg");
    ASSERT_NE(plain, nullptr);
    EXPECT_FALSE(IsWindow(plain)) << "the plain window outlived its dialog";

    // Its close box cancels, as Escape does.
    setPrevious(root + "/a.jpg");
    const std::u16string before = buffer;
    EXPECT_EQ(run(r, {act([&] { win::test::closeBox(GetForegroundWindow()); })}), 0);
    EXPECT_EQ(buffer, before);

    // A path longer than the buffer is refused whole, never cut, and a box
    // names it and says why; the dialog stays open for another choice.
    std::vector<std::u16string> logged;
    standin::setLogFunction([&](const std::u16string& line) { logged.push_back(line); });
    r.nMaxFile = DWORD(root.size() + 6); // room for root + "/a.jp" and the terminator
    EXPECT_EQ(run(r, {act([&] { win::test::typeText(root + "/a.jpg"); }),
                      act([] { win::test::pressKey(VK_RETURN); }),
                      [] {
                          return win::test::fileDialogView().message.find("characters long") !=
                                 std::string::npos;
                      },
                      act([] { win::test::pressKey(VK_ESCAPE); })}),
              0);
    standin::setLogFunction({});
    EXPECT_EQ(buffer, before);
    const std::u16string box =
        u"MessageBox: Open: " + sys::utf8ToUtf16(root + "/a.jpg") + u"\nThe path is " +
        sys::utf8ToUtf16(std::to_string(root.size() + 6)) + u" characters long";
    EXPECT_EQ(std::count_if(logged.begin(), logged.end(),
                            [&](const std::u16string& line) { return line.starts_with(box); }),
              1);
    r.lStructSize = 88; // an older structure the engine never sends
    EXPECT_EQ(GetOpenFileNameW(&r), 0);
}

} // namespace
