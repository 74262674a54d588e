// SPDX-License-Identifier: MIT
#include "core/DialogTools.h"

#include <climits>
#include <cstring>

#include "win/Win.h"

DialogTools::Bitmap::~Bitmap() {
    destroy();
}

void DialogTools::Bitmap::destroy() {
    if (bitmap) DeleteObject(bitmap);
    bitmap = nullptr;
    buffer = ArrayHeap<uint8_t>();
}

Color* DialogTools::Bitmap::pixel() {
    return pixelAt(x, y);
}

Color* DialogTools::Bitmap::pixelAt(int32_t px, int32_t py) {
    return reinterpret_cast<Color*>(buffer.items +
                                    (size_t(px) + size_t(py) * size_t(header.biWidth)) * 4);
}

DialogTools::Bitmap* DialogTools::Bitmap::create(HWND target, int32_t fitToClient,
                                                 int32_t bitsPerPixel, int32_t w, int32_t h) {
    destroy();
    if (fitToClient && target) {
        RECT client;
        GetClientRect(target, &client);
        w = client.right - client.left;
        h = client.bottom - client.top;
    }
    if (target) {
        HDC dc = GetDC(target);
        bitsPerPixel = GetDeviceCaps(dc, BITSPIXEL);
        ReleaseDC(target, dc);
    }
    switch (bitsPerPixel) {
    case 16: format = 25; break;
    case 24: format = 20; break;
    case 32: format = 21; break;
    default: break;
    }
    if (w < 0) w = 0;
    if (h < 0) h = 0;
    // The pixel operations step four bytes whatever the depth, so the buffer
    // holds four bytes a pixel even for a 16- or 24-bit display: a shallower
    // buffer would let pixelAt() run past its end.
    const int64_t bytes = int64_t(w) * int64_t(h) * 4;
    if (bytes >= 1 && bytes <= INT32_MAX) {
        buffer = ArrayHeap<uint8_t>(int32_t(bytes));
        std::memset(buffer.items, 0, size_t(bytes));
    }
    header = BITMAPINFOHEADER{};
    header.biSize = 40;
    header.biWidth = w;
    header.biHeight = h;
    header.biPlanes = 1;
    header.biBitCount = WORD(bitsPerPixel);
    header.biCompression = BI_RGB;
    header.biXPelsPerMeter = 6000;
    header.biYPelsPerMeter = 6000;
    window = target;
    bitmap = CreateBitmap(w, h, 1, UINT(bitsPerPixel), buffer.items);
    return this;
}

void DialogTools::Bitmap::update() {
    if (!bitmap || !buffer.items) return;
    HDC dc = GetDC(window);
    BITMAPINFO info{header};
    SetDIBits(dc, bitmap, 0, UINT(header.biHeight), buffer.items, &info, DIB_RGB_COLORS);
    ReleaseDC(window, dc);
}
