// SPDX-License-Identifier: MIT
// The software mixer every buffer of one device plays through, and the
// device's shared state: the playing voices, the listener, the primary
// buffer's master gain, and whether the device has been lost.
//
// Locking: one mutex (lock()) guards every Voice, the lists, the listener
// and the loss state. The mixing thread (the SDL audio callback, or the
// caller of render) takes it once per voice per block, only to copy that
// voice's samples for the block, advance its cursor and note the events to
// signal; resampling and summing run on the copy with the lock free. The
// output device is managed under a second mutex that the mixing thread
// never takes, as closing an SDL device waits for its callback.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "dsound/DSound.h"
#include "dsound/Gain.h"
#include "dsound/Voice.h"

namespace dsound {

// The audio output a mixer feeds, as far as losing it goes.
class Output {
public:
    virtual ~Output() = default;
    // False once the system has taken the device away.
    virtual bool present() = 0;
    // Opens the default device again; false while there is none.
    virtual bool reopen() = 0;
};

class Mixer {
public:
    // Frames mixed per pass: the cursor and events move in steps of at most
    // this, whoever pulls the output.
    static constexpr size_t kBlockFrames = 1024;

    Mixer();
    Mixer(const Mixer&) = delete;
    Mixer& operator=(const Mixer&) = delete;

    std::mutex& lock() { return state_; }

    // --- with lock() held ---
    void add(Voice& voice); // may throw std::bad_alloc
    void remove(Voice& voice);
    bool start(Voice& voice); // false when out of memory
    void stop(Voice& voice);
    bool isLost(const Voice& voice) const { return lost() || voice.epoch != lossCount_; }
    bool lost() const { return forcedLoss_ || outputGone_ || closed_; }
    uint64_t lossCount() const { return lossCount_; }
    // Applies every deferred 3D setting of the listener and the buffers.
    void commitDeferred();
    // Frames ahead of the play cursor that the next pass may already read.
    static DWORD readAhead(const Voice& voice);

    Listener listener;
    Listener pendingListener;
    unsigned pendingListenerMask = 0;
    LONG masterVolume = 0;
    LONG masterPan = 0;
    DWORD cooperativeLevel = 0;

    // --- without lock() held ---
    // The device's output; null for an offline device.
    void attach(Output* output);
    // The device object is gone: its buffers stay lost for good.
    void close();
    bool hasOutput();
    // Notices an output the system took away, making every buffer lost.
    void poll();
    // True when there is a device again (reopening the default one if need
    // be); buffers may then be restored.
    bool bringBack();
    void forceLoss(bool lost);

    // Fills `frames` stereo frames. Called from one thread at a time: the
    // audio callback, or render() for an offline device.
    void mix(int16_t* out, size_t frames);

private:
    struct Block {
        PcmFormat format;
        DWORD frequency = 0;
        uint32_t fraction = 0;
        size_t audible = 0; // output frames before a one-shot buffer ends
        LONG volume = 0;
        LONG pan = 0;
        bool is3D = false;
        Spatial spatial;
    };

    void markLost(bool& reason);
    void compact();
    void mixBlock(int16_t* out, size_t frames);
    void take(Voice& voice, size_t frames, Block& block);
    void copyFrames(const Voice& voice, size_t count);
    void notePassed(const Voice& voice, uint64_t consumed, bool ended);
    void noteSignal(sys::EventHandle event);
    void flushSignals();
    void render(const Block& block, const Listener& listener, StereoGain master, size_t frames);

    std::mutex state_;
    std::vector<Voice*> voices_;
    // Playing voices; a stopped one leaves a null until the pass ends, so
    // the mixing thread can walk the list by index between its locks.
    std::vector<Voice*> playing_;
    size_t holes_ = 0;
    bool passActive_ = false;
    uint64_t pass_ = 0;
    bool forcedLoss_ = false;
    bool outputGone_ = false;
    bool closed_ = false;
    uint64_t lossCount_ = 0;

    std::mutex device_;
    Output* output_ = nullptr;

    // The mixing thread's own memory, sized once so a pass allocates nothing.
    std::mutex mixing_;
    std::vector<uint8_t> staging_;
    std::vector<float> sum_;
    std::array<sys::EventHandle, 64> signals_{};
    size_t signalCount_ = 0;
};

} // namespace dsound
