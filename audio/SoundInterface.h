// SPDX-License-Identifier: MIT
// One audible instance of a sound resource: its buffer, its play state
// (stopped, playing, or paused: wanting to play without a buffer), volume
// and pitch, and for streams the two halves' positions that the event
// thread keeps refilling. Quiet sounds give their buffer back and resume at
// the saved cursor when they are loud enough again. Main thread only,
// except the stream fields the event thread reads and writes while the
// sound is registered with it.
#pragma once

#include <cstdint>

#include "audio/Audio.h"

class SoundData;

namespace Audio {

struct EventInfo;

class SoundInterface {
public:
    enum State : uint32_t { Stopped = 0, Playing = 1, Paused = 2 };

    SoundData* data = nullptr; // not owned
    EventInfo* eventEntry = nullptr;
    SoundInterface** listEntry = nullptr; // the sound's slot in the list of sounds
    IDirectSoundBuffer8* buffer = nullptr;
    uint32_t state = Stopped;
    int32_t looping = 0;
    uint32_t halfPosition[2] = {0, 0};
    uint32_t nextHalf = 1;
    uint32_t currentHalf = 0;
    uint32_t streamPosition = kNoPosition;
    float volume = 1.0f;
    float pitch = 1.0f;
    uint32_t savedCursor = 0;
    int32_t endReached = 0; // 1: the last fill came up short; 2: its half plays
    int32_t autoRelease = 0;
    int32_t isNull = 0;

    virtual ~SoundInterface();
    virtual void init(SoundData* resource);
    virtual void play(int32_t loop);
    virtual void setPitch(float rate);
    virtual void setVolume(float level);
    virtual int32_t is2D() { return 0; }
    virtual int32_t is3D() { return 0; }
    virtual void release() {}
    // Gets and prepares a buffer; 1 on success.
    virtual int32_t acquireBuffer();
    virtual void startBuffer(uint32_t flags);
    virtual void updatePosition() {}
    virtual void releaseBuffer();

    // How many sounds exist (pooled ones included), for tests and checks.
    static int32_t soundCount();

protected:
    SoundInterface();
    explicit SoundInterface(int32_t nullSound);
    SoundInterface(const SoundInterface&) = delete;
    SoundInterface& operator=(const SoundInterface&) = delete;

    // After play and setVolume: start a paused sound that is loud enough,
    // pause a playing one that is too quiet.
    void updatePlayback();
    // The buffer's volume in hundredths of a decibel for `volume`.
    LONG bufferVolume() const;
    // Stops and gives back the buffer of a sound that is not stopped.
    void stopNow();
};

} // namespace Audio
