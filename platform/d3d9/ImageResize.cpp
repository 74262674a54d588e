// SPDX-License-Identifier: MIT
// The stretch behind D3DX_DEFAULT sizes: a separable triangle (tent) filter.
// Enlarging, the tent spans one source pixel either side, which is bilinear
// interpolation between pixel centres; shrinking, it widens to 1/scale source
// pixels so every source pixel contributes, weighted by distance. Edges repeat
// the border pixel. Channels are filtered independently (no premultiplied
// alpha), each result rounded to the nearest byte.
#include <algorithm>
#include <bit>
#include <cassert>
#include <cmath>

#include "d3d9/ImageCodec.h"

namespace d3dx {
namespace {

static_assert(std::endian::native == std::endian::little,
              "pixel words are read as bytes B, G, R, A");

// For each destination index, the run of source indices it reads and their
// weights, which sum to 1.
struct Taps {
    std::vector<int> first;
    std::vector<int> count;
    std::vector<size_t> offset; // into weights
    std::vector<float> weights;
};

Taps makeTaps(int sourceSize, int targetSize) {
    Taps taps;
    const double scale = double(targetSize) / sourceSize;
    const double radius = scale >= 1 ? 1.0 : 1.0 / scale;
    std::vector<double> row;
    for (int d = 0; d < targetSize; ++d) {
        // Pixel i's centre is at i in source coordinates.
        const double centre = (d + 0.5) / scale - 0.5;
        const int low = int(std::ceil(centre - radius)), high = int(std::floor(centre + radius));
        const int first = std::clamp(low, 0, sourceSize - 1);
        const int last = std::clamp(high, 0, sourceSize - 1);
        row.assign(size_t(last - first + 1), 0.0);
        double total = 0;
        for (int i = low; i <= high; ++i) {
            const double weight = 1.0 - std::abs(i - centre) / radius;
            if (weight <= 0) continue;
            row[size_t(std::clamp(i, 0, sourceSize - 1) - first)] += weight;
            total += weight;
        }
        taps.first.push_back(first);
        taps.count.push_back(int(row.size()));
        taps.offset.push_back(taps.weights.size());
        for (double weight : row) taps.weights.push_back(float(weight / total));
    }
    return taps;
}

uint8_t toByte(float v) {
    return uint8_t(std::clamp(v + 0.5f, 0.0f, 255.0f));
}

} // namespace

Image resizeToPowerOfTwo(const Image& image, int maxTextureSize) {
    assert(maxTextureSize >= 1 && "resizeToPowerOfTwo: no texture size allowed");
    assert(image.width >= 1 && image.height >= 1 &&
           image.pixels.size() == size_t(image.width) * size_t(image.height) &&
           "resizeToPowerOfTwo: malformed image");
    const unsigned limit = std::bit_floor(unsigned(maxTextureSize));
    const int width = int(std::min(std::bit_ceil(unsigned(image.width)), limit));
    const int height = int(std::min(std::bit_ceil(unsigned(image.height)), limit));
    if (width == image.width && height == image.height) return image;

    const Taps columns = makeTaps(image.width, width);
    const Taps rows = makeTaps(image.height, height);
    Image result;
    result.width = width;
    result.height = height;
    result.pixels.resize(size_t(width) * size_t(height));

    // Each destination row: blend its source rows into `blended`, one float per
    // byte of a source row, then filter that row across.
    const size_t sourceRowBytes = size_t(image.width) * 4;
    std::vector<float> blended(sourceRowBytes);
    const auto* source = reinterpret_cast<const uint8_t*>(image.pixels.data());
    for (int y = 0; y < height; ++y) {
        std::fill(blended.begin(), blended.end(), 0.0f);
        for (int t = 0; t < rows.count[size_t(y)]; ++t) {
            const float weight = rows.weights[rows.offset[size_t(y)] + size_t(t)];
            const uint8_t* line = source + size_t(rows.first[size_t(y)] + t) * sourceRowBytes;
            for (size_t i = 0; i < sourceRowBytes; ++i) blended[i] += weight * float(line[i]);
        }
        uint32_t* target = result.pixels.data() + size_t(y) * size_t(width);
        for (int x = 0; x < width; ++x) {
            float sum[4] = {0, 0, 0, 0};
            const float* weights = &columns.weights[columns.offset[size_t(x)]];
            const float* pixel = &blended[size_t(columns.first[size_t(x)]) * 4];
            for (int t = 0; t < columns.count[size_t(x)]; ++t, pixel += 4)
                for (int c = 0; c < 4; ++c) sum[c] += weights[t] * pixel[c];
            // Byte c of a little-endian word is channel c of `blended`.
            target[x] = uint32_t(toByte(sum[0])) | uint32_t(toByte(sum[1])) << 8 |
                        uint32_t(toByte(sum[2])) << 16 | uint32_t(toByte(sum[3])) << 24;
        }
    }
    return result;
}

} // namespace d3dx
