// SPDX-License-Identifier: MIT
#include "render/PreviewImage.h"

#include <vector>

namespace preview_image {
namespace {

Color fromWord(uint32_t argb) {
    return Color{uint8_t(argb), uint8_t(argb >> 8), uint8_t(argb >> 16), uint8_t(argb >> 24)};
}

} // namespace

int32_t bitmapBytes(DialogTools::Bitmap& bitmap) {
    const int32_t w = bitmap.width(), h = bitmap.height();
    const int32_t bytes = bitmap.format == 21   ? 4
                          : bitmap.format == 20 ? 3
                          : bitmap.format == 25 ? 2
                                                : 0;
    if (w <= 0 || h <= 0 || !bytes || !bitmap.buffer.items ||
        int64_t(bitmap.buffer.count) < int64_t(w) * h * bytes)
        return 0;
    return bytes;
}

void store(const surface1d<Color>& colors, DialogTools::Bitmap& bitmap) {
    const int32_t bytes = bitmapBytes(bitmap);
    const int32_t w = colors.width, h = colors.height;
    if (bytes == 4) {
        auto* out = reinterpret_cast<Color*>(bitmap.buffer.items);
        if (out != colors.pixels)
            for (int32_t r = 0; r < h; ++r)
                for (int32_t c = 0; c < w; ++c)
                    out[size_t(r) * size_t(w) + size_t(c)] = *colors.at(c, r);
    } else if (bytes == 3) {
        surface1d<Color24> packed(w, h, reinterpret_cast<Color24*>(bitmap.buffer.items));
        for (int32_t r = 0; r < h; ++r)
            for (int32_t c = 0; c < w; ++c) {
                const Color& p = *colors.at(c, r);
                *packed.at(c, r) = Color24{p.b, p.g, p.r};
            }
    } else if (bytes == 2) {
        surface1d<ColorA1R5G5B5> packed(w, h,
                                        reinterpret_cast<ColorA1R5G5B5*>(bitmap.buffer.items));
        for (int32_t r = 0; r < h; ++r)
            for (int32_t c = 0; c < w; ++c) {
                const Color& p = *colors.at(c, r);
                packed.at(c, r)->word = uint16_t((p.a >= 128 ? 0x8000 : 0) | (p.r >> 3) << 10 |
                                                 (p.g >> 3) << 5 | (p.b >> 3));
            }
    }
}

HRESULT draw(d3dx::ImageSource& source, int maxTextureSize, surface1d<Color>& colors,
             std::string& why) {
    const int32_t w = colors.width, h = colors.height;
    d3dx::PowerOfTwoTexels texels(
        maxTextureSize, [w, h](int tw, int th, std::vector<int>& columns, std::vector<int>& rows) {
            for (int32_t c = 0; c < w; ++c) {
                const BilinearAxis x = bilinearAxis(tw, tw - 1, sampleU(c, w), 0);
                columns.push_back(x.first);
                columns.push_back(x.second);
            }
            for (int32_t r = 0; r < h; ++r) {
                const BilinearAxis y = bilinearAxis(th, th - 1, sampleV(r, h), 0);
                rows.push_back(y.first);
                rows.push_back(y.second);
            }
        });
    const HRESULT result = d3dx::decodeImageRows(source, texels, nullptr, &why);
    if (FAILED(result)) return result;
    const int tw = texels.width(), th = texels.height();
    for (int32_t r = 0; r < h; ++r) {
        const BilinearAxis y = bilinearAxis(th, th - 1, sampleV(r, h), 0);
        for (int32_t c = 0; c < w; ++c) {
            const BilinearAxis x = bilinearAxis(tw, tw - 1, sampleU(c, w), 0);
            *colors.at(c, r) = mixBilinear(
                fromWord(texels.at(x.first, y.first)), fromWord(texels.at(x.second, y.first)),
                fromWord(texels.at(x.first, y.second)), fromWord(texels.at(x.second, y.second)),
                x.weight, y.weight);
        }
    }
    return D3D_OK;
}

} // namespace preview_image
