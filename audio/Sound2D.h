// SPDX-License-Identifier: MIT
// Plain and positioned sounds, from pools of 16, and the two null sounds
// that every operation leaves alone (the answer when a sound cannot be made).
#pragma once

#include <cstdint>

#include "audio/MemoryFactory.h"
#include "audio/SoundInterface.h"

namespace Audio {

class Sound2D : public SoundInterface, public MemoryFactory<Sound2D, 16> {
public:
    MemoryFactory<Sound2D, 16>::Block* poolBlock = nullptr;
    int32_t inUse = 0;

    Sound2D() = default;
    ~Sound2D() override;

    // A sound from the pool, ready for init(); the null sound when memory
    // runs out.
    static Sound2D* create();
    static Sound2D& nullSound();

    void init(SoundData* resource) override;
    int32_t is2D() override { return 1; }
    void release() override;

private:
    explicit Sound2D(int32_t nullSound) : SoundInterface(nullSound) {}
};

class Sound3D : public SoundInterface, public MemoryFactory<Sound3D, 16> {
public:
    float position[3] = {0.0f, 0.0f, 0.0f};
    IDirectSound3DBuffer* buffer3D = nullptr;
    float* positionSource = position; // or an engine vector the owner points it at
    float minDistance = 0.0f;
    float maxDistance = 0.0f;
    MemoryFactory<Sound3D, 16>::Block* poolBlock = nullptr;
    int32_t inUse = 0;

    Sound3D() = default;
    ~Sound3D() override;

    static Sound3D* create();
    static Sound3D& nullSound();

    void init(SoundData* resource) override;
    int32_t is3D() override { return 1; }
    void release() override;
    int32_t acquireBuffer() override;
    void updatePosition() override;
    void releaseBuffer() override;

private:
    explicit Sound3D(int32_t nullSound) : SoundInterface(nullSound) {}
};

} // namespace Audio
