// SPDX-License-Identifier: MIT
// The D3DX texture functions answer through a backend: D3DX.cpp's own, on
// the image codec and this runtime's textures, unless a test installs
// another. A device from a Direct3D of the test's own (the renderer's tests
// bring one) needs a D3DX that knows that device's textures.
#pragma once

#include <memory>

#include "d3d9/D3DX9.h"

class D3DXBackend {
public:
    virtual ~D3DXBackend() = default;
    virtual BOOL checkVersion(UINT d3dSdkVersion, UINT d3dxSdkVersion) = 0;
    virtual HRESULT createTextureFromFileInMemoryEx(IDirect3DDevice9* device, const void* data,
                                                    UINT size, UINT width, UINT height,
                                                    UINT mipLevels, DWORD usage, D3DFORMAT format,
                                                    D3DPOOL pool, DWORD filter, DWORD mipFilter,
                                                    D3DCOLOR colorKey, D3DXIMAGE_INFO* sourceInfo,
                                                    void* palette, IDirect3DTexture9** texture) = 0;
    virtual HRESULT createTextureFromFileExW(IDirect3DDevice9* device, const char16_t* fileName,
                                             UINT width, UINT height, UINT mipLevels, DWORD usage,
                                             D3DFORMAT format, D3DPOOL pool, DWORD filter,
                                             DWORD mipFilter, D3DCOLOR colorKey,
                                             D3DXIMAGE_INFO* sourceInfo, void* palette,
                                             IDirect3DTexture9** texture) = 0;
    virtual HRESULT saveTextureToFileInMemory(ID3DXBuffer** destination,
                                              D3DXIMAGE_FILEFORMAT format,
                                              IDirect3DBaseTexture9* texture,
                                              const void* palette) = 0;
};

namespace d3d9::test {
// Installs `backend`; null puts D3DX's own back.
void setD3DXBackend(std::shared_ptr<D3DXBackend> backend);
} // namespace d3d9::test
