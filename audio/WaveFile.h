// SPDX-License-Identifier: MIT
// Reads the layout of a RIFF wave file: the PCM format and where the
// samples lie. Only 8- and 16-bit PCM in one or two channels is taken
// (also when written as the extensible format); unknown chunks are
// skipped; every size is checked against the file before it is used.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "core/FileInterface.h"
#include "dsound/DSound.h"

struct WaveLayout {
    WAVEFORMATEX format{};
    uint32_t dataStart = 0; // file position of the first sample
    uint32_t dataSize = 0;  // whole sample frames only
};

// Reads from the file's start. False with `why` saying what is wrong.
bool readWaveLayout(FileInterface& file, WaveLayout& layout, std::string& why);

// A complete 16-bit PCM wave file of the interleaved samples.
std::string waveFileBytes(const int16_t* samples, size_t sampleCount, uint32_t rate,
                          uint16_t channels);
