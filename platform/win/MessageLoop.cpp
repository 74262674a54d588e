// SPDX-License-Identifier: MIT
// The message queue, SendMessage and PostMessage, timers and the loop every
// modal run shares. A timer that fell behind fires once and is rescheduled
// from now, so a slow handler never meets a storm of catch-up ticks. The
// loop sleeps in SDL_WaitEventTimeout until the next timer, paint or event.
#include "win/MessageLoop.h"

#include <algorithm>
#include <deque>
#include <vector>

#include <SDL.h>

#include "win/Canvas.h"
#include "win/Controls.h"
#include "win/Dialog.h"
#include "win/Input.h"
#include "win/WinInternal.h"
#include "win/Window.h"

namespace win {
namespace {

struct PostedMessage {
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

struct Timer {
    HWND window;
    UINT_PTR id;
    uint32_t period;
    uint64_t due;
    TIMERPROC proc;
};

std::deque<PostedMessage> queue;
std::vector<Timer> timers;
bool quit = false;
int modalDepth = 0;
// The end conditions of the modal loops running now, outermost first. A
// wait nested in any of them gives up once one holds, so the loop can end.
std::vector<const std::function<bool()>*> modalEnds;
std::function<void()> idleHook;
bool inIdleHook = false;
// Ids for timers without a window, which the platform chooses itself.
UINT_PTR nextThreadTimerId = 0x7FFF0000;

uint64_t nowMs() {
    return SDL_GetTicks64();
}

std::vector<Timer>::iterator findTimer(HWND window, UINT_PTR id) {
    return std::find_if(timers.begin(), timers.end(),
                        [&](const Timer& t) { return t.window == window && t.id == id; });
}

void deliverPosted() {
    // Only what was queued before this pass: a handler that posts again
    // waits for the next one instead of starving events and timers.
    for (size_t count = queue.size(); count > 0 && !queue.empty(); --count) {
        const PostedMessage posted = queue.front();
        queue.pop_front();
        if (posted.message == WM_QUIT) {
            quit = true;
            continue;
        }
        if (object(posted.window))
            SendMessageW(posted.window, posted.message, posted.wParam, posted.lParam);
    }
}

void deliverTimers() {
    const uint64_t now = nowMs();
    std::vector<std::pair<HWND, UINT_PTR>> due;
    for (const Timer& timer : timers)
        if (timer.due <= now) due.emplace_back(timer.window, timer.id);
    for (const auto& [window, id] : due) {
        auto timer = findTimer(window, id);
        if (timer == timers.end() || timer->due > now) continue; // killed or reset meanwhile
        timer->due = now + timer->period;
        const TIMERPROC proc = timer->proc;
        if (proc)
            proc(window, WM_TIMER, id, DWORD(now));
        else if (object(window))
            SendMessageW(window, WM_TIMER, id, 0);
    }
}

int msUntilNextTimer() {
    if (timers.empty()) return -1;
    const uint64_t now = nowMs();
    uint64_t next = UINT64_MAX;
    for (const Timer& timer : timers) next = std::min(next, timer.due);
    return next <= now ? 0 : int(std::min<uint64_t>(next - now, 1000));
}

} // namespace

void runIteration(int maxWaitMs, const std::function<bool()>& finished) {
    // Not SDL_PollEvent: the sentinel that SDL_WaitEventTimeout leaves in
    // the queue would make it report "caught up" before events pushed after
    // the wait, delaying them a whole pass.
    SDL_PumpEvents();
    SDL_Event event;
    while (SDL_PeepEvents(&event, 1, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) > 0)
        input::dispatchEvent(event);
    deliverPosted();
    deliverTimers();
    if (idleHook && !inIdleHook) {
        // A hook that opens a dialog runs that dialog's loop; it must not
        // re-enter itself from there.
        inIdleHook = true;
        const std::function<void()> hook = idleHook;
        hook();
        inIdleHook = false;
    }
    const int paintWait = canvas::paintDue();
    if ((finished && finished()) || !queue.empty()) return;

    int wait = maxWaitMs;
    if (const int timerWait = msUntilNextTimer(); timerWait >= 0) wait = std::min(wait, timerWait);
    if (paintWait >= 0) wait = std::min(wait, paintWait);
    if (wait > 0) SDL_WaitEventTimeout(nullptr, wait);
}

void runModalLoop(const std::function<bool()>& finished) {
    if (!init()) return;
    ++modalDepth;
    modalEnds.push_back(&finished);
    const auto ends = [&finished] { return quit || finished(); };
    while (!ends()) runIteration(100, ends);
    modalEnds.pop_back();
    // WM_QUIT ends every modal loop, innermost first, as GetMessage returning
    // FALSE does; the outermost one consumes it.
    if (--modalDepth == 0) quit = false;
}

bool loopsEnding() {
    if (quit) return true;
    for (const std::function<bool()>* ends : modalEnds)
        if ((*ends)()) return true;
    return false;
}

bool waitMessages(uint32_t milliseconds) {
    if (!initialized()) {
        SDL_Delay(milliseconds);
        return true;
    }
    const uint64_t deadline = nowMs() + milliseconds;
    for (;;) {
        if (loopsEnding()) return false;
        const uint64_t now = nowMs();
        if (now >= deadline) return true;
        runIteration(int(deadline - now), loopsEnding);
    }
}

bool quitPending() {
    return quit;
}

void killTimersOf(HWND window) {
    timers.erase(std::remove_if(timers.begin(), timers.end(),
                                [window](const Timer& t) { return t.window == window; }),
                 timers.end());
}

void dropMessagesFor(HWND window) {
    queue.erase(std::remove_if(queue.begin(), queue.end(),
                               [window](const PostedMessage& m) { return m.window == window; }),
                queue.end());
}

void resetLoop() {
    queue.clear();
    timers.clear();
    quit = false;
}

} // namespace win

using namespace win;

LRESULT SendMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    WindowObject* w = object(window);
    if (!w) return 0;
    if (w->kind == WindowKind::Dialog) return dialogWindowProc(window, message, wParam, lParam);
    return controlWindowProc(window, message, wParam, lParam);
}

BOOL PostMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (window && !object(window)) return FALSE;
    queue.push_back(PostedMessage{window, message, wParam, lParam});
    return TRUE;
}

void PostQuitMessage(int) {
    quit = true;
}

UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT milliseconds, TIMERPROC proc) {
    if (window && !object(window)) return 0;
    if (!window) id = ++nextThreadTimerId;
    const uint32_t period = std::max<UINT>(milliseconds, 1);
    auto timer = findTimer(window, id);
    if (timer == timers.end())
        timers.push_back(Timer{window, id, period, nowMs() + period, proc});
    else
        *timer = Timer{window, id, period, nowMs() + period, proc};
    return id ? id : 1;
}

BOOL KillTimer(HWND window, UINT_PTR id) {
    auto timer = findTimer(window, id);
    if (timer == timers.end()) return FALSE;
    timers.erase(timer);
    return TRUE;
}

namespace win::test {

void setIdleHook(std::function<void()> hook) {
    idleHook = std::move(hook);
}

} // namespace win::test
