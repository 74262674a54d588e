// SPDX-License-Identifier: MIT
// The bitmaps behind HBITMAP. Whatever depth they were created with, they
// hold 32-bit B, G, R, X pixels, rows bottom-up as a DIB's, which is also
// the row order a GL texture upload expects.
#pragma once

#include <cstdint>
#include <vector>

#include "win/WinTypes.h"

struct BitmapObject {
    int width = 0;
    int height = 0;
    int bitsPerPixel = 32;        // what the creator asked for
    std::vector<uint32_t> pixels; // width * height, bottom row first, 0xXXRRGGBB
    uint64_t version = 1;         // bumped by every change of pixels
    unsigned texture = 0;         // GL copy of the pixels, 0 when none
    uint64_t textureVersion = 0;  // the version the texture holds
};

namespace win {
// The live bitmap, or null for a deleted or foreign handle.
BitmapObject* bitmapObject(HBITMAP bitmap);
// Forgets every GL texture (the context is going away).
void dropBitmapTextures();
} // namespace win
