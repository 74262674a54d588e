// SPDX-License-Identifier: MIT
// Stands in for DirectSound 8 on SDL2 audio: one software mixer, run by the
// SDL audio callback or offline for rendering to a file.
//  [x] DirectSoundCreate8, cooperative level, the primary buffer's format
//  [x] secondary buffers: 8/16-bit PCM, mono/stereo, any rate; Lock/Unlock
//      with the two-region wrap; Play (looping), Stop, play and write
//      cursors, SetCurrentPosition, volume in hundredths of a decibel, pan,
//      frequency, GetStatus with DSBSTATUS_BUFFERLOST, Restore
//  [x] DuplicateSoundBuffer: duplicates share the master's samples
//  [x] IDirectSoundNotify: events signalled as the play cursor passes the
//      positions (and DSBPN_OFFSETSTOP on Stop)
//  [x] IDirectSound3DBuffer and the listener (primary buffer): position,
//      min and max distance, inverse-distance rolloff and pan, in software
//  [x] a removed audio device makes every buffer lost; Restore succeeds
//      once a device is back
//  [ ] hardware voices, effects (SetFX), Doppler, cones, speaker config
//  [ ] formats other than 8/16-bit PCM; an output other than 44,100 Hz
//      16-bit stereo (the primary buffer's SetFormat is logged, not applied)
//  [ ] window focus: every buffer plays as with DSBCAPS_GLOBALFOCUS
//  [ ] writing the primary buffer (DSSCL_WRITEPRIMARY)
#pragma once

#include <cstddef>
#include <cstdint>

#include "shared/Results.h"
#include "sys/Events.h"
#include "win/WinTypes.h"

using LPVOID = void*;
using ULONG = uint32_t;

inline constexpr HRESULT DS_OK = 0;
inline constexpr HRESULT DSERR_BUFFERLOST = HRESULT(0x88780096u);
inline constexpr HRESULT DSERR_INVALIDCALL = HRESULT(0x88780032u);
inline constexpr HRESULT DSERR_INVALIDPARAM = E_INVALIDARG;
inline constexpr HRESULT DSERR_OUTOFMEMORY = E_OUTOFMEMORY;
inline constexpr HRESULT DSERR_NODRIVER = HRESULT(0x88780078u);
inline constexpr HRESULT DSERR_GENERIC = E_FAIL;
inline constexpr HRESULT DSERR_UNSUPPORTED = E_NOTIMPL;
inline constexpr HRESULT DSERR_PRIOLEVELNEEDED = HRESULT(0x88780046u);
inline constexpr HRESULT DSERR_CONTROLUNAVAIL = HRESULT(0x8878001Eu);
inline constexpr HRESULT DSERR_BADFORMAT = HRESULT(0x88780064u);
inline constexpr HRESULT DSERR_NOAGGREGATION = HRESULT(0x80040110u);
inline constexpr HRESULT E_NOINTERFACE = HRESULT(0x80004002u);
inline constexpr HRESULT CO_E_NOTINITIALIZED = HRESULT(0x800401F0u);

inline constexpr WORD WAVE_FORMAT_PCM = 1;

struct WAVEFORMATEX {
    WORD wFormatTag;
    WORD nChannels;
    DWORD nSamplesPerSec;
    DWORD nAvgBytesPerSec;
    WORD nBlockAlign;
    WORD wBitsPerSample;
    WORD cbSize;
};

// Interface identities: only which one is meant matters here.
struct DSGUID {
    uint32_t data1 = 0;
    friend constexpr bool operator==(const DSGUID&, const DSGUID&) = default;
};
using REFIID = const DSGUID&;
inline constexpr DSGUID GUID_NULL{0};
inline constexpr DSGUID DS3DALG_DEFAULT{0};
inline constexpr DSGUID IID_IDirectSoundBuffer{1};
inline constexpr DSGUID IID_IDirectSoundBuffer8{2};
inline constexpr DSGUID IID_IDirectSoundNotify{3};
inline constexpr DSGUID IID_IDirectSound3DBuffer{4};
inline constexpr DSGUID IID_IDirectSound3DListener{5};
inline constexpr DSGUID IID_IDirectSound8{6};

inline constexpr DWORD DSSCL_NORMAL = 1;
inline constexpr DWORD DSSCL_PRIORITY = 2;
inline constexpr DWORD DSSCL_EXCLUSIVE = 3;
inline constexpr DWORD DSSCL_WRITEPRIMARY = 4;

inline constexpr DWORD DSBCAPS_PRIMARYBUFFER = 0x1;
inline constexpr DWORD DSBCAPS_STATIC = 0x2;
inline constexpr DWORD DSBCAPS_LOCHARDWARE = 0x4;
inline constexpr DWORD DSBCAPS_LOCSOFTWARE = 0x8;
inline constexpr DWORD DSBCAPS_CTRL3D = 0x10;
inline constexpr DWORD DSBCAPS_CTRLFREQUENCY = 0x20;
inline constexpr DWORD DSBCAPS_CTRLPAN = 0x40;
inline constexpr DWORD DSBCAPS_CTRLVOLUME = 0x80;
inline constexpr DWORD DSBCAPS_CTRLPOSITIONNOTIFY = 0x100;
inline constexpr DWORD DSBCAPS_GLOBALFOCUS = 0x8000;
inline constexpr DWORD DSBCAPS_GETCURRENTPOSITION2 = 0x10000;

inline constexpr DWORD DSBPLAY_LOOPING = 0x1;
inline constexpr DWORD DSBSTATUS_PLAYING = 0x1;
inline constexpr DWORD DSBSTATUS_BUFFERLOST = 0x2;
inline constexpr DWORD DSBSTATUS_LOOPING = 0x4;
inline constexpr DWORD DSBLOCK_FROMWRITECURSOR = 0x1;
inline constexpr DWORD DSBLOCK_ENTIREBUFFER = 0x2;

inline constexpr LONG DSBVOLUME_MIN = -10000;
inline constexpr LONG DSBVOLUME_MAX = 0;
inline constexpr LONG DSBPAN_LEFT = -10000;
inline constexpr LONG DSBPAN_RIGHT = 10000;
inline constexpr DWORD DSBFREQUENCY_MIN = 100;
inline constexpr DWORD DSBFREQUENCY_MAX = 200000;
inline constexpr DWORD DSBFREQUENCY_ORIGINAL = 0;
inline constexpr DWORD DSBSIZE_MIN = 4;
inline constexpr DWORD DSBSIZE_MAX = 0x0FFFFFFF;
inline constexpr DWORD DSBPN_OFFSETSTOP = 0xFFFFFFFF;

inline constexpr DWORD DS3D_IMMEDIATE = 0;
inline constexpr DWORD DS3D_DEFERRED = 1;
inline constexpr float DS3D_DEFAULTMINDISTANCE = 1.0f;
inline constexpr float DS3D_DEFAULTMAXDISTANCE = 1000000000.0f;

struct DSBUFFERDESC {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwBufferBytes;
    DWORD dwReserved;
    WAVEFORMATEX* lpwfxFormat;
    DSGUID guid3DAlgorithm;
};

struct DSBPOSITIONNOTIFY {
    DWORD dwOffset;
    sys::EventHandle hEventNotify;
};

class IUnknownLike {
public:
    virtual HRESULT QueryInterface(REFIID iid, void** object) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

protected:
    ~IUnknownLike() = default;
};

class IDirectSoundBuffer8 : public IUnknownLike {
public:
    virtual HRESULT GetCurrentPosition(DWORD* playCursor, DWORD* writeCursor) = 0;
    virtual HRESULT GetFormat(WAVEFORMATEX* format, DWORD size, DWORD* written) = 0;
    virtual HRESULT GetVolume(LONG* volume) = 0;
    virtual HRESULT GetPan(LONG* pan) = 0;
    virtual HRESULT GetFrequency(DWORD* frequency) = 0;
    virtual HRESULT GetStatus(DWORD* status) = 0;
    virtual HRESULT Lock(DWORD offset, DWORD bytes, LPVOID* part1, DWORD* bytes1, LPVOID* part2,
                         DWORD* bytes2, DWORD flags) = 0;
    virtual HRESULT Play(DWORD reserved, DWORD priority, DWORD flags) = 0;
    virtual HRESULT SetCurrentPosition(DWORD position) = 0;
    virtual HRESULT SetFormat(const WAVEFORMATEX* format) = 0;
    virtual HRESULT SetVolume(LONG volume) = 0;
    virtual HRESULT SetPan(LONG pan) = 0;
    virtual HRESULT SetFrequency(DWORD frequency) = 0;
    virtual HRESULT Stop() = 0;
    virtual HRESULT Unlock(LPVOID part1, DWORD bytes1, LPVOID part2, DWORD bytes2) = 0;
    virtual HRESULT Restore() = 0;

protected:
    ~IDirectSoundBuffer8() = default;
};
// The engine asks for the version-8 interface; both are the same object here.
using IDirectSoundBuffer = IDirectSoundBuffer8;

class IDirectSoundNotify : public IUnknownLike {
public:
    virtual HRESULT SetNotificationPositions(DWORD count, const DSBPOSITIONNOTIFY* positions) = 0;

protected:
    ~IDirectSoundNotify() = default;
};

class IDirectSound3DBuffer : public IUnknownLike {
public:
    virtual HRESULT SetPosition(float x, float y, float z, DWORD apply) = 0;
    virtual HRESULT GetPosition(float* x, float* y, float* z) = 0;
    virtual HRESULT SetMinDistance(float distance, DWORD apply) = 0;
    virtual HRESULT SetMaxDistance(float distance, DWORD apply) = 0;
    virtual HRESULT GetMinDistance(float* distance) = 0;
    virtual HRESULT GetMaxDistance(float* distance) = 0;

protected:
    ~IDirectSound3DBuffer() = default;
};

// The listener of the primary buffer: where the ears are and which way they
// face (front and top vectors; right is top × front).
class IDirectSound3DListener : public IUnknownLike {
public:
    virtual HRESULT SetPosition(float x, float y, float z, DWORD apply) = 0;
    virtual HRESULT SetOrientation(float frontX, float frontY, float frontZ, float topX, float topY,
                                   float topZ, DWORD apply) = 0;
    virtual HRESULT CommitDeferredSettings() = 0;

protected:
    ~IDirectSound3DListener() = default;
};

class IDirectSound8 : public IUnknownLike {
public:
    virtual HRESULT CreateSoundBuffer(const DSBUFFERDESC* desc, IDirectSoundBuffer** buffer,
                                      void* outer) = 0;
    virtual HRESULT DuplicateSoundBuffer(IDirectSoundBuffer* original,
                                         IDirectSoundBuffer** duplicate) = 0;
    virtual HRESULT SetCooperativeLevel(HWND window, DWORD level) = 0;

protected:
    ~IDirectSound8() = default;
};

// The default device (null GUID only) on the SDL audio output.
// DSERR_NODRIVER when SDL has no audio device.
HRESULT DirectSoundCreate8(const DSGUID* device, IDirectSound8** sound, void* outer);

namespace dsound {

// The mixer's output: 44,100 Hz, 16-bit, stereo.
inline constexpr DWORD kOutputRate = 44100;
inline constexpr int kOutputChannels = 2;

// A device with no audio output: nothing plays until render() pulls the
// mix, as the audio callback would, into `frames` stereo frames. The same
// calls give the same samples, faster than real time.
HRESULT createOfflineDevice(IDirectSound8** sound);
void render(IDirectSound8* sound, int16_t* frames, size_t frameCount);

namespace test {
// Acts as if the audio device was removed (every buffer lost, Restore
// fails) or came back.
void loseDevice(IDirectSound8* sound);
void returnDevice(IDirectSound8* sound);
} // namespace test

} // namespace dsound
