// SPDX-License-Identifier: MIT
// How a buffer's settings become the mixer's linear gains: volume in
// hundredths of a decibel, pan as an attenuation of the far channel, and
// the 3D inverse-distance rolloff with a pan from the listener's right.
#pragma once

#include "dsound/DSound.h"
#include "dsound/Voice.h"

namespace dsound {

struct StereoGain {
    float left = 1;
    float right = 1;
};

// 10^(v/2000); DSBVOLUME_MIN and below are silence.
float volumeGain(LONG hundredthsOfDecibel);

// Positive pans attenuate the left channel by that many hundredths of a
// decibel, negative ones the right; the full DSBPAN_LEFT/RIGHT silence it.
StereoGain panGain(LONG pan);

// minDistance / max(distance, minDistance), the distance first clamped at
// maxDistance: each doubling past the minimum halves the amplitude.
float rolloffGain(float distance, float minDistance, float maxDistance);

// The rolloff and a simple pan: the ear nearer the source keeps full gain,
// the far ear falls linearly to -20 dB as the source moves round to the
// listener's side. A source at the listener's position is centred.
StereoGain spatialGain(const Spatial& source, const Listener& listener);

// Whether front and top give the listener a usable frame (non-zero, not
// parallel, finite).
bool isValidOrientation(const Vector3& front, const Vector3& top);

} // namespace dsound
