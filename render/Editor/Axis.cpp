// SPDX-License-Identifier: MIT
#include "render/Editor/Axis.h"

#include <iterator>

#include "render/D3D/Device.h"
#include "render/D3D/StageStates.h"

namespace {

constexpr D3DCOLOR kXColor = 0xFF7F0000u;
constexpr D3DCOLOR kYColor = 0xFF007F00u;
constexpr D3DCOLOR kZColor = 0xFF00007Fu;
constexpr D3DCOLOR kGridMajor = 0xFF333333u;
constexpr D3DCOLOR kGridMinor = 0xFF7F7F7Fu;
constexpr int kGridLines = 59; // per direction, inside the outline

struct Point {
    float x, y, z;
};
struct Segment {
    uint16_t from, to;
};

// Per axis: eight points and the segments between them (shaft, arrow head,
// letter), in units of 1/25 of the grid size.
struct AxisShape {
    D3DCOLOR color;
    Point points[8];
    Segment segments[6];
    int segmentCount;
};

constexpr AxisShape kShapes[3] = {
    {kXColor,
     {{0, 0, 0},
      {6, 0, 0},
      {5.8f, 0, -0.2f},
      {5.8f, 0, 0.2f},
      {6.5f, 0, -0.15f},
      {6.9f, 0, 0.15f},
      {6.5f, 0, 0.15f},
      {6.9f, 0, -0.15f}},
     {{0, 1}, {1, 2}, {1, 3}, {4, 5}, {6, 7}},
     5},
    {kYColor,
     {{0, 0, 0},
      {0, 6, 0},
      {-0.2f, 5.8f, 0},
      {0.2f, 5.8f, 0},
      {0, 6.5f, 0},
      {0, 6.7f, 0},
      {-0.15f, 6.9f, 0},
      {0.15f, 6.9f, 0}},
     {{0, 1}, {1, 2}, {1, 3}, {4, 5}, {5, 6}, {5, 7}},
     6},
    {kZColor,
     {{0, 0, 0},
      {0, 0, 6},
      {-0.2f, 0, 5.8f},
      {0.2f, 0, 5.8f},
      {0.15f, 0, 6.5f},
      {-0.15f, 0, 6.5f},
      {0.15f, 0, 6.9f},
      {-0.15f, 0, 6.9f}},
     {{0, 1}, {1, 2}, {1, 3}, {4, 5}, {5, 6}, {6, 7}},
     6},
};

void drawLines(IDirect3DDevice9* device, const void* vertices, size_t vertexCount,
               const uint16_t* indices, size_t indexCount) {
    device->DrawIndexedPrimitiveUP(D3DPT_LINELIST, 0, UINT(vertexCount), UINT(indexCount / 2),
                                   indices, D3DFMT_INDEX16, vertices,
                                   sizeof(EditorAxis::LineVertex));
}

} // namespace

EditorAxis::EditorAxis(float gridSize) {
    buildAxes(gridSize * 0.04f);
    buildGrid(gridSize * 1.5f);
}

void EditorAxis::buildAxes(float unit) {
    int vertex = 0, index = 0;
    for (const AxisShape& shape : kShapes) {
        const int base = vertex;
        for (const Point& p : shape.points)
            axisVertices_[vertex++] = LineVertex{p.x * unit, p.y * unit, p.z * unit, shape.color};
        for (int s = 0; s < shape.segmentCount; ++s) {
            axisIndices_[index++] = uint16_t(base + shape.segments[s].from);
            axisIndices_[index++] = uint16_t(base + shape.segments[s].to);
        }
    }
}

void EditorAxis::buildGrid(float half) {
    const float step = 2.0f * half / 60.0f;
    const auto line = [this](float x0, float z0, float x1, float z1, D3DCOLOR color) {
        gridIndices_.push_back(uint16_t(gridVertices_.size()));
        gridVertices_.push_back(LineVertex{x0, 0.0f, z0, color});
        gridIndices_.push_back(uint16_t(gridVertices_.size()));
        gridVertices_.push_back(LineVertex{x1, 0.0f, z1, color});
    };
    gridVertices_.reserve(4 + 4 * kGridLines);
    gridIndices_.reserve(8 + 4 * kGridLines);
    // The outline shares its four corners.
    const Point corners[4] = {
        {-half, 0, -half}, {-half, 0, half}, {half, 0, half}, {half, 0, -half}};
    for (const Point& c : corners) gridVertices_.push_back(LineVertex{c.x, 0.0f, c.z, kGridMajor});
    for (uint16_t c = 0; c < 4; ++c) {
        gridIndices_.push_back(c);
        gridIndices_.push_back(uint16_t((c + 1) % 4));
    }
    for (int k = 1; k <= kGridLines; ++k) {
        const float at = -half + float(k) * step;
        line(-half, at, half, at, k % 10 == 0 ? kGridMajor : kGridMinor);
    }
    for (int k = 1; k <= kGridLines; ++k) {
        const float at = -half + float(k) * step;
        line(at, -half, at, half, k % 10 == 0 ? kGridMajor : kGridMinor);
    }
}

void EditorAxis::draw(int32_t fogEnabled) const {
    IDirect3DDevice9* d = D3D::currentDevice;
    if (!d) return;
    D3D::setIdentityWorld(d);
    D3D::useVertexColour(d);
    d->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE);
    d->SetRenderState(D3DRS_LIGHTING, FALSE);
    d->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    drawLines(d, gridVertices_.data(), gridVertices_.size(), gridIndices_.data(),
              gridIndices_.size());
    d->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
    drawLines(d, axisVertices_, std::size(axisVertices_), axisIndices_, std::size(axisIndices_));
    d->SetRenderState(D3DRS_COLORWRITEENABLE, 0);
    drawLines(d, gridVertices_.data(), gridVertices_.size(), gridIndices_.data(),
              gridIndices_.size());
    d->SetRenderState(D3DRS_COLORWRITEENABLE, 15);
    d->SetRenderState(D3DRS_LIGHTING, TRUE);
    if (fogEnabled) d->SetRenderState(D3DRS_FOGENABLE, TRUE);
    D3D::useTexture(d);
}
