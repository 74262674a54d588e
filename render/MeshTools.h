// SPDX-License-Identifier: MIT
// The mesh interface every engine mesh answers to, and its three views.
// MeshTools is the view the engine's tools work through (the relief builder
// and the mesh files of app/ take it); Shaper and Framer are the views the gizmo and frame code
// hold. A Mesh derives from all three, so one object has three interface
// sub-objects whose slots all reach the same implementation. Vertex records
// differ per mesh type, so tools see a vertex only as its component block.
#pragma once

#include <cstdint>
#include <vector>

#include "core/String.h"
#include "d3d9/D3D9Types.h"

class StructTexture;

// Where a vertex record keeps its components. A component the vertex format
// lacks points at a shared dummy, so writing it is harmless.
struct VertexComponents {
    float* position; // x, y, z
    float* normal;   // x, y, z
    uint32_t* diffuse;
    float* texCoord; // u, v
};

struct MeshBounds {
    float centre[3] = {};
    uint32_t reserved[2] = {}; // carried along by setBounds only
    float minimum[3] = {};
    float maximum[3] = {};
};

// Indices and triangles count from 0. Slots 19 and 20 of the engine's mesh
// (the bone animation and `animate`) belong to the scene modules; no mesh of
// this program carries bones, so they are left out here. A bone-carrying
// mesh would add them after `texture`.
class MeshInterface {
public:
    virtual String& name() = 0;
    virtual uint32_t fvf() = 0;
    virtual VertexComponents* vertexComponents() = 0;
    virtual VertexComponents* animatedComponents() = 0;
    virtual int32_t& vertexCount() = 0;
    virtual uint16_t* addIndex(uint16_t index) = 0;
    // Appends source[k] + base (source[count - 1 - k] + base when reversed);
    // returns the address after the last index written.
    virtual uint16_t* addIndices(const uint16_t* source, int32_t count, int32_t base,
                                 int32_t reverse) = 0;
    virtual void removeIndex(int32_t i) = 0;
    virtual uint16_t* index(int32_t i) = 0;
    virtual uint16_t* indices() = 0;
    // Room for `count` indices in all; returns the array.
    virtual uint16_t* reserveIndices(int32_t count) = 0;
    virtual int32_t& indexCount() = 0;
    virtual void addTriangle(uint16_t a, uint16_t b, uint16_t c) = 0;
    virtual void removeTriangle(int32_t t) = 0;
    virtual void setBounds(const MeshBounds& box) = 0;
    virtual MeshBounds& bounds() = 0;
    virtual void computeBounds() = 0;
    virtual void setTexture(const StructTexture& texture) = 0;
    virtual StructTexture& texture() = 0;

protected:
    ~MeshInterface() = default;
};

class MeshTools : public MeshInterface {
public:
    // The engine keeps one 64-bit value here for its owner; nothing in this
    // program reads it, but the slot that returns it stays.
    int64_t userValue = 0;
    // The text or bytes of a save in progress, kept so repeated saves of a
    // mesh reuse one allocation; the mesh frees it with itself.
    std::vector<char> work;

    virtual int64_t firstField() { return userValue; }

    // Record i's components, growing the vertex storage when i lies beyond
    // it; the vertex count is not changed.
    virtual VertexComponents* vertexAt(int32_t i) = 0;

protected:
    ~MeshTools() = default;
};

// The gizmos' view of a mesh; it adds nothing to the interface.
class Primitive : public MeshInterface {
protected:
    ~Primitive() = default;
};

class Shaper : public Primitive {
protected:
    ~Shaper() = default;
};

class Framer : public MeshInterface {
protected:
    ~Framer() = default;
};
