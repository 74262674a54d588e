// SPDX-License-Identifier: MIT
// The mix of one block: for each playing voice, under the lock, copy the
// source frames the block will read (one more for the interpolation), move
// the cursor and note the notification positions passed; then, unlocked,
// resample the copy by linear interpolation, scale it and add it to a float
// sum that is clipped to 16 bits at the end.
#include "dsound/Mixer.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cmath>
#include <cstring>

namespace dsound {
namespace {

static_assert(std::endian::native == std::endian::little, "samples are little-endian");

constexpr uint64_t kRate = kOutputRate;
// The most source frames one block reads: at the highest frequency, plus
// the frame the last output sample interpolates towards.
constexpr size_t kMaxBlockSourceFrames = Mixer::kBlockFrames * DSBFREQUENCY_MAX / kOutputRate + 3;
constexpr size_t kMaxBlockAlign = 4;

uint8_t silenceByte(const PcmFormat& format) {
    return format.bits == 8 ? 0x80 : 0x00;
}

template <int Bits>
float sampleAt(const uint8_t* bytes) {
    if constexpr (Bits == 8) {
        return float(int(bytes[0]) - 128) * (1.0f / 128.0f);
    } else {
        int16_t value;
        std::memcpy(&value, bytes, sizeof value);
        return float(value) * (1.0f / 32768.0f);
    }
}

// Output frame k reads the source at fraction + k * frequency, counted in
// 1/kOutputRate of a source frame from the first copied frame.
template <int Channels, int Bits>
void resample(const uint8_t* source, uint32_t fraction, DWORD frequency, size_t frames,
              StereoGain gain, float* sum) {
    constexpr size_t kFrameBytes = size_t(Channels) * Bits / 8;
    constexpr size_t kSampleBytes = Bits / 8;
    const uint32_t wholeStep = uint32_t(frequency / kRate);
    const uint32_t partStep = uint32_t(frequency % kRate);
    size_t index = 0;
    uint32_t part = fraction;
    for (size_t k = 0; k < frames; ++k) {
        const uint8_t* here = source + index * kFrameBytes;
        const float t = float(part) * (1.0f / float(kRate));
        const float a = sampleAt<Bits>(here);
        const float b = sampleAt<Bits>(here + kFrameBytes);
        if constexpr (Channels == 1) {
            const float s = a + (b - a) * t;
            sum[2 * k] += s * gain.left;
            sum[2 * k + 1] += s * gain.right;
        } else {
            const float c = sampleAt<Bits>(here + kSampleBytes);
            const float d = sampleAt<Bits>(here + kFrameBytes + kSampleBytes);
            sum[2 * k] += (a + (b - a) * t) * gain.left;
            sum[2 * k + 1] += (c + (d - c) * t) * gain.right;
        }
        index += wholeStep;
        part += partStep;
        if (part >= kRate) {
            part -= uint32_t(kRate);
            ++index;
        }
    }
}

int16_t toSample(float value) {
    const float scaled = value * 32768.0f;
    if (scaled >= 32767.0f) return 32767;
    if (scaled <= -32768.0f) return -32768;
    return int16_t(std::lrint(scaled));
}

} // namespace

Mixer::Mixer() : staging_(kMaxBlockSourceFrames * kMaxBlockAlign), sum_(2 * kBlockFrames) {}

void Mixer::add(Voice& voice) {
    voices_.push_back(&voice);
    voice.epoch = lossCount_;
}

void Mixer::remove(Voice& voice) {
    stop(voice);
    std::erase(voices_, &voice);
}

bool Mixer::start(Voice& voice) {
    voice.playing = true;
    if (voice.slot != kNotPlaying) return true;
    try {
        playing_.push_back(&voice);
    } catch (const std::bad_alloc&) {
        voice.playing = false;
        return false;
    }
    voice.slot = playing_.size() - 1;
    return true;
}

void Mixer::stop(Voice& voice) {
    voice.playing = false;
    if (voice.slot == kNotPlaying) return;
    playing_[voice.slot] = nullptr;
    voice.slot = kNotPlaying;
    ++holes_;
    if (!passActive_) compact();
}

void Mixer::compact() {
    if (holes_ == 0) return;
    std::erase(playing_, nullptr);
    for (size_t i = 0; i < playing_.size(); ++i) playing_[i]->slot = i;
    holes_ = 0;
}

void Mixer::commitDeferred() {
    if (pendingListenerMask & kPendingPosition) listener.position = pendingListener.position;
    if (pendingListenerMask & kPendingOrientation) {
        listener.front = pendingListener.front;
        listener.top = pendingListener.top;
    }
    pendingListenerMask = 0;
    for (Voice* voice : voices_) {
        if (voice->pendingMask & kPendingPosition)
            voice->spatial.position = voice->pending.position;
        if (voice->pendingMask & kPendingMinDistance)
            voice->spatial.minDistance = voice->pending.minDistance;
        if (voice->pendingMask & kPendingMaxDistance)
            voice->spatial.maxDistance = voice->pending.maxDistance;
        voice->pendingMask = 0;
    }
}

DWORD Mixer::readAhead(const Voice& voice) {
    return DWORD((voice.fraction + uint64_t(kBlockFrames) * voice.frequency) / kRate + 1);
}

void Mixer::markLost(bool& reason) {
    const bool wasLost = lost();
    reason = true;
    if (wasLost) return;
    ++lossCount_;
    // A lost buffer is a stopped one; it plays again once restored.
    for (Voice*& voice : playing_) {
        if (!voice) continue;
        voice->playing = false;
        voice->slot = kNotPlaying;
        voice = nullptr;
        ++holes_;
    }
    if (!passActive_) compact();
}

void Mixer::attach(Output* output) {
    std::lock_guard device(device_);
    output_ = output;
}

void Mixer::close() {
    std::lock_guard device(device_);
    output_ = nullptr;
    std::lock_guard state(state_);
    markLost(closed_);
}

bool Mixer::hasOutput() {
    std::lock_guard device(device_);
    return output_ != nullptr;
}

void Mixer::poll() {
    std::lock_guard device(device_);
    if (!output_) return;
    {
        std::lock_guard state(state_);
        if (outputGone_) return;
    }
    if (output_->present()) return;
    std::lock_guard state(state_);
    markLost(outputGone_);
}

bool Mixer::bringBack() {
    std::lock_guard device(device_);
    {
        std::lock_guard state(state_);
        if (closed_ || forcedLoss_) return false;
        if (!outputGone_) return true;
    }
    if (!output_ || !output_->reopen()) return false;
    std::lock_guard state(state_);
    outputGone_ = false;
    return true;
}

void Mixer::forceLoss(bool lose) {
    std::lock_guard state(state_);
    if (lose)
        markLost(forcedLoss_);
    else
        forcedLoss_ = false;
}

void Mixer::mix(int16_t* out, size_t frames) {
    std::lock_guard mixing(mixing_);
    while (frames > 0) {
        const size_t block = std::min(frames, kBlockFrames);
        mixBlock(out, block);
        out += 2 * block;
        frames -= block;
    }
}

void Mixer::mixBlock(int16_t* out, size_t frames) {
    std::fill(sum_.begin(), sum_.begin() + 2 * frames, 0.0f);
    Listener heard;
    StereoGain master;
    {
        std::lock_guard state(state_);
        ++pass_;
        passActive_ = true;
        heard = listener;
        const float volume = volumeGain(masterVolume);
        master = panGain(masterPan);
        master.left *= volume;
        master.right *= volume;
    }
    for (size_t i = 0;; ++i) {
        Block block;
        {
            std::lock_guard state(state_);
            if (i >= playing_.size()) break;
            Voice* voice = playing_[i];
            // A voice stopped and started again during the pass sits at the
            // end as well; it plays once.
            if (!voice || voice->mixedInPass == pass_) continue;
            voice->mixedInPass = pass_;
            take(*voice, frames, block);
        }
        flushSignals();
        render(block, heard, master, frames);
    }
    {
        std::lock_guard state(state_);
        passActive_ = false;
        compact();
    }
    for (size_t i = 0; i < 2 * frames; ++i) out[i] = toSample(sum_[i]);
}

void Mixer::take(Voice& voice, size_t frames, Block& block) {
    const uint64_t frequency = voice.frequency;
    const uint64_t end = voice.fraction + frames * frequency;
    const uint64_t advance = end / kRate;
    // The last output frame interpolates between this frame and the next.
    const uint64_t lastFrame = (voice.fraction + (frames - 1) * frequency) / kRate;

    block.format = voice.format;
    block.frequency = voice.frequency;
    block.fraction = voice.fraction;
    block.audible = frames;
    block.volume = voice.volume;
    block.pan = voice.pan;
    block.is3D = voice.is3D;
    block.spatial = voice.spatial;

    uint64_t consumed = advance;
    bool ended = false;
    if (!voice.looping) {
        const uint64_t left = voice.frames - voice.frame;
        if (advance >= left) {
            ended = true;
            consumed = left;
            // The first output frame whose position reaches the end.
            block.audible = size_t((left * kRate - voice.fraction + frequency - 1) / frequency);
        }
    }
    copyFrames(voice, size_t(lastFrame) + 2);
    notePassed(voice, consumed, ended);
    if (ended) {
        // A one-shot buffer that ran out plays from the start next time.
        voice.frame = 0;
        voice.fraction = 0;
        stop(voice);
    } else {
        voice.frame = DWORD((voice.frame + advance) % voice.frames);
        voice.fraction = uint32_t(end % kRate);
    }
}

void Mixer::copyFrames(const Voice& voice, size_t count) {
    assert(count <= kMaxBlockSourceFrames && "a block reads more than the staging holds");
    const size_t frameBytes = voice.format.blockAlign;
    uint8_t* to = staging_.data();
    size_t position = voice.frame;
    size_t copied = 0;
    while (copied < count) {
        if (position >= voice.frames) {
            if (!voice.looping) {
                std::memset(to + copied * frameBytes, silenceByte(voice.format),
                            (count - copied) * frameBytes);
                return;
            }
            position = 0;
        }
        const size_t run = std::min(count - copied, size_t(voice.frames) - position);
        std::memcpy(to + copied * frameBytes, voice.samples.get() + position * frameBytes,
                    run * frameBytes);
        copied += run;
        position += run;
    }
}

// Fires, in play order, the positions whose frame the cursor passed:
// frames [frame, frame + consumed), wrapping round the buffer.
void Mixer::notePassed(const Voice& voice, uint64_t consumed, bool ended) {
    const auto& list = voice.notifications;
    if (list.empty()) return;
    const DWORD frameBytes = voice.format.blockAlign;
    const auto stops = std::lower_bound(
        list.begin(), list.end(), DSBPN_OFFSETSTOP,
        [](const DSBPOSITIONNOTIFY& n, DWORD offset) { return n.dwOffset < offset; });
    const auto firstAtOrAfter = [&](uint64_t frame) {
        const uint64_t offset = frame * frameBytes;
        return std::lower_bound(
            list.begin(), stops, offset,
            [](const DSBPOSITIONNOTIFY& n, uint64_t o) { return n.dwOffset < o; });
    };
    const auto fire = [&](auto from, auto to) {
        for (auto it = from; it != to; ++it) noteSignal(it->hEventNotify);
    };
    const auto here = firstAtOrAfter(voice.frame);
    if (consumed >= voice.frames) {
        fire(here, stops);
        fire(list.begin(), here);
    } else {
        const uint64_t end = voice.frame + consumed;
        fire(here, firstAtOrAfter(std::min<uint64_t>(end, voice.frames)));
        if (end > voice.frames) fire(list.begin(), firstAtOrAfter(end - voice.frames));
    }
    if (ended) fire(stops, list.end());
}

void Mixer::noteSignal(sys::EventHandle event) {
    // Rarely a voice passes more positions in one block than the list
    // holds; those are signalled at once, still in order.
    if (signalCount_ == signals_.size()) flushSignals();
    signals_[signalCount_++] = event;
}

void Mixer::flushSignals() {
    for (size_t i = 0; i < signalCount_; ++i) sys::setEvent(signals_[i]);
    signalCount_ = 0;
}

void Mixer::render(const Block& block, const Listener& heard, StereoGain master, size_t frames) {
    const float volume = volumeGain(block.volume);
    StereoGain gain = block.is3D ? spatialGain(block.spatial, heard) : panGain(block.pan);
    gain.left *= volume * master.left;
    gain.right *= volume * master.right;
    if (gain.left == 0.0f && gain.right == 0.0f) return;

    const uint8_t* source = staging_.data();
    float* sum = sum_.data();
    const size_t count = std::min(frames, block.audible);
    const PcmFormat& f = block.format;
    if (f.channels == 1 && f.bits == 8)
        resample<1, 8>(source, block.fraction, block.frequency, count, gain, sum);
    else if (f.channels == 1)
        resample<1, 16>(source, block.fraction, block.frequency, count, gain, sum);
    else if (f.bits == 8)
        resample<2, 8>(source, block.fraction, block.frequency, count, gain, sum);
    else
        resample<2, 16>(source, block.fraction, block.frequency, count, gain, sum);
}

} // namespace dsound
