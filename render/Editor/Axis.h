// SPDX-License-Identifier: MIT
// The ground grid and the three labelled coordinate axes of the 3D view, as
// coloured line lists drawn straight from memory.
#pragma once

#include <cstdint>
#include <vector>

#include "d3d9/D3D9.h"

class EditorAxis {
public:
    struct LineVertex {
        float x, y, z;
        D3DCOLOR color;
    };
    static constexpr int32_t kAxisVertices = 24;
    static constexpr int32_t kAxisIndices = 34;

    // The grid spans 1.5 × gridSize each way from the origin; the axes are
    // 0.24 × gridSize long.
    explicit EditorAxis(float gridSize);

    // Grid and axes on the current device. The grid is drawn a second time
    // into depth only, so that what is drawn later hides it but the axes
    // stay in front of it. Leaves lighting on and stage 0 modulating.
    void draw(int32_t fogEnabled) const;

    const LineVertex* axisVertices() const { return axisVertices_; }
    const uint16_t* axisIndices() const { return axisIndices_; }
    const std::vector<LineVertex>& gridVertices() const { return gridVertices_; }
    const std::vector<uint16_t>& gridIndices() const { return gridIndices_; }

private:
    void buildAxes(float unit);
    void buildGrid(float half);

    LineVertex axisVertices_[kAxisVertices];
    uint16_t axisIndices_[kAxisIndices];
    std::vector<LineVertex> gridVertices_;
    std::vector<uint16_t> gridIndices_;
};
