// SPDX-License-Identifier: MIT
// What the relief tests share: pictures painted into the real 120 x 120
// preview (red carries the height; blue and green are filled with noise so a
// builder reading the wrong byte shows), and positions read back as values.
#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/Embossa.h"
#include "app/IndexedMesh.h"
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
    IndexedMesh copy;
    copyMesh(mesh, copy);
    mesh_file::writeObj(copy, bytes);
    return std::string(bytes.begin(), bytes.end());
}

// What makes a block a solid: every edge, by the positions of its ends,
// used exactly once in each direction (closed and consistently wound), and
// a positive enclosed volume (wound outward).
struct Solidity {
    int64_t openEdges = 0;
    double volume = 0;
};

inline Solidity solidity(const IndexedMesh& mesh) {
    // Vertices with equal positions get one id; an edge is (from id, to id).
    using Key = std::array<uint32_t, 3>;
    std::vector<Key> keys(size_t(mesh.vertexCount()));
    for (int64_t v = 0; v < mesh.vertexCount(); ++v) {
        const float* p = mesh.position(v);
        keys[size_t(v)] = {std::bit_cast<uint32_t>(p[0]), std::bit_cast<uint32_t>(p[1]),
                           std::bit_cast<uint32_t>(p[2])};
    }
    std::vector<Key> distinct = keys;
    std::sort(distinct.begin(), distinct.end());
    std::vector<uint64_t> id(keys.size());
    for (size_t v = 0; v < keys.size(); ++v)
        id[v] = uint64_t(std::lower_bound(distinct.begin(), distinct.end(), keys[v]) -
                         distinct.begin());

    Solidity result;
    std::vector<uint64_t> edges;
    const std::vector<uint32_t>& index = mesh.indices;
    for (size_t t = 0; t + 2 < index.size(); t += 3) {
        for (size_t k = 0; k < 3; ++k)
            edges.push_back(id[index[t + k]] << 32 | id[index[t + (k + 1) % 3]]);
        const float *a = mesh.position(index[t]), *b = mesh.position(index[t + 1]),
                    *c = mesh.position(index[t + 2]);
        result.volume += (double(a[0]) * (double(b[1]) * c[2] - double(b[2]) * c[1]) -
                          double(a[1]) * (double(b[0]) * c[2] - double(b[2]) * c[0]) +
                          double(a[2]) * (double(b[0]) * c[1] - double(b[1]) * c[0])) /
                         6.0;
    }
    std::sort(edges.begin(), edges.end());
    for (size_t e = 0; e < edges.size(); ++e) {
        const bool repeated = (e > 0 && edges[e - 1] == edges[e]) ||
                              (e + 1 < edges.size() && edges[e + 1] == edges[e]);
        const uint64_t back = edges[e] << 32 | edges[e] >> 32;
        if (repeated || !std::binary_search(edges.begin(), edges.end(), back)) ++result.openEdges;
    }
    return result;
}

// The "v" and "f" lines of an OBJ file, read back.
inline IndexedMesh readObj(const std::string& text) {
    IndexedMesh mesh;
    size_t at = 0;
    while (at < text.size()) {
        const size_t end = std::min(text.find('\n', at), text.size());
        const std::string line = text.substr(at, end - at);
        float p[3];
        unsigned f[3];
        if (std::sscanf(line.c_str(), "v %f %f %f", &p[0], &p[1], &p[2]) == 3)
            mesh.positions.insert(mesh.positions.end(), p, p + 3);
        else if (std::sscanf(line.c_str(), "f %u %u %u", &f[0], &f[1], &f[2]) == 3)
            for (unsigned corner : f) mesh.indices.push_back(corner - 1);
        at = end + 1;
    }
    return mesh;
}

} // namespace relief
