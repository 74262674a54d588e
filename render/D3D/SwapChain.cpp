// SPDX-License-Identifier: MIT
// A swap chain's device buffers, its render-target stack and the per-frame
// hand-over to the device: beginRender sets the targets, transforms, fog and
// light; present shows the frame and, when the device is lost, restores it
// before the next frame is drawn.
#include "render/D3D/SwapChain.h"

#include <bit>
#include <cmath>

#include "core/Log.h"
#include "core/Report.h"
#include "render/Camera.h"
#include "render/D3D/D3D.h"
#include "render/D3D/StageStates.h"

namespace D3D {

LightBlock* currentLight = nullptr;
D3DMATRIX* currentProjection = nullptr;
D3DMATRIX* currentView = nullptr;

namespace {

// Float render and sampler states travel as their bit patterns.
DWORD floatBits(float value) {
    return std::bit_cast<DWORD>(value);
}

void describe(RenderTargetEntry& entry, IDirect3DSurface9* surface) {
    D3DSURFACE_DESC desc;
    if (!surface || FAILED(surface->GetDesc(&desc))) return;
    entry.width = desc.Width;
    entry.height = desc.Height;
    if (desc.Height) entry.aspect = float(desc.Width) / float(desc.Height);
}

} // namespace

Device::SwapChain::SwapChain(Interface* callbacks) : callbacks(callbacks) {
    projection = identityMatrix();
    projection2 = identityMatrix();
    view = identityMatrix();
    viewProjection = identityMatrix();
}

Device::SwapChain::~SwapChain() {
    releaseAndClear(targets[0].color);
    releaseAndClear(depthSurface);
    releaseAndClear(swapChain);
    if (D3D::currentSwapChain == this) {
        D3D::currentSwapChain = nullptr;
        currentLight = nullptr;
        currentProjection = nullptr;
        currentView = nullptr;
    }
    if (D3D::device.currentSwapChain == this) D3D::device.currentSwapChain = nullptr;
}

void Device::SwapChain::makeCurrent() {
    D3D::device.currentSwapChain = this;
    D3D::currentSwapChain = this;
    currentLight = &light;
    currentProjection = &projection;
    currentView = &view;
}

int32_t Device::SwapChain::attachImplicit() {
    setReportContext(u"D3D::Device::SwapChain", u"attachImplicit");
    primary = 1;
    if (!currentDevice) {
        log(u"There is no device to attach to");
        return 0;
    }
    releaseAndClear(swapChain);
    releaseAndClear(depthSurface);
    HRESULT result = currentDevice->GetSwapChain(0, &swapChain);
    if (FAILED(result)) {
        swapChain = nullptr;
        log(u"GetSwapChain: %s", errorName(result));
        return 0;
    }
    result = currentDevice->GetDepthStencilSurface(&depthSurface);
    if (FAILED(result)) {
        depthSurface = nullptr;
        log(u"GetDepthStencilSurface: %s", errorName(result));
    }
    makeCurrent();
    // Four vertices and six indices per quad, in the sprite quad's strip order.
    if (!quadIndices) {
        static const uint16_t quad[6] = {0, 1, 2, 2, 1, 3};
        quadIndices = D3D::device.createRepeatedIndexBuffer(IndexPattern{quad, 6}, 682);
    }
    createBuffers();
    return 1;
}

int32_t Device::SwapChain::attachAdditional() {
    setReportContext(u"D3D::Device::SwapChain", u"attachAdditional");
    primary = 0;
    if (!currentDevice) {
        log(u"There is no device to attach to");
        return 0;
    }
    releaseAndClear(swapChain);
    releaseAndClear(depthSurface);
    HRESULT result = currentDevice->CreateAdditionalSwapChain(&presentParameters, &swapChain);
    if (FAILED(result)) {
        swapChain = nullptr;
        log(u"CreateAdditionalSwapChain: %s", errorName(result));
        return 0;
    }
    const D3DPRESENT_PARAMETERS& p = presentParameters;
    result = currentDevice->CreateDepthStencilSurface(
        p.BackBufferWidth, p.BackBufferHeight, p.AutoDepthStencilFormat, p.MultiSampleType,
        p.MultiSampleQuality, 0, &depthSurface, nullptr);
    if (FAILED(result)) {
        depthSurface = nullptr;
        log(u"CreateDepthStencilSurface: %s", errorName(result));
    }
    createBuffers();
    return 1;
}

void Device::SwapChain::createBuffers() {
    updateProjection();
    // The scene modules' dynamic vertex buffers would be made here; this tool
    // carries none of them.
    if (callbacks) callbacks->afterCreateBuffers();
}

void Device::SwapChain::releaseBuffers() {
    if (callbacks) callbacks->beforeReleaseBuffers();
    releaseAndClear(targets[0].color);
    releaseAndClear(depthSurface);
    targets[0].depth = nullptr;
    targets[0].flag = 0;
    releaseAndClear(swapChain);
    // Pushed targets belong to their owners, who lose them with the device.
    for (int32_t i = 1; i < targetDepth; ++i) targets[i] = RenderTargetEntry{};
    targetDepth = 1;
}

void Device::SwapChain::updateProjection() {
    const UINT w = presentParameters.BackBufferWidth;
    const UINT h = presentParameters.BackBufferHeight;
    if (!w || !h) return;
    const float yScale = 1.0f / std::tan(fieldOfView * kRadians * 0.5f);
    const float xScale = yScale * float(h) / float(w);
    const float zf = 2.09f * farDistance;
    const float zn = nearDistance;
    const float q = zf / (zf - zn);
    projection = D3DMATRIX{};
    projection.m[0][0] = xScale;
    projection.m[1][1] = yScale;
    projection.m[2][2] = q;
    projection.m[2][3] = 1.0f;
    projection.m[3][2] = -q * zn;
    projection2 = projection;
    projection2.m[2][2] = 1.0f;
}

void Device::SwapChain::beginRender() {
    setReportContext(u"D3D::Device::SwapChain", u"beginRender");
    IDirect3DDevice9* d = currentDevice;
    if (!d) {
        log(u"There is no device to render with");
        return;
    }
    RenderTargetEntry& base = targets[0];
    if (!base.color) {
        const HRESULT result =
            swapChain ? swapChain->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &base.color)
                      : D3DERR_INVALIDCALL;
        if (FAILED(result)) {
            base.color = nullptr;
            log(u"GetBackBuffer: %s", errorName(result));
            return;
        }
    }
    d->SetRenderTarget(0, base.color);
    d->SetDepthStencilSurface(depthSurface);
    base.depth = depthSurface;
    base.flag = 1;
    describe(base, base.color);
    makeCurrent();

    d->SetTransform(D3DTS_PROJECTION, fog.secondProjection ? &projection2 : &projection);
    d->SetTransform(D3DTS_VIEW, &view);
    d->SetRenderState(D3DRS_FOGVERTEXMODE, D3DFOG_LINEAR);
    d->SetRenderState(D3DRS_RANGEFOGENABLE, 1);
    d->SetRenderState(D3DRS_FOGDENSITY, floatBits(0.0f));
    d->SetRenderState(D3DRS_FOGSTART, floatBits(fog.start));
    d->SetRenderState(D3DRS_FOGEND, floatBits(fog.end));
    d->SetRenderState(D3DRS_FOGCOLOR, fog.color);
    d->SetRenderState(D3DRS_FOGENABLE, DWORD(fog.enabled));
    for (DWORD sampler = 0; sampler < 3; ++sampler)
        d->SetSamplerState(sampler, D3DSAMP_MIPMAPLODBIAS, floatBits(fog.mipLodBias));
    setLight();
}

void Device::SwapChain::setLight() {
    if (!currentDevice) return;
    D3DLIGHT9 light0;
    light0.Type = D3DLIGHT_DIRECTIONAL;
    light0.Diffuse = light.diffuse;
    light0.Specular = light.specular;
    light0.Ambient = light.ambient;
    light0.Direction = D3DVECTOR{-light.direction.x, -light.direction.y, -light.direction.z};
    light0.Range = 0.0f;
    light0.Falloff = 0.0f;
    light0.Attenuation0 = 1.0f;
    light0.Attenuation1 = 0.0f;
    light0.Attenuation2 = 0.0f;
    currentDevice->SetLight(0, &light0);
}

int32_t Device::SwapChain::pushRenderTarget(IDirect3DSurface9* color, IDirect3DSurface9* depth) {
    setReportContext(u"D3D::Device::SwapChain", u"pushRenderTarget");
    if (targetDepth >= kRenderTargets) {
        log(u"The render target stack is full (%i entries)", kRenderTargets);
        return 0;
    }
    if (!currentDevice) {
        log(u"There is no device to render with");
        return 0;
    }
    currentDevice->SetRenderTarget(0, color);
    currentDevice->SetDepthStencilSurface(depth);
    RenderTargetEntry& entry = targets[targetDepth++];
    entry.color = color;
    entry.depth = depth;
    entry.flag = 1;
    describe(entry, color);
    return 1;
}

int32_t Device::SwapChain::popRenderTarget() {
    setReportContext(u"D3D::Device::SwapChain", u"popRenderTarget");
    if (targetDepth <= 1) {
        log(u"There is no pushed render target to pop");
        return 0;
    }
    targets[--targetDepth] = RenderTargetEntry{};
    if (!currentDevice) return 1;
    const RenderTargetEntry& previous = targets[targetDepth - 1];
    currentDevice->SetRenderTarget(0, previous.color);
    currentDevice->SetDepthStencilSurface(previous.depth);
    return 1;
}

HRESULT Device::SwapChain::present() {
    releaseAndClear(targets[0].color);
    targets[0].depth = nullptr;
    targets[0].flag = 0;
    if (swapChain) {
        const HRESULT result =
            swapChain->Present(nullptr, nullptr, presentParameters.hDeviceWindow, nullptr, 0);
        if (result != D3DERR_DEVICELOST) return result;
    }
    D3D::device.restoreDevice();
    return D3DERR_DEVICELOST;
}

} // namespace D3D
