// SPDX-License-Identifier: MIT
// Feeds arbitrary bytes to decodeImageLevels, seeded with PCX, PPM and PFM files, to exercise
// our PCX, PPM and PFM readers.
// A decoded image must have the size it reports, and the power-of-two stretch
// must take it; the full-precision samples must agree with it.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "DecodeSamplesFuzz.h"
#include "d3d9/ImageCodec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<d3dx::Image> levels;
    d3dx::ImageInfo info;
    std::string why;
    const HRESULT result = d3dx::decodeImageLevels(data, size, levels, &info, &why);
    checkSamplesAgree(data, size, result, why, levels);
    if (FAILED(result)) return 0;
    const d3dx::Image& top = levels.front();
    if (top.pixels.size() != size_t(top.width) * size_t(top.height) ||
        info.Width != unsigned(top.width) || info.Height != unsigned(top.height))
        __builtin_trap();
    // Small images only, so one input cannot stall a run.
    if (top.pixels.size() <= 1 << 16) d3dx::resizeToPowerOfTwo(top, 64);
    return 0;
}
