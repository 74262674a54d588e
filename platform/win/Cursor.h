// SPDX-License-Identifier: MIT
// The pointer as the engine sees it: the position the last mouse event left
// (or the system's, with a display), the show count, and the confinement of
// ClipCursor, which SDL does per window; a clip to one point pins the
// pointer in SDL's relative mode so motion keeps arriving.
#pragma once

#include "win/WinTypes.h"

namespace win::input {

// The pointer as the last mouse event left it, in screen pixels.
POINT trackedCursor();
void setTrackedCursor(POINT screen);

} // namespace win::input
