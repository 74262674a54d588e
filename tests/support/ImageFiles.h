// SPDX-License-Identifier: MIT
// Image files made in memory for the tests, through libjpeg and libpng:
// smooth gradients with grain, so that prediction, the DCT and chroma
// subsampling all have something to get wrong. The same arguments give the
// same bytes.
#pragma once

#include <cstdint>
#include <vector>

namespace testimages {

struct JpegShape {
    int components = 3;           // 1: gray, 3: colour
    int hSample = 2, vSample = 2; // of the luma: 2, 2 is 4:2:0
    bool progressive = false;
    int restartRows = 0; // a restart marker every this many MCU rows
    int quality = 85;
};
std::vector<uint8_t> jpeg(int width, int height, const JpegShape& shape = {});

enum class PngKind { Rgb, Gray, Palette };
std::vector<uint8_t> png(int width, int height, PngKind kind = PngKind::Rgb,
                         bool interlaced = false);

// A PNG of 16-bit samples, written big-endian through libpng: `channels`
// 1 (gray), 2 (gray, alpha), 3 (RGB) or 4 (RGBA) interleaved samples a
// pixel, rows top first. Empty when libpng refuses the arguments.
std::vector<uint8_t> png16(int width, int height, int channels,
                           const std::vector<uint16_t>& samples, bool interlaced = false);
// The same for gray (1 channel) or RGB (3), with a tRNS chunk naming `key`
// (one or three samples) as the transparent colour.
std::vector<uint8_t> png16ColourKeyed(int width, int height, int channels,
                                      const std::vector<uint16_t>& samples,
                                      const std::vector<uint16_t>& key);

// `components` interleaved bytes a pixel, rows top first.
std::vector<uint8_t> gradient(int width, int height, int components, uint32_t seed);

} // namespace testimages
