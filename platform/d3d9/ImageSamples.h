// SPDX-License-Identifier: MIT
// Decoded images at the precision their files store, for callers that need
// more than the 8 bits of A8R8G8B8: 16-bit PNG, PPM of any maxval, PFM and
// Radiance HDR floats. Every other format gives decodeImageRows's bytes
// scaled to 0..1, so one caller reads every format the same way.
//  [x] rows streamed as decodeImageRows streams them, unwanted rows passed over
//  [x] the refusals and reasons of decodeImage for the same bytes
//  [ ] DDS float formats (given as their 8-bit conversion)
#pragma once

#include <string>

#include "d3d9/ImageCodec.h"

namespace d3dx {

// Takes a decoded image a row at a time at the precision its file stores.
class SampleRowSink {
public:
    virtual ~SampleRowSink() = default;
    // Once, before any row, with a size that passed the decoders' size bounds.
    virtual void begin(int width, int height) = 0;
    // The first row at or after `row` that is needed; the height or more when none is.
    virtual int nextRowWanted(int row) = 0;
    // Row `row` (0 = top): width x 4 floats (red, green, blue, alpha), valid during the call only.
    virtual void take(int row, const float* rgba) = 0;
};

// Level 0 of the image in `source`, row by row, top row first, at full precision.
// 16-bit PNG samples are v / 65535 and PPM samples v / maxval; PFM and HDR
// floats come as stored, unclamped, NaN and infinities included. Gray is
// replicated into red, green and blue; alpha is 1 where the file has none.
// Samples of 8 bits or fewer are decodeImageRows's bytes over 255.
HRESULT decodeImageSamples(ImageSource& source, SampleRowSink& sink, ImageInfo* info = nullptr,
                           std::string* why = nullptr);

} // namespace d3dx
