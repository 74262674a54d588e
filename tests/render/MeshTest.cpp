// SPDX-License-Identifier: MIT
// Mesh and D3DMesh: vertex records that keep pointing into themselves when
// the array grows, the index list operations at their edges, bounds, the
// three views reaching one mesh, texture sharing that keeps records alive
// exactly as long as a user holds them, and buffers as a device sees them.
#include "render/D3DMesh.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <vector>

#include "render/D3D/Device.h"
#include "render/FakeDirect3D.h"
#include "render/Mesh.h"
#include "render/StructTexture.h"

namespace {

struct ToolVertex { // D3DFVF_XYZ | D3DFVF_NORMAL
    float position[3];
    float normal[3];
};
struct CustomVertex { // D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1
    float position[3];
    float normal[3];
    float uv[2];
};
struct SkyVertex { // D3DFVF_XYZ | D3DFVF_DIFFUSE
    float position[3];
    uint32_t colour;
};
struct vec3d { // D3DFVF_XYZ
    float x, y, z;
};

using ToolMesh = Mesh<ToolVertex, 0x12>;

std::vector<int> indexList(MeshInterface& mesh) {
    return std::vector<int>(mesh.indices(), mesh.indices() + mesh.indexCount());
}

TEST(VertexData, ComponentsPointIntoTheRecordOrAtSharedDummies) {
    VertexData<ToolVertex, 0x12> tool;
    EXPECT_EQ(sizeof(ToolVertex), 24u);
    EXPECT_EQ(tool.components.position, tool.vertex.position);
    EXPECT_EQ(tool.components.normal, tool.vertex.normal);
    EXPECT_EQ(tool.components.position[0], 0.0f);
    EXPECT_EQ(tool.components.normal[2], 0.0f);
    VertexData<ToolVertex, 0x12> other;
    EXPECT_EQ(tool.components.diffuse, other.components.diffuse) << "one shared dummy";
    EXPECT_EQ(tool.components.texCoord, other.components.texCoord);

    VertexData<CustomVertex, 0x112> custom;
    EXPECT_EQ(custom.components.texCoord, custom.vertex.uv);
    EXPECT_EQ(custom.components.diffuse, tool.components.diffuse);
    VertexData<SkyVertex, 0x42> sky;
    EXPECT_EQ(sky.components.diffuse, &sky.vertex.colour);
    VertexData<vec3d, 2> point;
    EXPECT_EQ(point.components.position, &point.vertex.x);
    EXPECT_EQ(point.components.normal, sky.components.normal) << "both lack a normal";
}

TEST(VertexData, RecordsKeepTheirOwnPointersWhenTheArrayGrows) {
    ToolMesh mesh;
    const int32_t count = ToolMesh::kVertexStep * 2 + 5; // two reallocations
    for (int32_t i = 0; i < count; ++i) {
        VertexComponents* c = mesh.vertexAt(i);
        c->position[0] = float(i);
        c->normal[1] = float(-i);
    }
    EXPECT_EQ(mesh.records.capacity % ToolMesh::kVertexStep, 0);
    for (int32_t i = 0; i < count; ++i) {
        VertexData<ToolVertex, 0x12>& record = *mesh.records.get(i);
        ASSERT_EQ(record.components.position, record.vertex.position) << "record " << i;
        ASSERT_EQ(record.components.normal, record.vertex.normal) << "record " << i;
        ASSERT_EQ(record.vertex.position[0], float(i));
        ASSERT_EQ(record.vertex.normal[1], float(-i));
    }
    EXPECT_EQ(mesh.vertexComponents(), &mesh.records.get(0)->components);
    EXPECT_EQ(mesh.vertexCount(), 0) << "growing storage does not count vertices";

    mesh.vertexCount() = 3;
    const ToolVertex* packed = mesh.packVertices();
    ASSERT_NE(packed, nullptr);
    EXPECT_EQ(packed[2].position[0], 2.0f);
    EXPECT_EQ(packed[2].normal[1], -2.0f);
}

TEST(MeshIndices, AddIndicesAppendsInOrderOrReversedPlusTheBase) {
    ToolMesh mesh;
    EXPECT_EQ(*mesh.addIndex(7), 7);
    const uint16_t source[4] = {1, 2, 3, 4};
    uint16_t* end = mesh.addIndices(source, 4, 10, 0);
    EXPECT_EQ(end, mesh.indices() + 5);
    end = mesh.addIndices(source, 4, 100, 1);
    EXPECT_EQ(end, mesh.indices() + 9);
    EXPECT_EQ(indexList(mesh.tools()), (std::vector<int>{7, 11, 12, 13, 14, 104, 103, 102, 101}));
    EXPECT_EQ(mesh.addIndices(source, 0, 5, 0), mesh.indices() + 9);
    EXPECT_EQ(mesh.indexData.capacity, ToolMesh::kIndexStep) << "whole growth steps";

    // Past the first step: the list stays intact across the reallocation.
    std::vector<uint16_t> many(size_t(ToolMesh::kIndexStep), 1);
    mesh.addIndices(many.data(), int32_t(many.size()), 0, 0);
    EXPECT_EQ(mesh.indexCount(), 9 + ToolMesh::kIndexStep);
    EXPECT_EQ(mesh.indexData.capacity, 2 * ToolMesh::kIndexStep);
    EXPECT_EQ(*mesh.index(8), 101);
    const uint16_t* reserved = mesh.reserveIndices(10 * ToolMesh::kIndexStep + 1);
    EXPECT_EQ(reserved, mesh.indices());
    EXPECT_EQ(mesh.indexData.capacity, 11 * ToolMesh::kIndexStep);
}

TEST(MeshIndices, RemovalShiftsLaterIndicesAndIgnoresPositionsPastTheEnd) {
    ToolMesh mesh;
    for (uint16_t t = 0; t < 3; ++t)
        mesh.addTriangle(uint16_t(3 * t), uint16_t(3 * t + 1), uint16_t(3 * t + 2));

    mesh.removeTriangle(3); // t = index count / 3: no such triangle
    mesh.removeTriangle(-1);
    EXPECT_EQ(indexList(mesh.tools()), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8}));
    mesh.removeTriangle(2); // the last: only the count drops
    EXPECT_EQ(indexList(mesh.tools()), (std::vector<int>{0, 1, 2, 3, 4, 5}));
    EXPECT_EQ(mesh.indexData.items[6], 6) << "removal never clears storage";
    mesh.removeTriangle(0);
    EXPECT_EQ(indexList(mesh.tools()), (std::vector<int>{3, 4, 5}));

    mesh.removeIndex(1);
    EXPECT_EQ(indexList(mesh.tools()), (std::vector<int>{3, 5}));
    mesh.removeIndex(2); // past the end: nothing is lost and the count stays
    mesh.removeIndex(-4);
    EXPECT_EQ(indexList(mesh.tools()), (std::vector<int>{3, 5}));
    mesh.removeIndex(0);
    mesh.removeIndex(0);
    mesh.removeIndex(0);
    EXPECT_EQ(mesh.indexCount(), 0) << "an empty list cannot go negative";
}

TEST(MeshBounds, ComputedFromCountedVerticesOnlyAndKeptWhenEmpty) {
    ToolMesh mesh;
    MeshBounds box;
    box.centre[0] = 9;
    box.reserved[0] = 0xABCD;
    box.reserved[1] = 0x1234;
    box.minimum[2] = -9;
    box.maximum[1] = 9;
    mesh.setBounds(box);
    mesh.computeBounds(); // no vertices: the box stays as set
    EXPECT_EQ(mesh.bounds().centre[0], 9);
    EXPECT_EQ(mesh.bounds().reserved[1], 0x1234u);
    EXPECT_EQ(mesh.bounds().minimum[2], -9);

    const float points[4][3] = {{1, -2, 3}, {-4, 5, 0}, {2, 2, -6}, {100, 100, 100}};
    for (int v = 0; v < 4; ++v)
        for (int k = 0; k < 3; ++k) mesh.vertexAt(v)->position[k] = points[v][k];
    mesh.vertexCount() = 3; // the fourth is stored but not counted
    mesh.computeBounds();
    const MeshBounds& b = mesh.bounds();
    EXPECT_EQ((std::vector<float>(b.minimum, b.minimum + 3)), (std::vector<float>{-4, -2, -6}));
    EXPECT_EQ((std::vector<float>(b.maximum, b.maximum + 3)), (std::vector<float>{2, 5, 3}));
    EXPECT_EQ((std::vector<float>(b.centre, b.centre + 3)), (std::vector<float>{-1, 1.5f, -1.5f}));
    EXPECT_EQ(b.reserved[0], 0xABCDu) << "only setBounds writes these";
}

TEST(MeshViews, EveryViewReachesTheOneMesh) {
    ToolMesh mesh;
    MeshInterface& tools = mesh.tools();
    MeshInterface& shaper = mesh.shaper();
    MeshInterface& framer = mesh.framer();
    EXPECT_NE(static_cast<void*>(&tools), static_cast<void*>(&shaper));
    shaper.addTriangle(1, 2, 3);
    framer.addTriangle(4, 5, 6);
    tools.removeTriangle(0);
    EXPECT_EQ(indexList(framer), (std::vector<int>{4, 5, 6}));
    EXPECT_EQ(&shaper.indexCount(), &tools.indexCount());
    EXPECT_EQ(&framer.name(), &mesh.meshName);
    EXPECT_EQ(framer.fvf(), 0x12u);
    EXPECT_EQ(shaper.vertexComponents(), tools.vertexComponents());
    EXPECT_EQ(mesh.tools().firstField(), 0);
    mesh.userValue = int64_t(1) << 40;
    EXPECT_EQ(mesh.tools().firstField(), int64_t(1) << 40);
}

// A fake device that also records how buffers are bound.
class BindingDevice : public fake::Device {
public:
    using fake::Device::Device;
    std::vector<std::string> binds;
    std::deque<HRESULT> vertexBufferResults;

    HRESULT SetFVF(DWORD fvf) override {
        binds.push_back("SetFVF " + std::to_string(fvf));
        return D3D_OK;
    }
    HRESULT SetStreamSource(UINT stream, IDirect3DVertexBuffer9* buffer, UINT offset,
                            UINT stride) override {
        binds.push_back("SetStreamSource " + std::to_string(stream) +
                        (buffer ? " buffer " : " null ") + std::to_string(offset) + " " +
                        std::to_string(stride));
        return D3D_OK;
    }
    HRESULT SetIndices(IDirect3DIndexBuffer9* buffer) override {
        binds.push_back(buffer ? "SetIndices buffer" : "SetIndices null");
        return D3D_OK;
    }
    HRESULT CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                               IDirect3DVertexBuffer9** buffer, HANDLE* shared) override {
        const HRESULT result = fake::next(vertexBufferResults);
        if (FAILED(result)) return result;
        return fake::Device::CreateVertexBuffer(length, usage, fvf, pool, buffer, shared);
    }
};

class D3DMeshTest : public ::testing::Test {
protected:
    void SetUp() override { D3D::currentDevice = &device; }
    void TearDown() override {
        D3D::currentDevice = nullptr;
        EXPECT_TRUE(world.referenced().empty()) << "a buffer or texture was not released";
        EXPECT_EQ(StructTexture::records().count, 0);
    }

    fake::World world;
    BindingDevice device{world, world.calls};
};

TEST_F(D3DMeshTest, UploadCopiesVerticesAndIndicesIntoManagedBuffers) {
    ToolMesh mesh;
    for (int v = 0; v < 4; ++v) {
        mesh.vertexAt(v)->position[0] = float(v);
        mesh.vertexAt(v)->normal[2] = 1.0f;
    }
    mesh.vertexCount() = 4;
    mesh.addTriangle(0, 1, 2);
    mesh.addTriangle(2, 1, 3);
    mesh.addIndex(3); // a trailing partial triangle is uploaded, not drawn

    D3DMesh<ToolVertex, 0x12> buffers;
    buffers.upload(mesh);
    ASSERT_NE(buffers.vertexBuffer, nullptr);
    ASSERT_NE(buffers.indexBuffer, nullptr);
    EXPECT_EQ(buffers.vertexCount, 4);
    EXPECT_EQ(buffers.indexCount, 7);
    EXPECT_EQ(buffers.triangleCount, 2);

    auto* vertices = static_cast<fake::VertexBuffer*>(buffers.vertexBuffer);
    EXPECT_EQ(vertices->desc.Size, 4u * 24u);
    EXPECT_EQ(vertices->desc.Usage, D3DUSAGE_WRITEONLY);
    EXPECT_EQ(vertices->desc.Pool, D3DPOOL_MANAGED);
    EXPECT_EQ(vertices->desc.FVF, 0x12u);
    ToolVertex third;
    std::memcpy(&third, vertices->bytes.data() + 2 * 24, 24);
    EXPECT_EQ(third.position[0], 2.0f);
    EXPECT_EQ(third.normal[2], 1.0f);

    auto* indices = static_cast<fake::IndexBuffer*>(buffers.indexBuffer);
    EXPECT_EQ(indices->desc.Format, D3DFMT_INDEX16);
    EXPECT_EQ(indices->desc.Size, 14u);
    std::vector<uint16_t> copied(7);
    std::memcpy(copied.data(), indices->bytes.data(), 14);
    EXPECT_EQ(copied, (std::vector<uint16_t>{0, 1, 2, 2, 1, 3, 3}));

    buffers.bind();
    EXPECT_EQ(device.binds, (std::vector<std::string>{"SetFVF 18", "SetStreamSource 0 buffer 0 24",
                                                      "SetIndices buffer"}));

    // A second upload lets the first buffers go.
    mesh.indexCount() = 0;
    buffers.upload(mesh);
    EXPECT_EQ(vertices->refs, 0u);
    EXPECT_EQ(indices->refs, 0u);
    EXPECT_EQ(buffers.indexBuffer, nullptr) << "no indices, no index buffer";
    EXPECT_EQ(buffers.triangleCount, 0);
}

TEST_F(D3DMeshTest, FailedCreationLeavesANullBufferThatBindsAsNull) {
    Mesh<CustomVertex, 0x112> mesh;
    mesh.vertexCount() = 3;
    mesh.addTriangle(0, 1, 2);
    device.vertexBufferResults.push_back(E_OUTOFMEMORY);
    D3DMesh<CustomVertex, 0x112> buffers;
    buffers.upload(mesh);
    EXPECT_EQ(buffers.vertexBuffer, nullptr);
    EXPECT_NE(buffers.indexBuffer, nullptr);
    EXPECT_EQ(buffers.vertexCount, 3) << "the counts are the mesh's all the same";
    EXPECT_EQ(buffers.triangleCount, 1);
    buffers.bind();
    EXPECT_EQ(device.binds, (std::vector<std::string>{"SetFVF 274", "SetStreamSource 0 null 0 32",
                                                      "SetIndices buffer"}));

    D3D::currentDevice = nullptr; // no device: nothing is made, nothing bound
    D3DMesh<vec3d, 2> none;
    Mesh<vec3d, 2> points;
    points.vertexCount() = 1;
    none.upload(points);
    none.bind();
    EXPECT_EQ(none.vertexBuffer, nullptr);
    EXPECT_EQ(none.vertexCount, 1);
    EXPECT_EQ(device.binds.size(), 3u);
}

TEST_F(D3DMeshTest, SetTextureSharesTheRecordUntilTheLastUserLetsGo) {
    StructTexture texture;
    ASSERT_EQ(texture.create(String(u"skin"), 4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED), 1);
    StructTexture::Record* record = texture.record;
    {
        ToolMesh mesh;
        EXPECT_TRUE(mesh.texture().isDefault());
        mesh.setTexture(texture);
        EXPECT_EQ(mesh.texture().record, record);
        EXPECT_EQ(record->users.count, 2);
        mesh.setTexture(mesh.texture()); // itself: the record must survive
        EXPECT_EQ(record->users.count, 2);
        texture.release();
        EXPECT_EQ(StructTexture::records().count, 1) << "the mesh still holds it";
        StructTexture fallback;
        mesh.setTexture(fallback); // the default texture: back to no record
        EXPECT_TRUE(mesh.texture().isDefault());
        EXPECT_EQ(StructTexture::records().count, 0);

        ASSERT_EQ(texture.create(String(u"skin"), 4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED), 1);
        mesh.setTexture(texture);
        texture.release();
    } // the mesh's handle goes with it, and the record with its last user
    EXPECT_EQ(StructTexture::records().count, 0);
}

} // namespace
