// SPDX-License-Identifier: MIT
// The runtime's adapter answers, device creation, loss and Reset, scripted
// results, reference counting and state blocks.
#include <algorithm>
#include <utility>

#include "D3D9TestSupport.h"
#include "shared/StandInLog.h"

namespace {

using namespace d3d9test;

class DeviceTest : public RuntimeTest {
protected:
    void SetUp() override {
        RuntimeTest::SetUp();
        window_ = host_->add(80, 48);
    }
    HRESULT present() {
        Ref<IDirect3DSwapChain9> swapChain;
        device->GetSwapChain(0, swapChain.out());
        return swapChain->Present(nullptr, nullptr, nullptr, nullptr, 0);
    }
    HWND window_ = nullptr;
};

TEST_F(DeviceTest, AdapterAnswersForWhatTheRuntimeCanDo) {
    EXPECT_EQ(Direct3DCreate9(31), nullptr) << "another SDK version";
    D3DCAPS9 caps;
    ASSERT_EQ(d3d_->GetDeviceCaps(0, D3DDEVTYPE_HAL, &caps), D3D_OK);
    EXPECT_TRUE(caps.DevCaps & D3DDEVCAPS_HWTRANSFORMANDLIGHT);
    EXPECT_EQ(caps.MaxActiveLights, 8u);
    EXPECT_GE(caps.MaxTextureWidth, 2048u);
    EXPECT_EQ(caps.MaxTextureWidth, caps.MaxTextureHeight);
    EXPECT_EQ(d3d_->GetDeviceCaps(1, D3DDEVTYPE_HAL, &caps), D3DERR_INVALIDCALL);

    EXPECT_EQ(d3d_->CheckDeviceType(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8, FALSE),
              D3D_OK);
    EXPECT_EQ(d3d_->CheckDeviceType(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8, FALSE),
              D3D_OK);
    EXPECT_EQ(d3d_->CheckDeviceType(0, D3DDEVTYPE_HAL, D3DFMT_R5G6B5, D3DFMT_R5G6B5, FALSE),
              D3DERR_NOTAVAILABLE);
    EXPECT_EQ(d3d_->CheckDeviceType(0, D3DDEVTYPE_REF, D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8, TRUE),
              D3DERR_NOTAVAILABLE);

    for (D3DFORMAT depth : {D3DFMT_D24S8, D3DFMT_D24X8, D3DFMT_D16, D3DFMT_D32}) {
        EXPECT_EQ(d3d_->CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DUSAGE_DEPTHSTENCIL,
                                          D3DRTYPE_SURFACE, depth),
                  D3D_OK)
            << depth;
        EXPECT_EQ(d3d_->CheckDepthStencilMatch(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8,
                                               depth),
                  D3D_OK);
    }
    EXPECT_EQ(d3d_->CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DUSAGE_DEPTHSTENCIL,
                                      D3DRTYPE_SURFACE, D3DFMT_D24X4S4),
              D3DERR_NOTAVAILABLE);
    EXPECT_EQ(
        d3d_->CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8,
                                D3DUSAGE_RENDERTARGET | D3DUSAGE_QUERY_POSTPIXELSHADER_BLENDING,
                                D3DRTYPE_TEXTURE, D3DFMT_A16B16G16R16F),
        D3D_OK);
    EXPECT_EQ(d3d_->CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DUSAGE_RENDERTARGET,
                                      D3DRTYPE_TEXTURE, D3DFMT_L8),
              D3DERR_NOTAVAILABLE);

    // Multisampling: 2 and 4 samples when the driver has them, never 8.
    DWORD levels = 99;
    EXPECT_EQ(d3d_->CheckDeviceMultiSampleType(0, D3DDEVTYPE_HAL, D3DFMT_A8R8G8B8, TRUE,
                                               D3DMULTISAMPLE_8_SAMPLES, &levels),
              D3DERR_NOTAVAILABLE);
    EXPECT_EQ(levels, 0u);
    EXPECT_EQ(d3d_->CheckDeviceMultiSampleType(0, D3DDEVTYPE_HAL, D3DFMT_A8R8G8B8, TRUE,
                                               D3DMULTISAMPLE_NONE, &levels),
              D3D_OK);

    // The desktop mode is among the listed modes.
    D3DDISPLAYMODE current;
    ASSERT_EQ(d3d_->GetAdapterDisplayMode(0, &current), D3D_OK);
    EXPECT_EQ(current.Format, D3DFMT_X8R8G8B8);
    UINT count = d3d_->GetAdapterModeCount(0, D3DFMT_X8R8G8B8);
    ASSERT_GT(count, 0u);
    bool listed = false;
    for (UINT i = 0; i < count; ++i) {
        D3DDISPLAYMODE mode;
        ASSERT_EQ(d3d_->EnumAdapterModes(0, D3DFMT_X8R8G8B8, i, &mode), D3D_OK);
        listed |= mode.Width == current.Width && mode.Height == current.Height;
    }
    EXPECT_TRUE(listed);
    D3DDISPLAYMODE mode;
    EXPECT_EQ(d3d_->EnumAdapterModes(0, D3DFMT_X8R8G8B8, count, &mode), D3DERR_INVALIDCALL);

    D3DADAPTER_IDENTIFIER9 identifier;
    ASSERT_EQ(d3d_->GetAdapterIdentifier(0, 0, &identifier), D3D_OK);
    EXPECT_GT(std::strlen(identifier.Description), 0u);
}

TEST_F(DeviceTest, CreateDeviceTakesTheClientSizeAndChecksItsArguments) {
    D3DPRESENT_PARAMETERS p = windowedParameters(window_);
    ASSERT_EQ(createDevice(p), D3D_OK);
    EXPECT_EQ(p.BackBufferWidth, 80u) << "written back into the parameters";
    EXPECT_EQ(p.BackBufferHeight, 48u);
    Ref<IDirect3DSwapChain9> swapChain;
    ASSERT_EQ(device->GetSwapChain(0, swapChain.out()), D3D_OK);
    D3DPRESENT_PARAMETERS stored;
    swapChain->GetPresentParameters(&stored);
    EXPECT_EQ(stored.BackBufferWidth, 80u);
    Ref<IDirect3DSurface9> backBuffer, depth;
    device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, backBuffer.out());
    device->GetDepthStencilSurface(depth.out());
    D3DSURFACE_DESC desc;
    backBuffer->GetDesc(&desc);
    EXPECT_EQ(desc.Width, 80u);
    EXPECT_EQ(desc.Height, 48u);
    depth->GetDesc(&desc);
    EXPECT_EQ(desc.Format, D3DFMT_D24S8);
    DWORD zEnable = 0;
    device->GetRenderState(D3DRS_ZENABLE, &zEnable);
    EXPECT_EQ(zEnable, DWORD(D3DZB_TRUE)) << "on with an automatic depth buffer";

    Ref<IDirect3DDevice9> other;
    D3DPRESENT_PARAMETERS bad = windowedParameters(reinterpret_cast<HWND>(0x1234));
    EXPECT_EQ(d3d_->CreateDevice(0, D3DDEVTYPE_HAL, bad.hDeviceWindow,
                                 D3DCREATE_HARDWARE_VERTEXPROCESSING, &bad, other.out()),
              D3DERR_INVALIDCALL)
        << "an unknown window";
    bad = windowedParameters(window_);
    EXPECT_EQ(
        d3d_->CreateDevice(0, D3DDEVTYPE_HAL, window_, D3DCREATE_MULTITHREADED, &bad, other.out()),
        D3DERR_INVALIDCALL)
        << "no vertex processing chosen";
    bad.BackBufferFormat = D3DFMT_R5G6B5;
    EXPECT_EQ(d3d_->CreateDevice(0, D3DDEVTYPE_HAL, window_, D3DCREATE_HARDWARE_VERTEXPROCESSING,
                                 &bad, other.out()),
              D3DERR_INVALIDCALL);
    bad = windowedParameters(window_);
    bad.AutoDepthStencilFormat = D3DFMT_UNKNOWN;
    EXPECT_EQ(d3d_->CreateDevice(0, D3DDEVTYPE_HAL, window_, D3DCREATE_HARDWARE_VERTEXPROCESSING,
                                 &bad, other.out()),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(other.get(), nullptr);
}

TEST_F(DeviceTest, LossWalksThroughNotResetToUsableAfterReset) {
    D3DPRESENT_PARAMETERS p = windowedParameters(window_);
    ASSERT_EQ(createDevice(p), D3D_OK);
    ASSERT_EQ(present(), D3D_OK);

    host_->window(window_).minimized = true;
    EXPECT_EQ(device->TestCooperativeLevel(), D3D_OK) << "loss is noticed on Present";
    EXPECT_EQ(present(), D3DERR_DEVICELOST);
    EXPECT_EQ(device->TestCooperativeLevel(), D3DERR_DEVICELOST);
    EXPECT_EQ(device->Reset(&p), D3DERR_DEVICELOST) << "not while the window is minimised";
    host_->window(window_).minimized = false;
    EXPECT_EQ(device->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
    EXPECT_EQ(present(), D3DERR_DEVICELOST) << "still lost until Reset";

    host_->window(window_).width = 100;
    D3DPRESENT_PARAMETERS again = windowedParameters(window_);
    ASSERT_EQ(device->Reset(&again), D3D_OK);
    EXPECT_EQ(again.BackBufferWidth, 100u) << "the new client size";
    EXPECT_EQ(device->TestCooperativeLevel(), D3D_OK);
    EXPECT_EQ(present(), D3D_OK);
    int width = 0;
    readBackBuffer(&width);
    EXPECT_EQ(width, 100);

    // A hidden window loses the device as a minimised one does.
    host_->window(window_).visible = false;
    EXPECT_EQ(present(), D3DERR_DEVICELOST);
    host_->window(window_).visible = true;

    // Forced loss, as a driver reset would cause it.
    ASSERT_EQ(device->Reset(&again), D3D_OK);
    d3d9::test::forceDeviceLoss(device.get());
    EXPECT_EQ(present(), D3DERR_DEVICELOST);
    EXPECT_EQ(device->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
    EXPECT_EQ(device->Reset(&again), D3D_OK);
    EXPECT_EQ(device->TestCooperativeLevel(), D3D_OK);
}

TEST_F(DeviceTest, ResetRefusesWhileDefaultPoolObjectsAreHeld) {
    D3DPRESENT_PARAMETERS p = windowedParameters(window_);
    ASSERT_EQ(createDevice(p), D3D_OK);
    Ref<IDirect3DTexture9> managed, target;
    ASSERT_EQ(
        device->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, managed.out(), nullptr),
        D3D_OK);
    D3DLOCKED_RECT locked;
    managed->LockRect(0, &locked, nullptr, 0);
    static_cast<uint32_t*>(locked.pBits)[0] = 0x12345678;
    managed->UnlockRect(0);
    ASSERT_EQ(device->CreateTexture(16, 16, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8,
                                    D3DPOOL_DEFAULT, target.out(), nullptr),
              D3D_OK);
    Ref<IDirect3DStateBlock9> block;
    device->CreateStateBlock(D3DSBT_ALL, block.out());
    device->SetTexture(0, managed.get());

    d3d9::test::forceDeviceLoss(device.get());
    EXPECT_EQ(device->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
    EXPECT_EQ(device->Reset(&p), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->TestCooperativeLevel(), D3DERR_DEVICENOTRESET) << "still waiting for a reset";

    target.reset();
    {
        Ref<IDirect3DSurface9> backBuffer;
        device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, backBuffer.out());
        EXPECT_EQ(device->Reset(&p), D3DERR_INVALIDCALL) << "a held back buffer also stops it";
    }
    {
        Ref<IDirect3DSwapChain9> additional;
        D3DPRESENT_PARAMETERS q = windowedParameters(window_);
        ASSERT_EQ(device->CreateAdditionalSwapChain(&q, additional.out()), D3D_OK);
        EXPECT_EQ(device->Reset(&p), D3DERR_INVALIDCALL) << "an additional swap chain too";
    }
    EXPECT_EQ(device->Reset(&p), D3D_OK) << "managed textures and state blocks do not";

    IDirect3DBaseTexture9* bound = nullptr;
    device->GetTexture(0, &bound);
    EXPECT_EQ(bound, nullptr) << "Reset lets go of bindings";
    ASSERT_EQ(managed->LockRect(0, &locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    EXPECT_EQ(static_cast<uint32_t*>(locked.pBits)[0], 0x12345678u) << "managed memory survives";
    managed->UnlockRect(0);
}

TEST_F(DeviceTest, ScriptedResultsComeBeforeTheRealCalls) {
    using d3d9::test::Call;
    d3d9::test::scriptResults(Call::CreateDevice, {D3DERR_NOTAVAILABLE, D3DERR_OUTOFVIDEOMEMORY});
    D3DPRESENT_PARAMETERS p = windowedParameters(window_);
    EXPECT_EQ(createDevice(p), D3DERR_NOTAVAILABLE);
    EXPECT_EQ(createDevice(p), D3DERR_OUTOFVIDEOMEMORY);
    EXPECT_EQ(device.get(), nullptr);
    ASSERT_EQ(createDevice(p), D3D_OK);

    D3DCAPS9 caps;
    d3d9::test::scriptResults(Call::GetDeviceCaps, {D3DERR_INVALIDCALL, D3D_OK});
    EXPECT_EQ(d3d_->GetDeviceCaps(0, D3DDEVTYPE_HAL, &caps), D3DERR_INVALIDCALL);
    EXPECT_EQ(d3d_->GetDeviceCaps(0, D3DDEVTYPE_HAL, &caps), D3D_OK);
    EXPECT_EQ(caps.MaxActiveLights, 8u) << "a scripted success still fills the caps";

    d3d9::test::scriptResults(Call::TestCooperativeLevel,
                              {D3DERR_DEVICELOST, D3DERR_DRIVERINTERNALERROR});
    EXPECT_EQ(device->TestCooperativeLevel(), D3DERR_DEVICELOST);
    EXPECT_EQ(device->TestCooperativeLevel(), D3DERR_DRIVERINTERNALERROR);
    EXPECT_EQ(device->TestCooperativeLevel(), D3D_OK);

    d3d9::test::scriptResults(Call::Reset, {D3DERR_DEVICELOST, D3DERR_INVALIDCALL});
    EXPECT_EQ(device->Reset(&p), D3DERR_DEVICELOST);
    EXPECT_EQ(device->Reset(&p), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->Reset(&p), D3D_OK);
}

TEST_F(DeviceTest, ReferencesFollowComRules) {
    D3DPRESENT_PARAMETERS p = windowedParameters(window_);
    ASSERT_EQ(createDevice(p), D3D_OK);
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(
        device->CreateTexture(8, 8, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr),
        D3D_OK);
    EXPECT_EQ(texture->GetLevelCount(), 4u) << "0 levels is the full chain";

    // A level surface counts on its texture.
    IDirect3DSurface9* level = nullptr;
    ASSERT_EQ(texture->GetSurfaceLevel(2, &level), D3D_OK);
    EXPECT_EQ(texture->AddRef(), 3u);
    EXPECT_EQ(texture->Release(), 2u);
    D3DSURFACE_DESC desc;
    level->GetDesc(&desc);
    EXPECT_EQ(desc.Width, 2u);

    // A bound texture outlives the engine's references, as on Windows.
    device->SetTexture(1, texture);
    EXPECT_EQ(level->Release(), 1u);
    EXPECT_EQ(texture->Release(), 0u);
    IDirect3DBaseTexture9* bound = nullptr;
    ASSERT_EQ(device->GetTexture(1, &bound), D3D_OK);
    ASSERT_NE(bound, nullptr);
    EXPECT_EQ(bound->GetLevelCount(), 4u);
    EXPECT_EQ(bound->Release(), 0u);
    device->SetTexture(1, nullptr);

    // A held resource keeps its device.
    IDirect3DVertexBuffer9* buffer = nullptr;
    ASSERT_EQ(device->CreateVertexBuffer(64, 0, D3DFVF_XYZ, D3DPOOL_MANAGED, &buffer, nullptr),
              D3D_OK);
    IDirect3DDevice9* raw = device.p;
    device.p = nullptr;
    EXPECT_EQ(raw->Release(), 1u) << "the buffer still holds the device";
    IDirect3DDevice9* owner = nullptr;
    buffer->GetDevice(&owner);
    EXPECT_EQ(owner, raw);
    EXPECT_EQ(owner->Release(), 1u);
    EXPECT_EQ(buffer->Release(), 0u);
}

TEST_F(DeviceTest, StateBlocksCaptureApplyAndRecord) {
    D3DPRESENT_PARAMETERS p = windowedParameters(window_);
    ASSERT_EQ(createDevice(p), D3D_OK);
    DWORD value = 0;
    device->GetRenderState(D3DRS_CULLMODE, &value);
    EXPECT_EQ(value, DWORD(D3DCULL_CCW)) << "Direct3D's default";
    device->GetTextureStageState(1, D3DTSS_COLOROP, &value);
    EXPECT_EQ(value, DWORD(D3DTOP_DISABLE));

    Ref<IDirect3DStateBlock9> all, pixel;
    ASSERT_EQ(device->CreateStateBlock(D3DSBT_ALL, all.out()), D3D_OK);
    ASSERT_EQ(device->CreateStateBlock(D3DSBT_PIXELSTATE, pixel.out()), D3D_OK);
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    D3DMATRIX moved = identityMatrix();
    moved.m[3][0] = 5;
    device->SetTransform(D3DTS_WORLD, &moved);

    pixel->Apply();
    device->GetRenderState(D3DRS_SRCBLEND, &value);
    EXPECT_EQ(value, DWORD(D3DBLEND_ONE)) << "blending is pixel state";
    device->GetRenderState(D3DRS_LIGHTING, &value);
    EXPECT_EQ(value, 0u) << "lighting is not";
    all->Apply();
    device->GetRenderState(D3DRS_LIGHTING, &value);
    EXPECT_EQ(value, 1u);
    D3DMATRIX world;
    device->GetTransform(D3DTS_WORLD, &world);
    EXPECT_EQ(world.m[3][0], 0.0f);

    // Recording keeps changes away from the device until the block is applied.
    ASSERT_EQ(device->BeginStateBlock(), D3D_OK);
    EXPECT_EQ(device->BeginStateBlock(), D3DERR_INVALIDCALL);
    device->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    device->SetTransform(D3DTS_WORLD, &moved);
    Ref<IDirect3DStateBlock9> recorded;
    ASSERT_EQ(device->EndStateBlock(recorded.out()), D3D_OK);
    device->GetRenderState(D3DRS_ZWRITEENABLE, &value);
    EXPECT_EQ(value, 1u);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    recorded->Apply();
    device->GetRenderState(D3DRS_ZWRITEENABLE, &value);
    EXPECT_EQ(value, 0u);
    device->GetTransform(D3DTS_WORLD, &world);
    EXPECT_EQ(world.m[3][0], 5.0f);
    device->GetRenderState(D3DRS_CULLMODE, &value);
    EXPECT_EQ(value, DWORD(D3DCULL_NONE)) << "not recorded, so left alone";

    // Capture refreshes what the block holds.
    device->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
    recorded->Capture();
    device->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    recorded->Apply();
    device->GetRenderState(D3DRS_ZWRITEENABLE, &value);
    EXPECT_EQ(value, 1u);
}

TEST_F(DeviceTest, UnhonouredStatesAreLoggedOnce) {
    std::vector<std::u16string> lines;
    standin::setLogFunction([&](const std::u16string& line) { lines.push_back(line); });
    D3DPRESENT_PARAMETERS p = windowedParameters(window_);
    ASSERT_EQ(createDevice(p), D3D_OK);
    lines.clear();
    device->SetRenderState(D3DRS_STENCILENABLE, TRUE);
    device->SetRenderState(D3DRS_STENCILENABLE, TRUE);
    device->SetRenderState(D3DRS_LIGHTING, FALSE);      // honoured: no line
    device->SetRenderState(D3DRS_STENCILENABLE, FALSE); // back to the default: no line
    standin::setLogFunction(nullptr);
    // Once per process: when the test is repeated in one process, the later
    // runs must log nothing at all.
    static bool firstRun = true;
    if (!std::exchange(firstRun, false)) {
        EXPECT_TRUE(lines.empty());
        return;
    }
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find(u"render state 52"), std::u16string::npos);
}

} // namespace
