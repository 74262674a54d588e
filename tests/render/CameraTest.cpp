// SPDX-License-Identifier: MIT
// The camera routines: the view's rotation from a direction and from angles,
// calc's translation row and frusta, the eased mouse look with its tilt
// limit, the fly camera, and which of them hand the view to the device.
#include "render/Camera.h"

#include <cmath>

#include "core/FrameTimer.h"
#include "core/TableSqrt.h"
#include "render/RenderFixture.h"

namespace {

using D3D::CameraInput;

// Columns of the rotation part: right, up, look.
void expectRotation(const D3DMATRIX& v, D3DVECTOR r, D3DVECTOR u, D3DVECTOR l) {
    const float want[3][3] = {{r.x, u.x, l.x}, {r.y, u.y, l.y}, {r.z, u.z, l.z}};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) EXPECT_EQ(v.m[i][j], want[i][j]) << i << j;
}

float dot(const D3DVECTOR& a, const D3DVECTOR& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

class CameraTest : public RenderTest {
protected:
    D3D::Device::SwapChain camera{nullptr};
    float savedStep = currentFrameStep;

    void SetUp() override {
        RenderTest::SetUp();
        camera.presentParameters.BackBufferWidth = 320;
        camera.presentParameters.BackBufferHeight = 200;
        camera.updateProjection();
        currentFrameStep = 1.0f;
    }
    void TearDown() override {
        currentFrameStep = savedStep;
        RenderTest::TearDown();
    }
};

TEST_F(CameraTest, SetOrientation) {
    camera.view.m[3][0] = 7.0f; // only the rotation part is set
    D3D::setOrientation(camera, {0, 0, 1}, {0, 1, 0});
    expectRotation(camera.view, {1, 0, 0}, {0, 1, 0}, {0, 0, 1});
    EXPECT_EQ(camera.view.m[3][0], 7.0f);
    // The look vector is kept as given; right comes from the table root.
    D3D::setOrientation(camera, {0, 0, 2}, {0, 1, 0});
    expectRotation(camera.view, {1, 0, 0}, {0, 1, 0}, {0, 0, 2});
    D3D::setOrientation(camera, {1, 0, 1}, {0, 1, 0});
    EXPECT_EQ(camera.view.m[0][0], 1.0f / tableSqrt(2.0f));
    // Looking along up: right and up stay zero rather than NaN.
    D3D::setOrientation(camera, {0, 1, 0}, {0, 1, 0});
    expectRotation(camera.view, {0, 0, 0}, {0, 0, 0}, {0, 1, 0});

    // From angles: tilt raises the look by its sine, pan turns it towards -x,
    // roll turns right and up about it.
    const float c = std::cos(30.0f * 0.017453292f), s = std::sin(30.0f * 0.017453292f);
    camera.tilt = 30.0f;
    D3D::setOrientation(camera);
    expectRotation(camera.view, {1, 0, 0}, {0, c, -s}, {0, s, c});
    camera.tilt = 0.0f;
    camera.pan = 30.0f;
    D3D::setOrientation(camera);
    expectRotation(camera.view, {c, 0, s}, {0, 1, 0}, {-s, 0, c});
    camera.pan = 0.0f;
    camera.roll = 30.0f;
    D3D::setOrientation(camera);
    expectRotation(camera.view, {c, -s, 0}, {s, c, 0}, {0, 0, 1});
}

TEST_F(CameraTest, CalcBuildsTranslationAndFrusta) {
    camera.position = D3DVECTOR{1, 2, 3};
    D3D::setOrientation(camera, {0, 0, 1}, {0, 1, 0});
    camera.view.m[3][2] = -80.0f; // a stale translation must not reach the rotation frustum
    D3D::calc(camera);
    EXPECT_EQ(camera.view.m[3][0], -1.0f);
    EXPECT_EQ(camera.view.m[3][1], -2.0f);
    EXPECT_EQ(camera.view.m[3][2], -3.0f);
    const D3DMATRIX& p = camera.projection;
    EXPECT_EQ(camera.viewProjection.m[3][2], -3.0f * p.m[2][2] + p.m[3][2]);

    // The table root is good to about 1e-5. Near plane 0.5 ahead of the eye.
    EXPECT_EQ(camera.rotationFrustum.count, 6);
    EXPECT_NEAR(camera.rotationFrustum.planes[0].d, 0.5f, 1e-4f);
    EXPECT_NEAR(camera.rotationFrustum.planes[1].d, -3762.0f, 4.0f); // far faces back
    const D3D::Frustum& f = camera.viewFrustum;
    EXPECT_NEAR(f.planes[0].d, 3.5f, 1e-4f);
    // Left, top, right, bottom face inwards and pass through the eye.
    EXPECT_GT(f.planes[2].normal.x, 0.0f);
    EXPECT_LT(f.planes[3].normal.y, 0.0f);
    EXPECT_LT(f.planes[4].normal.x, 0.0f);
    EXPECT_GT(f.planes[5].normal.y, 0.0f);
    const D3DVECTOR ahead{1, 2, 100};
    for (int i = 0; i < 6; ++i) {
        const D3D::FrustumPlane& plane = f.planes[i];
        EXPECT_NEAR(dot(plane.normal, plane.normal), 1.0f, 1e-4f) << i;
        EXPECT_EQ(plane.nearest.z, plane.normal.z * plane.d) << i;
        EXPECT_GT(dot(plane.normal, ahead), plane.d) << i;
        if (i >= 2) {
            EXPECT_NEAR(dot(plane.normal, camera.position), plane.d, 1e-5f) << i;
        }
    }
}

TEST_F(CameraTest, MouseLookEasesAndLimitsTilt) {
    // Step 1: 0.4 of the way, and tilt eases towards the unlimited target.
    D3D::mouseLook(camera, 0.5f, CameraInput{10.0f, -100.0f});
    EXPECT_EQ(camera.panTarget, -5.0f);
    EXPECT_FLOAT_EQ(camera.pan, -2.0f);
    EXPECT_FLOAT_EQ(camera.tilt, 20.0f);
    D3D::mouseLook(camera, 1.0f, CameraInput{0.0f, -70.0f});
    EXPECT_FLOAT_EQ(camera.tilt, 60.0f);
    EXPECT_EQ(camera.tiltTarget, 89.8f);
    // Step 5: no easing; only tilt is limited.
    currentFrameStep = 5.0f;
    camera.tiltTarget = 120.0f;
    D3D::mouseLook(camera, 1.0f, CameraInput{1000.0f, 0.0f});
    EXPECT_EQ(camera.pan, camera.panTarget);
    EXPECT_EQ(camera.panTarget, -1005.0f);
    EXPECT_EQ(camera.tilt, 89.8f);
    EXPECT_EQ(camera.tiltTarget, 89.8f);
    D3D::mouseLook(camera, 1.0f, CameraInput{0.0f, 400.0f});
    EXPECT_EQ(camera.tilt, -89.8f);
    EXPECT_EQ(camera.tiltTarget, -89.8f);
}

TEST_F(CameraTest, FlyMovesAlongTheAngles) {
    // No input: nothing moves, yet the matrices are rebuilt.
    camera.position = D3DVECTOR{1, 2, 3};
    camera.view.m[0][0] = camera.view.m[3][1] = 9.0f;
    D3D::fly(camera, 0.28f, 3.0f, CameraInput{});
    EXPECT_EQ(camera.position.z, 3.0f);
    expectRotation(camera.view, {1, 0, 0}, {0, 1, 0}, {0, 0, 1});
    EXPECT_EQ(camera.view.m[3][1], -2.0f);
    EXPECT_EQ(camera.viewFrustum.count, 6);

    // Left forward, right back, both none; arrows strafe, right Shift doubles.
    currentFrameStep = 2.0f;
    const struct {
        CameraInput input;
        float x, z;
    } moves[] = {{{0, 0, 1, 0}, 1, 9},
                 {{0, 0, 1, 1}, 1, 9},
                 {{0, 0, 0, 1}, 1, 3},
                 {{0, 0, 0, 0, 0.5f}, 4, 3},
                 {{0, 0, 0, 0, 0.5f, 1}, 10, 3}};
    UserInput record;
    record.arrowX = 0.5f;
    record.keyDown[0x36] = 1;
    EXPECT_EQ(D3D::cameraInput(record).rightShift, moves[4].input.rightShift);
    for (const auto& move : moves) {
        D3D::fly(camera, 0.28f, 3.0f, move.input);
        EXPECT_EQ(camera.position.x, move.x);
        EXPECT_EQ(camera.position.z, move.z);
        EXPECT_EQ(camera.view.m[3][2], -move.z);
    }

    // Panned 90 degrees, forward is -x; tilted 30, it climbs by half.
    currentFrameStep = 5.0f;
    camera.position = D3DVECTOR{};
    camera.panTarget = 90.0f;
    camera.tiltTarget = 30.0f;
    UserInput forward;
    forward.mouseDown[0] = 1;
    D3D::fly(camera, 0.28f, 1.0f, D3D::cameraInput(forward));
    EXPECT_NEAR(camera.position.x, -5.0f * std::cos(30.0f * 0.017453292f), 1e-5f);
    EXPECT_NEAR(camera.position.y, 2.5f, 1e-5f);
    EXPECT_NEAR(camera.position.z, 0.0f, 1e-5f);
}

TEST_F(CameraTest, OnlyOrientationAndApplyViewReachTheDevice) {
    rendertest::TestWindow window{320, 200};
    ASSERT_TRUE(start(window));
    D3D::Device::SwapChain& chain = *D3D::device.firstSwapChain();
    const D3DMATRIX& sent = device()->transforms[0];
    chain.position = D3DVECTOR{0, 0, -4};
    D3D::setOrientation(chain, {1, 0, 0}, {0, 1, 0});
    EXPECT_EQ(sent.m[2][0], -1.0f);
    D3D::calc(chain);
    EXPECT_EQ(chain.view.m[3][0], -4.0f);
    EXPECT_EQ(sent.m[3][0], 0.0f);
    D3D::applyView(chain);
    EXPECT_EQ(sent.m[3][0], -4.0f);
    chain.pan = 30.0f;
    D3D::setOrientation(chain);
    EXPECT_LT(sent.m[0][2], 0.0f);
}

} // namespace
