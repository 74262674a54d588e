// SPDX-License-Identifier: MIT
// Picks the decoder by the file's first bytes, never by its name: the engine
// hands over files already read into memory, and a misnamed file must still
// load or be refused as what it is. TGA has no signature, so it is tried last
// and only when its header is plausible.
#include "d3d9/ImageCodec.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <new>
#include <string_view>

#include "d3d9/ImageDecoders.h"

namespace d3dx {
namespace detail {

HRESULT refuse(std::string& why, const char* decoder, const std::string& reason) {
    why = std::string(decoder) + ": " + reason;
    return D3DXERR_INVALIDDATA;
}

bool sizeAllowed(int64_t width, int64_t height, const char* decoder, std::string& why) {
    if (width <= 0 || height <= 0) {
        refuse(why, decoder, "image has no pixels");
        return false;
    }
    if (width > kMaxImageSide || height > kMaxImageSide ||
        uint64_t(width) * uint64_t(height) * 4 > kMaxImageBytes) {
        refuse(why, decoder,
               "image too large (" + std::to_string(width) + " x " + std::to_string(height) + ")");
        return false;
    }
    return true;
}

void LevelCollector::begin(int width, int height) {
    out_.levels.push_back(makeImage(width, height));
}

void LevelCollector::take(int row, const uint32_t* pixels) {
    Image& image = out_.levels.back();
    std::memcpy(image.pixels.data() + size_t(row) * size_t(image.width), pixels,
                size_t(image.width) * 4);
}

Image makeImage(int width, int height) {
    assert(width > 0 && height > 0 && width <= kMaxImageSide && height <= kMaxImageSide &&
           "makeImage: size not checked with sizeAllowed");
    Image image;
    image.width = width;
    image.height = height;
    image.pixels.resize(size_t(width) * size_t(height));
    return image;
}

namespace {

bool startsWith(Bytes bytes, std::string_view magic) {
    return bytes.size() >= magic.size() &&
           std::string_view(reinterpret_cast<const char*>(bytes.data()), magic.size()) == magic;
}

bool isSpace(uint8_t c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool looksLikeNetpbm(Bytes bytes, char kind) {
    return bytes.size() >= 3 && bytes[0] == 'P' && bytes[1] == kind && isSpace(bytes[2]);
}

bool looksLikePcx(Bytes bytes) {
    if (bytes.size() < 128 || bytes[0] != 0x0A || bytes[2] != 1) return false;
    const uint8_t version = bytes[1];
    const uint8_t bits = bytes[3];
    return (version == 0 || (version >= 2 && version <= 5)) &&
           (bits == 1 || bits == 2 || bits == 4 || bits == 8);
}

// A packed DIB is a bitmap without its 14-byte file header: it opens with the
// info header's own size and, one field later, a plane count of 1.
bool looksLikeDib(Bytes bytes) {
    ByteReader in(bytes);
    uint32_t headerSize;
    uint16_t planes;
    if (!in.u32(headerSize)) return false;
    if (headerSize == 12) {
        return in.skip(4) && in.u16(planes) && planes == 1;
    }
    if (headerSize != 40 && headerSize != 52 && headerSize != 56 && headerSize != 108 &&
        headerSize != 124)
        return false;
    return in.skip(8) && in.u16(planes) && planes == 1;
}

// The same test the TGA reader applies to its header: a colour-map type of 0
// or 1 that agrees with the image type, a known pixel depth, and a size.
bool looksLikeTga(Bytes bytes) {
    if (bytes.size() < 18) return false;
    const uint8_t mapType = bytes[1], imageType = bytes[2];
    const uint8_t mapBits = bytes[7], pixelBits = bytes[16];
    const int width = bytes[12] | bytes[13] << 8, height = bytes[14] | bytes[15] << 8;
    if (width < 1 || height < 1) return false;
    if (mapType == 1) {
        if (imageType != 1 && imageType != 9) return false;
        if (mapBits != 8 && mapBits != 15 && mapBits != 16 && mapBits != 24 && mapBits != 32)
            return false;
        return pixelBits == 8 || pixelBits == 16;
    }
    if (mapType != 0) return false;
    if (imageType != 2 && imageType != 3 && imageType != 10 && imageType != 11) return false;
    const bool gray = imageType == 3 || imageType == 11;
    return gray ? pixelBits == 8 || pixelBits == 16
                : pixelBits == 15 || pixelBits == 16 || pixelBits == 24 || pixelBits == 32;
}

// Every test below reads at most this many of the first bytes.
constexpr size_t kSignatureBytes = 128;

} // namespace

Decoder pickDecoder(Bytes bytes) {
    if (startsWith(bytes, "\x89PNG\r\n\x1a\n")) return decodePng;
    if (startsWith(bytes, "\xFF\xD8\xFF")) return decodeJpeg;
    if (startsWith(bytes, "DDS ")) return decodeDds;
    if (startsWith(bytes, "BM")) return decodeBmp;
    if (startsWith(bytes, "#?RADIANCE\n") || startsWith(bytes, "#?RGBE\n")) return decodeHdr;
    if (looksLikeNetpbm(bytes, 'F') || looksLikeNetpbm(bytes, 'f')) return decodePfm;
    if (looksLikeNetpbm(bytes, '3') || looksLikeNetpbm(bytes, '6')) return decodePpm;
    if (looksLikePcx(bytes)) return decodePcx;
    if (looksLikeDib(bytes)) return decodeDib;
    if (looksLikeTga(bytes)) return decodeTga;
    return nullptr;
}

bool readSignature(ImageSource& source, std::vector<uint8_t>& head) {
    head.resize(std::min(source.size(), kSignatureBytes));
    return source.read(0, head.data(), head.size());
}

bool readWholeFile(ImageSource& source, std::vector<uint8_t>& copy, Bytes& bytes) {
    const uint8_t* memory = source.memory();
    if (!memory) {
        copy.resize(source.size());
        if (!source.read(0, copy.data(), copy.size())) return false;
        memory = copy.data();
    }
    bytes = Bytes(memory, source.size());
    return true;
}

HRESULT decodeRows(ImageSource& source, ImageRowSink& sink, ImageInfo& info, std::string& why) {
    std::vector<uint8_t> head;
    if (!readSignature(source, head))
        return refuse(why, "ImageCodec", "the file could not be read");
    const Decoder decoder = pickDecoder(head);
    if (!decoder) return refuse(why, "ImageCodec", "not a format we read");
    if (decoder == decodeJpeg) return decodeJpegRows(source, sink, info, why);
    if (decoder == decodePng) return decodePngRows(source, sink, info, why);

    // The others decode whole, from the whole file.
    std::vector<uint8_t> copy;
    Bytes bytes;
    if (!readWholeFile(source, copy, bytes))
        return refuse(why, "ImageCodec", "the file could not be read");
    Decoded decoded;
    const HRESULT result = decoder(bytes, decoded, why);
    if (FAILED(result)) return result;
    std::vector<uint8_t>().swap(copy);
    const Image& image = decoded.levels.front();
    sink.begin(image.width, image.height);
    for (int y = sink.nextRowWanted(0); y < image.height; y = sink.nextRowWanted(y + 1))
        sink.take(y, image.pixels.data() + size_t(y) * size_t(image.width));
    info = decoded.info;
    return D3D_OK;
}

} // namespace detail

namespace {

using namespace detail;

HRESULT decode(const void* bytes, size_t size, Decoded& decoded, std::string& why) {
    // An empty buffer may come without a pointer (an empty vector's data()).
    if (!bytes && size != 0) {
        why = "ImageCodec: no bytes given";
        return D3DERR_INVALIDCALL;
    }
    const Bytes input(static_cast<const uint8_t*>(bytes), bytes ? size : 0);
    const Decoder decoder = pickDecoder(input);
    if (!decoder) return refuse(why, "ImageCodec", "not a format we read");
    try {
        const HRESULT result = decoder(input, decoded, why);
        assert((FAILED(result) || !decoded.levels.empty()) && "a decoder succeeded with no image");
        return result;
    } catch (const std::bad_alloc&) {
        why = "ImageCodec: out of memory";
        return E_OUTOFMEMORY;
    }
}

} // namespace

bool MemoryImageSource::read(size_t offset, void* into, size_t count) {
    if (offset > size_ || count > size_ - offset) return false;
    if (count > 0) std::memcpy(into, bytes_ + offset, count);
    return true;
}

HRESULT decodeImageRows(ImageSource& source, ImageRowSink& sink, ImageInfo* info,
                        std::string* why) {
    return detail::decodeGuarded(
        [&](ImageInfo& described, std::string& reason) {
            return decodeRows(source, sink, described, reason);
        },
        info, why);
}

HRESULT decodeImageLevels(const void* bytes, size_t size, std::vector<Image>& levels,
                          ImageInfo* info, std::string* why) {
    Decoded decoded;
    std::string reason;
    const HRESULT result = decode(bytes, size, decoded, reason);
    if (why) *why = reason;
    if (FAILED(result)) return result;
    levels = std::move(decoded.levels);
    if (info) *info = decoded.info;
    return D3D_OK;
}

HRESULT decodeImage(const void* bytes, size_t size, Image& out, ImageInfo* info, std::string* why) {
    std::vector<Image> levels;
    const HRESULT result = decodeImageLevels(bytes, size, levels, info, why);
    if (FAILED(result)) return result;
    out = std::move(levels.front());
    return D3D_OK;
}

} // namespace d3dx
