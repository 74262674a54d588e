// SPDX-License-Identifier: MIT
// Feeds arbitrary bytes to decodeImageLevels, seeded with DDS files, to exercise
// our DDS reader, every mip level, masks, float formats and DXT blocks.
// A decoded image must have the size it reports, and the power-of-two stretch
// must take it.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "d3d9/ImageCodec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<d3dx::Image> levels;
    d3dx::ImageInfo info;
    if (FAILED(d3dx::decodeImageLevels(data, size, levels, &info))) return 0;
    const d3dx::Image& top = levels.front();
    if (top.pixels.size() != size_t(top.width) * size_t(top.height) ||
        info.Width != unsigned(top.width) || info.Height != unsigned(top.height))
        __builtin_trap();
    // Small images only, so one input cannot stall a run.
    if (top.pixels.size() <= 1 << 16) d3dx::resizeToPowerOfTwo(top, 64);
    return 0;
}
