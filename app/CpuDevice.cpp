// SPDX-License-Identifier: MIT
#include "app/CpuDevice.h"

#include "d3d9/D3D9Runtime.h"
#include "render/D3D/Device.h"

namespace app {

bool CpuDevice::open(std::string& why) {
    // The switch is read once, here; put back at once so that a dialog later
    // in the same process (the tests) still gets its OpenGL device.
    const bool wasCpuOnly = d3d9::headlessCpuOnly();
    d3d9::setHeadlessCpuOnly(true);
    direct3D_ = Direct3DCreate9(D3D_SDK_VERSION);
    d3d9::setHeadlessCpuOnly(wasCpuOnly);
    if (!direct3D_) {
        why = "cannot start the Direct3D stand-in";
        return false;
    }
    D3DPRESENT_PARAMETERS parameters;
    parameters.BackBufferWidth = 1;
    parameters.BackBufferHeight = 1;
    parameters.BackBufferFormat = D3DFMT_A8R8G8B8;
    parameters.BackBufferCount = 1;
    parameters.SwapEffect = D3DSWAPEFFECT_DISCARD;
    parameters.Windowed = 1;
    const HRESULT result =
        direct3D_->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr,
                                D3DCREATE_SOFTWARE_VERTEXPROCESSING, &parameters, &device_);
    if (FAILED(result) || !device_) {
        why = "cannot create a Direct3D device without a display";
        device_ = nullptr;
        return false;
    }
    previous_ = D3D::currentDevice;
    D3D::currentDevice = device_;
    return true;
}

CpuDevice::~CpuDevice() {
    if (device_) {
        D3D::currentDevice = previous_;
        device_->Release();
    }
    if (direct3D_) direct3D_->Release();
}

} // namespace app
