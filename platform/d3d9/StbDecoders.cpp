// SPDX-License-Identifier: MIT
// BMP, packed DIB, TGA and Radiance HDR through stb_image, compiled here as a
// private instance that knows only those three formats. stb_image reads zeros
// past the end of its input instead of failing, and its HDR reader never ends
// on a zero-length run, so each format's structure is first walked here the
// way stb_image will read it: a file that would be read short, or loop, is
// refused before stb_image sees it. Also checked first: sizes (stb_image's own
// bound is only per side), BMP palette and TGA colour-map indices past their
// tables, and TGA runs past the image's end. HDR floats can also be had as
// they are, for callers that keep more than 8 bits.
#include <cassert>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "d3d9/ImageDecoders.h"
#include "d3d9/ImageSamples.h"

// Static linkage keeps this instance's symbols from clashing with the full
// stb_image that other libraries of the program (the window layer) may link.
#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_BMP
#define STBI_ONLY_TGA
#define STBI_ONLY_HDR
#define STBI_NO_STDIO
#define STBI_MAX_DIMENSIONS 16384
#define STBI_ASSERT(x) assert(x)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wimplicit-fallthrough"
#pragma GCC diagnostic ignored "-Wunused-but-set-variable"
#include <stb/stb_image.h>
#pragma GCC diagnostic pop

static_assert(STBI_MAX_DIMENSIONS == d3dx::kMaxImageSide);

namespace d3dx::detail {
namespace {

struct StbFree {
    void operator()(void* p) const { stbi_image_free(p); }
};

bool fitsInt(size_t size) {
    return size <= size_t(INT32_MAX);
}

// ---- BMP

constexpr const char* kBmp = "BmpDecoder";

struct BmpFacts {
    int width = 0, height = 0;
    int bitCount = 0;
    uint32_t compression = 0;
    uint32_t greenMask = 0, alphaMask = 0;
};

// Checks that every index of a paletted bitmap names one of its `entries`
// colours; stb_image would read the rest from an uninitialised table.
bool indicesInPalette(const uint8_t* pixels, size_t stride, const BmpFacts& bmp, int entries) {
    for (int y = 0; y < bmp.height; ++y) {
        const uint8_t* row = pixels + size_t(y) * stride;
        for (int x = 0; x < bmp.width; ++x) {
            int index;
            if (bmp.bitCount == 8)
                index = row[x];
            else if (bmp.bitCount == 4)
                index = (row[x / 2] >> (x % 2 ? 0 : 4)) & 0xF;
            else
                index = (row[x / 8] >> (7 - x % 8)) & 1;
            if (index >= entries) return false;
        }
    }
    return true;
}

// Walks the headers as stb_image does and checks that the pixel rows it will
// read are all present.
HRESULT checkBmp(Bytes bytes, BmpFacts& bmp, std::string& why) {
    ByteReader in(bytes);
    uint32_t offset, headerSize;
    uint16_t planes, bitCount;
    if (!in.skip(10) || !in.u32(offset) || !in.u32(headerSize))
        return refuse(why, kBmp, "header is truncated");
    if (headerSize != 12 && headerSize != 40 && headerSize != 56 && headerSize != 108 &&
        headerSize != 124)
        return refuse(why, kBmp, "unknown header size " + std::to_string(headerSize));
    int64_t width, height;
    if (headerSize == 12) {
        uint16_t w, h;
        if (!in.u16(w) || !in.u16(h)) return refuse(why, kBmp, "header is truncated");
        width = w, height = h;
    } else {
        uint32_t w, h;
        if (!in.u32(w) || !in.u32(h)) return refuse(why, kBmp, "header is truncated");
        width = int32_t(w), height = int32_t(h);
    }
    if (!in.u16(planes) || !in.u16(bitCount)) return refuse(why, kBmp, "header is truncated");
    if (planes != 1) return refuse(why, kBmp, "plane count is not 1");
    if (headerSize != 12) {
        uint32_t masks[4] = {};
        if (!in.u32(bmp.compression) || !in.skip(20))
            return refuse(why, kBmp, "header is truncated");
        const int maskCount = headerSize >= 108 ? 4 : bmp.compression == 3 ? 3 : 0;
        for (int i = 0; i < maskCount; ++i)
            if (!in.u32(masks[i])) return refuse(why, kBmp, "header is truncated");
        if (bmp.compression == 3) bmp.greenMask = masks[1];
        bmp.alphaMask = bmp.compression == 3 ? masks[3] : 0;
    }
    if (bmp.compression == 1 || bmp.compression == 2)
        return refuse(why, kBmp, "run-length compression is not supported");
    if (bmp.compression != 0 && bmp.compression != 3)
        return refuse(why, kBmp, "unsupported compression " + std::to_string(bmp.compression));
    if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 &&
        bitCount != 32)
        return refuse(why, kBmp, "unsupported bit count " + std::to_string(bitCount));
    // A negative height means rows stored top first; its magnitude must
    // exist as a positive int, which rules out INT32_MIN.
    if (height == INT32_MIN) return refuse(why, kBmp, "height overflows");
    if (height < 0) height = -height;
    if (!sizeAllowed(width, height, kBmp, why)) return D3DXERR_INVALIDDATA;
    bmp.width = int(width), bmp.height = int(height), bmp.bitCount = bitCount;

    const size_t stride = (size_t(width) * bitCount + 31) / 32 * 4;
    const size_t lastRow = (size_t(width) * bitCount + 7) / 8;
    if (offset > bytes.size() || bytes.size() - offset < stride * size_t(height - 1) + lastRow)
        return refuse(why, kBmp, "pixel data is truncated");
    if (bitCount <= 8) {
        // The palette fills the gap between the headers and the pixels.
        const int64_t gap = int64_t(offset) - 14 - (headerSize == 12 ? 24 : headerSize);
        const int64_t entries = gap < 0 ? 0 : gap / (headerSize == 12 ? 3 : 4);
        if (entries < 1 || entries > 256) return refuse(why, kBmp, "bad palette size");
        if (entries < (1 << bitCount) &&
            !indicesInPalette(bytes.data() + offset, stride, bmp, int(entries)))
            return refuse(why, kBmp, "pixel index past the palette");
    }
    return D3D_OK;
}

D3DFORMAT bmpFormat(const BmpFacts& bmp) {
    switch (bmp.bitCount) {
    case 16: return bmp.greenMask == 0x7E0 ? D3DFMT_R5G6B5 : D3DFMT_X1R5G5B5;
    case 24: return D3DFMT_R8G8B8;
    case 32: return bmp.alphaMask ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8;
    default: return D3DFMT_P8;
    }
}

// stb_image's RGBA bytes into A8R8G8B8 words.
Image fromRgba(const uint8_t* rgba, int width, int height, bool opaque) {
    Image image = makeImage(width, height);
    for (uint32_t& pixel : image.pixels) {
        pixel = argb(opaque ? 255 : rgba[3], rgba[0], rgba[1], rgba[2]);
        rgba += 4;
    }
    return image;
}

HRESULT loadWithStb(Bytes bytes, const char* decoder, bool opaque, Decoded& out, std::string& why) {
    if (!fitsInt(bytes.size())) return refuse(why, decoder, "file too large");
    int width = 0, height = 0, channels = 0;
    std::unique_ptr<stbi_uc, StbFree> rgba(
        stbi_load_from_memory(bytes.data(), int(bytes.size()), &width, &height, &channels, 4));
    if (!rgba) return refuse(why, decoder, stbi_failure_reason());
    if (!sizeAllowed(width, height, decoder, why)) return D3DXERR_INVALIDDATA;
    out.levels.push_back(fromRgba(rgba.get(), width, height, opaque));
    return D3D_OK;
}

// ---- TGA

constexpr const char* kTga = "TgaDecoder";

// Walks the header, colour map and pixel packets exactly as stb_image will
// read them (including its habit of skipping "first entry" bytes before the
// colour map), refusing what it would quietly patch up: a run reaching past
// the image's end and a colour-map index past the map.
HRESULT checkTga(Bytes bytes, D3DFORMAT& format, std::string& why) {
    ByteReader in(bytes);
    uint8_t idLength, mapType, imageType, mapBits, pixelBits, descriptor;
    uint16_t mapFirst, mapLength, xOrigin, yOrigin, width, height;
    if (!in.u8(idLength) || !in.u8(mapType) || !in.u8(imageType) || !in.u16(mapFirst) ||
        !in.u16(mapLength) || !in.u8(mapBits) || !in.u16(xOrigin) || !in.u16(yOrigin) ||
        !in.u16(width) || !in.u16(height) || !in.u8(pixelBits) || !in.u8(descriptor))
        return refuse(why, kTga, "header is truncated");
    if (!sizeAllowed(width, height, kTga, why)) return D3DXERR_INVALIDDATA;
    if (!in.skip(idLength)) return refuse(why, kTga, "image id is truncated");
    const bool runLength = imageType >= 8;
    if (mapType) {
        if (mapLength == 0) return refuse(why, kTga, "empty colour map");
        if (!in.skip(mapFirst) || !in.skip(size_t(mapLength) * ((mapBits + 7) / 8)))
            return refuse(why, kTga, "colour map is truncated");
    }
    const size_t pixelBytes = mapType ? (pixelBits == 8 ? 1 : 2) : (pixelBits + 7) / 8;
    const size_t pixels = size_t(width) * height;
    // stb_image reads an index past the colour map as entry 0; it is refused
    // here as BMP refuses an index past its palette.
    const auto indicesInMap = [&](const uint8_t* data, size_t count) {
        for (size_t i = 0; mapType && i < count; ++i) {
            const uint8_t* p = data + i * pixelBytes;
            if ((pixelBytes == 1 ? p[0] : p[0] | p[1] << 8) >= mapLength) return false;
        }
        return true;
    };
    const auto pastMap = [&why] { return refuse(why, kTga, "pixel index past the colour map"); };
    const uint8_t* data = nullptr;
    if (!runLength) {
        if (!in.take(pixels * pixelBytes, data))
            return refuse(why, kTga, "pixel data is truncated");
        if (!indicesInMap(data, pixels)) return pastMap();
    } else {
        for (size_t done = 0; done < pixels;) {
            uint8_t packet;
            if (!in.u8(packet)) return refuse(why, kTga, "pixel data is truncated");
            // stb_image would drop the rest of such a run silently.
            const size_t count = (packet & 0x7F) + 1u;
            if (count > pixels - done) return refuse(why, kTga, "run passes the image's end");
            const size_t stored = packet & 0x80 ? 1 : count;
            if (!in.take(stored * pixelBytes, data))
                return refuse(why, kTga, "pixel data is truncated");
            if (!indicesInMap(data, stored)) return pastMap();
            done += count;
        }
    }
    const int baseType = runLength ? imageType - 8 : imageType;
    if (mapType)
        format = D3DFMT_P8;
    else if (baseType == 3)
        format = pixelBits == 8 ? D3DFMT_L8 : D3DFMT_A8L8;
    else if (pixelBits == 15)
        format = D3DFMT_X1R5G5B5;
    else if (pixelBits == 16)
        format = D3DFMT_A1R5G5B5;
    else
        format = pixelBits == 24 ? D3DFMT_R8G8B8 : D3DFMT_A8R8G8B8;
    return D3D_OK;
}

// ---- HDR

constexpr const char* kHdr = "HdrDecoder";

// One header line as stb_image reads it: up to a newline or the end, with
// lines of 1023 characters or more cut there and the rest skipped.
std::string hdrLine(ByteReader& in) {
    std::string line;
    uint8_t c = 0;
    in.u8(c);
    while (in.remaining() > 0 && c != '\n') {
        line.push_back(char(c));
        if (line.size() == 1023) {
            while (in.u8(c) && c != '\n') {
            }
            break;
        }
        c = 0;
        in.u8(c);
    }
    return line;
}

// Reads the scanlines the way stb_image's loop does, so that it is known to
// end inside the data; a zero-length literal run, on which that loop would
// never advance, is refused.
HRESULT checkHdrPixels(ByteReader& in, int width, int height, std::string& why) {
    const auto truncated = [&why] { return refuse(why, kHdr, "pixel data is truncated"); };
    const size_t pixels = size_t(width) * size_t(height);
    if (width < 8) return in.skip(pixels * 4) ? D3D_OK : truncated();
    for (int y = 0; y < height; ++y) {
        uint8_t c1, c2, high, low;
        if (!in.u8(c1) || !in.u8(c2) || !in.u8(high)) return truncated();
        if (c1 != 2 || c2 != 2 || (high & 0x80)) {
            // Not run-length encoded: stb_image takes this and everything
            // after it as flat pixels filling the whole image.
            return in.skip(1 + (pixels - 1) * 4) ? D3D_OK : truncated();
        }
        if (!in.u8(low)) return truncated();
        if ((high << 8 | low) != width)
            return refuse(why, kHdr, "scanline length differs from the width");
        for (int channel = 0; channel < 4; ++channel) {
            for (int x = 0; x < width;) {
                uint8_t count;
                if (!in.u8(count)) return truncated();
                const bool run = count > 128;
                const int length = run ? count - 128 : count;
                if (length == 0 || length > width - x) return refuse(why, kHdr, "bad run length");
                if (!in.skip(run ? 1 : size_t(length))) return truncated();
                x += length;
            }
        }
    }
    return D3D_OK;
}

HRESULT checkHdr(Bytes bytes, std::string& why) {
    ByteReader in(bytes);
    const std::string magic = hdrLine(in);
    if (magic != "#?RADIANCE" && magic != "#?RGBE") return refuse(why, kHdr, "wrong magic");
    bool rgbe = false;
    for (std::string line; !(line = hdrLine(in)).empty();)
        if (line == "FORMAT=32-bit_rle_rgbe") rgbe = true;
    if (!rgbe) return refuse(why, kHdr, "not in RGBE format");
    // "-Y height +X width" is the only layout read; strtol as stb_image parses it.
    const std::string layout = hdrLine(in);
    if (layout.compare(0, 3, "-Y ") != 0) return refuse(why, kHdr, "unsupported data layout");
    char* end = nullptr;
    const long height = std::strtol(layout.c_str() + 3, &end, 10);
    while (*end == ' ') ++end;
    if (std::strncmp(end, "+X ", 3) != 0) return refuse(why, kHdr, "unsupported data layout");
    const long width = std::strtol(end + 3, nullptr, 10);
    if (!sizeAllowed(width, height, kHdr, why)) return D3DXERR_INVALIDDATA;
    return checkHdrPixels(in, int(width), int(height), why);
}

struct HdrFloats {
    int width = 0, height = 0;
    std::unique_ptr<float, StbFree> samples; // RGB, rows top first
};

// The checked file through stb_image's float loader.
HRESULT loadHdr(Bytes bytes, HdrFloats& rgb, std::string& why) {
    if (const HRESULT checked = checkHdr(bytes, why); FAILED(checked)) return checked;
    if (!fitsInt(bytes.size())) return refuse(why, kHdr, "file too large");
    int channels = 0;
    rgb.samples.reset(stbi_loadf_from_memory(bytes.data(), int(bytes.size()), &rgb.width,
                                             &rgb.height, &channels, 3));
    if (!rgb.samples) return refuse(why, kHdr, stbi_failure_reason());
    if (!sizeAllowed(rgb.width, rgb.height, kHdr, why)) return D3DXERR_INVALIDDATA;
    return D3D_OK;
}

} // namespace

HRESULT decodeBmp(Bytes bytes, Decoded& out, std::string& why) {
    BmpFacts bmp;
    if (const HRESULT checked = checkBmp(bytes, bmp, why); FAILED(checked)) return checked;
    // BI_RGB has no alpha: the fourth byte of a 32-bit pixel is padding.
    const bool opaque = bmp.alphaMask == 0;
    if (const HRESULT loaded = loadWithStb(bytes, kBmp, opaque, out, why); FAILED(loaded))
        return loaded;
    out.info = sourceInfo(bmp.width, bmp.height, bmpFormat(bmp), D3DXIFF_BMP);
    return D3D_OK;
}

HRESULT decodeDib(Bytes bytes, Decoded& out, std::string& why) {
    // A packed DIB is a BMP without the file header, which says where the
    // pixels start: after the info header, the BI_BITFIELDS masks of a
    // 40-byte header, and the colour table.
    ByteReader in(bytes);
    uint32_t headerSize = 0, colorsUsed = 0, compression = 0;
    uint16_t bitCount = 0;
    in.u32(headerSize);
    const bool core = headerSize == 12;
    if (!in.skip(core ? 6 : 10) || !in.u16(bitCount) ||
        (!core && (!in.u32(compression) || !in.skip(12) || !in.u32(colorsUsed))))
        return refuse(why, "DibDecoder", "header is truncated");
    uint64_t tableEntries = bitCount <= 8 ? (colorsUsed ? colorsUsed : 1u << bitCount) : colorsUsed;
    const uint64_t masks = headerSize == 40 && compression == 3 ? 12 : 0;
    const uint64_t offset = 14 + headerSize + masks + tableEntries * (core ? 3 : 4);
    if (offset > UINT32_MAX || !fitsInt(bytes.size() + 14))
        return refuse(why, "DibDecoder", "bad colour table size");
    std::vector<uint8_t> bmp(14 + bytes.size());
    const uint32_t fileSize = uint32_t(bmp.size());
    const uint8_t header[14] = {'B',
                                'M',
                                uint8_t(fileSize),
                                uint8_t(fileSize >> 8),
                                uint8_t(fileSize >> 16),
                                uint8_t(fileSize >> 24),
                                0,
                                0,
                                0,
                                0,
                                uint8_t(offset),
                                uint8_t(offset >> 8),
                                uint8_t(offset >> 16),
                                uint8_t(offset >> 24)};
    std::memcpy(bmp.data(), header, 14);
    std::memcpy(bmp.data() + 14, bytes.data(), bytes.size());
    const HRESULT result = decodeBmp(bmp, out, why);
    if (FAILED(result)) {
        if (why.starts_with(kBmp)) why.replace(0, std::strlen(kBmp), "DibDecoder");
        return result;
    }
    out.info.ImageFileFormat = D3DXIFF_DIB;
    return D3D_OK;
}

HRESULT decodeTga(Bytes bytes, Decoded& out, std::string& why) {
    D3DFORMAT format = D3DFMT_UNKNOWN;
    if (const HRESULT checked = checkTga(bytes, format, why); FAILED(checked)) return checked;
    if (const HRESULT loaded = loadWithStb(bytes, kTga, false, out, why); FAILED(loaded))
        return loaded;
    const Image& image = out.levels.front();
    out.info = sourceInfo(image.width, image.height, format, D3DXIFF_TGA);
    return D3D_OK;
}

HRESULT decodeHdr(Bytes bytes, Decoded& out, std::string& why) {
    HdrFloats rgb;
    if (const HRESULT loaded = loadHdr(bytes, rgb, why); FAILED(loaded)) return loaded;
    Image image = makeImage(rgb.width, rgb.height);
    const float* sample = rgb.samples.get();
    for (uint32_t& pixel : image.pixels) {
        pixel = argb(255, floatToByte(sample[0]), floatToByte(sample[1]), floatToByte(sample[2]));
        sample += 3;
    }
    out.levels.push_back(std::move(image));
    out.info = sourceInfo(rgb.width, rgb.height, D3DFMT_A32B32G32R32F, D3DXIFF_HDR);
    return D3D_OK;
}

HRESULT decodeHdrSamples(Bytes bytes, SampleRowSink& sink, ImageInfo& info, std::string& why) {
    HdrFloats rgb;
    if (const HRESULT loaded = loadHdr(bytes, rgb, why); FAILED(loaded)) return loaded;
    sink.begin(rgb.width, rgb.height);
    std::vector<float> rgba(size_t(rgb.width) * 4);
    for (int y = sink.nextRowWanted(0); y < rgb.height; y = sink.nextRowWanted(y + 1)) {
        const float* sample = rgb.samples.get() + size_t(y) * size_t(rgb.width) * 3;
        for (float* pixel = rgba.data(); pixel != rgba.data() + rgba.size(); pixel += 4) {
            pixel[0] = sample[0], pixel[1] = sample[1], pixel[2] = sample[2], pixel[3] = 1.0f;
            sample += 3;
        }
        sink.take(y, rgba.data());
    }
    info = sourceInfo(rgb.width, rgb.height, D3DFMT_A32B32G32R32F, D3DXIFF_HDR);
    return D3D_OK;
}

} // namespace d3dx::detail
