// SPDX-License-Identifier: MIT
#include "audio/SoundInterface.h"

#include <vector>

#include "audio/SoundData.h"
#include "audio/SoundEventHandler.h"
#include "core/TableSqrt.h"

namespace Audio {

IDirectSound8* device = nullptr;
bool enabled = false;

namespace {

// The engine's list of sounds: every sound object links itself in while it
// exists. Slots are stable so a sound can find its own.
std::vector<SoundInterface*>& allSounds() {
    // Never destroyed: pooled sounds leave it when their pools go at exit,
    // which may be after any ordinary static.
    static auto* list = new std::vector<SoundInterface*>;
    return *list;
}

constexpr uint32_t kLastByteOfHalf0 = kHalfBytes - 1;
constexpr uint32_t kLastByteOfHalf1 = kStreamBytes - 1;

} // namespace

int32_t SoundInterface::soundCount() {
    return int32_t(allSounds().size());
}

SoundInterface::SoundInterface() {
    allSounds().push_back(this);
}

SoundInterface::SoundInterface(int32_t nullSound) : isNull(nullSound) {}

SoundInterface::~SoundInterface() {
    if (isNull) return;
    if (state != Stopped) stopNow();
    std::vector<SoundInterface*>& list = allSounds();
    for (SoundInterface*& entry : list)
        if (entry == this) {
            entry = list.back();
            list.pop_back();
            break;
        }
}

void SoundInterface::stopNow() {
    state = Stopped;
    if (buffer) buffer->Stop();
    releaseBuffer();
}

void SoundInterface::init(SoundData* resource) {
    data = resource;
    buffer = nullptr;
    state = Stopped;
    looping = 0;
    currentHalf = 0;
    savedCursor = 0;
    endReached = 0;
    autoRelease = 0;
    nextHalf = 1;
    streamPosition = kNoPosition;
    volume = 1.0f;
    pitch = 1.0f;
}

LONG SoundInterface::bufferVolume() const {
    return LONG(-10000.0f + 10000.0f * tableSqrt(volume));
}

void SoundInterface::setVolume(float level) {
    if (isNull) return;
    volume = level < 0.0f ? 0.0f : level > 1.0f ? 1.0f : level;
    if (buffer && enabled) buffer->SetVolume(bufferVolume());
    updatePlayback();
}

void SoundInterface::setPitch(float rate) {
    if (isNull) return;
    pitch = rate < 0.0f ? 0.0f : rate;
    if (buffer && enabled && data)
        buffer->SetFrequency(DWORD(float(data->format.nSamplesPerSec) * pitch));
}

void SoundInterface::play(int32_t loop) {
    if (isNull || state == Playing) return;
    if (volume < kAudibleVolume && autoRelease) {
        release();
        return;
    }
    if (data && data->kind != SoundData::KindNone && enabled) {
        if (state == Stopped) {
            halfPosition[0] = 0;
            halfPosition[1] = kNoPosition;
            nextHalf = 1;
            currentHalf = 0;
            streamPosition = kNoPosition;
            savedCursor = 0;
        }
        looping = loop;
        state = Paused;
        updatePlayback();
        return;
    }
    if (autoRelease) release();
}

void SoundInterface::updatePlayback() {
    if (isNull) return;
    if (volume > kAudibleVolume) {
        if (state != Paused) return;
        if (!buffer && !acquireBuffer()) {
            if (autoRelease) release();
            return;
        }
        state = Playing;
        startBuffer(looping || (data && data->streaming) ? DSBPLAY_LOOPING : 0);
        return;
    }
    if (state != Playing || !buffer) return;
    state = Paused;
    DWORD cursor = 0;
    buffer->GetCurrentPosition(&cursor, nullptr);
    savedCursor = cursor;
    buffer->Stop();
    releaseBuffer();
    if (autoRelease) release();
}

int32_t SoundInterface::acquireBuffer() {
    if (!data) return 0;
    buffer = data->getBuffer();
    if (!buffer) return 0;
    restoreBuffer(buffer);
    if (data->streaming) {
        SoundEventHandler& handler = SoundEventHandler::instance();
        if (handler.count >= kMaxStreams) {
            if (device) buffer->Release();
            buffer = nullptr;
            return 0;
        }
        data->fillRegion(buffer, halfPosition[0], 0, kHalfBytes, looping != 0);
        data->fillRegion(buffer, halfPosition[1], kHalfBytes, kHalfBytes, looping != 0);
        if (streamPosition == kNoPosition) streamPosition = data->tell();
        IDirectSoundNotify* notify = nullptr;
        if (SUCCEEDED(buffer->QueryInterface(IID_IDirectSoundNotify,
                                             reinterpret_cast<void**>(&notify))) &&
            notify) {
            if (sys::EventHandle event = handler.registerSound(*this)) {
                const DSBPOSITIONNOTIFY positions[2] = {{kLastByteOfHalf0, event},
                                                        {kLastByteOfHalf1, event}};
                notify->SetNotificationPositions(2, positions);
            }
            notify->Release();
        }
    }
    if (buffer && enabled) {
        buffer->SetFrequency(DWORD(float(data->format.nSamplesPerSec) * pitch));
        buffer->SetVolume(bufferVolume());
    }
    buffer->SetCurrentPosition(savedCursor);
    return 1;
}

void SoundInterface::startBuffer(uint32_t flags) {
    if (buffer) buffer->Play(0, 0, flags);
}

void SoundInterface::releaseBuffer() {
    if (eventEntry) SoundEventHandler::instance().unregisterSound(*eventEntry);
    eventEntry = nullptr;
    if (device && buffer && data) {
        if (data->streaming) {
            buffer->Release();
        } else if (IDirectSoundBuffer8** slot = data->freeBuffers.get(data->freeCount)) {
            *slot = buffer;
            ++data->freeCount;
        } else {
            buffer->Release();
        }
    }
    buffer = nullptr;
}

} // namespace Audio
