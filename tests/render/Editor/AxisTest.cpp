// SPDX-License-Identifier: MIT
// The grid and axes the 3D view draws: their shape, colours and size.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>

#include "render/Editor/Axis.h"

namespace {

TEST(EditorAxis, GridAndAxesHaveTheirShapeAndColours) {
    const EditorAxis axis(10.0f);
    // Axes: 17 segments over 24 points, 5 red, 6 green, 6 blue.
    std::multiset<D3DCOLOR> segmentColours;
    for (int i = 0; i < EditorAxis::kAxisIndices; i += 2) {
        const uint16_t a = axis.axisIndices()[i], b = axis.axisIndices()[i + 1];
        ASSERT_LT(a, EditorAxis::kAxisVertices);
        ASSERT_LT(b, EditorAxis::kAxisVertices);
        EXPECT_EQ(axis.axisVertices()[a].color, axis.axisVertices()[b].color);
        segmentColours.insert(axis.axisVertices()[a].color);
    }
    EXPECT_EQ(segmentColours.count(0xFF7F0000u), 5u);
    EXPECT_EQ(segmentColours.count(0xFF007F00u), 6u);
    EXPECT_EQ(segmentColours.count(0xFF00007Fu), 6u);
    // Each shaft is 6 units of 0.4 long, along its own axis.
    float reach[3] = {};
    for (int i = 0; i < EditorAxis::kAxisVertices; ++i) {
        const auto& v = axis.axisVertices()[i];
        const int which = v.color == 0xFF7F0000u ? 0 : v.color == 0xFF007F00u ? 1 : 2;
        reach[which] = std::max(reach[which], which == 0 ? v.x : which == 1 ? v.y : v.z);
    }
    EXPECT_FLOAT_EQ(reach[0], 6.9f * 0.4f); // the letters stand beyond the heads
    EXPECT_FLOAT_EQ(reach[1], 6.9f * 0.4f);
    EXPECT_FLOAT_EQ(reach[2], 6.9f * 0.4f);

    // Grid: 240 points, 122 segments, flat, 30 wide in steps of 0.5, a dark
    // line every tenth.
    ASSERT_EQ(axis.gridVertices().size(), 240u);
    ASSERT_EQ(axis.gridIndices().size(), 244u);
    std::set<float> xs;
    int dark = 0;
    for (const auto& v : axis.gridVertices()) {
        EXPECT_EQ(v.y, 0.0f);
        EXPECT_LE(std::abs(v.x), 15.0f);
        EXPECT_LE(std::abs(v.z), 15.0f);
        xs.insert(v.x);
        dark += v.color == 0xFF333333u;
    }
    EXPECT_EQ(xs.size(), 61u);
    EXPECT_EQ(dark, 4 + 5 * 2 * 2);
    for (uint16_t index : axis.gridIndices()) EXPECT_LT(index, 240);
}

TEST(EditorAxis, TheGridFollowsTheGridSize) {
    const EditorAxis small(2.0f);
    float widest = 0.0f;
    for (const auto& v : small.gridVertices()) widest = std::max(widest, v.x);
    EXPECT_FLOAT_EQ(widest, 3.0f);
}

} // namespace
