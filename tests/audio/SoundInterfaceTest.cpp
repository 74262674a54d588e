// SPDX-License-Identifier: MIT
// Sound objects on the offline device: how volume and pitch reach the
// buffer, when a sound starts, pauses and resumes, what happens without
// sound or without a device, the duplicate and stream limits, and the null
// sounds.
#include "audio/SoundInterface.h"

#include <gtest/gtest.h>

#include "OfflineAudio.h"
#include "audio/Sound2D.h"
#include "support/SoundFiles.h"

namespace {

using Audio::Sound2D;
using Audio::SoundInterface;
using audio_test::sine;

class SoundInterfaceTest : public audio_test::OfflineAudio {
protected:
    // A short tone, held whole, and a long one that streams.
    std::string shortTone = audio_test::waveFile(sine(440, 0.5, 44100, 1), 44100, 1);
    std::string longTone = audio_test::waveFile(sine(440, 4.0, 44100, 2), 44100, 2);

    Sound2D* sound(SoundData* data) {
        Sound2D* made = Sound2D::create();
        made->init(data);
        made->autoRelease = 0;
        sounds.push_back(made);
        return made;
    }
    void TearDown() override {
        for (Sound2D* made : sounds) made->release();
        OfflineAudio::TearDown();
    }
    std::vector<Sound2D*> sounds;
};

TEST_F(SoundInterfaceTest, VolumeAndPitchReachTheBuffer) {
    Sound2D* tone = sound(load(shortTone));
    tone->play(0);
    ASSERT_EQ(tone->state, SoundInterface::Playing);
    LONG hundredths = 1;
    const std::pair<float, LONG> levels[] = {{1.0f, 0}, {0.25f, -5000}, {4.0f, 0}};
    for (auto [level, expected] : levels) {
        tone->setVolume(level);
        tone->buffer->GetVolume(&hundredths);
        EXPECT_EQ(hundredths, expected) << level;
    }
    EXPECT_EQ(tone->volume, 1.0f);

    tone->setPitch(1.5f);
    DWORD frequency = 0;
    tone->buffer->GetFrequency(&frequency);
    EXPECT_EQ(frequency, 66150u);
    tone->setPitch(-1.0f);
    EXPECT_EQ(tone->pitch, 0.0f);

    // Silence pauses: the buffer goes back and the cursor is kept.
    render(4410);
    tone->setVolume(-3.0f);
    EXPECT_EQ(tone->volume, 0.0f);
    EXPECT_EQ(tone->state, SoundInterface::Paused);
    EXPECT_EQ(tone->buffer, nullptr);
    EXPECT_GT(tone->savedCursor, 0u);
}

TEST_F(SoundInterfaceTest, OnlyAnAudibleSoundStartsAndAPausedOneResumesWhereItWas) {
    Sound2D* quiet = sound(load(shortTone));
    quiet->setVolume(0.0125f);
    quiet->play(0);
    EXPECT_EQ(quiet->state, SoundInterface::Paused);
    EXPECT_EQ(quiet->buffer, nullptr);
    quiet->setVolume(0.0126f);
    EXPECT_EQ(quiet->state, SoundInterface::Playing);

    render(2205);
    quiet->setVolume(0.0f);
    const uint32_t cursor = quiet->savedCursor;
    quiet->play(0); // paused: the saved cursor stays
    EXPECT_EQ(quiet->savedCursor, cursor);
    quiet->setVolume(1.0f);
    ASSERT_NE(quiet->buffer, nullptr);
    DWORD play = 0;
    quiet->buffer->GetCurrentPosition(&play, nullptr);
    EXPECT_EQ(play, cursor);

    // Playing: play again changes nothing.
    const IDirectSoundBuffer8* held = quiet->buffer;
    quiet->play(1);
    EXPECT_EQ(quiet->buffer, held);
    EXPECT_EQ(quiet->looping, 0);
}

TEST_F(SoundInterfaceTest, WithoutSoundOrDeviceNothingPlays) {
    SoundData* data = load(shortTone);
    Audio::enabled = false;
    Sound2D* kept = sound(data);
    kept->play(0);
    EXPECT_EQ(kept->state, SoundInterface::Stopped);
    Sound2D* released = Sound2D::create();
    released->init(data);
    released->autoRelease = 1;
    released->play(0);
    EXPECT_EQ(released->inUse, 0);

    // Sound on but no device: no buffer can be had.
    Audio::enabled = true;
    Audio::device = nullptr;
    kept->play(0);
    EXPECT_EQ(kept->state, SoundInterface::Paused);
    Sound2D* again = Sound2D::create();
    again->init(data);
    again->autoRelease = 1;
    again->play(0);
    EXPECT_EQ(again->inUse, 0);
    Audio::device = device;
}

TEST_F(SoundInterfaceTest, ShortSoundsShareDuplicatesUpToTheirLimit) {
    SoundData* data = load(shortTone);
    ASSERT_FALSE(data->streaming);
    for (int i = 0; i < 16; ++i) {
        Sound2D* tone = sound(data);
        tone->play(0);
        EXPECT_EQ(tone->state, SoundInterface::Playing) << i;
        EXPECT_EQ(data->createdCount, (i / 4 + 1) * 4) << "duplicates come in batches";
    }
    Sound2D* seventeenth = sound(data);
    seventeenth->play(0);
    EXPECT_EQ(seventeenth->state, SoundInterface::Paused);
    // A buffer given back is reused without a new duplicate.
    sounds[3]->setVolume(0.0f);
    EXPECT_EQ(data->freeCount, 1);
    seventeenth->setVolume(1.0f);
    EXPECT_EQ(seventeenth->state, SoundInterface::Playing);
    EXPECT_EQ(data->createdCount, 16);
}

TEST_F(SoundInterfaceTest, TheThirtyThirdStreamDoesNotPlay) {
    SoundData* data = load(longTone);
    ASSERT_TRUE(data->streaming);
    for (int i = 0; i < 32; ++i) {
        Sound2D* stream = sound(data);
        stream->play(1);
        ASSERT_EQ(stream->state, SoundInterface::Playing) << i;
    }
    EXPECT_EQ(Audio::SoundEventHandler::instance().count, 32);
    Sound2D* extra = sound(data);
    extra->play(1);
    EXPECT_EQ(extra->state, SoundInterface::Paused);
    EXPECT_EQ(extra->buffer, nullptr);
    // One stream pausing makes room.
    sounds[0]->setVolume(0.0f);
    extra->setVolume(1.0f);
    EXPECT_EQ(extra->state, SoundInterface::Playing);
    for (Sound2D* made : sounds) made->release();
    sounds.clear();
    EXPECT_EQ(Audio::SoundEventHandler::instance().count, 0);
}

TEST_F(SoundInterfaceTest, BuffersLostWithTheDeviceAreRestoredWhenItComesBack) {
    for (const std::string* file : {&shortTone, &longTone}) {
        Sound2D* tone = sound(load(*file));
        tone->play(1);
        render(4410);
        dsound::test::loseDevice(device);
        DWORD status = 0;
        tone->buffer->GetStatus(&status);
        EXPECT_TRUE(status & DSBSTATUS_BUFFERLOST);
        // Paused while the device is gone, resumed once it is back.
        tone->setVolume(0.0f);
        dsound::test::returnDevice(device);
        tone->setVolume(1.0f);
        ASSERT_EQ(tone->state, SoundInterface::Playing);
        tone->buffer->GetStatus(&status);
        EXPECT_FALSE(status & DSBSTATUS_BUFFERLOST);
        EXPECT_TRUE(status & DSBSTATUS_PLAYING);
        EXPECT_GT(audio_test::rms(render(4410), 2, 0, 4410), 1000.0);
        tone->release();
        sounds.pop_back();
    }
}

TEST_F(SoundInterfaceTest, NullSoundsIgnoreEverything) {
    for (SoundInterface* null : {static_cast<SoundInterface*>(&Sound2D::nullSound()),
                                 static_cast<SoundInterface*>(&Audio::Sound3D::nullSound())}) {
        null->init(load(shortTone));
        null->play(1);
        null->setVolume(0.5f);
        null->release();
        EXPECT_EQ(null->data, nullptr);
        EXPECT_EQ(null->state, SoundInterface::Stopped);
        EXPECT_EQ(null->buffer, nullptr);
        EXPECT_EQ(null->streamPosition, Audio::kNoPosition);
        EXPECT_EQ(null->nextHalf, 1u);
    }
}

TEST_F(SoundInterfaceTest, ReleasingAPlayingSoundStopsItFirst) {
    SoundData* data = load(shortTone);
    Sound2D* tone = Sound2D::create();
    tone->init(data);
    tone->play(1);
    ASSERT_EQ(tone->state, SoundInterface::Playing);
    tone->release();
    EXPECT_EQ(tone->state, SoundInterface::Stopped);
    EXPECT_EQ(data->freeCount, 4);
    EXPECT_LT(audio_test::rms(render(4410), 2, 0, 4410), 1.0);
}

} // namespace
