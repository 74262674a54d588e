// SPDX-License-Identifier: MIT
// The worker loop and the owner's side of starting and stopping. The owner
// publishes handle with a compare-and-swap against a placeholder, so a worker
// that ends before start() returns leaves handle at 0 instead of having a
// stale handle written over its "ended" mark.
#include "core/Thread.h"

#include <cassert>

#include "core/Log.h"
#include "sys/Time.h"

namespace {

constexpr uintptr_t kStarting = ~uintptr_t(0);

} // namespace

Thread::Thread(Method* runMethod, void* runArgument) : argument(runArgument), method(runMethod) {}

Thread::~Thread() {
    stop();
}

bool Thread::start() {
    assert(method && "Thread::start without a method");
    if (handle.load() != 0) return false;
    wait(); // a previous run that ended by itself is joined here
    stopRequested.store(0);
    handle.store(kStarting);
    const sys::ThreadHandle started = sys::startThread(&Thread::body, this);
    if (started == 0) {
        handle.store(0);
        log(u"Thread::start: the system refused a new thread");
        return false;
    }
    joinable_ = started;
    uintptr_t expected = kStarting;
    handle.compare_exchange_strong(expected, started);
    return true;
}

void Thread::requestStop() {
    if (joinable_ != 0) stopRequested.store(1);
}

void Thread::wait() {
    if (joinable_ == 0) return;
    assert(!sys::isCurrentThread(joinable_) &&
           "a Thread cannot wait for itself: its method returns 0 instead");
    sys::joinThread(joinable_);
    joinable_ = 0;
    // A stop requested just after the worker cleared the flag would otherwise
    // survive into the next start.
    stopRequested.store(0);
}

void Thread::stop() {
    requestStop();
    wait();
}

void Thread::body(void* self) {
    auto* thread = static_cast<Thread*>(self);
    // A Windows worker initialises OLE here; Linux has no component library
    // that needs per-thread set-up, so there is nothing to do or undo.
    sys::seedThreadRandom(sys::milliseconds());
    while (thread->stopRequested.load() == 0) {
        if (thread->method->run(thread, thread->argument) == 0) break;
    }
    // The last touches of *thread: once handle reads 0 the owner may restart
    // or destroy it (destruction still joins this thread first).
    thread->handle.store(0);
    thread->stopRequested.store(0);
}
