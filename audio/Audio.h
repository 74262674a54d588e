// SPDX-License-Identifier: MIT
// What every part of sound playback shares: the one output device, whether
// sound is on, and the fixed sizes of streaming. Whoever creates the device
// (the program's start-up, the `play` command, a test) sets both; every
// operation that needs the device does nothing without them.
#pragma once

#include <cstdint>

#include "dsound/DSound.h"

namespace Audio {

extern IDirectSound8* device;
extern bool enabled;

// A stream half is 0x40002 bytes, not 0x40000: the notification sits on
// each half's last byte.
inline constexpr uint32_t kHalfBytes = 262146;
inline constexpr uint32_t kStreamBytes = 2 * kHalfBytes;
inline constexpr float kAudibleVolume = 0.0125f;
inline constexpr int32_t kMaxStreams = 32;
inline constexpr uint32_t kNoPosition = 0xFFFFFFFF;

} // namespace Audio
