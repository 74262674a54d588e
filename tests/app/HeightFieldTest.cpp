// SPDX-License-Identifier: MIT
// The relief builder on the real preview: exact positions of the flat cases,
// which pixel each vertex samples under every mirror and axis choice, the
// index list's fixed start and end, and that the block is closed and faces
// outward for every placement. Face normals and the table root close it.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <random>

#include "ReliefSupport.h"
#include "app/HeightField.h"
#include "core/TableSqrt.h"

namespace {

using relief::normal;
using relief::Point;
using relief::position;

constexpr int N = 120;
constexpr int32_t kBase = N * N; // b: the first corner vertex

uint8_t black(int, int) {
    return 0;
}
uint8_t red(int, int) {
    return 255;
}

// 1 + red / 255 in the builder's own float steps, for pictures of S.y = 1.
float heightOf(int r) {
    return float(r) * 0.003921569f * 1.0f + 1.0f;
}

TEST(HeightField, BlackPictureGivesAFlatTopAtOneOverFourBaseCorners) {
    auto tool = relief::tool(1, 0, black);
    tool->rebuildMesh();
    MeshTools& mesh = tool->mesh.tools();
    ASSERT_EQ(mesh.vertexCount(), 14892);
    ASSERT_EQ(mesh.indexCount(), 86412);

    const float last = 119.0f * ((1.0f / 120.0f) * 10.0f) - 5.0f;
    EXPECT_NEAR(last, 4.916667f, 1e-6);
    EXPECT_EQ(position(mesh, 0), (Point{-5.0f, 1.0f, -5.0f}));
    EXPECT_EQ(position(mesh, 119), (Point{last, 1.0f, -5.0f}));
    EXPECT_EQ(position(mesh, 14399), (Point{last, 1.0f, last}));

    const Point A{-5, 0, -5}, B{5, 0, -5}, C{-5, 0, 5}, D{5, 0, 5};
    const Point corners[12] = {A, B, C, D, A, C, B, D, A, B, C, D};
    for (int k = 0; k < 12; ++k)
        EXPECT_EQ(position(mesh, kBase + k), corners[k]) << "corner copy " << k;
    // The walls copy their border lines: -z wall first (row 0), +x wall last.
    EXPECT_EQ(position(mesh, kBase + 12), position(mesh, 0));
    EXPECT_EQ(position(mesh, kBase + 12 + N), position(mesh, N * (N - 1)));
    EXPECT_EQ(position(mesh, 14891), position(mesh, 14399));
}

TEST(HeightField, OnlyTheRedByteSetsTheHeight) {
    auto tool = relief::tool(1, 0, red);
    tool->rebuildMesh();
    for (int32_t v = 0; v < N * N; ++v)
        ASSERT_EQ(position(tool->mesh, v)[1], 2.0f) << "vertex " << v;

    // Blue and green at full strength over red 0: still the floor.
    tool->preview.create(nullptr, 0, 32, N, N);
    for (int y = 0; y < N; ++y)
        for (int x = 0; x < N; ++x) *tool->preview.pixelAt(x, y) = Color{255, 255, 0, 255};
    tool->rebuildMesh();
    for (int32_t v = 0; v < N * N; ++v)
        ASSERT_EQ(position(tool->mesh, v)[1], 1.0f) << "vertex " << v;
}

// Which picture column and row the vertex in grid column i, row j read, by
// the height it got. Columns use red = x, rows red = y + 120.
struct Sample {
    int column;
    int row;
};

Sample sampled(int32_t axisMode, int32_t flipFlags, int i, int j) {
    auto byColumn = relief::tool(axisMode, flipFlags, [](int x, int) { return uint8_t(x); });
    auto byRow = relief::tool(axisMode, flipFlags, [](int, int y) { return uint8_t(y + 120); });
    byColumn->rebuildMesh();
    byRow->rebuildMesh();
    // The height lies along y for x / z, along +z for x / y, along -x for y / z.
    auto height = [&](Embossa& tool) {
        const Point p = position(tool.mesh, j * N + i);
        return axisMode == 0 ? p[2] : axisMode == 2 ? -p[0] : p[1];
    };
    auto pixelFor = [](float h, int offset) {
        for (int r = 0; r < 256; ++r)
            if (std::abs(heightOf(r) - h) < 1e-6f) return r - offset;
        return -1000;
    };
    return {pixelFor(height(*byColumn), 0), pixelFor(height(*byRow), 120)};
}

TEST(HeightField, MirrorBitsPickColumnAndRowAndXyTogglesBoth) {
    const int i = 7, j = 30;
    auto expect = [&](int32_t axisMode, int32_t flipFlags, int column, int row) {
        const Sample s = sampled(axisMode, flipFlags, i, j);
        EXPECT_EQ(s.column, column) << "axis " << axisMode << ", flags " << flipFlags;
        EXPECT_EQ(s.row, row) << "axis " << axisMode << ", flags " << flipFlags;
    };
    expect(1, 0, i, j);
    expect(1, 1, N - 1 - i, j);
    expect(1, 2, i, N - 1 - j);
    expect(1, 3, N - 1 - i, N - 1 - j);
    expect(2, 1, N - 1 - i, j);
    // x / y toggles both bits: both check boxes on read the picture as is.
    expect(0, 3, i, j);
    expect(0, 0, N - 1 - i, N - 1 - j);
    expect(0, 1, i, N - 1 - j);
}

TEST(HeightField, QuarterTurnsPutTheHeightAlongPlusZOrMinusX) {
    const int i = 30, j = 90;
    const float x = float(i) * ((1.0f / 120.0f) * 10.0f) - 5.0f;
    const float z = float(j) * ((1.0f / 120.0f) * 10.0f) - 5.0f;

    auto xy = relief::tool(0, 0, red);
    xy->rebuildMesh();
    const Point p = position(xy->mesh, j * N + i);
    EXPECT_EQ(p[0], x);
    EXPECT_NEAR(p[1], -z, 1e-6);
    EXPECT_NEAR(p[2], 2.0f, 1e-6);

    auto yz = relief::tool(2, 0, red);
    yz->rebuildMesh();
    const Point q = position(yz->mesh, j * N + i);
    EXPECT_NEAR(q[0], -2.0f, 1e-6);
    EXPECT_NEAR(q[1], x, 1e-6);
    EXPECT_EQ(q[2], z);

    // The quarter turn's cosine is -4.37e-8, not 0, and it is not rounded
    // away: corner C = (-5, 0, 5) ends at z = 5 * cos, just below zero.
    const float cosine = std::cos(1.5707964f);
    EXPECT_EQ(std::bit_cast<uint32_t>(1.5707964f), 0x3FC90FDBu);
    EXPECT_NEAR(cosine, -4.371139e-8f, 1e-14);
    EXPECT_EQ(position(xy->mesh, kBase + 2)[2], 5.0f * cosine);
    EXPECT_LT(position(xy->mesh, kBase + 2)[2], 0.0f);
}

TEST(HeightField, IndexListStartsWithTheFirstCellAndEndsWithTheBottom) {
    auto tool = relief::tool(1, 0, black);
    tool->rebuildMesh();
    MeshTools& mesh = tool->mesh.tools();
    const uint16_t* index = mesh.indices();
    const int32_t count = mesh.indexCount();
    EXPECT_EQ((std::vector<int>(index, index + 6)), (std::vector<int>{0, 120, 1, 1, 120, 121}));
    const int b = kBase;
    EXPECT_EQ((std::vector<int>(index + count - 6, index + count)),
              (std::vector<int>{b + 8, b + 9, b + 10, b + 10, b + 9, b + 11}));
    // The first wall fans from A over row 0's copies and closes on B.
    const int32_t wall = 6 * (N - 1) * (N - 1);
    EXPECT_EQ((std::vector<int>(index + wall, index + wall + 3)),
              (std::vector<int>{b, b + 12, b + 13}));
    const int32_t closing = wall + 3 * (N - 1);
    EXPECT_EQ((std::vector<int>(index + closing, index + closing + 3)),
              (std::vector<int>{b, b + 12 + N - 1, b + 1}));
}

void expectClosedOutward(MeshTools& mesh, const std::string& label) {
    IndexedMesh copy;
    copyMesh(mesh, copy);
    const relief::Solidity solid = relief::solidity(copy);
    EXPECT_EQ(solid.openEdges, 0) << label;
    // A 10 x 10 base at least 1 high, less the sloping strip of the +x and
    // +z walls (the grid stops one step short of those edges).
    EXPECT_GT(solid.volume, 95.0) << label;
}

TEST(HeightField, BlockIsClosedAndFacesOutwardForEveryPlacement) {
    std::mt19937 random(3);
    std::vector<uint8_t> noise(N * N);
    for (uint8_t& r : noise) r = uint8_t(random());
    for (int32_t axisMode = 0; axisMode < 3; ++axisMode)
        for (int32_t flipFlags = 0; flipFlags < 4; ++flipFlags) {
            auto tool =
                relief::tool(axisMode, flipFlags, [&](int x, int y) { return noise[y * N + x]; });
            tool->rebuildMesh();
            expectClosedOutward(tool->mesh, "axis " + std::to_string(axisMode) + ", flags " +
                                                std::to_string(flipFlags));
        }
}

TEST(HeightField, RefusesWhatSixteenBitIndicesOrItsCountsCannotHold) {
    Mesh<Embossa::Vertex, 0x12> mesh;
    DialogTools::Bitmap picture;
    picture.create(nullptr, 0, 32, 120, 60); // counts are written for square sources
    EXPECT_FALSE(addHeightField(mesh, picture, D3DVECTOR{10, 1, 10}, 1, 0));
    picture.create(nullptr, 0, 32, 254, 254); // 65,544 vertices
    EXPECT_FALSE(addHeightField(mesh, picture, D3DVECTOR{10, 1, 10}, 1, 0));
    picture.create(nullptr, 0, 32, 0, 0);
    EXPECT_FALSE(addHeightField(mesh, picture, D3DVECTOR{10, 1, 10}, 1, 0));
    EXPECT_EQ(mesh.vertexCount(), 0);
    EXPECT_EQ(mesh.indexCount(), 0);

    picture.create(nullptr, 0, 32, 253, 253); // 65,033 vertices: the largest that fits
    ASSERT_TRUE(addHeightField(mesh, picture, D3DVECTOR{10, 1, 10}, 1, 0));
    EXPECT_EQ(mesh.vertexCount(), 253 * 253 + 4 * 253 + 12);
    expectClosedOutward(mesh, "253 x 253");
}

TEST(HeightField, AppendsAfterWhatTheMeshHolds) {
    Mesh<Embossa::Vertex, 0x12> mesh;
    for (int32_t v = 0; v < 3; ++v) mesh.vertexAt(v)->position[0] = 100.0f + float(v);
    mesh.vertexCount() = 3;
    mesh.addTriangle(0, 1, 2);
    DialogTools::Bitmap picture;
    picture.create(nullptr, 0, 32, N, N);
    relief::paint(picture, black);
    ASSERT_TRUE(addHeightField(mesh, picture, D3DVECTOR{10, 1, 10}, 1, 0));

    EXPECT_EQ(position(mesh, 2)[0], 102.0f);
    EXPECT_EQ(position(mesh, 3), (Point{-5, 1, -5}));
    EXPECT_EQ(mesh.vertexCount(), 3 + 14892);
    EXPECT_EQ((std::vector<int>(mesh.indices(), mesh.indices() + 9)),
              (std::vector<int>{0, 1, 2, 3, 123, 4, 4, 123, 124}));
    EXPECT_EQ(*mesh.index(mesh.indexCount() - 1), 3 + kBase + 11);
}

// The table root is exact only where it was sampled, so unit normals come
// out within its resolution (2^-15), not exactly 1 long.
void expectNear(const Point& actual, const Point& expected, const std::string& label) {
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(actual[k], expected[k], 1.0 / 32768) << label;
}

TEST(FaceNormals, FlatTopFacesUpBottomDownAndWallsOut) {
    auto tool = relief::tool(1, 0, black);
    tool->rebuildMesh();
    expectNear(normal(tool->mesh, 0), {0, 1, 0}, "top");
    expectNear(normal(tool->mesh, 7000), {0, 1, 0}, "top");
    for (int k = 8; k < 12; ++k) expectNear(normal(tool->mesh, kBase + k), {0, -1, 0}, "bottom");
    expectNear(normal(tool->mesh, kBase + 12 + 5), {0, 0, -1}, "-z wall");
    expectNear(normal(tool->mesh, kBase + 12 + 2 * N + 5), {-1, 0, 0}, "-x wall");
}

TEST(FaceNormals, LastTriangleWinsDegenerateGivesZeroAndTheTableRootScales) {
    Mesh<Embossa::Vertex, 0x12> mesh;
    const Point corners[5] = {{0, 0, 0}, {3, 0, 0}, {0, 0, -1.7f}, {5, 5, 5}, {6, 6, 6}};
    for (int v = 0; v < 5; ++v)
        for (int k = 0; k < 3; ++k) mesh.vertexAt(v)->position[k] = corners[v][k];
    mesh.vertexCount() = 5;
    mesh.addTriangle(0, 1, 2); // n = (0, 5.1, 0): not a point the table sampled
    mesh.addTriangle(2, 3, 4); // vertex 2 then belongs to this one
    mesh.addTriangle(0, 3, 4); // degenerate: 0, 3 and 4 lie on one line
    computeFaceNormals(mesh);

    const float length = 3.0f * 1.7f;
    const float scaled = length * (1.0f / tableSqrt(length * length));
    EXPECT_EQ(normal(mesh, 1), (Point{0, scaled, 0}));
    EXPECT_NE(scaled, length * (1.0f / std::sqrt(length * length)))
        << "pick a length the table rounds";
    EXPECT_EQ(normal(mesh, 0), (Point{0, 0, 0})) << "the degenerate triangle came last";
    const Point n2 = normal(mesh, 2);
    EXPECT_NE(n2, normal(mesh, 1));
    EXPECT_NEAR(n2[0] * n2[0] + n2[1] * n2[1] + n2[2] * n2[2], 1.0f, 1e-4);
}

TEST(HeightField, RebuildStartsFromScratchAndDropsTheTexture) {
    auto tool = relief::tool(1, 0, black);
    tool->rebuildMesh();
    const int32_t capacity = tool->mesh.records.capacity;
    tool->axisMode = 2;
    tool->rebuildMesh();
    EXPECT_EQ(tool->mesh.vertexCount(), 14892);
    EXPECT_EQ(tool->mesh.indexCount(), 86412);
    EXPECT_EQ(tool->mesh.records.capacity, capacity);
    EXPECT_TRUE(tool->mesh.texture().isDefault());
}

} // namespace
