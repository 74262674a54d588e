// SPDX-License-Identifier: MIT
#include "dsound/Gain.h"

#include <algorithm>
#include <cmath>

namespace dsound {
namespace {

// The far ear's gain when the source is straight to one side.
constexpr float kFarEarFloor = 0.1f;

Vector3 minus(const Vector3& a, const Vector3& b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
float dot(const Vector3& a, const Vector3& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
Vector3 cross(const Vector3& a, const Vector3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
float length(const Vector3& v) {
    return std::sqrt(dot(v, v));
}

} // namespace

float volumeGain(LONG hundredthsOfDecibel) {
    if (hundredthsOfDecibel <= DSBVOLUME_MIN) return 0.0f;
    if (hundredthsOfDecibel >= DSBVOLUME_MAX) return 1.0f;
    return float(std::pow(10.0, double(hundredthsOfDecibel) / 2000.0));
}

StereoGain panGain(LONG pan) {
    StereoGain gain;
    if (pan > 0) gain.left = pan >= DSBPAN_RIGHT ? 0.0f : volumeGain(-pan);
    if (pan < 0) gain.right = pan <= DSBPAN_LEFT ? 0.0f : volumeGain(pan);
    return gain;
}

float rolloffGain(float distance, float minDistance, float maxDistance) {
    const float clamped = std::min(distance, maxDistance);
    if (clamped <= minDistance) return 1.0f;
    return minDistance / clamped;
}

StereoGain spatialGain(const Spatial& source, const Listener& listener) {
    const Vector3 toSource = minus(source.position, listener.position);
    const float distance = length(toSource);
    const float rolloff = rolloffGain(distance, source.minDistance, source.maxDistance);
    if (distance == 0.0f) return {rolloff, rolloff};

    // Right is top x front in the left-handed frame the engine uses.
    const Vector3 right = cross(listener.top, listener.front);
    const float rightLength = length(right);
    const float side = std::clamp(dot(toSource, right) / (distance * rightLength), -1.0f, 1.0f);
    const float far = 1.0f - (1.0f - kFarEarFloor) * std::fabs(side);
    return side >= 0.0f ? StereoGain{rolloff * far, rolloff} : StereoGain{rolloff, rolloff * far};
}

bool isValidOrientation(const Vector3& front, const Vector3& top) {
    for (float v : {front.x, front.y, front.z, top.x, top.y, top.z})
        if (!std::isfinite(v)) return false;
    const float frontLength = length(front);
    const float topLength = length(top);
    if (frontLength == 0.0f || topLength == 0.0f) return false;
    // Nearly parallel vectors leave no reliable right-hand direction.
    return length(cross(front, top)) > 1e-6f * frontLength * topLength;
}

} // namespace dsound
