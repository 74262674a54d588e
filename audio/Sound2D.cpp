// SPDX-License-Identifier: MIT
#include "audio/Sound2D.h"

#include <cmath>

#include "audio/SoundData.h"

namespace Audio {

// Sound2D

Sound2D::~Sound2D() = default;

Sound2D& Sound2D::nullSound() {
    static Sound2D sound(1);
    return sound;
}

void Sound2D::init(SoundData* resource) {
    if (isNull) return;
    SoundInterface::init(resource);
}

// Sound3D

Sound3D::~Sound3D() = default;

Sound3D& Sound3D::nullSound() {
    static Sound3D sound(1);
    return sound;
}

void Sound3D::init(SoundData* resource) {
    if (isNull) return;
    SoundInterface::init(resource);
    buffer3D = nullptr;
    positionSource = position;
    minDistance = std::pow(100.0f, 0.1f);
    maxDistance = 100.0f;
}

int32_t Sound3D::acquireBuffer() {
    if (!SoundInterface::acquireBuffer()) return 0;
    if (SUCCEEDED(buffer->QueryInterface(IID_IDirectSound3DBuffer,
                                         reinterpret_cast<void**>(&buffer3D))) &&
        buffer3D) {
        if (positionSource)
            buffer3D->SetPosition(positionSource[0], positionSource[1], positionSource[2],
                                  DS3D_IMMEDIATE);
        buffer3D->SetMinDistance(minDistance, DS3D_IMMEDIATE);
        buffer3D->SetMaxDistance(maxDistance, DS3D_IMMEDIATE);
    } else {
        buffer3D = nullptr;
    }
    return 1;
}

void Sound3D::updatePosition() {
    if (isNull || !buffer3D || !positionSource) return;
    buffer3D->SetPosition(positionSource[0], positionSource[1], positionSource[2], DS3D_IMMEDIATE);
}

void Sound3D::releaseBuffer() {
    if (buffer3D) {
        buffer3D->Release();
        buffer3D = nullptr;
    }
    SoundInterface::releaseBuffer();
}

} // namespace Audio
