// SPDX-License-Identifier: MIT
// Stands in for IDirect3DDevice9 on OpenGL 3.3, or on CPU memory alone.
//  [x] implicit and additional swap chains, render target and depth-stencil
//      switching, textures, cube textures, vertex and index buffers in the pools
//  [x] the fixed-function state (FixedFunction.h), state blocks, Clear,
//      DrawPrimitive(UP), DrawIndexedPrimitive(UP)
//  [x] device loss: Present on a minimised or hidden window, a context reset
//      or a test's forceDeviceLoss; TestCooperativeLevel walks DEVICELOST ->
//      DEVICENOTRESET -> D3D_OK after Reset, and Reset refuses while
//      default-pool objects are still held
//  [x] without OpenGL every resource is CPU memory and draws go nowhere
//  [ ] shaders, queries, user clip planes, stencil operations (logged once)
#pragma once

#include <epoxy/gl.h>

#include <array>
#include <memory>
#include <optional>
#include <set>
#include <vector>

#include "d3d9/FixedFunction.h"
#include "d3d9/StateBlock.h"
#include "d3d9/Surface.h"
#include "d3d9/SwapChain.h"

namespace d3d9 {

class Device final : public IDirect3DDevice9 {
public:
    static HRESULT create(bool cpuOnly, const D3DCAPS9& caps, HWND focusWindow, DWORD behaviour,
                          D3DPRESENT_PARAMETERS* parameters, IDirect3DDevice9** device);

    uint32_t AddRef() override;
    uint32_t Release() override;

    HRESULT TestCooperativeLevel() override;
    HRESULT Reset(D3DPRESENT_PARAMETERS* parameters) override;
    HRESULT GetDeviceCaps(D3DCAPS9* caps) override;
    HRESULT GetSwapChain(UINT index, IDirect3DSwapChain9** swapChain) override;
    HRESULT CreateAdditionalSwapChain(D3DPRESENT_PARAMETERS* parameters,
                                      IDirect3DSwapChain9** swapChain) override;
    HRESULT GetBackBuffer(UINT swapChain, UINT index, D3DBACKBUFFER_TYPE type,
                          IDirect3DSurface9** surface) override;

    HRESULT CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                          D3DPOOL pool, IDirect3DTexture9** texture, HANDLE* shared) override;
    HRESULT CreateCubeTexture(UINT edgeLength, UINT levels, DWORD usage, D3DFORMAT format,
                              D3DPOOL pool, IDirect3DCubeTexture9** texture,
                              HANDLE* shared) override;
    HRESULT CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                               IDirect3DVertexBuffer9** buffer, HANDLE* shared) override;
    HRESULT CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                              IDirect3DIndexBuffer9** buffer, HANDLE* shared) override;
    HRESULT CreateDepthStencilSurface(UINT width, UINT height, D3DFORMAT format,
                                      D3DMULTISAMPLE_TYPE multiSample, DWORD quality, BOOL discard,
                                      IDirect3DSurface9** surface, HANDLE* shared) override;
    HRESULT CreateRenderTarget(UINT width, UINT height, D3DFORMAT format,
                               D3DMULTISAMPLE_TYPE multiSample, DWORD quality, BOOL lockable,
                               IDirect3DSurface9** surface, HANDLE* shared) override;

    HRESULT SetRenderTarget(DWORD index, IDirect3DSurface9* surface) override;
    HRESULT GetRenderTarget(DWORD index, IDirect3DSurface9** surface) override;
    HRESULT SetDepthStencilSurface(IDirect3DSurface9* surface) override;
    HRESULT GetDepthStencilSurface(IDirect3DSurface9** surface) override;

    HRESULT BeginScene() override;
    HRESULT EndScene() override;
    HRESULT Clear(DWORD count, const RECT* rects, DWORD flags, D3DCOLOR color, float z,
                  DWORD stencil) override;
    HRESULT SetViewport(const D3DVIEWPORT9* viewport) override;
    HRESULT GetViewport(D3DVIEWPORT9* viewport) override;
    HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) override;
    HRESULT GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) override;
    HRESULT SetMaterial(const D3DMATERIAL9* material) override;
    HRESULT GetMaterial(D3DMATERIAL9* material) override;
    HRESULT SetLight(DWORD index, const D3DLIGHT9* light) override;
    HRESULT GetLight(DWORD index, D3DLIGHT9* light) override;
    HRESULT LightEnable(DWORD index, BOOL enable) override;
    HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override;
    HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) override;
    HRESULT CreateStateBlock(D3DSTATEBLOCKTYPE type, IDirect3DStateBlock9** block) override;
    HRESULT BeginStateBlock() override;
    HRESULT EndStateBlock(IDirect3DStateBlock9** block) override;
    HRESULT SetTexture(DWORD stage, IDirect3DBaseTexture9* texture) override;
    HRESULT GetTexture(DWORD stage, IDirect3DBaseTexture9** texture) override;
    HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) override;
    HRESULT GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value) override;
    HRESULT SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) override;
    HRESULT GetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD* value) override;

    HRESULT SetFVF(DWORD fvf) override;
    HRESULT GetFVF(DWORD* fvf) override;
    HRESULT SetStreamSource(UINT stream, IDirect3DVertexBuffer9* buffer, UINT offset,
                            UINT stride) override;
    HRESULT SetIndices(IDirect3DIndexBuffer9* buffer) override;
    HRESULT DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount) override;
    HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE type, int32_t baseVertex, UINT minIndex,
                                 UINT vertexCount, UINT startIndex, UINT primitiveCount) override;
    HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitiveCount, const void* vertices,
                            UINT stride) override;
    HRESULT DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE type, UINT minIndex, UINT vertexCount,
                                   UINT primitiveCount, const void* indices, D3DFORMAT indexFormat,
                                   const void* vertices, UINT stride) override;

    // For the runtime's own objects.
    bool cpuOnly() const { return cpuOnly_; }
    const D3DCAPS9& caps() const { return caps_; }
    HWND focusWindow() const { return focusWindow_; }
    // Makes the GL context current; false on the CPU-only device.
    bool makeCurrent();
    // A framebuffer for reading back and copying surfaces.
    GLuint scratchFramebuffer();
    void addResource(ResourceCore* resource) { resources_.insert(resource); }
    void removeResource(ResourceCore* resource) { resources_.erase(resource); }
    // Decides whether a presentation may go ahead or the device is lost.
    HRESULT checkPresent(HWND window);
    void forceLoss();
    SwapChain* implicitSwapChain() const { return implicit_.get(); }
    // Applies a state block's values through the setters.
    void applyState(const StateMask& mask, const DeviceState& state);
    const DeviceState& state() const { return state_; }
    void recordState(const StateMask& mask, DeviceState& into) const;

private:
    Device(bool cpuOnly, const D3DCAPS9& caps, HWND focusWindow, DWORD behaviour);
    ~Device();
    HRESULT createImplicit(D3DPRESENT_PARAMETERS* parameters);
    DeviceState& target(); // the device state, or the block being recorded
    StateMask* recording() { return recording_ ? &recording_->mask : nullptr; }
    D3DVIEWPORT9 fullViewport() const;

    // Drawing (Draw.cpp).
    bool prepareGl();
    bool bindTargets(int* width, int* height);
    void applyRasterState();
    void bindTextures(std::array<bool, kStages>& stageTextures);
    void bindLayout(const VertexLayout& layout, UINT stride, size_t offset);
    struct DrawCall {
        D3DPRIMITIVETYPE type;
        UINT primitiveCount;
        VertexLayout layout;
        UINT stride;
        const void* vertices = nullptr; // null: stream 0
        UINT vertexCount = 0;           // of user-memory vertices
        UINT firstVertex = 0;
        bool indexed = false;
        const void* indices = nullptr; // null: the index buffer
        D3DFORMAT indexFormat = D3DFMT_INDEX16;
        UINT startIndex = 0;
        int32_t baseVertex = 0;
    };
    HRESULT draw(const DrawCall& call);
    void releaseGl();

    uint32_t refs_ = 0;
    bool cpuOnly_;
    D3DCAPS9 caps_;
    HWND focusWindow_;
    DWORD behaviour_;

    enum class Cooperation { Ok, Lost, NotReset };
    Cooperation cooperation_ = Cooperation::Ok;

    std::set<ResourceCore*> resources_;
    Held<SwapChain> implicit_;
    Held<Surface> autoDepth_;
    Held<Surface> renderTarget_;
    Held<Surface> depthStencil_;
    DeviceState state_;
    struct Recording {
        StateMask mask;
        DeviceState state;
    };
    std::unique_ptr<Recording> recording_;
    bool inScene_ = false;

    // OpenGL objects, made on first draw.
    std::unique_ptr<FixedFunction> program_;
    GLuint vao_ = 0, framebuffer_ = 0, scratchFramebuffer_ = 0;
    GLuint streamVertices_ = 0, streamIndices_ = 0;
    std::array<GLuint, kStages> samplers_{};
    bool glFailed_ = false;
};

// The runtime's device behind an interface pointer.
Device* deviceOf(IDirect3DDevice9* device);

} // namespace d3d9
