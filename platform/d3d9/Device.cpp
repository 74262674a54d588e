// SPDX-License-Identifier: MIT
// Stands in for IDirect3DDevice9: creation, the cooperative level and Reset,
// resource creation, and the state setters and getters. Drawing and Clear
// are in Draw.cpp.
//  [x] loss on Present to a minimised or hidden window or after a context
//      reset; DEVICELOST -> DEVICENOTRESET -> D3D_OK through Reset
//  [x] Reset refuses with D3DERR_INVALIDCALL while default-pool objects
//      (and additional swap chains, back buffers, depth surfaces) are held
//  [x] states the stand-in cannot honour are logged once
//  [ ] more than one render target, streams other than 0 (INVALIDCALL)
#include "d3d9/Device.h"

#include <cmath>
#include <cstring>

#include "d3d9/Format.h"
#include "d3d9/GlContext.h"
#include "d3d9/Log.h"
#include "d3d9/ScriptedResults.h"
#include "d3d9/WindowHost.h"

namespace d3d9 {
namespace {

bool oneVertexProcessing(DWORD behaviour) {
    DWORD kinds =
        behaviour & (D3DCREATE_SOFTWARE_VERTEXPROCESSING | D3DCREATE_HARDWARE_VERTEXPROCESSING |
                     D3DCREATE_MIXED_VERTEXPROCESSING);
    return kinds != 0 && (kinds & (kinds - 1)) == 0;
}

bool backBufferFormatOk(D3DFORMAT format) {
    return format == D3DFMT_A8R8G8B8 || format == D3DFMT_X8R8G8B8;
}

bool depthFormatOk(D3DFORMAT format) {
    const FormatInfo* info = formatInfo(format);
    return info && info->depth;
}

// Checks and completes present parameters the way CreateDevice and Reset do.
HRESULT checkParameters(bool cpuOnly, D3DPRESENT_PARAMETERS& p) {
    if (p.BackBufferFormat == D3DFMT_UNKNOWN && p.Windowed) p.BackBufferFormat = D3DFMT_X8R8G8B8;
    if (!backBufferFormatOk(p.BackBufferFormat)) {
        logLine("back-buffer format " + std::to_string(p.BackBufferFormat) + " is not offered");
        return D3DERR_INVALIDCALL;
    }
    if (p.EnableAutoDepthStencil && !depthFormatOk(p.AutoDepthStencilFormat)) {
        logLine("depth-stencil format " + std::to_string(p.AutoDepthStencilFormat) +
                " is not offered");
        return D3DERR_INVALIDCALL;
    }
    if (p.SwapEffect < D3DSWAPEFFECT_DISCARD || p.SwapEffect > D3DSWAPEFFECT_COPY)
        return D3DERR_INVALIDCALL;
    if (p.MultiSampleType != D3DMULTISAMPLE_NONE) {
        if (p.SwapEffect != D3DSWAPEFFECT_DISCARD) return D3DERR_INVALIDCALL;
        if (p.Flags & D3DPRESENTFLAG_LOCKABLE_BACKBUFFER) return D3DERR_INVALIDCALL;
        int samples = p.MultiSampleType == D3DMULTISAMPLE_NONMASKABLE
                          ? (p.MultiSampleQuality == 0 ? 2 : 4)
                          : int(p.MultiSampleType);
        bool known = p.MultiSampleType == D3DMULTISAMPLE_NONMASKABLE
                         ? p.MultiSampleQuality < 2
                         : (samples == 2 || samples == 4) && p.MultiSampleQuality == 0;
        if (cpuOnly || !known || gl::limits().maxSamples < samples) return D3DERR_INVALIDCALL;
    }
    if (!p.Windowed) {
        if (p.BackBufferWidth == 0 || p.BackBufferHeight == 0) return D3DERR_INVALIDCALL;
        logOnce("fullscreen", "full-screen mode is shown in the device window");
    }
    if (p.BackBufferCount > 3) return D3DERR_INVALIDCALL;
    if (p.BackBufferCount == 0) p.BackBufferCount = 1;
    return D3D_OK;
}

D3DLIGHT9 defaultLight() {
    D3DLIGHT9 light;
    light.Type = D3DLIGHT_DIRECTIONAL;
    light.Diffuse = {1, 1, 1, 0};
    light.Direction = {0, 0, 1};
    return light;
}

// Render states the pipeline honours in full; any other state set to a value
// other than its start-up value is logged once.
bool honoured(D3DRENDERSTATETYPE state, DWORD value) {
    switch (state) {
    case D3DRS_ZENABLE: return value != D3DZB_USEW;
    case D3DRS_SHADEMODE: return value != 1; // flat shading
    case D3DRS_LASTPIXEL: return value != 0;
    case D3DRS_STENCILENABLE: return value == 0;
    case D3DRS_FILLMODE:
    case D3DRS_ZWRITEENABLE:
    case D3DRS_ALPHATESTENABLE:
    case D3DRS_SRCBLEND:
    case D3DRS_DESTBLEND:
    case D3DRS_CULLMODE:
    case D3DRS_ZFUNC:
    case D3DRS_ALPHAREF:
    case D3DRS_ALPHAFUNC:
    case D3DRS_DITHERENABLE: // no visible effect on 8-bit channels
    case D3DRS_ALPHABLENDENABLE:
    case D3DRS_FOGENABLE:
    case D3DRS_SPECULARENABLE:
    case D3DRS_FOGCOLOR:
    case D3DRS_FOGTABLEMODE:
    case D3DRS_FOGSTART:
    case D3DRS_FOGEND:
    case D3DRS_FOGDENSITY:
    case D3DRS_RANGEFOGENABLE:
    case D3DRS_TEXTUREFACTOR:
    case D3DRS_LIGHTING:
    case D3DRS_AMBIENT:
    case D3DRS_FOGVERTEXMODE:
    case D3DRS_COLORVERTEX:
    case D3DRS_LOCALVIEWER:
    case D3DRS_NORMALIZENORMALS:
    case D3DRS_DIFFUSEMATERIALSOURCE:
    case D3DRS_SPECULARMATERIALSOURCE:
    case D3DRS_AMBIENTMATERIALSOURCE:
    case D3DRS_EMISSIVEMATERIALSOURCE:
    case D3DRS_POINTSIZE:
    case D3DRS_COLORWRITEENABLE:
    case D3DRS_BLENDOP: return true;
    default: return false;
    }
}

void checkStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) {
    auto warn = [&](const std::string& what) {
        logOnce("tss" + std::to_string(stage) + "." + std::to_string(type) + "=" +
                    std::to_string(value),
                "texture stage " + std::to_string(stage) + ": " + what + " is not honoured");
    };
    switch (type) {
    case D3DTSS_COLOROP:
    case D3DTSS_ALPHAOP:
        if (stage >= DWORD(kStages) && value != D3DTOP_DISABLE)
            warn("stages past 3");
        else if (value > 12 && value != D3DTOP_DISABLE)
            warn("operation " + std::to_string(value));
        break;
    case D3DTSS_COLORARG1:
    case D3DTSS_COLORARG2:
    case D3DTSS_ALPHAARG1:
    case D3DTSS_ALPHAARG2:
        if ((value & D3DTA_SELECTMASK) > D3DTA_SPECULAR) warn("argument " + std::to_string(value));
        break;
    case D3DTSS_TEXCOORDINDEX:
        if (value > 0xFFFF)
            warn("texture coordinate generation");
        else if (value >= 4)
            warn("texture coordinate set " + std::to_string(value));
        break;
    case D3DTSS_TEXTURETRANSFORMFLAGS:
        if (value != 0) warn("texture transform");
        break;
    case D3DTSS_RESULTARG:
        if (value != D3DTA_CURRENT) warn("result argument");
        break;
    default: break;
    }
}

} // namespace

Device* deviceOf(IDirect3DDevice9* device) {
    return dynamic_cast<Device*>(device);
}

HRESULT Device::create(bool cpuOnly, const D3DCAPS9& caps, HWND focusWindow, DWORD behaviour,
                       D3DPRESENT_PARAMETERS* parameters, IDirect3DDevice9** device) {
    if (!device || !parameters) return D3DERR_INVALIDCALL;
    *device = nullptr;
    if (!oneVertexProcessing(behaviour)) return D3DERR_INVALIDCALL;
    if ((behaviour & D3DCREATE_PUREDEVICE) && !(behaviour & D3DCREATE_HARDWARE_VERTEXPROCESSING))
        return D3DERR_INVALIDCALL;
    HWND window = parameters->hDeviceWindow ? parameters->hDeviceWindow : focusWindow;
    if (!cpuOnly && !windowHost().isWindow(window)) {
        logLine("CreateDevice: no such window");
        return D3DERR_INVALIDCALL;
    }
    D3DPRESENT_PARAMETERS checked = *parameters;
    checked.hDeviceWindow = window;
    if (HRESULT hr = checkParameters(cpuOnly, checked); FAILED(hr)) return hr;

    auto* created = new Device(cpuOnly, caps, focusWindow ? focusWindow : window, behaviour);
    created->AddRef();
    if (HRESULT hr = created->createImplicit(&checked); FAILED(hr)) {
        created->Release();
        return hr;
    }
    *parameters = checked;
    parameters->hDeviceWindow = window;
    *device = created;
    return D3D_OK;
}

Device::Device(bool cpuOnly, const D3DCAPS9& caps, HWND focusWindow, DWORD behaviour)
    : cpuOnly_(cpuOnly), caps_(caps), focusWindow_(focusWindow), behaviour_(behaviour) {}

Device::~Device() {
    if (!cpuOnly_) makeCurrent();
    recording_.reset();
    state_ = DeviceState();
    renderTarget_.reset();
    depthStencil_.reset();
    autoDepth_.reset();
    implicit_.reset();
    releaseGl();
}

uint32_t Device::AddRef() {
    return ++refs_;
}

uint32_t Device::Release() {
    assert(refs_ > 0 && "device released once too often");
    uint32_t left = --refs_;
    if (left == 0) delete this;
    return left;
}

HRESULT Device::createImplicit(D3DPRESENT_PARAMETERS* parameters) {
    SwapChain* swapChain = nullptr;
    if (HRESULT hr = SwapChain::create(this, parameters, true, &swapChain); FAILED(hr)) return hr;
    implicit_.reset(swapChain);
    autoDepth_.reset();
    if (parameters->EnableAutoDepthStencil) {
        Surface* depth = nullptr;
        HRESULT hr =
            Surface::createTarget(this, parameters->BackBufferWidth, parameters->BackBufferHeight,
                                  parameters->AutoDepthStencilFormat, parameters->MultiSampleType,
                                  parameters->MultiSampleQuality, false, &depth);
        if (FAILED(hr)) {
            implicit_.reset();
            return hr;
        }
        autoDepth_.reset(depth);
    }
    renderTarget_.reset(implicit_->backBuffer());
    depthStencil_ = autoDepth_;
    state_ = DeviceState::defaults(parameters->EnableAutoDepthStencil != 0, fullViewport());
    return D3D_OK;
}

D3DVIEWPORT9 Device::fullViewport() const {
    D3DVIEWPORT9 viewport;
    if (renderTarget_) {
        viewport.Width = renderTarget_->desc().Width;
        viewport.Height = renderTarget_->desc().Height;
    }
    return viewport;
}

bool Device::makeCurrent() {
    return !cpuOnly_ && gl::makeCurrent();
}

// Cooperative level ------------------------------------------------------

HRESULT Device::checkPresent(HWND window) {
    if (cooperation_ != Cooperation::Ok) return D3DERR_DEVICELOST;
    if (cpuOnly_) return D3D_OK;
    if (gl::contextWasReset()) {
        logLine("the OpenGL context was reset: the device is lost");
        cooperation_ = Cooperation::Lost;
        return D3DERR_DEVICELOST;
    }
    if (!windowHost().usable(window)) {
        logLine("the device window is minimised or hidden: the device is lost");
        cooperation_ = Cooperation::Lost;
        return D3DERR_DEVICELOST;
    }
    return D3D_OK;
}

void Device::forceLoss() {
    cooperation_ = Cooperation::Lost;
}

HRESULT Device::TestCooperativeLevel() {
    if (auto scripted = takeScripted(test::Call::TestCooperativeLevel)) return *scripted;
    if (cooperation_ == Cooperation::Ok && !cpuOnly_ && gl::contextWasReset())
        cooperation_ = Cooperation::Lost;
    switch (cooperation_) {
    case Cooperation::Ok: return D3D_OK;
    case Cooperation::NotReset: return D3DERR_DEVICENOTRESET;
    case Cooperation::Lost:
        if (cpuOnly_ || windowHost().usable(implicit_->window())) {
            cooperation_ = Cooperation::NotReset;
            return D3DERR_DEVICENOTRESET;
        }
        return D3DERR_DEVICELOST;
    }
    return D3D_OK;
}

HRESULT Device::Reset(D3DPRESENT_PARAMETERS* parameters) {
    if (auto scripted = takeScripted(test::Call::Reset); scripted && FAILED(*scripted))
        return *scripted;
    if (!parameters) return D3DERR_INVALIDCALL;
    if (cooperation_ == Cooperation::Lost) {
        if (!cpuOnly_ && !windowHost().usable(implicit_->window())) return D3DERR_DEVICELOST;
        cooperation_ = Cooperation::NotReset;
    }
    // Direct3D lets go of every binding first; what is still held after
    // that is the engine's, and stops the reset.
    recording_.reset();
    inScene_ = false;
    state_ = DeviceState();
    renderTarget_.reset();
    depthStencil_.reset();
    size_t held = 0;
    for (ResourceCore* resource : resources_)
        if (resource->blocksReset()) ++held;
    if (held > 0) {
        logLine("Reset refused: " + std::to_string(held) + " default-pool objects are still held");
        cooperation_ = Cooperation::NotReset;
        renderTarget_.reset(implicit_->backBuffer());
        depthStencil_ = autoDepth_;
        state_ = DeviceState::defaults(autoDepth_ ? true : false, fullViewport());
        return D3DERR_INVALIDCALL;
    }
    D3DPRESENT_PARAMETERS checked = *parameters;
    if (!checked.hDeviceWindow) checked.hDeviceWindow = implicit_->window();
    if (!cpuOnly_ && !windowHost().isWindow(checked.hDeviceWindow)) return D3DERR_INVALIDCALL;
    if (HRESULT hr = checkParameters(cpuOnly_, checked); FAILED(hr)) {
        cooperation_ = Cooperation::NotReset;
        renderTarget_.reset(implicit_->backBuffer());
        depthStencil_ = autoDepth_;
        return hr;
    }
    if (!cpuOnly_) makeCurrent();
    if (HRESULT hr = createImplicit(&checked); FAILED(hr)) {
        cooperation_ = Cooperation::NotReset;
        return hr;
    }
    *parameters = checked;
    cooperation_ = Cooperation::Ok;
    return D3D_OK;
}

HRESULT Device::GetDeviceCaps(D3DCAPS9* caps) {
    if (auto scripted = takeScripted(test::Call::GetDeviceCaps); scripted && FAILED(*scripted))
        return *scripted;
    if (!caps) return D3DERR_INVALIDCALL;
    *caps = caps_;
    return D3D_OK;
}

// Swap chains -----------------------------------------------------------

HRESULT Device::GetSwapChain(UINT index, IDirect3DSwapChain9** swapChain) {
    if (!swapChain) return D3DERR_INVALIDCALL;
    *swapChain = nullptr;
    if (index != 0 || !implicit_) return D3DERR_INVALIDCALL;
    implicit_->AddRef();
    *swapChain = implicit_.get();
    return D3D_OK;
}

HRESULT Device::CreateAdditionalSwapChain(D3DPRESENT_PARAMETERS* parameters,
                                          IDirect3DSwapChain9** swapChain) {
    if (!parameters || !swapChain) return D3DERR_INVALIDCALL;
    *swapChain = nullptr;
    D3DPRESENT_PARAMETERS checked = *parameters;
    if (!checked.hDeviceWindow) checked.hDeviceWindow = focusWindow_;
    if (!cpuOnly_ && !windowHost().isWindow(checked.hDeviceWindow)) return D3DERR_INVALIDCALL;
    if (HRESULT hr = checkParameters(cpuOnly_, checked); FAILED(hr)) return hr;
    SwapChain* created = nullptr;
    if (HRESULT hr = SwapChain::create(this, &checked, false, &created); FAILED(hr)) return hr;
    created->AddRef();
    *parameters = checked;
    *swapChain = created;
    return D3D_OK;
}

HRESULT Device::GetBackBuffer(UINT swapChain, UINT index, D3DBACKBUFFER_TYPE type,
                              IDirect3DSurface9** surface) {
    if (swapChain != 0 || !implicit_) return D3DERR_INVALIDCALL;
    return implicit_->GetBackBuffer(index, type, surface);
}

// Resources -------------------------------------------------------------

HRESULT Device::CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                              D3DPOOL pool, IDirect3DTexture9** texture, HANDLE* shared) {
    if (!texture || shared) return D3DERR_INVALIDCALL;
    *texture = nullptr;
    auto* created = new Texture(this, false, width, height, levels, usage, format, pool);
    if (HRESULT hr = created->init(); FAILED(hr)) {
        delete static_cast<Counted*>(created);
        return hr;
    }
    created->AddRef();
    *texture = created;
    return D3D_OK;
}

HRESULT Device::CreateCubeTexture(UINT edgeLength, UINT levels, DWORD usage, D3DFORMAT format,
                                  D3DPOOL pool, IDirect3DCubeTexture9** texture, HANDLE* shared) {
    if (!texture || shared) return D3DERR_INVALIDCALL;
    *texture = nullptr;
    auto* created =
        new CubeTexture(this, true, edgeLength, edgeLength, levels, usage, format, pool);
    if (HRESULT hr = created->init(); FAILED(hr)) {
        delete static_cast<Counted*>(created);
        return hr;
    }
    created->AddRef();
    *texture = created;
    return D3D_OK;
}

HRESULT Device::CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                                   IDirect3DVertexBuffer9** buffer, HANDLE* shared) {
    if (!buffer || shared || length == 0 || pool > D3DPOOL_SCRATCH) return D3DERR_INVALIDCALL;
    if ((usage & D3DUSAGE_DYNAMIC) && pool == D3DPOOL_MANAGED) return D3DERR_INVALIDCALL;
    auto* created = new VertexBuffer(this, length, usage, fvf, pool);
    created->AddRef();
    *buffer = created;
    return D3D_OK;
}

HRESULT Device::CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                  IDirect3DIndexBuffer9** buffer, HANDLE* shared) {
    if (!buffer || shared || length == 0 || pool > D3DPOOL_SCRATCH) return D3DERR_INVALIDCALL;
    if (format != D3DFMT_INDEX16 && format != D3DFMT_INDEX32) return D3DERR_INVALIDCALL;
    if ((usage & D3DUSAGE_DYNAMIC) && pool == D3DPOOL_MANAGED) return D3DERR_INVALIDCALL;
    auto* created = new IndexBuffer(this, length, usage, format, pool);
    created->AddRef();
    *buffer = created;
    return D3D_OK;
}

HRESULT Device::CreateDepthStencilSurface(UINT width, UINT height, D3DFORMAT format,
                                          D3DMULTISAMPLE_TYPE multiSample, DWORD quality, BOOL,
                                          IDirect3DSurface9** surface, HANDLE* shared) {
    if (!surface || shared || !depthFormatOk(format)) return D3DERR_INVALIDCALL;
    *surface = nullptr;
    Surface* created = nullptr;
    HRESULT hr =
        Surface::createTarget(this, width, height, format, multiSample, quality, false, &created);
    if (FAILED(hr)) return hr;
    created->AddRef();
    *surface = created;
    return D3D_OK;
}

HRESULT Device::CreateRenderTarget(UINT width, UINT height, D3DFORMAT format,
                                   D3DMULTISAMPLE_TYPE multiSample, DWORD quality, BOOL lockable,
                                   IDirect3DSurface9** surface, HANDLE* shared) {
    const FormatInfo* info = formatInfo(format);
    if (!surface || shared || !info || !info->renderTarget) return D3DERR_INVALIDCALL;
    *surface = nullptr;
    if (lockable && multiSample != D3DMULTISAMPLE_NONE) return D3DERR_INVALIDCALL;
    Surface* created = nullptr;
    HRESULT hr = Surface::createTarget(this, width, height, format, multiSample, quality,
                                       lockable != 0, &created);
    if (FAILED(hr)) return hr;
    created->AddRef();
    *surface = created;
    return D3D_OK;
}

// Targets ---------------------------------------------------------------

HRESULT Device::SetRenderTarget(DWORD index, IDirect3DSurface9* surface) {
    if (index != 0) {
        logOnce("mrt", "more than one render target is not offered");
        return D3DERR_INVALIDCALL;
    }
    auto* target = dynamic_cast<Surface*>(surface);
    if (!target || !target->isRenderTarget() || target->device() != this) return D3DERR_INVALIDCALL;
    renderTarget_.reset(target);
    // Direct3D sets the viewport to the whole of a new render target.
    state_.viewport = fullViewport();
    return D3D_OK;
}

HRESULT Device::GetRenderTarget(DWORD index, IDirect3DSurface9** surface) {
    if (!surface) return D3DERR_INVALIDCALL;
    *surface = nullptr;
    if (index != 0) return D3DERR_INVALIDCALL;
    if (!renderTarget_) return D3DERR_NOTFOUND;
    renderTarget_->AddRef();
    *surface = renderTarget_.get();
    return D3D_OK;
}

HRESULT Device::SetDepthStencilSurface(IDirect3DSurface9* surface) {
    if (!surface) {
        depthStencil_.reset();
        return D3D_OK;
    }
    auto* depth = dynamic_cast<Surface*>(surface);
    if (!depth || !depth->isDepth() || depth->device() != this) return D3DERR_INVALIDCALL;
    depthStencil_.reset(depth);
    return D3D_OK;
}

HRESULT Device::GetDepthStencilSurface(IDirect3DSurface9** surface) {
    if (!surface) return D3DERR_INVALIDCALL;
    *surface = nullptr;
    if (!depthStencil_) return D3DERR_NOTFOUND;
    depthStencil_->AddRef();
    *surface = depthStencil_.get();
    return D3D_OK;
}

HRESULT Device::BeginScene() {
    if (inScene_) return D3DERR_INVALIDCALL;
    inScene_ = true;
    return D3D_OK;
}

HRESULT Device::EndScene() {
    if (!inScene_) return D3DERR_INVALIDCALL;
    inScene_ = false;
    if (makeCurrent()) glFlush();
    return D3D_OK;
}

// State -----------------------------------------------------------------

DeviceState& Device::target() {
    return recording_ ? recording_->state : state_;
}

HRESULT Device::SetViewport(const D3DVIEWPORT9* viewport) {
    if (!viewport || viewport->Width == 0 || viewport->Height == 0) return D3DERR_INVALIDCALL;
    if (viewport->MinZ < 0 || viewport->MaxZ > 1 || viewport->MinZ > viewport->MaxZ)
        return D3DERR_INVALIDCALL;
    target().viewport = *viewport;
    if (recording_) recording_->mask.viewport = true;
    return D3D_OK;
}

HRESULT Device::GetViewport(D3DVIEWPORT9* viewport) {
    if (!viewport) return D3DERR_INVALIDCALL;
    *viewport = state_.viewport;
    return D3D_OK;
}

HRESULT Device::SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) {
    if (!matrix) return D3DERR_INVALIDCALL;
    int slot = transformSlot(state);
    if (slot < 0) {
        logOnce("transform" + std::to_string(state),
                "transform " + std::to_string(state) + " is not honoured");
        return D3D_OK;
    }
    target().transforms[slot] = *matrix;
    if (recording_) recording_->mask.transforms.set(slot);
    return D3D_OK;
}

HRESULT Device::GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) {
    if (!matrix) return D3DERR_INVALIDCALL;
    int slot = transformSlot(state);
    if (slot < 0) return D3DERR_INVALIDCALL;
    *matrix = state_.transforms[slot];
    return D3D_OK;
}

HRESULT Device::SetMaterial(const D3DMATERIAL9* material) {
    if (!material) return D3DERR_INVALIDCALL;
    target().material = *material;
    if (recording_) recording_->mask.material = true;
    return D3D_OK;
}

HRESULT Device::GetMaterial(D3DMATERIAL9* material) {
    if (!material) return D3DERR_INVALIDCALL;
    *material = state_.material;
    return D3D_OK;
}

HRESULT Device::SetLight(DWORD index, const D3DLIGHT9* light) {
    if (!light || light->Type < D3DLIGHT_POINT || light->Type > D3DLIGHT_DIRECTIONAL)
        return D3DERR_INVALIDCALL;
    if (light->Type != D3DLIGHT_DIRECTIONAL && light->Range < 0) return D3DERR_INVALIDCALL;
    target().lights[index].light = *light;
    if (recording_) recording_->mask.lights.insert(index);
    return D3D_OK;
}

HRESULT Device::GetLight(DWORD index, D3DLIGHT9* light) {
    if (!light) return D3DERR_INVALIDCALL;
    auto found = state_.lights.find(index);
    if (found == state_.lights.end()) return D3DERR_INVALIDCALL;
    *light = found->second.light;
    return D3D_OK;
}

HRESULT Device::LightEnable(DWORD index, BOOL enable) {
    DeviceState& into = target();
    auto found = into.lights.find(index);
    if (found == into.lights.end()) {
        // Enabling a light never set makes Direct3D's default light there.
        found = into.lights.emplace(index, LightSlot{defaultLight(), false}).first;
        if (recording_) recording_->mask.lights.insert(index);
    }
    found->second.enabled = enable != 0;
    if (recording_) recording_->mask.lightEnables.insert(index);
    size_t enabled = 0;
    for (const auto& [light, slot] : into.lights) enabled += slot.enabled ? 1 : 0;
    if (enabled > caps_.MaxActiveLights) {
        logOnce("lights", "more than " + std::to_string(caps_.MaxActiveLights) +
                              " active lights: the first ones are used");
    }
    return D3D_OK;
}

HRESULT Device::SetRenderState(D3DRENDERSTATETYPE state, DWORD value) {
    if (state >= kRenderStateCount) return D3DERR_INVALIDCALL;
    target().render[state] = value;
    if (recording_) recording_->mask.render.set(state);
    if (!honoured(state, value) &&
        DeviceState::defaults(true, fullViewport()).render[state] != value) {
        logOnce("rs" + std::to_string(state) + "=" + std::to_string(value),
                "render state " + std::to_string(state) + " = " + std::to_string(value) +
                    " is not honoured");
    }
    return D3D_OK;
}

HRESULT Device::GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) {
    if (!value || state >= kRenderStateCount) return D3DERR_INVALIDCALL;
    *value = state_.render[state];
    return D3D_OK;
}

HRESULT Device::SetTexture(DWORD stage, IDirect3DBaseTexture9* texture) {
    if (stage >= kTextureStages) return D3DERR_INVALIDCALL;
    TextureCore* core = nullptr;
    if (texture) {
        core = textureCore(texture);
        if (!core || core->device() != this) return D3DERR_INVALIDCALL;
        if (core->cube()) logOnce("cubesample", "sampling cube textures is not honoured");
    }
    target().textures[stage].reset(core);
    if (recording_) recording_->mask.textures.set(stage);
    return D3D_OK;
}

HRESULT Device::GetTexture(DWORD stage, IDirect3DBaseTexture9** texture) {
    if (!texture || stage >= kTextureStages) return D3DERR_INVALIDCALL;
    *texture = nullptr;
    if (TextureCore* core = state_.textures[stage].get()) {
        *texture = core->baseInterface();
        (*texture)->AddRef();
    }
    return D3D_OK;
}

HRESULT Device::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) {
    if (stage >= kTextureStages || type >= kTextureStageStateCount) return D3DERR_INVALIDCALL;
    target().stage[stage][type] = value;
    if (recording_) recording_->mask.stage[stage].set(type);
    checkStageState(stage, type, value);
    return D3D_OK;
}

HRESULT Device::GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value) {
    if (!value || stage >= kTextureStages || type >= kTextureStageStateCount)
        return D3DERR_INVALIDCALL;
    *value = state_.stage[stage][type];
    return D3D_OK;
}

HRESULT Device::SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) {
    if (sampler >= kSamplers || type >= kSamplerStateCount) return D3DERR_INVALIDCALL;
    target().sampler[sampler][type] = value;
    if (recording_) recording_->mask.sampler[sampler].set(type);
    if (type == D3DSAMP_SRGBTEXTURE && value != 0)
        logOnce("srgb", "sRGB texture reads are not honoured");
    return D3D_OK;
}

HRESULT Device::GetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD* value) {
    if (!value || sampler >= kSamplers || type >= kSamplerStateCount) return D3DERR_INVALIDCALL;
    *value = state_.sampler[sampler][type];
    return D3D_OK;
}

HRESULT Device::SetFVF(DWORD fvf) {
    target().fvf = fvf;
    if (recording_) recording_->mask.fvf = true;
    if (fvf != 0 && !VertexLayout::decode(fvf).valid)
        logOnce("fvf" + std::to_string(fvf),
                "vertex format " + std::to_string(fvf) + " is not honoured");
    return D3D_OK;
}

HRESULT Device::GetFVF(DWORD* fvf) {
    if (!fvf) return D3DERR_INVALIDCALL;
    *fvf = state_.fvf;
    return D3D_OK;
}

HRESULT Device::SetStreamSource(UINT stream, IDirect3DVertexBuffer9* buffer, UINT offset,
                                UINT stride) {
    if (stream != 0) {
        logOnce("streams", "vertex streams other than 0 are not offered");
        return D3DERR_INVALIDCALL;
    }
    auto* vertices = dynamic_cast<VertexBuffer*>(buffer);
    if (buffer && (!vertices || vertices->device() != this)) return D3DERR_INVALIDCALL;
    DeviceState& into = target();
    into.stream.reset(vertices);
    into.streamOffset = offset;
    into.streamStride = stride;
    if (recording_) recording_->mask.stream = true;
    return D3D_OK;
}

HRESULT Device::SetIndices(IDirect3DIndexBuffer9* buffer) {
    auto* indices = dynamic_cast<IndexBuffer*>(buffer);
    if (buffer && (!indices || indices->device() != this)) return D3DERR_INVALIDCALL;
    target().indices.reset(indices);
    if (recording_) recording_->mask.indices = true;
    return D3D_OK;
}

// State blocks ----------------------------------------------------------

HRESULT Device::CreateStateBlock(D3DSTATEBLOCKTYPE type, IDirect3DStateBlock9** block) {
    if (!block || type < D3DSBT_ALL || type > D3DSBT_VERTEXSTATE || recording_)
        return D3DERR_INVALIDCALL;
    auto* created = new StateBlock(this, StateMask::of(type, state_));
    created->AddRef();
    created->Capture();
    *block = created;
    return D3D_OK;
}

HRESULT Device::BeginStateBlock() {
    if (recording_) return D3DERR_INVALIDCALL;
    recording_ = std::make_unique<Recording>();
    recording_->state = state_;
    return D3D_OK;
}

HRESULT Device::EndStateBlock(IDirect3DStateBlock9** block) {
    if (!block || !recording_) return D3DERR_INVALIDCALL;
    std::unique_ptr<Recording> recorded = std::move(recording_);
    auto* created = new StateBlock(this, recorded->mask);
    created->AddRef();
    copyMasked(recorded->mask, recorded->state, created->state());
    *block = created;
    return D3D_OK;
}

void Device::recordState(const StateMask& mask, DeviceState& into) const {
    copyMasked(mask, state_, into);
}

void Device::applyState(const StateMask& mask, const DeviceState& from) {
    // The states with side effects go through the device's own setters, so
    // they reach the pipeline (or a block being recorded); the rest are
    // copied as a block copy does.
    struct Apply : MaskedCopy {
        Device& device;
        void render(UINT i) { device.SetRenderState(D3DRENDERSTATETYPE(i), from.render[i]); }
        void stage(UINT s, UINT i) {
            device.SetTextureStageState(s, D3DTEXTURESTAGESTATETYPE(i), from.stage[s][i]);
        }
        void sampler(UINT s, UINT i) {
            device.SetSamplerState(s, D3DSAMPLERSTATETYPE(i), from.sampler[s][i]);
        }
        void lightEnable(DWORD index) {
            auto found = from.lights.find(index);
            device.LightEnable(index, found != from.lights.end() && found->second.enabled);
        }
    } apply{{from, target()}, *this};
    walkMask(mask, apply);
    if (recording_) {
        StateMask& recorded = recording_->mask;
        recorded.transforms |= mask.transforms;
        recorded.material |= mask.material;
        recorded.viewport |= mask.viewport;
        recorded.lights.insert(mask.lights.begin(), mask.lights.end());
        recorded.textures |= mask.textures;
        recorded.fvf |= mask.fvf;
        recorded.stream |= mask.stream;
        recorded.indices |= mask.indices;
    }
}

} // namespace d3d9

// Test hooks --------------------------------------------------------------

namespace d3d9::test {

void forceDeviceLoss(IDirect3DDevice9* device) {
    if (Device* runtime = deviceOf(device)) runtime->forceLoss();
}

bool usesOpenGL(IDirect3DDevice9* device) {
    Device* runtime = deviceOf(device);
    return runtime && !runtime->cpuOnly();
}

unsigned presentedTexture(IDirect3DSwapChain9* swapChain) {
    auto* chain = dynamic_cast<SwapChain*>(swapChain);
    return chain ? chain->presentedTexture() : 0;
}

} // namespace d3d9::test
