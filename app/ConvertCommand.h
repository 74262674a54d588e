// SPDX-License-Identifier: MIT
// `embossa convert`: images to relief files with no window and no GPU. It
// runs the dialog's own pieces (file layer, the preview as the texture
// manager on a CPU-only device draws it, the relief block, mesh_file::save),
// so without relief options a file made here has the bytes "Save" writes
// for the same image and settings. The relief options change the grid, the
// block's measures and where heights come from. Unlike the dialog it
// refuses an image it cannot decode instead of meshing the default
// checkerboard.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "core/String.h"

namespace app {

// `args` are the words after "convert". Returns 0, 1 when an image could not
// be read, decoded or saved (the others are still converted), or 2 for a
// usage error (nothing is converted). Each problem is one line on `err`
// starting "embossa: "; each file written is named on `out`.
int runConvertCommand(const std::vector<std::string>& args, std::FILE* out, std::FILE* err);

// Where the relief of `image` goes. One image without -o: the dialog's save
// path ("test.obj" in the image's folder, beside the archive for an
// "archive.pack:entry" image). Several images, or -o naming a folder: the
// image's name with ".obj" in that folder (or the default one).
String convertOutputPath(const String& image, const String& folder, bool namedAfterImage);

} // namespace app
