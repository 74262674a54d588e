// SPDX-License-Identifier: MIT
// The dialog's relief: the block of the preview's red channel, moved into
// the engine mesh the 3D view draws, and the view's flat shading.
#include <cfloat>

#include "app/HeightField.h"

#include "app/ReliefBlock.h"
#include "app/ReliefHeights.h"
#include "core/Log.h"
#include "core/TableSqrt.h"

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
    const int64_t added = app::blockVertexCount(n);
    if (base < 0 || base + added > 65536) {
        log(u"Error in addHeightField(): %i more vertices do not fit 16-bit indices",
            int32_t(added));
        return false;
    }

    app::HeightGrid heights;
    app::readPixelHeights(source, app::HeightChannel::Red, false, heights);
    // The size's y is both the height range and the base's height.
    const app::ReliefShape shape{size.x, size.z, size.y, size.y, axisMode, flipFlags};
    IndexedMesh block;
    app::buildBlock(heights, shape, block);

    // The records grow to the whole count at once, not a step per vertex.
    mesh.vertexAt(base + int32_t(added) - 1);
    for (int32_t v = 0; v < int32_t(added); ++v) {
        const float* from = block.position(v);
        float* to = mesh.vertexAt(base + v)->position;
        to[0] = from[0];
        to[1] = from[1];
        to[2] = from[2];
    }
    const int32_t first = mesh.indexCount();
    const int32_t count = int32_t(block.indices.size());
    uint16_t* index = mesh.reserveIndices(first + count) + first;
    for (uint32_t i : block.indices) *index++ = uint16_t(base + int32_t(i));
    mesh.vertexCount() += int32_t(added);
    mesh.indexCount() += count;
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
