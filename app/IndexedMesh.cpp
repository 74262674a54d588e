// SPDX-License-Identifier: MIT
#include "app/IndexedMesh.h"

void copyMesh(MeshTools& mesh, IndexedMesh& out) {
    const int32_t vertices = mesh.vertexCount() > 0 ? mesh.vertexCount() : 0;
    const int32_t indices = mesh.indexCount() > 0 ? mesh.indexCount() / 3 * 3 : 0;
    out.positions.resize(size_t(vertices) * 3);
    for (int32_t i = 0; i < vertices; ++i) {
        const float* p = mesh.vertexAt(i)->position;
        float* to = out.positions.data() + 3 * size_t(i);
        to[0] = p[0];
        to[1] = p[1];
        to[2] = p[2];
    }
    const uint16_t* index = mesh.indices();
    out.indices.assign(index, index + indices);
}
