// SPDX-License-Identifier: MIT
// `embossa script`: reads script files and runs each one's global method
// once, in the order given. Every file is read before anything runs, so a
// mistake in the last file stops the first from running. The programs see
// the globals `camera` (a camera of the command's own, attached to no
// window), `keyboard` and `mouse` (an input record no device updates, so
// every key and button is up).
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace app {

// `args` are the words after "script": files, "archive.pack:entry" paths
// or "-" for `in`. `print` writes to `out`. Returns 0, 1 when a file could
// not be read or is not a valid script (one line on `err` per file, nothing
// run), or 2 for a usage error.
int runScriptCommand(const std::vector<std::string>& args, std::FILE* out, std::FILE* err,
                     std::FILE* in = stdin);

} // namespace app
