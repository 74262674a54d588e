// SPDX-License-Identifier: MIT
// Every event lives under one process-wide mutex. A waiting thread parks on
// a condition variable of its own, registered with each event it waits on,
// so setting an event wakes only the threads that wait on that event. A
// handle is checked against the set of live events before it is used: a
// closed handle fails the call instead of touching freed memory.
#include "sys/Events.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <new>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace {

struct Waiter {
    std::condition_variable wake;
};

} // namespace

namespace sys {

struct EventObject {
    bool manualReset = false;
    bool signalled = false;
    uint32_t handles = 1; // opens not yet closed
    uint32_t waits = 0;   // waits in progress: they keep the object alive
    std::u16string name;  // empty for an unnamed event
    std::vector<Waiter*> waiters;
};

} // namespace sys

namespace {

using sys::EventObject;

struct Registry {
    std::mutex mutex;
    std::unordered_set<EventObject*> live;
    std::unordered_map<std::u16string, EventObject*> named;
};

// Never destroyed: a thread may still be waiting when the process exits.
Registry& registry() {
    static Registry* const instance = new Registry;
    return *instance;
}

bool isLive(const Registry& r, EventObject* event) {
    return event && r.live.count(event) != 0;
}

void deleteWhenUnused(EventObject* event) {
    if (event->handles == 0 && event->waits == 0) delete event;
}

// The index of the event that satisfies the wait, consuming what it takes;
// nothing when the wait must go on.
std::optional<uint32_t> take(uint32_t count, EventObject* const* events, bool waitAll) {
    if (!waitAll) {
        for (uint32_t i = 0; i < count; ++i) {
            if (!events[i]->signalled) continue;
            if (!events[i]->manualReset) events[i]->signalled = false;
            return i;
        }
        return std::nullopt;
    }
    for (uint32_t i = 0; i < count; ++i)
        if (!events[i]->signalled) return std::nullopt;
    for (uint32_t i = 0; i < count; ++i)
        if (!events[i]->manualReset) events[i]->signalled = false;
    return 0;
}

} // namespace

namespace sys {

EventHandle createEvent(bool manualReset, bool initiallySet, const char16_t* name) {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    try {
        const std::u16string key = name ? std::u16string(name) : std::u16string();
        if (!key.empty()) {
            if (const auto found = r.named.find(key); found != r.named.end()) {
                ++found->second->handles;
                return found->second;
            }
        }
        auto* event = new EventObject;
        event->manualReset = manualReset;
        event->signalled = initiallySet;
        event->name = key;
        try {
            r.live.insert(event);
            if (!key.empty()) r.named.emplace(key, event);
        } catch (...) {
            r.live.erase(event);
            delete event;
            throw;
        }
        return event;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

bool setEvent(EventHandle event) {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    if (!isLive(r, event)) return false;
    event->signalled = true;
    for (Waiter* waiter : event->waiters) waiter->wake.notify_one();
    return true;
}

bool resetEvent(EventHandle event) {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    if (!isLive(r, event)) return false;
    event->signalled = false;
    return true;
}

bool closeEvent(EventHandle event) {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    if (!isLive(r, event)) return false;
    if (--event->handles > 0) return true;
    r.live.erase(event);
    if (!event->name.empty()) r.named.erase(event->name);
    deleteWhenUnused(event);
    return true;
}

uint32_t waitForEvents(uint32_t count, const EventHandle* events, bool waitAll,
                       uint32_t milliseconds) {
    if (!events || count == 0 || count > kMaximumWaitObjects) return kWaitFailed;
    Registry& r = registry();
    std::unique_lock lock(r.mutex);
    for (uint32_t i = 0; i < count; ++i) {
        if (!isLive(r, events[i])) return kWaitFailed;
        // Waiting for all of a list that names one event twice could never
        // consume it "together"; the kernel refuses such a list too.
        if (waitAll && std::find(events, events + i, events[i]) != events + i) return kWaitFailed;
    }
    if (const auto index = take(count, events, waitAll)) return kWaitObject0 + *index;
    if (milliseconds == 0) return kWaitTimeout;

    Waiter self;
    try {
        for (uint32_t i = 0; i < count; ++i) events[i]->waiters.push_back(&self);
    } catch (const std::bad_alloc&) {
        for (uint32_t i = 0; i < count; ++i) std::erase(events[i]->waiters, &self);
        return kWaitFailed;
    }
    for (uint32_t i = 0; i < count; ++i) ++events[i]->waits;

    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    uint32_t result = kWaitTimeout;
    for (;;) {
        if (const auto index = take(count, events, waitAll)) {
            result = kWaitObject0 + *index;
            break;
        }
        if (milliseconds == kInfinite) {
            self.wake.wait(lock);
        } else if (self.wake.wait_until(lock, deadline) == std::cv_status::timeout) {
            if (const auto index = take(count, events, waitAll)) result = kWaitObject0 + *index;
            break;
        }
    }
    for (uint32_t i = 0; i < count; ++i) {
        std::erase(events[i]->waiters, &self);
        --events[i]->waits;
    }
    // An event closed while we waited goes once the last wait on it ends.
    for (uint32_t i = 0; i < count; ++i)
        if (std::find(events + i + 1, events + count, events[i]) == events + count)
            deleteWhenUnused(events[i]);
    return result;
}

} // namespace sys
