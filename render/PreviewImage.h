// SPDX-License-Identifier: MIT
// The dialog's preview drawn straight from an image file. copyToBitmap
// samples a texture at a fixed grid of points, so of the power-of-two texture
// that loading an image makes it reads at most two columns and two rows per
// preview pixel; those texels are worked out from the source rows they need
// as the file decodes, and nothing else is. The pixels are the ones loading
// the file through the texture manager and copying it to the bitmap give.
// Threads may draw at once: nothing here logs or touches the texture list.
#pragma once

#include <cstdint>
#include <string>

#include "core/DialogTools.h"
#include "d3d9/ImageCodec.h"
#include "render/surface1d.h"

namespace preview_image {

// Where preview pixel (c, r) of a width x height bitmap samples a texture;
// row 0 is the bottom line of the picture.
inline float sampleU(int32_t c, int32_t width) {
    return float(c) / float(width);
}
inline float sampleV(int32_t r, int32_t height) {
    return float(height - 1 - r) / float(height);
}

// The bitmap's bytes per pixel (4, 3 or 2), or 0 when it has no pixels to
// draw into.
int32_t bitmapBytes(DialogTools::Bitmap& bitmap);

// Stores `colors` (the bitmap's size) into the bitmap in its own format;
// for a 4-byte bitmap they may already be its buffer.
void store(const surface1d<Color>& colors, DialogTools::Bitmap& bitmap);

// Decodes the image in `source` and samples it into `colors`, as loading it
// at D3DX_DEFAULT size (one level, A8R8G8B8) on a device whose largest
// texture side is maxTextureSize and copying it to a bitmap of that size
// would. On failure `why` is the decoder's reason and `colors` is untouched.
HRESULT draw(d3dx::ImageSource& source, int maxTextureSize, surface1d<Color>& colors,
             std::string& why);

} // namespace preview_image
