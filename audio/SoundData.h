// SPDX-License-Identifier: MIT
// A sound resource: one wave or Ogg Vorbis file, held once however many
// sounds play it. Short sounds live whole in a master buffer whose
// duplicates the sounds play; long ones stream, each sound reading through
// the shared decoder into its own two-half buffer. The decoder is shared,
// so every seek-and-read holds the resource's lock: two sounds of one
// resource may fill at once from the playing thread and the event thread.
#pragma once

#include <vorbis/vorbisfile.h>

#include <cstdint>
#include <mutex>

#include "core/Array.h"
#include "core/FileInterface.h"
#include "core/String.h"
#include "dsound/DSound.h"

class SoundData {
public:
    enum Kind : int32_t { KindNone = 0, KindWave = 1, KindVorbis = 2, KindWaveUnseekable = 3 };

    String name;
    WAVEFORMATEX format{};
    uint32_t dataStart = 0; // file: where samples start; memory: the read position
    uint32_t dataSize = 0;  // bytes of samples (decoded bytes for Ogg Vorbis)
    int32_t kind = KindNone;
    OggVorbis_File vorbis{};
    FileInterface* file = nullptr;
    int32_t ownsFile = 0;
    uint8_t* samples = nullptr; // the whole wave data in memory, owned, or null
    int32_t streaming = 0;
    int32_t maxBuffers = 16;
    int32_t bufferBatch = 4;
    IDirectSoundBuffer8* master = nullptr;
    DynArray<IDirectSoundBuffer8*> freeBuffers{0, 16};
    int32_t freeCount = 0;
    int32_t createdCount = 0;
    DSBUFFERDESC bufferDesc{};
    uint32_t leadIn = 0; // bytes of silence before the samples of every fill

    SoundData();
    ~SoundData();
    SoundData(const SoundData&) = delete;
    SoundData& operator=(const SoundData&) = delete;

    // A buffer to play in: a new streaming buffer, or a duplicate of the
    // master (made in batches, recycled through freeBuffers). Null when
    // none can be had.
    IDirectSoundBuffer8* getBuffer();
    // Fills `size` bytes at `offset` of the buffer from stream `position`
    // (kNoPosition: where the decoder is). Returns the bytes read.
    uint32_t fillRegion(IDirectSoundBuffer8* buffer, uint32_t position, uint32_t offset,
                        uint32_t size, bool looping);
    // Writes silence over `size` bytes at `offset`.
    void silenceRegion(IDirectSoundBuffer8* buffer, uint32_t offset, uint32_t size);
    // The decoder's position in bytes of samples.
    uint32_t tell();

    // Every resource sits in one list, destroyed at exit (or by clearAll).
    static void clearAll();

private:
    IDirectSoundBuffer8* createBuffer();
    uint32_t readDecoder(uint8_t* destination, uint32_t length, bool looping);
    uint32_t readVorbis(uint8_t* destination, uint32_t length, bool looping);
    uint32_t readWave(uint8_t* destination, uint32_t length, bool looping);
    void seekDecoder(uint32_t position);
    uint32_t tellLocked();

    std::mutex decoderLock;
    // Ogg Vorbis decodes whole frames, but stream halves are not a whole
    // number of frames: the bytes of a frame cut by the end of a read wait
    // here for the next one, so positions stay exact to the byte.
    uint8_t carry[8] = {};
    uint32_t carryLength = 0;
    bool decodeFrame(uint8_t* frame);
};

// Restores a lost buffer: DS_OK once it is usable, CO_E_NOTINITIALIZED for
// none. Gives up (DSERR_BUFFERLOST) after `attempts` failed restores, 10 ms
// apart, rather than hanging for a device that never returns.
HRESULT restoreBuffer(IDirectSoundBuffer8* buffer, int32_t attempts = 100);
