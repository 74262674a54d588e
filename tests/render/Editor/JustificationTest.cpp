// SPDX-License-Identifier: MIT
// The view's translation arrows without a window: which arrow a ray
// hovers, how far a drag moves it, and the cones drawn around a target.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>

#include "render/Camera.h"
#include "render/Editor/Justification.h"

namespace {

struct Target : EditorJustificationInterface {
    vec3d at;
    void getPosition(vec3d& position) override { position = at; }
    void setPosition(const vec3d& position) override { at = position; }
};

EditorRay rayTowards(vec3d from, vec3d to) {
    EditorRay ray;
    ray.origin = from;
    vec3d d{to.x - from.x, to.y - from.y, to.z - from.z};
    const float length = std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
    ray.direction = vec3d{d.x / length, d.y / length, d.z / length};
    return ray;
}

TEST(EditorJustification, RaysSelectTheArrowTheyPassAndKeepIt) {
    EditorJustification arrows;
    EditorRay ray = rayTowards({0, 1, -10}, {0, 1, 0});
    EXPECT_FALSE(arrows.hover(ray, 9.0f)) << "no target, nothing to hit";

    Target target;
    target.at = vec3d{1, 0, 0};
    arrows.target = &target;
    const float scale = 9.0f;
    const float shaftMiddle = 0.15f * scale;
    // Through the middle of the y arrow.
    EXPECT_TRUE(arrows.hover(rayTowards({1, shaftMiddle, -10}, {1, shaftMiddle, 0}), scale));
    EXPECT_EQ(arrows.selectedAxis, 2);
    // Just inside and just outside the reach of 0.027 per unit of scale.
    const float reach = 0.027f * scale;
    EXPECT_TRUE(arrows.hover(
        rayTowards({1 + reach * 0.9f, shaftMiddle, -10}, {1 + reach * 0.9f, shaftMiddle, 0}),
        scale));
    EXPECT_FALSE(arrows.hover(
        rayTowards({1 + reach * 1.1f, shaftMiddle, -10}, {1 + reach * 1.1f, shaftMiddle, 0}),
        scale));
    EXPECT_EQ(arrows.selectedAxis, 0);
    // The cone's tip counts too; pointing away from it does not.
    const float tip = 12.0f * 0.026f * scale - 0.01f;
    EXPECT_TRUE(arrows.hover(rayTowards({1 + tip, 5, 0}, {1 + tip, 0, 0}), scale));
    EXPECT_EQ(arrows.selectedAxis, 1);
    EXPECT_FALSE(arrows.hover(rayTowards({1 + tip, 5, 0}, {1 + tip, 10, 0}), scale));

    // A ray across both the x and the z arrow, just above them: the one
    // selected stays selected.
    const EditorRay across = rayTowards({1 + 1.0f, 0.05f, -0.5f}, {1 + 0.5f, 0.05f, 0.0f});
    EXPECT_TRUE(arrows.hover(rayTowards({1, 10, 0.15f * scale}, {1, 0, 0.15f * scale}), scale));
    EXPECT_EQ(arrows.selectedAxis, 3);
    EXPECT_TRUE(arrows.hover(across, scale));
    EXPECT_EQ(arrows.selectedAxis, 3);
    arrows.selectedAxis = 1;
    EXPECT_TRUE(arrows.hover(across, scale));
    EXPECT_EQ(arrows.selectedAxis, 1);
}

TEST(EditorJustification, DragMovesAlongTheArrowsScreenDirection) {
    D3D::Device::SwapChain camera{nullptr};
    camera.presentParameters.BackBufferWidth = 400;
    camera.presentParameters.BackBufferHeight = 300;
    camera.updateProjection();
    // Looking along +z from (0, 0, -10): x points right on screen, y up.
    camera.position = D3DVECTOR{0, 0, -10};
    D3D::setOrientation(camera, {0, 0, 1}, {0, 1, 0});
    D3D::calc(camera);

    Target target;
    EditorJustification arrows;
    arrows.target = &target;
    arrows.selectedAxis = 1;
    arrows.drag(camera, 4.0f, 100.0f, 30.0f);
    EXPECT_NEAR(target.at.x, 100.0f * 0.0009f * 4.0f, 1e-5f);
    EXPECT_EQ(target.at.y, 0.0f);

    arrows.selectedAxis = 2;
    arrows.drag(camera, 4.0f, 100.0f, -50.0f); // up on screen is -y in pixels
    EXPECT_NEAR(target.at.y, 50.0f * 0.0009f * 4.0f, 1e-5f);

    // The z arrow points into the screen: it has no screen direction, so
    // the target stays.
    arrows.selectedAxis = 3;
    arrows.drag(camera, 4.0f, 100.0f, 100.0f);
    EXPECT_EQ(target.at.z, 0.0f);
}

TEST(EditorJustification, ConesAreBuiltAroundThePivotOnlyWithATarget) {
    EditorJustification arrows;
    arrows.updateGeometry(1.0f);
    EXPECT_EQ(arrows.cones().vertexCount(), 0);
    Target target;
    target.at = vec3d{2, 0, 0};
    arrows.target = &target;
    arrows.updateGeometry(1.0f);
    auto& cones = arrows.cones();
    ASSERT_EQ(cones.vertexCount(), 3 * 9 * 6);
    // The x cone spans 0.26 to 0.312 from the pivot, radius 0.013.
    for (int i = 0; i < 9 * 6; ++i) {
        const float* p = cones.vertexAt(i)->position;
        EXPECT_GE(p[0], 2.0f + 0.26f - 1e-5f);
        EXPECT_LE(p[0], 2.0f + 0.312f + 1e-5f);
        EXPECT_LE(std::hypot(p[1], p[2]), 0.013f + 1e-5f);
    }
}

} // namespace
