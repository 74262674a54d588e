// SPDX-License-Identifier: MIT
// An offline audio device installed as the process's sound device for one
// test, with the event handler pumped by hand between mixes, so every test
// hears exactly what a real device would have played, deterministically.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "audio/Audio.h"
#include "audio/SoundData.h"
#include "audio/SoundEventHandler.h"
#include "audio/SoundLoader.h"
#include "core/FileArray.h"

namespace audio_test {

class OfflineAudio : public ::testing::Test {
protected:
    IDirectSound8* device = nullptr;

    void SetUp() override {
        ASSERT_EQ(dsound::createOfflineDevice(&device), DS_OK);
        Audio::device = device;
        Audio::enabled = true;
        Audio::SoundEventHandler::instance().setManual(true);
    }
    void TearDown() override {
        SoundData::clearAll();
        Audio::device = nullptr;
        Audio::enabled = false;
        Audio::SoundEventHandler::instance().setManual(false);
        if (device) device->Release();
    }

    // Mixes `frames` stereo frames in 10 ms steps, serving the streams
    // between steps as the event thread would.
    std::vector<int16_t> render(size_t frames) {
        std::vector<int16_t> out(frames * 2);
        for (size_t done = 0; done < frames; done += 441) {
            const size_t step = std::min<size_t>(441, frames - done);
            dsound::render(device, out.data() + done * 2, step);
            Audio::SoundEventHandler::instance().pump();
        }
        return out;
    }

    // A sound resource from file bytes held in memory.
    SoundData* load(const std::string& bytes, bool positioned = false) {
        auto* file = new FileArray;
        file->autoDelete = 1; // the sound closes, and so deletes, it
        file->write(bytes.data(), int32_t(bytes.size()));
        file->seek(0, 0);
        std::string why;
        Audio::LoadOptions options;
        options.positioned = positioned;
        SoundData* data = Audio::loadSound(file, options, why);
        EXPECT_TRUE(data) << why;
        if (!data) file->close();
        return data;
    }
};

} // namespace audio_test
