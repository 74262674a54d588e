// SPDX-License-Identifier: MIT
// The primary buffer: the mixer's output as the engine sees it. Its volume
// and pan are the master gain; with DSBCAPS_CTRL3D it hands out the
// listener. Every primary buffer of a device acts on the same mixer state.
#pragma once

#include <atomic>
#include <memory>

#include "dsound/DSound.h"
#include "dsound/Mixer.h"

namespace dsound {

class PrimaryBuffer final : public IDirectSoundBuffer8, public IDirectSound3DListener {
public:
    static HRESULT create(const std::shared_ptr<Mixer>& mixer, const DSBUFFERDESC& desc,
                          PrimaryBuffer** buffer);

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

    HRESULT SetPosition(float x, float y, float z, DWORD apply) override;
    HRESULT SetOrientation(float frontX, float frontY, float frontZ, float topX, float topY,
                           float topZ, DWORD apply) override;
    HRESULT CommitDeferredSettings() override;

private:
    PrimaryBuffer(std::shared_ptr<Mixer> mixer, DWORD flags)
        : mixer_(std::move(mixer)), flags_(flags) {}
    ~PrimaryBuffer() = default;

    std::atomic<ULONG> references_{1};
    std::shared_ptr<Mixer> mixer_;
    DWORD flags_;
    bool playing_ = false; // Play was called; the mixer runs regardless
};

} // namespace dsound
