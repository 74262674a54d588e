// SPDX-License-Identifier: MIT
// Replacing a file whole: the new bytes go to a synced temporary file that
// is renamed over the target, so a full disk or a crash leaves the old file
// as it was. Only a regular file (or a new one) is a target; a folder, a
// pipe or device, a read-only file and a pack entry are refused, and a link
// is followed to the file it names. In a folder that allows no new file the
// existing file is rewritten in place, the one way left to save there.
#pragma once

#include <cstddef>
#include <string>

#include "core/String.h"

// `path` is engine path text. On failure `why` holds one line naming the
// file and the reason, and the old file is untouched (or, rewritten in
// place, says whether it still is).
bool replaceFile(const String& path, const void* data, size_t size, std::string& why);
