// SPDX-License-Identifier: MIT
// The engine's square root: a 65,536-entry table of mantissas indexed by the
// exponent's low bit and the top 15 mantissa bits. Vector normalisation and
// the relief's face normals go through it, and stored meshes depend on its
// exact bits, so it must not be swapped for sqrtf. The table is built once
// when the program starts. Meant for positive normal floats and zero; for
// denormals, negatives, infinities and NaN the result is meaningless.
#pragma once

#include <cstdint>

float tableSqrt(float value);

// The 23-bit mantissa the table holds at `index` (tests and tools).
uint32_t tableSqrtEntry(uint32_t index);
