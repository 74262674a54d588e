// SPDX-License-Identifier: MIT
// The default SDL audio device at 44,100 Hz, 16-bit stereo, its callback
// pulling the mixer. SDL converts if the hardware wants another format.
#pragma once

#include <memory>
#include <string>

#include "dsound/Mixer.h"

namespace dsound {

class SdlOutput final : public Output {
public:
    // Null when SDL has no audio driver or device; `reason` then says why.
    static std::unique_ptr<SdlOutput> open(Mixer& mixer, std::string& reason);
    ~SdlOutput() override;

    bool present() override;
    bool reopen() override;

private:
    explicit SdlOutput(Mixer& mixer) : mixer_(mixer) {}
    bool openDevice();

    Mixer& mixer_;
    uint32_t device_ = 0;
};

} // namespace dsound
