// SPDX-License-Identifier: MIT
// Where the relief's heights come from: one channel (or the luma) of the
// preview's 8-bit pixels, as the dialog has always read its red channel, or
// the decoded image itself at the precision its file stores, interpolated
// in floating point onto the grid.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "app/ReliefBlock.h"
#include "core/DialogTools.h"
#include "d3d9/ImageSamples.h"

namespace app {

enum class HeightChannel { Red, Green, Blue, Alpha, Luma };

// "red", "green", "blue", "alpha" or "luma"; false for anything else.
bool channelNamed(std::string_view name, HeightChannel& channel);

// The grid of a square drawing target, pixel for pixel: v / 255 in single
// precision, where v is the channel's byte or the pixel's Rec. 709 luma, and
// 255 - v when inverted. A target that is not square and not empty gives
// an empty grid.
void readPixelHeights(Draw<Color>& source, HeightChannel channel, bool invert, HeightGrid& out);

// A side x side grid sampled from the image in `source` where the preview
// samples it, bilinear between the four nearest pixels. Samples are clamped
// to 0..1 first (NaN reads as 0); inverted heights are 1 - h. On failure
// `why` is the decoder's reason and `out` is empty.
HRESULT readSampleHeights(d3dx::ImageSource& source, int32_t side, HeightChannel channel,
                          bool invert, HeightGrid& out, std::string& why);

} // namespace app
