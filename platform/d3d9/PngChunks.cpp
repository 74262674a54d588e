// SPDX-License-Identifier: MIT
// The chunk walk the PNG decoder runs first: lengths against the file and the
// cap, IHDR first and its size within bounds, IEND present. Chunk types are
// only compared here; CRCs and chunk contents are libpng's to check.
#include "d3d9/PngChunks.h"

#include <cstdio>
#include <cstring>

namespace d3dx::detail {
namespace {

constexpr const char* kName = "PngDecoder";
constexpr size_t kSignatureBytes = 8;
constexpr uint32_t kMaxChunkLength = 0x7FFFFFFF; // the largest the format allows

uint32_t bigEndian32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

// A chunk type is four ASCII letters; anything else is shown escaped.
std::string chunkName(const uint8_t* type) {
    std::string name;
    for (int i = 0; i < 4; ++i) {
        const uint8_t c = type[i];
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) {
            name.push_back(char(c));
        } else {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
            name += escaped;
        }
    }
    return name;
}

} // namespace

HRESULT checkPngChunks(ImageSource& source, size_t& imageDataEnd, std::string& why) {
    const size_t size = source.size();
    if (size < kSignatureBytes) return refuse(why, kName, "file is truncated");
    size_t position = kSignatureBytes;
    imageDataEnd = 0;
    bool first = true, imageDataEnded = false;
    for (;;) {
        uint8_t head[8];
        if (!source.read(position, head, sizeof head))
            return refuse(why, kName, "file is truncated");
        position += sizeof head;
        const uint32_t length = bigEndian32(head);
        const uint8_t* type = head + 4;
        const bool isImageData = std::memcmp(type, "IDAT", 4) == 0;
        if (length > kMaxChunkLength || (!isImageData && length > kMaxPngChunkBytes))
            return refuse(why, kName,
                          chunkName(type) + " chunk too large (" + std::to_string(length) +
                              " bytes)");
        // The data, then its CRC, must lie within the file.
        if (size - position < size_t(length) + 4)
            return refuse(why, kName, chunkName(type) + " chunk is truncated");

        if (first) {
            uint8_t data[8];
            if (std::memcmp(type, "IHDR", 4) != 0 || length != 13)
                return refuse(why, kName, "IHDR chunk missing");
            if (!source.read(position, data, sizeof data))
                return refuse(why, kName, "IHDR chunk is truncated");
            const uint32_t width = bigEndian32(data), height = bigEndian32(data + 4);
            if (!sizeAllowed(width, height, kName, why)) return D3DXERR_INVALIDDATA;
            first = false;
        }
        position += size_t(length) + 4;
        // libpng reads the first run of consecutive IDAT chunks as the image.
        if (isImageData && !imageDataEnded)
            imageDataEnd = position;
        else if (imageDataEnd != 0)
            imageDataEnded = true;
        if (std::memcmp(type, "IEND", 4) == 0) return D3D_OK;
    }
}

} // namespace d3dx::detail
