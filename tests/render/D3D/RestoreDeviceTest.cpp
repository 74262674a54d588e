// SPDX-License-Identifier: MIT
// Device loss and restore against a device whose cooperative level and
// Reset answers are scripted: what is released and rebuilt, how long it
// waits, which callbacks run in which order, and what a failed attempt
// leaves for the next one.
#include "render/D3D/Device.h"

#include "render/RenderFixture.h"

namespace {

// A projector of the scene modules, as far as the device sees one.
class Projector : public TextureProj {
public:
    std::vector<std::string> calls;
    int32_t hasShadowTarget() override { return 1; }
    void releaseShadowTarget() override { calls.push_back("releaseShadowTarget"); }
    int32_t hasSecondTarget() override { return 0; }
    void releaseSecondTarget() override { calls.push_back("releaseSecondTarget"); }
    void releaseDeviceObjects() override { calls.push_back("releaseDeviceObjects"); }
    void restoreDeviceObjects() override { calls.push_back("restoreDeviceObjects"); }
    void restoreState() override { calls.push_back("restoreState"); }
    void createTargets() override { calls.push_back("createTargets"); }
};

class RestoreDevice : public RenderTest {
protected:
    rendertest::TestWindow window{320, 200};
    fake::Callbacks callbacks;
    Projector projector;
    D3D::Device::SwapChain* chain = nullptr;

    void SetUp() override {
        RenderTest::SetUp();
        ASSERT_TRUE(start(window, &callbacks));
        chain = D3D::device.firstSwapChain();
        D3D::device.texProjList.add(&projector);
        callbacks.slots.clear();
        sleeps.clear();
        lines.clear();
    }

    // The next present finds the device lost.
    void loseDevice() { device()->implicit->presentResults = {D3DERR_DEVICELOST}; }
};

TEST_F(RestoreDevice, LossReleasesWaitsResetsAndRebuildsWithTheNewSize) {
    loseDevice();
    device()->cooperativeResults = {D3DERR_DEVICELOST, D3DERR_DEVICELOST, D3DERR_DEVICENOTRESET};
    window.resizeClient(400, 300); // the window grew while the device was lost
    D3D::RenderTexture* pooled = D3D::device.renderTexture;
    IDirect3DTexture9* oldRenderTexture = pooled->texture.texture();
    const float cameraX = chain->position.x;

    EXPECT_EQ(chain->present(), D3DERR_DEVICELOST);

    EXPECT_EQ(callbacks.slots, (std::vector<int>{9, 11, 11, 11, 11, 10, 12}));
    EXPECT_EQ(sleeps, (std::vector<uint32_t>{80, 80, 80}));
    EXPECT_EQ(D3D::device.lost, 0);
    EXPECT_EQ(chain->presentParameters.BackBufferWidth, 400u);
    EXPECT_EQ(chain->presentParameters.BackBufferHeight, 300u);
    EXPECT_EQ(linesFrom(u"The buffers are successfull released", 6),
              (std::vector<std::u16string>{
                  u"The buffers are successfull released", u"The memory is successfull released",
                  u"Old Resolution:", u"  dwScreenWidth:  320", u"  dwScreenHeight: 200",
                  u"Device is in lost state..."}));
    EXPECT_EQ(
        linesFrom(u"All memory is successfull restored", 5),
        (std::vector<std::u16string>{u"All memory is successfull restored", u"New Resolution:",
                                     u"  dwScreenWidth:  400", u"  dwScreenHeight: 300",
                                     u"Device is in not lost state..."}));
    EXPECT_TRUE(logged(u"New device restore successfully"));

    // The window shows what Reset made: its client area is the back buffer.
    EXPECT_EQ(window.client().right, 400);
    EXPECT_EQ(window.client().bottom, 300);

    // Default-pool objects were made again, the rest kept.
    EXPECT_EQ(D3D::device.renderTexture, pooled);
    EXPECT_NE(pooled->texture.texture(), oldRenderTexture);
    EXPECT_NE(pooled->surface, nullptr);
    EXPECT_EQ(world.count("CreateStateBlock"), 4);
    EXPECT_EQ(projector.calls,
              (std::vector<std::string>{"releaseShadowTarget", "releaseDeviceObjects",
                                        "restoreDeviceObjects", "restoreState", "createTargets"}));
    EXPECT_EQ(chain->position.x, cameraX + 0.001f);
    EXPECT_EQ(D3D::currentSwapChain, chain);
    EXPECT_EQ(chain->targets[0].width, 400u);
}

// A driver may settle on another size than the one asked for: the swap chain
// keeps what Reset reported, and the window is fitted around it.
TEST_F(RestoreDevice, TheWindowIsFittedToTheSizeResetSettledOn) {
    loseDevice();
    device()->cooperativeResults = {D3DERR_DEVICENOTRESET};
    device()->resetWidth = 336;
    device()->resetHeight = 208;
    EXPECT_EQ(chain->present(), D3DERR_DEVICELOST);
    EXPECT_EQ(D3D::device.lost, 0);
    EXPECT_EQ(chain->presentParameters.BackBufferWidth, 336u);
    EXPECT_EQ(chain->presentParameters.BackBufferHeight, 208u);
    EXPECT_EQ(window.client().right, 336);
    EXPECT_EQ(window.client().bottom, 208);
    EXPECT_TRUE(IsWindowVisible(window.handle()));
}

TEST_F(RestoreDevice, AResetDeviceIsNotWaitedFor) {
    loseDevice();
    device()->cooperativeResults = {D3DERR_DEVICENOTRESET};
    chain->present();
    EXPECT_EQ(sleeps, std::vector<uint32_t>{80});
    EXPECT_EQ(device()->resets.size(), 1u);
    EXPECT_EQ(D3D::device.lost, 0);
}

TEST_F(RestoreDevice, AFailedRestoreIsFinishedLaterWithoutReleasingTwice) {
    loseDevice();
    device()->cooperativeResults = {D3DERR_DEVICENOTRESET, D3DERR_DEVICELOST};
    device()->resetResults = {D3DERR_DRIVERINTERNALERROR};
    chain->present();
    EXPECT_EQ(D3D::device.lost, 1);
    EXPECT_EQ(chain->swapChain, nullptr);
    EXPECT_EQ(callbacks.slots, (std::vector<int>{9, 11, 11}));
    EXPECT_FALSE(logged(u"New device restore successfully"));

    // The next frame: no Direct3D swap chain, so present goes straight back.
    device()->cooperativeResults = {D3DERR_DEVICENOTRESET};
    EXPECT_EQ(chain->present(), D3DERR_DEVICELOST);
    EXPECT_EQ(D3D::device.lost, 0);
    EXPECT_EQ(countLogged(u"Device is in lost state..."), 1);
    EXPECT_EQ(countLogged(u"All memory is successfull restored"), 1);
    EXPECT_EQ(callbacks.slots, (std::vector<int>{9, 11, 11, 11, 11, 10, 12}));
    EXPECT_EQ(projector.calls,
              (std::vector<std::string>{"releaseShadowTarget", "releaseDeviceObjects",
                                        "restoreDeviceObjects", "restoreState", "createTargets"}));
    EXPECT_NE(chain->swapChain, nullptr);
    EXPECT_EQ(chain->present(), D3D_OK);
}

TEST_F(RestoreDevice, RepeatedInvalidCallsFallBackToTheStoredParameters) {
    loseDevice();
    device()->cooperativeResults = {D3DERR_DEVICENOTRESET};
    device()->resetResults = {D3DERR_INVALIDCALL, D3DERR_INVALIDCALL, D3DERR_INVALIDCALL,
                              D3DERR_DEVICELOST, E_FAIL};
    chain->present();
    EXPECT_EQ(sleeps, (std::vector<uint32_t>{80, 50, 50, 80, 50}));
    const auto& resets = device()->resets;
    ASSERT_EQ(resets.size(), 6u);
    EXPECT_EQ(resets[0].BackBufferWidth, 0u); // rebuilt: windowed asks for 0 × 0
    EXPECT_EQ(resets[2].BackBufferWidth, 0u);
    EXPECT_EQ(resets[3].BackBufferWidth, 320u); // the stored ones from the third refusal on
    EXPECT_EQ(resets[5].BackBufferWidth, 320u);
    EXPECT_EQ(D3D::device.lost, 0);
}

TEST_F(RestoreDevice, FatalResultsLeaveTheDeviceLost) {
    loseDevice();
    device()->cooperativeResults = {D3DERR_DRIVERINTERNALERROR, D3DERR_DRIVERINTERNALERROR};
    chain->present();
    EXPECT_TRUE(device()->resets.empty());
    EXPECT_EQ(D3D::device.lost, 1);

    device()->cooperativeResults = {D3DERR_DEVICENOTRESET, D3DERR_DEVICENOTRESET};
    device()->resetResults = {D3DERR_OUTOFVIDEOMEMORY};
    chain->present();
    EXPECT_EQ(device()->resets.size(), 1u);
    EXPECT_EQ(D3D::device.lost, 1);
    EXPECT_EQ(countLogged(u"Device is in lost state..."), 1);
}

TEST(RestoreWithoutDevice, SaysSoAndReturns) {
    std::vector<std::u16string> lines;
    ScopedLogSink sink([&](const String& line) { lines.emplace_back(line.text()); });
    D3D::device.restoreDevice();
    EXPECT_EQ(lines, std::vector<std::u16string>{u"D3DDevice is not available (NULL)"});
}

} // namespace
