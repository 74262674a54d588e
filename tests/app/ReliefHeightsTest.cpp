// SPDX-License-Identifier: MIT
// Where heights come from: the channel names, the preview's bytes with
// inversion and luma, and the decoded samples at full precision, where a
// grid the image's size reads each pixel exactly, in-between points are
// bilinear, float files are clamped, and 16-bit steps stay apart.
#include "app/ReliefHeights.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

namespace {

// A gray PFM (little-endian), `rows` given top first as the picture reads.
std::string grayPfm(int width, const std::vector<std::vector<float>>& rows) {
    std::string bytes =
        "Pf\n" + std::to_string(width) + " " + std::to_string(rows.size()) + "\n-1.0\n";
    for (auto row = rows.rbegin(); row != rows.rend(); ++row)
        for (float sample : *row) bytes.append(reinterpret_cast<const char*>(&sample), 4);
    return bytes;
}

app::HeightGrid sampled(const std::string& file, int32_t side, bool invert = false,
                        app::HeightChannel channel = app::HeightChannel::Red) {
    d3dx::MemoryImageSource source(file.data(), file.size());
    app::HeightGrid grid;
    std::string why;
    EXPECT_EQ(app::readSampleHeights(source, side, channel, invert, grid, why), D3D_OK) << why;
    return grid;
}

TEST(HeightChannel, TheFiveNamesAndNothingElse) {
    app::HeightChannel channel = app::HeightChannel::Red;
    for (const char* name : {"red", "green", "blue", "alpha", "luma"})
        EXPECT_TRUE(app::channelNamed(name, channel)) << name;
    EXPECT_EQ(channel, app::HeightChannel::Luma);
    for (const char* name : {"", "Red", "lum", "luminance", "rgb", "red "})
        EXPECT_FALSE(app::channelNamed(name, channel)) << name;
    EXPECT_EQ(channel, app::HeightChannel::Luma) << "a refused name changes nothing";
}

TEST(PixelHeights, EachChannelAndInversionReadTheirOwnByte) {
    DialogTools::Bitmap picture;
    picture.create(nullptr, 0, 32, 2, 2);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 2; ++x) *picture.pixelAt(x, y) = Color{30, 20, 10, 40}; // b g r a
    const float scale = 0.003921569f;
    const std::pair<app::HeightChannel, int> expected[] = {{app::HeightChannel::Red, 10},
                                                           {app::HeightChannel::Green, 20},
                                                           {app::HeightChannel::Blue, 30},
                                                           {app::HeightChannel::Alpha, 40}};
    app::HeightGrid grid;
    for (const auto& [channel, byte] : expected) {
        app::readPixelHeights(picture, channel, false, grid);
        ASSERT_EQ(grid.side, 2);
        EXPECT_EQ(grid.at(1, 1), float(byte) * scale);
        app::readPixelHeights(picture, channel, true, grid);
        EXPECT_EQ(grid.at(0, 1), float(255 - byte) * scale) << "inverted";
    }
}

TEST(PixelHeights, LumaSpansBlackToWhiteAndInvertedBlackIsWhite) {
    DialogTools::Bitmap picture;
    picture.create(nullptr, 0, 32, 2, 2);
    *picture.pixelAt(0, 0) = Color{0, 0, 0, 255};
    *picture.pixelAt(1, 0) = Color{255, 255, 255, 0};
    *picture.pixelAt(0, 1) = Color{0, 255, 0, 0}; // pure green weighs the most
    *picture.pixelAt(1, 1) = Color{255, 0, 0, 0}; // pure blue the least
    app::HeightGrid grid, inverted, red;
    app::readPixelHeights(picture, app::HeightChannel::Luma, false, grid);
    app::readPixelHeights(picture, app::HeightChannel::Luma, true, inverted);
    EXPECT_EQ(grid.at(0, 0), 0.0f);
    EXPECT_NEAR(grid.at(1, 0), 1.0f, 1e-6f);
    EXPECT_NEAR(grid.at(0, 1), 0.7152f, 1e-6f);
    EXPECT_NEAR(grid.at(1, 1), 0.0722f, 1e-6f);
    EXPECT_NEAR(inverted.at(0, 0), 1.0f, 1e-6f);
    EXPECT_NEAR(inverted.at(1, 0), 0.0f, 1e-6f);

    // A pixel source that is not square gives no grid, as the dialog's
    // builder refuses it.
    picture.create(nullptr, 0, 32, 3, 2);
    app::readPixelHeights(picture, app::HeightChannel::Red, false, red);
    EXPECT_EQ(red.side, 0);
    EXPECT_TRUE(red.units.empty());
}

TEST(SampleHeights, AGridOfTheImagesSizeReadsEachPixelExactlyBottomRowFirst) {
    const std::vector<std::vector<float>> rows = {
        {0.1f, 0.2f, 0.3f}, {0.4f, 0.5f, 0.6f}, {0.7f, 0.8f, 0.9f}};
    const app::HeightGrid grid = sampled(grayPfm(3, rows), 3);
    ASSERT_EQ(grid.side, 3);
    for (int j = 0; j < 3; ++j)
        for (int i = 0; i < 3; ++i) EXPECT_EQ(grid.at(i, j), rows[2 - j][i]) << i << ", " << j;
}

TEST(SampleHeights, BetweenPixelsTheHeightIsBilinear) {
    // Grid points fall at 0, 0.5, 1 and 1.5 pixels: the last clamps to the
    // last column, and grid row 2 lies halfway between the image's rows.
    const app::HeightGrid grid = sampled(grayPfm(2, {{0.0f, 1.0f}, {1.0f, 1.0f}}), 4);
    ASSERT_EQ(grid.side, 4);
    const float bottomRow[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    const float halfway[4] = {0.5f, 0.75f, 1.0f, 1.0f};
    const float topRow[4] = {0.0f, 0.5f, 1.0f, 1.0f};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(grid.at(i, 1), bottomRow[i]) << i;
        EXPECT_EQ(grid.at(i, 2), halfway[i]) << i;
        EXPECT_EQ(grid.at(i, 3), topRow[i]) << i;
    }
}

TEST(SampleHeights, FloatFilesAreClampedAndNaNIsLow) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float infinity = std::numeric_limits<float>::infinity();
    const std::string file = grayPfm(5, {{-1.0f, 2.0f, nan, 0.5f, infinity}});
    const app::HeightGrid grid = sampled(file, 5);
    const app::HeightGrid inverted = sampled(file, 5, true);
    const float expected[5] = {0.0f, 1.0f, 0.0f, 0.5f, 1.0f};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(grid.at(i, 4), expected[i]) << i;
        EXPECT_EQ(inverted.at(i, 4), 1.0f - expected[i]) << i;
    }
}

TEST(SampleHeights, SixteenBitStepsStayApartWhereBytesWouldMergeThem) {
    // 32768 to 32771 out of 65535 all round to the byte 128.
    std::string file = "P6\n4 1\n65535\n";
    for (int v = 32768; v < 32772; ++v)
        for (int c = 0; c < 3; ++c) file += {char(v >> 8), char(v & 0xFF)};
    const app::HeightGrid grid = sampled(file, 4);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(grid.at(i, 3), float(32768 + i) / 65535.0f) << i;
}

TEST(SampleHeights, LumaWeighsTheColourSamples) {
    std::string file = "PF\n2 1\n-1.0\n";
    for (float sample : {0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 1.0f})
        file.append(reinterpret_cast<const char*>(&sample), 4);
    const app::HeightGrid grid = sampled(file, 2, false, app::HeightChannel::Luma);
    EXPECT_EQ(grid.at(0, 1), 0.7152f);
    EXPECT_EQ(grid.at(1, 1), 0.0722f);
}

TEST(SampleHeights, AnUndecodableFileSaysWhyAndGivesNoGrid) {
    const std::string file = grayPfm(4, {{0.5f, 0.5f, 0.5f, 0.5f}}).substr(0, 20);
    d3dx::MemoryImageSource source(file.data(), file.size());
    app::HeightGrid grid;
    grid.side = 7;
    std::string why;
    EXPECT_TRUE(
        FAILED(app::readSampleHeights(source, 4, app::HeightChannel::Red, false, grid, why)));
    EXPECT_NE(why.find("truncated"), std::string::npos) << why;
    EXPECT_EQ(grid.side, 0);
}

} // namespace
