// SPDX-License-Identifier: MIT
// Format table and packed-pixel conversions. Upload types are chosen so that
// the bytes of a Direct3D level go to OpenGL unchanged on little-endian hosts:
// A8R8G8B8 is B, G, R, A in memory, which GL_BGRA with the reversed 8-8-8-8
// type reads as it is; the 16-bit formats use the matching packed types.
#include "d3d9/Format.h"

#include <cstring>

namespace d3d9 {
namespace {

constexpr std::array<GLenum, 4> kRgba{GL_RED, GL_GREEN, GL_BLUE, GL_ALPHA};
constexpr std::array<GLenum, 4> kRgb1{GL_RED, GL_GREEN, GL_BLUE, GL_ONE};

FormatInfo make(D3DFORMAT format, uint32_t bytes, GLenum internal, GLenum glFormat, GLenum type,
                std::array<GLenum, 4> swizzle = kRgba, bool target = false, bool blend = false) {
    FormatInfo info;
    info.format = format;
    info.bytes = bytes;
    info.internalFormat = internal;
    info.glFormat = glFormat;
    info.glType = type;
    info.swizzle = swizzle;
    info.renderTarget = target;
    info.blendable = blend;
    return info;
}
FormatInfo makeDepth(D3DFORMAT format, uint32_t bytes, GLenum internal, bool stencil) {
    FormatInfo info;
    info.format = format;
    info.bytes = bytes;
    info.depth = true;
    info.stencil = stencil;
    info.internalFormat = internal;
    return info;
}
FormatInfo makeBlocks(D3DFORMAT format, uint32_t blockBytes, GLenum internal) {
    FormatInfo info;
    info.format = format;
    info.bytes = blockBytes;
    info.compressed = true;
    info.internalFormat = internal;
    return info;
}

const std::array<FormatInfo, 29>& table() {
    static const std::array<FormatInfo, 29> formats{
        make(D3DFMT_A8R8G8B8, 4, GL_RGBA8, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, kRgba, true, true),
        // X formats are stored with their unused bits and read back as opaque.
        make(D3DFMT_X8R8G8B8, 4, GL_RGBA8, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, kRgb1, true, true),
        make(D3DFMT_R8G8B8, 3, GL_RGB8, GL_BGR, GL_UNSIGNED_BYTE),
        make(D3DFMT_R5G6B5, 2, GL_RGB565, GL_RGB, GL_UNSIGNED_SHORT_5_6_5, kRgba, true, true),
        make(D3DFMT_X1R5G5B5, 2, GL_RGB5_A1, GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV, kRgb1),
        make(D3DFMT_A1R5G5B5, 2, GL_RGB5_A1, GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV),
        make(D3DFMT_A4R4G4B4, 2, GL_RGBA4, GL_BGRA, GL_UNSIGNED_SHORT_4_4_4_4_REV),
        make(D3DFMT_X4R4G4B4, 2, GL_RGBA4, GL_BGRA, GL_UNSIGNED_SHORT_4_4_4_4_REV, kRgb1),
        make(D3DFMT_A8, 1, GL_R8, GL_RED, GL_UNSIGNED_BYTE, {GL_ZERO, GL_ZERO, GL_ZERO, GL_RED}),
        make(D3DFMT_L8, 1, GL_R8, GL_RED, GL_UNSIGNED_BYTE, {GL_RED, GL_RED, GL_RED, GL_ONE}),
        make(D3DFMT_A8L8, 2, GL_RG8, GL_RG, GL_UNSIGNED_BYTE, {GL_RED, GL_RED, GL_RED, GL_GREEN}),
        make(D3DFMT_A8B8G8R8, 4, GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE),
        make(D3DFMT_X8B8G8R8, 4, GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE, kRgb1),
        make(D3DFMT_A2R10G10B10, 4, GL_RGB10_A2, GL_BGRA, GL_UNSIGNED_INT_2_10_10_10_REV),
        make(D3DFMT_A2B10G10R10, 4, GL_RGB10_A2, GL_RGBA, GL_UNSIGNED_INT_2_10_10_10_REV, kRgba,
             true, true),
        make(D3DFMT_G16R16, 4, GL_RG16, GL_RG, GL_UNSIGNED_SHORT),
        make(D3DFMT_A16B16G16R16, 8, GL_RGBA16, GL_RGBA, GL_UNSIGNED_SHORT, kRgba, true, true),
        make(D3DFMT_R16F, 2, GL_R16F, GL_RED, GL_HALF_FLOAT, kRgb1, true, true),
        make(D3DFMT_G16R16F, 4, GL_RG16F, GL_RG, GL_HALF_FLOAT, kRgb1, true, true),
        make(D3DFMT_A16B16G16R16F, 8, GL_RGBA16F, GL_RGBA, GL_HALF_FLOAT, kRgba, true, true),
        make(D3DFMT_R32F, 4, GL_R32F, GL_RED, GL_FLOAT, kRgb1, true, true),
        make(D3DFMT_G32R32F, 8, GL_RG32F, GL_RG, GL_FLOAT, kRgb1, true, true),
        make(D3DFMT_A32B32G32R32F, 16, GL_RGBA32F, GL_RGBA, GL_FLOAT, kRgba, true, true),
        makeDepth(D3DFMT_D16, 2, GL_DEPTH_COMPONENT16, false),
        makeDepth(D3DFMT_D24X8, 4, GL_DEPTH_COMPONENT24, false),
        makeDepth(D3DFMT_D24S8, 4, GL_DEPTH24_STENCIL8, true),
        makeDepth(D3DFMT_D32, 4, GL_DEPTH_COMPONENT32, false),
        makeBlocks(D3DFMT_DXT1, 8, GL_COMPRESSED_RGBA_S3TC_DXT1_EXT),
        makeBlocks(D3DFMT_DXT5, 16, GL_COMPRESSED_RGBA_S3TC_DXT5_EXT),
    };
    return formats;
}

// DXT3 shares the table's DXT5 row shape; kept apart so the table stays a fixed size.
const FormatInfo& dxt3() {
    static const FormatInfo info = makeBlocks(D3DFMT_DXT3, 16, GL_COMPRESSED_RGBA_S3TC_DXT3_EXT);
    return info;
}

uint32_t expand5(uint32_t v) {
    return v << 3 | v >> 2;
}
uint32_t expand6(uint32_t v) {
    return v << 2 | v >> 4;
}
uint32_t expand4(uint32_t v) {
    return v << 4 | v;
}

} // namespace

const FormatInfo* formatInfo(D3DFORMAT format) {
    if (format == D3DFMT_DXT3) return &dxt3();
    for (const FormatInfo& info : table())
        if (info.format == format) return &info;
    return nullptr;
}

uint32_t rowPitch(const FormatInfo& info, uint32_t width) {
    if (info.compressed) return ((width + 3) / 4) * info.bytes;
    return width * info.bytes;
}

uint32_t rowCount(const FormatInfo& info, uint32_t height) {
    return info.compressed ? (height + 3) / 4 : height;
}

bool convertible(D3DFORMAT format) {
    switch (format) {
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8:
    case D3DFMT_R8G8B8:
    case D3DFMT_R5G6B5:
    case D3DFMT_X1R5G5B5:
    case D3DFMT_A1R5G5B5:
    case D3DFMT_A4R4G4B4:
    case D3DFMT_X4R4G4B4:
    case D3DFMT_A8:
    case D3DFMT_L8:
    case D3DFMT_A8L8:
    case D3DFMT_A8B8G8R8:
    case D3DFMT_X8B8G8R8: return true;
    default: return false;
    }
}

void fromArgb(D3DFORMAT format, const uint32_t* argb, void* out, size_t count) {
    auto* bytes = static_cast<uint8_t*>(out);
    auto put16 = [&](size_t i, uint32_t v) {
        uint16_t word = uint16_t(v);
        std::memcpy(bytes + i * 2, &word, 2);
    };
    auto put32 = [&](size_t i, uint32_t v) { std::memcpy(bytes + i * 4, &v, 4); };
    for (size_t i = 0; i < count; ++i) {
        uint32_t p = argb[i];
        uint32_t a = p >> 24, r = p >> 16 & 0xFF, g = p >> 8 & 0xFF, b = p & 0xFF;
        // Luminance with the integer Rec. 601 weights D3DX uses for L8.
        uint32_t luminance = (r * 77 + g * 150 + b * 29 + 128) >> 8;
        switch (format) {
        case D3DFMT_A8R8G8B8: put32(i, p); break;
        case D3DFMT_X8R8G8B8: put32(i, p | 0xFF000000u); break;
        case D3DFMT_R8G8B8:
            bytes[i * 3] = uint8_t(b);
            bytes[i * 3 + 1] = uint8_t(g);
            bytes[i * 3 + 2] = uint8_t(r);
            break;
        case D3DFMT_R5G6B5: put16(i, (r >> 3) << 11 | (g >> 2) << 5 | b >> 3); break;
        case D3DFMT_X1R5G5B5: put16(i, 0x8000 | (r >> 3) << 10 | (g >> 3) << 5 | b >> 3); break;
        case D3DFMT_A1R5G5B5:
            put16(i, (a >= 128 ? 0x8000 : 0) | (r >> 3) << 10 | (g >> 3) << 5 | b >> 3);
            break;
        case D3DFMT_A4R4G4B4:
            put16(i, (a >> 4) << 12 | (r >> 4) << 8 | (g >> 4) << 4 | b >> 4);
            break;
        case D3DFMT_X4R4G4B4: put16(i, 0xF000 | (r >> 4) << 8 | (g >> 4) << 4 | b >> 4); break;
        case D3DFMT_A8: bytes[i] = uint8_t(a); break;
        case D3DFMT_L8: bytes[i] = uint8_t(luminance); break;
        case D3DFMT_A8L8: put16(i, a << 8 | luminance); break;
        case D3DFMT_A8B8G8R8: put32(i, a << 24 | b << 16 | g << 8 | r); break;
        case D3DFMT_X8B8G8R8: put32(i, 0xFF000000u | b << 16 | g << 8 | r); break;
        default: break;
        }
    }
}

void toArgb(D3DFORMAT format, const void* in, uint32_t* argb, size_t count) {
    const auto* bytes = static_cast<const uint8_t*>(in);
    auto get16 = [&](size_t i) {
        uint16_t word;
        std::memcpy(&word, bytes + i * 2, 2);
        return uint32_t(word);
    };
    auto get32 = [&](size_t i) {
        uint32_t word;
        std::memcpy(&word, bytes + i * 4, 4);
        return word;
    };
    auto pack = [](uint32_t a, uint32_t r, uint32_t g, uint32_t b) {
        return a << 24 | r << 16 | g << 8 | b;
    };
    for (size_t i = 0; i < count; ++i) {
        uint32_t out = 0;
        switch (format) {
        case D3DFMT_A8R8G8B8: out = get32(i); break;
        case D3DFMT_X8R8G8B8: out = get32(i) | 0xFF000000u; break;
        case D3DFMT_R8G8B8:
            out = pack(255, bytes[i * 3 + 2], bytes[i * 3 + 1], bytes[i * 3]);
            break;
        case D3DFMT_R5G6B5: {
            uint32_t w = get16(i);
            out = pack(255, expand5(w >> 11), expand6(w >> 5 & 0x3F), expand5(w & 0x1F));
            break;
        }
        case D3DFMT_X1R5G5B5:
        case D3DFMT_A1R5G5B5: {
            uint32_t w = get16(i);
            uint32_t a = format == D3DFMT_X1R5G5B5 || (w & 0x8000) ? 255 : 0;
            out = pack(a, expand5(w >> 10 & 0x1F), expand5(w >> 5 & 0x1F), expand5(w & 0x1F));
            break;
        }
        case D3DFMT_A4R4G4B4:
        case D3DFMT_X4R4G4B4: {
            uint32_t w = get16(i);
            uint32_t a = format == D3DFMT_X4R4G4B4 ? 255 : expand4(w >> 12);
            out = pack(a, expand4(w >> 8 & 0xF), expand4(w >> 4 & 0xF), expand4(w & 0xF));
            break;
        }
        case D3DFMT_A8: out = pack(bytes[i], 0, 0, 0); break;
        case D3DFMT_L8: out = pack(255, bytes[i], bytes[i], bytes[i]); break;
        case D3DFMT_A8L8: {
            uint32_t w = get16(i), l = w & 0xFF;
            out = pack(w >> 8, l, l, l);
            break;
        }
        case D3DFMT_A8B8G8R8:
        case D3DFMT_X8B8G8R8: {
            uint32_t w = get32(i);
            uint32_t a = format == D3DFMT_X8B8G8R8 ? 255 : w >> 24;
            out = pack(a, w & 0xFF, w >> 8 & 0xFF, w >> 16 & 0xFF);
            break;
        }
        default: break;
        }
        argb[i] = out;
    }
}

std::array<float, 4> colorToFloats(uint32_t color) {
    return {float(color >> 16 & 0xFF) / 255.0f, float(color >> 8 & 0xFF) / 255.0f,
            float(color & 0xFF) / 255.0f, float(color >> 24) / 255.0f};
}

} // namespace d3d9
