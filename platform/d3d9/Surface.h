// SPDX-License-Identifier: MIT
// Stands in for IDirect3DSurface9: a level of a texture, a render target, a
// depth-stencil surface or a swap chain's back buffer.
//  [x] texture levels lock through their texture (CPU copy, uploaded on use)
//  [x] render targets as OpenGL textures, multisampled ones as renderbuffers
//  [x] lockable render targets and back buffers read back with glReadPixels,
//      rows top-down as Direct3D lays them out
//  [ ] locking depth-stencil surfaces (not lockable formats here)
#pragma once

#include <epoxy/gl.h>

#include <vector>

#include "d3d9/Object.h"

namespace d3d9 {

class TextureCore;
struct FormatInfo;

// What a framebuffer attaches for a surface.
struct GlAttachment {
    GLuint texture = 0;
    GLenum target = GL_TEXTURE_2D; // or a cube face
    GLint level = 0;
    GLuint renderbuffer = 0;
};

class Surface final : public IDirect3DSurface9, public ResourceCore {
public:
    // A level of `container`; its counts are the container's.
    Surface(TextureCore* container, D3DCUBEMAP_FACES face, UINT level, const D3DSURFACE_DESC& desc);
    // A render target or depth-stencil surface of its own, not yet held by
    // anyone: the caller AddRefs it for the engine or holds it internally
    // (back buffers and the automatic depth surface).
    static HRESULT createTarget(Device* device, UINT width, UINT height, D3DFORMAT format,
                                D3DMULTISAMPLE_TYPE multiSample, DWORD quality, bool lockable,
                                Surface** surface);
    ~Surface() override;

    uint32_t AddRef() override;
    uint32_t Release() override;
    void grab() override;
    void drop() override;
    bool blocksReset() const override;

    HRESULT GetDevice(IDirect3DDevice9** device) override { return getDevice(device); }
    D3DRESOURCETYPE GetType() override { return D3DRTYPE_SURFACE; }
    HRESULT GetDesc(D3DSURFACE_DESC* desc) override;
    HRESULT LockRect(D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) override;
    HRESULT UnlockRect() override;

    const D3DSURFACE_DESC& desc() const { return desc_; }
    bool isDepth() const;
    bool isRenderTarget() const { return (desc_.Usage & D3DUSAGE_RENDERTARGET) != 0; }
    TextureCore* container() const { return container_; }
    GlAttachment attachment();

private:
    Surface(Device* device, const D3DSURFACE_DESC& desc, bool lockable);
    HRESULT allocate(DWORD quality);

    D3DSURFACE_DESC desc_;
    const FormatInfo* info_ = nullptr;
    TextureCore* container_ = nullptr;
    D3DCUBEMAP_FACES face_ = D3DCUBEMAP_FACE_POSITIVE_X;
    UINT level_ = 0;
    bool lockable_ = false;
    bool locked_ = false;
    bool lockReadOnly_ = false;
    GLuint texture_ = 0;
    GLuint renderbuffer_ = 0;
    std::vector<uint8_t> bytes_; // CPU pixels, or what a lock read back
};

} // namespace d3d9
