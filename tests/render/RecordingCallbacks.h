// SPDX-License-Identifier: MIT
// A swap-chain owner that records which of its callbacks ran, by slot.
#pragma once

#include <vector>

#include "render/D3D/SwapChain.h"

namespace rendertest {

class RecordingCallbacks : public D3D::SwapChainInterface {
public:
    std::vector<int> slots;
    void beforeReleaseBuffers() override { slots.push_back(9); }
    void afterCreateBuffers() override { slots.push_back(10); }
    void whileDeviceLost() override { slots.push_back(11); }
    void deviceRestored() override { slots.push_back(12); }
};

} // namespace rendertest
