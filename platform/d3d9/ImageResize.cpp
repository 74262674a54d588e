// SPDX-License-Identifier: MIT
// The stretch behind D3DX_DEFAULT sizes: a separable triangle (tent) filter.
// Enlarging, the tent spans one source pixel either side, which is bilinear
// interpolation between pixel centres; shrinking, it widens to 1/scale source
// pixels so every source pixel contributes, weighted by distance. Edges repeat
// the border pixel. Channels are filtered independently (no premultiplied
// alpha), each result rounded to the nearest byte. PowerOfTwoTexels works out
// chosen texels of the same stretch from streamed rows, with the same sums.
#include <algorithm>
#include <bit>
#include <cassert>
#include <cmath>
#include <cstring>
#include <limits>

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

// Appends destination index d's run; `row` is scratch.
void appendTaps(Taps& taps, int sourceSize, int targetSize, int d, std::vector<double>& row) {
    const double scale = double(targetSize) / sourceSize;
    const double radius = scale >= 1 ? 1.0 : 1.0 / scale;
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

Taps makeTaps(int sourceSize, int targetSize) {
    Taps taps;
    std::vector<double> row;
    for (int d = 0; d < targetSize; ++d) appendTaps(taps, sourceSize, targetSize, d, row);
    return taps;
}

uint8_t toByte(float v) {
    return uint8_t(std::clamp(v + 0.5f, 0.0f, 255.0f));
}

// The first pass of a destination row: one source row's bytes, weighted,
// added to the running blend. Both the whole stretch and the chosen texels
// go through here and filterAcross, so their sums are made alike.
void accumulateRow(float* blended, const uint8_t* line, size_t bytes, float weight) {
    for (size_t i = 0; i < bytes; ++i) blended[i] += weight * float(line[i]);
}

// The second pass: one destination pixel from the blended row, `pixel`
// pointing at the first of its `count` source pixels (four floats each).
uint32_t filterAcross(const float* pixel, const float* weights, int count) {
    float sum[4] = {0, 0, 0, 0};
    for (int t = 0; t < count; ++t, pixel += 4)
        for (int c = 0; c < 4; ++c) sum[c] += weights[t] * pixel[c];
    // Byte c of a little-endian word is channel c of the blend.
    return uint32_t(toByte(sum[0])) | uint32_t(toByte(sum[1])) << 8 |
           uint32_t(toByte(sum[2])) << 16 | uint32_t(toByte(sum[3])) << 24;
}

void sortUnique(std::vector<int>& values) {
    std::sort(values.begin(), values.end());
    values.erase(std::unique(values.begin(), values.end()), values.end());
}

} // namespace

int powerOfTwoSide(int side, int maxTextureSize) {
    const unsigned limit = std::bit_floor(unsigned(maxTextureSize));
    return int(std::min(std::bit_ceil(unsigned(side)), limit));
}

Image resizeToPowerOfTwo(const Image& image, int maxTextureSize) {
    assert(maxTextureSize >= 1 && "resizeToPowerOfTwo: no texture size allowed");
    assert(image.width >= 1 && image.height >= 1 &&
           image.pixels.size() == size_t(image.width) * size_t(image.height) &&
           "resizeToPowerOfTwo: malformed image");
    const int width = powerOfTwoSide(image.width, maxTextureSize);
    const int height = powerOfTwoSide(image.height, maxTextureSize);
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
            accumulateRow(blended.data(), line, sourceRowBytes, weight);
        }
        uint32_t* target = result.pixels.data() + size_t(y) * size_t(width);
        for (int x = 0; x < width; ++x)
            target[x] =
                filterAcross(&blended[size_t(columns.first[size_t(x)]) * 4],
                             &columns.weights[columns.offset[size_t(x)]], columns.count[size_t(x)]);
    }
    return result;
}

// The chosen columns and rows of the result with their taps; the source
// columns any of them reads, packed side by side ("slots"); and, for each
// chosen row, its blend while its source rows arrive.
struct PowerOfTwoTexels::Plan {
    std::vector<int> columns, rows; // chosen, ascending
    Taps columnTaps, rowTaps;       // entry k for columns[k] / rows[k]
    std::vector<int> slotOf;        // source column -> slot, or -1
    std::vector<int> sourceColumns; // slot -> source column
    std::vector<int> sourceRows;    // every source row some chosen row reads, ascending
    std::vector<int> columnIndex;   // result column -> k, or -1
    std::vector<int> rowIndex;      // result row -> k, or -1
    std::vector<std::vector<float>> blends;
    std::vector<uint8_t> line;    // one source row's slots
    std::vector<uint32_t> texels; // rows.size() x columns.size()
};

PowerOfTwoTexels::PowerOfTwoTexels(int maxTextureSize, Picker pick)
    : maxTextureSize_(maxTextureSize), pick_(std::move(pick)) {
    assert(maxTextureSize >= 1 && "PowerOfTwoTexels: no texture size allowed");
}

PowerOfTwoTexels::~PowerOfTwoTexels() = default;

void PowerOfTwoTexels::begin(int sourceWidth, int sourceHeight) {
    width_ = powerOfTwoSide(sourceWidth, maxTextureSize_);
    height_ = powerOfTwoSide(sourceHeight, maxTextureSize_);
    plan_ = std::make_unique<Plan>();
    Plan& plan = *plan_;
    pick_(width_, height_, plan.columns, plan.rows);
    sortUnique(plan.columns);
    sortUnique(plan.rows);
    assert((plan.columns.empty() || (plan.columns.front() >= 0 && plan.columns.back() < width_)) &&
           (plan.rows.empty() || (plan.rows.front() >= 0 && plan.rows.back() < height_)) &&
           "PowerOfTwoTexels: a texel outside the result was picked");

    std::vector<double> scratch;
    plan.columnIndex.assign(size_t(width_), -1);
    plan.slotOf.assign(size_t(sourceWidth), -1);
    for (size_t k = 0; k < plan.columns.size(); ++k) {
        plan.columnIndex[size_t(plan.columns[k])] = int(k);
        appendTaps(plan.columnTaps, sourceWidth, width_, plan.columns[k], scratch);
        for (int t = 0; t < plan.columnTaps.count[k]; ++t)
            plan.slotOf[size_t(plan.columnTaps.first[k] + t)] = 0;
    }
    // Slots follow source order, so each column's run of source pixels is
    // a run of slots too.
    for (int column = 0; column < sourceWidth; ++column) {
        if (plan.slotOf[size_t(column)] < 0) continue;
        plan.slotOf[size_t(column)] = int(plan.sourceColumns.size());
        plan.sourceColumns.push_back(column);
    }

    plan.rowIndex.assign(size_t(height_), -1);
    for (size_t k = 0; k < plan.rows.size(); ++k) {
        plan.rowIndex[size_t(plan.rows[k])] = int(k);
        appendTaps(plan.rowTaps, sourceHeight, height_, plan.rows[k], scratch);
        for (int t = 0; t < plan.rowTaps.count[k]; ++t)
            plan.sourceRows.push_back(plan.rowTaps.first[k] + t);
    }
    sortUnique(plan.sourceRows);
    plan.blends.resize(plan.rows.size());
    plan.line.resize(plan.sourceColumns.size() * 4);
    plan.texels.resize(plan.rows.size() * plan.columns.size());
}

int PowerOfTwoTexels::nextRowWanted(int row) {
    const std::vector<int>& wanted = plan_->sourceRows;
    const auto next = std::lower_bound(wanted.begin(), wanted.end(), row);
    return next == wanted.end() ? std::numeric_limits<int>::max() : *next;
}

void PowerOfTwoTexels::take(int row, const uint32_t* pixels) {
    Plan& plan = *plan_;
    bool gathered = false;
    for (size_t k = 0; k < plan.rows.size(); ++k) {
        const int first = plan.rowTaps.first[k], count = plan.rowTaps.count[k];
        if (row < first || row >= first + count) continue;
        if (!gathered) {
            const auto* bytes = reinterpret_cast<const uint8_t*>(pixels);
            for (size_t slot = 0; slot < plan.sourceColumns.size(); ++slot)
                std::memcpy(&plan.line[slot * 4], bytes + size_t(plan.sourceColumns[slot]) * 4, 4);
            gathered = true;
        }
        std::vector<float>& blend = plan.blends[k];
        if (blend.empty()) blend.assign(plan.line.size(), 0.0f);
        accumulateRow(blend.data(), plan.line.data(), plan.line.size(),
                      plan.rowTaps.weights[plan.rowTaps.offset[k] + size_t(row - first)]);
        if (row != first + count - 1) continue;
        // The row's last source row: filter it across and let its blend go.
        uint32_t* out = &plan.texels[k * plan.columns.size()];
        for (size_t j = 0; j < plan.columns.size(); ++j)
            out[j] = filterAcross(&blend[size_t(plan.slotOf[size_t(plan.columnTaps.first[j])]) * 4],
                                  &plan.columnTaps.weights[plan.columnTaps.offset[j]],
                                  plan.columnTaps.count[j]);
        std::vector<float>().swap(blend);
    }
}

bool PowerOfTwoTexels::wantsColumn(int column) const {
    return plan_->slotOf[size_t(column)] >= 0;
}

uint32_t PowerOfTwoTexels::at(int x, int y) const {
    const int column = plan_->columnIndex[size_t(x)], row = plan_->rowIndex[size_t(y)];
    assert(column >= 0 && row >= 0 && "PowerOfTwoTexels::at: that texel was not picked");
    return plan_->texels[size_t(row) * plan_->columns.size() + size_t(column)];
}

} // namespace d3dx
