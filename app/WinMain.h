// SPDX-License-Identifier: MIT
// The process entry of the dialog tool: runs dialog 101 as a modal dialog box
// on the single application object and returns -1 whatever happened in it.
#pragma once

#include "app/Embossa.h"
#include "win/WinTypes.h"

// The application object, created on first use and destroyed at exit.
Embossa& application();

int WinMain(HINSTANCE instance);
