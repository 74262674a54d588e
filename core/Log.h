// SPDX-License-Identifier: MIT
// The developer log. Engine operations describe their work in log lines, but
// the log writes nowhere unless a sink is installed (tests, or --log FILE);
// without one a call costs a test of one pointer and formats nothing.
#pragma once

#include <functional>

#include "core/String.h"

using LogSink = std::function<void(const String& line)>;

// Returns the previous sink so that a test can put it back.
LogSink setLogSink(LogSink sink);
bool hasLogSink();
void logList(const char16_t* formatText, const FormatArg* args, int argCount);

template <class... Args>
void log(const char16_t* formatText, const Args&... args) {
    if (!hasLogSink()) return;
    const FormatArg list[] = {FormatArg(args)..., FormatArg()};
    logList(formatText, list, sizeof...(Args));
}

// Installs a sink for the lifetime of the object and restores the old one.
class ScopedLogSink {
public:
    explicit ScopedLogSink(LogSink sink) : previous_(setLogSink(std::move(sink))) {}
    ~ScopedLogSink() { setLogSink(std::move(previous_)); }
    ScopedLogSink(const ScopedLogSink&) = delete;
    ScopedLogSink& operator=(const ScopedLogSink&) = delete;

private:
    LogSink previous_;
};
