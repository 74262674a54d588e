// SPDX-License-Identifier: MIT
// Sends each file to the reader that keeps its precision: 16-bit PNG through
// libpng as it streams, PPM, PFM and HDR from the whole file as their 8-bit
// readers take it. Every other file goes through decodeImageRows, its bytes
// scaled to 0..1 a wanted row at a time, so that the two paths can only
// differ where a file holds more than 8 bits.
#include "d3d9/ImageSamples.h"

#include <vector>

#include "d3d9/ImageDecoders.h"

namespace d3dx {
namespace {

using namespace detail;

// decodeImageRows's A8R8G8B8 rows as floats, each byte over 255, passing
// the sink's choice of rows through.
class ByteRowsAsSamples final : public ImageRowSink {
public:
    explicit ByteRowsAsSamples(SampleRowSink& sink) : sink_(sink) {}
    void begin(int width, int height) override {
        rgba_.resize(size_t(width) * 4);
        sink_.begin(width, height);
    }
    int nextRowWanted(int row) override { return sink_.nextRowWanted(row); }
    void take(int row, const uint32_t* pixels) override {
        for (size_t x = 0; x < rgba_.size() / 4; ++x) {
            const uint32_t pixel = pixels[x];
            float* out = rgba_.data() + x * 4;
            out[0] = float(pixel >> 16 & 0xFF) / 255.0f;
            out[1] = float(pixel >> 8 & 0xFF) / 255.0f;
            out[2] = float(pixel & 0xFF) / 255.0f;
            out[3] = float(pixel >> 24) / 255.0f;
        }
        sink_.take(row, rgba_.data());
    }

private:
    SampleRowSink& sink_;
    std::vector<float> rgba_;
};

using SampleDecoder = HRESULT (*)(Bytes, SampleRowSink&, ImageInfo&, std::string&);

// The whole-file readers that keep more than 8 bits, by their 8-bit twin.
SampleDecoder sampleDecoderFor(Decoder decoder) {
    if (decoder == decodePpm) return decodePpmSamples;
    if (decoder == decodePfm) return decodePfmSamples;
    if (decoder == decodeHdr) return decodeHdrSamples;
    return nullptr;
}

HRESULT decodeSamples(ImageSource& source, SampleRowSink& sink, ImageInfo& info, std::string& why) {
    ByteRowsAsSamples bytesAsSamples(sink);
    std::vector<uint8_t> head;
    // A file that cannot be read or has no known signature is refused by
    // decodeRows, in its words.
    const Decoder decoder = readSignature(source, head) ? pickDecoder(head) : nullptr;
    if (decoder == decodePng) return decodePngSamples(source, sink, bytesAsSamples, info, why);
    const SampleDecoder sampleDecoder = sampleDecoderFor(decoder);
    if (!sampleDecoder) return decodeRows(source, bytesAsSamples, info, why);
    std::vector<uint8_t> copy;
    Bytes bytes;
    if (!readWholeFile(source, copy, bytes))
        return refuse(why, "ImageCodec", "the file could not be read");
    return sampleDecoder(bytes, sink, info, why);
}

} // namespace

HRESULT decodeImageSamples(ImageSource& source, SampleRowSink& sink, ImageInfo* info,
                           std::string* why) {
    return detail::decodeGuarded(
        [&](ImageInfo& described, std::string& reason) {
            return decodeSamples(source, sink, described, reason);
        },
        info, why);
}

} // namespace d3dx
