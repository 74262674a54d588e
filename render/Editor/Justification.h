// SPDX-License-Identifier: MIT
// The translation arrows: one shaft and cone per axis around the target's
// pivot, sized by the view's scale so they keep their size on screen. The
// pick ray hovers an arrow; dragging it moves the target along that axis by
// the mouse motion projected onto the arrow's on-screen direction.
#pragma once

#include <cstdint>

#include "d3d9/D3D9.h"
#include "render/D3D/SwapChain.h"
#include "render/Editor/Interface.h"
#include "render/Mesh.h"

class EditorJustification {
public:
    static constexpr float kSize = 0.026f;
    static constexpr float kLength = 10.0f;
    static constexpr int kConeSegments = 9;
    // How close the ray must pass an arrow, per unit of scale.
    static constexpr float kHoverDistance = 0.027f;
    static constexpr float kDragSpeed = 0.0009f;

    struct ConeVertex {
        float position[3];
        float normal[3];
    };

    EditorJustificationInterface* target = nullptr; // not owned
    int32_t selectedAxis = 0;                       // 0 none, 1 x, 2 y, 3 z

    EditorJustification();

    // Rebuilds the three cones around the target's pivot for the scale.
    void updateGeometry(float scale);
    // Whether the ray passes an arrow; keeps selectedAxis.
    bool hover(const EditorRay& ray, float scale);
    // Moves the target along the selected axis by one input update's motion.
    void drag(D3D::Device::SwapChain& camera, float scale, float mouseMoveX, float mouseMoveY);
    void draw(float scale);

    Mesh<ConeVertex, D3DFVF_XYZ | D3DFVF_NORMAL>& cones() { return cones_; }

private:
    Mesh<ConeVertex, D3DFVF_XYZ | D3DFVF_NORMAL> cones_;
    vec3d pivot_;
};

// The third gizmo: nothing in this program ever gives it a target, so it
// carries only what the view's triggers read: its flag, its target, a hover
// test and a drag that have nothing to act on.
class EditorThirdGizmo {
public:
    int32_t flag = 0;
    void* target = nullptr;
    bool hover(const EditorRay&) const { return false; }
    void drag() {}
    void draw() {}
};

// The rotation rings. The program never gives them a target either, so
// without one they are neither drawn nor hit, and a drag changes nothing.
class EditorRotation {
public:
    EditorJustificationInterface* target = nullptr; // not owned
    bool dragging = false;

    EditorRotation() { rings_.name() = String(u"EditorRing"); }
    bool hover(const EditorRay&) const { return false; }
    void startDrag(const EditorRay&) { dragging = target != nullptr; }
    void drag(float, const EditorRay&) {}
    void updateGeometry(float) {}
    void draw(float) {}

private:
    struct RingVertex {
        float position[3];
        float normal[3];
    };
    Mesh<RingVertex, D3DFVF_XYZ | D3DFVF_NORMAL> rings_;
};
