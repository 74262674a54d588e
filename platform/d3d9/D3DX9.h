// SPDX-License-Identifier: MIT
// The D3DX 9 texture helpers the engine calls: decoding image files into
// textures and saving a texture as DDS.
#pragma once

#include "d3d9/D3D9.h"

inline constexpr UINT D3DX_SDK_VERSION = 42;
inline constexpr UINT D3DX_DEFAULT = 0xFFFFFFFFu;
inline constexpr UINT D3DX_DEFAULT_NONPOW2 = 0xFFFFFFFEu;
inline constexpr DWORD D3DX_FILTER_NONE = 1;
inline constexpr DWORD D3DX_FILTER_POINT = 2;
inline constexpr DWORD D3DX_FILTER_LINEAR = 3;
inline constexpr DWORD D3DX_FILTER_TRIANGLE = 4;
inline constexpr DWORD D3DX_FILTER_BOX = 5;

enum D3DXIMAGE_FILEFORMAT : uint32_t {
    D3DXIFF_BMP = 0,
    D3DXIFF_JPG = 1,
    D3DXIFF_TGA = 2,
    D3DXIFF_PNG = 3,
    D3DXIFF_DDS = 4,
    D3DXIFF_PPM = 5,
    D3DXIFF_DIB = 6,
    D3DXIFF_HDR = 7,
    D3DXIFF_PFM = 8,
};

struct D3DXIMAGE_INFO {
    UINT Width = 0, Height = 0, Depth = 0, MipLevels = 0;
    D3DFORMAT Format = D3DFMT_UNKNOWN;
    D3DRESOURCETYPE ResourceType = D3DRTYPE_TEXTURE;
    D3DXIMAGE_FILEFORMAT ImageFileFormat = D3DXIFF_BMP;
};

// An owned block of bytes, as D3DX hands out saved files.
class ID3DXBuffer : public IUnknown {
public:
    virtual void* GetBufferPointer() = 0;
    virtual DWORD GetBufferSize() = 0;
};

BOOL D3DXCheckVersion(UINT d3dSdkVersion, UINT d3dxSdkVersion);

HRESULT D3DXCreateTextureFromFileInMemoryEx(IDirect3DDevice9* device, const void* data, UINT size,
                                            UINT width, UINT height, UINT mipLevels, DWORD usage,
                                            D3DFORMAT format, D3DPOOL pool, DWORD filter,
                                            DWORD mipFilter, D3DCOLOR colorKey,
                                            D3DXIMAGE_INFO* sourceInfo, void* palette,
                                            IDirect3DTexture9** texture);

HRESULT D3DXCreateTextureFromFileExW(IDirect3DDevice9* device, const char16_t* fileName, UINT width,
                                     UINT height, UINT mipLevels, DWORD usage, D3DFORMAT format,
                                     D3DPOOL pool, DWORD filter, DWORD mipFilter, D3DCOLOR colorKey,
                                     D3DXIMAGE_INFO* sourceInfo, void* palette,
                                     IDirect3DTexture9** texture);

HRESULT D3DXSaveTextureToFileInMemory(ID3DXBuffer** destination, D3DXIMAGE_FILEFORMAT format,
                                      IDirect3DBaseTexture9* texture, const void* palette);
