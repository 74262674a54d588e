// SPDX-License-Identifier: MIT
#include "render/Editor/Justification.h"

#include <algorithm>
#include <cmath>

#include "render/D3D/Device.h"
#include "render/D3D/StageStates.h"

namespace {

constexpr D3DCOLOR kAxisColors[3] = {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu};
constexpr D3DCOLOR kHoverColor = 0xFFFFFF00u;
// Each cone: a side and a base triangle per segment, three vertices each,
// so that every face keeps its own normal.
constexpr int kConeVertices = EditorJustification::kConeSegments * 6;

vec3d operator+(vec3d a, vec3d b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
vec3d operator-(vec3d a, vec3d b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
vec3d operator*(vec3d a, float s) {
    return {a.x * s, a.y * s, a.z * s};
}
float dot(vec3d a, vec3d b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
vec3d cross(vec3d a, vec3d b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
vec3d normalised(vec3d v) {
    const float length = std::sqrt(dot(v, v));
    return length > 0.0f ? v * (1.0f / length) : v;
}

constexpr vec3d kUnit[3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};

// The shortest distance between a ray (unit direction, t ≥ 0) and a segment.
float rayToSegment(vec3d origin, vec3d direction, vec3d from, vec3d to) {
    const vec3d u = to - from;
    const vec3d w = origin - from;
    const float b = dot(direction, u), c = dot(u, u), d = dot(direction, w), e = dot(u, w);
    const float denominator = c - b * b; // a = 1
    float t = 0.0f, s = 0.0f;
    if (c <= 0.0f) {
        t = std::max(0.0f, -d);
    } else {
        s = denominator > 1e-12f ? std::clamp((e - b * d) / denominator, 0.0f, 1.0f) : 0.0f;
        t = std::max(0.0f, b * s - d);
        // With t clamped the nearest point on the segment moves as well.
        s = std::clamp((dot(origin + direction * t - from, u)) / c, 0.0f, 1.0f);
    }
    const vec3d between = (origin + direction * t) - (from + u * s);
    return std::sqrt(dot(between, between));
}

D3DMATERIAL9 materialFor(D3DCOLOR color) {
    const float r = float((color >> 16) & 0xFF) / 255.0f;
    const float g = float((color >> 8) & 0xFF) / 255.0f;
    const float b = float(color & 0xFF) / 255.0f;
    D3DMATERIAL9 material{};
    material.Diffuse = D3DCOLORVALUE{r, g, b, 1.0f};
    material.Ambient = D3DCOLORVALUE{r, g, b, 1.0f};
    // Lit from the camera the cones would darken at their rims; some glow
    // keeps the axis colour readable from every side.
    material.Emissive = D3DCOLORVALUE{r * 0.4f, g * 0.4f, b * 0.4f, 1.0f};
    return material;
}

} // namespace

EditorJustification::EditorJustification() {
    cones_.name() = String(u"Cone");
}

void EditorJustification::updateGeometry(float scale) {
    if (!target) return;
    target->getPivot(pivot_);
    cones_.vertexCount() = 0;
    cones_.indexCount() = 0;
    const float radius = kSize * 0.5f * scale;
    int32_t next = 0;
    const auto add = [&](vec3d position, vec3d normal) {
        VertexComponents* v = cones_.vertexAt(next);
        v->position[0] = position.x, v->position[1] = position.y, v->position[2] = position.z;
        v->normal[0] = normal.x, v->normal[1] = normal.y, v->normal[2] = normal.z;
        cones_.addIndex(uint16_t(next++));
    };
    for (int axis = 0; axis < 3; ++axis) {
        const vec3d u = kUnit[axis];
        const vec3d v = kUnit[(axis + 1) % 3];
        const vec3d w = kUnit[(axis + 2) % 3];
        const vec3d base = pivot_ + u * (kLength * kSize * scale);
        const vec3d apex = base + u * (2.0f * kSize * scale);
        const auto rim = [&](int k) {
            const float angle = float(k) * 6.2831853f / float(kConeSegments);
            return base + v * (std::cos(angle) * radius) + w * (std::sin(angle) * radius);
        };
        for (int k = 0; k < kConeSegments; ++k) {
            const vec3d a = rim(k), b = rim(k + 1);
            const vec3d side = normalised(cross(b - a, apex - a));
            add(a, side);
            add(apex, side);
            add(b, side);
            add(base, u * -1.0f);
            add(a, u * -1.0f);
            add(b, u * -1.0f);
        }
    }
    cones_.vertexCount() = next;
}

bool EditorJustification::hover(const EditorRay& ray, float scale) {
    if (!target) {
        selectedAxis = 0;
        return false;
    }
    target->getPivot(pivot_);
    const float reach = kHoverDistance * scale;
    float distance[3];
    for (int axis = 0; axis < 3; ++axis) {
        const vec3d from = pivot_ + kUnit[axis] * (1.5f * kSize * scale);
        const vec3d to = pivot_ + kUnit[axis] * ((kLength + 2.0f) * kSize * scale);
        distance[axis] = rayToSegment(ray.origin, ray.direction, from, to);
    }
    // An arrow stays selected while the ray stays on it, even where another
    // one passes nearer (they meet at the pivot).
    if (selectedAxis > 0 && distance[selectedAxis - 1] <= reach) return true;
    selectedAxis = 0;
    float best = reach;
    for (int axis = 0; axis < 3; ++axis) {
        if (distance[axis] <= best) {
            best = distance[axis];
            selectedAxis = axis + 1;
        }
    }
    return selectedAxis != 0;
}

void EditorJustification::drag(D3D::Device::SwapChain& camera, float scale, float mouseMoveX,
                               float mouseMoveY) {
    if (!target || selectedAxis == 0) return;
    vec3d position;
    target->getPosition(position);
    const D3DMATRIX& m = camera.viewProjection;
    const float width = float(camera.presentParameters.BackBufferWidth);
    const float height = float(camera.presentParameters.BackBufferHeight);
    const auto toPixels = [&](vec3d p, float& x, float& y) {
        const float cx = p.x * m.m[0][0] + p.y * m.m[1][0] + p.z * m.m[2][0] + m.m[3][0];
        const float cy = p.x * m.m[0][1] + p.y * m.m[1][1] + p.z * m.m[2][1] + m.m[3][1];
        float cw = p.x * m.m[0][3] + p.y * m.m[1][3] + p.z * m.m[2][3] + m.m[3][3];
        if (cw == 0.0f) cw = 1.0f;
        x = (cx / cw + 1.0f) * 0.5f * width;
        y = (1.0f - (cy / cw + 1.0f) * 0.5f) * height;
    };
    float ox = 0, oy = 0, ax = 0, ay = 0;
    toPixels(vec3d{0, 0, 0}, ox, oy);
    toPixels(kUnit[selectedAxis - 1] * scale, ax, ay);
    float dx = ax - ox, dy = ay - oy;
    const float length = std::sqrt(dx * dx + dy * dy);
    if (length > 0.0f) dx /= length, dy /= length;
    const float step = (dx * mouseMoveX + dy * mouseMoveY) * kDragSpeed * scale;
    float* coordinate[3] = {&position.x, &position.y, &position.z};
    *coordinate[selectedAxis - 1] += step;
    target->setPosition(position);
}

void EditorJustification::draw(float scale) {
    IDirect3DDevice9* d = D3D::currentDevice;
    if (!d || !target || cones_.vertexCount() == 0) return;
    struct LineVertex {
        float x, y, z;
        D3DCOLOR color;
    } shafts[6];
    for (int axis = 0; axis < 3; ++axis) {
        const D3DCOLOR color = selectedAxis == axis + 1 ? kHoverColor : kAxisColors[axis];
        const vec3d from = pivot_ + kUnit[axis] * (1.5f * kSize * scale);
        const vec3d to = pivot_ + kUnit[axis] * (kLength * kSize * scale);
        shafts[axis * 2] = LineVertex{from.x, from.y, from.z, color};
        shafts[axis * 2 + 1] = LineVertex{to.x, to.y, to.z, color};
    }
    D3D::setIdentityWorld(d);
    D3D::useVertexColour(d);
    d->SetRenderState(D3DRS_LIGHTING, FALSE);
    d->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE);
    d->DrawPrimitiveUP(D3DPT_LINELIST, 3, shafts, sizeof(LineVertex));

    d->SetRenderState(D3DRS_LIGHTING, TRUE);
    d->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    d->SetFVF(D3DFVF_XYZ | D3DFVF_NORMAL);
    ConeVertex* vertices = cones_.packVertices();
    for (int axis = 0; vertices && axis < 3; ++axis) {
        const D3DMATERIAL9 material =
            materialFor(selectedAxis == axis + 1 ? kHoverColor : kAxisColors[axis]);
        d->SetMaterial(&material);
        d->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, UINT(axis * kConeVertices), kConeVertices,
                                  kConeVertices / 3, cones_.indices() + axis * kConeVertices,
                                  D3DFMT_INDEX16, vertices, sizeof(ConeVertex));
    }
    d->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    D3D::useTexture(d);
}
