// SPDX-License-Identifier: MIT
// The one OpenGL 3.3 core context of the process. The window layer owns it
// when it has one; otherwise the runtime makes its own on a hidden SDL window
// (with SDL_VIDEODRIVER=offscreen that is Mesa through EGL).
#pragma once

#include <epoxy/gl.h>

#include <string>

namespace d3d9::gl {

// Makes the context current on this thread, creating it on first use.
// False when no OpenGL 3.3 core context can be had.
bool makeCurrent();

struct Limits {
    int maxTextureSize = 0;
    int maxSamples = 0;
    float maxAnisotropy = 1;
    bool anisotropic = false;
    bool s3tc = false;
    bool robustness = false;
    std::string vendor, renderer, version;
};
// Valid after a successful makeCurrent().
const Limits& limits();

// True once the driver has reported a reset of the context (robust contexts
// only); the runtime then treats its devices as lost.
bool contextWasReset();

// Drains glGetError; returns the first error seen (0 when none).
GLenum takeError();

} // namespace d3d9::gl
