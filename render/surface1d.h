// SPDX-License-Identifier: MIT
// Pixel surfaces over a flat array, rows top to bottom, width pixels each:
// a view of a locked texture level or a bitmap buffer (borrowed pixels) or a
// scratch image (owned pixels). The sampler is bilinear with 8-bit weights,
// so the preview's pixels are the same on every machine.
#pragma once

#include <cstdint>

#include "core/DialogTools.h"

// Three bytes in memory: blue, green, red.
struct Color24 {
    uint8_t b = 0, g = 0, r = 0;
};

// One 16-bit word: bit 15 alpha, 10-14 red, 5-9 green, 0-4 blue.
struct ColorA1R5G5B5 {
    uint16_t word = 0;
};

template <class COLOR>
class surface1d {
public:
    int32_t width = 0;
    int32_t height = 0;
    int32_t maxX = -1;
    int32_t maxY = -1;
    COLOR* pixels = nullptr;
    int32_t owned = 0;
    int32_t wrap = 0; // 0: clamp at the edges
    float u = 0.0f;   // sampling position, 0 to 1
    float v = 0.0f;

    surface1d() = default;
    // Borrowed pixels, or a zeroed buffer of its own when `borrowed` is null.
    surface1d(int32_t w, int32_t h, COLOR* borrowed = nullptr)
        : width(w), height(h), maxX(w - 1), maxY(h - 1), pixels(borrowed) {
        if (!pixels && w > 0 && h > 0) {
            pixels = new COLOR[size_t(w) * size_t(h)]();
            owned = 1;
        }
    }
    ~surface1d() {
        if (owned) delete[] pixels;
    }
    surface1d(const surface1d&) = delete;
    surface1d& operator=(const surface1d&) = delete;

    COLOR* at(int32_t x, int32_t y) { return pixels + size_t(y) * size_t(width) + size_t(x); }
    const COLOR* at(int32_t x, int32_t y) const {
        return pixels + size_t(y) * size_t(width) + size_t(x);
    }
};

// Where one axis of the bilinear sampler reads: the texel at `first`, the
// one at `second`, and the second's share scaled to 0..255 and truncated.
struct BilinearAxis {
    int32_t first = 0;
    int32_t second = 0;
    int32_t weight = 0;
};

// The axis of `size` texels (the last one `maxIndex`) at position t, 0 to 1.
inline BilinearAxis bilinearAxis(int32_t size, int32_t maxIndex, float t, int32_t wrap) {
    const float x = float(size) * t;
    int32_t x0 = int32_t(x);
    // t of exactly 1 (or a stray negative) must not read outside.
    x0 = x0 < 0 ? 0 : x0 > maxIndex ? maxIndex : x0;
    int32_t x1 = x0 + 1;
    if (wrap)
        x1 %= size;
    else if (x1 > maxIndex)
        x1 = maxIndex;
    return BilinearAxis{x0, x1, int32_t((x - float(x0)) * 255.0f)};
}

// Each channel is
// ((P00 (255 - fx) + P01 fx) (255 - fy) + (P10 (255 - fx) + P11 fx) fy) / 255²
// with P01 the texel right of P00 and P10 the one below it.
inline Color mixBilinear(const Color& p00, const Color& p01, const Color& p10, const Color& p11,
                         int32_t fx, int32_t fy) {
    auto mix = [&](uint8_t Color::*channel) {
        const int32_t top = int32_t(p00.*channel) * (255 - fx) + int32_t(p01.*channel) * fx;
        const int32_t bottom = int32_t(p10.*channel) * (255 - fx) + int32_t(p11.*channel) * fx;
        return uint8_t((top * (255 - fy) + bottom * fy) / (255 * 255));
    };
    return Color{mix(&Color::b), mix(&Color::g), mix(&Color::r), mix(&Color::a)};
}

// The colour at (u, v).
inline Color sampleBilinear(const surface1d<Color>& s) {
    const BilinearAxis x = bilinearAxis(s.width, s.maxX, s.u, s.wrap);
    const BilinearAxis y = bilinearAxis(s.height, s.maxY, s.v, s.wrap);
    return mixBilinear(*s.at(x.first, y.first), *s.at(x.second, y.first), *s.at(x.first, y.second),
                       *s.at(x.second, y.second), x.weight, y.weight);
}
