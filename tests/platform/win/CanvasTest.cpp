// SPDX-License-Identifier: MIT
// Pictures for a person to look at: a dialog laid out as the tool's main
// window, and a message box drawn in it, saved as PNG under the build folder.
#include "WinTestSupport.h"
#include "support/WinTestDriver.h"

#include <cstdio>
#include <epoxy/gl.h>

#include "win/Canvas.h"

namespace wintest {
namespace {

using ScreenshotTest = WinTest;

constexpr WORD kMainLikeDialog = 9101;

void registerMainLikeDialog() {
    constexpr DWORD push = BS_PUSHBUTTON | WS_TABSTOP, check = BS_AUTOCHECKBOX | WS_TABSTOP;
    registerDialogTemplate(DialogTemplate{
        kMainLikeDialog,
        u"Embossa",
        u"MS Shell Dlg",
        8,
        WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SHELLFONT,
        0,
        0,
        405,
        250,
        1031,
        {
            {-1, u"STATIC", u"Image file:", SS_LEFT, 8, 12, 35, 8},
            {1001, u"EDIT", u"", WS_BORDER | WS_TABSTOP | ES_READONLY | ES_AUTOHSCROLL, 6, 24, 330,
             14},
            {1002, u"BUTTON", u"Open...", push, 342, 24, 50, 14},
            {-1, u"BUTTON", u"Image preview", BS_GROUPBOX, 6, 42, 96, 91},
            {1004, u"STATIC", u"", SS_BITMAP, 15, 52, 15, 13},
            {-1, u"BUTTON", u"3D View", BS_GROUPBOX, 108, 42, 288, 198},
            {1005, u"STATIC", u"", SS_LEFT | WS_GROUP, 113, 51, 278, 186},
            {-1, u"BUTTON", u"Axis selection", BS_GROUPBOX, 6, 132, 96, 54},
            {1007, u"BUTTON", u"x / z axis", BS_AUTORADIOBUTTON, 12, 144, 45, 10},
            {1008, u"BUTTON", u"x / y axis", BS_AUTORADIOBUTTON, 12, 156, 45, 10},
            {1009, u"BUTTON", u"y / z axis", BS_AUTORADIOBUTTON, 12, 168, 45, 10},
            {1006, u"BUTTON", u"Save", push, 48, 232, 50, 14},
            {-1, u"BUTTON", u"Image axis flip", BS_GROUPBOX, 6, 186, 96, 42},
            {1010, u"BUTTON", u"x axis", check, 12, 198, 34, 10},
            {1011, u"BUTTON", u"y axis", check, 12, 210, 34, 10},
        },
    });
}

std::string shotPath(const char* name) {
    return std::string(EMBOSSA_SCREENSHOT_DIR) + "/" + name;
}

// Width and height from a PNG's header.
bool pngSize(const std::string& path, int& width, int& height) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return false;
    unsigned char header[24] = {};
    const bool read = std::fread(header, 1, sizeof header, file) == sizeof header;
    std::fclose(file);
    if (!read || header[1] != 'P' || header[2] != 'N' || header[3] != 'G') return false;
    width = header[16] << 24 | header[17] << 16 | header[18] << 8 | header[19];
    height = header[20] << 24 | header[21] << 16 | header[22] << 8 | header[23];
    return true;
}

// The tool's window with a preview picture, a rendered view and some state.
HWND openMainLike(Probe& probe, unsigned& viewTexture) {
    registerMainLikeDialog();
    HWND dialog = CreateDialogParamW(nullptr, kMainLikeDialog, nullptr, &probeProc, LPARAM(&probe));
    ShowWindow(dialog, SW_SHOW);
    SetWindowTextW(GetDlgItem(dialog, 1001),
                   u"/home/someone/Pictures/holidays/2024/a rather long folder name/with another "
                   u"level below it/heightmap.png");
    SendMessageW(GetDlgItem(dialog, 1008), BM_SETCHECK, BST_CHECKED, 0);
    SendMessageW(GetDlgItem(dialog, 1010), BM_SETCHECK, BST_CHECKED, 0);

    std::vector<uint32_t> preview(120 * 120);
    for (int y = 0; y < 120; ++y)
        for (int x = 0; x < 120; ++x) {
            const uint32_t v = uint32_t((x * 2 + y) % 256);
            preview[size_t(y) * 120 + size_t(x)] = v << 16 | (255 - v) << 8 | 128;
        }
    HBITMAP bitmap = CreateBitmap(120, 120, 1, 32, preview.data());
    SendMessageW(GetDlgItem(dialog, 1004), STM_SETIMAGE, IMAGE_BITMAP, LPARAM(bitmap));

    HWND view = GetDlgItem(dialog, 1005);
    RECT client{};
    GetClientRect(view, &client);
    std::vector<uint32_t> frame(size_t(client.right) * size_t(client.bottom), 0x00999999);
    for (int y = 0; y < client.bottom; ++y)
        for (int x = 0; x < client.right; ++x)
            if ((x / 20 + y / 20) % 2 == 0)
                frame[size_t(y) * size_t(client.right) + size_t(x)] = 0x00A8A8A8;
    win::makeGLContextCurrent();
    glGenTextures(1, &viewTexture);
    glBindTexture(GL_TEXTURE_2D, viewTexture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, client.right, client.bottom, 0, GL_RGBA,
                 GL_UNSIGNED_BYTE, frame.data());
    win::setWindowSurface(view, win::Surface{viewTexture, int(client.right), int(client.bottom)});
    return dialog;
}

TEST_F(ScreenshotTest, MainDialogIsSavedAtItsClientSize) {
    ASSERT_TRUE(win::canvas::hasGL());
    Probe& probe = makeProbe();
    unsigned texture = 0;
    HWND dialog = openMainLike(probe, texture);
    win::test::pressKey(VK_TAB); // focus on "Open...", with its focus rectangle
    settle();

    const std::string path = shotPath("dialog101.png");
    std::remove(path.c_str());
    ASSERT_TRUE(win::test::saveScreenshot(dialog, path));
    RECT client{};
    GetClientRect(dialog, &client);
    int width = 0, height = 0;
    ASSERT_TRUE(pngSize(path, width, height));
    EXPECT_EQ(width, client.right);
    EXPECT_EQ(height, client.bottom);

    // A control's shot is just its rectangle.
    const std::string buttonPath = shotPath("open-button.png");
    ASSERT_TRUE(win::test::saveScreenshot(GetDlgItem(dialog, 1002), buttonPath));
    RECT button{};
    GetClientRect(GetDlgItem(dialog, 1002), &button);
    ASSERT_TRUE(pngSize(buttonPath, width, height));
    EXPECT_EQ(width, button.right);
    EXPECT_EQ(height, button.bottom);
    std::printf("screenshots: %s, %s\n", path.c_str(), buttonPath.c_str());
}

TEST_F(ScreenshotTest, HeldMessageBoxIsDrawnInItsOwner) {
    ASSERT_TRUE(win::canvas::hasGL());
    Probe& probe = makeProbe();
    unsigned texture = 0;
    HWND dialog = openMainLike(probe, texture);
    win::test::holdMessageBoxes(true);
    const std::string path = shotPath("messagebox.png");
    bool saved = false;
    win::test::setIdleHook([&] {
        HWND box = GetForegroundWindow();
        if (!box || box == dialog) return;
        if (!saved) {
            saved = win::test::saveScreenshot(dialog, path);
            win::test::pressKey(VK_RETURN);
        }
    });
    EXPECT_EQ(
        MessageBoxW(GetDlgItem(dialog, 1005), u"==>Error<==", u"==>Error<==", MB_OK | MB_ICONERROR),
        IDOK);
    EXPECT_TRUE(saved);
}

} // namespace
} // namespace wintest
