// SPDX-License-Identifier: MIT
// The dialog framework's helpers: a drawing-target interface and the pixel
// bitmap that a static control shows. The bitmap keeps a BGRA buffer whose
// row 0 is the bottom line of the picture, as the GDI header declares, and
// pushes it to its GDI bitmap whenever the pixels change.
#pragma once

#include <cstdint>

#include "core/Array.h"
#include "win/WinTypes.h"

// One pixel as the 32-bit buffer stores it.
struct Color {
    uint8_t b = 0, g = 0, r = 0, a = 0;
};

template <class COLOR>
class Draw {
public:
    int32_t x = 0; // cursor
    int32_t y = 0;

    virtual COLOR* pixel() = 0;
    virtual int32_t width() = 0;
    virtual int32_t height() = 0;

protected:
    ~Draw() = default;
};

class DialogTools {
public:
    class Bitmap;
};

class DialogTools::Bitmap : public Draw<Color> {
public:
    HWND window = nullptr;
    HBITMAP bitmap = nullptr;
    BITMAPINFOHEADER header{};
    int32_t format = 21; // A8R8G8B8 (20: R8G8B8, 25: A1R5G5B5)
    ArrayHeap<uint8_t> buffer;

    Bitmap() = default;
    virtual ~Bitmap();
    Bitmap(const Bitmap&) = delete;
    Bitmap& operator=(const Bitmap&) = delete;

    Color* pixel() override;
    int32_t width() override { return header.biWidth; }
    int32_t height() override { return header.biHeight; }
    // With a window, the depth is the display's rather than the one asked for;
    // with fitToClient, the size is the window's client area.
    virtual Bitmap* create(HWND window, int32_t fitToClient, int32_t bitsPerPixel, int32_t w,
                           int32_t h);
    virtual Color* pixelAt(int32_t px, int32_t py);

    // Pushes the buffer to the GDI bitmap after the pixels were written.
    void update();

private:
    void destroy();
};
