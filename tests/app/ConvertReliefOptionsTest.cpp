// SPDX-License-Identifier: MIT
// `embossa convert` with the relief options: at their defaults they change
// no byte; each one's effect on known images; every combination a closed
// block, also past 16-bit indices and as third-party readers see it; bad
// values refused with their range; and 16-bit steps that only --precise
// keeps.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "CommandRun.h"
#include "ReliefSupport.h"
#include "ThirdPartyTools.h"
#include "support/ImageFiles.h"
#include "support/TempFolder.h"

namespace {

namespace fs = std::filesystem;
using commandrun::Result;

// A 16-bit PPM whose three samples of pixel (x, y) are `sample(x, y, c)`;
// y = 0 is the top row.
std::string ppm16(int w, int h, const std::function<int(int, int, int)>& sample) {
    std::string bytes = "P6\n" + std::to_string(w) + " " + std::to_string(h) + "\n65535\n";
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < 3; ++c) {
                const int v = sample(x, y, c);
                bytes += char(v >> 8);
                bytes += char(v & 0xFF);
            }
    return bytes;
}

class ConvertReliefOptions : public ::testing::Test {
protected:
    std::string image(const std::string& name, const std::string& bytes) {
        TempFolder::writeBytes(folder / name, bytes);
        return (folder / name).string();
    }
    std::string image(const std::string& name, const std::vector<uint8_t>& bytes) {
        return image(name, std::string(bytes.begin(), bytes.end()));
    }
    // The file `args` convert the image to, or "" when the command failed.
    std::string convert(const std::string& picture, std::vector<std::string> args,
                        const std::string& output = "out.obj") {
        args.insert(args.begin(), picture);
        args.insert(args.end(), {"-o", (folder / output).string()});
        const Result result = commandrun::run("convert", args);
        EXPECT_EQ(result.code, 0) << result.err;
        return result.code == 0 ? TempFolder::readBytes(folder / output) : std::string();
    }
    // A picture whose red and green samples run against each other, with
    // both ends of the range in it.
    std::string ramp() {
        return image("ramp.ppm", ppm16(64, 64, [](int x, int y, int c) {
                         const int red = std::min(65535, (x + y) * 521);
                         return c == 0 ? red : c == 1 ? 65535 - red : 9000;
                     }));
    }

    TempFolder folder;
};

struct Range {
    float low[3] = {1e30f, 1e30f, 1e30f};
    float high[3] = {-1e30f, -1e30f, -1e30f};
};
Range rangeOf(const IndexedMesh& mesh, int64_t first, int64_t end) {
    Range range;
    for (int64_t v = first; v < end; ++v)
        for (int k = 0; k < 3; ++k) {
            range.low[k] = std::min(range.low[k], mesh.position(v)[k]);
            range.high[k] = std::max(range.high[k], mesh.position(v)[k]);
        }
    return range;
}

TEST_F(ConvertReliefOptions, DefaultsGivenOutrightChangeNoByte) {
    const std::string picture = ramp();
    for (const char* axis : {"xy", "xz", "yz"}) {
        const std::string plain = convert(picture, {"--axis", axis, "--flip-x"});
        const std::string spelled =
            convert(picture, {"--axis", axis, "--flip-x", "--grid", "120", "--size", "10",
                              "--relief", "1", "--base", "1.0", "--channel", "red"});
        EXPECT_EQ(plain, spelled) << axis;
        EXPECT_FALSE(plain.empty());
    }
}

TEST_F(ConvertReliefOptions, GridSizeReliefAndBaseShapeTheBlock) {
    const std::string picture = ramp();
    const IndexedMesh mesh =
        relief::readObj(convert(picture, {"--grid", "300", "--size", "50", "--relief", "4",
                                          "--base", "2", "--axis", "xz"}));
    constexpr int64_t side = 300;
    ASSERT_EQ(mesh.vertexCount(), side * side + 4 * side + 12);
    EXPECT_EQ(mesh.triangleCount(), 2 * (side - 1) * (side - 1) + 4 * side + 2);
    EXPECT_EQ(*std::max_element(mesh.indices.begin(), mesh.indices.end()),
              uint32_t(mesh.vertexCount() - 1))
        << "faces name vertices past 16-bit indices";
    const Range top = rangeOf(mesh, 0, side * side);
    EXPECT_FLOAT_EQ(top.low[1], 2.0f) << "black sits at the base";
    EXPECT_NEAR(top.high[1], 6.0f, 1e-5f) << "full red at base + relief";
    const Range all = rangeOf(mesh, 0, mesh.vertexCount());
    for (int k : {0, 2}) {
        EXPECT_EQ(all.low[k], -25.0f);
        EXPECT_EQ(all.high[k], 25.0f);
    }
    EXPECT_EQ(all.low[1], 0.0f) << "the bottom stays on the plane";
    const relief::Solidity solid = relief::solidity(mesh);
    EXPECT_EQ(solid.openEdges, 0);
    EXPECT_GT(solid.volume, 50.0 * 50.0 * 2.0 * 0.95);
}

TEST_F(ConvertReliefOptions, ChannelAndInvertPickWhatIsHigh) {
    // Red 0, green full, blue half: each channel gives its own flat top.
    const std::string picture = image("flat.ppm", ppm16(8, 8, [](int, int, int c) {
                                          return c == 0 ? 0 : c == 1 ? 65535 : 32896;
                                      }));
    const auto topHeights = [&](std::vector<std::string> args) {
        args.insert(args.end(), {"--axis", "xz", "--grid", "8"});
        const Range top = rangeOf(relief::readObj(convert(picture, args)), 0, 64);
        EXPECT_EQ(top.low[1], top.high[1]) << "a flat picture gives a flat top";
        return top.low[1];
    };
    EXPECT_EQ(topHeights({}), 1.0f);
    EXPECT_EQ(topHeights({"--channel", "red", "--invert"}), topHeights({"--channel", "green"}));
    EXPECT_NEAR(topHeights({"--channel", "green"}), 2.0f, 1e-6f);
    EXPECT_NEAR(topHeights({"--channel", "blue"}), 1.0f + 128.0f / 255.0f, 1e-6f);
    EXPECT_NEAR(topHeights({"--channel", "alpha"}), 2.0f, 1e-6f) << "no alpha reads as opaque";
    EXPECT_NEAR(topHeights({"--channel", "luma"}), 1.0f + (0.7152f * 255 + 0.0722f * 128) / 255,
                1e-5f);
    EXPECT_NEAR(topHeights({"--channel", "luma", "--precise"}),
                1.0f + 0.7152f + 0.0722f * 32896 / 65535, 1e-5f);
}

TEST_F(ConvertReliefOptions, EveryCombinationIsAClosedBlock) {
    const std::string picture = ramp();
    const std::vector<std::vector<std::string>> variants = {
        {"--grid", "2"},
        {"--grid", "3", "--invert"},
        {"--grid", "31", "--relief", "0"},
        {"--grid", "64", "--channel", "luma", "--precise", "--size", "0.01"},
        {"--grid", "257", "--precise", "--invert", "--base", "0.01", "--relief", "10000"}};
    for (const std::vector<std::string>& variant : variants)
        for (const char* axis : {"xy", "xz", "yz"})
            for (const char* flip : {"--flip-x", "--flip-y"}) {
                std::vector<std::string> args = variant;
                args.insert(args.end(), {"--axis", axis, flip});
                const relief::Solidity solid =
                    relief::solidity(relief::readObj(convert(picture, args)));
                std::string label;
                for (const std::string& arg : args) label += arg + " ";
                EXPECT_EQ(solid.openEdges, 0) << label;
                EXPECT_GT(solid.volume, 0.0) << label;
            }
}

TEST_F(ConvertReliefOptions, ThirdPartyReadersTakeFilesPastSixteenBitIndices) {
    if (!thirdparty::haveReaders()) GTEST_SKIP() << thirdparty::kNoReaders;
    const std::string picture = ramp();
    const std::vector<std::string> options = {"--grid",    "300",       "--size", "80",
                                              "--precise", "--channel", "luma"};
    constexpr double triangles = 2 * 299 * 299 + 4 * 300 + 2;
    convert(picture, options, "fine.obj");
    const auto [status, info] =
        thirdparty::run("assimp info '" + (folder / "fine.obj").string() + "'");
    ASSERT_EQ(status, 0) << info;
    EXPECT_EQ(thirdparty::figure(info, "Faces"), triangles) << info;
    for (const char* format : {"fine.stl", "fine.ply"}) {
        convert(picture, options, format);
        const auto [readStatus, report] =
            thirdparty::run("assimp info '" + (folder / format).string() + "'");
        ASSERT_EQ(readStatus, 0) << report;
        EXPECT_EQ(thirdparty::figure(report, "Faces"), triangles) << format << report;
    }
    const auto [admeshStatus, report] =
        thirdparty::run("admesh -e '" + (folder / "fine.stl").string() + "'");
    ASSERT_EQ(admeshStatus, 0) << report;
    EXPECT_EQ(thirdparty::figure(report, "Number of facets"), triangles) << report;
    EXPECT_EQ(thirdparty::figure(report, "Total disconnected facets"), 0) << report;
    EXPECT_EQ(thirdparty::figure(report, "Backwards edges"), 0) << report;
    EXPECT_GT(thirdparty::figure(report, ".*Volume"), 80 * 80) << report;
}

TEST_F(ConvertReliefOptions, BadValuesAreUsageErrorsThatGiveTheRange) {
    const std::string picture = ramp();
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--grid", "1"}, "2 to 1024"},
        {{"--grid", "1025"}, "2 to 1024"},
        {{"--grid", "12x"}, "2 to 1024"},
        {{"--grid"}, "2 to 1024"},
        {{"--size", "0"}, "0.01 to 10000"},
        {{"--size", "-3"}, "0.01 to 10000"},
        {{"--size", "nan"}, "0.01 to 10000"},
        {{"--size", "inf"}, "0.01 to 10000"},
        {{"--size", "1e5"}, "0.01 to 10000"},
        {{"--size", "10mm"}, "0.01 to 10000"},
        {{"--relief", "-0.5"}, "0 to 10000"},
        {{"--relief", ""}, "0 to 10000"},
        {{"--base", "0"}, "0.01 to 10000"},
        {{"--base"}, "0.01 to 10000"},
        {{"--channel", "Red"}, "red, green, blue, alpha or luma"},
        {{"--channel"}, "red, green, blue, alpha or luma"}};
    for (const auto& [options, range] : cases) {
        std::vector<std::string> args = {picture, "-o", (folder / "never.obj").string()};
        args.insert(args.end(), options.begin(), options.end());
        const Result result = commandrun::run("convert", args);
        commandrun::expectOneErrorLine(result, 2);
        EXPECT_NE(result.err.find(options.front()), std::string::npos) << result.err;
        EXPECT_NE(result.err.find(range), std::string::npos) << result.err;
        EXPECT_FALSE(fs::exists(folder / "never.obj")) << result.err;
    }
}

TEST_F(ConvertReliefOptions, SixteenBitStepsSurviveOnlyWithPrecise) {
    // Four terraces one 16-bit step apart, which all round to the byte 128.
    const auto terrace = [](int x) { return 32768 + x / 30; };
    std::vector<uint16_t> gray;
    for (int y = 0; y < 120; ++y)
        for (int x = 0; x < 120; ++x) gray.push_back(uint16_t(terrace(x)));
    const std::string pictures[] = {
        image("terraces.png", testimages::png16(120, 120, 1, gray)),
        image("terraces.ppm", ppm16(120, 120, [&](int x, int, int) { return terrace(x); }))};
    for (const std::string& picture : pictures) {
        SCOPED_TRACE(picture);
        const auto distinctHeights = [&](std::vector<std::string> args) {
            args.insert(args.end(), {"--axis", "xz"});
            const IndexedMesh mesh = relief::readObj(convert(picture, args));
            std::vector<float> heights;
            for (int64_t v = 0; v < 120 * 120; ++v) heights.push_back(mesh.position(v)[1]);
            std::sort(heights.begin(), heights.end());
            return std::vector<float>(heights.begin(), std::unique(heights.begin(), heights.end()));
        };
        EXPECT_EQ(distinctHeights({}).size(), 1u);
        EXPECT_EQ(distinctHeights({"--relief", "1000"}).size(), 1u);
        // Relief 1000 lifts a step of 1/65535 to 0.0153, well above the six
        // decimals of the OBJ text.
        const std::vector<float> precise = distinctHeights({"--precise", "--relief", "1000"});
        ASSERT_EQ(precise.size(), 4u);
        for (int k = 0; k < 4; ++k)
            EXPECT_NEAR(precise[k], 1.0f + 1000.0f * float(32768 + k) / 65535.0f, 1e-3f) << k;
    }
}

} // namespace
