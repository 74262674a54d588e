// SPDX-License-Identifier: MIT
// The saved file shows the bits (a quarter turn's cosine leaves -0.000000 in
// it), so expressions here must not be regrouped or fused.
#include "app/ReliefBlock.h"

#include <cmath>

namespace app {
namespace {

// pi/2 in single precision (0x3FC90FDB); its cosine is -4.37e-8, not 0.
constexpr float kQuarterTurn = 1.5707964f;

// Turns image coordinates (x along the image's x, h the height, z along the
// image's y) into world space for one axis choice.
struct Placement {
    int32_t axisMode;
    float c = std::cos(kQuarterTurn);
    float s = std::sin(kQuarterTurn);

    void operator()(float* out, float x, float h, float z) const {
        switch (axisMode) {
        case 0: // x / y: a quarter turn about x, the height along +z
            out[0] = x;
            out[1] = h * c - z * s;
            out[2] = h * s + z * c;
            break;
        case 2: // y / z: a quarter turn about z, the height along -x
            out[0] = x * c - h * s;
            out[1] = x * s + h * c;
            out[2] = z;
            break;
        default: // x / z: as the image lies
            out[0] = x;
            out[1] = h;
            out[2] = z;
            break;
        }
    }
};

} // namespace

void buildBlock(const HeightGrid& heights, const ReliefShape& shape, IndexedMesh& out) {
    out.clear();
    const int32_t n = heights.side;
    if (n < 1 || heights.units.size() != size_t(n) * size_t(n)) return;
    const int64_t total = blockVertexCount(n);
    out.positions.resize(size_t(total) * 3);
    out.indices.resize(size_t(6) * (n - 1) * (n - 1) + 12 * size_t(n) + 6);
    float* position = out.positions.data();
    uint32_t* index = out.indices.data();

    const float hx = shape.width * 0.5f;
    const float hz = shape.depth * 0.5f;
    const float dx = (1.0f / float(n)) * shape.width;
    const float dz = (1.0f / float(n)) * shape.depth;
    const Placement place{shape.axisMode};
    int32_t flipFlags = shape.flipFlags;
    // Toggling both mirror bits belongs to the x / y placement, as saved
    // files have always had it: both check boxes on sample unmirrored.
    if (shape.axisMode == 0) flipFlags ^= 3;

    // Top surface: one vertex per grid point, two triangles per grid cell.
    for (int32_t j = 0; j < n; ++j) {
        for (int32_t i = 0; i < n; ++i) {
            const uint32_t v = uint32_t(j * n + i);
            const int32_t column = (flipFlags & 1) ? n - 1 - i : i;
            const int32_t row = (flipFlags & 2) ? n - 1 - j : j;
            const float x = float(i) * dx - hx;
            const float z = float(j) * dz - hz;
            const float h = heights.at(column, row) * shape.relief + shape.base;
            if (i + 1 < n && j + 1 < n) {
                const uint32_t below = v + uint32_t(n);
                *index++ = v;
                *index++ = below;
                *index++ = v + 1;
                *index++ = v + 1;
                *index++ = below;
                *index++ = below + 1;
            }
            place(position + 3 * size_t(v), x, h, z);
        }
    }

    // Base corners, each wall and the bottom with copies of their own.
    const uint32_t b = uint32_t(n) * uint32_t(n);
    const float corners[4][3] = {
        {-hx, 0.0f, -hz}, {hx, 0.0f, -hz}, {-hx, 0.0f, hz}, {hx, 0.0f, hz}};
    const int order[12] = {0, 1, 2, 3, 0, 2, 1, 3, 0, 1, 2, 3}; // A B C D, A C B D, A B C D
    for (uint32_t k = 0; k < 12; ++k) {
        const float* corner = corners[order[k]];
        place(position + 3 * size_t(b + k), corner[0], corner[1], corner[2]);
    }

    auto triangle = [&](uint32_t a, uint32_t c, uint32_t d) {
        *index++ = a;
        *index++ = c;
        *index++ = d;
    };
    uint32_t k = b + 12;
    // Copies one border line of the surface into vertices k, k + 1, ... and
    // returns the first copy; `border(t)` is the t-th border vertex.
    auto copyBorder = [&](auto border) {
        const uint32_t first = k;
        for (int32_t t = 0; t < n; ++t, ++k) {
            const float* from = position + 3 * size_t(border(t));
            float* to = position + 3 * size_t(k);
            to[0] = from[0];
            to[1] = from[1];
            to[2] = from[2];
        }
        return first;
    };
    const uint32_t last = uint32_t(n) - 1;

    uint32_t first = copyBorder([&](int32_t t) { return t; }); // -z side, row 0
    for (uint32_t c = first; c < first + last; ++c) triangle(b, c, c + 1);
    triangle(b, first + last, b + 1);

    first = copyBorder([&](int32_t t) { return n * (n - 1) + t; }); // +z side, row N - 1
    for (uint32_t c = first; c < first + last; ++c) triangle(b + 2, c + 1, c);
    triangle(b + 2, b + 3, first + last);

    first = copyBorder([&](int32_t t) { return t * n; }); // -x side, column 0
    for (uint32_t c = first; c < first + last; ++c) triangle(b + 4, c + 1, c);
    triangle(b + 4, b + 5, first + last);

    first = copyBorder([&](int32_t t) { return t * n + n - 1; }); // +x side, column N - 1
    for (uint32_t c = first; c < first + last; ++c) triangle(b + 6, c, c + 1);
    triangle(b + 6, first + last, b + 7);

    triangle(b + 8, b + 9, b + 10); // bottom
    triangle(b + 10, b + 9, b + 11);
}

} // namespace app
