// SPDX-License-Identifier: MIT
// Vertex and index buffers: CPU bytes for every pool, mirrored into an
// OpenGL buffer when a draw needs them.
#include "d3d9/Buffers.h"

#include "d3d9/Device.h"

namespace d3d9 {

BufferCore::BufferCore(Device* device, UINT length, DWORD usage, D3DPOOL pool)
    : ResourceCore(device, pool), bytes_(length), usage_(usage) {}

BufferCore::~BufferCore() {
    if (buffer_ && device()->makeCurrent()) glDeleteBuffers(1, &buffer_);
}

HRESULT BufferCore::lock(UINT offset, UINT size, void** data, DWORD flags) {
    if (!data) return D3DERR_INVALIDCALL;
    *data = nullptr;
    if (offset > bytes_.size() || (size != 0 && size > bytes_.size() - offset))
        return D3DERR_INVALIDCALL;
    ++locks_;
    if (!(flags & D3DLOCK_READONLY)) dirty_ = true;
    *data = bytes_.data() + offset;
    return D3D_OK;
}

HRESULT BufferCore::unlock() {
    if (locks_ == 0) return D3DERR_INVALIDCALL;
    --locks_;
    return D3D_OK;
}

void BufferCore::bind(GLenum target) {
    if (!buffer_) glGenBuffers(1, &buffer_);
    glBindBuffer(target, buffer_);
    if (dirty_) {
        GLenum hint = (usage_ & D3DUSAGE_DYNAMIC) ? GL_DYNAMIC_DRAW : GL_STATIC_DRAW;
        glBufferData(target, GLsizeiptr(bytes_.size()), bytes_.data(), hint);
        dirty_ = false;
    }
}

HRESULT VertexBuffer::GetDesc(D3DVERTEXBUFFER_DESC* desc) {
    if (!desc) return D3DERR_INVALIDCALL;
    desc->Format = D3DFMT_UNKNOWN;
    desc->Type = D3DRTYPE_VERTEXBUFFER;
    desc->Usage = usage();
    desc->Pool = pool();
    desc->Size = length();
    desc->FVF = fvf_;
    return D3D_OK;
}

HRESULT IndexBuffer::GetDesc(D3DINDEXBUFFER_DESC* desc) {
    if (!desc) return D3DERR_INVALIDCALL;
    desc->Format = format_;
    desc->Type = D3DRTYPE_INDEXBUFFER;
    desc->Usage = usage();
    desc->Pool = pool();
    desc->Size = length();
    return D3D_OK;
}

} // namespace d3d9
