// SPDX-License-Identifier: MIT
// Stands in for the kernel's event objects and the waits on them, on a
// mutex and condition variables.
//  [x] auto-reset and manual-reset events, initially set or not
//  [x] named events: a second create with the same name opens the same event
//  [x] waiting on one or several (any or all), with a time-out in ms or none
//  [x] the message-aware wait of a thread without windows: a wait on events
//      (such a thread has no input to wake it)
//  [ ] waiting on threads, processes or other kinds of handle
#pragma once

#include <cstdint>

namespace sys {

struct EventObject;
using EventHandle = EventObject*;

inline constexpr uint32_t kWaitObject0 = 0;
inline constexpr uint32_t kWaitTimeout = 0x102;
inline constexpr uint32_t kWaitFailed = 0xFFFFFFFF;
inline constexpr uint32_t kInfinite = 0xFFFFFFFF;
inline constexpr uint32_t kMaximumWaitObjects = 64;

// Null when out of memory. `name` (UTF-16, may be null) opens an existing
// event of that name instead of making one; the flags then do not apply.
EventHandle createEvent(bool manualReset, bool initiallySet, const char16_t* name = nullptr);
bool setEvent(EventHandle event);
bool resetEvent(EventHandle event);
// The event goes when its last handle closes (named events count opens).
bool closeEvent(EventHandle event);

// kWaitObject0 + index of the (first) signalled event, kWaitTimeout, or
// kWaitFailed for a null handle or a count of 0 or above 64. Waking consumes
// an auto-reset event; waiting for all consumes them together.
uint32_t waitForEvents(uint32_t count, const EventHandle* events, bool waitAll,
                       uint32_t milliseconds);
inline uint32_t waitForEvent(EventHandle event, uint32_t milliseconds) {
    return waitForEvents(1, &event, false, milliseconds);
}

} // namespace sys
