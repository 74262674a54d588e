// SPDX-License-Identifier: MIT
// SDL stops calling a removed device's callback and reports it stopped;
// nothing here pauses the device, so "stopped" means "gone". Polling the
// status needs no event loop, which the sound thread does not run.
#include "dsound/SdlOutput.h"

#include <SDL.h>
#include <fcntl.h>
#include <unistd.h>

namespace dsound {
namespace {

// The sound libraries below SDL (alsa-lib above all) print their own
// complaints on the standard error stream when a machine has no sound card.
// The caller reports a failed open in one line of its own, so their
// chatter is held back while the device opens.
class QuietStandardError {
public:
    QuietStandardError() : saved_(::dup(STDERR_FILENO)) {
        const int nothing = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (saved_ >= 0 && nothing >= 0) ::dup2(nothing, STDERR_FILENO);
        if (nothing >= 0) ::close(nothing);
    }
    ~QuietStandardError() {
        if (saved_ < 0) return;
        ::dup2(saved_, STDERR_FILENO);
        ::close(saved_);
    }
    QuietStandardError(const QuietStandardError&) = delete;
    QuietStandardError& operator=(const QuietStandardError&) = delete;

private:
    int saved_;
};

// About 23 ms at 44.1 kHz: one mixer block per callback.
constexpr Uint16 kCallbackFrames = Mixer::kBlockFrames;

void SDLCALL fill(void* mixer, Uint8* stream, int bytes) {
    const size_t frames = size_t(bytes) / (sizeof(int16_t) * kOutputChannels);
    static_cast<Mixer*>(mixer)->mix(reinterpret_cast<int16_t*>(stream), frames);
}

} // namespace

std::unique_ptr<SdlOutput> SdlOutput::open(Mixer& mixer, std::string& reason) {
    const QuietStandardError quiet;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        reason = SDL_GetError();
        return nullptr;
    }
    std::unique_ptr<SdlOutput> output(new SdlOutput(mixer));
    if (!output->openDevice()) {
        reason = SDL_GetError();
        return nullptr; // the destructor quits the subsystem again
    }
    return output;
}

SdlOutput::~SdlOutput() {
    if (device_ != 0) SDL_CloseAudioDevice(device_);
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

bool SdlOutput::openDevice() {
    SDL_AudioSpec wanted{};
    wanted.freq = int(kOutputRate);
    wanted.format = AUDIO_S16SYS;
    wanted.channels = Uint8(kOutputChannels);
    wanted.samples = kCallbackFrames;
    wanted.callback = fill;
    wanted.userdata = &mixer_;
    SDL_AudioSpec obtained{};
    device_ = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
    if (device_ == 0) return false;
    SDL_PauseAudioDevice(device_, 0);
    return true;
}

bool SdlOutput::present() {
    return device_ != 0 && SDL_GetAudioDeviceStatus(device_) != SDL_AUDIO_STOPPED;
}

bool SdlOutput::reopen() {
    const QuietStandardError quiet;
    // -1 means the driver cannot list its devices: try the default anyway.
    if (SDL_GetNumAudioDevices(0) == 0) return false;
    if (device_ != 0) SDL_CloseAudioDevice(device_);
    device_ = 0;
    return openDevice();
}

} // namespace dsound
