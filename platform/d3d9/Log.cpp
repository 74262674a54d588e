// SPDX-License-Identifier: MIT
// The runtime's log sink and its once-per-process memory.
#include "d3d9/Log.h"

#include <mutex>
#include <set>

#include "d3d9/D3D9Runtime.h"

namespace d3d9 {
namespace {
std::mutex& logMutex() {
    static std::mutex mutex;
    return mutex;
}
std::function<void(const std::u16string&)>& sink() {
    static std::function<void(const std::u16string&)> function;
    return function;
}
std::set<std::string>& saidOnce() {
    static std::set<std::string> keys;
    return keys;
}
// The runtime's messages are ASCII; anything else is passed through as Latin-1.
std::u16string widen(const std::string& text) {
    std::u16string wide;
    wide.reserve(text.size());
    for (unsigned char c : text) wide.push_back(char16_t(c));
    return wide;
}
} // namespace

void setLogFunction(std::function<void(const std::u16string&)> function) {
    std::lock_guard lock(logMutex());
    sink() = std::move(function);
}

void logLine(const std::string& utf8) {
    std::function<void(const std::u16string&)> function;
    {
        std::lock_guard lock(logMutex());
        function = sink();
    }
    if (function) function(u"d3d9: " + widen(utf8));
}

void logOnce(const std::string& key, const std::string& utf8) {
    {
        std::lock_guard lock(logMutex());
        if (!saidOnce().insert(key).second) return;
    }
    logLine(utf8);
}

} // namespace d3d9
