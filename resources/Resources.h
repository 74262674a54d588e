// SPDX-License-Identifier: MIT
// The program's resources: dialog templates registered with the window layer
// by id, as a resource section would hold them.
#pragma once

void registerResources();
