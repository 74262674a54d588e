// SPDX-License-Identifier: MIT
// SDL stops calling a removed device's callback and reports it stopped;
// nothing here pauses the device, so "stopped" means "gone". Polling the
// status needs no event loop, which the sound thread does not run.
#include "dsound/SdlOutput.h"

#include <SDL.h>

namespace dsound {
namespace {

// About 23 ms at 44.1 kHz: one mixer block per callback.
constexpr Uint16 kCallbackFrames = Mixer::kBlockFrames;

void SDLCALL fill(void* mixer, Uint8* stream, int bytes) {
    const size_t frames = size_t(bytes) / (sizeof(int16_t) * kOutputChannels);
    static_cast<Mixer*>(mixer)->mix(reinterpret_cast<int16_t*>(stream), frames);
}

} // namespace

std::unique_ptr<SdlOutput> SdlOutput::open(Mixer& mixer, std::string& reason) {
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
    // -1 means the driver cannot list its devices: try the default anyway.
    if (SDL_GetNumAudioDevices(0) == 0) return false;
    if (device_ != 0) SDL_CloseAudioDevice(device_);
    device_ = 0;
    return openDevice();
}

} // namespace dsound
