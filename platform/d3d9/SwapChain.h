// SPDX-License-Identifier: MIT
// Stands in for IDirect3DSwapChain9 on OpenGL 3.3.
//  [x] one back buffer per swap chain: a framebuffer texture (a multisampled
//      renderbuffer with 2 or 4 samples) of the window's client size
//  [x] Present turns the Direct3D top-down image into the bottom-up texture
//      the window layer composites, resolving multisampling on the way
//  [x] presenting to a minimised or hidden window loses the device
//  [ ] source and destination rectangles, dirty regions (logged once)
#pragma once

#include <epoxy/gl.h>

#include "d3d9/Object.h"
#include "d3d9/Surface.h"

namespace d3d9 {

class SwapChain final : public IDirect3DSwapChain9, public ResourceCore {
public:
    // Fills in a width or height of 0 from the window's client area and
    // writes the chosen size back into `parameters`. The new swap chain is
    // not yet held by anyone.
    static HRESULT create(Device* device, D3DPRESENT_PARAMETERS* parameters, bool implicit,
                          SwapChain** swapChain);
    ~SwapChain() override;

    uint32_t AddRef() override { return addPublic(); }
    uint32_t Release() override { return releasePublic(); }
    bool blocksReset() const override { return !implicit_ && publicCount() > 0; }

    HRESULT Present(const RECT* source, const RECT* dest, HWND destWindow, const void* dirtyRegion,
                    DWORD flags) override;
    HRESULT GetBackBuffer(UINT index, D3DBACKBUFFER_TYPE type,
                          IDirect3DSurface9** surface) override;
    HRESULT GetPresentParameters(D3DPRESENT_PARAMETERS* parameters) override;

    Surface* backBuffer() const { return backBuffer_.get(); }
    HWND window() const { return parameters_.hDeviceWindow; }
    const D3DPRESENT_PARAMETERS& parameters() const { return parameters_; }
    GLuint presentedTexture() const { return presented_; }
    void publicAddRef() { addPublic(); }

private:
    SwapChain(Device* device, const D3DPRESENT_PARAMETERS& parameters, bool implicit);
    bool makePresentTextures();

    D3DPRESENT_PARAMETERS parameters_;
    bool implicit_;
    Held<Surface> backBuffer_;
    GLuint resolved_ = 0;  // single-sampled copy of a multisampled back buffer
    GLuint presented_ = 0; // bottom-up texture handed to the window
    GLuint framebuffers_[2] = {0, 0};
};

} // namespace d3d9
