// SPDX-License-Identifier: MIT
// Secondary buffers. Every call that reads or changes what the mixer uses
// holds the mixer's lock for the few fields it touches; Lock hands out
// pointers into the samples themselves, so the caller writes without any
// lock, as on Windows, where writing the part about to play is the
// caller's mistake.
#include "dsound/SoundBuffer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <new>

#include "shared/StandInLog.h"

namespace dsound {
namespace {

constexpr DWORD kKnownFlags = DSBCAPS_STATIC | DSBCAPS_LOCHARDWARE | DSBCAPS_LOCSOFTWARE |
                              DSBCAPS_CTRL3D | DSBCAPS_CTRLFREQUENCY | DSBCAPS_CTRLPAN |
                              DSBCAPS_CTRLVOLUME | DSBCAPS_CTRLPOSITIONNOTIFY |
                              DSBCAPS_GLOBALFOCUS | DSBCAPS_GETCURRENTPOSITION2;

// The most notification positions one buffer takes.
constexpr DWORD kMaxNotifications = 100000;

std::u16string hex(DWORD value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", unsigned(value));
    return std::u16string(text, text + std::char_traits<char>::length(text));
}

bool isFinite(float a, float b = 0, float c = 0) {
    return std::isfinite(a) && std::isfinite(b) && std::isfinite(c);
}

} // namespace

HRESULT checkFormat(const WAVEFORMATEX& format, PcmFormat& pcm) {
    if (format.wFormatTag != WAVE_FORMAT_PCM) {
        standin::logOnce(u"CreateSoundBuffer: only PCM formats are played; refused");
        return DSERR_BADFORMAT;
    }
    if ((format.wBitsPerSample != 8 && format.wBitsPerSample != 16) ||
        (format.nChannels != 1 && format.nChannels != 2)) {
        standin::logOnce(u"CreateSoundBuffer: only 8 and 16-bit mono and stereo PCM is "
                         u"played; refused");
        return DSERR_BADFORMAT;
    }
    const WORD blockAlign = WORD(format.nChannels * format.wBitsPerSample / 8);
    if (format.nBlockAlign != blockAlign ||
        format.nAvgBytesPerSec != uint64_t(format.nSamplesPerSec) * blockAlign ||
        format.nSamplesPerSec < DSBFREQUENCY_MIN || format.nSamplesPerSec > DSBFREQUENCY_MAX)
        return DSERR_INVALIDPARAM;
    pcm = {format.nSamplesPerSec, format.nChannels, format.wBitsPerSample, blockAlign};
    return DS_OK;
}

HRESULT SoundBuffer::create(const std::shared_ptr<Mixer>& mixer, const DSBUFFERDESC& desc,
                            SoundBuffer** buffer) {
    *buffer = nullptr;
    if (!desc.lpwfxFormat) return DSERR_INVALIDPARAM;
    PcmFormat format;
    if (const HRESULT hr = checkFormat(*desc.lpwfxFormat, format); FAILED(hr)) return hr;
    const DWORD bytes = desc.dwBufferBytes;
    if (bytes < DSBSIZE_MIN || bytes > DSBSIZE_MAX || bytes % format.blockAlign != 0)
        return DSERR_INVALIDPARAM;

    const DWORD flags = desc.dwFlags;
    if ((flags & DSBCAPS_LOCHARDWARE) && (flags & DSBCAPS_LOCSOFTWARE)) return DSERR_INVALIDPARAM;
    if (flags & DSBCAPS_CTRL3D) {
        // As on Windows: a 3D buffer is a point source, and its pan is the 3D pan.
        if (format.channels != 1) {
            standin::logOnce(u"CreateSoundBuffer: a 3D buffer must be mono; refused");
            return DSERR_INVALIDPARAM;
        }
        if (flags & DSBCAPS_CTRLPAN) return DSERR_INVALIDPARAM;
        if (desc.guid3DAlgorithm != DS3DALG_DEFAULT)
            standin::logOnce(u"CreateSoundBuffer: 3D algorithms other than the default are "
                             u"not available; the software rolloff and pan are used");
    }
    if (flags & DSBCAPS_LOCHARDWARE)
        standin::logOnce(u"CreateSoundBuffer: there are no hardware voices; the buffer is "
                         u"mixed in software");
    if (flags & ~kKnownFlags)
        standin::logOnce("CreateSoundBuffer flags", u"CreateSoundBuffer: flags " +
                                                        hex(flags & ~kKnownFlags) +
                                                        u" are not honoured");

    auto* made = new (std::nothrow) SoundBuffer(mixer, flags);
    if (!made) return DSERR_OUTOFMEMORY;
    try {
        made->voice_.samples = std::make_shared_for_overwrite<uint8_t[]>(bytes);
    } catch (const std::bad_alloc&) {
        delete made;
        return DSERR_OUTOFMEMORY;
    }
    std::fill_n(made->voice_.samples.get(), bytes, format.bits == 8 ? 0x80 : 0x00);
    made->voice_.bytes = bytes;
    made->voice_.frames = bytes / format.blockAlign;
    made->voice_.format = format;
    made->voice_.frequency = format.rate;
    made->voice_.is3D = (flags & DSBCAPS_CTRL3D) != 0;
    if (const HRESULT hr = made->registerWithMixer(); FAILED(hr)) {
        delete made;
        return hr;
    }
    *buffer = made;
    return DS_OK;
}

HRESULT SoundBuffer::registerWithMixer() {
    std::lock_guard lock(mixer_->lock());
    try {
        mixer_->add(voice_);
    } catch (const std::bad_alloc&) {
        return DSERR_OUTOFMEMORY;
    }
    return DS_OK;
}

SoundBuffer::~SoundBuffer() {
    std::lock_guard lock(mixer_->lock());
    mixer_->remove(voice_);
}

HRESULT SoundBuffer::duplicate(SoundBuffer** copy) {
    *copy = nullptr;
    auto* made = new (std::nothrow) SoundBuffer(mixer_, flags_);
    if (!made) return DSERR_OUTOFMEMORY;
    {
        std::lock_guard lock(mixer_->lock());
        Voice& to = made->voice_;
        to.samples = voice_.samples;
        to.bytes = voice_.bytes;
        to.frames = voice_.frames;
        to.format = voice_.format;
        to.volume = voice_.volume;
        to.pan = voice_.pan;
        to.frequency = voice_.frequency;
        to.is3D = voice_.is3D;
        to.spatial = voice_.spatial;
    }
    if (const HRESULT hr = made->registerWithMixer(); FAILED(hr)) {
        delete made;
        return hr;
    }
    *copy = made;
    return DS_OK;
}

HRESULT SoundBuffer::QueryInterface(REFIID iid, void** object) {
    if (!object) return DSERR_INVALIDPARAM;
    *object = nullptr;
    if (iid == IID_IDirectSoundBuffer || iid == IID_IDirectSoundBuffer8)
        *object = static_cast<IDirectSoundBuffer8*>(this);
    else if (iid == IID_IDirectSoundNotify && (flags_ & DSBCAPS_CTRLPOSITIONNOTIFY))
        *object = static_cast<IDirectSoundNotify*>(this);
    else if (iid == IID_IDirectSound3DBuffer && (flags_ & DSBCAPS_CTRL3D))
        *object = static_cast<IDirectSound3DBuffer*>(this);
    else
        return E_NOINTERFACE;
    AddRef();
    return DS_OK;
}

ULONG SoundBuffer::AddRef() {
    return ++references_;
}

ULONG SoundBuffer::Release() {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
}

HRESULT SoundBuffer::GetCurrentPosition(DWORD* playCursor, DWORD* writeCursor) {
    if (!playCursor && !writeCursor) return DSERR_INVALIDPARAM;
    std::lock_guard lock(mixer_->lock());
    const DWORD frameBytes = voice_.format.blockAlign;
    if (playCursor) *playCursor = voice_.frame * frameBytes;
    if (writeCursor) {
        // Ahead of the write cursor nothing has been or is being copied
        // for mixing, so writing there is safe.
        const DWORD ahead = voice_.playing ? Mixer::readAhead(voice_) : 0;
        *writeCursor = DWORD((uint64_t(voice_.frame) + ahead) % voice_.frames) * frameBytes;
    }
    return DS_OK;
}

HRESULT SoundBuffer::GetFormat(WAVEFORMATEX* format, DWORD size, DWORD* written) {
    if (!format) {
        if (!written) return DSERR_INVALIDPARAM;
        *written = sizeof(WAVEFORMATEX);
        return DS_OK;
    }
    if (size < sizeof(WAVEFORMATEX)) return DSERR_INVALIDPARAM;
    const PcmFormat& f = voice_.format; // fixed at creation
    *format = {WAVE_FORMAT_PCM, f.channels, f.rate, f.rate * f.blockAlign, f.blockAlign, f.bits, 0};
    if (written) *written = sizeof(WAVEFORMATEX);
    return DS_OK;
}

HRESULT SoundBuffer::GetVolume(LONG* volume) {
    if (!volume) return DSERR_INVALIDPARAM;
    if (!(flags_ & DSBCAPS_CTRLVOLUME)) return DSERR_CONTROLUNAVAIL;
    std::lock_guard lock(mixer_->lock());
    *volume = voice_.volume;
    return DS_OK;
}

HRESULT SoundBuffer::GetPan(LONG* pan) {
    if (!pan) return DSERR_INVALIDPARAM;
    if (!(flags_ & DSBCAPS_CTRLPAN)) return DSERR_CONTROLUNAVAIL;
    std::lock_guard lock(mixer_->lock());
    *pan = voice_.pan;
    return DS_OK;
}

HRESULT SoundBuffer::GetFrequency(DWORD* frequency) {
    if (!frequency) return DSERR_INVALIDPARAM;
    if (!(flags_ & DSBCAPS_CTRLFREQUENCY)) return DSERR_CONTROLUNAVAIL;
    std::lock_guard lock(mixer_->lock());
    *frequency = voice_.frequency;
    return DS_OK;
}

HRESULT SoundBuffer::GetStatus(DWORD* status) {
    if (!status) return DSERR_INVALIDPARAM;
    mixer_->poll();
    std::lock_guard lock(mixer_->lock());
    if (mixer_->isLost(voice_)) {
        *status = DSBSTATUS_BUFFERLOST;
        return DS_OK;
    }
    *status = 0;
    if (voice_.playing) *status = DSBSTATUS_PLAYING | (voice_.looping ? DSBSTATUS_LOOPING : 0);
    return DS_OK;
}

HRESULT SoundBuffer::Lock(DWORD offset, DWORD bytes, LPVOID* part1, DWORD* bytes1, LPVOID* part2,
                          DWORD* bytes2, DWORD flags) {
    if (!part1 || !bytes1) return DSERR_INVALIDPARAM;
    *part1 = nullptr;
    *bytes1 = 0;
    if (part2) *part2 = nullptr;
    if (bytes2) *bytes2 = 0;
    if (flags & ~(DSBLOCK_FROMWRITECURSOR | DSBLOCK_ENTIREBUFFER)) return DSERR_INVALIDPARAM;
    mixer_->poll();
    std::lock_guard lock(mixer_->lock());
    if (mixer_->isLost(voice_)) return DSERR_BUFFERLOST;
    if (flags & DSBLOCK_FROMWRITECURSOR) {
        const DWORD ahead = voice_.playing ? Mixer::readAhead(voice_) : 0;
        offset = DWORD((uint64_t(voice_.frame) + ahead) % voice_.frames) * voice_.format.blockAlign;
    }
    if (flags & DSBLOCK_ENTIREBUFFER) bytes = voice_.bytes;
    if (offset >= voice_.bytes || bytes == 0 || bytes > voice_.bytes) return DSERR_INVALIDPARAM;
    // A region that runs past the end continues at the start: two parts.
    const DWORD first = std::min(bytes, voice_.bytes - offset);
    *part1 = voice_.samples.get() + offset;
    *bytes1 = first;
    if (first < bytes && part2 && bytes2) {
        *part2 = voice_.samples.get();
        *bytes2 = bytes - first;
    }
    return DS_OK;
}

HRESULT SoundBuffer::Unlock(LPVOID part1, DWORD bytes1, LPVOID part2, DWORD bytes2) {
    // The samples were written in place; only check that the parts are ours.
    const auto* begin = voice_.samples.get();
    const auto* end = begin + voice_.bytes;
    const auto* first = static_cast<const uint8_t*>(part1);
    if (!first || first < begin || first >= end || bytes1 > size_t(end - first))
        return DSERR_INVALIDPARAM;
    if (part2 && (part2 != begin || bytes2 > voice_.bytes)) return DSERR_INVALIDPARAM;
    return DS_OK;
}

HRESULT SoundBuffer::Play(DWORD reserved, DWORD priority, DWORD flags) {
    if (reserved != 0 || priority != 0 || (flags & ~DSBPLAY_LOOPING)) return DSERR_INVALIDPARAM;
    mixer_->poll();
    std::lock_guard lock(mixer_->lock());
    if (mixer_->isLost(voice_)) return DSERR_BUFFERLOST;
    voice_.looping = (flags & DSBPLAY_LOOPING) != 0;
    return mixer_->start(voice_) ? DS_OK : DSERR_OUTOFMEMORY;
}

HRESULT SoundBuffer::SetCurrentPosition(DWORD position) {
    std::lock_guard lock(mixer_->lock());
    if (position >= voice_.bytes) return DSERR_INVALIDPARAM;
    voice_.frame = position / voice_.format.blockAlign;
    voice_.fraction = 0;
    return DS_OK;
}

HRESULT SoundBuffer::SetFormat(const WAVEFORMATEX*) {
    return DSERR_INVALIDCALL; // only the primary buffer's format can be set
}

HRESULT SoundBuffer::SetVolume(LONG volume) {
    if (!(flags_ & DSBCAPS_CTRLVOLUME)) return DSERR_CONTROLUNAVAIL;
    if (volume < DSBVOLUME_MIN || volume > DSBVOLUME_MAX) return DSERR_INVALIDPARAM;
    std::lock_guard lock(mixer_->lock());
    voice_.volume = volume;
    return DS_OK;
}

HRESULT SoundBuffer::SetPan(LONG pan) {
    if (!(flags_ & DSBCAPS_CTRLPAN)) return DSERR_CONTROLUNAVAIL;
    if (pan < DSBPAN_LEFT || pan > DSBPAN_RIGHT) return DSERR_INVALIDPARAM;
    std::lock_guard lock(mixer_->lock());
    voice_.pan = pan;
    return DS_OK;
}

HRESULT SoundBuffer::SetFrequency(DWORD frequency) {
    if (!(flags_ & DSBCAPS_CTRLFREQUENCY)) return DSERR_CONTROLUNAVAIL;
    if (frequency == DSBFREQUENCY_ORIGINAL) frequency = voice_.format.rate;
    if (frequency < DSBFREQUENCY_MIN || frequency > DSBFREQUENCY_MAX) return DSERR_INVALIDPARAM;
    std::lock_guard lock(mixer_->lock());
    voice_.frequency = frequency;
    return DS_OK;
}

HRESULT SoundBuffer::Stop() {
    std::lock_guard lock(mixer_->lock());
    if (!voice_.playing) return DS_OK;
    mixer_->stop(voice_);
    for (const auto& n : voice_.notifications)
        if (n.dwOffset == DSBPN_OFFSETSTOP) sys::setEvent(n.hEventNotify);
    return DS_OK;
}

HRESULT SoundBuffer::Restore() {
    if (!mixer_->bringBack()) return DSERR_BUFFERLOST;
    std::lock_guard lock(mixer_->lock());
    // Another loss may have come between the two locks.
    if (mixer_->lost()) return DSERR_BUFFERLOST;
    // The samples are still in memory; the caller refills them anyway, as
    // it must where a lost buffer's memory really went.
    voice_.epoch = mixer_->lossCount();
    return DS_OK;
}

HRESULT SoundBuffer::SetNotificationPositions(DWORD count, const DSBPOSITIONNOTIFY* positions) {
    if (count > 0 && !positions) return DSERR_INVALIDPARAM;
    if (count > kMaxNotifications) return DSERR_INVALIDPARAM;
    for (DWORD i = 0; i < count; ++i) {
        const DSBPOSITIONNOTIFY& n = positions[i];
        if (!n.hEventNotify || (n.dwOffset >= voice_.bytes && n.dwOffset != DSBPN_OFFSETSTOP))
            return DSERR_INVALIDPARAM;
    }
    std::vector<DSBPOSITIONNOTIFY> sorted;
    try {
        sorted.assign(positions, positions + count);
    } catch (const std::bad_alloc&) {
        return DSERR_OUTOFMEMORY;
    }
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const auto& a, const auto& b) { return a.dwOffset < b.dwOffset; });
    std::lock_guard lock(mixer_->lock());
    if (voice_.playing) return DSERR_INVALIDCALL;
    voice_.notifications.swap(sorted);
    return DS_OK;
}

Spatial& SoundBuffer::spatialFor(DWORD apply, PendingSetting setting) {
    if (apply != DS3D_DEFERRED) return voice_.spatial;
    if (voice_.pendingMask == 0) voice_.pending = voice_.spatial;
    voice_.pendingMask |= setting;
    return voice_.pending;
}

HRESULT SoundBuffer::SetPosition(float x, float y, float z, DWORD apply) {
    if (!isFinite(x, y, z) || apply > DS3D_DEFERRED) return DSERR_INVALIDPARAM;
    std::lock_guard lock(mixer_->lock());
    spatialFor(apply, kPendingPosition).position = {x, y, z};
    return DS_OK;
}

HRESULT SoundBuffer::GetPosition(float* x, float* y, float* z) {
    if (!x || !y || !z) return DSERR_INVALIDPARAM;
    std::lock_guard lock(mixer_->lock());
    *x = voice_.spatial.position.x;
    *y = voice_.spatial.position.y;
    *z = voice_.spatial.position.z;
    return DS_OK;
}

HRESULT SoundBuffer::SetMinDistance(float distance, DWORD apply) {
    if (!isFinite(distance) || distance <= 0 || apply > DS3D_DEFERRED) return DSERR_INVALIDPARAM;
    std::lock_guard lock(mixer_->lock());
    spatialFor(apply, kPendingMinDistance).minDistance = distance;
    return DS_OK;
}

HRESULT SoundBuffer::SetMaxDistance(float distance, DWORD apply) {
    if (!isFinite(distance) || distance <= 0 || apply > DS3D_DEFERRED) return DSERR_INVALIDPARAM;
    std::lock_guard lock(mixer_->lock());
    spatialFor(apply, kPendingMaxDistance).maxDistance = distance;
    return DS_OK;
}

HRESULT SoundBuffer::GetMinDistance(float* distance) {
    if (!distance) return DSERR_INVALIDPARAM;
    std::lock_guard lock(mixer_->lock());
    *distance = voice_.spatial.minDistance;
    return DS_OK;
}

HRESULT SoundBuffer::GetMaxDistance(float* distance) {
    if (!distance) return DSERR_INVALIDPARAM;
    std::lock_guard lock(mixer_->lock());
    *distance = voice_.spatial.maxDistance;
    return DS_OK;
}

} // namespace dsound
