// SPDX-License-Identifier: MIT
// Stands in for IDirect3DTexture9 and IDirect3DCubeTexture9.
//  [x] MANAGED, SYSTEMMEM and SCRATCH levels live in CPU memory; MANAGED ones
//      upload the levels a lock changed when next drawn
//  [x] DEFAULT textures live on the GPU; DYNAMIC ones keep a CPU copy so
//      they lock; RENDERTARGET ones are drawn into and cannot be locked
//  [x] on the CPU-only device every texture is CPU memory
//  [ ] D3DUSAGE_AUTOGENMIPMAP (created with one level, logged once)
#pragma once

#include <epoxy/gl.h>

#include <memory>
#include <vector>

#include "d3d9/Object.h"
#include "d3d9/Surface.h"

namespace d3d9 {

struct FormatInfo;

class TextureCore : public ResourceCore {
public:
    TextureCore(Device* device, bool cube, UINT width, UINT height, UINT levels, DWORD usage,
                D3DFORMAT format, D3DPOOL pool);
    ~TextureCore() override;

    // Checks the arguments as Direct3D does and allocates the levels.
    HRESULT init();
    virtual IDirect3DBaseTexture9* baseInterface() = 0;

    bool cube() const { return cube_; }
    UINT levelCount() const { return levelCount_; }
    UINT width(UINT level) const;
    UINT height(UINT level) const;
    D3DFORMAT format() const { return format_; }
    DWORD usage() const { return usage_; }
    const FormatInfo& info() const { return *info_; }
    bool keepsCpuCopy() const { return cpuCopy_; }

    HRESULT levelDesc(UINT level, D3DSURFACE_DESC* desc) const;
    HRESULT surface(D3DCUBEMAP_FACES face, UINT level, IDirect3DSurface9** surface);
    HRESULT lock(D3DCUBEMAP_FACES face, UINT level, D3DLOCKED_RECT* locked, const RECT* rect,
                 DWORD flags);
    HRESULT unlock(D3DCUBEMAP_FACES face, UINT level);
    // Whole levels in and out, for D3DX: unlike locks these also reach
    // default-pool textures, as D3DX does through a system-memory copy.
    // Rows are levelPitch(level) bytes apart.
    HRESULT writeLevel(D3DCUBEMAP_FACES face, UINT level, const uint8_t* bytes);
    HRESULT readLevel(D3DCUBEMAP_FACES face, UINT level, std::vector<uint8_t>& bytes);
    uint32_t levelPitch(UINT level) const;

    // The OpenGL texture, made and brought up to date with the CPU levels.
    GLuint prepareForDrawing();
    GlAttachment attachment(D3DCUBEMAP_FACES face, UINT level);

    uint32_t containerAddRef() { return addPublic(); }
    uint32_t containerRelease() { return releasePublic(); }

private:
    struct Level {
        std::vector<uint8_t> bytes;
        bool dirty = false;
        bool locked = false;
        bool lockReadOnly = false;
    };
    Level& slot(D3DCUBEMAP_FACES face, UINT level) { return levels_[face * levelCount_ + level]; }
    const Level& slot(D3DCUBEMAP_FACES face, UINT level) const {
        return levels_[face * levelCount_ + level];
    }
    UINT faces() const { return cube_ ? 6 : 1; }
    GLenum glTarget(D3DCUBEMAP_FACES face) const;
    bool createGlTexture();
    void upload(D3DCUBEMAP_FACES face, UINT level);

    bool cube_;
    UINT width_, height_, levelCount_;
    DWORD usage_;
    D3DFORMAT format_;
    const FormatInfo* info_ = nullptr;
    bool cpuCopy_ = false;
    bool onGpu_ = false;
    GLuint texture_ = 0;
    std::vector<Level> levels_;
    std::vector<std::unique_ptr<Surface>> surfaces_;
};

class Texture final : public IDirect3DTexture9, public TextureCore {
public:
    using TextureCore::TextureCore;
    uint32_t AddRef() override { return addPublic(); }
    uint32_t Release() override { return releasePublic(); }
    HRESULT GetDevice(IDirect3DDevice9** device) override { return getDevice(device); }
    D3DRESOURCETYPE GetType() override { return D3DRTYPE_TEXTURE; }
    DWORD GetLevelCount() override { return levelCount(); }
    HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) override {
        return levelDesc(level, desc);
    }
    HRESULT GetSurfaceLevel(UINT level, IDirect3DSurface9** surface) override {
        return this->surface(D3DCUBEMAP_FACE_POSITIVE_X, level, surface);
    }
    HRESULT LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) override {
        return lock(D3DCUBEMAP_FACE_POSITIVE_X, level, locked, rect, flags);
    }
    HRESULT UnlockRect(UINT level) override { return unlock(D3DCUBEMAP_FACE_POSITIVE_X, level); }
    IDirect3DBaseTexture9* baseInterface() override { return this; }
};

class CubeTexture final : public IDirect3DCubeTexture9, public TextureCore {
public:
    using TextureCore::TextureCore;
    uint32_t AddRef() override { return addPublic(); }
    uint32_t Release() override { return releasePublic(); }
    HRESULT GetDevice(IDirect3DDevice9** device) override { return getDevice(device); }
    D3DRESOURCETYPE GetType() override { return D3DRTYPE_CUBETEXTURE; }
    DWORD GetLevelCount() override { return levelCount(); }
    HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) override {
        return levelDesc(level, desc);
    }
    HRESULT GetCubeMapSurface(D3DCUBEMAP_FACES face, UINT level,
                              IDirect3DSurface9** surface) override {
        return this->surface(face, level, surface);
    }
    HRESULT LockRect(D3DCUBEMAP_FACES face, UINT level, D3DLOCKED_RECT* locked, const RECT* rect,
                     DWORD flags) override {
        return lock(face, level, locked, rect, flags);
    }
    HRESULT UnlockRect(D3DCUBEMAP_FACES face, UINT level) override { return unlock(face, level); }
    IDirect3DBaseTexture9* baseInterface() override { return this; }
};

// The runtime's texture behind an interface pointer; null for foreign objects.
TextureCore* textureCore(IDirect3DBaseTexture9* texture);

} // namespace d3d9
