// SPDX-License-Identifier: MIT
// The runtime's lines, marked as its own, through the stand-ins' log.
#include "d3d9/Log.h"

#include "shared/StandInLog.h"

namespace d3d9 {
namespace {
// The runtime's messages are ASCII; anything else is passed through as Latin-1.
std::u16string marked(const std::string& text) {
    std::u16string wide = u"d3d9: ";
    wide.reserve(wide.size() + text.size());
    for (unsigned char c : text) wide.push_back(char16_t(c));
    return wide;
}
} // namespace

void logLine(const std::string& utf8) {
    standin::log(marked(utf8));
}

void logOnce(const std::string& key, const std::string& utf8) {
    standin::logOnce("d3d9:" + key, marked(utf8));
}

} // namespace d3d9
