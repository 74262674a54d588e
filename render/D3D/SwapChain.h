// SPDX-License-Identifier: MIT
// One render-target window of the device: its present parameters, its
// Direct3D swap chain and depth surface, a stack of render targets and the
// camera, fog and light state that beginRender hands to the device. The
// camera block is plain data here; the camera routines that move it live
// in render/Camera.h. A swap chain owns its device buffers between attach
// (or createBuffers) and releaseBuffers, and tells its owner around both.
#pragma once

#include <cstdint>

#include "d3d9/D3D9.h"
#include "render/D3D/Device.h"

namespace D3D {

// What a swap chain tells its owner, by slot: 9 before its device buffers are
// released, 10 after they were made again, 11 on every waiting pass while the
// device is lost, 12 once after a restore. Slots 0-8 belong to engine
// modules this tool does not carry.
class SwapChainInterface {
public:
    virtual ~SwapChainInterface() = default;
    virtual void callback0() {}
    virtual void callback1() {}
    virtual void callback2() {}
    virtual void callback3() {}
    virtual void callback4() {}
    virtual void callback5() {}
    virtual void callback6() {}
    virtual void callback7() {}
    virtual void callback8() {}
    virtual void beforeReleaseBuffers() {}
    virtual void afterCreateBuffers() {}
    virtual void whileDeviceLost() {}
    virtual void deviceRestored() {}
};

struct FogBlock {
    int32_t enabled = 0;
    float start = 0.0f;
    float end = 1800.0f;
    D3DCOLOR color = 0xFF7F7F7Fu;
    int32_t secondProjection = 0; // draw with the projection whose m[10] is 1
    float mipLodBias = 0.0f;
};

struct LightBlock {
    D3DVECTOR direction{1.0f, 0.0f, 0.0f};
    D3DCOLORVALUE diffuse{1.0f, 1.0f, 1.0f, 1.0f};
    D3DCOLORVALUE ambient{0.6f, 0.6f, 0.6f, 1.0f};
    D3DCOLORVALUE specular{0.7f, 0.7f, 0.7f, 1.0f};
};

// a*x + b*y + c*z = d, with the point nearest the origin kept for culling.
struct FrustumPlane {
    D3DVECTOR normal{0.0f, 0.0f, 0.0f};
    float d = 0.0f;
    D3DVECTOR nearest{0.0f, 0.0f, 0.0f};
};

// Near, far, left, top, right, bottom.
struct Frustum {
    FrustumPlane planes[6];
    int32_t count = 0;
};

struct RenderTargetEntry {
    uint32_t width = 640;
    uint32_t height = 480;
    float aspect = 0.75f;
    IDirect3DSurface9* color = nullptr;
    IDirect3DSurface9* depth = nullptr;
    int32_t flag = 0;
};

class Device::SwapChain {
public:
    using Interface = SwapChainInterface;
    static constexpr int32_t kRenderTargets = 32;

    // Camera block.
    D3DVECTOR position;
    float farDistance = 1800.0f;
    float farSquared = 3240000.0f;
    float pan = 0.0f, tilt = 0.0f, roll = 0.0f; // degrees
    float panTarget = 0.0f, tiltTarget = 0.0f;
    float fieldOfView = 70.0f; // vertical, degrees
    float nearDistance = 0.5f;
    FogBlock fog;
    D3DMATRIX projection;
    D3DMATRIX projection2; // as projection but m[10] = 1
    D3DMATRIX view;
    D3DMATRIX viewProjection;
    D3DVECTOR look, up, right;
    Frustum rotationFrustum; // from the view without its translation
    Frustum viewFrustum;
    LightBlock light;

    Interface* callbacks = nullptr; // not owned
    int32_t primary = 0;
    // Handed to Direct3D in place, so the size it chose is written back here.
    D3DPRESENT_PARAMETERS presentParameters;
    IDirect3DSwapChain9* swapChain = nullptr;
    IDirect3DSurface9* depthSurface = nullptr;
    RenderTargetEntry targets[kRenderTargets];
    int32_t targetDepth = 1;

    explicit SwapChain(Interface* callbacks);
    ~SwapChain();
    SwapChain(const SwapChain&) = delete;
    SwapChain& operator=(const SwapChain&) = delete;

    // The device's own swap chain 0 and its depth surface.
    int32_t attachImplicit();
    // A further window: a new additional swap chain and depth surface.
    int32_t attachAdditional();
    void createBuffers();
    void releaseBuffers();

    void beginRender();
    // Both return 0 when the stack is full or back at its base entry.
    int32_t pushRenderTarget(IDirect3DSurface9* color, IDirect3DSurface9* depth);
    int32_t popRenderTarget();
    // D3DERR_DEVICELOST (after restoreDevice ran) or Present's own result.
    HRESULT present();

    // Light 0 from the light block: directional, shining along -direction.
    void setLight();
    // The left-handed perspective for the back buffer's width / height.
    void updateProjection();

private:
    void makeCurrent();
};

// What the current swap chain offers to code that only draws.
extern LightBlock* currentLight;
extern D3DMATRIX* currentProjection;
extern D3DMATRIX* currentView;

} // namespace D3D
