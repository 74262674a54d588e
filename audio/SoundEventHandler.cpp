// SPDX-License-Identifier: MIT
#include "audio/SoundEventHandler.h"

#include <chrono>

#include "audio/SoundData.h"
#include "audio/SoundInterface.h"

namespace Audio {

SoundEventHandler& SoundEventHandler::instance() {
    static SoundEventHandler handler;
    return handler;
}

SoundEventHandler::SoundEventHandler() : thread(this, nullptr) {
    for (int32_t i = 0; i < events.count; ++i) events.items[i] = nullptr;
    events.items[0] = sys::createEvent(false, false, u"SoundUpdateEvent");
}

SoundEventHandler::~SoundEventHandler() {
    if (thread.running()) {
        thread.requestStop();
        sys::setEvent(events.items[0]);
        thread.wait();
    }
    for (int32_t i = 0; i < events.count; ++i)
        if (events.items[i]) sys::closeEvent(events.items[i]);
}

void SoundEventHandler::setManual(bool offline) {
    manual = offline;
}

void SoundEventHandler::beginChange() {
    busy.store(1);
    sys::setEvent(events.items[0]);
    if (!thread.running() || sys::isCurrentThread(thread.handle.load())) return;
    std::unique_lock<std::mutex> lock(parking);
    // The thread may end instead of parking; look again every 15 ms.
    while (!parked && thread.running())
        parkingChanged.wait_for(lock, std::chrono::milliseconds(15));
}

void SoundEventHandler::endChange() {
    {
        std::lock_guard<std::mutex> lock(parking);
        busy.store(0);
    }
    parkingChanged.notify_all();
}

sys::EventHandle SoundEventHandler::registerSound(SoundInterface& sound) {
    if (count >= records.count || !events.items[0]) return nullptr;
    sys::EventHandle event = sys::createEvent(false, false);
    if (!event) return nullptr;
    beginChange();
    events.items[count + 1] = event;
    EventInfo& record = records.items[count];
    record.backLink = &sound.eventEntry;
    record.sound = &sound;
    record.eventIndex = uint32_t(count + 1);
    ++count;
    sound.eventEntry = &record;
    endChange();
    if (count == 1 && !manual && !thread.running()) thread.start();
    return event;
}

void SoundEventHandler::unregisterSound(EventInfo& record) {
    const int32_t k = int32_t(record.eventIndex);
    if (k < 1 || k > count) return;
    beginChange();
    sys::closeEvent(events.items[k]);
    events.items[k] = nullptr;
    for (int32_t i = k; i < count; ++i) {
        events.items[i] = events.items[i + 1];
        events.items[i + 1] = nullptr;
        EventInfo& moved = records.items[i - 1];
        moved.backLink = records.items[i].backLink;
        moved.sound = records.items[i].sound;
        moved.eventIndex = uint32_t(i);
        *moved.backLink = &moved;
    }
    const bool last = count == 1;
    --count;
    records.items[count] = EventInfo{};
    if (last && thread.running() && !sys::isCurrentThread(thread.handle.load())) {
        // The parked thread sees the stop request as soon as it is let go.
        thread.requestStop();
        endChange();
        thread.wait();
        return;
    }
    endChange();
}

int SoundEventHandler::run(Thread* running, void*) {
    const uint32_t woken =
        sys::waitForEvents(uint32_t(count + 1), events.items, false, sys::kInfinite);
    if (running->stopRequested.load()) return 0;
    if (woken == sys::kWaitObject0) {
        std::unique_lock<std::mutex> lock(parking);
        parked = true;
        parkingChanged.notify_all();
        parkingChanged.wait(lock, [&] { return busy.load() == 0; });
        parked = false;
        return 1;
    }
    if (woken >= sys::kWaitObject0 + 1 && woken <= sys::kWaitObject0 + uint32_t(count))
        serve(int32_t(woken - sys::kWaitObject0) - 1);
    else if (woken == sys::kWaitFailed)
        return 0; // nothing left to wait on; a new registration starts a new thread
    return 1;
}

void SoundEventHandler::pump() {
    for (int32_t i = 0; i < count; ++i)
        if (sys::waitForEvent(events.items[i + 1], 0) == sys::kWaitObject0) serve(i);
}

void SoundEventHandler::serve(int32_t index) {
    SoundInterface* sound = records.items[index].sound;
    if (!sound || !sound->buffer || !sound->data || !sound->data->streaming) return;
    DWORD play = 0;
    if (FAILED(sound->buffer->GetCurrentPosition(&play, nullptr))) return;
    const uint32_t half = play / kHalfBytes;
    if (half == sound->currentHalf) return;
    sound->currentHalf = half;
    // The last fill came up short. Its half is the one now starting, so
    // it plays out in full; the half just played is silenced behind it,
    // and the next notification, at the end of the tail, stops the buffer.
    if (sound->endReached == 1) {
        sound->data->silenceRegion(sound->buffer, (half ? 0 : 1) * kHalfBytes, kHalfBytes);
        sound->endReached = 2;
        return;
    }
    if (sound->endReached) {
        sound->buffer->Stop();
        sound->endReached = 0;
        return;
    }
    sound->nextHalf = half ? 0 : 1;
    sound->halfPosition[sound->nextHalf] = sound->streamPosition;
    const uint32_t filled =
        sound->data->fillRegion(sound->buffer, sound->streamPosition, sound->nextHalf * kHalfBytes,
                                kHalfBytes, sound->looping != 0);
    if (filled < kHalfBytes) sound->endReached = 1;
    sound->streamPosition = sound->data->tell();
}

} // namespace Audio
