// SPDX-License-Identifier: MIT
// The relief builder's operations on a mesh: the closed block of a square
// height source, and flat face normals. Every coordinate is single-precision
// arithmetic in a fixed order, so the saved file's bytes are the same on
// every machine.
#pragma once

#include <cstdint>

#include "core/DialogTools.h"
#include "d3d9/D3D9Types.h"
#include "render/MeshTools.h"

// Appends the relief of a square source (its red channel): surface, four
// walls and bottom, placed by axisMode (0: x/y, 1: x/z, 2: y/z) and mirrored
// by flipFlags (1: image x, 2: image y). Returns false and appends nothing
// when the source is not square, is empty or would pass 16-bit indices.
bool addHeightField(MeshTools& mesh, Draw<Color>& source, const D3DVECTOR& size, int32_t axisMode,
                    int32_t flipFlags);
// Flat shading: every triangle's unit normal on its three vertices.
void computeFaceNormals(MeshTools& mesh);
