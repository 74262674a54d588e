// SPDX-License-Identifier: MIT
// A swap chain's per-frame work: the render-target stack and its limit, what
// beginRender hands to the device (fog block, second projection, light 0),
// and the back buffer let go at every present.
#include "render/D3D/SwapChain.h"

#include <algorithm>
#include <bit>

#include "render/RenderFixture.h"

namespace {

class SwapChainTest : public RenderTest {
protected:
    rendertest::TestWindow window{320, 200};
    D3D::Device::SwapChain* chain = nullptr;

    void SetUp() override {
        RenderTest::SetUp();
        ASSERT_TRUE(start(window));
        chain = D3D::device.firstSwapChain();
        ASSERT_NE(chain, nullptr);
    }
};

TEST_F(SwapChainTest, RenderTargetStackHoldsThirtyTwoEntries) {
    fake::Surface* surfaces[32];
    for (int i = 1; i < 32; ++i) {
        surfaces[i] = world.surface(UINT(8 * i), 16, D3DFMT_A8R8G8B8, D3DUSAGE_RENDERTARGET);
        ASSERT_EQ(chain->pushRenderTarget(surfaces[i], nullptr), 1) << i;
    }
    EXPECT_EQ(chain->targetDepth, 32);
    EXPECT_EQ(chain->targets[31].width, 248u);
    EXPECT_FLOAT_EQ(chain->targets[31].aspect, 248.0f / 16.0f);
    EXPECT_EQ(chain->pushRenderTarget(surfaces[1], nullptr), 0);
    EXPECT_EQ(lines.back(), u"The render target stack is full (32 entries)");

    world.calls.clear();
    EXPECT_EQ(chain->popRenderTarget(), 1);
    EXPECT_EQ(chain->targetDepth, 31);
    // The entry below is set again, depth surface included.
    EXPECT_EQ(world.calls,
              (std::vector<std::string>{"SetRenderTarget 0", "SetDepthStencilSurface null"}));
    while (chain->targetDepth > 1) chain->popRenderTarget();
    EXPECT_EQ(chain->popRenderTarget(), 0);
    EXPECT_EQ(chain->targetDepth, 1);
}

TEST_F(SwapChainTest, BeginRenderAppliesFogProjectionAndLight) {
    chain->fog.enabled = 1;
    chain->fog.start = 10.0f;
    chain->fog.end = 500.0f;
    chain->fog.color = 0xFF102030u;
    chain->fog.mipLodBias = -0.5f;
    chain->fog.secondProjection = 1;
    chain->light.direction = D3DVECTOR{0.0f, -1.0f, 0.5f};
    device()->stateCalls.clear();
    chain->beginRender();

    fake::Device& d = *device();
    EXPECT_EQ(d.renderStates[D3DRS_FOGVERTEXMODE], uint32_t(D3DFOG_LINEAR));
    EXPECT_EQ(d.renderStates[D3DRS_RANGEFOGENABLE], 1u);
    EXPECT_EQ(d.renderStates[D3DRS_FOGSTART], std::bit_cast<uint32_t>(10.0f));
    EXPECT_EQ(d.renderStates[D3DRS_FOGEND], std::bit_cast<uint32_t>(500.0f));
    EXPECT_EQ(d.renderStates[D3DRS_FOGCOLOR], 0xFF102030u);
    EXPECT_EQ(d.renderStates[D3DRS_FOGENABLE], 1u);
    for (int sampler = 0; sampler < 3; ++sampler)
        EXPECT_NE(std::find(d.stateCalls.begin(), d.stateCalls.end(),
                            "SS " + std::to_string(sampler) + " 8 " +
                                std::to_string(std::bit_cast<uint32_t>(-0.5f))),
                  d.stateCalls.end());
    // The second projection: the first with m[10] = 1.
    EXPECT_EQ(d.transforms[1].m[2][2], 1.0f);
    EXPECT_EQ(d.transforms[1].m[0][0], chain->projection.m[0][0]);
    EXPECT_EQ(d.light0.Type, D3DLIGHT_DIRECTIONAL);
    EXPECT_EQ(d.light0.Direction.y, 1.0f);
    EXPECT_EQ(d.light0.Direction.z, -0.5f);
    EXPECT_EQ(d.light0.Attenuation0, 1.0f);
}

TEST_F(SwapChainTest, PresentLetsGoOfTheBackBufferEveryFrame) {
    fake::Surface* back = device()->implicit->backBuffer;
    EXPECT_EQ(back->refs, 1u); // held since beginRender
    EXPECT_EQ(chain->present(), D3D_OK);
    EXPECT_EQ(back->refs, 0u);
    EXPECT_EQ(chain->targets[0].color, nullptr);
    chain->beginRender();
    EXPECT_EQ(back->refs, 1u);
    device()->implicit->presentResults = {S_PRESENT_OCCLUDED};
    EXPECT_EQ(chain->present(), S_PRESENT_OCCLUDED); // only loss starts a restore
    EXPECT_EQ(device()->resets.size(), 0u);
}

} // namespace
