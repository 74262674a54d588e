// SPDX-License-Identifier: MIT
// Runs one of the tool's commands in-process and keeps what it printed, so
// command tests check exit codes and output without spawning the binary.
#pragma once

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/CommandLine.h"

namespace commandrun {

struct Result {
    int code;
    std::string out;
    std::string err;
};

inline std::string drain(std::FILE* file) {
    std::rewind(file);
    std::string text;
    for (int c; (c = std::fgetc(file)) != EOF;) text += char(c);
    std::fclose(file);
    return text;
}

// `embossa ARGS...`; the standard output goes to `out` when one is given
// (and is then the caller's to close), else it is kept in the result.
inline Result runWords(const std::vector<std::string>& args, std::FILE* out = nullptr) {
    std::FILE* kept = out ? nullptr : std::tmpfile();
    std::FILE* err = std::tmpfile();
    const int code = app::runCommandLine(args, out ? out : kept, err);
    return {code, kept ? drain(kept) : std::string(), drain(err)};
}

// `embossa VERB ARGS...`
inline Result run(const std::string& verb, std::vector<std::string> args) {
    args.insert(args.begin(), verb);
    return runWords(args);
}

// Failures are one line on stderr, named after the tool.
inline void expectOneErrorLine(const Result& r, int code = 1) {
    EXPECT_EQ(r.code, code);
    EXPECT_EQ(r.err.rfind("embossa: ", 0), 0u) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
}

} // namespace commandrun
