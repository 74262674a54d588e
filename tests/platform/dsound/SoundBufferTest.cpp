// SPDX-License-Identifier: MIT
// A secondary buffer's own rules: locking with the wrap, cursors, the
// controls it was created with, duplicates on shared samples, and the
// notification positions the streaming thread waits on.
#include "dsound/SoundBuffer.h"

#include <gtest/gtest.h>

#include "DSoundTestSupport.h"

namespace {

using namespace dsound_test;

constexpr DWORD kRate = 44100;

class Buffer : public OfflineSound {};

TEST_F(Buffer, LockWrapsIntoTwoRegionsAndChecksItsRange) {
    IDirectSoundBuffer8* buffer = makeBuffer(1, 16, kRate, 1000);
    void *part1 = nullptr, *part2 = nullptr;
    DWORD bytes1 = 0, bytes2 = 0;
    ASSERT_EQ(buffer->Lock(800, 400, &part1, &bytes1, &part2, &bytes2, 0), DS_OK);
    ASSERT_NE(part2, nullptr);
    EXPECT_EQ(static_cast<uint8_t*>(part1) - static_cast<uint8_t*>(part2), 800);
    EXPECT_EQ(bytes1, 200u);
    EXPECT_EQ(bytes2, 200u);
    EXPECT_EQ(buffer->Unlock(part1, bytes1, part2, bytes2), DS_OK);
    // The parts are the buffer's own memory: what is written plays.
    std::memset(part2, 0x11, 2);

    ASSERT_EQ(buffer->Lock(0, 1000, &part1, &bytes1, &part2, &bytes2, 0), DS_OK);
    EXPECT_EQ(bytes1, 1000u);
    EXPECT_EQ(part2, nullptr);
    EXPECT_EQ(bytes2, 0u);
    EXPECT_EQ(static_cast<uint8_t*>(part1)[1], 0x11);

    // DSBLOCK_ENTIREBUFFER ignores the size; the write cursor replaces the offset.
    ASSERT_EQ(buffer->Lock(0, 1, &part1, &bytes1, nullptr, nullptr, DSBLOCK_ENTIREBUFFER), DS_OK);
    EXPECT_EQ(bytes1, 1000u);
    void* start = part1;
    ASSERT_EQ(buffer->SetCurrentPosition(501), DS_OK);
    ASSERT_EQ(buffer->Lock(0, 10, &part1, &bytes1, nullptr, nullptr, DSBLOCK_FROMWRITECURSOR),
              DS_OK);
    EXPECT_EQ(static_cast<uint8_t*>(part1) - static_cast<uint8_t*>(start), 500);

    // Ranges outside the buffer, and parts that are not the buffer's.
    EXPECT_EQ(buffer->Lock(1000, 1, &part1, &bytes1, &part2, &bytes2, 0), DSERR_INVALIDPARAM);
    EXPECT_EQ(buffer->Lock(0, 1001, &part1, &bytes1, &part2, &bytes2, 0), DSERR_INVALIDPARAM);
    EXPECT_EQ(buffer->Lock(0, 0, &part1, &bytes1, &part2, &bytes2, 0), DSERR_INVALIDPARAM);
    EXPECT_EQ(buffer->Lock(0, 4, nullptr, &bytes1, nullptr, nullptr, 0), DSERR_INVALIDPARAM);
    EXPECT_EQ(part1, nullptr); // a refused lock hands out nothing
    uint8_t elsewhere[4];
    EXPECT_EQ(buffer->Unlock(elsewhere, 4, nullptr, 0), DSERR_INVALIDPARAM);
    EXPECT_EQ(buffer->Unlock(start, 1001, nullptr, 0), DSERR_INVALIDPARAM);
    EXPECT_EQ(buffer->Unlock(start, 10, static_cast<uint8_t*>(start) + 2, 10), DSERR_INVALIDPARAM);
}

TEST_F(Buffer, CursorsFollowPlayStopAndSetCurrentPosition) {
    IDirectSoundBuffer8* buffer = makeBuffer(2, 16, kRate, 40000);
    DWORD play = 1, write = 1, status = 1;
    buffer->GetStatus(&status);
    EXPECT_EQ(status, 0u);
    ASSERT_EQ(buffer->SetCurrentPosition(4003), DS_OK); // down to a whole frame
    buffer->GetCurrentPosition(&play, &write);
    EXPECT_EQ(play, 4000u);
    EXPECT_EQ(write, 4000u);
    EXPECT_EQ(buffer->SetCurrentPosition(40000), DSERR_INVALIDPARAM);

    ASSERT_EQ(buffer->Play(0, 0, 0), DS_OK);
    buffer->GetStatus(&status);
    EXPECT_EQ(status, DSBSTATUS_PLAYING);
    render(100);
    buffer->GetCurrentPosition(&play, &write);
    EXPECT_EQ(play, 4400u);
    // While playing, the write cursor stays ahead of what the next block reads.
    EXPECT_EQ(write, 4400u + 4 * (1024 + 1));

    ASSERT_EQ(buffer->Stop(), DS_OK);
    render(100);
    buffer->GetCurrentPosition(&play, nullptr);
    EXPECT_EQ(play, 4400u); // Stop pauses where it is
    EXPECT_EQ(buffer->Play(1, 0, 0), DSERR_INVALIDPARAM);
    EXPECT_EQ(buffer->Play(0, 0, 0x80), DSERR_INVALIDPARAM);
    EXPECT_EQ(buffer->GetCurrentPosition(nullptr, nullptr), DSERR_INVALIDPARAM);
}

TEST_F(Buffer, ControlsNeedTheCapabilitiesTheBufferWasMadeWith) {
    IDirectSoundBuffer8* bare = makeBuffer(1, 16, kRate, 64, 0);
    LONG pan = 0;
    void* object = &object;
    EXPECT_EQ(bare->SetVolume(-100), DSERR_CONTROLUNAVAIL);
    EXPECT_EQ(bare->GetPan(&pan), DSERR_CONTROLUNAVAIL);
    EXPECT_EQ(bare->SetFrequency(22050), DSERR_CONTROLUNAVAIL);
    EXPECT_EQ(bare->QueryInterface(IID_IDirectSoundNotify, &object), E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(bare->QueryInterface(IID_IDirectSound3DBuffer, &object), E_NOINTERFACE);
    // Both buffer identities are the one object.
    EXPECT_EQ(bare->QueryInterface(IID_IDirectSoundBuffer, &object), DS_OK);
    EXPECT_EQ(object, bare);
    bare->Release();
}

TEST_F(Buffer, DuplicatesShareSamplesAndOutliveTheirMaster) {
    const auto tone = sine(441, 0.5, kRate, 4410);
    IDirectSoundBuffer8* master = makeMono(tone);
    IDirectSoundBuffer* first = nullptr;
    IDirectSoundBuffer* second = nullptr;
    ASSERT_EQ(device->DuplicateSoundBuffer(master, &first), DS_OK);
    ASSERT_EQ(device->DuplicateSoundBuffer(master, &second), DS_OK);
    LONG volume = 1;
    first->GetVolume(&volume);
    EXPECT_EQ(volume, 0);
    // The master goes first; its samples stay while a duplicate lives.
    master->SetVolume(-1000);
    buffers.clear();
    EXPECT_EQ(master->Release(), 0u);

    ASSERT_EQ(first->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    auto out = render(4410);
    for (size_t i = 0; i < tone.size(); ++i) ASSERT_EQ(out[2 * i], tone[i]) << "frame " << i;

    // A write through one duplicate is heard through the other; each has
    // its own cursor and volume.
    first->Stop();
    write16(second, std::vector<int16_t>(4410, 1000));
    ASSERT_EQ(second->SetCurrentPosition(2000), DS_OK);
    ASSERT_EQ(second->SetVolume(-600), DS_OK);
    ASSERT_EQ(first->Play(0, 0, 0), DS_OK);
    ASSERT_EQ(second->Play(0, 0, 0), DS_OK);
    out = render(4410);
    EXPECT_EQ(out[0], 1000 + 501);
    EXPECT_EQ(out[2 * 3409], 1000 + 501);
    EXPECT_EQ(out[2 * 3410], 1000);
    EXPECT_EQ(first->Release(), 0u);
    EXPECT_EQ(second->Release(), 0u);

    // The primary buffer has no duplicates.
    DSBUFFERDESC desc{sizeof(DSBUFFERDESC), DSBCAPS_PRIMARYBUFFER, 0, 0, nullptr, DS3DALG_DEFAULT};
    IDirectSoundBuffer* primary = nullptr;
    ASSERT_EQ(device->CreateSoundBuffer(&desc, &primary, nullptr), DS_OK);
    EXPECT_EQ(device->DuplicateSoundBuffer(primary, &first), DSERR_INVALIDCALL);
    EXPECT_EQ(first, nullptr);
    primary->Release();
}

class Notifications : public OfflineSound {
protected:
    void TearDown() override {
        for (auto event : events) sys::closeEvent(event);
        OfflineSound::TearDown();
    }
    sys::EventHandle newEvent() {
        events.push_back(sys::createEvent(false, false));
        return events.back();
    }
    HRESULT setPositions(IDirectSoundBuffer8* buffer, std::vector<DSBPOSITIONNOTIFY> positions) {
        auto* notify = query<IDirectSoundNotify>(buffer, IID_IDirectSoundNotify);
        const HRESULT hr =
            notify->SetNotificationPositions(DWORD(positions.size()), positions.data());
        notify->Release();
        return hr;
    }
    // Renders frame by frame and returns after how many frames each event
    // was first seen signalled (0: never).
    std::vector<size_t> firstSeen(size_t frames) {
        std::vector<size_t> seen(events.size(), 0);
        for (size_t f = 1; f <= frames; ++f) {
            render(1);
            for (size_t e = 0; e < events.size(); ++e)
                if (sys::waitForEvent(events[e], 0) == sys::kWaitObject0 && seen[e] == 0)
                    seen[e] = f;
        }
        return seen;
    }
    std::vector<sys::EventHandle> events;
};

TEST_F(Notifications, FireWhenThePlayCursorPassesTheirOffsetAndOnStop) {
    IDirectSoundBuffer8* buffer = makeBuffer(1, 16, kRate, 4000); // 2000 frames
    // Given out of order: they fire in play order all the same.
    const auto late = newEvent(), early = newEvent(), last = newEvent(), stop = newEvent();
    ASSERT_EQ(
        setPositions(buffer, {{1999, late}, {999, early}, {DSBPN_OFFSETSTOP, stop}, {3999, last}}),
        DS_OK);
    ASSERT_EQ(buffer->SetCurrentPosition(200), DS_OK); // starts at frame 100
    ASSERT_EQ(buffer->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    // Byte 999 is in frame 499: it has played once 400 frames have.
    const auto seen = firstSeen(2000);
    EXPECT_EQ(seen[1], 400u);
    EXPECT_EQ(seen[0], 900u);
    EXPECT_EQ(seen[2], 1900u);
    EXPECT_EQ(seen[3], 0u); // looping on, nothing stopped it

    ASSERT_EQ(buffer->Stop(), DS_OK);
    EXPECT_EQ(sys::waitForEvent(stop, 0), sys::kWaitObject0);
    ASSERT_EQ(buffer->Stop(), DS_OK); // already stopped: no second signal
    EXPECT_EQ(sys::waitForEvent(stop, 0), sys::kWaitTimeout);

    // A one-shot buffer that runs out signals its stop positions too.
    ASSERT_EQ(buffer->SetCurrentPosition(3000), DS_OK);
    ASSERT_EQ(buffer->Play(0, 0, 0), DS_OK);
    const auto ending = firstSeen(600);
    EXPECT_EQ(ending[2], 500u);
    EXPECT_EQ(ending[3], 500u);
}

// The streaming sounds' buffer: two halves of 262,146 bytes of 16-bit
// stereo, with positions on the last byte of each. When a position fires,
// the play cursor must already read as the other half, or the refill of
// the half just played would never start.
TEST_F(Notifications, EachHalfsLastByteFiresWithTheCursorInTheOtherHalf) {
    constexpr DWORD kHalf = 262146;
    IDirectSoundBuffer8* buffer = makeBuffer(2, 16, kRate, 2 * kHalf);
    const auto first = newEvent(), second = newEvent();
    ASSERT_EQ(setPositions(buffer, {{kHalf - 1, first}, {2 * kHalf - 1, second}}), DS_OK);
    ASSERT_EQ(buffer->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    for (int round = 0; round < 2; ++round) {
        for (auto [event, half] : {std::pair{first, 1u}, std::pair{second, 0u}}) {
            size_t frames = 0;
            while (sys::waitForEvent(event, 0) != sys::kWaitObject0) {
                render(512);
                ASSERT_LT(frames += 512, 200000u) << "position never fired";
            }
            DWORD play = 0;
            buffer->GetCurrentPosition(&play, nullptr);
            EXPECT_EQ(play / kHalf, half) << "round " << round;
        }
    }
}

TEST_F(Notifications, PositionsAreCheckedAndFixedWhilePlaying) {
    IDirectSoundBuffer8* buffer = makeBuffer(1, 16, kRate, 400);
    const auto event = newEvent();
    EXPECT_EQ(setPositions(buffer, {{400, event}}), DSERR_INVALIDPARAM);
    EXPECT_EQ(setPositions(buffer, {{0, nullptr}}), DSERR_INVALIDPARAM);
    ASSERT_EQ(setPositions(buffer, {{10, event}}), DS_OK);
    ASSERT_EQ(buffer->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    EXPECT_EQ(setPositions(buffer, {}), DSERR_INVALIDCALL);
    buffer->Stop();
    ASSERT_EQ(setPositions(buffer, {}), DS_OK); // none: nothing fires
    ASSERT_EQ(buffer->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    render(1000);
    EXPECT_EQ(sys::waitForEvent(event, 0), sys::kWaitTimeout);
}

} // namespace
