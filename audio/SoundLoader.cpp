// SPDX-License-Identifier: MIT
#include "audio/SoundLoader.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "audio/Audio.h"
#include "audio/WaveFile.h"

namespace Audio {

namespace {

size_t readThrough(void* target, size_t size, size_t count, void* source) {
    auto* file = static_cast<FileInterface*>(source);
    const size_t bytes = size * count;
    if (size == 0 || bytes / size != count || bytes > 0x7FFFFFFF) return 0;
    const int32_t got = file->read(target, int32_t(bytes));
    return got > 0 ? size_t(got) / size : 0;
}

int seekThrough(void* source, ogg_int64_t offset, int whence) {
    auto* file = static_cast<FileInterface*>(source);
    int64_t target = offset;
    if (whence == SEEK_CUR) target += file->tell();
    if (whence == SEEK_END) target += file->size();
    if (target < 0 || target > file->size()) return -1;
    return file->seek(int32_t(target), 0) == int32_t(target) ? 0 : -1;
}

long tellThrough(void* source) {
    return static_cast<FileInterface*>(source)->tell();
}

constexpr ov_callbacks kCallbacks = {readThrough, seekThrough, nullptr, tellThrough};

void describeBuffers(SoundData& sound, const LoadOptions& options) {
    sound.bufferDesc.dwSize = sizeof(DSBUFFERDESC);
    sound.bufferDesc.dwFlags = DSBCAPS_CTRLVOLUME | DSBCAPS_CTRLFREQUENCY |
                               DSBCAPS_GETCURRENTPOSITION2 | DSBCAPS_GLOBALFOCUS;
    if (sound.streaming) sound.bufferDesc.dwFlags |= DSBCAPS_CTRLPOSITIONNOTIFY;
    if (options.positioned) sound.bufferDesc.dwFlags |= DSBCAPS_CTRL3D;
    sound.bufferDesc.dwBufferBytes = sound.streaming ? kStreamBytes : sound.dataSize;
    sound.bufferDesc.lpwfxFormat = &sound.format;
    sound.bufferDesc.guid3DAlgorithm = DS3DALG_DEFAULT;
}

SoundData* loadWave(FileInterface* file, const LoadOptions& options, std::string& why) {
    WaveLayout layout;
    if (!readWaveLayout(*file, layout, why)) return nullptr;
    if (layout.dataSize < DSBSIZE_MIN) {
        why = "it holds no samples";
        return nullptr;
    }
    auto sound = std::make_unique<SoundData>();
    sound->format = layout.format;
    sound->kind = SoundData::KindWave;
    sound->dataSize = layout.dataSize;
    if (layout.dataSize <= kStreamBytes) {
        sound->samples = new (std::nothrow) uint8_t[layout.dataSize];
        if (!sound->samples ||
            file->seek(int32_t(layout.dataStart), 0) != int32_t(layout.dataStart) ||
            file->read(sound->samples, int32_t(layout.dataSize)) != int32_t(layout.dataSize)) {
            why = "its samples cannot be read";
            return nullptr;
        }
        sound->dataStart = 0; // in memory this is the read position
        file->close();
    } else {
        sound->streaming = 1;
        sound->dataStart = layout.dataStart;
        sound->file = file;
        sound->ownsFile = 1;
        file->seek(int32_t(layout.dataStart), 0);
    }
    describeBuffers(*sound, options);
    return sound.release();
}

SoundData* loadVorbis(FileInterface* file, const LoadOptions& options, std::string& why) {
    auto sound = std::make_unique<SoundData>();
    if (ov_open_callbacks(file, &sound->vorbis, nullptr, 0, kCallbacks) != 0) {
        why = "it is not a readable Ogg Vorbis stream";
        return nullptr;
    }
    sound->kind = SoundData::KindVorbis;
    // From here the sound clears the decoder; it takes the file only once
    // the load succeeds, so a failure leaves the file to the caller.
    const vorbis_info* info = ov_info(&sound->vorbis, -1);
    if (!info || (info->channels != 1 && info->channels != 2) || info->rate < 100 ||
        info->rate > 200000) {
        why = info ? "it has " + std::to_string(info->channels) + " channels at " +
                         std::to_string(info->rate) +
                         " Hz; mono and stereo from 100 to 200000 Hz are supported"
                   : "its stream has no format";
        return nullptr;
    }
    WAVEFORMATEX& format = sound->format;
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = WORD(info->channels);
    format.nSamplesPerSec = DWORD(info->rate);
    format.wBitsPerSample = 16;
    format.nBlockAlign = WORD(format.nChannels * 2);
    format.nAvgBytesPerSec = format.nSamplesPerSec * format.nBlockAlign;
    const ogg_int64_t frames = ov_pcm_total(&sound->vorbis, -1);
    const int64_t bytes = frames < 0 ? -1 : int64_t(frames) * format.nBlockAlign;
    if (bytes >= 0 && bytes < int64_t(DSBSIZE_MIN)) {
        why = "it holds no samples";
        return nullptr;
    }
    // Held whole only when its length is known and fits one stream buffer.
    sound->streaming = bytes < 0 || bytes > int64_t(kStreamBytes);
    sound->dataSize = bytes < 0 || bytes > 0xFFFFFFFFll ? 0xFFFFFFFFu : uint32_t(bytes);
    sound->file = file;
    sound->ownsFile = 1;
    describeBuffers(*sound, options);
    return sound.release();
}

} // namespace

SoundData* loadSound(FileInterface* file, const LoadOptions& options, std::string& why) {
    if (!file || !file->isOpen) {
        why = "it cannot be opened";
        return nullptr;
    }
    char magic[4] = {};
    file->seek(0, 0);
    const bool read = file->read(magic, 4) == 4;
    file->seek(0, 0);
    if (read && std::memcmp(magic, "RIFF", 4) == 0) return loadWave(file, options, why);
    if (read && std::memcmp(magic, "OggS", 4) == 0) {
        SoundData* sound = loadVorbis(file, options, why);
        return sound;
    }
    why = "it is neither a RIFF wave nor an Ogg Vorbis file";
    return nullptr;
}

SoundData* loadSound(const String& path, const LoadOptions& options, std::string& why) {
    FileInterface* file = FileInterface::open(path, 0, 1, 1);
    if (!file->isOpen) {
        file->close();
        why = "it cannot be opened";
        return nullptr;
    }
    SoundData* sound = loadSound(file, options, why);
    if (!sound) file->close();
    return sound;
}

} // namespace Audio
