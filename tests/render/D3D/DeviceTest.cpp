// SPDX-License-Identifier: MIT
// Device creation: refusals that create nothing, the windowed size Direct3D
// writes back, the create flags, the retry loop and its two ways out, and the
// objects made once with the device.
#include "render/D3D/Device.h"

#include <cstring>

#include "render/RenderFixture.h"

namespace {

using DeviceInit = RenderTest;

TEST_F(DeviceInit, RefusesWithoutDirect3DOrWindowAndCreatesNothing) {
    rendertest::TestWindow window(320, 200);
    WinShell::Window shell(window.handle(), 0, 0);
    EXPECT_EQ(D3D::device.init(shell, nullptr, 54270, 1), 0);
    EXPECT_TRUE(logged(u"Direct3D was not initialized. Please call first D3D::init()!"));

    ASSERT_EQ(D3D::init(), 1);
    WinShell::Window none(nullptr, 0, 0);
    EXPECT_EQ(D3D::device.init(none, nullptr, 54270, 1), 0);
    EXPECT_EQ(lines.back(),
              u"Window handle is NULL. Please call first D3D::Device::createWindow() or "
              u"D3D::Device::setWindow()!");
    EXPECT_EQ(direct3D->createDeviceCalls, 0);
    EXPECT_EQ(D3D::device.swapChains.count, 0);
    EXPECT_EQ(D3D::currentDevice, nullptr);
    EXPECT_TRUE(reports.empty());
}

TEST_F(DeviceInit, WindowedSwapChainGetsTheClientSizeDirect3DChose) {
    rendertest::TestWindow window(321, 203);
    fake::Callbacks callbacks;
    direct3D->caps.DevCaps = D3DDEVCAPS_HWTRANSFORMANDLIGHT | D3DDEVCAPS_PUREDEVICE;
    ASSERT_TRUE(start(window, &callbacks));
    EXPECT_TRUE(logged(u"| BackBufferWidth            = 0"));
    EXPECT_TRUE(logged(u"| BackBufferHeight           = 0"));
    EXPECT_EQ(
        linesFrom(u"- Create flags -------------------------------------------", 5),
        (std::vector<std::u16string>{
            u"- Create flags -------------------------------------------",
            u"| dwFlags = HARDWARE_VERTEXPROCESSING |PUREDEVICE |MULTITHREADED",
            u"----------------------------------------------------------", u"", u"[0] D3D_OK"}));
    EXPECT_EQ(direct3D->lastBehaviorFlags,
              D3DCREATE_HARDWARE_VERTEXPROCESSING | D3DCREATE_PUREDEVICE | D3DCREATE_MULTITHREADED);

    D3D::Device::SwapChain* chain = D3D::device.firstSwapChain();
    ASSERT_NE(chain, nullptr);
    EXPECT_EQ(chain->presentParameters.BackBufferWidth, 321u);
    EXPECT_EQ(chain->presentParameters.BackBufferHeight, 203u);
    EXPECT_EQ(chain->primary, 1);
    EXPECT_EQ(D3D::currentSwapChain, chain);
    EXPECT_EQ(D3D::currentDevice, device());
    // beginRender took the back buffer and its size.
    EXPECT_EQ(chain->targets[0].width, 321u);
    EXPECT_FLOAT_EQ(chain->targets[0].aspect, 321.0f / 203.0f);
    EXPECT_EQ(callbacks.slots, std::vector<int>{10});
}

TEST_F(DeviceInit, SoftwareVertexProcessingWithoutHardwareTransform) {
    rendertest::TestWindow window(64, 64);
    direct3D->caps.DevCaps = D3DDEVCAPS_PUREDEVICE; // pure without T&L does not count
    ASSERT_TRUE(start(window));
    EXPECT_TRUE(logged(u"| dwFlags = SOFTWARE_VERTEXPROCESSING |MULTITHREADED"));
    EXPECT_EQ(direct3D->lastBehaviorFlags,
              D3DCREATE_SOFTWARE_VERTEXPROCESSING | D3DCREATE_MULTITHREADED);
}

TEST_F(DeviceInit, CreateDeviceIsRetriedHalfASecondApart) {
    rendertest::TestWindow window(64, 64);
    direct3D->createDeviceResults = {D3DERR_NOTAVAILABLE, D3DERR_OUTOFVIDEOMEMORY};
    ASSERT_TRUE(start(window));
    EXPECT_EQ(direct3D->createDeviceCalls, 3);
    EXPECT_EQ(sleeps, (std::vector<uint32_t>{500, 500}));
    EXPECT_TRUE(logged(u"[0] D3DERR_NOTAVAILABLE"));
    EXPECT_TRUE(logged(u"[1] D3DERR_OUTOFVIDEOMEMORY"));
    EXPECT_TRUE(logged(u"[2] D3D_OK"));
    EXPECT_EQ(countLogged(u"Try again..."), 2);
    EXPECT_EQ(countLogged(u"- D3DPRESENT_PARAMETERS ----------------------------------"), 3);
}

TEST_F(DeviceInit, InvalidArgumentStopsAtOnceWithTheErrorBox) {
    rendertest::TestWindow window(64, 64);
    direct3D->createDeviceResults = {E_INVALIDARG};
    ASSERT_EQ(D3D::init(), 1);
    WinShell::Window shell(window.handle(), 0, 0);
    EXPECT_EQ(D3D::device.init(shell, nullptr, 54270, 1), 0);
    EXPECT_EQ(direct3D->createDeviceCalls, 1);
    EXPECT_TRUE(sleeps.empty());
    EXPECT_TRUE(logged(u"[0] Unknown Error"));
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].owner, static_cast<void*>(window.handle()));
    EXPECT_EQ(reports[0].caption, u"==>Error<==");
    EXPECT_EQ(reports[0].text, u"==>Error<==");
    EXPECT_EQ(reports[0].style, MB_ICONEXCLAMATION);
    EXPECT_EQ(lines.back(), u"==>Error<==");
    EXPECT_EQ(D3D::currentDevice, nullptr);
}

TEST_F(DeviceInit, AnUnusableDesktopFormatEndsInTheErrorBoxAfterAHundredTries) {
    rendertest::TestWindow window(64, 64);
    direct3D->desktopFormat = D3DFMT_X1R5G5B5;
    ASSERT_EQ(D3D::init(), 1);
    WinShell::Window shell(window.handle(), 0, 0);
    EXPECT_EQ(D3D::device.init(shell, nullptr, 54270, 1), 0);
    EXPECT_EQ(D3D::device.settings.backBufferFormat, 0u);
    EXPECT_TRUE(logged(u"| BackBufferFormat           = D3DFMT_UNKNOWN"));
    EXPECT_EQ(direct3D->createDeviceCalls, 100);
    EXPECT_EQ(sleeps, std::vector<uint32_t>(100, 500));
    EXPECT_TRUE(logged(u"[99] D3DERR_INVALIDCALL"));
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].style, MB_ICONEXCLAMATION);
}

TEST_F(DeviceInit, StartUpBuildsThePoolsQuadsAndDefaultTexture) {
    rendertest::TestWindow window(64, 64);
    ASSERT_TRUE(start(window));

    // The render texture of key 17, with its depth surface and lock copy.
    ASSERT_NE(D3D::device.renderTexture, nullptr);
    EXPECT_EQ(D3D::renderTextures.count, 1);
    D3D::RenderTexture* target = D3D::device.renderTexture;
    EXPECT_EQ(target->width, 256u);
    EXPECT_EQ(target->key, 17u);
    EXPECT_NE(target->surface, nullptr);
    EXPECT_NE(target->depthSurface, nullptr);
    EXPECT_EQ(target->lockTexture.name(), String(u"Render Lock Texture"));
    EXPECT_EQ(target->texture.name(), String(u"Render Texture"));
    EXPECT_EQ(D3D::device.getRenderTexture(256, 256, D3DFMT_A8R8G8B8, 17, 1, 1), target);
    D3D::RenderTexture* unshared =
        D3D::device.getRenderTexture(256, 256, D3DFMT_A8R8G8B8, 0xFFFFFFFFu, 0, 0);
    ASSERT_NE(unshared, nullptr);
    EXPECT_NE(D3D::device.getRenderTexture(256, 256, D3DFMT_A8R8G8B8, 0xFFFFFFFFu, 0, 0), unshared);
    EXPECT_EQ(D3D::device.getRenderTexture(1, 256, D3DFMT_A8R8G8B8, 5, 0, 0), nullptr);
    EXPECT_EQ(D3D::renderTextures.count, 3);

    // The sprite quad: a unit quad for a triangle strip, in the managed pool.
    auto* quad = dynamic_cast<fake::VertexBuffer*>(D3D::spriteQuad);
    ASSERT_NE(quad, nullptr);
    EXPECT_EQ(quad->desc.Pool, D3DPOOL_MANAGED);
    EXPECT_EQ(quad->desc.FVF, D3DFVF_XYZ | D3DFVF_TEX1);
    ASSERT_EQ(quad->bytes.size(), 80u);
    float vertices[20];
    std::memcpy(vertices, quad->bytes.data(), 80);
    const float expected[20] = {-0.5f, 0.5f,  0, 0, 0, 0.5f, 0.5f,  0, 1, 0,
                                -0.5f, -0.5f, 0, 0, 1, 0.5f, -0.5f, 0, 1, 1};
    for (int i = 0; i < 20; ++i) EXPECT_EQ(vertices[i], expected[i]) << i;

    // 682 quads of shared indices.
    auto* indices = dynamic_cast<fake::IndexBuffer*>(D3D::quadIndices);
    ASSERT_NE(indices, nullptr);
    ASSERT_EQ(indices->bytes.size(), 682u * 6 * 2);
    uint16_t first[12];
    std::memcpy(first, indices->bytes.data(), sizeof first);
    EXPECT_EQ(std::vector<uint16_t>(first, first + 12),
              (std::vector<uint16_t>{0, 1, 2, 2, 1, 3, 4, 5, 6, 6, 5, 7}));
    uint16_t last;
    std::memcpy(&last, indices->bytes.data() + indices->bytes.size() - 2, 2);
    EXPECT_EQ(last, 681 * 4 + 3);

    EXPECT_EQ(world.count("CreateStateBlock"), 2);
    EXPECT_EQ(D3D::freeLightCount, 7); // MaxActiveLights 8, light 0 taken
    EXPECT_EQ(*D3D::freeLightIndices.get(0), 1);
    EXPECT_NE(StructTexture::defaultRecord().texture, nullptr);
}

TEST_F(DeviceInit, ReleasingTheDeviceLetsGoOfEverything) {
    rendertest::TestWindow window(64, 64);
    ASSERT_TRUE(start(window));
    D3D::device.release();
    D3D::release();
    EXPECT_EQ(world.referenced(), std::vector<std::string>{});
}

using DeviceDrawing = RenderTest;

TEST_F(DeviceDrawing, RepeatedIndicesAreOffsetByTheLargestIndexPlusOne) {
    rendertest::TestWindow window(64, 64);
    ASSERT_TRUE(start(window));
    const uint16_t pattern[3] = {0, 2, 1};
    IDirect3DIndexBuffer9* buffer = D3D::device.createRepeatedIndexBuffer({pattern, 3}, 3);
    ASSERT_NE(buffer, nullptr);
    auto* fakeBuffer = static_cast<fake::IndexBuffer*>(buffer);
    uint16_t indices[9];
    std::memcpy(indices, fakeBuffer->bytes.data(), sizeof indices);
    EXPECT_EQ(std::vector<uint16_t>(indices, indices + 9),
              (std::vector<uint16_t>{0, 2, 1, 3, 5, 4, 6, 8, 7}));
    EXPECT_EQ(fakeBuffer->desc.Format, D3DFMT_INDEX16);
    buffer->Release();
}

using NoDeviceDrawing = RenderTest;

TEST_F(NoDeviceDrawing, DrawingAndPresentingSayWhatIsMissing) {
    D3D::device.setDefaultRenderStates();
    EXPECT_EQ(D3D::device.createRepeatedIndexBuffer({nullptr, 0}, 1), nullptr);
    D3D::device.drawScreenQuad(0, 0, 1, 1, 0);
    EXPECT_EQ(D3D::device.getRenderTexture(256, 256, D3DFMT_A8R8G8B8, 1, 1, 1), nullptr);
    EXPECT_EQ(D3D::renderTextures.count, 0);
    D3D::Device::SwapChain chain(nullptr);
    chain.beginRender();
    EXPECT_EQ(chain.present(), D3DERR_DEVICELOST);
    EXPECT_EQ(lines, (std::vector<std::u16string>{
                         u"There is no device to set render states on",
                         u"There is no device to create an index buffer on",
                         u"There is no device to draw with", u"The DirectX device is not valid",
                         u"Device is NULL", u"There is no device to render with",
                         u"D3DDevice is not available (NULL)"}));
}

} // namespace
