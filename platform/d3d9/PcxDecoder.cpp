// SPDX-License-Identifier: MIT
// Our own PCX reader for the two layouts image tools write today: 8-bit
// paletted (one plane, the 256-colour table in the last 769 bytes) and 24-bit
// (three 8-bit planes per scanline, red, green, blue). Run-length data is read
// as one stream, so a run may continue on the next scanline as some encoders
// write it, but a run reaching past the image, or past the palette's start,
// makes the file undecodable. Bytes of a line past the width are padding.
#include <algorithm>

#include "d3d9/ImageDecoders.h"

namespace d3dx::detail {

namespace {
constexpr const char* kName = "PcxDecoder";
constexpr size_t kHeaderBytes = 128;
constexpr size_t kPaletteBytes = 769; // a 0x0C marker and 256 RGB triples
} // namespace

HRESULT decodePcx(Bytes bytes, Decoded& out, std::string& why) {
    ByteReader in(bytes);
    uint8_t manufacturer, version, encoding, bitsPerPixel, reserved, planes;
    uint16_t xMin, yMin, xMax, yMax, bytesPerLine;
    if (!in.u8(manufacturer) || !in.u8(version) || !in.u8(encoding) || !in.u8(bitsPerPixel) ||
        !in.u16(xMin) || !in.u16(yMin) || !in.u16(xMax) || !in.u16(yMax) || !in.skip(4 + 48) ||
        !in.u8(reserved) || !in.u8(planes) || !in.u16(bytesPerLine) || !in.seek(kHeaderBytes))
        return refuse(why, kName, "header is truncated");
    if (xMax < xMin || yMax < yMin) return refuse(why, kName, "window has no pixels");
    const int width = xMax - xMin + 1, height = yMax - yMin + 1;
    if (bitsPerPixel != 8 || (planes != 1 && planes != 3))
        return refuse(why, kName,
                      "unsupported layout (" + std::to_string(bitsPerPixel) + " bits, " +
                          std::to_string(planes) + " planes)");
    if (bytesPerLine < width) return refuse(why, kName, "scanline shorter than the width");
    if (!sizeAllowed(width, height, kName, why)) return D3DXERR_INVALIDDATA;

    const bool paletted = planes == 1;
    size_t dataEnd = bytes.size();
    if (paletted) {
        if (bytes.size() < kHeaderBytes + kPaletteBytes ||
            bytes[bytes.size() - kPaletteBytes] != 0x0C)
            return refuse(why, kName, "256-colour palette is missing");
        dataEnd -= kPaletteBytes;
    }
    const Bytes data = bytes.subspan(kHeaderBytes, dataEnd - kHeaderBytes);
    const uint8_t* palette = bytes.data() + dataEnd + 1;

    const size_t lineBytes = size_t(bytesPerLine) * planes;
    const size_t total = lineBytes * size_t(height);
    std::vector<uint8_t> line(lineBytes);
    Image image = makeImage(width, height);
    auto finishRow = [&](size_t y) {
        uint32_t* row = image.pixels.data() + y * size_t(width);
        for (int x = 0; x < width; ++x) {
            const uint8_t* rgb = paletted ? palette + line[x] * 3 : nullptr;
            row[x] = paletted ? argb(255, rgb[0], rgb[1], rgb[2])
                              : argb(255, line[x], line[bytesPerLine + x],
                                     line[2 * size_t(bytesPerLine) + x]);
        }
    };
    ByteReader rle(data);
    for (size_t produced = 0; produced < total;) {
        uint8_t value, count = 1;
        if (!rle.u8(value)) return refuse(why, kName, "pixel data is truncated");
        if ((value & 0xC0) == 0xC0) {
            count = value & 0x3F;
            if (!rle.u8(value)) return refuse(why, kName, "pixel data is truncated");
        }
        for (; count > 0; --count) {
            if (produced == total) return refuse(why, kName, "run passes the image's end");
            line[produced % lineBytes] = value;
            if (++produced % lineBytes == 0) finishRow(produced / lineBytes - 1);
        }
    }
    out.levels.push_back(std::move(image));
    out.info = sourceInfo(width, height, paletted ? D3DFMT_P8 : D3DFMT_R8G8B8, kFileFormatPcx);
    return D3D_OK;
}

} // namespace d3dx::detail
