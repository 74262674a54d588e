// SPDX-License-Identifier: MIT
#include "shared/StandInLog.h"

#include <mutex>
#include <set>
#include <utility>

namespace standin {
namespace {

std::mutex& guard() {
    static std::mutex mutex;
    return mutex;
}
LogFunction& sink() {
    static LogFunction function;
    return function;
}
std::set<std::string, std::less<>>& saidKeys() {
    static std::set<std::string, std::less<>> keys;
    return keys;
}
std::set<std::u16string, std::less<>>& saidLines() {
    static std::set<std::u16string, std::less<>> lines;
    return lines;
}

} // namespace

LogFunction setLogFunction(LogFunction function) {
    std::lock_guard lock(guard());
    return std::exchange(sink(), std::move(function));
}

void log(std::u16string_view line) {
    LogFunction function;
    {
        std::lock_guard lock(guard());
        function = sink();
    }
    // Called unlocked: the function may log through here again.
    if (function) function(std::u16string(line));
}

void logOnce(std::u16string_view line) {
    {
        std::lock_guard lock(guard());
        if (!saidLines().emplace(line).second) return;
    }
    log(line);
}

void logOnce(std::string_view key, std::u16string_view line) {
    {
        std::lock_guard lock(guard());
        if (!saidKeys().emplace(key).second) return;
    }
    log(line);
}

} // namespace standin
