// SPDX-License-Identifier: MIT
#include "core/Log.h"

namespace {
LogSink& sink() {
    static LogSink s;
    return s;
}
} // namespace

LogSink setLogSink(LogSink next) {
    LogSink previous = std::move(sink());
    sink() = std::move(next);
    return previous;
}

bool hasLogSink() {
    return static_cast<bool>(sink());
}

void logList(const char16_t* formatText, const FormatArg* args, int argCount) {
    if (!hasLogSink()) return;
    String line;
    line.formatList(formatText, args, argCount);
    sink()(line);
}
