// SPDX-License-Identifier: MIT
// `embossa pack create|list|extract`: builds, lists and unpacks pack
// archives with the engine's own PackWriter and Pack reader, so what the
// command accepts is exactly what the engine can open. Entry names are
// relative paths with '/' separators in Windows-1252; anything else is
// refused rather than stored in a form a reader could not name. create and
// extract each write everything or nothing: an archive replaces the old one
// only when complete, and an extraction that fails takes back its files.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace app {

// `args` are the words after "pack". Returns the exit code: 0, 1 for bad
// input data or a failed file operation, 2 for a usage error. Each error is
// one line on `err` starting "embossa: ".
int runPackCommand(const std::vector<std::string>& args, std::FILE* out, std::FILE* err);

} // namespace app
