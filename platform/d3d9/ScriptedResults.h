// SPDX-License-Identifier: MIT
// The queue of results tests script for a few calls (D3D9Runtime.h).
#pragma once

#include <optional>

#include "d3d9/D3D9Runtime.h"

namespace d3d9 {
// The next scripted result for `call`, if a test queued one.
std::optional<HRESULT> takeScripted(test::Call call);
} // namespace d3d9
