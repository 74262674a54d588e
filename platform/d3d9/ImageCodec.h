// SPDX-License-Identifier: MIT
// Stands in for the image half of D3DX 9: decoding an image file held in
// memory, the power-of-two stretch of D3DX_DEFAULT sizes, and saving as DDS.
// No device and no GPU here; the texture functions wrap these.
//  [x] formats found by content alone: BMP, DIB, DDS, HDR, JPEG, PFM, PNG, PPM (P3, P6), TGA, PCX
//  [x] every read checked against the bytes given; sizes bounded before any allocation
//  [x] DDS: uncompressed RGB, luminance, alpha and float formats, DXT1-5, every mip level
//  [ ] DDS volume textures and the DX10 header (refused); cube maps give their first face
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "d3d9/D3DResults.h"
#include "d3d9/D3DX9.h"

namespace d3dx {

// A8R8G8B8 words (0xAARRGGBB), rows top first, no padding.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;

    uint32_t at(int x, int y) const { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
};

// What the file held before conversion to A8R8G8B8: its size, mip levels,
// pixel format and file format, as D3DX describes a source image.
using ImageInfo = D3DXIMAGE_INFO;

// D3DX has no file-format number for PCX; ours follows its last one.
inline constexpr D3DXIMAGE_FILEFORMAT kFileFormatPcx = D3DXIMAGE_FILEFORMAT(D3DXIFF_PFM + 1);

// A decoded image never has a side above kMaxImageSide nor more than
// kMaxImageBytes of A8R8G8B8 pixels: a header asking for more is refused
// before anything is allocated.
inline constexpr int kMaxImageSide = 16384;
inline constexpr size_t kMaxImageBytes = size_t(256) << 20;

// D3D_OK; D3DXERR_INVALIDDATA when the bytes are no image we can read (the
// reason, naming the decoder, goes to *why); E_OUTOFMEMORY; D3DERR_INVALIDCALL
// for a null pointer with a size. `out` is left untouched on failure.
HRESULT decodeImage(const void* bytes, size_t size, Image& out, ImageInfo* info = nullptr,
                    std::string* why = nullptr);

// Like decodeImage, but a DDS file gives every mip level it holds (level 0
// first); other formats give one level.
HRESULT decodeImageLevels(const void* bytes, size_t size, std::vector<Image>& levels,
                          ImageInfo* info = nullptr, std::string* why = nullptr);

// The D3DX_DEFAULT size rule: each side rounded up to a power of two and
// clamped to the largest power of two not above maxTextureSize, independently;
// the picture is stretched to it with a triangle filter. An image that already
// fits comes back as an exact copy.
Image resizeToPowerOfTwo(const Image& image, int maxTextureSize);

// A DDS file of A8R8G8B8 pixels, one level or a mip chain (level i must be
// max(1, width >> i) by max(1, height >> i)).
std::vector<uint8_t> encodeDds(const Image& image);
std::vector<uint8_t> encodeDds(const std::vector<Image>& levels);

} // namespace d3dx
