// SPDX-License-Identifier: MIT
// A mesh as a file: the Wavefront OBJ text the tool has always written
// (header, one group, "v" lines, an empty line, "f" lines), and binary STL
// and little-endian PLY of the same positions and triangles. Bytes are built
// in memory and replace the target only once all of them are on disk. The
// builders are separate so tests and benchmarks can look at the bytes alone.
#pragma once

#include <string>
#include <vector>

#include "app/IndexedMesh.h"
#include "core/String.h"

namespace mesh_file {

enum class Format { None, Obj, Stl, Ply };

// By the text after the last '.' of the whole path, case ignored; a path
// without '.' has the empty extension and so no format.
Format formatOf(const String& path);

// Each replaces `out` by the whole file. The triangles are the index list's
// complete triples; every index must name one of the vertices.
void writeObj(const IndexedMesh& mesh, std::vector<char>& out);
void writeStl(const IndexedMesh& mesh, std::vector<char>& out);
void writePly(const IndexedMesh& mesh, std::vector<char>& out);

// "Save": writes the mesh as the path's extension says (obj, stl, ply; case
// ignored), building the bytes in `bytes`, which repeated saves may reuse.
// The old file is replaced only by a complete new one; a failure is logged,
// leaves it as it was, and puts one line naming the file and the reason
// into `why` when given. Returns whether it saved.
bool save(const IndexedMesh& mesh, const String& path, std::vector<char>& bytes,
          std::string* why = nullptr);
// The engine mesh's counted vertices and whole triangles, saved as above
// with the mesh's own byte buffer.
bool save(MeshTools& mesh, const String& path, std::string* why = nullptr);

} // namespace mesh_file
