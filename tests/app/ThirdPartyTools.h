// SPDX-License-Identifier: MIT
// Other programs' readers of our files (assimp, admesh), run as a shell
// would run them, with the figures read back out of what they print.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <regex>
#include <string>
#include <utility>

namespace thirdparty {

// Runs a command, returning its exit status and what it printed.
inline std::pair<int, std::string> run(const std::string& command) {
    std::string output;
    std::FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return {-1, output};
    char chunk[4096];
    for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;) output.append(chunk, n);
    const int status = ::pclose(pipe);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

inline bool onPath(const std::string& tool) {
    return run("command -v " + tool).first == 0;
}

// Both readers, or the reason to skip.
inline bool haveReaders() {
    return onPath("assimp") && onPath("admesh");
}
inline constexpr const char* kNoReaders =
    "assimp-utils or admesh is not installed (scripts/install-deps installs both)";

// The number after "label:" on its own line, or -1.
inline double figure(const std::string& output, const std::string& label) {
    std::smatch match;
    if (std::regex_search(output, match, std::regex("(^|\\n)" + label + "\\s*:?\\s*(-?[0-9.]+)")))
        return std::stod(match[2]);
    return -1;
}

} // namespace thirdparty
