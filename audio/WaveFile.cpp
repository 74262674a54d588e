// SPDX-License-Identifier: MIT
#include "audio/WaveFile.h"

#include <cstring>

namespace {

constexpr uint16_t kExtensible = 0xFFFE;
constexpr uint32_t kLowestRate = 100;
constexpr uint32_t kHighestRate = 200000;

uint32_t little32(const uint8_t* bytes) {
    return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 |
           uint32_t(bytes[3]) << 24;
}
uint16_t little16(const uint8_t* bytes) {
    return uint16_t(bytes[0] | bytes[1] << 8);
}

bool readAt(FileInterface& file, uint32_t position, void* target, uint32_t count) {
    if (file.seek(int32_t(position), 0) != int32_t(position)) return false;
    return file.read(target, int32_t(count)) == int32_t(count);
}

bool readFormat(const uint8_t* chunk, uint32_t size, WAVEFORMATEX& format, std::string& why) {
    uint16_t tag = little16(chunk);
    if (tag == kExtensible) {
        // The sub-format's first two bytes carry the plain format tag.
        if (size < 40) {
            why = "its extensible format chunk is too short";
            return false;
        }
        tag = little16(chunk + 24);
    }
    const uint16_t channels = little16(chunk + 2);
    const uint32_t rate = little32(chunk + 4);
    const uint16_t blockAlign = little16(chunk + 12);
    const uint16_t bits = little16(chunk + 14);
    if (tag != WAVE_FORMAT_PCM) {
        why = "it is not PCM (format " + std::to_string(tag) + ")";
        return false;
    }
    if (channels != 1 && channels != 2) {
        why = "it has " + std::to_string(channels) + " channels; mono and stereo are supported";
        return false;
    }
    if (bits != 8 && bits != 16) {
        why = std::to_string(bits) + "-bit samples are not supported (8 and 16 are)";
        return false;
    }
    if (rate < kLowestRate || rate > kHighestRate) {
        why = "its sample rate " + std::to_string(rate) + " Hz is outside 100 to 200000";
        return false;
    }
    if (blockAlign != channels * bits / 8) {
        why = "its block size " + std::to_string(blockAlign) + " does not match its format";
        return false;
    }
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = channels;
    format.nSamplesPerSec = rate;
    format.nBlockAlign = blockAlign;
    format.nAvgBytesPerSec = rate * blockAlign;
    format.wBitsPerSample = bits;
    format.cbSize = 0;
    return true;
}

} // namespace

bool readWaveLayout(FileInterface& file, WaveLayout& layout, std::string& why) {
    const int32_t fileSize = file.size();
    uint8_t header[12];
    if (fileSize < 12 || !readAt(file, 0, header, 12) || std::memcmp(header, "RIFF", 4) != 0 ||
        std::memcmp(header + 8, "WAVE", 4) != 0) {
        why = "it is not a RIFF wave file";
        return false;
    }
    const uint64_t riffEnd = uint64_t(little32(header + 4)) + 8;
    if (riffEnd > uint64_t(fileSize)) {
        why = "its RIFF size (" + std::to_string(riffEnd - 8) +
              " bytes) runs past the end of the file (" + std::to_string(fileSize) + " bytes)";
        return false;
    }
    bool haveFormat = false;
    bool haveData = false;
    uint64_t at = 12;
    while (at + 8 <= riffEnd && !(haveFormat && haveData)) {
        uint8_t chunk[8];
        if (!readAt(file, uint32_t(at), chunk, 8)) break;
        const uint32_t size = little32(chunk + 4);
        const uint64_t body = at + 8;
        const uint64_t available = riffEnd - body;
        if (std::memcmp(chunk, "fmt ", 4) == 0 && !haveFormat) {
            uint8_t format[40] = {};
            if (size < 16 || size > available) {
                why = "its format chunk is damaged";
                return false;
            }
            const uint32_t wanted = size < 40 ? size : 40;
            if (!readAt(file, uint32_t(body), format, wanted)) {
                why = "its format chunk cannot be read";
                return false;
            }
            if (!readFormat(format, size, layout.format, why)) return false;
            haveFormat = true;
        } else if (std::memcmp(chunk, "data", 4) == 0 && !haveData) {
            // Data cut short by the end of the file ends where the file does.
            layout.dataStart = uint32_t(body);
            layout.dataSize = uint32_t(size < available ? size : available);
            haveData = true;
        }
        at = body + size + (size & 1); // chunks are padded to even sizes
    }
    if (!haveFormat) {
        why = "it has no format chunk";
        return false;
    }
    if (!haveData) {
        why = "it has no data chunk";
        return false;
    }
    layout.dataSize -= layout.dataSize % layout.format.nBlockAlign;
    return true;
}

std::string waveFileBytes(const int16_t* samples, size_t sampleCount, uint32_t rate,
                          uint16_t channels) {
    const uint32_t dataBytes = uint32_t(sampleCount * 2);
    std::string bytes;
    bytes.reserve(44 + dataBytes);
    auto put32 = [&](uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes.push_back(char((v >> (8 * i)) & 0xFF));
    };
    auto put16 = [&](uint16_t v) {
        bytes.push_back(char(v & 0xFF));
        bytes.push_back(char(v >> 8));
    };
    bytes += "RIFF";
    put32(36 + dataBytes);
    bytes += "WAVEfmt ";
    put32(16);
    put16(WAVE_FORMAT_PCM);
    put16(channels);
    put32(rate);
    put32(rate * channels * 2);
    put16(uint16_t(channels * 2));
    put16(16);
    bytes += "data";
    put32(dataBytes);
    for (size_t i = 0; i < sampleCount; ++i) put16(uint16_t(samples[i]));
    return bytes;
}
