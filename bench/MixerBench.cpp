// SPDX-License-Identifier: MIT
// The sound mixer under the load the engine can give it: 32 streaming
// buffers (two halves of 262,146 bytes, looping, a notification at the end
// of each half) and 64 short 3D buffers, at assorted frequencies, volumes
// and positions. One iteration mixes one second of output, so the time per
// iteration is the share of one core the mixer takes while playing.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "dsound/DSound.h"

namespace {

constexpr DWORD kRate = dsound::kOutputRate;
constexpr DWORD kStreamBytes = 2 * 262146;

WAVEFORMATEX pcm(WORD channels, DWORD rate) {
    const WORD align = WORD(channels * 2);
    return {WAVE_FORMAT_PCM, channels, rate, rate * align, align, 16, 0};
}

void fillTone(IDirectSoundBuffer8* buffer, DWORD bytes, double step) {
    void* part = nullptr;
    DWORD size = 0;
    buffer->Lock(0, bytes, &part, &size, nullptr, nullptr, 0);
    auto* samples = static_cast<int16_t*>(part);
    for (DWORD i = 0; i < size / 2; ++i) samples[i] = int16_t(12000 * std::sin(step * i));
    buffer->Unlock(part, size, nullptr, 0);
}

class Scene {
public:
    Scene() {
        dsound::createOfflineDevice(&device_);
        for (int i = 0; i < 32; ++i) {
            WAVEFORMATEX format = pcm(2, kRate);
            DSBUFFERDESC desc{sizeof desc,
                              DSBCAPS_CTRLVOLUME | DSBCAPS_CTRLFREQUENCY |
                                  DSBCAPS_CTRLPOSITIONNOTIFY | DSBCAPS_GETCURRENTPOSITION2,
                              kStreamBytes,
                              0,
                              &format,
                              DS3DALG_DEFAULT};
            IDirectSoundBuffer8* buffer = add(desc);
            fillTone(buffer, kStreamBytes, 0.01 + 0.002 * i);
            events_.push_back(sys::createEvent(false, false));
            events_.push_back(sys::createEvent(false, false));
            const DSBPOSITIONNOTIFY halves[2] = {
                {kStreamBytes / 2 - 1, events_[events_.size() - 2]},
                {kStreamBytes - 1, events_.back()}};
            void* notify = nullptr;
            buffer->QueryInterface(IID_IDirectSoundNotify, &notify);
            static_cast<IDirectSoundNotify*>(notify)->SetNotificationPositions(2, halves);
            static_cast<IDirectSoundNotify*>(notify)->Release();
            buffer->SetFrequency(DWORD(kRate * (0.5 + i / 32.0)));
            buffer->SetVolume(-100 * (i % 20));
            buffer->Play(0, 0, DSBPLAY_LOOPING);
        }
        for (int i = 0; i < 64; ++i) {
            WAVEFORMATEX format = pcm(1, 22050);
            DSBUFFERDESC desc{
                sizeof desc, DSBCAPS_CTRLVOLUME | DSBCAPS_CTRLFREQUENCY | DSBCAPS_CTRL3D,
                22050 * 2,   0,
                &format,     DS3DALG_DEFAULT};
            IDirectSoundBuffer8* buffer = add(desc);
            fillTone(buffer, 22050 * 2, 0.05 + 0.003 * i);
            void* object = nullptr;
            buffer->QueryInterface(IID_IDirectSound3DBuffer, &object);
            auto* spatial = static_cast<IDirectSound3DBuffer*>(object);
            spatial->SetPosition(float(i % 8) - 4, 0, float(i / 8) + 1, DS3D_IMMEDIATE);
            spatial->SetMinDistance(1.585f, DS3D_IMMEDIATE);
            spatial->SetMaxDistance(100, DS3D_IMMEDIATE);
            spatial->Release();
            buffer->SetFrequency(DWORD(22050 * (0.75 + i / 64.0)));
            buffer->SetVolume(-50 * (i % 30));
            buffer->Play(0, 0, DSBPLAY_LOOPING);
        }
    }
    ~Scene() {
        for (auto* buffer : buffers_) buffer->Release();
        for (auto event : events_) sys::closeEvent(event);
        device_->Release();
    }
    IDirectSound8* device() { return device_; }

private:
    IDirectSoundBuffer8* add(const DSBUFFERDESC& desc) {
        IDirectSoundBuffer8* buffer = nullptr;
        device_->CreateSoundBuffer(&desc, &buffer, nullptr);
        buffers_.push_back(buffer);
        return buffer;
    }

    IDirectSound8* device_ = nullptr;
    std::vector<IDirectSoundBuffer8*> buffers_;
    std::vector<sys::EventHandle> events_;
};

void mixOneSecond(benchmark::State& state) {
    Scene scene;
    std::vector<int16_t> out(kRate * 2);
    for (auto _ : state) {
        dsound::render(scene.device(), out.data(), kRate);
        benchmark::DoNotOptimize(out.data());
    }
    // Seconds of mixing per second of sound: the share of one core.
    state.counters["core_share"] = benchmark::Counter(
        double(state.iterations()), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(mixOneSecond)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
