// SPDX-License-Identifier: MIT
// The engine's in-memory triangle mesh over a vertex type V and its vertex
// format code FVF: vertex records that know where each component of their
// vertex lies, a 16-bit triangle list, a bounding box, a texture and a packed
// vertex copy for drawing from memory. At most 65,536 vertices (16-bit
// indices); arrays grow in whole steps and never shrink. The three interface
// views (MeshTools, Shaper, Framer) all reach the one implementation here.
#pragma once

#include <cassert>
#include <cstddef>
#include <cstdint>

#include "core/Array.h"
#include "core/String.h"
#include "d3d9/D3D9Types.h"
#include "render/MeshTools.h"
#include "render/StructTexture.h"

namespace mesh_layout {

// The vertex format components a record can point into, in the order
// Direct3D lays them out in a vertex.
inline constexpr uint32_t kKnownComponents =
    D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE | D3DFVF_TEX1;

template <uint32_t FVF>
struct Offsets {
    static constexpr size_t position = 0;
    static constexpr size_t normal = position + ((FVF & D3DFVF_XYZ) ? 12 : 0);
    static constexpr size_t diffuse = normal + ((FVF & D3DFVF_NORMAL) ? 12 : 0);
    static constexpr size_t texCoord = diffuse + ((FVF & D3DFVF_DIFFUSE) ? 4 : 0);
    static constexpr size_t size = texCoord + ((FVF & D3DFVF_TEX1) ? 8 : 0);
};

// Where a record points for a component its format lacks; shared by all
// records of all meshes, so writes there are lost and reads see garbage.
struct Dummies {
    static inline float position[3];
    static inline float normal[3];
    static inline uint32_t diffuse;
    static inline float texCoord[2];
};

} // namespace mesh_layout

template <class V, uint32_t FVF>
class VertexData {
    static_assert((FVF & ~mesh_layout::kKnownComponents) == 0,
                  "VertexData knows position, normal, diffuse and one texture coordinate only");
    static_assert(sizeof(V) == mesh_layout::Offsets<FVF>::size,
                  "the vertex type must be laid out exactly as its format says");

public:
    V vertex{};
    VertexComponents components;

    VertexData() { aim(); }
    // The pointers are this record's own; copying takes only the vertex, so
    // the arrays (which copy element-wise when they grow) keep them right.
    VertexData(const VertexData& other) : vertex(other.vertex) { aim(); }
    VertexData& operator=(const VertexData& other) {
        vertex = other.vertex;
        return *this;
    }

private:
    template <class T>
    T* at(size_t offset) {
        return reinterpret_cast<T*>(reinterpret_cast<unsigned char*>(&vertex) + offset);
    }
    void aim() {
        using Layout = mesh_layout::Offsets<FVF>;
        using mesh_layout::Dummies;
        components.position = (FVF & D3DFVF_XYZ) ? at<float>(Layout::position) : Dummies::position;
        components.normal = (FVF & D3DFVF_NORMAL) ? at<float>(Layout::normal) : Dummies::normal;
        components.diffuse =
            (FVF & D3DFVF_DIFFUSE) ? at<uint32_t>(Layout::diffuse) : &Dummies::diffuse;
        components.texCoord = (FVF & D3DFVF_TEX1) ? at<float>(Layout::texCoord) : Dummies::texCoord;
    }
};

template <class V, uint32_t FVF>
class Mesh : public MeshTools, public Shaper, public Framer {
public:
    using Record = VertexData<V, FVF>;
    static constexpr uint32_t kFvf = FVF;
    static constexpr int32_t kVertexStep = 1024;
    static constexpr int32_t kIndexStep = 3072;

    String meshName;
    DynArray<Record> records{1, kVertexStep};
    // Written by bone animation only, which no mesh of this program has.
    DynArray<Record> animatedRecords{1, kVertexStep};
    DynArray<uint16_t> indexData{0, kIndexStep};
    // The arrays may hold more elements than these count.
    int32_t vertexTotal = 0;
    int32_t indexTotal = 0;
    MeshBounds box;
    int32_t reserved = 0;
    StructTexture textureHandle;
    // The plain vertex array handed to DrawIndexedPrimitiveUP.
    DynArray<V> packedVertices{0, kVertexStep};

    Mesh() = default;
    Mesh(const Mesh&) = delete;
    Mesh& operator=(const Mesh&) = delete;
    virtual ~Mesh() = default;

    // The three views of this one mesh (a plain conversion would be ambiguous).
    MeshTools& tools() { return *this; }
    Shaper& shaper() { return *this; }
    Framer& framer() { return *this; }

    String& name() override { return meshName; }
    uint32_t fvf() override { return FVF; }
    VertexComponents* vertexComponents() override { return &records.get(0)->components; }
    VertexComponents* animatedComponents() override { return &animatedRecords.get(0)->components; }
    int32_t& vertexCount() override { return vertexTotal; }

    VertexComponents* vertexAt(int32_t i) override {
        assert(i >= 0 && "vertex numbers count from 0");
        return &records.get(i)->components;
    }

    uint16_t* addIndex(uint16_t value) override {
        // A refused allocation has been logged; the list stays as it was.
        uint16_t* slot = indexData.get(indexTotal);
        if (!slot) return nullptr;
        *slot = value;
        ++indexTotal;
        return slot;
    }

    uint16_t* addIndices(const uint16_t* source, int32_t count, int32_t base,
                         int32_t reverse) override {
        if (count > 0 && source) {
            indexData.reserve(indexTotal + count);
            // A refused allocation has been logged; the list stays as it was.
            if (indexData.capacity >= indexTotal + count) {
                uint16_t* out = indexData.items + indexTotal;
                for (int32_t k = 0; k < count; ++k)
                    out[k] = uint16_t(source[reverse ? count - 1 - k : k] + base);
                indexTotal += count;
            }
        }
        return indexData.items ? indexData.items + indexTotal : nullptr;
    }

    // A position outside the list changes nothing: dropping the count first,
    // as the engine once did, would lose the last index (or go negative).
    void removeIndex(int32_t i) override {
        if (i < 0 || i >= indexTotal) return;
        --indexTotal;
        for (int32_t j = i; j < indexTotal; ++j) indexData.items[j] = indexData.items[j + 1];
    }

    uint16_t* index(int32_t i) override {
        assert(i >= 0 && "index positions count from 0");
        return indexData.get(i);
    }
    uint16_t* indices() override { return indexData.items; }
    uint16_t* reserveIndices(int32_t count) override {
        indexData.reserve(count);
        return indexData.items;
    }
    int32_t& indexCount() override { return indexTotal; }

    void addTriangle(uint16_t a, uint16_t b, uint16_t c) override {
        const uint16_t triangle[3] = {a, b, c};
        addIndices(triangle, 3, 0, 0);
    }

    void removeTriangle(int32_t t) override {
        if (t < 0 || int64_t(t) * 3 + 3 > indexTotal) return;
        indexTotal -= 3;
        for (int32_t j = t * 3; j < indexTotal; ++j) indexData.items[j] = indexData.items[j + 3];
    }

    void setBounds(const MeshBounds& other) override { box = other; }
    MeshBounds& bounds() override { return box; }

    void computeBounds() override {
        if (vertexTotal <= 0) return;
        const float* first = records.get(0)->components.position;
        for (int axis = 0; axis < 3; ++axis) box.minimum[axis] = box.maximum[axis] = first[axis];
        for (int32_t i = 1; i < vertexTotal; ++i) {
            const float* p = records.get(i)->components.position;
            for (int axis = 0; axis < 3; ++axis) {
                if (p[axis] < box.minimum[axis]) box.minimum[axis] = p[axis];
                if (p[axis] > box.maximum[axis]) box.maximum[axis] = p[axis];
            }
        }
        for (int axis = 0; axis < 3; ++axis)
            box.centre[axis] = (box.minimum[axis] + box.maximum[axis]) * 0.5f;
    }

    // Joins the other handle's record as one more user (the default record
    // has no user list). Done through the handle's public fields, as the
    // texture manager's attach is its own; the order matches it.
    void setTexture(const StructTexture& other) override {
        if (other.record == textureHandle.record) return; // also keeps a sole user's record alive
        textureHandle.release();
        if (other.isDefault()) return;
        textureHandle.record = other.record;
        textureHandle.node = other.record->users.append(&textureHandle);
    }
    StructTexture& texture() override { return textureHandle; }

    // Copies every record's vertex into the packed array for drawing from
    // memory; returns it (null for a mesh that never had a vertex).
    V* packVertices() {
        if (vertexTotal > 0) packedVertices.reserve(vertexTotal);
        if (packedVertices.capacity < vertexTotal) return nullptr;
        for (int32_t i = 0; i < vertexTotal; ++i) packedVertices.items[i] = records.get(i)->vertex;
        return packedVertices.items;
    }
};
