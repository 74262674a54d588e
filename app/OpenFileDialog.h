// SPDX-License-Identifier: MIT
// Choosing a file: the filter lists the tool offers by id, and the open
// dialog that fills a String path in place.
#pragma once

#include <cstdint>

#include "core/String.h"
#include "win/WinTypes.h"

// Filter ids
inline constexpr uint32_t kNoFilter = 0;
inline constexpr uint32_t kImageFilter = 1;
inline constexpr uint32_t kSoundFilter = 4;

// The list in the common-dialog form: description, patterns, each
// zero-terminated, ended by an empty string. Null for ids without a list.
const char16_t* fileFilter(uint32_t id);

// 1 when a file was chosen and `path` now holds it; 0 when cancelled, with
// `path` unchanged. The previous path is preselected.
int32_t openFileDialog(HWND owner, uint32_t filterId, String& path);
