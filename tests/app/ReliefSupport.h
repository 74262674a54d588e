// SPDX-License-Identifier: MIT
// What the relief tests share: pictures painted into the real 120 x 120
// preview (red carries the height; blue and green are filled with noise so a
// builder reading the wrong byte shows), and positions read back as values.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/Embossa.h"
#include "app/MeshFile.h"

namespace relief {

using Point = std::array<float, 3>;

// red(x, y) for every pixel; (0, 0) is buffer row 0, the picture's bottom line.
inline void paint(DialogTools::Bitmap& bitmap, const std::function<uint8_t(int, int)>& red) {
    for (int y = 0; y < bitmap.height(); ++y)
        for (int x = 0; x < bitmap.width(); ++x) {
            Color* pixel = bitmap.pixelAt(x, y);
            pixel->r = red(x, y);
            pixel->g = uint8_t(x * 7 + y * 13);
            pixel->b = uint8_t(255 - pixel->r);
            pixel->a = uint8_t(x ^ y);
        }
}

// An application object as the dialog sets it up, without a window.
inline std::unique_ptr<Embossa> tool(int32_t axisMode, int32_t flipFlags,
                                     const std::function<uint8_t(int, int)>& red) {
    auto made = std::make_unique<Embossa>();
    made->preview.create(nullptr, 0, 32, 120, 120);
    paint(made->preview, red);
    made->axisMode = axisMode;
    made->flipFlags = flipFlags;
    return made;
}

inline Point position(MeshTools& mesh, int32_t i) {
    const float* p = mesh.vertexAt(i)->position;
    return {p[0], p[1], p[2]};
}
inline Point normal(MeshTools& mesh, int32_t i) {
    const float* n = mesh.vertexAt(i)->normal;
    return {n[0], n[1], n[2]};
}

inline std::string objText(MeshTools& mesh) {
    std::vector<char> bytes;
    mesh_file::writeObj(mesh, bytes);
    return std::string(bytes.begin(), bytes.end());
}

} // namespace relief
