// SPDX-License-Identifier: MIT
// GDI-style bitmaps: row order in and out, SetDIBits line ranges, deletion,
// and what the bitmap static and a renderer's surface put on screen.
#include "WinTestSupport.h"

#include <epoxy/gl.h>

#include "win/Canvas.h"
#include "win/Gdi.h"

namespace wintest {
namespace {

using GdiTest = WinTest;

constexpr uint32_t kRed = 0x00FF0000, kBlue = 0x000000FF, kGreen = 0x0000FF00;

TEST_F(GdiTest, CreateBitmapReadsBottomUpRowsOfEveryDepth) {
    const uint32_t rows32[] = {kBlue, kGreen, kRed, 0xFFFFFFFF}; // bottom row first
    HBITMAP bitmap = CreateBitmap(2, 2, 1, 32, rows32);
    ASSERT_TRUE(bitmap);
    EXPECT_EQ(bitmap->pixels, (std::vector<uint32_t>{kBlue, kGreen, kRed, 0x00FFFFFF}))
        << "row 0 is the bottom line; the fourth byte is not colour";

    // 24 bits: 3 x 3 bytes a row padded to 10, the device-dependent 16-bit rows.
    const uint8_t rows24[] = {0xFF, 0,    0,    0, 0xFF, 0, 0, 0, 0xFF, 0xEE, //
                              0x10, 0x20, 0x30, 1, 2,    3, 4, 5, 6,    0xEE};
    HBITMAP deep = CreateBitmap(3, 2, 1, 24, rows24);
    ASSERT_TRUE(deep);
    EXPECT_EQ(deep->pixels[0], kBlue);
    EXPECT_EQ(deep->pixels[2], kRed);
    EXPECT_EQ(deep->pixels[3], 0x00302010u);
    // 16 bits, x-5-5-5: full red and a mid grey.
    const uint16_t rows16[] = {0x7C00, 0x4210};
    HBITMAP shallow = CreateBitmap(2, 1, 1, 16, rows16);
    ASSERT_TRUE(shallow);
    EXPECT_EQ(shallow->pixels[0], kRed);
    EXPECT_EQ(shallow->pixels[1], 0x00848484u);

    HBITMAP blank = CreateBitmap(4, 4, 1, 32, nullptr);
    ASSERT_TRUE(blank);
    EXPECT_EQ(blank->pixels, std::vector<uint32_t>(16, 0));

    EXPECT_EQ(CreateBitmap(0, 4, 1, 32, nullptr), nullptr);
    EXPECT_EQ(CreateBitmap(4, -1, 1, 32, nullptr), nullptr);
    EXPECT_EQ(CreateBitmap(4, 4, 2, 32, nullptr), nullptr);
    EXPECT_EQ(CreateBitmap(4, 4, 1, 8, nullptr), nullptr);
    EXPECT_EQ(CreateBitmap(100000, 100000, 1, 32, nullptr), nullptr);
    for (HBITMAP b : {bitmap, deep, shallow, blank}) DeleteObject(b);
}

TEST_F(GdiTest, SetDIBitsCopiesTheLinesAskedForInTheDibsDirection) {
    HBITMAP bitmap = CreateBitmap(2, 3, 1, 32, nullptr);
    HDC dc = GetDC(nullptr);
    EXPECT_EQ(GetDeviceCaps(dc, BITSPIXEL), 32);
    BITMAPINFO info{};
    info.bmiHeader.biWidth = 2;
    info.bmiHeader.biHeight = 3;
    info.bmiHeader.biBitCount = 32;
    const uint32_t line[] = {kRed, kGreen};

    // One line, the second from the bottom.
    EXPECT_EQ(SetDIBits(dc, bitmap, 1, 1, line, &info, DIB_RGB_COLORS), 1);
    EXPECT_EQ(bitmap->pixels, (std::vector<uint32_t>{0, 0, kRed, kGreen, 0, 0}));

    // Top-down (negative height): the first line given is the top one.
    info.bmiHeader.biHeight = -3;
    const uint32_t topFirst[] = {kBlue, kBlue, 0, 0, 0, 0};
    EXPECT_EQ(SetDIBits(dc, bitmap, 0, 3, topFirst, &info, DIB_RGB_COLORS), 3);
    EXPECT_EQ(bitmap->pixels[4], kBlue);
    EXPECT_EQ(bitmap->pixels[2], 0u);

    // More lines than the DIB has are cut at its height; nothing past it.
    info.bmiHeader.biHeight = 3;
    const uint32_t all[] = {1, 1, 2, 2, 3, 3};
    EXPECT_EQ(SetDIBits(dc, bitmap, 1, 10, all, &info, DIB_RGB_COLORS), 2);
    EXPECT_EQ(SetDIBits(dc, bitmap, 3, 1, all, &info, DIB_RGB_COLORS), 0);

    info.bmiHeader.biCompression = 1; // BI_RLE8
    EXPECT_EQ(SetDIBits(dc, bitmap, 0, 3, all, &info, DIB_RGB_COLORS), 0);
    info.bmiHeader.biCompression = BI_RGB;
    EXPECT_EQ(SetDIBits(dc, bitmap, 0, 3, nullptr, &info, DIB_RGB_COLORS), 0);
    EXPECT_EQ(ReleaseDC(nullptr, dc), 1);

    EXPECT_TRUE(DeleteObject(bitmap));
    EXPECT_FALSE(DeleteObject(bitmap));
    EXPECT_EQ(SetDIBits(dc, bitmap, 0, 3, all, &info, DIB_RGB_COLORS), 0);
}

// The host window's pixel at a control's client point, read from a fresh paint.
uint32_t pixelAt(HWND control, int x, int y) {
    std::vector<uint8_t> rgba;
    int width = 0, height = 0;
    HWND host = win::hostOf(control);
    if (!win::canvas::paintNow(host, &rgba, &width, &height)) return 0xDEADBEEF;
    POINT p{x, y};
    ClientToScreen(control, &p);
    ScreenToClient(host, &p);
    const uint8_t* px = rgba.data() + (size_t(p.y) * size_t(width) + size_t(p.x)) * 4;
    return uint32_t(px[0]) << 16 | uint32_t(px[1]) << 8 | px[2];
}

TEST_F(GdiTest, BitmapStaticTakesItsBitmapsSizeAndShowsItTheRightWayUp) {
    Probe& probe = makeProbe();
    HWND dialog = open(probe);
    HWND picture = GetDlgItem(dialog, 302);
    std::vector<uint32_t> rows(40 * 30, kBlue);
    std::fill(rows.end() - 40, rows.end(), kRed); // the last row given is the top line
    HBITMAP bitmap = CreateBitmap(40, 30, 1, 32, rows.data());

    EXPECT_EQ(SendMessageW(picture, STM_SETIMAGE, IMAGE_BITMAP, LPARAM(bitmap)), 0);
    RECT size{};
    GetClientRect(picture, &size);
    EXPECT_EQ(size.right, 40);
    EXPECT_EQ(size.bottom, 30);
    EXPECT_EQ(SendMessageW(picture, STM_GETIMAGE, IMAGE_BITMAP, 0), LRESULT(bitmap));
    ASSERT_TRUE(win::canvas::hasGL());
    EXPECT_EQ(pixelAt(picture, 5, 0), kRed);
    EXPECT_EQ(pixelAt(picture, 5, 29), kBlue);

    // New pixels show at the next paint; a swap returns the old bitmap.
    BITMAPINFO info{};
    info.bmiHeader.biWidth = 40;
    info.bmiHeader.biHeight = 30;
    info.bmiHeader.biBitCount = 32;
    std::fill(rows.begin(), rows.end(), kGreen);
    SetDIBits(GetDC(picture), bitmap, 0, 30, rows.data(), &info, DIB_RGB_COLORS);
    EXPECT_EQ(pixelAt(picture, 5, 29), kGreen);
    HBITMAP other = CreateBitmap(12, 8, 1, 32, nullptr);
    EXPECT_EQ(SendMessageW(picture, STM_SETIMAGE, IMAGE_BITMAP, LPARAM(other)), LRESULT(bitmap));
    GetClientRect(picture, &size);
    EXPECT_EQ(size.right, 12);

    // Only bitmap statics take images.
    EXPECT_EQ(SendMessageW(GetDlgItem(dialog, 303), STM_SETIMAGE, IMAGE_BITMAP, LPARAM(bitmap)), 0);
    DeleteObject(other);
    EXPECT_NE(pixelAt(picture, 0, 0), 0xDEADBEEF) << "painting a deleted bitmap's static";
    DeleteObject(bitmap);
}

TEST_F(GdiTest, SurfaceIsCompositedOpaqueIntoItsStatic) {
    Probe& probe = makeProbe();
    HWND dialog = open(probe);
    HWND view = GetDlgItem(dialog, 303);
    RECT client{};
    GetClientRect(view, &client);
    ASSERT_TRUE(win::makeGLContextCurrent());

    // A renderer's frame: green, alpha left at 0 as a D3D clear colour leaves it.
    std::vector<uint32_t> frame(size_t(client.right) * size_t(client.bottom), 0x0000FF00);
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, client.right, client.bottom, 0, GL_RGBA,
                 GL_UNSIGNED_BYTE, frame.data());
    win::setWindowSurface(view, win::Surface{texture, int(client.right), int(client.bottom)});
    EXPECT_EQ(pixelAt(view, client.right / 2, client.bottom / 2), kGreen);
    win::makeGLContextCurrent();
    glDeleteTextures(1, &texture);
    win::setWindowSurface(view, win::Surface{});
}

} // namespace
} // namespace wintest
