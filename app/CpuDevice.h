// SPDX-License-Identifier: MIT
// A CPU-only Direct3D device made current for the texture manager while it
// lives, and taken down again. The command line decodes through it without
// a window or OpenGL, and the dialog does when Direct3D did not start, so
// that the preview and the relief still work without a 3D view.
#pragma once

#include <string>

#include "d3d9/D3D9.h"

namespace app {

class CpuDevice {
public:
    CpuDevice() = default;
    CpuDevice(const CpuDevice&) = delete;
    CpuDevice& operator=(const CpuDevice&) = delete;
    ~CpuDevice();
    // On failure `why` says what did not start, and nothing changes.
    bool open(std::string& why);

private:
    IDirect3D9* direct3D_ = nullptr;
    IDirect3DDevice9* device_ = nullptr;
    IDirect3DDevice9* previous_ = nullptr;
};

} // namespace app
