// SPDX-License-Identifier: MIT
// An offline device for the sound tests, buffers filled with test tones,
// and the measures the tests read the mix with.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <numbers>
#include <vector>

#include "dsound/DSound.h"

namespace dsound_test {

inline WAVEFORMATEX pcmFormat(WORD channels, WORD bits, DWORD rate) {
    const WORD align = WORD(channels * bits / 8);
    return {WAVE_FORMAT_PCM, channels, rate, rate * align, align, bits, 0};
}

inline DSBUFFERDESC bufferDesc(WAVEFORMATEX& format, DWORD bytes, DWORD flags) {
    return {sizeof(DSBUFFERDESC), flags, bytes, 0, &format, DS3DALG_DEFAULT};
}

inline constexpr DWORD kAllControls =
    DSBCAPS_CTRLVOLUME | DSBCAPS_CTRLFREQUENCY | DSBCAPS_CTRLPAN | DSBCAPS_CTRLPOSITIONNOTIFY;
inline constexpr DWORD k3DControls =
    DSBCAPS_CTRLVOLUME | DSBCAPS_CTRLFREQUENCY | DSBCAPS_CTRL3D | DSBCAPS_CTRLPOSITIONNOTIFY;

// Writes `samples` (16-bit, interleaved as the buffer's channels are) at
// the start of the buffer through Lock.
inline void write16(IDirectSoundBuffer8* buffer, const std::vector<int16_t>& samples) {
    void* part = nullptr;
    DWORD bytes = 0;
    ASSERT_EQ(buffer->Lock(0, DWORD(samples.size() * 2), &part, &bytes, nullptr, nullptr, 0),
              DS_OK);
    ASSERT_EQ(bytes, samples.size() * 2);
    std::memcpy(part, samples.data(), bytes);
    ASSERT_EQ(buffer->Unlock(part, bytes, nullptr, 0), DS_OK);
}

// A whole number of cycles per buffer, so a looping buffer joins up.
inline std::vector<int16_t> sine(double hz, double amplitude, DWORD rate, size_t frames,
                                 int channels = 1) {
    std::vector<int16_t> samples(frames * size_t(channels));
    for (size_t i = 0; i < frames; ++i) {
        const double v =
            amplitude * 32767.0 * std::sin(2 * std::numbers::pi * hz * double(i) / rate);
        for (int c = 0; c < channels; ++c)
            samples[i * size_t(channels) + size_t(c)] = int16_t(std::lrint(v));
    }
    return samples;
}

// Root mean square of one channel of stereo output, as a fraction of full scale.
inline double rms(const std::vector<int16_t>& stereo, int channel, size_t from = 0) {
    double sum = 0;
    size_t count = 0;
    for (size_t i = from * 2 + size_t(channel); i < stereo.size(); i += 2, ++count)
        sum += double(stereo[i]) * stereo[i];
    return count ? std::sqrt(sum / double(count)) / 32768.0 : 0.0;
}

// The frequency of a tone from its rising zero crossings, interpolated
// between samples: exact to a small fraction of a hertz over a second.
inline double toneFrequency(const std::vector<int16_t>& stereo, int channel) {
    double first = -1, last = -1;
    int crossings = 0;
    for (size_t i = 1; i < stereo.size() / 2; ++i) {
        const double a = stereo[(i - 1) * 2 + size_t(channel)];
        const double b = stereo[i * 2 + size_t(channel)];
        if (a < 0 && b >= 0) {
            const double at = double(i - 1) + (-a) / (b - a);
            if (first < 0) first = at;
            last = at;
            ++crossings;
        }
    }
    if (crossings < 2) return 0;
    return (crossings - 1) / (last - first) * dsound::kOutputRate;
}

class OfflineSound : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(dsound::createOfflineDevice(&device), DS_OK); }
    void TearDown() override {
        for (auto* buffer : buffers) buffer->Release();
        if (device) device->Release();
    }

    // A buffer the fixture releases; null (and a failure) when refused.
    IDirectSoundBuffer8* makeBuffer(WORD channels, WORD bits, DWORD rate, DWORD bytes,
                                    DWORD flags = kAllControls) {
        WAVEFORMATEX format = pcmFormat(channels, bits, rate);
        const DSBUFFERDESC desc = bufferDesc(format, bytes, flags);
        IDirectSoundBuffer8* buffer = nullptr;
        EXPECT_EQ(device->CreateSoundBuffer(&desc, &buffer, nullptr), DS_OK);
        if (buffer) buffers.push_back(buffer);
        return buffer;
    }
    // A mono 16-bit buffer holding `samples`.
    IDirectSoundBuffer8* makeMono(const std::vector<int16_t>& samples, DWORD rate = 44100,
                                  DWORD flags = kAllControls) {
        IDirectSoundBuffer8* buffer = makeBuffer(1, 16, rate, DWORD(samples.size() * 2), flags);
        if (buffer) write16(buffer, samples);
        return buffer;
    }
    std::vector<int16_t> render(size_t frames) {
        std::vector<int16_t> out(frames * 2);
        dsound::render(device, out.data(), frames);
        return out;
    }
    template <typename Interface>
    Interface* query(IDirectSoundBuffer8* buffer, REFIID iid) {
        void* object = nullptr;
        EXPECT_EQ(buffer->QueryInterface(iid, &object), DS_OK);
        return static_cast<Interface*>(object);
    }

    IDirectSound8* device = nullptr;
    std::vector<IDirectSoundBuffer8*> buffers;
};

} // namespace dsound_test
