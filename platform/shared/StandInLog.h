// SPDX-License-Identifier: MIT
// Where the stand-ins' log lines go: to one function the program points at
// the engine's log (tests point it at themselves); without one, nowhere.
// A call a stand-in cannot honour is said once per process, not once per
// frame. Safe from any thread: the sound mixer's thread logs too.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace standin {

using LogFunction = std::function<void(const std::u16string& line)>;
// Returns the function it replaces.
LogFunction setLogFunction(LogFunction function);

void log(std::u16string_view line);
// The first time `line` is seen in this process.
void logOnce(std::u16string_view line);
// The first time `key` is seen: for lines that carry changing details.
void logOnce(std::string_view key, std::u16string_view line);

} // namespace standin
