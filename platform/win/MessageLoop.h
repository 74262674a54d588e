// SPDX-License-Identifier: MIT
// The one message loop: SDL events, posted messages, timers and painting, in
// that order, then a sleep until the next timer, paint or event. Modal
// dialogs, message boxes, the open-file dialog and the test driver all run
// it, so timers keep firing whichever of them is open.
#pragma once

#include <functional>

#include "win/WinTypes.h"

namespace win {

// One pass; sleeps at most `maxWaitMs` (and not at all when `finished`
// already holds after the pass).
void runIteration(int maxWaitMs, const std::function<bool()>& finished);
bool quitPending();
// WM_QUIT is pending or a running modal loop's end condition holds.
bool loopsEnding();
void killTimersOf(HWND window);
void dropMessagesFor(HWND window);
void resetLoop(); // shutdown: timers, queue and quit forgotten

} // namespace win
