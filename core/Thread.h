// SPDX-License-Identifier: MIT
// A worker thread that calls a Thread::Method over and over until the method
// returns 0 or the owner asks it to stop; it then goes idle by itself and can
// be started again. One owner thread starts, stops and destroys a Thread;
// stopRequested and handle are the only state shared with the worker and are
// atomic. argument and method must not change while the thread runs. A class
// derived from Thread whose method uses its members stops the thread in its
// own destructor: ~Thread runs after those members are gone.
#pragma once

#include <atomic>
#include <cstdint>

#include "sys/ThreadStart.h"

class Thread {
public:
    class Method {
    public:
        // One piece of work; non-zero to be called again, 0 to end the thread.
        virtual int run(Thread* thread, void* argument) = 0;

    protected:
        // Owners never delete a method through this interface.
        ~Method() = default;
    };

    std::atomic<uint32_t> stopRequested{0};
    std::atomic<uintptr_t> handle{0}; // 0 when no thread runs
    void* argument = nullptr;
    Method* method = nullptr;

    Thread() = default;
    Thread(Method* method, void* argument);
    // Stops and waits for a running thread: a worker never outlives its Thread.
    virtual ~Thread();
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;

    // False when the thread still runs or the platform refused a new one.
    bool start();
    // Sets the flag; the worker sees it before its next run. An owner whose
    // method waits on an event signals it between requestStop and wait.
    void requestStop();
    // Waits for the worker to end, however it ends.
    void wait();
    void stop();
    bool running() const { return handle.load() != 0; }

private:
    static void body(void* self);

    // The owner's way to join, kept apart from handle because the worker
    // clears handle at its end and the finished thread must still be joined.
    sys::ThreadHandle joinable_ = 0;
};
