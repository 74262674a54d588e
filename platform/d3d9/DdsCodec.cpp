// SPDX-License-Identifier: MIT
// DDS, our own reader and writer. Uncompressed pixels are read through their
// channel masks, so every RGB, luminance and alpha layout of 8 to 32 bits
// decodes by one rule; D3DFORMAT codes in the FourCC field give the 16-bit and
// float formats, and DXT1-5 blocks go to libsquish. Every mip level is read
// and each is checked against the bytes present. Rows are tightly packed, as
// the format defines; the pitch field is not trusted.
#include <algorithm>
#include <bit>
#include <cassert>

#include <squish.h>

#include "d3d9/ImageDecoders.h"

namespace d3dx::detail {
namespace {

constexpr const char* kName = "DdsDecoder";
// 16-bit luminance; the device has no use for it, so D3D9Types.h leaves it out.
constexpr D3DFORMAT kL16 = D3DFORMAT(81);

constexpr uint32_t kDdsMagic = MAKEFOURCC('D', 'D', 'S', ' ');
constexpr uint32_t kHeaderSize = 124;
constexpr uint32_t kPixelFormatSize = 32;

// DDSURFACEDESC2 and DDPIXELFORMAT flags.
constexpr uint32_t DDSD_CAPS = 0x1, DDSD_HEIGHT = 0x2, DDSD_WIDTH = 0x4, DDSD_PITCH = 0x8,
                   DDSD_PIXELFORMAT = 0x1000, DDSD_MIPMAPCOUNT = 0x20000, DDSD_DEPTH = 0x800000;
constexpr uint32_t DDPF_ALPHAPIXELS = 0x1, DDPF_ALPHA = 0x2, DDPF_FOURCC = 0x4,
                   DDPF_PALETTEINDEXED8 = 0x20, DDPF_RGB = 0x40, DDPF_LUMINANCE = 0x20000;
constexpr uint32_t DDSCAPS_COMPLEX = 0x8, DDSCAPS_TEXTURE = 0x1000, DDSCAPS_MIPMAP = 0x400000;
constexpr uint32_t DDSCAPS2_VOLUME = 0x200000;

struct PixelFormat {
    uint32_t flags = 0, fourCC = 0, bitCount = 0;
    uint32_t rMask = 0, gMask = 0, bMask = 0, aMask = 0;
};

// One channel of a masked pixel, scaled to 8 bits with rounding. A channel
// without a mask reads as `absent`.
struct Channel {
    uint32_t mask = 0;
    int shift = 0;
    uint32_t max = 0;
    uint8_t absent = 255;

    static bool make(uint32_t mask, uint8_t absent, Channel& channel) {
        channel = Channel{};
        channel.absent = absent;
        if (mask == 0) return true;
        channel.mask = mask;
        channel.shift = std::countr_zero(mask);
        const uint32_t bits = mask >> channel.shift;
        if ((bits & (bits + 1)) != 0) return false; // the mask's bits must be contiguous
        channel.max = bits;
        return true;
    }
    uint8_t read(uint32_t pixel) const {
        if (mask == 0) return absent;
        const uint64_t value = (pixel & mask) >> shift;
        return uint8_t((value * 255 + max / 2) / max);
    }
};

struct Layout {
    D3DFORMAT format = D3DFMT_UNKNOWN;
    int blockBytes = 0;  // DXT: bytes per 4 x 4 block; 0 otherwise
    int squishFlags = 0; // DXT only
    bool premultiplied = false;
    int pixelBytes = 0; // uncompressed only
    Channel r, g, b, a;
    bool luminance = false;
};

struct KnownMasks {
    D3DFORMAT format;
    uint32_t flags, bitCount, r, g, b, a;
};

// The layouts D3DX writes, so that the source format reads as it would there.
constexpr KnownMasks kKnownMasks[] = {
    {D3DFMT_A8R8G8B8, DDPF_RGB | DDPF_ALPHAPIXELS, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000},
    {D3DFMT_X8R8G8B8, DDPF_RGB, 32, 0xFF0000, 0xFF00, 0xFF, 0},
    {D3DFMT_A8B8G8R8, DDPF_RGB | DDPF_ALPHAPIXELS, 32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000},
    {D3DFMT_X8B8G8R8, DDPF_RGB, 32, 0xFF, 0xFF00, 0xFF0000, 0},
    {D3DFMT_A2R10G10B10, DDPF_RGB | DDPF_ALPHAPIXELS, 32, 0x3FF00000, 0xFFC00, 0x3FF, 0xC0000000},
    {D3DFMT_A2B10G10R10, DDPF_RGB | DDPF_ALPHAPIXELS, 32, 0x3FF, 0xFFC00, 0x3FF00000, 0xC0000000},
    {D3DFMT_G16R16, DDPF_RGB, 32, 0xFFFF, 0xFFFF0000, 0, 0},
    {D3DFMT_R8G8B8, DDPF_RGB, 24, 0xFF0000, 0xFF00, 0xFF, 0},
    {D3DFMT_R5G6B5, DDPF_RGB, 16, 0xF800, 0x7E0, 0x1F, 0},
    {D3DFMT_A1R5G5B5, DDPF_RGB | DDPF_ALPHAPIXELS, 16, 0x7C00, 0x3E0, 0x1F, 0x8000},
    {D3DFMT_X1R5G5B5, DDPF_RGB, 16, 0x7C00, 0x3E0, 0x1F, 0},
    {D3DFMT_A4R4G4B4, DDPF_RGB | DDPF_ALPHAPIXELS, 16, 0xF00, 0xF0, 0xF, 0xF000},
    {D3DFMT_X4R4G4B4, DDPF_RGB, 16, 0xF00, 0xF0, 0xF, 0},
    {D3DFMT_A8R3G3B2, DDPF_RGB | DDPF_ALPHAPIXELS, 16, 0xE0, 0x1C, 0x3, 0xFF00},
    {D3DFMT_R3G3B2, DDPF_RGB, 8, 0xE0, 0x1C, 0x3, 0},
    {kL16, DDPF_LUMINANCE, 16, 0xFFFF, 0, 0, 0},
    {D3DFMT_A8L8, DDPF_LUMINANCE | DDPF_ALPHAPIXELS, 16, 0xFF, 0, 0, 0xFF00},
    {D3DFMT_A4L4, DDPF_LUMINANCE | DDPF_ALPHAPIXELS, 8, 0xF, 0, 0, 0xF0},
    {D3DFMT_L8, DDPF_LUMINANCE, 8, 0xFF, 0, 0, 0},
    {D3DFMT_A8, DDPF_ALPHA, 8, 0, 0, 0, 0xFF},
};

// The float and 16-bit-per-channel formats, named by their D3DFORMAT code in
// the FourCC field, as D3DX writes them.
bool isFloatFormat(uint32_t code) {
    return code == D3DFMT_A16B16G16R16 || (code >= D3DFMT_R16F && code <= D3DFMT_A32B32G32R32F);
}
int floatPixelBytes(uint32_t code) {
    switch (code) {
    case D3DFMT_R16F: return 2;
    case D3DFMT_G16R16F:
    case D3DFMT_R32F: return 4;
    case D3DFMT_A16B16G16R16:
    case D3DFMT_A16B16G16R16F:
    case D3DFMT_G32R32F: return 8;
    default: return 16; // D3DFMT_A32B32G32R32F
    }
}

bool describe(const PixelFormat& pf, Layout& layout, std::string& reason) {
    if (pf.flags & DDPF_FOURCC) {
        switch (pf.fourCC) {
        case D3DFMT_DXT1: layout.blockBytes = 8, layout.squishFlags = squish::kDxt1; break;
        case D3DFMT_DXT2: layout.premultiplied = true; [[fallthrough]];
        case D3DFMT_DXT3: layout.blockBytes = 16, layout.squishFlags = squish::kDxt3; break;
        case D3DFMT_DXT4: layout.premultiplied = true; [[fallthrough]];
        case D3DFMT_DXT5: layout.blockBytes = 16, layout.squishFlags = squish::kDxt5; break;
        default:
            if (!isFloatFormat(pf.fourCC)) {
                reason = pf.fourCC == MAKEFOURCC('D', 'X', '1', '0')
                             ? "the DX10 header is not supported"
                             : "unsupported FourCC format " + std::to_string(pf.fourCC);
                return false;
            }
            layout.pixelBytes = floatPixelBytes(pf.fourCC);
        }
        layout.format = D3DFORMAT(pf.fourCC);
        return true;
    }
    if (pf.flags & DDPF_PALETTEINDEXED8) {
        reason = "paletted surfaces are not supported";
        return false;
    }
    if (!(pf.flags & (DDPF_RGB | DDPF_LUMINANCE | DDPF_ALPHA))) {
        reason = "no pixel format flags";
        return false;
    }
    if (pf.bitCount != 8 && pf.bitCount != 16 && pf.bitCount != 24 && pf.bitCount != 32) {
        reason = "unsupported bit count " + std::to_string(pf.bitCount);
        return false;
    }
    layout.pixelBytes = int(pf.bitCount / 8);
    const bool alpha = pf.flags & (DDPF_ALPHAPIXELS | DDPF_ALPHA);
    const uint32_t fits = pf.bitCount == 32 ? ~0u : (1u << pf.bitCount) - 1;
    layout.luminance = pf.flags & DDPF_LUMINANCE;
    const bool colour = pf.flags & (DDPF_RGB | DDPF_LUMINANCE);
    // An alpha-only surface reads as black; a colour channel missing from an
    // RGB layout (G16R16's blue) reads as 1, as the sampler would return.
    const uint8_t absentColour = colour ? 255 : 0;
    const uint32_t rMask = colour ? pf.rMask : 0;
    const uint32_t gMask = colour && !layout.luminance ? pf.gMask : 0;
    const uint32_t bMask = colour && !layout.luminance ? pf.bMask : 0;
    const uint32_t aMask = alpha ? pf.aMask : 0;
    if ((rMask | gMask | bMask | aMask) & ~fits || (rMask | gMask | bMask | aMask) == 0 ||
        !Channel::make(rMask, absentColour, layout.r) ||
        !Channel::make(gMask, absentColour, layout.g) ||
        !Channel::make(bMask, absentColour, layout.b) || !Channel::make(aMask, 255, layout.a)) {
        reason = "bad channel masks";
        return false;
    }
    for (const KnownMasks& known : kKnownMasks) {
        if ((pf.flags & (DDPF_RGB | DDPF_LUMINANCE | DDPF_ALPHA | DDPF_ALPHAPIXELS)) ==
                known.flags &&
            pf.bitCount == known.bitCount && rMask == known.r && gMask == known.g &&
            bMask == known.b && aMask == known.a)
            layout.format = known.format;
    }
    return true;
}

float halfToFloat(uint16_t half) {
    const uint32_t sign = uint32_t(half & 0x8000) << 16;
    const uint32_t exponent = (half >> 10) & 0x1F, mantissa = half & 0x3FF;
    if (exponent == 0) { // zero or subnormal: mantissa x 2^-24
        const float magnitude = float(mantissa) * (1.0f / 16777216.0f);
        return sign ? -magnitude : magnitude;
    }
    const uint32_t bits = exponent == 31 ? sign | 0x7F800000 | mantissa << 13
                                         : sign | (exponent + 112) << 23 | mantissa << 13;
    return std::bit_cast<float>(bits);
}

void decodeFloatPixels(D3DFORMAT format, const uint8_t* data, Image& image) {
    ByteReader in(Bytes(data, image.pixels.size() * size_t(floatPixelBytes(format))));
    auto half = [&in] {
        uint16_t v = 0;
        in.u16(v);
        return halfToFloat(v);
    };
    auto single = [&in] {
        float v = 0;
        in.f32(v);
        return v;
    };
    for (uint32_t& pixel : image.pixels) {
        // Channels a format lacks read as 1, as the sampler returns them.
        float r = 1, g = 1, b = 1, a = 1;
        switch (format) {
        case D3DFMT_R16F: r = half(); break;
        case D3DFMT_G16R16F: r = half(), g = half(); break;
        case D3DFMT_A16B16G16R16F: r = half(), g = half(), b = half(), a = half(); break;
        case D3DFMT_R32F: r = single(); break;
        case D3DFMT_G32R32F: r = single(), g = single(); break;
        case D3DFMT_A32B32G32R32F: r = single(), g = single(), b = single(), a = single(); break;
        default: { // D3DFMT_A16B16G16R16, unsigned normalised
            uint16_t c[4] = {};
            for (uint16_t& v : c) in.u16(v);
            auto to8 = [](uint16_t v) { return uint32_t((v * 255u + 32767u) / 65535u); };
            pixel = argb(to8(c[3]), to8(c[0]), to8(c[1]), to8(c[2]));
            continue;
        }
        }
        pixel = argb(floatToByte(a), floatToByte(r), floatToByte(g), floatToByte(b));
    }
}

void decodeMaskedPixels(const Layout& layout, const uint8_t* data, Image& image) {
    for (uint32_t& pixel : image.pixels) {
        uint32_t word = 0;
        for (int i = 0; i < layout.pixelBytes; ++i) word |= uint32_t(data[i]) << (8 * i);
        data += layout.pixelBytes;
        const uint8_t r = layout.r.read(word);
        const uint8_t g = layout.luminance ? r : layout.g.read(word);
        const uint8_t b = layout.luminance ? r : layout.b.read(word);
        pixel = argb(layout.a.read(word), r, g, b);
    }
}

void decodeBlocks(const Layout& layout, const uint8_t* data, Image& image) {
    // libsquish writes R, G, B, A bytes; the words are turned into A8R8G8B8 in place.
    squish::DecompressImage(reinterpret_cast<squish::u8*>(image.pixels.data()), image.width,
                            image.height, data, layout.squishFlags);
    for (uint32_t& pixel : image.pixels) {
        const uint8_t* rgba = reinterpret_cast<const uint8_t*>(&pixel);
        uint32_t r = rgba[0], g = rgba[1], b = rgba[2];
        const uint32_t a = rgba[3];
        if (layout.premultiplied) {
            r = a ? std::min(255u, (r * 255 + a / 2) / a) : 0;
            g = a ? std::min(255u, (g * 255 + a / 2) / a) : 0;
            b = a ? std::min(255u, (b * 255 + a / 2) / a) : 0;
        }
        pixel = argb(a, r, g, b);
    }
}

size_t levelBytes(const Layout& layout, int width, int height) {
    if (layout.blockBytes)
        return size_t((width + 3) / 4) * size_t((height + 3) / 4) * size_t(layout.blockBytes);
    return size_t(width) * size_t(height) * size_t(layout.pixelBytes);
}

} // namespace

HRESULT decodeDds(Bytes bytes, Decoded& out, std::string& why) {
    ByteReader in(bytes);
    uint32_t magic, headerSize, flags, height, width, pitch, depth, mipCount;
    PixelFormat pf;
    uint32_t pfSize, caps, caps2;
    if (!in.u32(magic) || magic != kDdsMagic) return refuse(why, kName, "wrong magic");
    if (!in.u32(headerSize) || !in.u32(flags) || !in.u32(height) || !in.u32(width) ||
        !in.u32(pitch) || !in.u32(depth) || !in.u32(mipCount) || !in.skip(11 * 4) ||
        !in.u32(pfSize) || !in.u32(pf.flags) || !in.u32(pf.fourCC) || !in.u32(pf.bitCount) ||
        !in.u32(pf.rMask) || !in.u32(pf.gMask) || !in.u32(pf.bMask) || !in.u32(pf.aMask) ||
        !in.u32(caps) || !in.u32(caps2) || !in.skip(3 * 4))
        return refuse(why, kName, "header is truncated");
    if (headerSize != kHeaderSize || pfSize != kPixelFormatSize)
        return refuse(why, kName, "bad header size");
    if ((caps2 & DDSCAPS2_VOLUME) || ((flags & DDSD_DEPTH) && depth > 1))
        return refuse(why, kName, "volume textures are not supported");
    if (!sizeAllowed(width, height, kName, why)) return D3DXERR_INVALIDDATA;

    Layout layout;
    std::string reason;
    if (!describe(pf, layout, reason)) return refuse(why, kName, reason);

    // A count past the full chain names levels no texture can have; the chain
    // stops at 1 x 1 as D3DX's does.
    const int fullChain = std::bit_width(std::max(width, height));
    const int levels = (flags & DDSD_MIPMAPCOUNT) && mipCount > 0
                           ? int(std::min<uint32_t>(mipCount, uint32_t(fullChain)))
                           : 1;
    for (int level = 0; level < levels; ++level) {
        const int w = std::max(1, int(width) >> level), h = std::max(1, int(height) >> level);
        const uint8_t* data = nullptr;
        if (!in.take(levelBytes(layout, w, h), data)) {
            out.levels.clear();
            return refuse(why, kName, "mip level " + std::to_string(level) + " is truncated");
        }
        out.levels.push_back(makeImage(w, h));
        Image& image = out.levels.back();
        if (layout.blockBytes)
            decodeBlocks(layout, data, image);
        else if (pf.flags & DDPF_FOURCC)
            decodeFloatPixels(layout.format, data, image);
        else
            decodeMaskedPixels(layout, data, image);
    }
    out.info = sourceInfo(int(width), int(height), layout.format, D3DXIFF_DDS, uint32_t(levels));
    return D3D_OK;
}

} // namespace d3dx::detail

namespace d3dx {
namespace {

std::vector<uint8_t> writeDds(std::span<const Image> levels) {
    assert(!levels.empty() && "encodeDds: no levels");
    const Image& top = levels.front();
    size_t pixelCount = 0;
    for (const Image& level : levels) pixelCount += level.pixels.size();
    std::vector<uint8_t> file;
    file.reserve(4 + detail::kHeaderSize + pixelCount * 4);
    auto put = [&file](uint32_t v) {
        for (int i = 0; i < 4; ++i) file.push_back(uint8_t(v >> (8 * i)));
    };
    using namespace detail;
    const bool chain = levels.size() > 1;
    put(kDdsMagic);
    put(kHeaderSize);
    put(DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PITCH | DDSD_PIXELFORMAT |
        (chain ? DDSD_MIPMAPCOUNT : 0));
    put(uint32_t(top.height));
    put(uint32_t(top.width));
    put(uint32_t(top.width) * 4);
    put(0);
    put(chain ? uint32_t(levels.size()) : 0);
    for (int i = 0; i < 11; ++i) put(0);
    put(kPixelFormatSize);
    put(DDPF_RGB | DDPF_ALPHAPIXELS);
    put(0);
    put(32);
    put(0xFF0000);
    put(0xFF00);
    put(0xFF);
    put(0xFF000000);
    put(DDSCAPS_TEXTURE | (chain ? DDSCAPS_COMPLEX | DDSCAPS_MIPMAP : 0));
    for (int i = 0; i < 4; ++i) put(0);
    for (size_t i = 0; i < levels.size(); ++i) {
        const Image& level = levels[i];
        assert(level.width == std::max(1, top.width >> i) &&
               level.height == std::max(1, top.height >> i) &&
               level.pixels.size() == size_t(level.width) * size_t(level.height) &&
               "encodeDds: level sizes do not halve");
        for (uint32_t pixel : level.pixels) put(pixel);
    }
    return file;
}

} // namespace

std::vector<uint8_t> encodeDds(const std::vector<Image>& levels) {
    return writeDds(levels);
}

std::vector<uint8_t> encodeDds(const Image& image) {
    return writeDds({&image, 1});
}

} // namespace d3dx
