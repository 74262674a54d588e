// SPDX-License-Identifier: MIT
// The device: what CreateSoundBuffer accepts, the primary buffer and its
// listener, device loss and restore, the log of what is not honoured, the
// same bytes for the same calls, and the real SDL path on the dummy driver.
#include "dsound/DSound.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "DSoundTestSupport.h"

namespace {

using namespace dsound_test;
using namespace std::chrono_literals;

constexpr DWORD kRate = 44100;

class Device : public OfflineSound {
protected:
    HRESULT create(WAVEFORMATEX format, DWORD bytes, DWORD flags = 0) {
        const DSBUFFERDESC desc = bufferDesc(format, bytes, flags);
        IDirectSoundBuffer* buffer = nullptr;
        const HRESULT hr = device->CreateSoundBuffer(&desc, &buffer, nullptr);
        if (buffer) buffer->Release();
        return hr;
    }
};

TEST_F(Device, CreateSoundBufferRefusesWhatCannotPlay) {
    const WAVEFORMATEX good = pcmFormat(2, 16, kRate);
    EXPECT_EQ(create(good, 4000, kAllControls), DS_OK);
    EXPECT_EQ(create(pcmFormat(2, 24, kRate), 4002), DSERR_BADFORMAT);
    WAVEFORMATEX format = good;
    format.nBlockAlign = 2; // says mono while it counts two channels
    EXPECT_EQ(create(format, 4000), DSERR_INVALIDPARAM);
    EXPECT_EQ(create(good, 4002), DSERR_INVALIDPARAM); // half a frame
    EXPECT_EQ(create(good, 0), DSERR_INVALIDPARAM);
    EXPECT_EQ(create(good, DSBSIZE_MAX + 1), DSERR_INVALIDPARAM);
    // A 3D buffer is mono and takes its pan from its position.
    EXPECT_EQ(create(good, 4000, DSBCAPS_CTRL3D), DSERR_INVALIDPARAM);

    // The primary buffer has no size or format to give.
    DSBUFFERDESC desc = bufferDesc(format, 4000, DSBCAPS_PRIMARYBUFFER);
    IDirectSoundBuffer* buffer = nullptr;
    EXPECT_EQ(device->CreateSoundBuffer(&desc, &buffer, nullptr), DSERR_INVALIDPARAM);
    EXPECT_EQ(buffer, nullptr);
}

TEST_F(Device, PrimaryBufferIsTheFixedOutputWithTheListener) {
    DSBUFFERDESC desc{sizeof(DSBUFFERDESC), DSBCAPS_PRIMARYBUFFER | DSBCAPS_CTRL3D, 0, 0, nullptr,
                      DS3DALG_DEFAULT};
    IDirectSoundBuffer* primary = nullptr;
    ASSERT_EQ(device->CreateSoundBuffer(&desc, &primary, nullptr), DS_OK);
    void* object = nullptr;
    EXPECT_EQ(primary->QueryInterface(IID_IDirectSoundBuffer8, &object), E_NOINTERFACE);
    ASSERT_EQ(primary->QueryInterface(IID_IDirectSound3DListener, &object), DS_OK);
    static_cast<IDirectSound3DListener*>(object)->Release();

    WAVEFORMATEX format{};
    ASSERT_EQ(primary->GetFormat(&format, sizeof format, nullptr), DS_OK);
    EXPECT_EQ(format.nSamplesPerSec, kRate);
    EXPECT_EQ(format.nChannels, 2);
    EXPECT_EQ(format.wBitsPerSample, 16);

    // Setting its format needs the priority level; it needs nothing else
    // and changes nothing.
    const WAVEFORMATEX wanted = pcmFormat(2, 16, 22050);
    EXPECT_EQ(primary->SetFormat(&wanted), DSERR_PRIOLEVELNEEDED);
    ASSERT_EQ(device->SetCooperativeLevel(nullptr, DSSCL_PRIORITY), DS_OK);
    EXPECT_EQ(primary->SetFormat(&wanted), DS_OK);
    EXPECT_EQ(device->SetCooperativeLevel(nullptr, 0), DSERR_INVALIDPARAM);

    void* part = nullptr;
    DWORD bytes = 0;
    EXPECT_EQ(primary->Lock(0, 4, &part, &bytes, nullptr, nullptr, 0), DSERR_PRIOLEVELNEEDED);
    EXPECT_EQ(primary->Play(0, 0, 0), DSERR_INVALIDPARAM); // it always loops
    ASSERT_EQ(primary->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    DWORD status = 0;
    primary->GetStatus(&status);
    EXPECT_EQ(status, DSBSTATUS_PLAYING | DSBSTATUS_LOOPING);
    EXPECT_EQ(primary->SetVolume(-100), DSERR_CONTROLUNAVAIL); // no DSBCAPS_CTRLVOLUME
    primary->Release();

    // Without DSBCAPS_CTRL3D there is no listener.
    desc.dwFlags = DSBCAPS_PRIMARYBUFFER;
    ASSERT_EQ(device->CreateSoundBuffer(&desc, &primary, nullptr), DS_OK);
    EXPECT_EQ(primary->QueryInterface(IID_IDirectSound3DListener, &object), E_NOINTERFACE);
    primary->Release();
}

TEST_F(Device, LostDeviceLosesEveryBufferUntilEachIsRestored) {
    const auto tone = sine(441, 0.5, kRate, 4410);
    IDirectSoundBuffer8* buffer = makeMono(tone);
    IDirectSoundBuffer8* idle = makeMono(tone);
    ASSERT_EQ(buffer->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    render(100);

    dsound::test::loseDevice(device);
    DWORD status = 0;
    for (auto* b : {buffer, idle}) {
        b->GetStatus(&status);
        EXPECT_EQ(status, DSBSTATUS_BUFFERLOST); // and no longer playing
    }
    void* part = nullptr;
    DWORD bytes = 0;
    EXPECT_EQ(buffer->Lock(0, 4, &part, &bytes, nullptr, nullptr, 0), DSERR_BUFFERLOST);
    EXPECT_EQ(buffer->Play(0, 0, DSBPLAY_LOOPING), DSERR_BUFFERLOST);
    EXPECT_EQ(buffer->Restore(), DSERR_BUFFERLOST);
    EXPECT_EQ(rms(render(1000), 0), 0.0);

    // The device is back, but each buffer stays lost until restored.
    dsound::test::returnDevice(device);
    buffer->GetStatus(&status);
    EXPECT_EQ(status, DSBSTATUS_BUFFERLOST);
    EXPECT_EQ(buffer->Play(0, 0, DSBPLAY_LOOPING), DSERR_BUFFERLOST);
    ASSERT_EQ(buffer->Restore(), DS_OK);
    buffer->GetStatus(&status);
    EXPECT_EQ(status, 0u);
    idle->GetStatus(&status);
    EXPECT_EQ(status, DSBSTATUS_BUFFERLOST);

    // Restored, it locks and plays again, from where it stopped.
    ASSERT_EQ(buffer->Lock(0, 4, &part, &bytes, nullptr, nullptr, 0), DS_OK);
    ASSERT_EQ(buffer->SetCurrentPosition(0), DS_OK);
    ASSERT_EQ(buffer->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    const auto out = render(4410);
    for (size_t i = 0; i < tone.size(); ++i) ASSERT_EQ(out[2 * i], tone[i]) << "frame " << i;

    // A second loss needs a second restore.
    dsound::test::loseDevice(device);
    dsound::test::returnDevice(device);
    buffer->GetStatus(&status);
    EXPECT_EQ(status, DSBSTATUS_BUFFERLOST);
}

TEST_F(Device, BuffersThatOutliveTheirDeviceStayLost) {
    IDirectSoundBuffer8* buffer = makeMono(sine(441, 0.5, kRate, 4410));
    ASSERT_EQ(buffer->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    device->Release();
    device = nullptr;
    DWORD status = 0;
    buffer->GetStatus(&status);
    EXPECT_EQ(status, DSBSTATUS_BUFFERLOST);
    EXPECT_EQ(buffer->Restore(), DSERR_BUFFERLOST);
}

TEST(DeviceOutput, SameCallsGiveTheSameBytes) {
    auto session = [] {
        IDirectSound8* device = nullptr;
        EXPECT_EQ(dsound::createOfflineDevice(&device), DS_OK);
        WAVEFORMATEX mono = pcmFormat(1, 16, 22050);
        DSBUFFERDESC desc = bufferDesc(mono, 22050, k3DControls);
        IDirectSoundBuffer8* spatial = nullptr;
        device->CreateSoundBuffer(&desc, &spatial, nullptr);
        write16(spatial, sine(300, 0.6, 22050, 11025));
        void* object = nullptr;
        spatial->QueryInterface(IID_IDirectSound3DBuffer, &object);
        auto* position = static_cast<IDirectSound3DBuffer*>(object);
        position->SetPosition(3, 1, 2, DS3D_IMMEDIATE);
        spatial->SetFrequency(23456);
        spatial->Play(0, 0, DSBPLAY_LOOPING);
        std::vector<int16_t> out(3000 * 2);
        dsound::render(device, out.data(), 1500);
        position->SetPosition(-3, 0, 1, DS3D_IMMEDIATE);
        spatial->SetVolume(-1234);
        dsound::render(device, out.data() + 3000, 1500);
        position->Release();
        spatial->Release();
        device->Release();
        return out;
    };
    const auto first = session();
    EXPECT_EQ(first, session());
    EXPECT_GT(rms(first, 0), 0.01);
}

// The real output path, on SDL's dummy driver, which pulls the callback in
// real time without a sound card.
class SdlDevice : public ::testing::Test {
protected:
    void SetUp() override {
        const char* old = std::getenv("SDL_AUDIODRIVER");
        saved = old ? old : "";
        hadDriver = old != nullptr;
    }
    void TearDown() override {
        if (hadDriver)
            setenv("SDL_AUDIODRIVER", saved.c_str(), 1);
        else
            unsetenv("SDL_AUDIODRIVER");
    }
    std::string saved;
    bool hadDriver = false;
};

TEST_F(SdlDevice, DummyDriverOpensPlaysAndCloses) {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    IDirectSound8* device = nullptr;
    ASSERT_EQ(DirectSoundCreate8(nullptr, &device, nullptr), DS_OK);
    ASSERT_EQ(device->SetCooperativeLevel(nullptr, DSSCL_PRIORITY), DS_OK);
    WAVEFORMATEX format = pcmFormat(1, 16, kRate);
    DSBUFFERDESC desc = bufferDesc(format, kRate * 2, kAllControls);
    IDirectSoundBuffer8* buffer = nullptr;
    ASSERT_EQ(device->CreateSoundBuffer(&desc, &buffer, nullptr), DS_OK);
    write16(buffer, sine(440, 0.5, kRate, kRate));
    ASSERT_EQ(buffer->Play(0, 0, DSBPLAY_LOOPING), DS_OK);

    // The callback moves the cursor; nothing here pulls the mix.
    DWORD play = 0;
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (play == 0 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(10ms);
        buffer->GetCurrentPosition(&play, nullptr);
    }
    EXPECT_GT(play, 0u);
    DWORD status = 0;
    buffer->GetStatus(&status);
    EXPECT_EQ(status, DSBSTATUS_PLAYING | DSBSTATUS_LOOPING);

    // render() leaves a device that SDL pulls alone.
    std::vector<int16_t> out(64, 7);
    dsound::render(device, out.data(), 32);
    EXPECT_EQ(out, std::vector<int16_t>(64, 0));

    // Closing the device while a buffer plays waits for the callback.
    EXPECT_EQ(device->Release(), 0u);
    buffer->GetStatus(&status);
    EXPECT_EQ(status, DSBSTATUS_BUFFERLOST);
    EXPECT_EQ(buffer->Release(), 0u);
}

TEST_F(SdlDevice, NoDriverIsDSERR_NODRIVER) {
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    IDirectSound8* device = nullptr;
    EXPECT_EQ(DirectSoundCreate8(nullptr, &device, nullptr), DSERR_NODRIVER);
    EXPECT_EQ(device, nullptr);
    const DSGUID other{42};
    EXPECT_EQ(DirectSoundCreate8(&other, &device, nullptr), DSERR_NODRIVER);
}

} // namespace
