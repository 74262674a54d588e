// SPDX-License-Identifier: MIT
#include "app/ReliefHeights.h"

#include <algorithm>
#include <new>
#include <vector>

#include "render/PreviewImage.h"

namespace app {
namespace {

// 1/255 in single precision (0x3B808081), as the heights have always used.
constexpr float kByteScale = 0.003921569f;

// Rec. 709 weights; the products are summed left to right.
float luma(float red, float green, float blue) {
    return 0.2126f * red + 0.7152f * green + 0.0722f * blue;
}

float byteValue(const Color& pixel, HeightChannel channel) {
    switch (channel) {
    case HeightChannel::Green: return float(pixel.g);
    case HeightChannel::Blue: return float(pixel.b);
    case HeightChannel::Alpha: return float(pixel.a);
    case HeightChannel::Luma: return luma(float(pixel.r), float(pixel.g), float(pixel.b));
    default: return float(pixel.r);
    }
}

// Clamped to 0..1, with NaN as 0: a float file may hold anything.
float unit(float sample) {
    if (!(sample > 0.0f)) return 0.0f;
    return sample < 1.0f ? sample : 1.0f;
}

float sampleValue(const float* rgba, HeightChannel channel) {
    switch (channel) {
    case HeightChannel::Green: return unit(rgba[1]);
    case HeightChannel::Blue: return unit(rgba[2]);
    case HeightChannel::Alpha: return unit(rgba[3]);
    case HeightChannel::Luma: return luma(unit(rgba[0]), unit(rgba[1]), unit(rgba[2]));
    default: return unit(rgba[0]);
    }
}

// Where one grid line falls between two pixel lines of the image.
struct Tap {
    int32_t before = 0, after = 0; // after is before + 1, or before at the last line
    float weight = 0.0f;           // of after
};

// The pixel lines around `position` on an axis `length` pixels long, with
// pixel centres at whole numbers.
Tap tapAt(float position, int32_t length) {
    Tap tap;
    tap.before = std::min(int32_t(position), length - 1);
    tap.after = std::min(tap.before + 1, length - 1);
    tap.weight = position - float(tap.before);
    return tap;
}

// Keeps, of each image row the grid needs, the channel at the two columns
// around each grid column, and nothing else of the image.
class GridSampler final : public d3dx::SampleRowSink {
public:
    GridSampler(int32_t side, HeightChannel channel) : side_(side), channel_(channel) {}

    void begin(int width, int height) override {
        columns_.resize(size_t(side_));
        rows_.resize(size_t(side_));
        for (int32_t k = 0; k < side_; ++k) {
            columns_[k] = tapAt(preview_image::sampleU(k, side_) * float(width), width);
            rows_[k] = tapAt(preview_image::sampleV(k, side_) * float(height), height);
        }
        slotOfRow_.assign(size_t(height), -1);
        for (const Tap& tap : rows_) slotOfRow_[tap.before] = slotOfRow_[tap.after] = 0;
        int32_t slots = 0;
        for (int32_t& slot : slotOfRow_)
            if (slot == 0) slot = slots++;
        kept_.assign(size_t(slots) * size_t(side_) * 2, 0.0f);
    }

    int nextRowWanted(int row) override {
        while (row < int(slotOfRow_.size()) && slotOfRow_[row] < 0) ++row;
        return row;
    }

    void take(int row, const float* rgba) override {
        if (row < 0 || row >= int(slotOfRow_.size()) || slotOfRow_[row] < 0) return;
        float* kept = rowKept(slotOfRow_[row]);
        for (int32_t k = 0; k < side_; ++k) {
            kept[2 * k] = sampleValue(rgba + 4 * size_t(columns_[k].before), channel_);
            kept[2 * k + 1] = sampleValue(rgba + 4 * size_t(columns_[k].after), channel_);
        }
    }

    void fill(bool invert, HeightGrid& out) {
        out.side = side_;
        out.units.resize(size_t(side_) * size_t(side_));
        for (int32_t j = 0; j < side_; ++j) {
            const Tap& row = rows_[j];
            const float* upperRow = rowKept(slotOfRow_[row.before]);
            const float* lowerRow = rowKept(slotOfRow_[row.after]);
            for (int32_t i = 0; i < side_; ++i) {
                const float across = columns_[i].weight;
                const float upper =
                    upperRow[2 * i] * (1.0f - across) + upperRow[2 * i + 1] * across;
                const float lower =
                    lowerRow[2 * i] * (1.0f - across) + lowerRow[2 * i + 1] * across;
                const float h = upper * (1.0f - row.weight) + lower * row.weight;
                out.units[size_t(j) * side_ + i] = invert ? 1.0f - h : h;
            }
        }
    }

private:
    float* rowKept(int32_t slot) { return kept_.data() + size_t(slot) * size_t(side_) * 2; }

    int32_t side_;
    HeightChannel channel_;
    std::vector<Tap> columns_, rows_;
    std::vector<int32_t> slotOfRow_; // -1 for a row the grid does not touch
    std::vector<float> kept_;
};

} // namespace

bool channelNamed(std::string_view name, HeightChannel& channel) {
    static constexpr std::pair<std::string_view, HeightChannel> kNames[] = {
        {"red", HeightChannel::Red},
        {"green", HeightChannel::Green},
        {"blue", HeightChannel::Blue},
        {"alpha", HeightChannel::Alpha},
        {"luma", HeightChannel::Luma}};
    for (const auto& [text, value] : kNames) {
        if (name != text) continue;
        channel = value;
        return true;
    }
    return false;
}

void readPixelHeights(Draw<Color>& source, HeightChannel channel, bool invert, HeightGrid& out) {
    const int32_t n = source.width();
    out.units.clear();
    out.side = 0;
    if (n < 1 || source.height() != n) return;
    out.side = n;
    out.units.resize(size_t(n) * size_t(n));
    for (int32_t j = 0; j < n; ++j) {
        for (int32_t i = 0; i < n; ++i) {
            source.x = i;
            source.y = j;
            float v = byteValue(*source.pixel(), channel);
            if (invert) v = 255.0f - v;
            out.units[size_t(j) * n + i] = v * kByteScale;
        }
    }
}

HRESULT readSampleHeights(d3dx::ImageSource& source, int32_t side, HeightChannel channel,
                          bool invert, HeightGrid& out, std::string& why) {
    out.units.clear();
    out.side = 0;
    try {
        GridSampler sampler(side, channel);
        const HRESULT result = d3dx::decodeImageSamples(source, sampler, nullptr, &why);
        if (FAILED(result)) return result;
        sampler.fill(invert, out);
    } catch (const std::bad_alloc&) {
        why = "out of memory";
        return E_OUTOFMEMORY;
    }
    return D3D_OK;
}

} // namespace app
