// SPDX-License-Identifier: MIT
// What the format decoders share, private to this folder: a reader that
// refuses every read past the bytes it was given, the size bound every
// decoder applies before allocating, and the float-to-byte rule of the HDR,
// PFM and float DDS paths. decodeImage picks the decoder; each one trusts
// nothing but the bytes and reports why it refused, prefixed with its name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>
#include <span>
#include <string>
#include <vector>

#include "d3d9/ImageCodec.h"

namespace d3dx {
class SampleRowSink;
}

namespace d3dx::detail {

using Bytes = std::span<const uint8_t>;

struct Decoded {
    std::vector<Image> levels;
    ImageInfo info;
};

// Every decoder: D3D_OK with at least one level, D3DXERR_INVALIDDATA with
// `why` set, or E_OUTOFMEMORY.
HRESULT decodeBmp(Bytes bytes, Decoded& out, std::string& why);
HRESULT decodeDib(Bytes bytes, Decoded& out, std::string& why);
HRESULT decodeTga(Bytes bytes, Decoded& out, std::string& why);
HRESULT decodeHdr(Bytes bytes, Decoded& out, std::string& why);
HRESULT decodePng(Bytes bytes, Decoded& out, std::string& why);
HRESULT decodeJpeg(Bytes bytes, Decoded& out, std::string& why);
HRESULT decodeDds(Bytes bytes, Decoded& out, std::string& why);
HRESULT decodePpm(Bytes bytes, Decoded& out, std::string& why);
HRESULT decodePfm(Bytes bytes, Decoded& out, std::string& why);
HRESULT decodePcx(Bytes bytes, Decoded& out, std::string& why);

using Decoder = HRESULT (*)(Bytes, Decoded&, std::string&);

// The decoder for a file, from its first bytes (readSignature's); null when
// none reads it.
Decoder pickDecoder(Bytes head);
// The file's first bytes, as many as pickDecoder looks at.
bool readSignature(ImageSource& source, std::vector<uint8_t>& head);
// Every byte of the source: its memory, or else a copy read into `copy`.
// False when the source could not be read.
bool readWholeFile(ImageSource& source, std::vector<uint8_t>& copy, Bytes& bytes);
// decodeImageRows without its catch of std::bad_alloc.
HRESULT decodeRows(ImageSource& source, ImageRowSink& sink, ImageInfo& info, std::string& why);

// The two formats that decode as they stream; each hands level 0 to the sink
// and fills `info`. decodeJpeg and decodePng are these with a sink that keeps
// every row.
HRESULT decodeJpegRows(ImageSource& source, ImageRowSink& sink, ImageInfo& info, std::string& why);
HRESULT decodePngRows(ImageSource& source, ImageRowSink& sink, ImageInfo& info, std::string& why);

// The formats that keep more than 8 bits a sample, at full precision. A PNG
// file of 16-bit samples goes to `samples`; any other PNG goes to `rows`
// exactly as decodePngRows would hand it over. The refusals and reasons are
// those of the 8-bit decoders for the same bytes.
HRESULT decodePngSamples(ImageSource& source, SampleRowSink& samples, ImageRowSink& rows,
                         ImageInfo& info, std::string& why);
HRESULT decodePpmSamples(Bytes bytes, SampleRowSink& sink, ImageInfo& info, std::string& why);
HRESULT decodePfmSamples(Bytes bytes, SampleRowSink& sink, ImageInfo& info, std::string& why);
HRESULT decodeHdrSamples(Bytes bytes, SampleRowSink& sink, ImageInfo& info, std::string& why);

// A sink that keeps every row as one level of `out`.
class LevelCollector final : public ImageRowSink {
public:
    explicit LevelCollector(Decoded& out) : out_(out) {}
    void begin(int width, int height) override;
    int nextRowWanted(int row) override { return row; }
    void take(int row, const uint32_t* pixels) override;

private:
    Decoded& out_;
};

// The public row decoders' frame around `decode(info, why)`: an exhausted
// heap becomes E_OUTOFMEMORY with its reason, `why` gets the reason when
// asked for, and `info` is filled only on success.
template <class Decode>
HRESULT decodeGuarded(Decode decode, ImageInfo* info, std::string* why) {
    std::string reason;
    ImageInfo described;
    HRESULT result;
    try {
        result = decode(described, reason);
    } catch (const std::bad_alloc&) {
        reason = "ImageCodec: out of memory";
        result = E_OUTOFMEMORY;
    }
    if (why) *why = reason;
    if (SUCCEEDED(result) && info) *info = described;
    return result;
}

// Sets why to "<decoder>: <reason>" and returns D3DXERR_INVALIDDATA.
HRESULT refuse(std::string& why, const char* decoder, const std::string& reason);

// True when width x height fits kMaxImageSide and kMaxImageBytes; otherwise
// sets why (zero or negative sides included) and returns false.
bool sizeAllowed(int64_t width, int64_t height, const char* decoder, std::string& why);

inline ImageInfo sourceInfo(int width, int height, D3DFORMAT format,
                            D3DXIMAGE_FILEFORMAT fileFormat, uint32_t mipLevels = 1) {
    ImageInfo info;
    info.Width = UINT(width);
    info.Height = UINT(height);
    info.Depth = 1;
    info.MipLevels = mipLevels;
    info.Format = format;
    info.ResourceType = D3DRTYPE_TEXTURE;
    info.ImageFileFormat = fileFormat;
    return info;
}

// Allocates the level; call only after sizeAllowed.
Image makeImage(int width, int height);

inline constexpr uint32_t argb(uint32_t a, uint32_t r, uint32_t g, uint32_t b) {
    return a << 24 | r << 16 | g << 8 | b;
}

// Float samples to 8 bits as D3DX converts float formats: clamp to 0..1,
// scale by 255, round half up; NaN reads as 0.
inline uint8_t floatToByte(float v) {
    if (!(v > 0.0f)) return 0;
    if (v >= 1.0f) return 255;
    return uint8_t(v * 255.0f + 0.5f);
}

// A little-endian cursor over the input. A read that would pass the end reads
// nothing and returns false, so no decoder can run past what it was given.
class ByteReader {
public:
    explicit ByteReader(Bytes bytes) : bytes_(bytes) {}

    size_t position() const { return position_; }
    size_t remaining() const { return bytes_.size() - position_; }
    bool has(size_t count) const { return count <= remaining(); }

    bool seek(size_t position) {
        if (position > bytes_.size()) return false;
        position_ = position;
        return true;
    }
    bool skip(size_t count) {
        if (!has(count)) return false;
        position_ += count;
        return true;
    }
    // Points `data` at the next `count` bytes without copying.
    bool take(size_t count, const uint8_t*& data) {
        if (!has(count)) return false;
        data = bytes_.data() + position_;
        position_ += count;
        return true;
    }
    bool u8(uint8_t& v) {
        if (!has(1)) return false;
        v = bytes_[position_++];
        return true;
    }
    bool u16(uint16_t& v) {
        if (!has(2)) return false;
        v = uint16_t(bytes_[position_] | bytes_[position_ + 1] << 8);
        position_ += 2;
        return true;
    }
    bool u32(uint32_t& v) {
        if (!has(4)) return false;
        v = uint32_t(bytes_[position_]) | uint32_t(bytes_[position_ + 1]) << 8 |
            uint32_t(bytes_[position_ + 2]) << 16 | uint32_t(bytes_[position_ + 3]) << 24;
        position_ += 4;
        return true;
    }
    bool f32(float& v) {
        uint32_t word;
        if (!u32(word)) return false;
        std::memcpy(&v, &word, 4);
        return true;
    }

private:
    Bytes bytes_;
    size_t position_ = 0;
};

} // namespace d3dx::detail
