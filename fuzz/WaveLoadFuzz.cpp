// SPDX-License-Identifier: MIT
// Arbitrary bytes as a wave file: no chunk size may drive a read or an
// allocation past the file.
#include "SoundLoadFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzSoundLoad(data, size);
    return 0;
}
