// SPDX-License-Identifier: MIT
// What the dialog and the command line share to draw a preview straight from
// an image file (render/PreviewImage.h): the texture size the device would
// have stretched the image to, and preview pixels that live outside any
// dialog bitmap, for threads that build reliefs side by side.
#pragma once

#include <cstdint>

#include "core/DialogTools.h"
#include "render/surface1d.h"

namespace app {

// The largest texture side the current device takes, as the texture manager
// reads it from the caps when it loads an image; 0 without a device.
int currentTextureLimit();

// A preview's pixels with the bitmap's layout (row 0 the bottom line), as a
// drawing target the relief builder reads.
class PreviewPixels final : public Draw<Color> {
public:
    PreviewPixels(int32_t width, int32_t height) : colors(width, height) {}
    Color* pixel() override { return colors.at(x, y); }
    int32_t width() override { return colors.width; }
    int32_t height() override { return colors.height; }

    surface1d<Color> colors;
};

} // namespace app
