// SPDX-License-Identifier: MIT
// Saving a mesh: the Wavefront OBJ text the tool has always written (header,
// one group, "v" lines, an empty line, "f" lines), and binary STL and
// little-endian PLY of the same positions and triangles. Bytes are built in
// memory and replace the target only once all of them are on disk. The
// builders are separate so tests and benchmarks can look at the bytes alone.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "core/String.h"
#include "render/MeshTools.h"

namespace mesh_file {

enum class Format { None, Obj, Stl, Ply };

// By the text after the last '.' of the whole path, case ignored; a path
// without '.' has the empty extension and so no format.
Format formatOf(const String& path);

// Each replaces `out` by the whole file. The triangles are the index list's
// complete triples; every index must name one of the counted vertices.
void writeObj(MeshTools& mesh, std::vector<char>& out);
void writeStl(MeshTools& mesh, std::vector<char>& out);
void writePly(MeshTools& mesh, std::vector<char>& out);

// Puts `size` bytes at `path` (engine path text): a regular file is replaced
// through a synced temporary file and a rename. Only where the folder
// refuses the temporary file is an existing file rewritten in place instead
// (sys::rewriteInPlace). A folder, a pipe, a device, a read-only file or a
// pack entry is refused. On failure `why` holds one line naming the file and
// the reason, and the old file is untouched unless `why` says otherwise.
bool replaceFile(const String& path, const void* data, size_t size, std::string& why);

// MeshTools::save, handing the reason for a failure back to the caller (the
// command line prints it; the dialog only logs it).
bool saveMesh(MeshTools& mesh, const String& path, std::string* why);

} // namespace mesh_file
