// SPDX-License-Identifier: MIT
// Our own readers for the Netpbm family members D3DX opens: PPM (P3 text and
// P6 binary, maxval 1..65535, samples scaled to 8 bits with rounding) and PFM
// (colour "PF" or gray "Pf" floats, rows stored bottom first, byte order from
// the scale's sign). PFM samples go through the float rule of the float DDS
// formats, so NaN reads as 0 and infinities as 0 or 255. Gray PFM is
// replicated into red, green and blue. The sample readers share the header
// checks and row reading, and keep PPM samples over maxval and PFM floats
// as they are.
#include <cmath>
#include <cstdlib>

#include "d3d9/ImageDecoders.h"
#include "d3d9/ImageSamples.h"

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

struct PpmHeader {
    uint32_t width = 0, height = 0, maxval = 0;
    bool text = false;
};

// Parses and checks the header, the size bound and that the file can hold
// every sample; `in` is left at the first sample.
HRESULT readPpmHeader(ByteReader& in, Bytes bytes, PpmHeader& header, std::string& why) {
    uint8_t p = 0, kind = 0;
    in.u8(p), in.u8(kind);
    header.text = kind == '3';
    constexpr uint32_t sideLimit = 1u << 30; // larger sides are refused by sizeAllowed anyway
    if (!number(in, bytes, sideLimit, header.width) || !number(in, bytes, sideLimit, header.height))
        return refuse(why, kPpm, "bad size in header");
    if (!number(in, bytes, 65535, header.maxval)) return refuse(why, kPpm, "bad maxval in header");
    if (header.maxval == 0) return refuse(why, kPpm, "maxval is zero");
    if (!sizeAllowed(header.width, header.height, kPpm, why)) return D3DXERR_INVALIDDATA;
    const size_t samples = size_t(header.width) * header.height * 3;
    const size_t sampleBytes = header.maxval > 255 ? 2 : 1;
    if (header.text) {
        // Every sample but the last needs a digit and a separator.
        if (in.remaining() < samples * 2 - 1) return refuse(why, kPpm, "pixel data is truncated");
    } else if (!headerEnd(in) || in.remaining() < samples * sampleBytes) {
        return refuse(why, kPpm, "pixel data is truncated");
    }
    return D3D_OK;
}

// The next row's width x 3 samples, each checked against maxval.
HRESULT readPpmRow(ByteReader& in, Bytes bytes, const PpmHeader& header, uint32_t* samples,
                   std::string& why) {
    const bool wide = header.maxval > 255;
    for (size_t i = 0; i < size_t(header.width) * 3; ++i) {
        uint32_t& sample = samples[i];
        if (header.text) {
            if (!number(in, bytes, 65535, sample))
                return refuse(why, kPpm, "bad or missing sample");
        } else {
            // readPpmHeader saw that the file holds every sample.
            uint8_t high = 0, low = 0;
            in.u8(high);
            if (wide) in.u8(low);
            sample = wide ? uint32_t(high << 8 | low) : high;
        }
        if (sample > header.maxval) return refuse(why, kPpm, "sample exceeds maxval");
    }
    return D3D_OK;
}

struct PfmHeader {
    uint32_t width = 0, height = 0;
    int channels = 0;
    bool bigEndian = false;
    size_t rowBytes = 0;
};

// Parses and checks the header, the size bound and that the file holds every
// row; `in` is left at the first stored (bottom) row.
HRESULT readPfmHeader(ByteReader& in, Bytes bytes, PfmHeader& header, std::string& why) {
    uint8_t p = 0, kind = 0;
    in.u8(p), in.u8(kind);
    header.channels = kind == 'F' ? 3 : 1;
    constexpr uint32_t sideLimit = 1u << 30;
    if (!number(in, bytes, sideLimit, header.width) || !number(in, bytes, sideLimit, header.height))
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
    if (!sizeAllowed(header.width, header.height, kPfm, why)) return D3DXERR_INVALIDDATA;
    header.rowBytes = size_t(header.width) * size_t(header.channels) * 4;
    if (!headerEnd(in) || in.remaining() < header.rowBytes * header.height)
        return refuse(why, kPfm, "pixel data is truncated");
    header.bigEndian = scale > 0;
    return D3D_OK;
}

float pfmSample(const uint8_t* bytes, bool bigEndian) {
    uint32_t word;
    std::memcpy(&word, bytes, 4);
    if (bigEndian) word = __builtin_bswap32(word);
    float sample;
    std::memcpy(&sample, &word, 4);
    return sample;
}

} // namespace

HRESULT decodePpm(Bytes bytes, Decoded& out, std::string& why) {
    ByteReader in(bytes);
    PpmHeader header;
    if (const HRESULT read = readPpmHeader(in, bytes, header, why); FAILED(read)) return read;
    Image image = makeImage(int(header.width), int(header.height));
    std::vector<uint32_t> samples(size_t(header.width) * 3);
    const uint32_t maxval = header.maxval;
    uint32_t* pixel = image.pixels.data();
    for (uint32_t y = 0; y < header.height; ++y) {
        if (const HRESULT read = readPpmRow(in, bytes, header, samples.data(), why); FAILED(read))
            return read;
        for (const uint32_t* rgb = samples.data(); rgb != samples.data() + samples.size(); rgb += 3)
            *pixel++ =
                argb(255, (rgb[0] * 255 + maxval / 2) / maxval,
                     (rgb[1] * 255 + maxval / 2) / maxval, (rgb[2] * 255 + maxval / 2) / maxval);
    }
    out.levels.push_back(std::move(image));
    out.info = sourceInfo(int(header.width), int(header.height), D3DFMT_X8R8G8B8, D3DXIFF_PPM);
    return D3D_OK;
}

HRESULT decodePpmSamples(Bytes bytes, SampleRowSink& sink, ImageInfo& info, std::string& why) {
    ByteReader in(bytes);
    PpmHeader header;
    if (const HRESULT read = readPpmHeader(in, bytes, header, why); FAILED(read)) return read;
    const int width = int(header.width), height = int(header.height);
    sink.begin(width, height);
    std::vector<uint32_t> samples(size_t(width) * 3);
    std::vector<float> rgba(size_t(width) * 4);
    const float maxval = float(header.maxval);
    // Every row is read, wanted or not, so that a bad sample anywhere is
    // refused as decodePpm refuses it.
    for (int y = 0, next = sink.nextRowWanted(0); y < height; ++y) {
        if (const HRESULT read = readPpmRow(in, bytes, header, samples.data(), why); FAILED(read))
            return read;
        if (y != next) continue;
        for (int x = 0; x < width; ++x) {
            for (int c = 0; c < 3; ++c)
                rgba[size_t(x) * 4 + size_t(c)] =
                    float(samples[size_t(x) * 3 + size_t(c)]) / maxval;
            rgba[size_t(x) * 4 + 3] = 1.0f;
        }
        sink.take(y, rgba.data());
        next = sink.nextRowWanted(y + 1);
    }
    info = sourceInfo(width, height, D3DFMT_X8R8G8B8, D3DXIFF_PPM);
    return D3D_OK;
}

HRESULT decodePfm(Bytes bytes, Decoded& out, std::string& why) {
    ByteReader in(bytes);
    PfmHeader header;
    if (const HRESULT read = readPfmHeader(in, bytes, header, why); FAILED(read)) return read;
    const uint32_t width = header.width, height = header.height;
    Image image = makeImage(int(width), int(height));
    for (uint32_t row = 0; row < height; ++row) {
        const uint8_t* data = nullptr;
        in.take(header.rowBytes, data);
        uint32_t* target = image.pixels.data() + size_t(height - 1 - row) * width;
        for (uint32_t x = 0; x < width; ++x) {
            uint8_t rgb[3] = {};
            for (int c = 0; c < header.channels; ++c, data += 4)
                rgb[c] = floatToByte(pfmSample(data, header.bigEndian));
            if (header.channels == 1) rgb[1] = rgb[2] = rgb[0];
            target[x] = argb(255, rgb[0], rgb[1], rgb[2]);
        }
    }
    out.levels.push_back(std::move(image));
    out.info = sourceInfo(int(width), int(height),
                          header.channels == 3 ? D3DFMT_A32B32G32R32F : D3DFMT_R32F, D3DXIFF_PFM);
    return D3D_OK;
}

HRESULT decodePfmSamples(Bytes bytes, SampleRowSink& sink, ImageInfo& info, std::string& why) {
    ByteReader in(bytes);
    PfmHeader header;
    if (const HRESULT read = readPfmHeader(in, bytes, header, why); FAILED(read)) return read;
    const int width = int(header.width), height = int(header.height);
    const uint8_t* stored = bytes.data() + in.position(); // bottom row first
    sink.begin(width, height);
    std::vector<float> rgba(size_t(width) * 4);
    for (int y = sink.nextRowWanted(0); y < height; y = sink.nextRowWanted(y + 1)) {
        const uint8_t* data = stored + size_t(height - 1 - y) * header.rowBytes;
        for (int x = 0; x < width; ++x) {
            float* pixel = rgba.data() + size_t(x) * 4;
            for (int c = 0; c < header.channels; ++c, data += 4)
                pixel[c] = pfmSample(data, header.bigEndian);
            if (header.channels == 1) pixel[1] = pixel[2] = pixel[0];
            pixel[3] = 1.0f;
        }
        sink.take(y, rgba.data());
    }
    info = sourceInfo(width, height, header.channels == 3 ? D3DFMT_A32B32G32R32F : D3DFMT_R32F,
                      D3DXIFF_PFM);
    return D3D_OK;
}

} // namespace d3dx::detail
