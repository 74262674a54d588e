// SPDX-License-Identifier: MIT
// The relief builder: a square picture becomes a closed block whose top
// follows the red channel, with four walls down to the base plane and a flat
// bottom, turned into the axis pair the user chose. The saved file shows the
// bits (a quarter turn's cosine leaves -0.000000 in it), so expressions here
// must not be regrouped or fused.
#include <cfloat>
#include <cmath>

#include "app/HeightField.h"

#include "core/Log.h"
#include "core/TableSqrt.h"

namespace {

// 1/255 in single precision (0x3B808081), as the heights have always used.
constexpr float kRedScale = 0.003921569f;
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

void copyPosition(MeshTools& mesh, int32_t to, int32_t from) {
    const float* source = mesh.vertexAt(from)->position;
    const float p[3] = {source[0], source[1], source[2]};
    float* target = mesh.vertexAt(to)->position; // may move the records
    target[0] = p[0];
    target[1] = p[1];
    target[2] = p[2];
}

} // namespace

bool addHeightField(MeshTools& mesh, Draw<Color>& source, const D3DVECTOR& size, int32_t axisMode,
                    int32_t flipFlags) {
    const int32_t n = source.width();
    if (n < 1 || source.height() != n) {
        log(u"Error in addHeightField(): the source is %i x %i; it must be square and "
            u"not empty",
            n, source.height());
        return false;
    }
    // Vertex numbers start after what the mesh holds (0 for the tool's
    // emptied mesh) and must stay within 16-bit indices.
    const int32_t base = mesh.vertexCount();
    const int64_t added = int64_t(n) * n + 4 * int64_t(n) + 12;
    if (base < 0 || base + added > 65536) {
        log(u"Error in addHeightField(): %i more vertices do not fit 16-bit indices",
            int32_t(added));
        return false;
    }

    // The records grow to the whole count at once, not a step per row.
    mesh.vertexAt(base + int32_t(added) - 1);

    const float hx = size.x * 0.5f;
    const float hz = size.z * 0.5f;
    const float dx = (1.0f / float(n)) * size.x;
    const float dz = (1.0f / float(n)) * size.z;
    const Placement place{axisMode};
    // Toggling both mirror bits belongs to the x / y placement, as saved
    // files have always had it: both check boxes on sample unmirrored.
    if (axisMode == 0) flipFlags ^= 3;

    // Top surface: one vertex per pixel, two triangles per grid cell.
    const int32_t surfaceIndices = 6 * (n - 1) * (n - 1);
    int32_t w = mesh.indexCount();
    uint16_t* index = mesh.reserveIndices(w + surfaceIndices);
    for (int32_t j = 0; j < n; ++j) {
        for (int32_t i = 0; i < n; ++i) {
            const int32_t v = base + j * n + i;
            source.x = (flipFlags & 1) ? n - 1 - i : i;
            source.y = (flipFlags & 2) ? n - 1 - j : j;
            const float r = float(source.pixel()->r);
            const float x = float(i) * dx - hx;
            const float z = float(j) * dz - hz;
            const float h = r * kRedScale * size.y + size.y;
            if (i + 1 < n && j + 1 < n) {
                index[w++] = uint16_t(v);
                index[w++] = uint16_t(v + n);
                index[w++] = uint16_t(v + 1);
                index[w++] = uint16_t(v + 1);
                index[w++] = uint16_t(v + n);
                index[w++] = uint16_t(v + n + 1);
            }
            place(mesh.vertexAt(v)->position, x, h, z);
        }
    }
    mesh.vertexCount() += n * n;
    mesh.indexCount() += surfaceIndices;

    // Base corners, each wall and the bottom with copies of their own.
    const int32_t b = mesh.vertexCount();
    const float corners[4][3] = {
        {-hx, 0.0f, -hz}, {hx, 0.0f, -hz}, {-hx, 0.0f, hz}, {hx, 0.0f, hz}};
    const int order[12] = {0, 1, 2, 3, 0, 2, 1, 3, 0, 1, 2, 3}; // A B C D, A C B D, A B C D
    for (int32_t k = 0; k < 12; ++k) {
        const float* corner = corners[order[k]];
        place(mesh.vertexAt(b + k)->position, corner[0], corner[1], corner[2]);
    }

    const int32_t wallIndices = 12 * n + 6;
    w = mesh.indexCount();
    index = mesh.reserveIndices(w + wallIndices);
    auto triangle = [&](int32_t a, int32_t c, int32_t d) {
        index[w++] = uint16_t(a);
        index[w++] = uint16_t(c);
        index[w++] = uint16_t(d);
    };
    int32_t k = b + 12;
    // Copies one border line of the surface into vertices k, k + 1, ... and
    // returns the first copy; `border(t)` is the t-th border vertex.
    auto copyBorder = [&](auto border) {
        const int32_t first = k;
        for (int32_t t = 0; t < n; ++t) copyPosition(mesh, k++, base + border(t));
        return first;
    };

    int32_t first = copyBorder([&](int32_t t) { return t; }); // -z side, row 0
    for (int32_t c = first; c < first + n - 1; ++c) triangle(b, c, c + 1);
    triangle(b, first + n - 1, b + 1);

    first = copyBorder([&](int32_t t) { return n * (n - 1) + t; }); // +z side, row N - 1
    for (int32_t c = first; c < first + n - 1; ++c) triangle(b + 2, c + 1, c);
    triangle(b + 2, b + 3, first + n - 1);

    first = copyBorder([&](int32_t t) { return t * n; }); // -x side, column 0
    for (int32_t c = first; c < first + n - 1; ++c) triangle(b + 4, c + 1, c);
    triangle(b + 4, b + 5, first + n - 1);

    first = copyBorder([&](int32_t t) { return t * n + n - 1; }); // +x side, column N - 1
    for (int32_t c = first; c < first + n - 1; ++c) triangle(b + 6, c, c + 1);
    triangle(b + 6, first + n - 1, b + 7);

    triangle(b + 8, b + 9, b + 10); // bottom
    triangle(b + 10, b + 9, b + 11);

    mesh.vertexCount() += 4 * n + 12;
    mesh.indexCount() += wallIndices;
    return true;
}

void computeFaceNormals(MeshTools& mesh) {
    const int32_t count = mesh.indexCount();
    // Whole triangles only: a trailing partial one has no third index.
    for (int32_t t = 0; t + 2 < count; t += 3) {
        const uint16_t* corner = mesh.indices() + t;
        float p[3][3];
        for (int k = 0; k < 3; ++k) {
            const float* position = mesh.vertexAt(corner[k])->position;
            p[k][0] = position[0];
            p[k][1] = position[1];
            p[k][2] = position[2];
        }
        const float e1[3] = {p[1][0] - p[0][0], p[1][1] - p[0][1], p[1][2] - p[0][2]};
        const float e2[3] = {p[2][0] - p[0][0], p[2][1] - p[0][1], p[2][2] - p[0][2]};
        float normal[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2],
                           e1[0] * e2[1] - e1[1] * e2[0]};
        if (normal[0] != 0.0f || normal[1] != 0.0f || normal[2] != 0.0f) {
            const float lengthSquared =
                normal[0] * normal[0] + normal[1] * normal[1] + normal[2] * normal[2];
            // A square that underflows would make 1/root infinite; such a
            // sliver is as good as degenerate and gets the zero vector too.
            if (lengthSquared >= FLT_MIN) {
                const float inverse = 1.0f / tableSqrt(lengthSquared);
                normal[0] *= inverse;
                normal[1] *= inverse;
                normal[2] *= inverse;
            } else {
                normal[0] = normal[1] = normal[2] = 0.0f;
            }
        }
        for (int k = 0; k < 3; ++k) {
            float* target = mesh.vertexAt(corner[k])->normal;
            target[0] = normal[0];
            target[1] = normal[1];
            target[2] = normal[2];
        }
    }
}
