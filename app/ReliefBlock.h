// SPDX-License-Identifier: MIT
// The relief's geometry: a square grid of heights becomes a closed block
// whose top follows them, with four walls down to the base plane and a flat
// bottom, turned into the axis pair the user chose. Every coordinate is
// single-precision arithmetic in a fixed order, so the saved file's bytes
// are the same on every machine.
#pragma once

#include <cstdint>
#include <vector>

#include "app/IndexedMesh.h"

namespace app {

// Heights from 0 to 1 (an 8-bit source may give a hair over 1) on a square
// grid in the preview's layout: row 0 is the picture's bottom line.
struct HeightGrid {
    int32_t side = 0;
    std::vector<float> units; // side x side, row after row

    float at(int32_t column, int32_t row) const { return units[size_t(row) * side + column]; }
};

// How the block is sized and placed. The defaults are the dialog's.
struct ReliefShape {
    float width = 10.0f;   // along the image's x
    float depth = 10.0f;   // along the image's y
    float relief = 1.0f;   // the top's height range
    float base = 1.0f;     // the top's lowest level above the bottom
    int32_t axisMode = 0;  // 0: x / y, 1: x / z, 2: y / z
    int32_t flipFlags = 0; // 1: mirror the image's x, 2: its y
};

// The vertices of a block on a grid of `side`: surface, 12 corner copies
// and four walls' copies of the border.
inline int64_t blockVertexCount(int64_t side) {
    return side * side + 4 * side + 12;
}

// Replaces `out` by the block. An empty grid gives an empty mesh.
void buildBlock(const HeightGrid& heights, const ReliefShape& shape, IndexedMesh& out);

} // namespace app
