// SPDX-License-Identifier: MIT
// The fixed-function pipeline of Direct3D 9 as one OpenGL 3.3 program whose
// uniforms carry the device state, and the decoding of flexible vertex
// formats into attribute layouts.
//  [x] world, view and projection as Direct3D row-vector matrices, used
//      unchanged; clip z 0..1 mapped to OpenGL's -1..1, y flipped so that
//      targets hold rows top-down as Direct3D does
//  [x] pre-transformed XYZRHW vertices in pixels, with Direct3D's pixel centres
//  [x] lighting: up to 8 directional, point or spot lights, the material and
//      its colour sources, global ambient, NORMALIZENORMALS, LOCALVIEWER,
//      SPECULARENABLE; lighting off passes vertex colours (or white)
//  [x] texture stages 0..3: DISABLE, SELECTARG1/2, MODULATE(2X/4X), ADD,
//      ADDSIGNED, SUBTRACT with DIFFUSE, CURRENT, TEXTURE, TFACTOR, SPECULAR
//      and the COMPLEMENT and ALPHAREPLICATE modifiers
//  [x] vertex fog (linear, exp, exp2, range or depth based), table fog
//      computed the same way per vertex; alpha test
//  [ ] stages 4..7, texture coordinate generation and texture transforms,
//      vertex blending, flat shading (each logged once when the engine asks)
#pragma once

#include <epoxy/gl.h>

#include <array>
#include <cstdint>
#include <string>
#include <unordered_map>

#include "d3d9/StateBlock.h"

namespace d3d9 {

inline constexpr int kStages = 4;

// Where each element of a flexible-vertex-format vertex lies.
struct VertexLayout {
    DWORD fvf = 0;
    bool valid = false;
    bool pretransformed = false; // XYZRHW
    UINT stride = 0;
    int positionFloats = 0; // 3 or 4
    int normal = -1, pointSize = -1, diffuse = -1, specular = -1;
    int texCount = 0;
    std::array<int, 8> tex{};     // offsets
    std::array<int, 8> texSize{}; // floats per set
    static VertexLayout decode(DWORD fvf);
};

class FixedFunction {
public:
    FixedFunction() = default;
    FixedFunction(const FixedFunction&) = delete;
    FixedFunction& operator=(const FixedFunction&) = delete;
    ~FixedFunction();

    // Compiles and links the program; false (and logged) when the driver refuses it.
    bool build();
    // Makes the program current and loads the uniforms for one draw;
    // `stageTextures` tells which stages have a texture bound.
    void apply(const DeviceState& state, const VertexLayout& layout,
               const std::array<bool, kStages>& stageTextures);

private:
    GLint location(const std::string& name);
    GLuint program_ = 0;
    std::unordered_map<std::string, GLint> locations_;
};

} // namespace d3d9
