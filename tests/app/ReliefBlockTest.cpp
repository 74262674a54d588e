// SPDX-License-Identifier: MIT
// The block on grids and shapes the dialog never uses: closed and wound
// outward everywhere, the top at base + height x relief on a footprint of
// the given size, and fine grids whose indices pass 16 bits.
#include "app/ReliefBlock.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

#include "ReliefSupport.h"

namespace {

app::HeightGrid noise(int32_t side, uint32_t seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    app::HeightGrid grid;
    grid.side = side;
    grid.units.resize(size_t(side) * side);
    for (float& h : grid.units) h = unit(random);
    return grid;
}

TEST(ReliefBlock, ClosedAndOutwardForEveryGridShapeAndPlacement) {
    const app::ReliefShape shapes[] = {
        {},                                       // the dialog's
        {25.0f, 25.0f, 0.0f, 0.01f, 0, 0},        // a flat slab, barely thick
        {0.01f, 0.01f, 10000.0f, 10000.0f, 0, 0}, // a needle
    };
    for (int32_t side : {2, 3, 64}) {
        const app::HeightGrid heights = noise(side, uint32_t(side));
        for (app::ReliefShape shape : shapes)
            for (shape.axisMode = 0; shape.axisMode < 3; ++shape.axisMode)
                for (shape.flipFlags = 0; shape.flipFlags < 4; ++shape.flipFlags) {
                    IndexedMesh mesh;
                    app::buildBlock(heights, shape, mesh);
                    const relief::Solidity solid = relief::solidity(mesh);
                    const std::string label = "grid " + std::to_string(side) + ", size " +
                                              std::to_string(shape.width) + ", axis " +
                                              std::to_string(shape.axisMode) + ", flags " +
                                              std::to_string(shape.flipFlags);
                    EXPECT_EQ(solid.openEdges, 0) << label;
                    EXPECT_GT(solid.volume, 0.0) << label;
                }
    }
}

TEST(ReliefBlock, FineGridsPassSixteenBitIndicesAndStayClosed) {
    constexpr int32_t side = 300;
    IndexedMesh mesh;
    app::ReliefShape shape;
    shape.axisMode = 1;
    app::buildBlock(noise(side, 9), shape, mesh);
    ASSERT_EQ(mesh.vertexCount(), app::blockVertexCount(side));
    EXPECT_GT(mesh.vertexCount(), 65536);
    EXPECT_EQ(mesh.indices.size(), size_t(6 * (side - 1) * (side - 1) + 12 * side + 6));
    EXPECT_EQ(*std::max_element(mesh.indices.begin(), mesh.indices.end()),
              uint32_t(mesh.vertexCount() - 1));
    const relief::Solidity solid = relief::solidity(mesh);
    EXPECT_EQ(solid.openEdges, 0);
    EXPECT_GT(solid.volume, 95.0);
}

TEST(ReliefBlock, TopIsBasePlusHeightTimesReliefOverTheFootprint) {
    app::HeightGrid heights;
    heights.side = 2;
    heights.units = {0.0f, 0.25f, 0.5f, 1.0f}; // row 0 first
    app::ReliefShape shape;
    shape.width = shape.depth = 40.0f;
    shape.relief = 3.0f;
    shape.base = 2.5f;
    shape.axisMode = 1; // x / z: the height is y
    IndexedMesh mesh;
    app::buildBlock(heights, shape, mesh);
    const float expected[4][3] = {
        {-20.0f, 2.5f, -20.0f}, {0.0f, 3.25f, -20.0f}, {-20.0f, 4.0f, 0.0f}, {0.0f, 5.5f, 0.0f}};
    for (int v = 0; v < 4; ++v)
        for (int k = 0; k < 3; ++k) EXPECT_EQ(mesh.position(v)[k], expected[v][k]) << v;
    // The corners: the footprint's edges, on the bottom plane.
    const float* d = mesh.position(4 + 3);
    EXPECT_EQ(d[0], 20.0f);
    EXPECT_EQ(d[1], 0.0f);
    EXPECT_EQ(d[2], 20.0f);

    // With x / y the height runs along +z, as a printer's build plate wants.
    shape.axisMode = 0;
    app::buildBlock(heights, shape, mesh);
    float top = -1e9f;
    for (int v = 0; v < 4; ++v) top = std::max(top, mesh.position(v)[2]);
    EXPECT_FLOAT_EQ(top, 5.5f);
}

TEST(ReliefBlock, AGridThatIsNotWholeGivesNothing) {
    IndexedMesh mesh;
    mesh.positions = {1, 2, 3};
    app::HeightGrid heights;
    app::buildBlock(heights, {}, mesh);
    EXPECT_EQ(mesh.vertexCount(), 0);
    heights.side = 3;
    heights.units.resize(8);
    app::buildBlock(heights, {}, mesh);
    EXPECT_EQ(mesh.vertexCount(), 0);
    EXPECT_TRUE(mesh.indices.empty());
}

} // namespace
