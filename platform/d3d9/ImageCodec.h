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
#include <functional>
#include <memory>
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

// Where a decoder reads a file from: its bytes in memory, or a stream read a
// piece at a time, so that a large file need not be held whole.
class ImageSource {
public:
    virtual ~ImageSource() = default;
    virtual size_t size() const = 0;
    // Copies `count` bytes from `offset`; false when the source does not hold
    // them all or could not read them.
    virtual bool read(size_t offset, void* into, size_t count) = 0;
    // Every byte at once when the source is in memory, else null.
    virtual const uint8_t* memory() const { return nullptr; }
};

class MemoryImageSource final : public ImageSource {
public:
    MemoryImageSource(const void* bytes, size_t size)
        : bytes_(static_cast<const uint8_t*>(bytes)), size_(bytes ? size : 0) {}
    size_t size() const override { return size_; }
    bool read(size_t offset, void* into, size_t count) override;
    const uint8_t* memory() const override { return bytes_; }

private:
    const uint8_t* bytes_;
    size_t size_;
};

// Takes a decoded image a row at a time, top row first, and says which rows
// it still needs, so that a decoder can pass over the others where its
// format allows.
class ImageRowSink {
public:
    virtual ~ImageRowSink() = default;
    // Once, before any row, with a size that passed the size bounds.
    virtual void begin(int width, int height) = 0;
    // The first row at or after `row` that is needed; the height or more
    // when none is.
    virtual int nextRowWanted(int row) = 0;
    // Row `row`: `width` A8R8G8B8 words, valid during the call only. Only
    // the wanted columns need be right; the others may hold anything.
    virtual void take(int row, const uint32_t* pixels) = 0;
    // Whether column `column` of the rows is needed; asked after begin.
    virtual bool wantsColumn(int column) const {
        (void)column;
        return true;
    }
};

// Level 0 of the image in `source`, as decodeImage would give it, handed to
// `sink` row by row. JPEG and plain PNG files are decoded as they stream in,
// holding a few rows; rows the sink does not want cost JPEG no colour work,
// and blocks of columns it does not want no inverse DCT.
// Other formats (and interlaced PNG) are decoded whole first, once. The
// results, refusals and reasons are decodeImage's.
HRESULT decodeImageRows(ImageSource& source, ImageRowSink& sink, ImageInfo* info = nullptr,
                        std::string* why = nullptr);

// The D3DX_DEFAULT size rule: each side rounded up to a power of two and
// clamped to the largest power of two not above maxTextureSize, independently;
// the picture is stretched to it with a triangle filter. An image that already
// fits comes back as an exact copy.
Image resizeToPowerOfTwo(const Image& image, int maxTextureSize);

// One side of resizeToPowerOfTwo's result for a source side of `side` pixels.
int powerOfTwoSide(int side, int maxTextureSize);

// Chosen texels of resizeToPowerOfTwo's result, worked out from the source
// rows as they stream in: the same bytes, without the whole source or the
// whole result. `pick` is told the result's size once the source's is known
// and names the columns and rows wanted (any order, repeats allowed, each
// within the size).
class PowerOfTwoTexels final : public ImageRowSink {
public:
    using Picker = std::function<void(int width, int height, std::vector<int>& columns,
                                      std::vector<int>& rows)>;
    PowerOfTwoTexels(int maxTextureSize, Picker pick);
    ~PowerOfTwoTexels() override;
    PowerOfTwoTexels(const PowerOfTwoTexels&) = delete;
    PowerOfTwoTexels& operator=(const PowerOfTwoTexels&) = delete;

    void begin(int width, int height) override;
    int nextRowWanted(int row) override;
    void take(int row, const uint32_t* pixels) override;
    bool wantsColumn(int column) const override;

    int width() const { return width_; }
    int height() const { return height_; }
    // The texel at a picked column and row, once every wanted source row came.
    uint32_t at(int x, int y) const;

private:
    struct Plan;
    int maxTextureSize_;
    Picker pick_;
    int width_ = 0, height_ = 0;
    std::unique_ptr<Plan> plan_;
};

// A DDS file of A8R8G8B8 pixels, one level or a mip chain (level i must be
// max(1, width >> i) by max(1, height >> i)).
std::vector<uint8_t> encodeDds(const Image& image);
std::vector<uint8_t> encodeDds(const std::vector<Image>& levels);

} // namespace d3dx
