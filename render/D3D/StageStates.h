// SPDX-License-Identifier: MIT
// The few fixed-function settings that untextured drawing (the grid, the
// gizmos, the relief) switches on and off around itself, so that every
// caller leaves the device in the state textured drawing expects.
#pragma once

#include "d3d9/D3D9.h"

namespace D3D {

D3DMATRIX identityMatrix();
void setIdentityWorld(IDirect3DDevice9* device);
// Stage 0 passes the vertex or lit colour through; no texture, no alpha.
void useVertexColour(IDirect3DDevice9* device);
// Stage 0 back to the default: texture times colour, the texture's alpha.
void useTexture(IDirect3DDevice9* device);

} // namespace D3D
