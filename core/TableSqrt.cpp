// SPDX-License-Identifier: MIT
#include "core/TableSqrt.h"

#include <bit>
#include <cmath>

namespace {

struct SqrtTable {
    uint32_t mantissa[65536];

    SqrtTable() {
        // Entries 32768 up hold roots of [1, 2) (odd exponent bit 23 set in
        // 1.0's pattern), entries below 32768 roots of [2, 4).
        for (uint32_t i = 0; i < 32768; ++i) {
            mantissa[32768 + i] = bitsOfRoot(0x3F800000u | i << 8);
            mantissa[i] = bitsOfRoot(0x40000000u | i << 8);
        }
    }

    static uint32_t bitsOfRoot(uint32_t pattern) {
        return std::bit_cast<uint32_t>(std::sqrt(std::bit_cast<float>(pattern))) & 0x007FFFFFu;
    }
};

const SqrtTable& table() {
    static const SqrtTable built;
    return built;
}

// Builds the table while the program starts, so no frame pays for it; the
// function-local static above still guards callers that run even earlier.
[[maybe_unused]] const SqrtTable& builtAtStart = table();

} // namespace

float tableSqrt(float value) {
    const uint32_t u = std::bit_cast<uint32_t>(value);
    if (u == 0) return 0.0f;
    // Halving the unbiased exponent with wrapping u32 arithmetic: the mask
    // drops the bit that the wrap of values below 1.0 leaves on top.
    const uint32_t exponent = (((u - 0x3F800000u) >> 1) + 0x3F800000u) & 0x7F800000u;
    return std::bit_cast<float>(exponent | table().mantissa[(u >> 8) & 0xFFFFu]);
}

uint32_t tableSqrtEntry(uint32_t index) {
    return table().mantissa[index & 0xFFFFu];
}
