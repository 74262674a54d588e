// SPDX-License-Identifier: MIT
// The factory's side of the per-type pools that dispose() fills.
#pragma once

#include <cstdint>

#include "script/ObjectBase.h"

// The most recently pooled object of the type, taken out; null when none.
Script::ObjectBase* takePooledObject(int32_t typeId);
