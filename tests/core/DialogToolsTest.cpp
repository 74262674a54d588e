// SPDX-License-Identifier: MIT
#include "core/DialogTools.h"

#include <gtest/gtest.h>

namespace {

TEST(Bitmap, RowZeroIsTheBottomLineAndPixelsStepFourBytes) {
    DialogTools::Bitmap bitmap;
    ASSERT_EQ(bitmap.create(nullptr, 0, 32, 3, 2), &bitmap);
    EXPECT_EQ(bitmap.width(), 3);
    EXPECT_EQ(bitmap.height(), 2);
    EXPECT_EQ(bitmap.format, 21);
    EXPECT_EQ(bitmap.header.biHeight, 2); // positive: bottom-up rows
    EXPECT_EQ(bitmap.header.biXPelsPerMeter, 6000);
    ASSERT_EQ(bitmap.buffer.size(), 3 * 2 * 4);

    EXPECT_EQ(reinterpret_cast<uint8_t*>(bitmap.pixelAt(0, 0)), bitmap.buffer.items);
    EXPECT_EQ(reinterpret_cast<uint8_t*>(bitmap.pixelAt(2, 1)), bitmap.buffer.items + (2 + 3) * 4);
    bitmap.x = 1;
    bitmap.y = 1;
    EXPECT_EQ(bitmap.pixel(), bitmap.pixelAt(1, 1));
}

TEST(Bitmap, DepthsPickTheirFormatAndRecreatingReplacesTheBuffer) {
    DialogTools::Bitmap bitmap;
    bitmap.create(nullptr, 0, 16, 2, 2);
    EXPECT_EQ(bitmap.format, 25);
    // Four bytes a pixel whatever the depth, so pixelAt never leaves the buffer.
    EXPECT_EQ(bitmap.buffer.size(), 16);
    bitmap.create(nullptr, 0, 24, 2, 2);
    EXPECT_EQ(bitmap.format, 20);
    bitmap.create(nullptr, 0, 8, 1, 1);
    EXPECT_EQ(bitmap.format, 20); // unknown depths keep the previous code
    bitmap.create(nullptr, 0, 32, 0, 5);
    EXPECT_EQ(bitmap.buffer.items, nullptr);
    bitmap.create(nullptr, 0, 32, -4, 5);
    EXPECT_EQ(bitmap.buffer.items, nullptr);
}

} // namespace
