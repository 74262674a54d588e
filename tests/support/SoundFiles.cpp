// SPDX-License-Identifier: MIT
#include "support/SoundFiles.h"

#include <vorbis/vorbisenc.h>
#include <vorbis/vorbisfile.h>

#include <cmath>
#include <cstdio>
#include <cstring>

#include "audio/WaveFile.h"

namespace audio_test {

std::vector<int16_t> sine(double hertz, double seconds, uint32_t rate, int channels,
                          double amplitude) {
    const size_t frames = size_t(seconds * rate);
    std::vector<int16_t> samples(frames * size_t(channels));
    for (size_t i = 0; i < frames; ++i) {
        const auto value =
            int16_t(std::lround(amplitude * std::sin(2.0 * M_PI * hertz * double(i) / rate)));
        for (int c = 0; c < channels; ++c) samples[i * size_t(channels) + size_t(c)] = value;
    }
    return samples;
}

std::string waveFile(const std::vector<int16_t>& samples, uint32_t rate, int channels) {
    return waveFileBytes(samples.data(), samples.size(), rate, uint16_t(channels));
}

std::string vorbisFile(const std::vector<int16_t>& samples, uint32_t rate, int channels) {
    std::string out;
    vorbis_info info;
    vorbis_info_init(&info);
    vorbis_encode_init_vbr(&info, channels, long(rate), 0.6f);
    vorbis_comment comment;
    vorbis_comment_init(&comment);
    vorbis_dsp_state dsp;
    vorbis_analysis_init(&dsp, &info);
    vorbis_block block;
    vorbis_block_init(&dsp, &block);
    ogg_stream_state stream;
    ogg_stream_init(&stream, 7);
    ogg_packet header, headerComment, headerCode;
    vorbis_analysis_headerout(&dsp, &comment, &header, &headerComment, &headerCode);
    ogg_stream_packetin(&stream, &header);
    ogg_stream_packetin(&stream, &headerComment);
    ogg_stream_packetin(&stream, &headerCode);
    ogg_page page;
    auto emit = [&] {
        out.append(reinterpret_cast<const char*>(page.header), size_t(page.header_len));
        out.append(reinterpret_cast<const char*>(page.body), size_t(page.body_len));
    };
    while (ogg_stream_flush(&stream, &page)) emit();

    const size_t frames = samples.size() / size_t(channels);
    size_t done = 0;
    bool ended = false;
    while (!ended) {
        const size_t step = std::min<size_t>(1024, frames - done);
        if (step == 0) {
            vorbis_analysis_wrote(&dsp, 0);
        } else {
            float** buffer = vorbis_analysis_buffer(&dsp, int(step));
            for (size_t i = 0; i < step; ++i)
                for (int c = 0; c < channels; ++c)
                    buffer[c][i] = samples[(done + i) * size_t(channels) + size_t(c)] / 32768.0f;
            vorbis_analysis_wrote(&dsp, int(step));
            done += step;
        }
        while (vorbis_analysis_blockout(&dsp, &block) == 1) {
            vorbis_analysis(&block, nullptr);
            vorbis_bitrate_addblock(&block);
            ogg_packet packet;
            while (vorbis_bitrate_flushpacket(&dsp, &packet)) {
                ogg_stream_packetin(&stream, &packet);
                while (ogg_stream_pageout(&stream, &page)) {
                    emit();
                    if (ogg_page_eos(&page)) ended = true;
                }
            }
        }
        if (step == 0) ended = true;
    }
    while (ogg_stream_flush(&stream, &page)) emit();
    ogg_stream_clear(&stream);
    vorbis_block_clear(&block);
    vorbis_dsp_clear(&dsp);
    vorbis_comment_clear(&comment);
    vorbis_info_clear(&info);
    return out;
}

std::vector<int16_t> decodeVorbis(const std::string& file) {
    OggVorbis_File vorbis;
    std::vector<int16_t> samples;
    if (ov_open_callbacks(nullptr, &vorbis, file.data(), long(file.size()), OV_CALLBACKS_NOCLOSE) !=
        0)
        return samples;
    char chunk[4096];
    long got;
    while ((got = ov_read(&vorbis, chunk, sizeof chunk, 0, 2, 1, nullptr)) != 0) {
        if (got < 0) continue;
        const size_t at = samples.size();
        samples.resize(at + size_t(got) / 2);
        std::memcpy(samples.data() + at, chunk, size_t(got));
    }
    ov_clear(&vorbis);
    return samples;
}

bool writeBytes(const std::string& path, const std::string& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}

double measuredFrequency(const std::vector<int16_t>& interleaved, int channels, uint32_t rate) {
    const size_t frames = interleaved.size() / size_t(channels);
    size_t crossings = 0, first = 0, last = 0;
    for (size_t i = 1; i < frames; ++i) {
        if (interleaved[(i - 1) * size_t(channels)] < 0 && interleaved[i * size_t(channels)] >= 0) {
            if (!crossings) first = i;
            last = i;
            ++crossings;
        }
    }
    if (crossings < 2) return 0.0;
    return double(crossings - 1) * rate / double(last - first);
}

double rms(const std::vector<int16_t>& interleaved, int channels, size_t first, size_t count) {
    double sum = 0.0;
    for (size_t i = first; i < first + count; ++i) {
        const double v = interleaved[i * size_t(channels)];
        sum += v * v;
    }
    return count ? std::sqrt(sum / double(count)) : 0.0;
}

} // namespace audio_test
