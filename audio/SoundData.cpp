// SPDX-License-Identifier: MIT
#include "audio/SoundData.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "audio/Audio.h"
#include "sys/Time.h"

namespace {

std::vector<SoundData*>& resources() {
    static std::vector<SoundData*> list;
    return list;
}

// Deletes what is left at exit, so no resource outlives the program.
struct ResourceReaper {
    ~ResourceReaper() { SoundData::clearAll(); }
} reaper;

} // namespace

SoundData::SoundData() {
    resources().push_back(this);
}

SoundData::~SoundData() {
    std::vector<SoundData*>& list = resources();
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
    for (int32_t i = 0; i < freeCount; ++i)
        if (freeBuffers.items[i]) freeBuffers.items[i]->Release();
    if (master) master->Release();
    if (kind == KindVorbis) ov_clear(&vorbis);
    if (file && ownsFile) file->close();
    delete[] samples;
}

void SoundData::clearAll() {
    while (!resources().empty()) delete resources().back();
}

HRESULT restoreBuffer(IDirectSoundBuffer8* buffer, int32_t attempts) {
    if (!buffer) return CO_E_NOTINITIALIZED;
    DWORD status = 0;
    HRESULT result = buffer->GetStatus(&status);
    if (FAILED(result) || !(status & DSBSTATUS_BUFFERLOST)) return result;
    for (int32_t i = 0; i < attempts; ++i) {
        result = buffer->Restore();
        if (result != DSERR_BUFFERLOST) return result;
        sys::Sleep(10);
    }
    return DSERR_BUFFERLOST;
}

IDirectSoundBuffer8* SoundData::createBuffer() {
    if (!Audio::device) return nullptr;
    IDirectSoundBuffer* first = nullptr;
    if (FAILED(Audio::device->CreateSoundBuffer(&bufferDesc, &first, nullptr)) || !first)
        return nullptr;
    IDirectSoundBuffer8* buffer = nullptr;
    if (FAILED(first->QueryInterface(IID_IDirectSoundBuffer8, reinterpret_cast<void**>(&buffer))))
        buffer = nullptr;
    first->Release();
    return buffer;
}

IDirectSoundBuffer8* SoundData::getBuffer() {
    if (streaming) return createBuffer();
    if (!master) {
        master = createBuffer();
        if (!master) return nullptr;
        fillRegion(master, 0, 0, dataSize, false);
    }
    if (freeCount > 0) return freeBuffers.items[--freeCount];
    if (createdCount >= maxBuffers || !Audio::device) return nullptr;
    for (int32_t i = 0; i < bufferBatch; ++i) {
        IDirectSoundBuffer* duplicate = nullptr;
        if (FAILED(Audio::device->DuplicateSoundBuffer(master, &duplicate)) || !duplicate) break;
        IDirectSoundBuffer8* buffer = nullptr;
        const HRESULT asked =
            duplicate->QueryInterface(IID_IDirectSoundBuffer8, reinterpret_cast<void**>(&buffer));
        duplicate->Release();
        if (FAILED(asked) || !buffer) break;
        IDirectSoundBuffer8** slot = freeBuffers.get(freeCount);
        if (!slot) {
            buffer->Release();
            break;
        }
        *slot = buffer;
        ++freeCount;
    }
    createdCount += bufferBatch;
    return freeCount > 0 ? freeBuffers.items[--freeCount] : nullptr;
}

uint32_t SoundData::fillRegion(IDirectSoundBuffer8* buffer, uint32_t position, uint32_t offset,
                               uint32_t size, bool looping) {
    if (FAILED(restoreBuffer(buffer))) return 0;
    LPVOID part1 = nullptr, part2 = nullptr;
    DWORD bytes1 = 0, bytes2 = 0;
    if (FAILED(buffer->Lock(offset, size, &part1, &bytes1, &part2, &bytes2, 0))) return 0;
    std::lock_guard<std::mutex> hold(decoderLock);
    uint32_t read = 0;
    // The region may come back in two parts when it wraps; fill them in turn.
    uint8_t* parts[2] = {static_cast<uint8_t*>(part1), static_cast<uint8_t*>(part2)};
    const uint32_t lengths[2] = {part1 ? bytes1 : 0, part2 ? bytes2 : 0};
    uint32_t silence = leadIn;
    bool sought = false;
    for (int32_t p = 0; p < 2; ++p) {
        uint8_t* target = parts[p];
        uint32_t length = lengths[p];
        const uint32_t quiet = std::min(silence, length);
        if (quiet) std::memset(target, format.wBitsPerSample == 8 ? 0x80 : 0, quiet);
        silence -= quiet;
        target += quiet;
        length -= quiet;
        if (!length) continue;
        if (!sought) {
            if (position != Audio::kNoPosition) seekDecoder(position);
            sought = true;
        }
        read += readDecoder(target, length, looping);
    }
    buffer->Unlock(part1, bytes1, part2, bytes2);
    return read;
}

void SoundData::silenceRegion(IDirectSoundBuffer8* buffer, uint32_t offset, uint32_t size) {
    if (FAILED(restoreBuffer(buffer))) return;
    LPVOID part1 = nullptr, part2 = nullptr;
    DWORD bytes1 = 0, bytes2 = 0;
    if (FAILED(buffer->Lock(offset, size, &part1, &bytes1, &part2, &bytes2, 0))) return;
    const int silence = format.wBitsPerSample == 8 ? 0x80 : 0;
    if (part1) std::memset(part1, silence, bytes1);
    if (part2) std::memset(part2, silence, bytes2);
    buffer->Unlock(part1, bytes1, part2, bytes2);
}

uint32_t SoundData::tell() {
    std::lock_guard<std::mutex> hold(decoderLock);
    return tellLocked();
}

uint32_t SoundData::tellLocked() {
    switch (kind) {
    case KindVorbis: {
        const ogg_int64_t frames = ov_pcm_tell(&vorbis);
        if (frames < 0) return 0;
        return uint32_t(uint64_t(frames) * format.nBlockAlign - carryLength);
    }
    case KindWave:
        if (samples) return dataStart;
        return file ? uint32_t(file->tell()) - dataStart : 0;
    default: return 0;
    }
}

bool SoundData::decodeFrame(uint8_t* frame) {
    const long got =
        ov_read(&vorbis, reinterpret_cast<char*>(frame), format.nBlockAlign, 0, 2, 1, nullptr);
    return got == long(format.nBlockAlign);
}

void SoundData::seekDecoder(uint32_t position) {
    switch (kind) {
    case KindVorbis: {
        // Positions are bytes of decoded samples, so a half that ends in
        // the middle of a frame continues exactly where it stopped.
        if (tellLocked() == position) return;
        const uint32_t block = format.nBlockAlign;
        carryLength = 0;
        if (ov_pcm_seek(&vorbis, ogg_int64_t(position / block)) != 0) return;
        const uint32_t skip = position % block;
        if (skip && decodeFrame(carry)) {
            std::memmove(carry, carry + skip, block - skip);
            carryLength = block - skip;
        }
        break;
    }
    case KindWave:
        if (samples)
            dataStart = std::min(position, dataSize);
        else if (file)
            file->seek(int32_t(dataStart + std::min(position, dataSize)), 0);
        break;
    default: break;
    }
}

uint32_t SoundData::readDecoder(uint8_t* destination, uint32_t length, bool looping) {
    if (kind == KindVorbis) return readVorbis(destination, length, looping);
    if (kind == KindWave) return readWave(destination, length, looping);
    std::memset(destination, 0, length);
    return 0;
}

uint32_t SoundData::readVorbis(uint8_t* destination, uint32_t length, bool looping) {
    const uint32_t block = format.nBlockAlign;
    uint32_t filled = std::min(carryLength, length);
    std::memcpy(destination, carry, filled);
    std::memmove(carry, carry + filled, carryLength - filled);
    carryLength -= filled;
    bool rewoundEmpty = false;
    while (filled < length) {
        const uint32_t wanted = length - filled;
        long got;
        if (wanted < block) {
            // Less than a frame left: decode one and keep what does not fit.
            uint8_t frame[8];
            got = decodeFrame(frame) ? long(block) : 0;
            if (got > 0) {
                std::memcpy(destination + filled, frame, wanted);
                std::memcpy(carry, frame + wanted, block - wanted);
                carryLength = block - wanted;
                filled = length;
                break;
            }
        } else {
            const uint32_t whole = std::min(wanted - wanted % block, 1u << 20);
            got = ov_read(&vorbis, reinterpret_cast<char*>(destination + filled), int(whole), 0, 2,
                          1, nullptr);
            if (got == OV_HOLE) continue; // a gap in the stream: read on
            if (got > 0) {
                filled += uint32_t(got);
                rewoundEmpty = false;
                continue;
            }
        }
        // The end, or a stream that cannot be read further. Looping starts
        // over from the first sample, unless that gives nothing either.
        if (got == 0 && looping && !rewoundEmpty && ov_pcm_seek(&vorbis, 0) == 0) {
            rewoundEmpty = true;
            continue;
        }
        std::memset(destination + filled, 0, length - filled);
        return filled;
    }
    return length;
}

uint32_t SoundData::readWave(uint8_t* destination, uint32_t length, bool looping) {
    const uint8_t silence = format.wBitsPerSample == 8 ? 0x80 : 0;
    auto copy = [&](uint8_t* target, uint32_t count) -> uint32_t {
        if (samples) {
            const uint32_t n = std::min(count, dataSize - std::min(dataStart, dataSize));
            std::memcpy(target, samples + dataStart, n);
            dataStart += n;
            return n;
        }
        if (!file) return 0;
        const int32_t at = file->tell();
        const uint32_t end = dataStart + dataSize;
        const uint32_t left = at < 0 || uint32_t(at) >= end ? 0 : end - uint32_t(at);
        const int32_t got = file->read(target, int32_t(std::min(count, left)));
        return got > 0 ? uint32_t(got) : 0;
    };
    auto rewind = [&] {
        if (samples)
            dataStart = 0;
        else if (file)
            file->seek(int32_t(dataStart), 0);
    };
    const uint32_t first = copy(destination, length);
    if (first == length) return length;
    rewind();
    if (!looping) {
        std::memset(destination + first, silence, length - first);
        return first;
    }
    const uint32_t second = copy(destination + first, length - first);
    // Data shorter than the rest of the region: the remainder stays silent.
    std::memset(destination + first + second, silence, length - first - second);
    return length;
}
