// SPDX-License-Identifier: MIT
// Stands in for IDirect3DVertexBuffer9 and IDirect3DIndexBuffer9.
//  [x] every pool keeps the bytes in CPU memory; an OpenGL buffer is filled
//      from them when a draw uses the buffer after a lock changed it
//  [x] nested locks, DISCARD, NOOVERWRITE and READONLY (the last skips the upload)
#pragma once

#include <epoxy/gl.h>

#include <vector>

#include "d3d9/Object.h"

namespace d3d9 {

class BufferCore : public ResourceCore {
public:
    BufferCore(Device* device, UINT length, DWORD usage, D3DPOOL pool);
    ~BufferCore() override;

    HRESULT lock(UINT offset, UINT size, void** data, DWORD flags);
    HRESULT unlock();
    UINT length() const { return UINT(bytes_.size()); }
    DWORD usage() const { return usage_; }
    const uint8_t* bytes() const { return bytes_.data(); }
    // Binds the OpenGL buffer to `target`, uploading what changed.
    void bind(GLenum target);

private:
    std::vector<uint8_t> bytes_;
    DWORD usage_;
    int locks_ = 0;
    bool dirty_ = true;
    GLuint buffer_ = 0;
};

class VertexBuffer final : public IDirect3DVertexBuffer9, public BufferCore {
public:
    VertexBuffer(Device* device, UINT length, DWORD usage, DWORD fvf, D3DPOOL pool)
        : BufferCore(device, length, usage, pool), fvf_(fvf) {}
    uint32_t AddRef() override { return addPublic(); }
    uint32_t Release() override { return releasePublic(); }
    HRESULT GetDevice(IDirect3DDevice9** device) override { return getDevice(device); }
    D3DRESOURCETYPE GetType() override { return D3DRTYPE_VERTEXBUFFER; }
    HRESULT Lock(UINT offset, UINT size, void** data, DWORD flags) override {
        return lock(offset, size, data, flags);
    }
    HRESULT Unlock() override { return unlock(); }
    HRESULT GetDesc(D3DVERTEXBUFFER_DESC* desc) override;

private:
    DWORD fvf_;
};

class IndexBuffer final : public IDirect3DIndexBuffer9, public BufferCore {
public:
    IndexBuffer(Device* device, UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool)
        : BufferCore(device, length, usage, pool), format_(format) {}
    uint32_t AddRef() override { return addPublic(); }
    uint32_t Release() override { return releasePublic(); }
    HRESULT GetDevice(IDirect3DDevice9** device) override { return getDevice(device); }
    D3DRESOURCETYPE GetType() override { return D3DRTYPE_INDEXBUFFER; }
    HRESULT Lock(UINT offset, UINT size, void** data, DWORD flags) override {
        return lock(offset, size, data, flags);
    }
    HRESULT Unlock() override { return unlock(); }
    HRESULT GetDesc(D3DINDEXBUFFER_DESC* desc) override;
    D3DFORMAT format() const { return format_; }

private:
    D3DFORMAT format_;
};

} // namespace d3d9
