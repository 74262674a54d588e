// SPDX-License-Identifier: MIT
// A Mesh copied into a Direct3D vertex buffer and index buffer in the managed
// pool, for the scene code that draws with DrawIndexedPrimitive. Uploads and
// binds on the engine's current device; with no device, or when a buffer
// cannot be made, that buffer stays null and draws with it show nothing.
// Meshes with bones would overwrite their animated vertices after the copy
// in upload; no mesh of this program carries bones, so that step is absent.
#pragma once

#include <cstdint>
#include <cstring>

#include "core/Log.h"
#include "d3d9/D3D9.h"
#include "render/D3D/D3D.h"
#include "render/Mesh.h"

template <class V, uint32_t FVF>
class D3DMesh {
public:
    IDirect3DVertexBuffer9* vertexBuffer = nullptr;
    IDirect3DIndexBuffer9* indexBuffer = nullptr;
    int32_t vertexCount = 0;
    int32_t indexCount = 0;
    int32_t reserved = 0;
    int32_t triangleCount = 0;

    D3DMesh() = default;
    D3DMesh(const D3DMesh&) = delete;
    D3DMesh& operator=(const D3DMesh&) = delete;
    virtual ~D3DMesh() { releaseBuffers(); }

    // Call once the mesh is complete, and again after it changed.
    virtual void upload(Mesh<V, FVF>& mesh) {
        releaseBuffers();
        vertexCount = 0;
        indexCount = 0;
        triangleCount = 0;
        IDirect3DDevice9* device = D3D::currentDevice;
        const int32_t vertices = mesh.vertexTotal;
        const int32_t indices = mesh.indexTotal;

        if (device && vertices > 0) {
            const UINT bytes = UINT(vertices) * UINT(sizeof(V));
            const HRESULT result = device->CreateVertexBuffer(
                bytes, D3DUSAGE_WRITEONLY, FVF, D3DPOOL_MANAGED, &vertexBuffer, nullptr);
            if (FAILED(result)) {
                vertexBuffer = nullptr;
                log(u"Error in D3DMesh::upload(): CreateVertexBuffer(): %s",
                    D3D::errorName(result));
            } else if (void* data = lock(vertexBuffer, bytes)) {
                auto* out = static_cast<unsigned char*>(data);
                for (int32_t i = 0; i < vertices; ++i)
                    std::memcpy(out + size_t(i) * sizeof(V), &mesh.records.get(i)->vertex,
                                sizeof(V));
                vertexBuffer->Unlock();
            }
        }
        if (device && indices > 0) {
            const UINT bytes = UINT(indices) * 2;
            const HRESULT result = device->CreateIndexBuffer(
                bytes, D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_MANAGED, &indexBuffer, nullptr);
            if (FAILED(result)) {
                indexBuffer = nullptr;
                log(u"Error in D3DMesh::upload(): CreateIndexBuffer(): %s", D3D::errorName(result));
            } else if (void* data = lock(indexBuffer, bytes)) {
                std::memcpy(data, mesh.indexData.get(0), bytes);
                indexBuffer->Unlock();
            }
        }
        vertexCount = vertices;
        indexCount = indices;
        triangleCount = indices / 3;
    }

    // Before each DrawIndexedPrimitive.
    virtual void bind() {
        IDirect3DDevice9* device = D3D::currentDevice;
        if (!device) return;
        device->SetFVF(FVF);
        device->SetStreamSource(0, vertexBuffer, 0, UINT(sizeof(V)));
        device->SetIndices(indexBuffer);
    }

private:
    // A buffer that cannot be filled is dropped rather than drawn with
    // whatever it held.
    template <class Buffer>
    void* lock(Buffer*& buffer, UINT bytes) {
        void* data = nullptr;
        const HRESULT result = buffer->Lock(0, bytes, &data, 0);
        if (SUCCEEDED(result) && data) return data;
        log(u"Error in D3DMesh::upload(): Lock(): %s", D3D::errorName(result));
        if (SUCCEEDED(result)) buffer->Unlock();
        buffer->Release();
        buffer = nullptr;
        return nullptr;
    }

    void releaseBuffers() {
        if (vertexBuffer) vertexBuffer->Release();
        if (indexBuffer) indexBuffer->Release();
        vertexBuffer = nullptr;
        indexBuffer = nullptr;
    }
};
