// SPDX-License-Identifier: MIT
// The table square root against the library root: exact where the table was
// sampled (whatever the exponent, which checks the wrapping exponent rule),
// and within the table's resolution everywhere else.
#include "core/TableSqrt.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <random>

namespace {

uint32_t bits(float value) {
    return std::bit_cast<uint32_t>(value);
}

TEST(TableSqrtTest, ExactValuesAndZero) {
    EXPECT_EQ(bits(tableSqrt(0.0f)), 0u);
    EXPECT_EQ(tableSqrt(1.0f), 1.0f);
    EXPECT_EQ(tableSqrt(4.0f), 2.0f);
    EXPECT_EQ(tableSqrt(0.25f), 0.5f); // below 1.0: the subtraction wraps
    EXPECT_EQ(tableSqrt(2.0f), std::sqrt(2.0f));
    EXPECT_EQ(tableSqrtEntry(32768), 0u); // sqrt(1) has no mantissa bits
    EXPECT_EQ(tableSqrtEntry(0), bits(std::sqrt(2.0f)) & 0x7FFFFFu);
}

TEST(TableSqrtTest, MatchesTheLibraryRootWhereTheTableWasSampled) {
    std::mt19937 random(7);
    for (int exponent = 1; exponent < 255; ++exponent) {
        for (int k = 0; k < 64; ++k) {
            const uint32_t pattern = uint32_t(exponent) << 23 | (random() & 0x7FFF) << 8;
            const float x = std::bit_cast<float>(pattern);
            ASSERT_EQ(bits(tableSqrt(x)), bits(std::sqrt(x))) << "x = " << x;
        }
    }
}

TEST(TableSqrtTest, StaysWithinTheTableResolutionBetweenSamples) {
    std::mt19937 random(11);
    std::uniform_int_distribution<uint32_t> pattern(0x00800000u, 0x7F7FFFFFu);
    for (int k = 0; k < 100000; ++k) {
        const float x = std::bit_cast<float>(pattern(random));
        const double exact = std::sqrt(double(x));
        ASSERT_LE(std::abs(double(tableSqrt(x)) - exact) / exact, 1.0 / 32768) << "x = " << x;
    }
}

} // namespace
