// SPDX-License-Identifier: MIT
// Shared body of the sound fuzz targets: load arbitrary bytes as a sound
// and decode everything the loader accepts through the real buffers of an
// offline device, a streamed sound half by half, looping past its end.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "audio/Audio.h"
#include "audio/SoundLoader.h"
#include "core/FileArray.h"

inline void fuzzSoundLoad(const uint8_t* data, size_t size) {
    static IDirectSound8* device = [] {
        IDirectSound8* made = nullptr;
        dsound::createOfflineDevice(&made);
        return made;
    }();
    Audio::device = device;
    Audio::enabled = true;
    auto* file = new FileArray;
    file->autoDelete = 1;
    // Bounded so one oversized input cannot stall a run.
    file->write(data, int32_t(std::min<size_t>(size, 1 << 20)));
    std::string why;
    SoundData* sound = Audio::loadSound(file, {}, why);
    if (!sound) {
        if (why.empty()) __builtin_trap(); // every refusal says why
        file->close();
        return;
    }
    if (IDirectSoundBuffer8* buffer = sound->getBuffer()) {
        if (sound->streaming) {
            uint32_t position = 0;
            for (int half = 0; half < 8; ++half) {
                sound->fillRegion(buffer, position, uint32_t(half % 2) * Audio::kHalfBytes,
                                  Audio::kHalfBytes, half >= 4);
                position = sound->tell();
            }
        }
        buffer->Release();
    }
    delete sound;
}
