// SPDX-License-Identifier: MIT
// The runtime's own log: plain lines, and lines said once per process for
// states and calls the runtime cannot honour, so a log shows each gap once
// instead of once per frame.
#pragma once

#include <string>

namespace d3d9 {
void logLine(const std::string& utf8);
// Logs `utf8` the first time `key` is seen in this process.
void logOnce(const std::string& key, const std::string& utf8);
} // namespace d3d9
