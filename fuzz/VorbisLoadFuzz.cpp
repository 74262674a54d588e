// SPDX-License-Identifier: MIT
// Arbitrary bytes as an Ogg Vorbis file, decoded whole or streamed.
#include "SoundLoadFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzSoundLoad(data, size);
    return 0;
}
