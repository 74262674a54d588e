// SPDX-License-Identifier: MIT
// The thread that keeps streams flowing: each streaming sound registers an
// event that its buffer signals at the end of each half, and the thread
// refills the half just played while the other plays. Event 0 tells the
// thread that the list is about to change. A change waits until the thread
// has parked (it is then neither waiting on the old events nor filling a
// sound), so a sound is never unregistered in the middle of its fill and
// no event is closed while it is waited on. Offline rendering runs without
// the thread: the renderer pumps the events between mixes.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "core/Array.h"
#include "core/Thread.h"
#include "sys/Events.h"

namespace Audio {

class SoundInterface;

struct EventInfo {
    EventInfo** backLink = nullptr; // the registered sound's eventEntry
    SoundInterface* sound = nullptr;
    uint32_t eventIndex = 0; // position in the records + 1
};

class SoundEventHandler : public Thread::Method {
public:
    Thread thread;
    ArrayHeap<sys::EventHandle> events{33}; // 0: "SoundUpdateEvent"
    ArrayHeap<EventInfo> records{32};
    int32_t count = 0;
    std::atomic<int32_t> busy{0};

    static SoundEventHandler& instance();

    // The event the sound's buffer should signal, or null when 32 streams
    // are registered or no event can be made.
    sys::EventHandle registerSound(SoundInterface& sound);
    void unregisterSound(EventInfo& record);

    // Offline: no thread is started, and pump() handles what is signalled.
    void setManual(bool manual);
    void pump();

    int run(Thread* running, void* argument) override;

    SoundEventHandler();
    ~SoundEventHandler();
    SoundEventHandler(const SoundEventHandler&) = delete;
    SoundEventHandler& operator=(const SoundEventHandler&) = delete;

private:
    void beginChange();
    void endChange();
    // Refills the half of record `index` that has just been played.
    void serve(int32_t index);

    std::mutex parking;
    std::condition_variable parkingChanged;
    bool parked = false;
    bool manual = false;
};

} // namespace Audio
