// SPDX-License-Identifier: MIT
// The `embossa` command line: global options, then an optional sub-command.
// Each sub-command lives in its own file and registers nothing globally; the
// dispatcher here is the one place that knows them all.
#pragma once

#include <string>
#include <vector>

namespace app {

// Runs the program for the given arguments (without argv[0]) and returns the
// process exit code. Output goes to the given streams so tests can read it.
int runCommandLine(const std::vector<std::string>& args, std::FILE* out, std::FILE* err);

} // namespace app
