// SPDX-License-Identifier: MIT
// Opens a .wav or .ogg file (or a pack entry) as a SoundData. A sound that
// fits one streaming buffer (kStreamBytes of samples, about three seconds
// of CD-quality stereo) is held whole; a longer one streams from its file.
// Sizes are checked before anything is allocated.
#pragma once

#include <string>

#include "audio/SoundData.h"
#include "core/String.h"

namespace Audio {

struct LoadOptions {
    bool positioned = false; // the buffers get 3D control
};

// Null, with `why` saying what is wrong, when the file cannot be used.
SoundData* loadSound(const String& path, const LoadOptions& options, std::string& why);
// The same from an open stream (memory, a test); the sound owns it after a
// successful load, the caller otherwise.
SoundData* loadSound(FileInterface* file, const LoadOptions& options, std::string& why);

} // namespace Audio
