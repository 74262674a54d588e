// SPDX-License-Identifier: MIT
// The pixel formats the runtime stores: sizes and pitches, how each goes to
// OpenGL, and conversion to and from A8R8G8B8 words for D3DX.
#pragma once

#include <epoxy/gl.h>

#include <array>
#include <cstddef>
#include <cstdint>

#include "d3d9/D3D9Types.h"

namespace d3d9 {

struct FormatInfo {
    D3DFORMAT format = D3DFMT_UNKNOWN;
    uint32_t bytes = 0;      // per pixel, or per 4 x 4 block when compressed
    bool compressed = false; // DXT blocks
    bool depth = false;
    bool stencil = false;
    bool renderTarget = false; // usable as a colour target
    bool blendable = false;    // as a render target
    GLenum internalFormat = 0;
    GLenum glFormat = 0; // upload format (0 for depth and compressed)
    GLenum glType = 0;
    std::array<GLenum, 4> swizzle{GL_RED, GL_GREEN, GL_BLUE, GL_ALPHA};
};

// Null for formats the runtime does not store.
const FormatInfo* formatInfo(D3DFORMAT format);

// Bytes from one row (of blocks, when compressed) to the next, and the rows
// a level of that height has.
uint32_t rowPitch(const FormatInfo& info, uint32_t width);
uint32_t rowCount(const FormatInfo& info, uint32_t height);

// Whether the packed-pixel conversions below know the format.
bool convertible(D3DFORMAT format);
// Writes `count` pixels in `format` from A8R8G8B8 words.
void fromArgb(D3DFORMAT format, const uint32_t* argb, void* out, size_t count);
// Reads `count` pixels in `format` into A8R8G8B8 words (absent alpha is 255).
void toArgb(D3DFORMAT format, const void* in, uint32_t* argb, size_t count);

// D3DCOLOR as a colour with float channels, red first.
std::array<float, 4> colorToFloats(uint32_t color);

} // namespace d3d9
