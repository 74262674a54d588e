// SPDX-License-Identifier: MIT
// Shared by the image fuzz targets: the same bytes through decodeImageSamples
// must give decodeImage's answer and reason and, on success, every row once,
// top first, each sample rounding to within one of the 8-bit decode's byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "d3d9/ImageCodec.h"
#include "d3d9/ImageDecoders.h"
#include "d3d9/ImageSamples.h"

// Reads every sample of every row, against level 0 of the 8-bit decode when
// it succeeded. A refused file may still have handed over its first rows.
class SamplesAgainstBytes final : public d3dx::SampleRowSink {
public:
    explicit SamplesAgainstBytes(const d3dx::Image* bytes) : bytes_(bytes) {}
    void begin(int width, int height) override {
        if (begins_++ != 0 || (bytes_ && (width != bytes_->width || height != bytes_->height)))
            __builtin_trap();
        width_ = width;
    }
    int nextRowWanted(int row) override { return row; }
    void take(int row, const float* rgba) override {
        if (row != rows_++) __builtin_trap();
        for (int x = 0; x < width_; ++x) {
            const uint32_t pixel = bytes_ ? bytes_->at(x, row) : 0;
            const int expected[4] = {int(pixel >> 16 & 0xFF), int(pixel >> 8 & 0xFF),
                                     int(pixel & 0xFF), int(pixel >> 24)};
            for (int c = 0; c < 4; ++c) {
                const int rounded = d3dx::detail::floatToByte(rgba[x * 4 + c]);
                read_ += unsigned(rounded);
                if (bytes_ && (rounded - expected[c] > 1 || expected[c] - rounded > 1))
                    __builtin_trap();
            }
        }
    }
    int rows() const { return rows_; }
    unsigned read() const { return read_; }

private:
    const d3dx::Image* bytes_;
    int width_ = 0, begins_ = 0, rows_ = 0;
    unsigned read_ = 0;
};

// `levels`, `result` and `why` are decodeImageLevels's for the same bytes.
inline void checkSamplesAgree(const uint8_t* data, size_t size, HRESULT result,
                              const std::string& why, const std::vector<d3dx::Image>& levels) {
    d3dx::MemoryImageSource source(data, size);
    SamplesAgainstBytes sink(SUCCEEDED(result) ? &levels.front() : nullptr);
    std::string samplesWhy;
    const HRESULT samplesResult = d3dx::decodeImageSamples(source, sink, nullptr, &samplesWhy);
    if (samplesResult != result || samplesWhy != why) __builtin_trap();
    if (SUCCEEDED(result) && sink.rows() != levels.front().height) __builtin_trap();
    // Kept, so that no sample read is optimised away.
    static volatile unsigned everyRead;
    everyRead = everyRead + sink.read();
}
