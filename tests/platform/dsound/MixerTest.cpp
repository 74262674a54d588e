// SPDX-License-Identifier: MIT
// What the mix sounds like: pitch, gain laws, formats, the 3D rolloff and
// pan, clipping, and that the output does not depend on how it is pulled.
#include "dsound/Mixer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "DSoundTestSupport.h"

namespace {

using namespace dsound_test;
using dsound::Mixer;

constexpr DWORD kRate = 44100;

class Mix : public OfflineSound {};

TEST_F(Mix, ToneKeepsItsPitchAndFollowsTheFrequency) {
    const auto tone = sine(440, 0.5, kRate, kRate);
    IDirectSoundBuffer8* buffer = makeMono(tone);
    ASSERT_EQ(buffer->Play(0, 0, DSBPLAY_LOOPING), DS_OK);

    // At the output rate the samples pass through untouched, on both sides.
    auto out = render(kRate / 2);
    for (size_t i = 0; i < kRate / 2; ++i) {
        ASSERT_EQ(out[2 * i], tone[i]) << "frame " << i;
        ASSERT_EQ(out[2 * i + 1], tone[i]) << "frame " << i;
    }
    EXPECT_NEAR(toneFrequency(out, 0), 440.0, 0.05);

    ASSERT_EQ(buffer->SetFrequency(2 * kRate), DS_OK);
    EXPECT_NEAR(toneFrequency(render(kRate), 0), 880.0, 0.05);
    ASSERT_EQ(buffer->SetFrequency(kRate / 2), DS_OK);
    EXPECT_NEAR(toneFrequency(render(kRate), 1), 220.0, 0.05);
    // An odd rate: the interpolation keeps the tone where it belongs.
    ASSERT_EQ(buffer->SetFrequency(30011), DS_OK);
    EXPECT_NEAR(toneFrequency(render(kRate), 0), 440.0 * 30011 / kRate, 0.05);
    ASSERT_EQ(buffer->SetFrequency(DSBFREQUENCY_ORIGINAL), DS_OK);
    DWORD frequency = 0;
    ASSERT_EQ(buffer->GetFrequency(&frequency), DS_OK);
    EXPECT_EQ(frequency, kRate);
}

TEST_F(Mix, VolumeAndPanAreHundredthsOfADecibel) {
    const auto tone = sine(1000, 0.9, kRate, kRate / 10);
    IDirectSoundBuffer8* buffer = makeMono(tone);
    ASSERT_EQ(buffer->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    const double full = rms(render(kRate / 10), 0);

    const struct {
        LONG volume;
        double gain;
    } steps[] = {{-600, 0.501187}, {-2000, 0.1}, {-5000, 0.00316228}};
    for (const auto& step : steps) {
        ASSERT_EQ(buffer->SetVolume(step.volume), DS_OK);
        EXPECT_NEAR(rms(render(kRate / 10), 0) / full, step.gain, step.gain * 0.02) << step.volume;
    }
    ASSERT_EQ(buffer->SetVolume(DSBVOLUME_MIN), DS_OK);
    EXPECT_EQ(rms(render(kRate / 10), 0), 0.0);

    // Pan lowers the far side only; the full pan silences it.
    ASSERT_EQ(buffer->SetVolume(0), DS_OK);
    ASSERT_EQ(buffer->SetPan(1000), DS_OK);
    auto panned = render(kRate / 10);
    EXPECT_NEAR(rms(panned, 1) / full, 1.0, 0.001);
    EXPECT_NEAR(rms(panned, 0) / full, 0.316228, 0.005);
    ASSERT_EQ(buffer->SetPan(DSBPAN_LEFT), DS_OK);
    panned = render(kRate / 10);
    EXPECT_EQ(rms(panned, 1), 0.0);
    EXPECT_NEAR(rms(panned, 0) / full, 1.0, 0.001);

    // The primary buffer's volume scales everything.
    DSBUFFERDESC primaryDesc{
        sizeof(DSBUFFERDESC), DSBCAPS_PRIMARYBUFFER | DSBCAPS_CTRLVOLUME, 0, 0, nullptr,
        DS3DALG_DEFAULT};
    IDirectSoundBuffer* primary = nullptr;
    ASSERT_EQ(device->CreateSoundBuffer(&primaryDesc, &primary, nullptr), DS_OK);
    ASSERT_EQ(primary->SetVolume(-600), DS_OK);
    EXPECT_NEAR(rms(render(kRate / 10), 0) / full, 0.501187, 0.005);
    primary->Release();
}

TEST_F(Mix, EightBitAndStereoSamplesLandWhereTheyBelong) {
    IDirectSoundBuffer8* eight = makeBuffer(1, 8, kRate, 4);
    void* part = nullptr;
    DWORD bytes = 0;
    ASSERT_EQ(eight->Lock(0, 4, &part, &bytes, nullptr, nullptr, 0), DS_OK);
    const uint8_t values[4] = {0x80, 0xFF, 0x00, 0x90};
    std::memcpy(part, values, 4);
    eight->Unlock(part, bytes, nullptr, 0);
    // A new 8-bit buffer holds silence, which is 0x80, not 0.
    IDirectSoundBuffer8* fresh = makeBuffer(1, 8, kRate, 64);
    ASSERT_EQ(fresh->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    ASSERT_EQ(eight->Play(0, 0, 0), DS_OK);
    auto out = render(6);
    const int16_t expected[6] = {0, 127 * 256, -128 * 256, 16 * 256, 0, 0};
    for (size_t i = 0; i < 6; ++i) EXPECT_EQ(out[2 * i], expected[i]) << "frame " << i;

    IDirectSoundBuffer8* stereo = makeBuffer(2, 16, kRate, kRate * 4 / 10);
    auto leftOnly = sine(500, 0.5, kRate, kRate / 10, 2);
    for (size_t i = 1; i < leftOnly.size(); i += 2) leftOnly[i] = 0;
    write16(stereo, leftOnly);
    ASSERT_EQ(stereo->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    out = render(kRate / 10);
    EXPECT_NEAR(rms(out, 0), 0.5 / std::sqrt(2.0), 0.001);
    EXPECT_EQ(rms(out, 1), 0.0);
}

TEST_F(Mix, OneShotBuffersEndOnTimeAndLoopingOnesWrap) {
    const std::vector<int16_t> flat(100, 0x4000);
    IDirectSoundBuffer8* once = makeMono(flat, kRate / 2);
    ASSERT_EQ(once->Play(0, 0, 0), DS_OK);
    auto out = render(300);
    // 100 frames at half the output rate last 200 output frames; the last
    // one leans halfway towards the silence after the end.
    for (size_t i = 0; i < 199; ++i) ASSERT_EQ(out[2 * i], 0x4000) << "frame " << i;
    EXPECT_EQ(out[2 * 199], 0x2000);
    for (size_t i = 200; i < 300; ++i) ASSERT_EQ(out[2 * i], 0) << "frame " << i;
    DWORD status = 0, cursor = 1;
    once->GetStatus(&status);
    EXPECT_EQ(status, 0u);
    once->GetCurrentPosition(&cursor, nullptr);
    EXPECT_EQ(cursor, 0u); // ready to play again from the start

    // At 33,333 Hz the end falls between output frames: the frame that
    // still stands inside the buffer plays, ceil(100 * 44100 / 33333) = 133.
    ASSERT_EQ(once->SetFrequency(33333), DS_OK);
    ASSERT_EQ(once->Play(0, 0, 0), DS_OK);
    out = render(300);
    for (size_t i = 0; i < 133; ++i) ASSERT_NE(out[2 * i], 0) << "frame " << i;
    for (size_t i = 133; i < 300; ++i) ASSERT_EQ(out[2 * i], 0) << "frame " << i;

    ASSERT_EQ(once->SetFrequency(kRate / 2), DS_OK);
    ASSERT_EQ(once->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    out = render(1000);
    for (size_t i = 0; i < 1000; ++i) ASSERT_EQ(out[2 * i], 0x4000) << "frame " << i;
    once->GetStatus(&status);
    EXPECT_EQ(status, DSBSTATUS_PLAYING | DSBSTATUS_LOOPING);
}

TEST_F(Mix, SumsClipInsteadOfWrapping) {
    const auto loud = sine(100, 1.0, kRate, kRate / 10);
    makeMono(loud)->Play(0, 0, DSBPLAY_LOOPING);
    makeMono(loud)->Play(0, 0, DSBPLAY_LOOPING);
    const auto out = render(kRate / 10);
    int16_t highest = 0, lowest = 0;
    for (int16_t v : out) {
        highest = std::max(highest, v);
        lowest = std::min(lowest, v);
    }
    EXPECT_EQ(highest, 32767);
    EXPECT_EQ(lowest, -32768);
    // Where the sum fits, it is the sum.
    EXPECT_EQ(out[2], 2 * loud[1]);
}

class Spatial : public OfflineSound {
protected:
    void SetUp() override {
        OfflineSound::SetUp();
        DSBUFFERDESC desc{
            sizeof(DSBUFFERDESC), DSBCAPS_PRIMARYBUFFER | DSBCAPS_CTRL3D, 0, 0, nullptr,
            DS3DALG_DEFAULT};
        ASSERT_EQ(device->CreateSoundBuffer(&desc, &primary, nullptr), DS_OK);
        listener = query<IDirectSound3DListener>(primary, IID_IDirectSound3DListener);
        IDirectSoundBuffer8* buffer =
            makeMono(sine(1000, 0.5, kRate, kRate / 10), kRate, k3DControls);
        source = query<IDirectSound3DBuffer>(buffer, IID_IDirectSound3DBuffer);
        ASSERT_EQ(buffer->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    }
    void TearDown() override {
        if (source) source->Release();
        if (listener) listener->Release();
        if (primary) primary->Release();
        OfflineSound::TearDown();
    }
    // Left and right levels of the source heard from (x, y, z).
    std::pair<double, double> heardAt(float x, float y, float z) {
        EXPECT_EQ(source->SetPosition(x, y, z, DS3D_IMMEDIATE), DS_OK);
        const auto out = render(kRate / 10);
        return {rms(out, 0), rms(out, 1)};
    }

    IDirectSoundBuffer* primary = nullptr;
    IDirectSound3DListener* listener = nullptr;
    IDirectSound3DBuffer* source = nullptr;
};

TEST_F(Spatial, DistanceRollsOffInverselyFromTheMinimumToTheMaximum) {
    ASSERT_EQ(source->SetMinDistance(2.0f, DS3D_IMMEDIATE), DS_OK);
    ASSERT_EQ(source->SetMaxDistance(16.0f, DS3D_IMMEDIATE), DS_OK);
    const double near = heardAt(0, 0, 1).first; // inside the minimum: full level
    EXPECT_NEAR(near, 0.5 / std::sqrt(2.0), 0.001);
    EXPECT_NEAR(heardAt(0, 0, 2).first / near, 1.0, 0.001);
    // Twice the minimum distance: -6.02 dB.
    EXPECT_NEAR(20 * std::log10(heardAt(0, 0, 4).first / near), -6.02, 0.05);
    EXPECT_NEAR(heardAt(0, 0, 16).first / near, 0.125, 0.002);
    // Past the maximum the level stays where the maximum left it.
    EXPECT_NEAR(heardAt(0, 0, 64).first / near, 0.125, 0.002);
}

TEST_F(Spatial, PanFollowsTheListenersRightHand) {
    auto [left, right] = heardAt(5, 0, 0); // straight to the right
    EXPECT_NEAR(left / right, 0.1, 0.002);
    std::tie(left, right) = heardAt(0, 0, 1); // straight ahead: centred
    EXPECT_NEAR(left / right, 1.0, 0.001);

    // Facing the other way, the same source is on the left.
    ASSERT_EQ(listener->SetOrientation(0, 0, -1, 0, 1, 0, DS3D_IMMEDIATE), DS_OK);
    std::tie(left, right) = heardAt(5, 0, 0);
    EXPECT_NEAR(right / left, 0.1, 0.002);

    // The listener moves too: standing beside the source puts it inside
    // the minimum distance.
    ASSERT_EQ(listener->SetPosition(5, 0, 0.5f, DS3D_IMMEDIATE), DS_OK);
    std::tie(left, right) = heardAt(5, 0, 0);
    EXPECT_NEAR(left, 0.5 / std::sqrt(2.0), 0.001);
    EXPECT_NEAR(right, 0.5 / std::sqrt(2.0), 0.001);
}

TEST_F(Spatial, DeferredSettingsWaitForTheCommit) {
    const double near = heardAt(0, 0, 1).first;
    ASSERT_EQ(source->SetPosition(0, 0, 4, DS3D_DEFERRED), DS_OK);
    ASSERT_EQ(listener->SetOrientation(0, 0, -1, 0, 1, 0, DS3D_DEFERRED), DS_OK);
    float x, y, z;
    source->GetPosition(&x, &y, &z);
    EXPECT_EQ(z, 1.0f);
    EXPECT_NEAR(rms(render(kRate / 10), 0) / near, 1.0, 0.001);
    ASSERT_EQ(listener->CommitDeferredSettings(), DS_OK);
    source->GetPosition(&x, &y, &z);
    EXPECT_EQ(z, 4.0f);
    EXPECT_NEAR(rms(render(kRate / 10), 0) / near, 0.25, 0.002);

    EXPECT_EQ(source->SetPosition(NAN, 0, 0, DS3D_IMMEDIATE), DSERR_INVALIDPARAM);
    EXPECT_EQ(source->SetMinDistance(0, DS3D_IMMEDIATE), DSERR_INVALIDPARAM);
    EXPECT_EQ(listener->SetOrientation(0, 1, 0, 0, 2, 0, DS3D_IMMEDIATE), DSERR_INVALIDPARAM);
    EXPECT_EQ(listener->SetOrientation(0, 0, 0, 0, 1, 0, DS3D_IMMEDIATE), DSERR_INVALIDPARAM);
}

// Stop and Play from another thread while the mixer runs: the voice may
// move in the playing list during a pass, but each pass plays it once, so
// the frames heard are the buffer's, in order, with pauses between.
TEST_F(Mix, StopAndPlayDuringAPassNeverPlayAVoiceTwice) {
    std::vector<int16_t> ramp(1000);
    for (size_t i = 0; i < ramp.size(); ++i) ramp[i] = int16_t(i + 1);
    // Silent companions keep the pass long and shuffle the list as they
    // are toggled too.
    std::vector<IDirectSoundBuffer8*> voices{makeMono(ramp)};
    for (int i = 0; i < 15; ++i) voices.push_back(makeMono(std::vector<int16_t>(1000, 0)));
    for (auto* voice : voices) ASSERT_EQ(voice->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    std::atomic<bool> done{false};
    std::thread toggler([&] {
        for (size_t i = 0; !done; ++i) {
            voices[i % voices.size()]->Stop();
            voices[i % voices.size()]->Play(0, 0, DSBPLAY_LOOPING);
        }
    });
    std::vector<int16_t> out;
    for (int block = 0; block < 100; ++block) {
        const auto piece = render(Mixer::kBlockFrames);
        out.insert(out.end(), piece.begin(), piece.end());
    }
    done = true;
    toggler.join();
    int16_t expected = 1;
    size_t heard = 0;
    for (int16_t v : out) {
        if (v == 0) continue;
        // Both channels carry the frame: each value comes twice.
        ASSERT_EQ(v, expected) << "after " << heard << " samples";
        if (++heard % 2 == 0) expected = int16_t(expected % 1000 + 1);
    }
    EXPECT_GT(heard, 1000u);
}

// The mixer counts its cursors in whole output frames, so pulling the same
// second in pieces of any size gives the same samples and the same events.
TEST(MixCuts, OutputDoesNotDependOnHowItIsPulled) {
    auto play = [](const std::vector<size_t>& cuts, DWORD& cursor, int& signalled) {
        IDirectSound8* device = nullptr;
        EXPECT_EQ(dsound::createOfflineDevice(&device), DS_OK);
        WAVEFORMATEX format = pcmFormat(2, 16, 22051);
        DSBUFFERDESC desc = bufferDesc(format, 4000, kAllControls);
        IDirectSoundBuffer8* buffer = nullptr;
        EXPECT_EQ(device->CreateSoundBuffer(&desc, &buffer, nullptr), DS_OK);
        write16(buffer, sine(441, 0.7, 22051, 1000, 2));
        sys::EventHandle event = sys::createEvent(false, false);
        const DSBPOSITIONNOTIFY at{1001, event};
        void* object = nullptr;
        EXPECT_EQ(buffer->QueryInterface(IID_IDirectSoundNotify, &object), DS_OK);
        auto* notify = static_cast<IDirectSoundNotify*>(object);
        EXPECT_EQ(notify->SetNotificationPositions(1, &at), DS_OK);
        notify->Release();
        buffer->SetFrequency(31337);
        buffer->Play(0, 0, DSBPLAY_LOOPING);
        std::vector<int16_t> out;
        signalled = 0;
        for (size_t cut : cuts) {
            std::vector<int16_t> piece(cut * 2);
            dsound::render(device, piece.data(), cut);
            out.insert(out.end(), piece.begin(), piece.end());
            if (sys::waitForEvent(event, 0) == sys::kWaitObject0) ++signalled;
        }
        buffer->GetCurrentPosition(&cursor, nullptr);
        buffer->Release();
        device->Release();
        sys::closeEvent(event);
        return out;
    };
    DWORD wholeCursor = 0, cutCursor = 0;
    int wholeEvents = 0, cutEvents = 0;
    const auto whole = play({5000}, wholeCursor, wholeEvents);
    const auto cut = play({1, 7, 1023, 1024, 1025, 2, 1918}, cutCursor, cutEvents);
    EXPECT_EQ(whole, cut);
    EXPECT_EQ(wholeCursor, cutCursor);
    EXPECT_EQ(wholeEvents, 1); // coalesced: one event, auto-reset
    EXPECT_GE(cutEvents, 2);   // 5000 frames at 31337 Hz pass position 1001 several times
}

} // namespace
