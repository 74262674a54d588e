// SPDX-License-Identifier: MIT
// Plain and positioned sounds, from pools of 16, and the two null sounds
// that every operation leaves alone (the answer when a sound cannot be made).
#pragma once

#include <cstdint>

#include "audio/MemoryFactory.h"
#include "audio/SoundInterface.h"

namespace Audio {

// What both kinds share: taken from their pool in use, handed back stopped.
template <class T>
class PooledSound : public SoundInterface, public MemoryFactory<T, 16> {
public:
    typename MemoryFactory<T, 16>::Block* poolBlock = nullptr;
    int32_t inUse = 0;

    // A sound from the pool, ready for init(); the null sound when memory
    // runs out.
    static T* create() {
        T* sound = MemoryFactory<T, 16>::take();
        if (!sound) return &T::nullSound();
        sound->inUse = 1;
        return sound;
    }

    void release() override {
        if (isNull || !inUse) return;
        // A sound handed back while it plays would keep its buffer playing
        // with nobody left to stop it.
        if (state != Stopped) stopNow();
        inUse = 0;
        MemoryFactory<T, 16>::giveBack(static_cast<T*>(this));
    }

protected:
    PooledSound() = default;
    explicit PooledSound(int32_t nullSound) : SoundInterface(nullSound) {}
};

class Sound2D : public PooledSound<Sound2D> {
public:
    Sound2D() = default;
    ~Sound2D() override;

    static Sound2D& nullSound();

    void init(SoundData* resource) override;
    int32_t is2D() override { return 1; }

private:
    explicit Sound2D(int32_t nullSound) : PooledSound(nullSound) {}
};

class Sound3D : public PooledSound<Sound3D> {
public:
    float position[3] = {0.0f, 0.0f, 0.0f};
    IDirectSound3DBuffer* buffer3D = nullptr;
    float* positionSource = position; // or an engine vector the owner points it at
    float minDistance = 0.0f;
    float maxDistance = 0.0f;

    Sound3D() = default;
    ~Sound3D() override;

    static Sound3D& nullSound();

    void init(SoundData* resource) override;
    int32_t is3D() override { return 1; }
    int32_t acquireBuffer() override;
    void updatePosition() override;
    void releaseBuffer() override;

private:
    explicit Sound3D(int32_t nullSound) : PooledSound(nullSound) {}
};

} // namespace Audio
