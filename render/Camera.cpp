// SPDX-License-Identifier: MIT
// The camera routines. Square roots go through tableSqrt and degrees become
// radians with the engine's own constant, so the matrices match the ones the
// engine has always produced; products and sums are kept in their written
// order for the same reason (the build does not contract them).
#include "render/Camera.h"

#include <algorithm>
#include <cmath>

#include "core/FrameTimer.h"
#include "core/TableSqrt.h"
#include "render/D3D/Device.h"

namespace D3D {

namespace {

// Short of the pole, so the look vector never flips over it.
constexpr float kTiltLimit = 89.8f;

D3DVECTOR cross(const D3DVECTOR& a, const D3DVECTOR& b) {
    return D3DVECTOR{a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

// A zero vector stays zero instead of turning into NaNs.
void normalise(D3DVECTOR& v) {
    if (v.x == 0.0f && v.y == 0.0f && v.z == 0.0f) return;
    const float length = tableSqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    v.x = v.x / length;
    v.y = v.y / length;
    v.z = v.z / length;
}

D3DMATRIX multiply(const D3DMATRIX& a, const D3DMATRIX& b) {
    D3DMATRIX c;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            c.m[i][j] = a.m[i][0] * b.m[0][j] + a.m[i][1] * b.m[1][j] + a.m[i][2] * b.m[2][j] +
                        a.m[i][3] * b.m[3][j];
    return c;
}

void setPlane(FrustumPlane& plane, float a, float b, float c, float w) {
    const float length = tableSqrt(a * a + b * b + c * c);
    plane.normal = D3DVECTOR{a / length, b / length, c / length};
    plane.d = -w / length;
    plane.nearest =
        D3DVECTOR{plane.normal.x * plane.d, plane.normal.y * plane.d, plane.normal.z * plane.d};
}

} // namespace

void setOrientation(Device::SwapChain& camera, const D3DVECTOR& look, const D3DVECTOR& up) {
    D3DVECTOR right = cross(up, look);
    normalise(right);
    D3DVECTOR trueUp = cross(look, right);
    normalise(trueUp);
    D3DMATRIX& v = camera.view;
    v.m[0][0] = right.x;
    v.m[1][0] = right.y;
    v.m[2][0] = right.z;
    v.m[0][1] = trueUp.x;
    v.m[1][1] = trueUp.y;
    v.m[2][1] = trueUp.z;
    v.m[0][2] = look.x;
    v.m[1][2] = look.y;
    v.m[2][2] = look.z;
    applyView(camera);
}

void setOrientation(Device::SwapChain& camera) {
    const float c1 = std::cos(camera.pan * kRadians), s1 = std::sin(camera.pan * kRadians);
    const float c2 = std::cos(camera.tilt * kRadians), s2 = std::sin(camera.tilt * kRadians);
    const float c3 = std::cos(camera.roll * kRadians), s3 = std::sin(camera.roll * kRadians);
    D3DMATRIX& v = camera.view;
    v.m[0][0] = c3 * c1 - s2 * s1 * s3;
    v.m[0][1] = s2 * s1 * c3 + s3 * c1;
    v.m[0][2] = -c2 * s1;
    v.m[1][0] = -s3 * c2;
    v.m[1][1] = c3 * c2;
    v.m[1][2] = s2;
    v.m[2][0] = c3 * s1 + s2 * c1 * s3;
    v.m[2][1] = s3 * s1 - s2 * c1 * c3;
    v.m[2][2] = c2 * c1;
    applyView(camera);
}

void applyView(Device::SwapChain& camera) {
    if (currentDevice) currentDevice->SetTransform(D3DTS_VIEW, &camera.view);
}

void calc(Device::SwapChain& camera) {
    D3DMATRIX& v = camera.view;
    camera.look = D3DVECTOR{v.m[0][2], v.m[1][2], v.m[2][2]};
    camera.up = D3DVECTOR{v.m[0][1], v.m[1][1], v.m[2][1]};
    camera.right = D3DVECTOR{v.m[0][0], v.m[1][0], v.m[2][0]};

    v.m[3][0] = 0.0f;
    v.m[3][1] = 0.0f;
    v.m[3][2] = 0.0f;
    camera.viewProjection = multiply(v, camera.projection);
    extractFrustum(camera.rotationFrustum, camera.viewProjection);

    const D3DVECTOR& p = camera.position;
    v.m[3][0] = -(p.x * v.m[0][0] + p.y * v.m[1][0] + p.z * v.m[2][0]);
    v.m[3][1] = -(p.x * v.m[0][1] + p.y * v.m[1][1] + p.z * v.m[2][1]);
    v.m[3][2] = -(p.x * v.m[0][2] + p.y * v.m[1][2] + p.z * v.m[2][2]);
    camera.viewProjection = multiply(v, camera.projection);
    extractFrustum(camera.viewFrustum, camera.viewProjection);
}

void extractFrustum(Frustum& frustum, const D3DMATRIX& m) {
    const auto& e = m.m;
    FrustumPlane* plane = frustum.planes;
    setPlane(plane[0], e[0][2], e[1][2], e[2][2], e[3][2]);
    setPlane(plane[1], e[0][3] - e[0][2], e[1][3] - e[1][2], e[2][3] - e[2][2], e[3][3] - e[3][2]);
    setPlane(plane[2], e[0][3] + e[0][0], e[1][3] + e[1][0], e[2][3] + e[2][0], e[3][3] + e[3][0]);
    setPlane(plane[3], e[0][3] - e[0][1], e[1][3] - e[1][1], e[2][3] - e[2][1], e[3][3] - e[3][1]);
    setPlane(plane[4], e[0][3] - e[0][0], e[1][3] - e[1][0], e[2][3] - e[2][0], e[3][3] - e[3][0]);
    setPlane(plane[5], e[0][3] + e[0][1], e[1][3] + e[1][1], e[2][3] + e[2][1], e[3][3] + e[3][1]);
    frustum.count = 6;
}

void mouseLook(Device::SwapChain& camera, float sensitivity, const CameraInput& input) {
    camera.panTarget = camera.panTarget - input.mouseMoveX * sensitivity;
    const float tiltTarget = camera.tiltTarget - input.mouseMoveY * sensitivity;
    // A slow frame catches up in one step rather than overshooting.
    const float f = std::min(1.0f, currentFrameStep * 0.4f);
    camera.pan = camera.pan + (camera.panTarget - camera.pan) * f;
    camera.tilt = std::clamp(camera.tilt + (tiltTarget - camera.tilt) * f, -kTiltLimit, kTiltLimit);
    camera.tiltTarget = std::clamp(tiltTarget, -kTiltLimit, kTiltLimit);
}

void fly(Device::SwapChain& camera, float sensitivity, float speed, const CameraInput& input) {
    mouseLook(camera, sensitivity, input);
    const float step = currentFrameStep;
    const float forward = float(int(input.leftButton) - int(input.rightButton)) * speed * step;
    const float strafe = float(int(input.rightShift) + 1) * input.arrowX * speed * step;
    const float cp = std::cos(camera.pan * kRadians), sp = std::sin(camera.pan * kRadians);
    const float ct = std::cos(camera.tilt * kRadians), st = std::sin(camera.tilt * kRadians);
    D3DVECTOR& p = camera.position;
    p.x = p.x + strafe * cp - forward * ct * sp;
    p.y = p.y + forward * st;
    p.z = p.z + strafe * sp + forward * ct * cp;
    setOrientation(camera);
    calc(camera);
}

} // namespace D3D
