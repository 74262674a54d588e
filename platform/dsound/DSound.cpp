// SPDX-License-Identifier: MIT
// The device object: it makes buffers on its mixer, and owns the SDL
// output that pulls the mixer (none for an offline device). Buffers keep
// the mixer alive; when the device object goes, its output closes and the
// buffers still held stay lost.
#include "dsound/DSound.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <new>
#include <string>

#include "dsound/Mixer.h"
#include "dsound/PrimaryBuffer.h"
#include "dsound/SdlOutput.h"
#include "dsound/SoundBuffer.h"
#include "shared/StandInLog.h"
#include "sys/Unicode.h"

namespace dsound {
namespace {

class DirectSound final : public IDirectSound8 {
public:
    DirectSound(std::shared_ptr<Mixer> mixer, std::unique_ptr<SdlOutput> output)
        : mixer_(std::move(mixer)), output_(std::move(output)) {
        mixer_->attach(output_.get());
    }

    Mixer& mixer() { return *mixer_; }
    bool isOffline() const { return !output_; }

    HRESULT QueryInterface(REFIID iid, void** object) override {
        if (!object) return DSERR_INVALIDPARAM;
        *object = nullptr;
        if (iid != IID_IDirectSound8) return E_NOINTERFACE;
        *object = static_cast<IDirectSound8*>(this);
        AddRef();
        return DS_OK;
    }
    ULONG AddRef() override { return ++references_; }
    ULONG Release() override {
        const ULONG left = --references_;
        if (left == 0) delete this;
        return left;
    }

    HRESULT CreateSoundBuffer(const DSBUFFERDESC* desc, IDirectSoundBuffer** buffer,
                              void* outer) override {
        if (!buffer) return DSERR_INVALIDPARAM;
        *buffer = nullptr;
        if (outer) return DSERR_NOAGGREGATION;
        if (!desc || desc->dwSize != sizeof(DSBUFFERDESC)) return DSERR_INVALIDPARAM;
        mixer_->poll();
        if (desc->dwFlags & DSBCAPS_PRIMARYBUFFER) {
            PrimaryBuffer* primary = nullptr;
            const HRESULT hr = PrimaryBuffer::create(mixer_, *desc, &primary);
            *buffer = primary;
            return hr;
        }
        SoundBuffer* secondary = nullptr;
        const HRESULT hr = SoundBuffer::create(mixer_, *desc, &secondary);
        *buffer = secondary;
        return hr;
    }

    HRESULT DuplicateSoundBuffer(IDirectSoundBuffer* original,
                                 IDirectSoundBuffer** duplicate) override {
        if (!original || !duplicate) return DSERR_INVALIDPARAM;
        *duplicate = nullptr;
        auto* source = dynamic_cast<SoundBuffer*>(original);
        if (!source) return DSERR_INVALIDCALL; // the primary buffer has no copies
        if (source->mixer() != mixer_.get()) return DSERR_INVALIDPARAM;
        SoundBuffer* copy = nullptr;
        const HRESULT hr = source->duplicate(&copy);
        *duplicate = copy;
        return hr;
    }

    HRESULT SetCooperativeLevel(HWND, DWORD level) override {
        if (level < DSSCL_NORMAL || level > DSSCL_WRITEPRIMARY) return DSERR_INVALIDPARAM;
        standin::logOnce(u"IDirectSound8::SetCooperativeLevel: the window's focus is not "
                         u"followed; every buffer plays as with DSBCAPS_GLOBALFOCUS");
        if (level == DSSCL_WRITEPRIMARY)
            standin::logOnce(u"IDirectSound8::SetCooperativeLevel: DSSCL_WRITEPRIMARY is "
                             u"accepted, but the primary buffer cannot be written");
        std::lock_guard lock(mixer_->lock());
        mixer_->cooperativeLevel = level;
        return DS_OK;
    }

private:
    ~DirectSound() {
        mixer_->close();
        output_.reset(); // waits for a callback in progress
    }

    std::atomic<ULONG> references_{1};
    std::shared_ptr<Mixer> mixer_;
    std::unique_ptr<SdlOutput> output_;
};

HRESULT makeDevice(bool withOutput, IDirectSound8** sound) {
    std::shared_ptr<Mixer> mixer;
    try {
        mixer = std::make_shared<Mixer>();
    } catch (const std::bad_alloc&) {
        return DSERR_OUTOFMEMORY;
    }
    std::unique_ptr<SdlOutput> output;
    if (withOutput) {
        std::string reason;
        output = SdlOutput::open(*mixer, reason);
        if (!output) {
            standin::logOnce("DirectSoundCreate8 no device",
                             u"DirectSoundCreate8: no audio device: " +
                                 sys::utf8ToUtf16(sys::printable(reason)));
            return DSERR_NODRIVER;
        }
    }
    auto* device = new (std::nothrow) DirectSound(std::move(mixer), std::move(output));
    if (!device) return DSERR_OUTOFMEMORY;
    *sound = device;
    return DS_OK;
}

DirectSound* ours(IDirectSound8* sound) {
    return dynamic_cast<DirectSound*>(sound);
}

} // namespace

HRESULT createOfflineDevice(IDirectSound8** sound) {
    if (!sound) return DSERR_INVALIDPARAM;
    *sound = nullptr;
    return makeDevice(false, sound);
}

void render(IDirectSound8* sound, int16_t* frames, size_t frameCount) {
    if (!frames) return;
    DirectSound* device = ours(sound);
    if (!device || !device->isOffline()) {
        // Pulling a device that SDL already pulls would split its output.
        standin::logOnce(u"dsound::render: only an offline device can be rendered; silence");
        std::fill_n(frames, frameCount * kOutputChannels, int16_t(0));
        return;
    }
    device->mixer().mix(frames, frameCount);
}

namespace test {

void loseDevice(IDirectSound8* sound) {
    if (DirectSound* device = ours(sound)) device->mixer().forceLoss(true);
}

void returnDevice(IDirectSound8* sound) {
    if (DirectSound* device = ours(sound)) device->mixer().forceLoss(false);
}

} // namespace test
} // namespace dsound

HRESULT DirectSoundCreate8(const DSGUID* device, IDirectSound8** sound, void* outer) {
    if (!sound) return DSERR_INVALIDPARAM;
    *sound = nullptr;
    if (outer) return DSERR_NOAGGREGATION;
    if (device && *device != GUID_NULL) {
        standin::logOnce(u"DirectSoundCreate8: only the default device is available");
        return DSERR_NODRIVER;
    }
    return dsound::makeDevice(true, sound);
}
