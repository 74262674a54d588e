// SPDX-License-Identifier: MIT
#include "app/PreviewDecode.h"

#include <algorithm>

#include "render/D3D/Device.h"

namespace app {

int currentTextureLimit() {
    D3DCAPS9 caps;
    if (!D3D::currentDevice || FAILED(D3D::currentDevice->GetDeviceCaps(&caps))) return 0;
    return int(std::min(caps.MaxTextureWidth, caps.MaxTextureHeight));
}

} // namespace app
