// SPDX-License-Identifier: MIT
// Dialog 101 driven through the real window loop, headless: clicks and keys
// go in as SDL events, and what the dialog shows is read back from it.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <sys/stat.h>
#include <utility>

#include "DialogHarness.h"
#include "app/CommandLine.h"
#include "app/WinMain.h"
#include "core/FrameTimer.h"
#include "core/Language.h"
#include "core/Log.h"
#include "core/RelationReader.h"
#include "d3d9/ImageCodec.h"
#include "resources/Resources.h"
#include "support/TempFolder.h"
#include "support/WinTestDriver.h"
#include "sys/Unicode.h"
#include "win/FileDialog.h"
#include "win/Win.h"

namespace {

std::string textOf(HWND window) {
    char16_t buffer[1024] = {};
    GetWindowTextW(window, buffer, 1024);
    return sys::utf16ToUtf8(buffer);
}

bool checked(HWND dialog, int id) {
    return SendMessageW(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0) == LRESULT(BST_CHECKED);
}

using DialogTest = DialogHarness;

TEST_F(DialogTest, OpensDialog101WithItsControlsAndEndsWithMinusOne) {
    std::string caption;
    RECT client{};
    std::vector<std::pair<int, RECT>> controls;
    bool xyOn = false, othersOff = false;
    bool looked = false;
    int result = run([&](HWND dialog) {
        if (std::exchange(looked, true)) return;
        caption = textOf(dialog);
        GetClientRect(dialog, &client);
        for (int id : {1001, 1002, 1005, 1006, 1007, 1008, 1009, 1010, 1011}) {
            RECT r{};
            GetWindowRect(GetDlgItem(dialog, id), &r);
            POINT topLeft{r.left, r.top};
            ScreenToClient(dialog, &topLeft);
            controls.push_back({id, RECT{topLeft.x, topLeft.y, topLeft.x + r.right - r.left,
                                         topLeft.y + r.bottom - r.top}});
        }
        xyOn = checked(dialog, 1008);
        othersOff = !checked(dialog, 1007) && !checked(dialog, 1009) && !checked(dialog, 1010) &&
                    !checked(dialog, 1011);
        win::test::pressKey(VK_ESCAPE);
    });
    EXPECT_EQ(result, -1);
    EXPECT_EQ(caption, "Embossa");
    EXPECT_TRUE(xyOn);
    EXPECT_TRUE(othersOff);

    // Dialog units map to pixels through the font's base units, as MulDiv does.
    const int baseX = int(std::lround(client.right * 4.0 / 405));
    const int baseY = int(std::lround(client.bottom * 8.0 / 250));
    ASSERT_GT(baseX, 0);
    auto px = [](int du, int base, int div) { return int(std::lround(double(du) * base / div)); };
    EXPECT_EQ(client.right, px(405, baseX, 4));
    EXPECT_EQ(client.bottom, px(250, baseY, 8));
    const std::map<int, std::array<int, 4>> expected = {
        {1001, {6, 24, 330, 14}},  {1002, {342, 24, 50, 14}}, {1005, {113, 51, 278, 186}},
        {1006, {48, 232, 50, 14}}, {1007, {12, 144, 45, 10}}, {1008, {12, 156, 45, 10}},
        {1009, {12, 168, 45, 10}}, {1010, {12, 198, 34, 10}}, {1011, {12, 210, 34, 10}},
    };
    ASSERT_EQ(controls.size(), expected.size());
    for (const auto& [id, rect] : controls) {
        const auto& du = expected.at(id);
        EXPECT_EQ(rect.left, px(du[0], baseX, 4)) << id;
        EXPECT_EQ(rect.top, px(du[1], baseY, 8)) << id;
        // Position and size convert separately, as the dialog manager does.
        EXPECT_EQ(rect.right - rect.left, px(du[2], baseX, 4)) << id;
        EXPECT_EQ(rect.bottom - rect.top, px(du[3], baseY, 8)) << id;
    }
}

TEST_F(DialogTest, RadioButtonsAndCheckBoxesDriveAxisModeAndFlipFlags) {
    static constexpr int kClicks[] = {1007, 1009, 1009, 1008, 1010, 1011, 1010};
    // Each click gets a few loop iterations to land before the next one.
    constexpr int kSpacing = 4;
    std::vector<std::pair<int, int>> seen; // axisMode, flipFlags after each click
    bool xzAfterFirst = false, xyOffAfterFirst = false;
    int iteration = 0;
    run([&](HWND dialog) {
        const int step = iteration / kSpacing;
        const int phase = iteration % kSpacing;
        ++iteration;
        if (step >= int(std::size(kClicks))) {
            win::test::closeBox(dialog);
            return;
        }
        if (phase == 0) {
            win::test::click(GetDlgItem(dialog, kClicks[step]));
        } else if (phase == kSpacing - 1) {
            seen.push_back({application().axisMode, application().flipFlags});
            if (step == 0) {
                xzAfterFirst = checked(dialog, 1007);
                xyOffAfterFirst = !checked(dialog, 1008);
            }
        }
    });
    const std::vector<std::pair<int, int>> expected = {{1, 0}, {2, 0}, {2, 0}, {0, 0},
                                                       {0, 1}, {0, 3}, {0, 2}};
    EXPECT_EQ(seen, expected);
    EXPECT_TRUE(xzAfterFirst);
    EXPECT_TRUE(xyOffAfterFirst); // radios of one group exclude each other
}

// What the dialog shows, read back from its window: the preview holds the
// placeholder checkerboard, the 3D view its grey background and grid, the
// buttons their captions on the dialog face. A picture is left beside the
// build for a person to look at.
TEST_F(DialogTest, ShowsPreviewViewAndButtonsAsDrawn) {
    const std::string path = std::string(EMBOSSA_BUILD_DIR) + "/screenshots/embossa-dialog.png";
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    bool saved = false;
    win::test::Capture whole, preview, view, save;
    int iteration = 0;
    run([&](HWND dialog) {
        // A few frames first, so the preview and the focus are drawn.
        if (++iteration != 5) return;
        saved = win::test::saveScreenshot(dialog, path);
        win::test::capture(dialog, whole);
        win::test::capture(GetDlgItem(dialog, 1004), preview);
        win::test::capture(GetDlgItem(dialog, 1005), view);
        win::test::capture(GetDlgItem(dialog, 1006), save);
        win::test::pressKey(VK_ESCAPE);
    });
    EXPECT_TRUE(saved);
    ASSERT_GT(whole.width, 0);
    const auto share = [](const win::test::Capture& shot, auto test) {
        const auto hits = std::count_if(shot.pixels.begin(), shot.pixels.end(), test);
        return shot.pixels.empty() ? 0.0 : double(hits) / double(shot.pixels.size());
    };
    const auto is = [](uint32_t colour) { return [colour](uint32_t p) { return p == colour; }; };
    const auto luminance = [](uint32_t p) {
        return ((p >> 16) & 0xFF) + ((p >> 8) & 0xFF) + (p & 0xFF);
    };

    // The bitmap static grows to the 120 x 120 preview: the placeholder's
    // red and navy squares, half each but for the blended edges.
    EXPECT_EQ(preview.width, 120);
    EXPECT_EQ(preview.height, 120);
    EXPECT_GT(share(preview, is(0xFF0000)), 0.3);
    EXPECT_GT(share(preview, is(0x000084)), 0.3);

    // The cleared grey fills most of the view; the grid and axes cross it.
    ASSERT_GT(view.width, 100);
    EXPECT_GT(share(view, is(0x999999)), 0.5);
    EXPECT_GT(share(view, [&](uint32_t p) { return luminance(p) < 3 * 0x80; }), 0.005);
    EXPECT_EQ(view.at(view.width / 2, 2), 0x999999u);

    // "Save": dark caption strokes on a light button face.
    ASSERT_GT(save.width, 0);
    EXPECT_GT(share(save, [&](uint32_t p) { return luminance(p) > 3 * 0xC0; }), 0.5);
    EXPECT_GT(share(save, [&](uint32_t p) { return luminance(p) < 3 * 0x60; }), 0.01);
    // Below the buttons the dialog face, light and plain, not an undrawn black.
    EXPECT_GT(luminance(whole.at(whole.width - 3, whole.height - 3)), 3 * 0xC0);
}

// The shipped table reads cleanly and has a real text for every box the
// program can show, so no user ever reads the missing-key fallback.
TEST(EnglishTable, HasATextForEveryKeyTheProgramLooksUp) {
    Language table;
    const RelationReadResult read = readRelations(table, englishLanguageTable(), u"English.lang");
    EXPECT_EQ(read.problems, 0);
    EXPECT_EQ(table.englishIndex(), 0);
    for (const char16_t* key : {u"Error", u"Info", u"Need_Newest_DirectX", u"ErrorDirect3D",
                                u"D3D_Init_Error", u"Image_Error", u"Save_Error"}) {
        const String& text = table.get(key);
        EXPECT_NE(&text, &languageFallbackText()) << sys::utf16ToUtf8(key);
        EXPECT_GT(text.length, 0) << sys::utf16ToUtf8(key);
    }
}

TEST_F(DialogTest, ShowOnAnOpenDialogOnlyBringsItForward) {
    INT_PTR again = -5;
    HWND first = nullptr, after = nullptr;
    bool pressed = false;
    run([&](HWND dialog) {
        first = dialog;
        again = application().show(101, nullptr, 0, 0);
        after = application().window;
        if (!std::exchange(pressed, true)) win::test::pressKey(VK_ESCAPE);
    });
    EXPECT_EQ(again, 0);
    EXPECT_EQ(first, after);
}

// The box is opened from a timer of its own, as a report from a frame would
// be; the test script (never re-entered) then watches the frame timer tick
// inside the box's loop and closes it.
namespace messageBoxTest {
bool open = false, done = false;
uint32_t start = 0, ticks = 0;
void openBox(HWND dialog, UINT, UINT_PTR id, DWORD) {
    KillTimer(dialog, id);
    open = true;
    start = frameNumber;
    MessageBoxW(dialog, u"text", u"caption", MB_OK);
    open = false;
    done = true;
}
} // namespace messageBoxTest

TEST_F(DialogTest, FrameTimerTicksWhileAMessageBoxIsOpen) {
    using namespace messageBoxTest;
    open = done = false;
    start = ticks = 0;
    win::test::holdMessageBoxes(true);
    bool armed = false, closing = false, answered = false;
    run([&](HWND dialog) {
        if (!std::exchange(armed, true)) SetTimer(dialog, 77, 1, &openBox);
        if (open) {
            ticks = frameNumber - start;
            if (ticks >= 5 && !std::exchange(answered, true)) win::test::pressKey(VK_RETURN);
        } else if (done && !std::exchange(closing, true)) {
            win::test::pressKey(VK_ESCAPE);
        }
    });
    win::test::holdMessageBoxes(false);
    EXPECT_TRUE(done);
    EXPECT_GE(ticks, 5u);
}

TEST_F(DialogTest, OpenPutsTheChosenPathIntoThePathFieldAndCancelChangesNothing) {
    TempFolder temp;
    const auto image = temp / "relief.png";
    std::filesystem::copy_file(std::string(EMBOSSA_SOURCE_DIR) + "/examples/rings.png", image);
    std::string afterCancel, afterOpen;
    Color centre{}, corner{};
    uint32_t ticksInDialog = 0, openedAt = 0;
    int typedAt = 0;
    int phase = 0;
    run([&](HWND dialog) {
        const bool browsing = win::test::fileDialogView().frames > 0;
        switch (phase) {
        case 0:
            win::test::click(GetDlgItem(dialog, 1002));
            phase = 1;
            break;
        case 1: // inside the browser: the frame timer must keep ticking, then cancel
            if (!browsing) break;
            if (openedAt == 0) openedAt = frameNumber;
            ticksInDialog = frameNumber - openedAt;
            if (ticksInDialog >= 3) {
                win::test::pressKey(VK_ESCAPE);
                phase = 2;
            }
            break;
        case 2:
            if (browsing) break;
            afterCancel = textOf(GetDlgItem(dialog, 1001));
            win::test::click(GetDlgItem(dialog, 1002));
            phase = 3;
            break;
        case 3: // the browser takes input once it has drawn; keys go a frame apart
            if (win::test::fileDialogView().frames < 2) break;
            win::test::typeText(image.string());
            typedAt = win::test::fileDialogView().frames;
            phase = 4;
            break;
        case 4:
            if (win::test::fileDialogView().frames < typedAt + 2) break;
            win::test::pressKey(VK_RETURN);
            phase = 5;
            break;
        default:
            if (browsing) break;
            afterOpen = textOf(GetDlgItem(dialog, 1001));
            centre = *application().preview.pixelAt(60, 60);
            corner = *application().preview.pixelAt(1, 1);
            if (phase++ == 5) win::test::pressKey(VK_ESCAPE);
        }
    });
    EXPECT_GE(ticksInDialog, 3u);
    EXPECT_EQ(afterCancel, "");
    EXPECT_EQ(afterOpen, image.string());
    EXPECT_EQ(sys::utf16ToUtf8(application().imagePath.text()), image.string());
    EXPECT_EQ(application().imageFile.size(), int32_t(std::filesystem::file_size(image)));
    // The preview is the image scaled to 120 x 120: orange rings on blue.
    const std::string bytes = TempFolder::readBytes(image);
    d3dx::Image source;
    ASSERT_EQ(d3dx::decodeImage(bytes.data(), bytes.size(), source), 0);
    const auto near = [](const Color& shown, uint32_t argb) {
        return std::abs(int(shown.r) - int((argb >> 16) & 0xFF)) <= 24 &&
               std::abs(int(shown.g) - int((argb >> 8) & 0xFF)) <= 24 &&
               std::abs(int(shown.b) - int(argb & 0xFF)) <= 24;
    };
    EXPECT_TRUE(near(centre, source.at(120, 120)));
    EXPECT_TRUE(near(corner, source.at(2, 2)));
}

// "embossa IMAGE" opens the image as "Open..." would; "Save" then writes the
// same bytes that convert writes for the same image and settings.
TEST_F(DialogTest, SaveWritesWhatConvertWritesForTheSameImage) {
    TempFolder temp;
    const auto image = temp / "kitty.png";
    std::filesystem::copy_file(std::string(EMBOSSA_SOURCE_DIR) +
                                   "/tests/platform/d3d9/data/images/afl-not-kitty.png",
                               image);
    application().pendingImage = String(sys::utf8ToUtf16(image.string()).c_str());
    std::string shownPath;
    Color bottomLeft{};
    bool clickedFlip = false, saved = false;
    int waited = 0;
    run([&](HWND dialog) {
        if (!clickedFlip) {
            shownPath = textOf(GetDlgItem(dialog, 1001));
            bottomLeft = *application().preview.pixelAt(0, 0);
            win::test::click(GetDlgItem(dialog, 1010));
            clickedFlip = true;
        } else if (!saved && application().flipFlags == 1) {
            win::test::click(GetDlgItem(dialog, 1006));
            saved = true;
        } else if (saved && ++waited == 4) {
            win::test::pressKey(VK_ESCAPE);
        }
    });
    EXPECT_EQ(shownPath, image.string());
    EXPECT_NE(bottomLeft.a, 0); // decoded, not the cleared buffer

    const auto fromConvert = temp / "convert.obj";
    ASSERT_EQ(
        app::runCommandLine({"convert", image.string(), "--flip-x", "-o", fromConvert.string()},
                            stdout, stderr),
        0);
    const std::string fromDialog = TempFolder::readBytes(temp / "test.obj");
    EXPECT_GT(fromDialog.size(), 100000u);
    EXPECT_EQ(fromDialog, TempFolder::readBytes(fromConvert));
}

// Nothing fails silently: an image that cannot be read or decoded, and a
// save that cannot be written, each end in one box that names the file and
// the reason, over the placeholder preview.
TEST_F(DialogTest, FailuresShowABoxNamingTheFileAndTheReason) {
    TempFolder temp;
    TempFolder::writeBytes(temp / "notes.png", "not a picture at all");
    ASSERT_EQ(::mkfifo((temp / "pipe.png").c_str(), 0600), 0);
    std::filesystem::create_directory(temp / "test.obj"); // where Save must write
    std::vector<std::u16string> boxes;
    ScopedLogSink sink([&](const String& line) {
        if (line.view().starts_with(u"MessageBox: ")) boxes.emplace_back(line.view());
    });
    const auto openAndSave = [&](const std::string& name) {
        boxes.clear();
        application().pendingImage = String(sys::utf8ToUtf16((temp / name).string()).c_str());
        double placeholder = 0;
        runSteps({{2,
                   [&](HWND dialog) {
                       // The share of the placeholder's pure red and navy squares.
                       int hits = 0;
                       for (int y = 0; y < 120; ++y)
                           for (int x = 0; x < 120; ++x) {
                               const Color c = *application().preview.pixelAt(x, y);
                               hits += (c.r == 0xFF && c.g == 0 && c.b == 0) ||
                                       (c.r == 0 && c.g == 0 && c.b == 0x84);
                           }
                       placeholder = hits / (120.0 * 120.0);
                       win::test::click(GetDlgItem(dialog, 1006));
                   }},
                  {2, [](HWND) {}}});
        return placeholder;
    };
    const std::u16string imageBox = u"MessageBox: Error: The image could not be loaded";
    const std::u16string saveBox = u"MessageBox: Error: The relief could not be saved.";
    const std::u16string savedTo = sys::utf8ToUtf16("'" + (temp / "test.obj").string() + "'");
    for (const auto& [name, reason] : std::vector<std::pair<std::string, std::u16string>>{
             {"missing.png", u"does not exist"},
             {"pipe.png", u"is not a regular file"},
             {"notes.png", u"is not an image embossa can decode"}}) {
        const double placeholder = openAndSave(name);
        ASSERT_EQ(boxes.size(), 2u) << name;
        EXPECT_TRUE(boxes[0].starts_with(imageBox)) << name;
        EXPECT_NE(boxes[0].find(sys::utf8ToUtf16((temp / name).string())), std::u16string::npos);
        EXPECT_NE(boxes[0].find(reason), std::u16string::npos) << name;
        EXPECT_GT(placeholder, 0.6) << name; // as the box says
        EXPECT_TRUE(boxes[1].starts_with(saveBox)) << name;
        EXPECT_NE(boxes[1].find(savedTo + u": it is a folder"), std::u16string::npos)
            << sys::utf16ToUtf8(boxes[1]);
    }
}

TEST(ModelessTemplate, AttachesOnInitAndClosesItsWindow) {
    ::setenv("SDL_VIDEODRIVER", "offscreen", 1);
    struct Recorder : Template {
        std::vector<UINT> messages;
        LPARAM initParam = 0;
        INT_PTR messageProc(HWND, UINT message, WPARAM, LPARAM lParam) override {
            if (message == WM_INITDIALOG) initParam = lParam;
            messages.push_back(message);
            return 0;
        }
    } recorder;
    registerResources();
    recorder.close(0); // no window yet: nothing happens
    EXPECT_EQ(recorder.window, nullptr);

    EXPECT_EQ(recorder.show(101, nullptr, 1, 1), 0);
    ASSERT_TRUE(IsWindow(recorder.window));
    ASSERT_FALSE(recorder.messages.empty());
    EXPECT_EQ(recorder.messages.front(), WM_INITDIALOG);
    EXPECT_EQ(recorder.initParam, reinterpret_cast<LPARAM>(&recorder));
    HWND window = recorder.window;
    recorder.close(0);
    EXPECT_EQ(recorder.window, nullptr);
    EXPECT_FALSE(IsWindow(window));
}

// Runs in a fresh process (a "threadsafe" death test re-executes the test
// binary), so no window state of the other tests leaks into the exit.
TEST(DialogToolExitCode, IsTwoHundredFiftyFiveAfterANormalClose) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            ::setenv("SDL_VIDEODRIVER", "offscreen", 1);
            bool closed = false;
            win::test::setIdleHook([&closed] {
                if (IsWindow(application().window) && !std::exchange(closed, true))
                    win::test::closeBox(application().window);
            });
            std::exit(app::runCommandLine({}, stdout, stderr));
        },
        ::testing::ExitedWithCode(255), "");
}

} // namespace
