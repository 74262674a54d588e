// SPDX-License-Identifier: MIT
// The live 3D view of the dialog, driven headless through the real loop:
// camera, orbit, zoom, the Ctrl arrows, the gizmo switch, what the view
// draws, and a dialog that lost Direct3D at start.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

#include "DialogHarness.h"
#include "app/CommandLine.h"
#include "app/MeshFile.h"
#include "core/FrameTimer.h"
#include "core/Log.h"
#include "core/UserInput.h"
#include "d3d9/ImageCodec.h"
#include "render/D3D/D3D.h"
#include "support/TempFolder.h"
#include "support/Watchdog.h"
#include "support/WinTestDriver.h"
#include "sys/Unicode.h"

namespace {

namespace fs = std::filesystem;

const fs::path kSample = fs::path(EMBOSSA_SOURCE_DIR) / "examples" / "rings.png";

HWND viewControl(HWND dialog) {
    return GetDlgItem(dialog, 1005);
}

POINT viewCentre(HWND dialog) {
    RECT r{};
    GetClientRect(viewControl(dialog), &r);
    return POINT{r.right / 2, r.bottom / 2};
}

POINT onScreen(HWND window, POINT p) {
    ClientToScreen(window, &p);
    return p;
}

bool cursorHidden() {
    // The display count goes back to what it was.
    const bool hidden = ShowCursor(TRUE) <= 0;
    ShowCursor(FALSE);
    return hidden;
}

RECT clip() {
    RECT r{};
    GetClipCursor(&r);
    return r;
}

bool sameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

RECT wholeScreen() {
    return RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
}

// Where a world point lands in the view's client pixels.
POINT project(const D3D::Device::SwapChain& camera, float x, float y, float z) {
    const auto& m = camera.viewProjection.m;
    const float cx = x * m[0][0] + y * m[1][0] + z * m[2][0] + m[3][0];
    const float cy = x * m[0][1] + y * m[1][1] + z * m[2][1] + m[3][1];
    const float cw = x * m[0][3] + y * m[1][3] + z * m[2][3] + m[3][3];
    const float w = float(camera.presentParameters.BackBufferWidth);
    const float h = float(camera.presentParameters.BackBufferHeight);
    return POINT{LONG(std::lround((cx / cw + 1.0f) * 0.5f * w)),
                 LONG(std::lround((1.0f - (cy / cw + 1.0f) * 0.5f) * h))};
}

d3dx::Image screenshotOf(HWND window, const std::string& name) {
    const fs::path path = fs::path(EMBOSSA_BUILD_DIR) / "screenshots" / name;
    fs::create_directories(path.parent_path());
    d3dx::Image image;
    if (!win::test::saveScreenshot(window, path.string())) return image;
    const std::string bytes = TempFolder::readBytes(path);
    d3dx::decodeImage(bytes.data(), bytes.size(), image);
    return image;
}

int channel(uint32_t argb, int shift) {
    return int((argb >> shift) & 0xFF);
}

bool isBackground(uint32_t argb) {
    return std::abs(channel(argb, 16) - 0x99) <= 2 && std::abs(channel(argb, 8) - 0x99) <= 2 &&
           std::abs(channel(argb, 0) - 0x99) <= 2;
}

Editor& view() {
    return *application().view;
}

// Whether the view shows what drawing a frame now would show: the frame on
// screen, read back, against one drawn on purpose. A skipped tick that
// should have drawn leaves a stale picture, and this tells.
bool showsAFreshFrame(HWND dialog, const char* when) {
    win::test::Capture shown, fresh;
    win::test::capture(viewControl(dialog), shown);
    SendMessageW(dialog, WM_PAINT, 0, 0);
    win::test::capture(viewControl(dialog), fresh);
    EXPECT_GT(shown.width, 0) << when;
    const bool same = shown.width == fresh.width && shown.pixels == fresh.pixels;
    EXPECT_TRUE(same) << when << ": the view showed a stale frame";
    return same;
}

using ViewTest = DialogHarness;

TEST_F(ViewTest, FirstFrameLooksAtTheOriginAndEachAxisModeShowsTheLitRelief) {
    TempFolder temp;
    const fs::path image = temp / "rings.png";
    fs::copy_file(kSample, image);
    application().pendingImage = String(sys::utf8ToUtf16(image.string()).c_str());
    D3DVECTOR camera{}, light{};
    struct Shot {
        int radio;
        const char* file;
        d3dx::Image picture;
        int32_t axisMode = -1;
    };
    std::vector<Shot> shots = {
        {1008, "view-x-y.png", {}}, {1007, "view-x-z.png", {}}, {1009, "view-y-z.png", {}}};
    std::vector<Step> steps = {{2, [&](HWND) {
                                    camera = application().swapChain->position;
                                    light = application().swapChain->light.direction;
                                }}};
    for (Shot& shot : shots) {
        steps.push_back(
            {1, [&shot](HWND dialog) { win::test::click(GetDlgItem(dialog, shot.radio)); }});
        steps.push_back({3, [&shot](HWND dialog) {
                             shot.axisMode = application().axisMode;
                             shot.picture = screenshotOf(viewControl(dialog), shot.file);
                         }});
    }
    ASSERT_TRUE(application().swapChain == nullptr);
    runSteps(steps);

    // Yaw 135, pitch -25 at distance 9 around the origin.
    EXPECT_NEAR(camera.x, 5.77f, 0.01f);
    EXPECT_NEAR(camera.y, 3.80f, 0.01f);
    EXPECT_NEAR(camera.z, -5.77f, 0.01f);
    // The light shines from the camera: its block holds the way back to it.
    const float length = std::sqrt(camera.x * camera.x + camera.y * camera.y + camera.z * camera.z);
    EXPECT_NEAR(light.x, camera.x / length, 1e-4f);
    EXPECT_NEAR(light.y, camera.y / length, 1e-4f);
    EXPECT_NEAR(light.z, camera.z / length, 1e-4f);

    EXPECT_EQ(shots[0].axisMode, 0);
    EXPECT_EQ(shots[1].axisMode, 1);
    EXPECT_EQ(shots[2].axisMode, 2);
    for (const Shot& shot : shots) {
        const d3dx::Image& p = shot.picture;
        ASSERT_GT(p.width, 100) << shot.file;
        // Grey above the horizon, relief (neither grey nor black) in the middle.
        EXPECT_TRUE(isBackground(p.at(2, 2))) << shot.file << std::hex << " " << p.at(2, 2);
        const uint32_t middle = p.at(p.width / 2, p.height / 2);
        EXPECT_FALSE(isBackground(middle)) << shot.file;
        EXPECT_GT(channel(middle, 16) + channel(middle, 8) + channel(middle, 0), 60) << shot.file;
    }
    EXPECT_NE(shots[0].picture.pixels, shots[1].picture.pixels);
    EXPECT_NE(shots[1].picture.pixels, shots[2].picture.pixels);
}

TEST_F(ViewTest, RightDragOrbitsWithTheCursorHiddenAndPinnedThenRestoresBoth) {
    POINT centre{};
    bool hiddenWhileDragging = false, shownAfter = false;
    RECT pinned{}, restored{}, expectedPin{};
    float yawAfterMove = 0, pitchDown = 0, pitchUp = 0, yawAfterRelease = 0;
    runSteps({
        {2,
         [&](HWND dialog) {
             centre = viewCentre(dialog);
             win::test::moveMouse(viewControl(dialog), centre.x, centre.y, 0, 0);
         }},
        {2,
         [&](HWND dialog) {
             win::test::mouseButtonAt(viewControl(dialog), centre.x, centre.y, 3, true);
         }},
        {2,
         [&](HWND dialog) {
             const POINT at = onScreen(viewControl(dialog), centre);
             expectedPin = RECT{at.x, at.y, at.x + 1, at.y + 1};
             hiddenWhileDragging = view().viewDragging && cursorHidden();
             pinned = clip();
             win::test::moveMouse(viewControl(dialog), centre.x, centre.y, 50, 1000);
         }},
        {2,
         [&](HWND dialog) {
             yawAfterMove = view().yaw;
             pitchDown = view().pitch;
             win::test::moveMouse(viewControl(dialog), centre.x, centre.y, 0, -3000);
         }},
        {2,
         [&](HWND dialog) {
             pitchUp = view().pitch;
             win::test::mouseButtonAt(viewControl(dialog), centre.x, centre.y, 3, false);
         }},
        {2,
         [&](HWND dialog) {
             shownAfter = !view().viewDragging && !cursorHidden();
             restored = clip();
             // Motion without the button no longer turns the camera.
             win::test::moveMouse(viewControl(dialog), centre.x, centre.y, 40, 40);
         }},
        {2, [&](HWND) { yawAfterRelease = view().yaw; }},
    });
    EXPECT_TRUE(hiddenWhileDragging);
    EXPECT_TRUE(sameRect(pinned, expectedPin));
    EXPECT_FLOAT_EQ(yawAfterMove, 135.0f - 0.2f * 50.0f);
    EXPECT_FLOAT_EQ(pitchDown, 89.9f);
    EXPECT_FLOAT_EQ(pitchUp, -89.9f);
    EXPECT_TRUE(shownAfter);
    EXPECT_TRUE(sameRect(restored, wholeScreen()));
    EXPECT_FLOAT_EQ(yawAfterRelease, yawAfterMove);
}

TEST_F(ViewTest, LosingTheFocusMidOrbitGivesTheCursorBack) {
    POINT centre{};
    bool draggingBefore = false, freedAfter = false;
    RECT restored{};
    float yawAfterFocusLoss = 0, yawLater = 0;
    runSteps({
        {2,
         [&](HWND dialog) {
             centre = viewCentre(dialog);
             win::test::mouseButtonAt(viewControl(dialog), centre.x, centre.y, 3, true);
         }},
        {2,
         [&](HWND dialog) {
             draggingBefore = view().viewDragging && cursorHidden();
             win::test::focusAway(dialog);
         }},
        {2,
         [&](HWND dialog) {
             freedAfter = !view().viewDragging && !cursorHidden();
             restored = clip();
             yawAfterFocusLoss = view().yaw;
             win::test::moveMouse(viewControl(dialog), centre.x, centre.y, 40, 40);
         }},
        {2, [&](HWND) { yawLater = view().yaw; }},
    });
    EXPECT_TRUE(draggingBefore);
    EXPECT_TRUE(freedAfter);
    EXPECT_TRUE(sameRect(restored, wholeScreen()));
    EXPECT_FLOAT_EQ(yawLater, yawAfterFocusLoss);
}

TEST_F(ViewTest, WheelZoomsOnlyOverTheViewAndStaysWithinItsLimits) {
    std::vector<float> zooms;
    float distance = 0;
    bool focusOnView = false;
    const auto record = [&](HWND) { zooms.push_back(view().zoom); };
    const auto wheel = [](int clicks) {
        return [clicks](HWND dialog) {
            const POINT c = viewCentre(dialog);
            win::test::wheelAt(viewControl(dialog), c.x, c.y, clicks);
        };
    };
    runSteps({
        {2, [](HWND dialog) { win::test::wheelAt(GetDlgItem(dialog, 1004), 5, 5, 1); }},
        {2, record},
        {0, wheel(1)},
        {2,
         [&](HWND dialog) {
             record(dialog);
             const D3DVECTOR p = application().swapChain->position;
             distance = std::sqrt(p.x * p.x + p.y * p.y + p.z * p.z);
             focusOnView = GetFocus() == viewControl(dialog);
         }},
        {0, [](HWND) { view().zoom = 1.1f; }},
        {0, wheel(1)},
        {2, record},
        {0, [](HWND) { view().zoom = 49.9f; }},
        {0, wheel(-1)},
        {2, record},
        // One wheel click moves the zoom by one step, however long it is held.
        {2, record},
    });
    ASSERT_EQ(zooms.size(), 5u);
    EXPECT_FLOAT_EQ(zooms[0], 3.0f); // over the preview
    EXPECT_FLOAT_EQ(zooms[1], 3.0f - 0.3f);
    EXPECT_NEAR(distance, zooms[1] * zooms[1], 1e-3f);
    EXPECT_FLOAT_EQ(zooms[2], 1.0f);
    EXPECT_FLOAT_EQ(zooms[3], 50.0f);
    EXPECT_FLOAT_EQ(zooms[4], 50.0f);
    EXPECT_TRUE(focusOnView);
}

TEST_F(ViewTest, CtrlPutsArrowsOnTheTargetAndDraggingOneMovesTargetAndCamera) {
    POINT arrow{}, cone{};
    bool shownWithCtrl = false, hoveredY = false, draggingHidden = false, released = false;
    bool hiddenAfterCtrl = false;
    float cameraY = 0, movedTargetY = 0, movedCameraY = 0;
    d3dx::Image withArrows;
    runSteps({
        {2, [](HWND) { win::test::keyDown(VK_CONTROL); }},
        {2,
         [&](HWND dialog) {
             shownWithCtrl = view().justification.target == &view().viewTarget;
             // Halfway up the y arrow.
             const float up = 0.15f * view().scale();
             arrow = project(*application().swapChain, 0.0f, up, 0.0f);
             // A little above the cone's base.
             cone = project(*application().swapChain, 0.0f, 0.27f * view().scale(), 0.0f);
             win::test::moveMouse(viewControl(dialog), arrow.x, arrow.y, 0, 0);
         }},
        {2,
         [&](HWND dialog) {
             hoveredY = view().hovered[0] && view().justification.selectedAxis == 2;
             withArrows = screenshotOf(viewControl(dialog), "view-arrows.png");
             cameraY = application().swapChain->position.y;
             win::test::mouseButtonAt(viewControl(dialog), arrow.x, arrow.y, 1, true);
         }},
        {2,
         [&](HWND dialog) {
             draggingHidden = view().dragging[0] && cursorHidden();
             win::test::moveMouse(viewControl(dialog), arrow.x, arrow.y, 0, -100);
         }},
        {2,
         [&](HWND dialog) {
             movedTargetY = view().viewTarget.y;
             movedCameraY = application().swapChain->position.y;
             win::test::mouseButtonAt(viewControl(dialog), arrow.x, arrow.y, 1, false);
         }},
        {2,
         [&](HWND) {
             released = !view().dragging[0] && !cursorHidden() && sameRect(clip(), wholeScreen());
             win::test::keyUp(VK_CONTROL);
         }},
        {2, [&](HWND) { hiddenAfterCtrl = view().justification.target == nullptr; }},
    });
    EXPECT_TRUE(shownWithCtrl);
    EXPECT_TRUE(hoveredY);
    EXPECT_TRUE(draggingHidden);
    // 100 pixels up along an arrow that points up on screen, at scale 9.
    EXPECT_NEAR(movedTargetY, 100.0f * 0.0009f * 9.0f, 0.02f);
    EXPECT_NEAR(movedCameraY - cameraY, movedTargetY, 1e-4f);
    EXPECT_TRUE(released);
    EXPECT_TRUE(hiddenAfterCtrl);
    // The hovered arrow's cone turns yellow.
    ASSERT_GT(withArrows.width, 0);
    const uint32_t atCone = withArrows.at(int(cone.x), int(cone.y));
    EXPECT_GT(channel(atCone, 16), 150) << std::hex << atCone;
    EXPECT_GT(channel(atCone, 8), 150) << std::hex << atCone;
    EXPECT_LT(channel(atCone, 0), 100) << std::hex << atCone;
}

TEST_F(ViewTest, DoubleClickSwitchesTheGizmosOnlyWhileTheArrowsHaveATarget) {
    std::vector<uint32_t> modes;
    const auto doubleClick = [](HWND dialog) {
        win::test::doubleClickAt(viewControl(dialog), 10, 10);
    };
    const auto record = [&](HWND) { modes.push_back(view().mode); };
    runSteps({
        {2, doubleClick},
        {3, record},
        {0, [](HWND) { win::test::keyDown(VK_CONTROL); }},
        {2, doubleClick},
        {3, record},
        {0, doubleClick},
        {3, record},
        {0, [](HWND) { win::test::keyUp(VK_CONTROL); }},
        {2, [](HWND) {}},
    });
    EXPECT_EQ(modes, (std::vector<uint32_t>{3, 4, 3}));
}

// Direct3D refusing to start shows the error box (with no language table both
// texts read "==>Error<=="); the preview, the mirror boxes and Save go on
// working without a device.
TEST_F(ViewTest, WithoutDirect3DTheErrorShowsAndTheDialogStaysUsable) {
    TempFolder temp;
    const fs::path image = temp / "rings.png";
    fs::copy_file(kSample, image);
    application().pendingImage = String(sys::utf8ToUtf16(image.string()).c_str());
    std::vector<std::u16string> lines;
    ScopedLogSink sink([&](const String& line) { lines.emplace_back(line.text()); });
    const auto previous = D3D::setDirect3DFactory([](UINT) -> IDirect3D9* { return nullptr; });
    bool noView = false;
    int32_t vertices = 0;
    uint8_t previewAlpha = 0;
    runSteps({
        {3,
         [&](HWND dialog) {
             noView = !application().view && !application().swapChain;
             vertices = application().mesh.vertexCount();
             previewAlpha = application().preview.pixelAt(60, 60)->a;
             win::test::click(GetDlgItem(dialog, 1010));
         }},
        {3, [](HWND dialog) { win::test::click(GetDlgItem(dialog, 1006)); }},
        {3, [](HWND) {}},
    });
    D3D::setDirect3DFactory(previous);
    EXPECT_TRUE(noView);
    EXPECT_GT(vertices, 1000);
    EXPECT_EQ(previewAlpha, 255);
    // Both boxes speak English now that the table is filled, not the
    // fallback text of a missing key.
    const auto box = [&](std::u16string_view start) {
        return std::count_if(lines.begin(), lines.end(), [&](const std::u16string& line) {
            return line.starts_with(start) && line.find(u"==>Error<==") == std::u16string::npos;
        });
    };
    EXPECT_EQ(box(u"MessageBox: Information: The 3D runtime"), 1);
    EXPECT_EQ(box(u"MessageBox: Error: The 3D view could not be started"), 1);

    const fs::path converted = temp / "convert.obj";
    ASSERT_EQ(app::runCommandLine({"convert", image.string(), "--flip-x", "-o", converted.string()},
                                  stdout, stderr),
              0);
    EXPECT_EQ(TempFolder::readBytes(temp / "test.obj"), TempFolder::readBytes(converted));
}

// A minimised view loses the device; the restore waits inside the frame,
// with the dialog's timer and this script still running around it.
TEST_F(ViewTest, MinimisingLosesTheDeviceAndRestoringDrawsTheViewAgain) {
    Watchdog watchdog(120, "the dialog never came back from being minimised");
    int32_t lostWhileMinimised = -1, lostAfter = -1;
    uint32_t ticksWhileMinimised = 0;
    win::test::Capture shown;
    const int result = runSteps({
        {3, [](HWND dialog) { ShowWindow(dialog, SW_MINIMIZE); }},
        {1, [&](HWND) { ticksWhileMinimised = frameNumber; }},
        {5,
         [&](HWND dialog) {
             ticksWhileMinimised = frameNumber - ticksWhileMinimised;
             lostWhileMinimised = D3D::device.lost;
             ShowWindow(dialog, SW_RESTORE);
         }},
        {5,
         [&](HWND dialog) {
             lostAfter = D3D::device.lost;
             win::test::capture(viewControl(dialog), shown);
         }},
    });
    EXPECT_EQ(result, -1);
    EXPECT_GE(ticksWhileMinimised, 5u); // the timer kept ticking under the wait
    EXPECT_EQ(lostWhileMinimised, 1);
    EXPECT_EQ(lostAfter, 0);
    ASSERT_GT(shown.width, 0);
    EXPECT_TRUE(isBackground(shown.at(2, 2)));
}

// Whatever ends the program while the device waits for the window ends it
// as a close does: WinMain returns -1 and nothing hangs.
TEST_F(ViewTest, EscapeOrSigtermWhileMinimisedEndsTheProgram) {
    Watchdog watchdog(120, "a minimised dialog did not end");
    for (bool sigterm : {false, true}) {
        bool asked = false;
        const int result = run([&](HWND dialog) {
            if (frameNumber < 3 || asked) return;
            if (!win::minimized(dialog)) {
                ShowWindow(dialog, SW_MINIMIZE);
            } else if (D3D::device.lost) {
                asked = true;
                if (sigterm)
                    std::raise(SIGTERM); // SDL turns it into a quit event
                else
                    win::test::pressKey(VK_ESCAPE);
            }
        });
        EXPECT_TRUE(asked) << sigterm;
        EXPECT_EQ(result, -1) << sigterm;
    }
}

// Nobody touching the dialog: the ticks go on (the view still polls and
// updates), but no frame is drawn, and the one shown is what a frame drawn
// now would be.
TEST_F(ViewTest, AnIdleViewDrawsNoFrameAndShowsWhatADrawWould) {
    application().pendingImage = String(sys::utf8ToUtf16(kSample.string()).c_str());
    uint64_t before = 0, after = 0;
    uint32_t ticks = 0;
    runSteps({
        {3,
         [&](HWND) {
             before = application().framesDrawn;
             ticks = frameNumber;
         }},
        {20,
         [&](HWND dialog) {
             after = application().framesDrawn;
             ticks = frameNumber - ticks;
             showsAFreshFrame(dialog, "after 20 idle ticks");
         }},
    });
    EXPECT_GT(before, 0u);
    EXPECT_GE(ticks, 20u);
    EXPECT_EQ(after, before);
}

// Every input that moves the view or a gizmo, and a rebuilt relief, draws
// on its tick; stretches with nothing new in between draw nothing. After
// each, the view shows what a frame drawn at that moment shows.
TEST_F(ViewTest, EveryChangeOfThePictureIsDrawnAndNoShownFrameIsStale) {
    application().pendingImage = String(sys::utf8ToUtf16(kSample.string()).c_str());
    POINT centre{}, arrow{};
    uint64_t mark = 0;
    std::vector<std::string> drew, idle;
    // Notes whether the ticks since the last check drew, then whether the
    // view is up to date, then marks the count again.
    const auto check = [&](const char* what) {
        return [&, what](HWND dialog) {
            (application().framesDrawn > mark ? drew : idle).push_back(what);
            showsAFreshFrame(dialog, what);
            mark = application().framesDrawn;
        };
    };
    runSteps({
        {3,
         [&](HWND dialog) {
             centre = viewCentre(dialog);
             win::test::moveMouse(viewControl(dialog), centre.x, centre.y, 0, 0);
             mark = application().framesDrawn;
         }},
        {3, check("still")},
        {0,
         [&](HWND dialog) {
             win::test::mouseButtonAt(viewControl(dialog), centre.x, centre.y, 3, true);
         }},
        {2, check("orbit pressed")},
        {0,
         [&](HWND dialog) {
             win::test::moveMouse(viewControl(dialog), centre.x, centre.y, 40, 9);
         }},
        {2, check("orbit")},
        {3, check("orbit held still")},
        {0,
         [&](HWND dialog) {
             win::test::mouseButtonAt(viewControl(dialog), centre.x, centre.y, 3, false);
         }},
        {2, check("orbit released")},
        {0, [&](HWND dialog) { win::test::wheelAt(viewControl(dialog), centre.x, centre.y, 2); }},
        {2, check("zoom")},
        {0, [](HWND) { win::test::keyDown(VK_CONTROL); }},
        {2, check("arrows")},
        {0,
         [&](HWND dialog) {
             const float up = 0.15f * view().scale();
             arrow = project(*application().swapChain, 0.0f, up, 0.0f);
             win::test::moveMouse(viewControl(dialog), arrow.x, arrow.y, 0, 0);
         }},
        {2, check("arrow hovered")},
        {0, [](HWND) { win::test::keyUp(VK_CONTROL); }},
        {2, check("arrows gone")},
        {0, [](HWND dialog) { win::test::click(GetDlgItem(dialog, 1009)); }},
        {2, check("relief rebuilt")},
        {0, [](HWND dialog) { win::test::click(GetDlgItem(dialog, 1010)); }},
        {2, check("relief mirrored")},
        {4, check("idle again")},
    });
    EXPECT_EQ(drew, (std::vector<std::string>{"orbit", "zoom", "arrows", "arrow hovered",
                                              "arrows gone", "relief rebuilt", "relief mirrored"}));
    EXPECT_EQ(idle, (std::vector<std::string>{"still", "orbit pressed", "orbit held still",
                                              "orbit released", "idle again"}));
}

// A lost device is drawn again once it is back, without input.
TEST_F(ViewTest, ARestoredDeviceDrawsTheViewAgainUnasked) {
    uint64_t beforeLoss = 0, afterRestore = 0;
    runSteps({
        {3, [&](HWND) { beforeLoss = application().framesDrawn; }},
        {0, [](HWND dialog) { ShowWindow(dialog, SW_MINIMIZE); }},
        {4, [](HWND dialog) { ShowWindow(dialog, SW_RESTORE); }},
        {5,
         [&](HWND dialog) {
             afterRestore = application().framesDrawn;
             showsAFreshFrame(dialog, "after the restore");
         }},
    });
    EXPECT_GT(afterRestore, beforeLoss);
    EXPECT_EQ(D3D::device.lost, 0);
}

TEST_F(ViewTest, ClickingTheRadioThatIsAlreadyOnStillRebuilds) {
    int32_t before = -1, after = -1;
    runSteps({
        // Without an image the relief comes from the default texture.
        {2, [](HWND dialog) { win::test::click(GetDlgItem(dialog, 1008)); }},
        {2,
         [&](HWND dialog) {
             before = application().mesh.vertexCount();
             application().mesh.vertexCount() = 0;
             application().mesh.indexCount() = 0;
             win::test::click(GetDlgItem(dialog, 1008));
         }},
        {2, [&](HWND) { after = application().mesh.vertexCount(); }},
    });
    EXPECT_GT(before, 1000);
    EXPECT_EQ(after, before);
}

// With no image the rule gives "\test.obj": the root folder. Whoever runs
// the test, the outcome is checked: a user who may not write there gets a
// box naming the file and the reason and nothing is written; root gets the
// empty mesh, which is removed again.
TEST_F(ViewTest, SaveWithNoImageWritesTheEmptyMeshToTheRootOrSaysWhyNot) {
    const fs::path root = "/test.obj";
    if (fs::exists(root)) GTEST_SKIP() << "/test.obj already exists; not touching it";
    const bool mayWrite = ::access("/", W_OK) == 0;
    std::vector<std::u16string> boxes;
    ScopedLogSink sink([&](const String& line) {
        if (line.view().starts_with(u"MessageBox: ")) boxes.emplace_back(line.view());
    });
    runSteps(
        {{2, [](HWND dialog) { win::test::click(GetDlgItem(dialog, 1006)); }}, {2, [](HWND) {}}});
    if (!mayWrite) {
        EXPECT_FALSE(fs::exists(root));
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_TRUE(boxes[0].starts_with(u"MessageBox: Error: The relief could not be saved."));
        EXPECT_NE(boxes[0].find(u"'/test.obj'"), std::u16string::npos);
        EXPECT_NE(boxes[0].find(u"Permission denied"), std::u16string::npos);
        return;
    }
    ASSERT_TRUE(fs::exists(root));
    TempFolder temp;
    Mesh<Embossa::Vertex, 0x12> empty;
    ASSERT_TRUE(
        mesh_file::save(empty, String(sys::utf8ToUtf16((temp / "empty.obj").string()).c_str())));
    const std::string written = TempFolder::readBytes(root);
    fs::remove(root);
    EXPECT_EQ(written, TempFolder::readBytes(temp / "empty.obj"));
    EXPECT_TRUE(boxes.empty());
}

} // namespace
