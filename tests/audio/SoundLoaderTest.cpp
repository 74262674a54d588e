// SPDX-License-Identifier: MIT
// Loading sounds from hostile bytes: wave layouts read through every
// check, damaged files refused with a reason, and Ogg Vorbis files held
// whole or streamed by their length.
#include "audio/SoundLoader.h"

#include <gtest/gtest.h>

#include <cstring>

#include "audio/WaveFile.h"
#include "core/FileArray.h"
#include "support/SoundFiles.h"

namespace {

using audio_test::sine;

void put32(std::string& bytes, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + size_t(i)] = char(value >> (8 * i));
}
void put16(std::string& bytes, size_t at, uint16_t value) {
    bytes[at] = char(value);
    bytes[at + 1] = char(value >> 8);
}

// Loads from memory; the reason on failure.
std::string loadProblem(const std::string& bytes, SoundData** loaded = nullptr) {
    auto* file = new FileArray;
    file->autoDelete = 1; // closing it deletes it, as a file from open() does
    file->write(bytes.data(), int32_t(bytes.size()));
    std::string why;
    SoundData* data = Audio::loadSound(file, {}, why);
    if (!data) {
        file->close();
        return why;
    }
    if (loaded)
        *loaded = data;
    else
        delete data;
    return {};
}

// A 16-bit mono wave of 1000 frames; fmt at 12, data header at 36.
std::string plainWave() {
    return audio_test::waveFile(sine(440, 1000.0 / 8000, 8000, 1), 8000, 1);
}

TEST(SoundLoaderTest, DamagedWavesAreRefusedWithTheirReason) {
    struct Case {
        const char* breaks;
        void (*damage)(std::string&);
        const char* reason;
    };
    const Case cases[] = {
        {"riff-size-past-end", [](std::string& b) { put32(b, 4, uint32_t(b.size())); },
         "runs past the end of the file"},
        {"not-riff", [](std::string& b) { b[0] = 'X'; }, "neither a RIFF wave"},
        {"24-bit", [](std::string& b) { put16(b, 34, 24); }, "24-bit"},
        {"three-channels", [](std::string& b) { put16(b, 22, 3); }, "3 channels"},
        {"rate-zero", [](std::string& b) { put32(b, 24, 0); }, "sample rate 0"},
        {"block-size-mismatch", [](std::string& b) { put16(b, 32, 5); }, "block size"},
        {"compressed", [](std::string& b) { put16(b, 20, 2); }, "not PCM"},
        {"format-chunk-too-short", [](std::string& b) { put32(b, 16, 8); }, "format chunk"},
        {"no-data-chunk", [](std::string& b) { std::memcpy(&b[36], "junk", 4); }, "no data chunk"},
        {"no-format-chunk", [](std::string& b) { std::memcpy(&b[12], "junk", 4); }, "no format"},
        {"format-size-huge", [](std::string& b) { put32(b, 16, 0xFFFFFFF0u); }, "format chunk"},
    };
    for (const Case& c : cases) {
        std::string bytes = plainWave();
        c.damage(bytes);
        const std::string why = loadProblem(bytes);
        EXPECT_NE(why.find(c.reason), std::string::npos) << c.breaks << ": " << why;
    }
    EXPECT_NE(loadProblem("OggS but not really a stream").find("Ogg Vorbis"), std::string::npos);
    EXPECT_NE(loadProblem("").find("neither"), std::string::npos);
}

TEST(SoundLoaderTest, WaveLayoutsSkipUnknownChunksAndStopWhereTheFileDoes) {
    // An odd-sized unknown chunk (padded) before the data.
    std::string bytes = plainWave();
    const std::string junk = std::string("LIST") + std::string("\x03\0\0\0", 4) + "abc" + '\0';
    bytes.insert(36, junk);
    put32(bytes, 4, uint32_t(bytes.size() - 8));
    SoundData* data = nullptr;
    ASSERT_EQ(loadProblem(bytes, &data), "");
    EXPECT_EQ(data->dataSize, 2000u);
    EXPECT_FALSE(data->streaming);
    EXPECT_EQ(data->format.nSamplesPerSec, 8000u);
    delete data;

    // A data chunk claiming more than the file holds ends with the file, on
    // a whole frame.
    bytes = plainWave();
    bytes.pop_back();
    put32(bytes, 4, uint32_t(bytes.size() - 8));
    put32(bytes, 40, 0x7FFFFFF0u);
    ASSERT_EQ(loadProblem(bytes, &data), "");
    EXPECT_EQ(data->dataSize, 1998u);
    delete data;

    // 8-bit stereo written as the extensible format.
    bytes = plainWave();
    std::string extensible = bytes.substr(0, 20);
    put32(extensible, 16, 40);
    std::string format(40, '\0');
    put16(format, 0, 0xFFFE);
    put16(format, 2, 2);
    put32(format, 4, 8000);
    put16(format, 12, 2);
    put16(format, 14, 8);
    put16(format, 24, 1);
    extensible += format + bytes.substr(36);
    put32(extensible, 4, uint32_t(extensible.size() - 8));
    ASSERT_EQ(loadProblem(extensible, &data), "");
    EXPECT_EQ(data->format.nChannels, 2);
    EXPECT_EQ(data->format.wBitsPerSample, 8);
    delete data;
}

TEST(SoundLoaderTest, OggVorbisIsHeldWholeOrStreamedByItsLength) {
    SoundData* data = nullptr;
    const std::string shortOgg = audio_test::vorbisFile(sine(300, 1.0, 22050, 1), 22050, 1);
    ASSERT_EQ(loadProblem(shortOgg, &data), "");
    EXPECT_FALSE(data->streaming);
    EXPECT_EQ(data->kind, SoundData::KindVorbis);
    EXPECT_EQ(data->format.wBitsPerSample, 16);
    EXPECT_EQ(data->dataSize, audio_test::decodeVorbis(shortOgg).size() * 2);
    delete data;

    const std::string longOgg = audio_test::vorbisFile(sine(300, 4.0, 44100, 2), 44100, 2);
    ASSERT_EQ(loadProblem(longOgg, &data), "");
    EXPECT_TRUE(data->streaming);
    delete data;

    // Cut in the middle of its headers.
    EXPECT_NE(loadProblem(longOgg.substr(0, 200)), "");
}

} // namespace
