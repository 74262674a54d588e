// SPDX-License-Identifier: MIT
// Reading an image's bytes and saying why an image cannot be used, in one
// place for the dialog's error boxes and the command line's messages. Each
// reason is one line that names the file (quoted, control characters
// escaped) and says what a user can act on.
#pragma once

#include <string>

#include "core/FileArray.h"
#include "core/String.h"

namespace app {

// Reads the whole image at `path` (a file, or "archive.pack:entry") into
// `bytes`. Only regular files and pack entries are read. On failure `bytes`
// is left empty, so no earlier image's bytes survive, and `why` says why:
// the file does not exist, is a folder, is not a regular file, cannot be
// opened (permission denied, a link loop, ...), the archive is not one, it
// has no such entry, or the read ended early.
bool readImageInput(const String& path, FileArray& bytes, std::string& why);

// Why `bytes`, read from `path`, do not decode as an image, naming the
// decoder's own reason where it gives one; empty when they do decode.
std::string imageDecodeProblem(const String& path, FileArray& bytes);

} // namespace app
