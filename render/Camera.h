// SPDX-License-Identifier: MIT
// A swap chain's camera routines: the view matrix from a look direction or
// from pan, tilt and roll, the combined view-projection matrix and its two
// frusta, and the engine's smoothed mouse look and fly camera. Everything
// lives in the swap chain's camera block; nothing here keeps state. The
// results are stored in meshes and compared bit for bit, so the evaluation
// order of every formula is part of the contract.
#pragma once

#include <cstdint>

#include "core/UserInput.h"
#include "d3d9/D3D9.h"
#include "render/D3D/SwapChain.h"

namespace D3D {

// The input the moving cameras read, one input update's worth. The fields
// carry the user-input record's values: button and key bytes are 0 or 1.
struct CameraInput {
    float mouseMoveX = 0.0f;
    float mouseMoveY = 0.0f;
    uint8_t leftButton = 0;  // flies forward
    uint8_t rightButton = 0; // flies backward
    float arrowX = 0.0f;     // smoothed left/right arrow axis, -1..1
    uint8_t rightShift = 0;  // doubles the sideways speed
};

// Degrees to radians, as every angle here is given in degrees.
inline constexpr float kRadians = 0.017453292f;

// What the cameras read from the input record after its update.
inline CameraInput cameraInput(const UserInput& input) {
    constexpr int kRightShift = 0x36;
    return CameraInput{input.mouseMoveX,   input.mouseMoveY, input.mouseDown[0],
                       input.mouseDown[1], input.arrowX,     input.keyDown[kRightShift]};
}

// Rotation part of the view from a look direction (kept as given, not
// normalised) and an up vector, then applyView.
void setOrientation(Device::SwapChain& camera, const D3DVECTOR& look, const D3DVECTOR& up);
// Rotation part of the view from pan, tilt and roll, then applyView.
void setOrientation(Device::SwapChain& camera);
// The view matrix to the current device; nothing without a device.
void applyView(Device::SwapChain& camera);
// Adds the translation to the view and rebuilds the combined matrix and both
// frusta; the device is not told (applyView does that).
void calc(Device::SwapChain& camera);
void extractFrustum(Frustum& frustum, const D3DMATRIX& m);
// Angles ease towards targets moved by the mouse, at the frame timer's step.
void mouseLook(Device::SwapChain& camera, float sensitivity, const CameraInput& input);
// mouseLook, then buttons and arrows move the camera along its angles.
void fly(Device::SwapChain& camera, float sensitivity, float speed, const CameraInput& input);

} // namespace D3D
