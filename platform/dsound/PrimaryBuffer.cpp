// SPDX-License-Identifier: MIT
// The mixer always runs and always writes 44,100 Hz 16-bit stereo, so the
// primary buffer's Play and Stop change nothing audible and its format is
// fixed; where the engine asks for more, the log says so.
#include "dsound/PrimaryBuffer.h"

#include <cmath>
#include <new>

#include "dsound/Gain.h"
#include "dsound/SoundBuffer.h"
#include "shared/StandInLog.h"

namespace dsound {
namespace {

constexpr DWORD kPrimaryFlags = DSBCAPS_PRIMARYBUFFER | DSBCAPS_CTRL3D | DSBCAPS_CTRLVOLUME |
                                DSBCAPS_CTRLPAN | DSBCAPS_LOCHARDWARE | DSBCAPS_LOCSOFTWARE |
                                DSBCAPS_STATIC | DSBCAPS_GLOBALFOCUS | DSBCAPS_GETCURRENTPOSITION2;

} // namespace

HRESULT PrimaryBuffer::create(const std::shared_ptr<Mixer>& mixer, const DSBUFFERDESC& desc,
                              PrimaryBuffer** buffer) {
    *buffer = nullptr;
    // The primary buffer has no size or format of its own to ask for.
    if (desc.dwBufferBytes != 0 || desc.lpwfxFormat || (desc.dwFlags & ~kPrimaryFlags))
        return DSERR_INVALIDPARAM;
    auto* made = new (std::nothrow) PrimaryBuffer(mixer, desc.dwFlags);
    if (!made) return DSERR_OUTOFMEMORY;
    *buffer = made;
    return DS_OK;
}

HRESULT PrimaryBuffer::QueryInterface(REFIID iid, void** object) {
    if (!object) return DSERR_INVALIDPARAM;
    *object = nullptr;
    // As on Windows, the primary buffer has no version-8 interface.
    if (iid == IID_IDirectSoundBuffer)
        *object = static_cast<IDirectSoundBuffer8*>(this);
    else if (iid == IID_IDirectSound3DListener && (flags_ & DSBCAPS_CTRL3D))
        *object = static_cast<IDirectSound3DListener*>(this);
    else
        return E_NOINTERFACE;
    AddRef();
    return DS_OK;
}

ULONG PrimaryBuffer::AddRef() {
    return ++references_;
}

ULONG PrimaryBuffer::Release() {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
}

HRESULT PrimaryBuffer::GetCurrentPosition(DWORD* playCursor, DWORD* writeCursor) {
    if (!playCursor && !writeCursor) return DSERR_INVALIDPARAM;
    standin::logOnce(u"IDirectSoundBuffer::GetCurrentPosition: the primary buffer has no "
                     u"cursor here; 0 is reported");
    if (playCursor) *playCursor = 0;
    if (writeCursor) *writeCursor = 0;
    return DS_OK;
}

HRESULT PrimaryBuffer::GetFormat(WAVEFORMATEX* format, DWORD size, DWORD* written) {
    if (!format) {
        if (!written) return DSERR_INVALIDPARAM;
        *written = sizeof(WAVEFORMATEX);
        return DS_OK;
    }
    if (size < sizeof(WAVEFORMATEX)) return DSERR_INVALIDPARAM;
    constexpr WORD kBlockAlign = kOutputChannels * 2;
    *format = {WAVE_FORMAT_PCM,
               WORD(kOutputChannels),
               kOutputRate,
               kOutputRate * kBlockAlign,
               kBlockAlign,
               16,
               0};
    if (written) *written = sizeof(WAVEFORMATEX);
    return DS_OK;
}

HRESULT PrimaryBuffer::GetVolume(LONG* volume) {
    if (!volume) return DSERR_INVALIDPARAM;
    if (!(flags_ & DSBCAPS_CTRLVOLUME)) return DSERR_CONTROLUNAVAIL;
    std::lock_guard lock(mixer_->lock());
    *volume = mixer_->masterVolume;
    return DS_OK;
}

HRESULT PrimaryBuffer::GetPan(LONG* pan) {
    if (!pan) return DSERR_INVALIDPARAM;
    if (!(flags_ & DSBCAPS_CTRLPAN)) return DSERR_CONTROLUNAVAIL;
    std::lock_guard lock(mixer_->lock());
    *pan = mixer_->masterPan;
    return DS_OK;
}

HRESULT PrimaryBuffer::GetFrequency(DWORD* frequency) {
    if (!frequency) return DSERR_INVALIDPARAM;
    return DSERR_CONTROLUNAVAIL;
}

HRESULT PrimaryBuffer::GetStatus(DWORD* status) {
    if (!status) return DSERR_INVALIDPARAM;
    mixer_->poll();
    std::lock_guard lock(mixer_->lock());
    if (mixer_->lost())
        *status = DSBSTATUS_BUFFERLOST;
    else
        *status = playing_ ? DSBSTATUS_PLAYING | DSBSTATUS_LOOPING : 0;
    return DS_OK;
}

HRESULT PrimaryBuffer::Lock(DWORD, DWORD, LPVOID* part1, DWORD* bytes1, LPVOID* part2,
                            DWORD* bytes2, DWORD) {
    if (part1) *part1 = nullptr;
    if (bytes1) *bytes1 = 0;
    if (part2) *part2 = nullptr;
    if (bytes2) *bytes2 = 0;
    {
        std::lock_guard lock(mixer_->lock());
        if (mixer_->cooperativeLevel < DSSCL_WRITEPRIMARY) return DSERR_PRIOLEVELNEEDED;
    }
    standin::logOnce(u"IDirectSoundBuffer::Lock: writing the primary buffer is not "
                     u"supported; the mixer owns the output");
    return DSERR_UNSUPPORTED;
}

HRESULT PrimaryBuffer::Unlock(LPVOID, DWORD, LPVOID, DWORD) {
    return DSERR_INVALIDCALL; // nothing can have been locked
}

HRESULT PrimaryBuffer::Play(DWORD reserved, DWORD priority, DWORD flags) {
    if (reserved != 0 || priority != 0 || flags != DSBPLAY_LOOPING) return DSERR_INVALIDPARAM;
    mixer_->poll();
    std::lock_guard lock(mixer_->lock());
    if (mixer_->lost()) return DSERR_BUFFERLOST;
    playing_ = true;
    return DS_OK;
}

HRESULT PrimaryBuffer::Stop() {
    standin::logOnce(u"IDirectSoundBuffer::Stop: stopping the primary buffer leaves the "
                     u"mixer running");
    std::lock_guard lock(mixer_->lock());
    playing_ = false;
    return DS_OK;
}

HRESULT PrimaryBuffer::SetCurrentPosition(DWORD) {
    return DSERR_INVALIDCALL;
}

HRESULT PrimaryBuffer::SetFormat(const WAVEFORMATEX* format) {
    if (!format) return DSERR_INVALIDPARAM;
    {
        std::lock_guard lock(mixer_->lock());
        if (mixer_->cooperativeLevel < DSSCL_PRIORITY) return DSERR_PRIOLEVELNEEDED;
    }
    PcmFormat pcm;
    if (const HRESULT hr = checkFormat(*format, pcm); FAILED(hr)) return hr;
    if (pcm.rate != kOutputRate || pcm.bits != 16 || pcm.channels != kOutputChannels)
        standin::logOnce(u"IDirectSoundBuffer::SetFormat: the output stays 44,100 Hz 16-bit "
                         u"stereo; buffers are converted to it");
    return DS_OK;
}

HRESULT PrimaryBuffer::SetVolume(LONG volume) {
    if (!(flags_ & DSBCAPS_CTRLVOLUME)) return DSERR_CONTROLUNAVAIL;
    if (volume < DSBVOLUME_MIN || volume > DSBVOLUME_MAX) return DSERR_INVALIDPARAM;
    std::lock_guard lock(mixer_->lock());
    mixer_->masterVolume = volume;
    return DS_OK;
}

HRESULT PrimaryBuffer::SetPan(LONG pan) {
    if (!(flags_ & DSBCAPS_CTRLPAN)) return DSERR_CONTROLUNAVAIL;
    if (pan < DSBPAN_LEFT || pan > DSBPAN_RIGHT) return DSERR_INVALIDPARAM;
    std::lock_guard lock(mixer_->lock());
    mixer_->masterPan = pan;
    return DS_OK;
}

HRESULT PrimaryBuffer::SetFrequency(DWORD) {
    return DSERR_CONTROLUNAVAIL;
}

HRESULT PrimaryBuffer::Restore() {
    if (!mixer_->bringBack()) return DSERR_BUFFERLOST;
    std::lock_guard lock(mixer_->lock());
    return mixer_->lost() ? DSERR_BUFFERLOST : DS_OK;
}

HRESULT PrimaryBuffer::SetPosition(float x, float y, float z, DWORD apply) {
    if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(z) || apply > DS3D_DEFERRED)
        return DSERR_INVALIDPARAM;
    std::lock_guard lock(mixer_->lock());
    if (apply == DS3D_DEFERRED) {
        mixer_->pendingListener.position = {x, y, z};
        mixer_->pendingListenerMask |= kPendingPosition;
    } else {
        mixer_->listener.position = {x, y, z};
    }
    return DS_OK;
}

HRESULT PrimaryBuffer::SetOrientation(float frontX, float frontY, float frontZ, float topX,
                                      float topY, float topZ, DWORD apply) {
    const Vector3 front{frontX, frontY, frontZ};
    const Vector3 top{topX, topY, topZ};
    if (!isValidOrientation(front, top) || apply > DS3D_DEFERRED) return DSERR_INVALIDPARAM;
    std::lock_guard lock(mixer_->lock());
    Listener& target = apply == DS3D_DEFERRED ? mixer_->pendingListener : mixer_->listener;
    target.front = front;
    target.top = top;
    if (apply == DS3D_DEFERRED) mixer_->pendingListenerMask |= kPendingOrientation;
    return DS_OK;
}

HRESULT PrimaryBuffer::CommitDeferredSettings() {
    std::lock_guard lock(mixer_->lock());
    mixer_->commitDeferred();
    return DS_OK;
}

} // namespace dsound
