// SPDX-License-Identifier: MIT
// Shared by the Direct3D 9 runtime tests: windows of our own behind the
// runtime's window host (so minimising and resizing need no desktop), and a
// fixture that opens the runtime and reads back what a device drew.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <vector>

#include "d3d9/D3D9.h"
#include "d3d9/D3D9Runtime.h"
#include "d3d9/WindowHost.h"

namespace d3d9test {

struct FakeWindow {
    int width = 64;
    int height = 64;
    bool visible = true;
    bool minimized = false;
};

class FakeWindowHost : public d3d9::WindowHost {
public:
    HWND add(int width, int height) {
        auto window = std::make_unique<FakeWindow>();
        window->width = width;
        window->height = height;
        HWND handle = reinterpret_cast<HWND>(window.get());
        windows_[handle] = std::move(window);
        return handle;
    }
    FakeWindow& window(HWND handle) { return *windows_.at(handle); }

    bool isWindow(HWND handle) override { return windows_.count(handle) != 0; }
    bool clientSize(HWND handle, int* width, int* height) override {
        if (!isWindow(handle)) return false;
        *width = window(handle).width;
        *height = window(handle).height;
        return true;
    }
    bool usable(HWND handle) override {
        return isWindow(handle) && window(handle).visible && !window(handle).minimized;
    }
    void present(HWND handle, const win::Surface& surface) override {
        presentedTo = handle;
        presented = surface;
        ++presents;
    }
    bool makeContextCurrent() override { return false; }

    HWND presentedTo = nullptr;
    win::Surface presented;
    int presents = 0;

private:
    std::map<HWND, std::unique_ptr<FakeWindow>> windows_;
};

// Releases a COM-style pointer at the end of a scope.
template <class T>
struct Ref {
    T* p = nullptr;
    Ref() = default;
    Ref(const Ref&) = delete;
    Ref& operator=(const Ref&) = delete;
    ~Ref() { reset(); }
    void reset() {
        if (p) p->Release();
        p = nullptr;
    }
    T** out() {
        reset();
        return &p;
    }
    T* operator->() const { return p; }
    T* get() const { return p; }
};

class RuntimeTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Mesa through EGL without a display, on every machine alike.
        setenv("SDL_VIDEODRIVER", "offscreen", 1);
        host_ = std::make_shared<FakeWindowHost>();
        d3d9::test::setWindowHost(host_);
        d3d9::test::clearScriptedResults();
        d3d9::setHeadlessCpuOnly(cpuOnly());
        d3d_ = Direct3DCreate9(D3D_SDK_VERSION);
        ASSERT_NE(d3d_, nullptr);
    }
    void TearDown() override {
        device.reset();
        if (d3d_) d3d_->Release();
        d3d9::setHeadlessCpuOnly(false);
        d3d9::test::clearScriptedResults();
        d3d9::test::setWindowHost(nullptr);
    }
    virtual bool cpuOnly() const { return false; }

    D3DPRESENT_PARAMETERS windowedParameters(HWND window) const {
        D3DPRESENT_PARAMETERS p;
        p.hDeviceWindow = window;
        p.Windowed = 1;
        p.BackBufferFormat = D3DFMT_A8R8G8B8;
        p.BackBufferCount = 1;
        p.SwapEffect = D3DSWAPEFFECT_DISCARD;
        p.EnableAutoDepthStencil = 1;
        p.AutoDepthStencilFormat = D3DFMT_D24S8;
        p.Flags = D3DPRESENTFLAG_LOCKABLE_BACKBUFFER;
        return p;
    }

    HRESULT createDevice(D3DPRESENT_PARAMETERS& parameters) {
        return d3d_->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, parameters.hDeviceWindow,
                                  D3DCREATE_HARDWARE_VERTEXPROCESSING | D3DCREATE_MULTITHREADED,
                                  &parameters, device.out());
    }

    // The back buffer's pixels, top row first, as A8R8G8B8 words.
    std::vector<uint32_t> readBackBuffer(int* width = nullptr, int* height = nullptr) {
        Ref<IDirect3DSurface9> surface;
        EXPECT_EQ(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, surface.out()), D3D_OK);
        return readSurface(surface.get(), width, height);
    }

    static std::vector<uint32_t> readSurface(IDirect3DSurface9* surface, int* width = nullptr,
                                             int* height = nullptr) {
        D3DSURFACE_DESC desc;
        surface->GetDesc(&desc);
        D3DLOCKED_RECT locked;
        std::vector<uint32_t> pixels;
        if (surface->LockRect(&locked, nullptr, D3DLOCK_READONLY) != D3D_OK) return pixels;
        pixels.resize(size_t(desc.Width) * desc.Height);
        for (UINT y = 0; y < desc.Height; ++y)
            std::memcpy(&pixels[y * desc.Width],
                        static_cast<uint8_t*>(locked.pBits) + size_t(y) * size_t(locked.Pitch),
                        desc.Width * 4);
        surface->UnlockRect();
        if (width) *width = int(desc.Width);
        if (height) *height = int(desc.Height);
        return pixels;
    }

    std::shared_ptr<FakeWindowHost> host_;
    IDirect3D9* d3d_ = nullptr;
    Ref<IDirect3DDevice9> device;
};

inline int red(uint32_t argb) {
    return int(argb >> 16 & 0xFF);
}
inline int green(uint32_t argb) {
    return int(argb >> 8 & 0xFF);
}
inline int blue(uint32_t argb) {
    return int(argb & 0xFF);
}

inline D3DMATRIX identityMatrix() {
    D3DMATRIX m;
    for (int i = 0; i < 4; ++i) m.m[i][i] = 1;
    return m;
}

} // namespace d3d9test
