// SPDX-License-Identifier: MIT
// Stands in for the gdi32 calls the engine makes: device-dependent bitmaps
// made from bottom-up rows, SetDIBits from a BITMAPINFO, DeleteObject, and a
// screen device context that reports a 32-bit display.
//  [x] 16 (5-5-5), 24 and 32 bits per pixel in and out of bitmaps
//  [ ] palettes, compression, drawing into a DC (the engine uses none)
// Deleted bitmaps are retired, not freed, so an old handle never names a new one.
#include "win/Gdi.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <unordered_map>

#include "sys/Unicode.h"
#include "win/Canvas.h"
#include "win/Win.h"
#include "win/WinInternal.h"
#include "win/Window.h"

struct DeviceContextObject {};

namespace win {
namespace {

// Owned here, so that bitmaps a program never deletes go at exit like the
// platform's GDI objects go with the process.
std::unordered_map<BitmapObject*, std::unique_ptr<BitmapObject>> liveBitmaps;
std::vector<std::unique_ptr<BitmapObject>> retiredBitmaps;
DeviceContextObject screenDC;

constexpr int64_t kMaxPixels = int64_t(1) << 26; // 8192 x 8192

// One pixel of a row in `bitsPerPixel` depth as 0x00RRGGBB.
uint32_t readPixel(const uint8_t* row, int x, int bitsPerPixel) {
    switch (bitsPerPixel) {
    case 32: {
        uint32_t value;
        std::memcpy(&value, row + size_t(x) * 4, 4);
        return value & 0x00FFFFFFu;
    }
    case 24: {
        const uint8_t* p = row + size_t(x) * 3;
        return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16;
    }
    default: { // 16: x-5-5-5
        const uint32_t v = uint32_t(row[size_t(x) * 2]) | uint32_t(row[size_t(x) * 2 + 1]) << 8;
        const auto expand = [](uint32_t five) { return (five << 3) | (five >> 2); };
        return expand(v & 31) | expand((v >> 5) & 31) << 8 | expand((v >> 10) & 31) << 16;
    }
    }
}

bool supportedDepth(int bitsPerPixel) {
    return bitsPerPixel == 16 || bitsPerPixel == 24 || bitsPerPixel == 32;
}

std::u16string number(long value) {
    return sys::utf8ToUtf16(std::to_string(value));
}

void invalidateShowing(HBITMAP bitmap) {
    for (HWND window : liveWindows())
        if (window->image == bitmap) invalidate(window);
}

} // namespace

BitmapObject* bitmapObject(HBITMAP bitmap) {
    return liveBitmaps.count(bitmap) ? bitmap : nullptr;
}

void dropBitmapTextures() {
    for (auto& [handle, bitmap] : liveBitmaps) {
        bitmap->texture = 0;
        bitmap->textureVersion = 0;
    }
}

} // namespace win

using namespace win;

HDC GetDC(HWND) {
    return &screenDC;
}

int ReleaseDC(HWND, HDC dc) {
    return dc == &screenDC ? 1 : 0;
}

int GetDeviceCaps(HDC, int index) {
    if (index == BITSPIXEL) return 32;
    logOnce(u"GetDeviceCaps: index " + number(index) + u" is not known; 0");
    return 0;
}

HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void* bits) {
    if (width <= 0 || height <= 0 || int64_t(width) * height > kMaxPixels) {
        log(u"CreateBitmap: no bitmap of " + number(width) + u" x " + number(height) + u" pixels");
        return nullptr;
    }
    if (planes != 1 || !supportedDepth(int(bitsPerPixel))) {
        logOnce(u"CreateBitmap: " + number(long(planes)) + u" planes of " +
                number(long(bitsPerPixel)) +
                u" bits are not supported; one plane of 16, 24 or 32 bits is");
        return nullptr;
    }
    auto bitmap = std::make_unique<BitmapObject>();
    bitmap->width = width;
    bitmap->height = height;
    bitmap->bitsPerPixel = int(bitsPerPixel);
    bitmap->pixels.assign(size_t(width) * size_t(height), 0);
    if (bits) {
        // Device-dependent rows are padded to 16 bits.
        const size_t stride = (size_t(width) * bitsPerPixel + 15) / 16 * 2;
        const auto* source = static_cast<const uint8_t*>(bits);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                bitmap->pixels[size_t(y) * size_t(width) + size_t(x)] =
                    readPixel(source + size_t(y) * stride, x, int(bitsPerPixel));
    }
    BitmapObject* handle = bitmap.get();
    liveBitmaps.emplace(handle, std::move(bitmap));
    return handle;
}

int SetDIBits(HDC, HBITMAP target, UINT startLine, UINT lineCount, const void* bits,
              const BITMAPINFO* info, UINT usage) {
    BitmapObject* bitmap = bitmapObject(target);
    if (!bitmap || !bits || !info) return 0;
    const BITMAPINFOHEADER& header = info->bmiHeader;
    if (header.biCompression != BI_RGB || usage != DIB_RGB_COLORS || header.biPlanes != 1 ||
        !supportedDepth(header.biBitCount)) {
        logOnce(u"SetDIBits: only uncompressed 16, 24 and 32-bit DIBs with RGB colours");
        return 0;
    }
    if (header.biWidth <= 0 || header.biHeight == 0) return 0;
    const int64_t dibHeight = header.biHeight < 0 ? -int64_t(header.biHeight) : header.biHeight;
    const bool topDown = header.biHeight < 0;
    if (startLine >= dibHeight) return 0;
    const int64_t lines = std::min<int64_t>(lineCount, dibHeight - startLine);
    const size_t stride = (size_t(header.biWidth) * header.biBitCount + 31) / 32 * 4; // DWORD rows
    const int columns = std::min<int>(header.biWidth, bitmap->width);
    const auto* source = static_cast<const uint8_t*>(bits);
    for (int64_t i = 0; i < lines; ++i) {
        // Scan lines count from the DIB's first row: the bottom one for a
        // bottom-up DIB, the top one for a top-down DIB.
        const int64_t line = int64_t(startLine) + i;
        const int64_t row = topDown ? bitmap->height - 1 - line : line;
        if (row < 0 || row >= bitmap->height) continue;
        uint32_t* out = bitmap->pixels.data() + size_t(row) * size_t(bitmap->width);
        for (int x = 0; x < columns; ++x)
            out[x] = readPixel(source + size_t(i) * stride, x, header.biBitCount);
    }
    ++bitmap->version;
    invalidateShowing(target);
    return int(lines);
}

BOOL DeleteObject(HBITMAP object) {
    BitmapObject* bitmap = bitmapObject(object);
    if (!bitmap) return FALSE;
    canvas::deleteTexture(bitmap->texture);
    auto owned = liveBitmaps.extract(bitmap);
    invalidateShowing(object);
    bitmap->pixels.clear();
    bitmap->pixels.shrink_to_fit();
    retiredBitmaps.push_back(std::move(owned.mapped()));
    return TRUE;
}
