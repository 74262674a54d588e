// SPDX-License-Identifier: MIT
// Sound files made for the tests: sine tones as samples, wave files with
// any layout, and Ogg Vorbis files encoded on the spot, so no binary test
// data needs to be kept.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace audio_test {

// Interleaved 16-bit samples of a sine at `hertz`, the same in every channel.
std::vector<int16_t> sine(double hertz, double seconds, uint32_t rate, int channels,
                          double amplitude = 16000.0);

// A plain 16-bit PCM wave file.
std::string waveFile(const std::vector<int16_t>& samples, uint32_t rate, int channels);

// An Ogg Vorbis file of the samples (quality 0.6).
std::string vorbisFile(const std::vector<int16_t>& samples, uint32_t rate, int channels);

// What libvorbisfile decodes from an Ogg Vorbis file, interleaved 16-bit.
std::vector<int16_t> decodeVorbis(const std::string& file);

// Writes bytes to a file; false when it cannot.
bool writeBytes(const std::string& path, const std::string& bytes);

// Frequency of the first channel by counting rising zero crossings.
double measuredFrequency(const std::vector<int16_t>& interleaved, int channels, uint32_t rate);

// Root mean square of the first channel over [first, first + count) frames.
double rms(const std::vector<int16_t>& interleaved, int channels, size_t first, size_t count);

} // namespace audio_test
