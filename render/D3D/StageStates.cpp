// SPDX-License-Identifier: MIT
#include "render/D3D/StageStates.h"

namespace D3D {

D3DMATRIX identityMatrix() {
    D3DMATRIX m;
    for (int i = 0; i < 4; ++i) m.m[i][i] = 1.0f;
    return m;
}

void setIdentityWorld(IDirect3DDevice9* device) {
    const D3DMATRIX identity = identityMatrix();
    device->SetTransform(D3DTS_WORLD, &identity);
}

void useVertexColour(IDirect3DDevice9* device) {
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
}

void useTexture(IDirect3DDevice9* device) {
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
}

} // namespace D3D
