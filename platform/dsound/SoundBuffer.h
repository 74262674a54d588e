// SPDX-License-Identifier: MIT
// A secondary buffer: PCM samples in memory with a play cursor, and the
// notify and 3D interfaces it hands out through QueryInterface (one object,
// one reference count).
#pragma once

#include <atomic>
#include <memory>

#include "dsound/DSound.h"
#include "dsound/Mixer.h"
#include "dsound/Voice.h"

namespace dsound {

class SoundBuffer final : public IDirectSoundBuffer8,
                          public IDirectSoundNotify,
                          public IDirectSound3DBuffer {
public:
    // Checks the description; on DS_OK `*buffer` holds one reference.
    static HRESULT create(const std::shared_ptr<Mixer>& mixer, const DSBUFFERDESC& desc,
                          SoundBuffer** buffer);
    // A new stopped buffer on the same samples, with this one's settings.
    HRESULT duplicate(SoundBuffer** copy);
    const Mixer* mixer() const { return mixer_.get(); }

    HRESULT QueryInterface(REFIID iid, void** object) override;
    ULONG AddRef() override;
    ULONG Release() override;

    HRESULT GetCurrentPosition(DWORD* playCursor, DWORD* writeCursor) override;
    HRESULT GetFormat(WAVEFORMATEX* format, DWORD size, DWORD* written) override;
    HRESULT GetVolume(LONG* volume) override;
    HRESULT GetPan(LONG* pan) override;
    HRESULT GetFrequency(DWORD* frequency) override;
    HRESULT GetStatus(DWORD* status) override;
    HRESULT Lock(DWORD offset, DWORD bytes, LPVOID* part1, DWORD* bytes1, LPVOID* part2,
                 DWORD* bytes2, DWORD flags) override;
    HRESULT Play(DWORD reserved, DWORD priority, DWORD flags) override;
    HRESULT SetCurrentPosition(DWORD position) override;
    HRESULT SetFormat(const WAVEFORMATEX* format) override;
    HRESULT SetVolume(LONG volume) override;
    HRESULT SetPan(LONG pan) override;
    HRESULT SetFrequency(DWORD frequency) override;
    HRESULT Stop() override;
    HRESULT Unlock(LPVOID part1, DWORD bytes1, LPVOID part2, DWORD bytes2) override;
    HRESULT Restore() override;

    HRESULT SetNotificationPositions(DWORD count, const DSBPOSITIONNOTIFY* positions) override;

    HRESULT SetPosition(float x, float y, float z, DWORD apply) override;
    HRESULT GetPosition(float* x, float* y, float* z) override;
    HRESULT SetMinDistance(float distance, DWORD apply) override;
    HRESULT SetMaxDistance(float distance, DWORD apply) override;
    HRESULT GetMinDistance(float* distance) override;
    HRESULT GetMaxDistance(float* distance) override;

private:
    SoundBuffer(std::shared_ptr<Mixer> mixer, DWORD flags)
        : mixer_(std::move(mixer)), flags_(flags) {}
    ~SoundBuffer();
    HRESULT registerWithMixer();
    // The 3D settings a call with `apply` changes, marking deferred ones.
    Spatial& spatialFor(DWORD apply, PendingSetting setting);

    std::atomic<ULONG> references_{1};
    std::shared_ptr<Mixer> mixer_;
    DWORD flags_;
    Voice voice_; // guarded by mixer_->lock()
};

// Checks a secondary buffer's format: PCM, 8 or 16 bits, one or two
// channels, a rate the frequency control allows, and consistent block
// align and byte rate.
HRESULT checkFormat(const WAVEFORMATEX& format, PcmFormat& pcm);

} // namespace dsound
