// SPDX-License-Identifier: MIT
// Our own readers for the Netpbm family members D3DX opens: PPM (P3 text and
// P6 binary, maxval 1..65535, samples scaled to 8 bits with rounding) and PFM
// (colour "PF" or gray "Pf" floats, rows stored bottom first, byte order from
// the scale's sign). PFM samples go through the float rule of the float DDS
// formats, so NaN reads as 0 and infinities as 0 or 255. Gray PFM is
// replicated into red, green and blue.
#include <cmath>
#include <cstdlib>

#include "d3d9/ImageDecoders.h"

namespace d3dx::detail {
namespace {

constexpr const char* kPpm = "PpmDecoder";
constexpr const char* kPfm = "PfmDecoder";

bool isSpace(uint8_t c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// Skips whitespace and '#' comments running to the end of their line.
void skipSpace(ByteReader& in, Bytes bytes) {
    while (in.remaining() > 0) {
        const uint8_t c = bytes[in.position()];
        if (c == '#') {
            uint8_t skipped = 0;
            while (in.u8(skipped) && skipped != '\n' && skipped != '\r') {
            }
        } else if (isSpace(c)) {
            in.skip(1);
        } else {
            break;
        }
    }
}

// A decimal number no larger than `limit`; false on anything else.
bool number(ByteReader& in, Bytes bytes, uint32_t limit, uint32_t& value) {
    skipSpace(in, bytes);
    uint64_t parsed = 0;
    size_t digits = 0;
    while (in.remaining() > 0) {
        const uint8_t c = bytes[in.position()];
        if (c < '0' || c > '9') break;
        parsed = parsed * 10 + (c - '0');
        if (parsed > limit) return false;
        in.skip(1);
        ++digits;
    }
    value = uint32_t(parsed);
    return digits > 0;
}

// The one whitespace byte that ends a binary header.
bool headerEnd(ByteReader& in) {
    uint8_t c;
    return in.u8(c) && isSpace(c);
}

} // namespace

HRESULT decodePpm(Bytes bytes, Decoded& out, std::string& why) {
    ByteReader in(bytes);
    uint8_t p = 0, kind = 0;
    in.u8(p), in.u8(kind);
    const bool text = kind == '3';
    uint32_t width, height, maxval;
    constexpr uint32_t sideLimit = 1u << 30; // larger sides are refused by sizeAllowed anyway
    if (!number(in, bytes, sideLimit, width) || !number(in, bytes, sideLimit, height))
        return refuse(why, kPpm, "bad size in header");
    if (!number(in, bytes, 65535, maxval)) return refuse(why, kPpm, "bad maxval in header");
    if (maxval == 0) return refuse(why, kPpm, "maxval is zero");
    if (!sizeAllowed(width, height, kPpm, why)) return D3DXERR_INVALIDDATA;
    const size_t samples = size_t(width) * height * 3;
    const size_t sampleBytes = maxval > 255 ? 2 : 1;
    if (text) {
        // Every sample but the last needs a digit and a separator.
        if (in.remaining() < samples * 2 - 1) return refuse(why, kPpm, "pixel data is truncated");
    } else if (!headerEnd(in) || in.remaining() < samples * sampleBytes) {
        return refuse(why, kPpm, "pixel data is truncated");
    }

    Image image = makeImage(int(width), int(height));
    for (uint32_t& pixel : image.pixels) {
        uint32_t rgb[3];
        for (uint32_t& sample : rgb) {
            if (text) {
                if (!number(in, bytes, 65535, sample))
                    return refuse(why, kPpm, "bad or missing sample");
            } else {
                uint8_t high = 0, low = 0;
                in.u8(high);
                if (sampleBytes == 2) in.u8(low);
                sample = sampleBytes == 2 ? uint32_t(high << 8 | low) : high;
            }
            if (sample > maxval) return refuse(why, kPpm, "sample exceeds maxval");
            sample = (sample * 255 + maxval / 2) / maxval;
        }
        pixel = argb(255, rgb[0], rgb[1], rgb[2]);
    }
    out.levels.push_back(std::move(image));
    out.info = sourceInfo(int(width), int(height), D3DFMT_X8R8G8B8, D3DXIFF_PPM);
    return D3D_OK;
}

HRESULT decodePfm(Bytes bytes, Decoded& out, std::string& why) {
    ByteReader in(bytes);
    uint8_t p = 0, kind = 0;
    in.u8(p), in.u8(kind);
    const int channels = kind == 'F' ? 3 : 1;
    uint32_t width, height;
    constexpr uint32_t sideLimit = 1u << 30;
    if (!number(in, bytes, sideLimit, width) || !number(in, bytes, sideLimit, height))
        return refuse(why, kPfm, "bad size in header");
    // The scale is text: a sign for the byte order, then a magnitude that
    // only says what 1.0 means in physical units and does not alter samples.
    skipSpace(in, bytes);
    std::string scaleText;
    for (uint8_t c; in.remaining() > 0 && !isSpace(bytes[in.position()]) && scaleText.size() < 32;)
        in.u8(c), scaleText.push_back(char(c));
    char* end = nullptr;
    const double scale = std::strtod(scaleText.c_str(), &end);
    if (scaleText.empty() || *end != 0 || !std::isfinite(scale) || scale == 0)
        return refuse(why, kPfm, "bad scale in header");
    if (!sizeAllowed(width, height, kPfm, why)) return D3DXERR_INVALIDDATA;
    const size_t rowBytes = size_t(width) * size_t(channels) * 4;
    if (!headerEnd(in) || in.remaining() < rowBytes * height)
        return refuse(why, kPfm, "pixel data is truncated");

    const bool bigEndian = scale > 0;
    Image image = makeImage(int(width), int(height));
    for (uint32_t row = 0; row < height; ++row) {
        uint32_t* target = image.pixels.data() + size_t(height - 1 - row) * width;
        for (uint32_t x = 0; x < width; ++x) {
            uint8_t rgb[3];
            for (int c = 0; c < channels; ++c) {
                uint32_t word = 0;
                in.u32(word);
                if (bigEndian) word = __builtin_bswap32(word);
                float sample;
                std::memcpy(&sample, &word, 4);
                rgb[c] = floatToByte(sample);
            }
            if (channels == 1) rgb[1] = rgb[2] = rgb[0];
            target[x] = argb(255, rgb[0], rgb[1], rgb[2]);
        }
    }
    out.levels.push_back(std::move(image));
    out.info = sourceInfo(int(width), int(height),
                          channels == 3 ? D3DFMT_A32B32G32R32F : D3DFMT_R32F, D3DXIFF_PFM);
    return D3D_OK;
}

} // namespace d3dx::detail
