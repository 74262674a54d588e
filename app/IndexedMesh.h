// SPDX-License-Identifier: MIT
// A triangle mesh as two plain arrays: what the relief builder makes and
// what the mesh files are written from. Its indices are 32-bit, so a relief
// on a fine grid may hold more vertices than the engine's 16-bit meshes.
#pragma once

#include <cstdint>
#include <vector>

#include "render/MeshTools.h"

struct IndexedMesh {
    std::vector<float> positions;  // x, y, z of each vertex
    std::vector<uint32_t> indices; // three a triangle

    int64_t vertexCount() const { return int64_t(positions.size() / 3); }
    int64_t triangleCount() const { return int64_t(indices.size() / 3); }
    const float* position(int64_t i) const { return positions.data() + 3 * i; }
    void clear() {
        positions.clear();
        indices.clear();
    }
};

// The engine mesh's counted vertices and whole triangles into `out`; a
// negative count reads as none.
void copyMesh(MeshTools& mesh, IndexedMesh& out);
