// SPDX-License-Identifier: MIT
// Streams: a looping Ogg stream runs on across its end without a gap, a
// stream that ends leaves silence and its buffer stops at the next
// notification, and the real event thread survives streams coming and
// going while it fills them.
#include "audio/SoundEventHandler.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "OfflineAudio.h"
#include "audio/Sound2D.h"
#include "support/SoundFiles.h"

namespace {

using Audio::Sound2D;
using Audio::SoundInterface;

class StreamingTest : public audio_test::OfflineAudio {
protected:
    // 3.2 s of stereo at 44,100 Hz: longer than one stream buffer, so it
    // streams, and played at the device's own rate without resampling.
    std::string tone = audio_test::vorbisFile(audio_test::sine(440, 3.2, 44100, 2), 44100, 2);
    std::vector<int16_t> decoded = audio_test::decodeVorbis(tone);
};

TEST_F(StreamingTest, ALoopingStreamContinuesAcrossItsEndWithoutAGap) {
    SoundData* data = load(tone);
    ASSERT_TRUE(data->streaming);
    Sound2D* sound = Sound2D::create();
    sound->init(data);
    sound->play(1);
    const size_t frames = decoded.size() / 2;
    const std::vector<int16_t> heard = render(frames * 2 + 44100);
    size_t differing = 0;
    for (size_t i = 0; i < heard.size(); ++i)
        if (std::abs(heard[i] - decoded[i % decoded.size()]) > 1) ++differing;
    EXPECT_EQ(differing, 0u) << "the loop must repeat the decoded samples exactly";
    EXPECT_EQ(sound->state, SoundInterface::Playing);
    sound->release();
}

TEST_F(StreamingTest, AStreamThatEndsFallsSilentAndStopsAtTheNextNotification) {
    SoundData* data = load(tone);
    Sound2D* sound = Sound2D::create();
    sound->init(data);
    sound->play(0);
    const size_t frames = decoded.size() / 2;
    const size_t halfFrames = Audio::kHalfBytes / 4;
    std::vector<int16_t> heard = render(frames + 3 * halfFrames);
    for (size_t i = 0; i < decoded.size(); ++i)
        ASSERT_LE(std::abs(heard[i] - decoded[i]), 1) << "sample " << i << ": the tail must play";
    EXPECT_EQ(audio_test::rms(heard, 2, frames, heard.size() / 2 - frames), 0.0);
    DWORD status = 0;
    sound->buffer->GetStatus(&status);
    EXPECT_FALSE(status & DSBSTATUS_PLAYING) << "the buffer stops once the tail has played";
    EXPECT_EQ(sound->state, SoundInterface::Playing);
    EXPECT_EQ(sound->endReached, 0);
    sound->release();
}

// The real thread fills while the main thread keeps registering and
// unregistering streams: a fill must never meet a sound that has gone.
TEST_F(StreamingTest, StreamsComeAndGoWhileTheEventThreadFills) {
    Audio::SoundEventHandler::instance().setManual(false);
    SoundData* data = load(tone);
    std::atomic<bool> done{false};
    std::thread mixer([&] {
        std::vector<int16_t> chunk(441 * 40 * 2);
        while (!done) dsound::render(device, chunk.data(), 441 * 40);
    });
    std::vector<Sound2D*> sounds;
    for (int round = 0; round < 300; ++round) {
        if (sounds.size() < 8 || round % 3) {
            Sound2D* sound = Sound2D::create();
            sound->init(data);
            sound->play(round % 2);
            sounds.push_back(sound);
        }
        if (round % 2 && !sounds.empty()) {
            sounds.front()->release();
            sounds.erase(sounds.begin());
        }
    }
    for (Sound2D* sound : sounds) sound->release();
    done = true;
    mixer.join();
    EXPECT_EQ(Audio::SoundEventHandler::instance().count, 0);
    EXPECT_FALSE(Audio::SoundEventHandler::instance().thread.running());
}

} // namespace
