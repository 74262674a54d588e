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

HRESULT checkPngChunks(Bytes bytes, size_t& imageDataEnd, std::string& why) {
    ByteReader in(bytes);
    if (!in.skip(kSignatureBytes)) return refuse(why, kName, "file is truncated");
    imageDataEnd = 0;
    bool first = true, imageDataEnded = false;
    for (;;) {
        const uint8_t* head = nullptr;
        if (!in.take(8, head)) return refuse(why, kName, "file is truncated");
        const uint32_t length = bigEndian32(head);
        const uint8_t* type = head + 4;
        const bool isImageData = std::memcmp(type, "IDAT", 4) == 0;
        if (length > kMaxChunkLength || (!isImageData && length > kMaxPngChunkBytes))
            return refuse(why, kName,
                          chunkName(type) + " chunk too large (" + std::to_string(length) +
                              " bytes)");
        const uint8_t* data = nullptr;
        if (!in.take(length, data) || !in.skip(4)) // the data, then its CRC
            return refuse(why, kName, chunkName(type) + " chunk is truncated");

        if (first) {
            if (std::memcmp(type, "IHDR", 4) != 0 || length != 13)
                return refuse(why, kName, "IHDR chunk missing");
            const uint32_t width = bigEndian32(data), height = bigEndian32(data + 4);
            if (!sizeAllowed(width, height, kName, why)) return D3DXERR_INVALIDDATA;
            first = false;
        }
        // libpng reads the first run of consecutive IDAT chunks as the image.
        if (isImageData && !imageDataEnded)
            imageDataEnd = in.position();
        else if (imageDataEnd != 0)
            imageDataEnded = true;
        if (std::memcmp(type, "IEND", 4) == 0) return D3D_OK;
    }
}

} // namespace d3dx::detail
