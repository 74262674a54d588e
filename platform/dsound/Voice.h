// SPDX-License-Identifier: MIT
// One secondary buffer as the mixer sees it: its samples, its play cursor
// and what shapes its sound. The buffer object owns it; the mixer reads and
// advances it under the mixer's lock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "dsound/DSound.h"

namespace dsound {

struct Vector3 {
    float x = 0, y = 0, z = 0;
};

struct PcmFormat {
    DWORD rate = 0;
    WORD channels = 0;
    WORD bits = 0;
    WORD blockAlign = 0;
};

// A 3D buffer's settings (distances in the listener's units).
struct Spatial {
    Vector3 position;
    float minDistance = DS3D_DEFAULTMINDISTANCE;
    float maxDistance = DS3D_DEFAULTMAXDISTANCE;
};

struct Listener {
    Vector3 position;
    Vector3 front{0, 0, 1};
    Vector3 top{0, 1, 0};
};

// Which deferred 3D settings wait for CommitDeferredSettings.
enum PendingSetting : unsigned {
    kPendingPosition = 1,
    kPendingMinDistance = 2,
    kPendingMaxDistance = 4,
    kPendingOrientation = 8,
};

inline constexpr size_t kNotPlaying = SIZE_MAX;

struct Voice {
    // Fixed at creation. Duplicates share the block: it lives as long as
    // the last buffer that plays it.
    std::shared_ptr<uint8_t[]> samples;
    DWORD bytes = 0;
    DWORD frames = 0;
    PcmFormat format;

    LONG volume = 0;
    LONG pan = 0;
    DWORD frequency = 0;
    bool is3D = false;
    Spatial spatial;
    Spatial pending;
    unsigned pendingMask = 0;

    bool playing = false;
    bool looping = false;
    // The play cursor: the next frame to be played, and how far past it the
    // resampler stands, in 1/kOutputRate of a frame. Counting exactly in
    // integers keeps the cursor the same however the output is cut up.
    DWORD frame = 0;
    uint32_t fraction = 0;

    // Sorted by offset, so DSBPN_OFFSETSTOP entries come last.
    std::vector<DSBPOSITIONNOTIFY> notifications;

    // The mixer's count of device losses when the buffer was last restored.
    uint64_t epoch = 0;

    // The mixer's bookkeeping: the voice's place in the playing list and the
    // last mixing pass that played it.
    size_t slot = kNotPlaying;
    uint64_t mixedInPass = 0;
};

} // namespace dsound
