// SPDX-License-Identifier: MIT
// Swap chains: a back buffer sized to the window's client area, and Present,
// which hands the finished frame to the window layer as a bottom-up texture.
#include "d3d9/SwapChain.h"

#include <algorithm>

#include "d3d9/Device.h"
#include "d3d9/GlContext.h"
#include "d3d9/Log.h"
#include "d3d9/WindowHost.h"

namespace d3d9 {

SwapChain::SwapChain(Device* device, const D3DPRESENT_PARAMETERS& parameters, bool implicit)
    : ResourceCore(device, D3DPOOL_DEFAULT), parameters_(parameters), implicit_(implicit) {}

SwapChain::~SwapChain() {
    backBuffer_.reset();
    if ((resolved_ || presented_ || framebuffers_[0]) && device()->makeCurrent()) {
        if (resolved_) glDeleteTextures(1, &resolved_);
        if (presented_) glDeleteTextures(1, &presented_);
        glDeleteFramebuffers(2, framebuffers_);
    }
    // The window would otherwise go on showing a deleted texture (or, once
    // its name is reused, someone else's) until the next Present, for
    // example while the device is lost or being restored.
    if (presented_ && windowHost().isWindow(parameters_.hDeviceWindow))
        windowHost().present(parameters_.hDeviceWindow, win::Surface{});
}

HRESULT SwapChain::create(Device* device, D3DPRESENT_PARAMETERS* parameters, bool implicit,
                          SwapChain** swapChain) {
    *swapChain = nullptr;
    if (parameters->BackBufferWidth == 0 || parameters->BackBufferHeight == 0) {
        int width = 0, height = 0;
        if (!windowHost().clientSize(parameters->hDeviceWindow, &width, &height))
            width = height = 1;
        // A window not laid out yet still gets a frame of one pixel.
        if (parameters->BackBufferWidth == 0)
            parameters->BackBufferWidth = UINT(std::max(width, 1));
        if (parameters->BackBufferHeight == 0)
            parameters->BackBufferHeight = UINT(std::max(height, 1));
    }
    auto* created = new SwapChain(device, *parameters, implicit);
    Surface* backBuffer = nullptr;
    HRESULT hr = Surface::createTarget(
        device, parameters->BackBufferWidth, parameters->BackBufferHeight,
        parameters->BackBufferFormat, parameters->MultiSampleType, parameters->MultiSampleQuality,
        (parameters->Flags & D3DPRESENTFLAG_LOCKABLE_BACKBUFFER) != 0, &backBuffer);
    if (FAILED(hr)) {
        delete static_cast<Counted*>(created);
        return hr;
    }
    created->backBuffer_.reset(backBuffer);
    if (!device->cpuOnly() && !created->makePresentTextures()) {
        delete static_cast<Counted*>(created);
        return D3DERR_OUTOFVIDEOMEMORY;
    }
    *swapChain = created;
    return D3D_OK;
}

bool SwapChain::makePresentTextures() {
    if (!device()->makeCurrent()) return false;
    gl::takeError();
    auto makeTexture = [&](GLuint* texture) {
        glGenTextures(1, texture);
        glBindTexture(GL_TEXTURE_2D, *texture);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, GLsizei(parameters_.BackBufferWidth),
                     GLsizei(parameters_.BackBufferHeight), 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    };
    makeTexture(&presented_);
    if (parameters_.MultiSampleType != D3DMULTISAMPLE_NONE) makeTexture(&resolved_);
    glBindTexture(GL_TEXTURE_2D, 0);
    glGenFramebuffers(2, framebuffers_);
    return gl::takeError() == GL_NO_ERROR;
}

HRESULT SwapChain::Present(const RECT* source, const RECT* dest, HWND destWindow,
                           const void* dirtyRegion, DWORD) {
    if (source || dest || dirtyRegion)
        logOnce("presentrects", "Present rectangles and dirty regions are not honoured");
    HWND window = destWindow ? destWindow : parameters_.hDeviceWindow;
    if (HRESULT hr = device()->checkPresent(window); FAILED(hr)) return hr;
    if (device()->cpuOnly()) return D3D_OK;
    if (!device()->makeCurrent()) return D3DERR_DEVICELOST;

    GLint width = GLint(parameters_.BackBufferWidth), height = GLint(parameters_.BackBufferHeight);
    auto attach = [](GLenum target, const GlAttachment& a) {
        if (a.renderbuffer)
            glFramebufferRenderbuffer(target, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER,
                                      a.renderbuffer);
        else
            glFramebufferTexture2D(target, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, a.texture, 0);
    };
    glDisable(GL_SCISSOR_TEST);
    glDisable(GL_FRAMEBUFFER_SRGB);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffers_[0]);
    attach(GL_READ_FRAMEBUFFER, backBuffer_->attachment());
    glReadBuffer(GL_COLOR_ATTACHMENT0);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, framebuffers_[1]);
    glDrawBuffer(GL_COLOR_ATTACHMENT0);
    if (resolved_) {
        // A multisampled read must land on a rectangle of the same place and
        // size, so the resolve and the flip are two blits.
        GlAttachment resolved;
        resolved.texture = resolved_;
        attach(GL_DRAW_FRAMEBUFFER, resolved);
        glBlitFramebuffer(0, 0, width, height, 0, 0, width, height, GL_COLOR_BUFFER_BIT,
                          GL_NEAREST);
        attach(GL_READ_FRAMEBUFFER, resolved);
    }
    GlAttachment presented;
    presented.texture = presented_;
    attach(GL_DRAW_FRAMEBUFFER, presented);
    // Targets hold Direct3D's rows top-down; the window layer wants them bottom-up.
    glBlitFramebuffer(0, 0, width, height, 0, height, width, 0, GL_COLOR_BUFFER_BIT, GL_NEAREST);
    // A window shows no alpha: make the frame opaque for the compositor.
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffers_[1]);
    glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_TRUE);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glFlush();

    win::Surface surface;
    surface.glTexture = presented_;
    surface.width = width;
    surface.height = height;
    windowHost().present(window, surface);
    return D3D_OK;
}

HRESULT SwapChain::GetBackBuffer(UINT index, D3DBACKBUFFER_TYPE type, IDirect3DSurface9** surface) {
    if (!surface) return D3DERR_INVALIDCALL;
    *surface = nullptr;
    if (index >= parameters_.BackBufferCount || type != D3DBACKBUFFER_TYPE_MONO)
        return D3DERR_INVALIDCALL;
    // One buffer stands for all of them: frames are copied out on Present.
    backBuffer_->AddRef();
    *surface = backBuffer_.get();
    return D3D_OK;
}

HRESULT SwapChain::GetPresentParameters(D3DPRESENT_PARAMETERS* parameters) {
    if (!parameters) return D3DERR_INVALIDCALL;
    *parameters = parameters_;
    return D3D_OK;
}

} // namespace d3d9
