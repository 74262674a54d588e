// SPDX-License-Identifier: MIT
// Full-precision samples against what the 8-bit decode of the same bytes
// gives: the same refusals and reasons, the same rows; bytes over 255 where a
// file holds 8 bits, and values that round to those bytes where it holds
// more. Exact values are checked where 8 bits would lose them: neighbouring
// 16-bit samples, PPM maxvals, PFM floats outside 0..1, NaN and infinities.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <limits>
#include <map>
#include <string>
#include <vector>

#include "d3d9/ImageDecoders.h"
#include "d3d9/ImageSamples.h"
#include "support/ImageFiles.h"

namespace {

using namespace std::string_literals; // "..."s keeps the NUL bytes of a file
using Row = std::vector<float>;

// Keeps the rows it asked for and checks the decoder kept to the protocol.
struct SampleRecorder : d3dx::SampleRowSink {
    std::function<bool(int)> wants = [](int) { return true; };
    int width = -1, height = -1, begins = 0;
    std::map<int, Row> rows;
    std::vector<int> order;

    void begin(int w, int h) override {
        ++begins;
        width = w;
        height = h;
    }
    int nextRowWanted(int row) override {
        while (row < height && !wants(row)) ++row;
        return row;
    }
    void take(int row, const float* rgba) override {
        EXPECT_TRUE(wants(row)) << "row " << row << " was not asked for";
        order.push_back(row);
        rows[row].assign(rgba, rgba + size_t(width) * 4);
    }
};

// Serves the bytes a piece at a time, never whole, as a file stream does.
class PieceSource final : public d3dx::ImageSource {
public:
    explicit PieceSource(std::vector<uint8_t> bytes, size_t failAt = SIZE_MAX)
        : bytes_(std::move(bytes)), failAt_(failAt) {}
    size_t size() const override { return bytes_.size(); }
    bool read(size_t offset, void* into, size_t count) override {
        if (offset > bytes_.size() || count > bytes_.size() - offset || offset + count > failAt_)
            return false;
        std::memcpy(into, bytes_.data() + offset, count);
        return true;
    }

private:
    std::vector<uint8_t> bytes_;
    size_t failAt_;
};

struct Samples {
    HRESULT result = E_FAIL;
    std::string why;
    d3dx::ImageInfo info{};
    SampleRecorder rows;
};

Samples decodeSamples(
    const std::vector<uint8_t>& bytes, std::function<bool(int)> wants = [](int) { return true; },
    bool pieces = false) {
    Samples out;
    out.rows.wants = std::move(wants);
    d3dx::MemoryImageSource memory(bytes.data(), bytes.size());
    PieceSource piecewise(bytes);
    d3dx::ImageSource& source = pieces ? static_cast<d3dx::ImageSource&>(piecewise) : memory;
    out.result = d3dx::decodeImageSamples(source, out.rows, &out.info, &out.why);
    return out;
}

// Bit for bit, so that NaN matches NaN and -0 does not match 0.
bool sameBits(float a, float b) {
    return std::bit_cast<uint32_t>(a) == std::bit_cast<uint32_t>(b);
}

void expectRow(const Row& actual, const Row& expected, const std::string& label) {
    ASSERT_EQ(actual.size(), expected.size()) << label;
    for (size_t i = 0; i < actual.size(); ++i)
        ASSERT_TRUE(sameBits(actual[i], expected[i]))
            << label << ", sample " << i << ": " << actual[i] << " != " << expected[i];
}

// Decodes the bytes both ways: the same answer and reason, every row once
// and in order, each sample within rounding of the 8-bit decode's byte, and
// exactly byte / 255 when `eightBit`. A few row choices then give those
// same rows and no others, from memory and streamed.
void expectAgreesWithByteDecode(const std::vector<uint8_t>& bytes, bool eightBit,
                                const std::string& label) {
    d3dx::Image image;
    d3dx::ImageInfo info{};
    std::string why;
    const HRESULT result = d3dx::decodeImage(bytes.data(), bytes.size(), image, &info, &why);
    const Samples all = decodeSamples(bytes);
    ASSERT_EQ(all.result, result) << label << ": " << all.why;
    EXPECT_EQ(all.why, why) << label;
    if (FAILED(result)) return;
    EXPECT_EQ(all.rows.begins, 1) << label;
    ASSERT_EQ(all.rows.width, image.width) << label;
    ASSERT_EQ(all.rows.height, image.height) << label;
    EXPECT_EQ(all.info.Format, info.Format) << label;
    EXPECT_EQ(all.info.ImageFileFormat, info.ImageFileFormat) << label;
    ASSERT_EQ(all.rows.order.size(), size_t(image.height)) << label;
    for (int y = 0; y < image.height; ++y) {
        ASSERT_EQ(all.rows.order[size_t(y)], y) << label;
        const Row& row = all.rows.rows.at(y);
        for (int x = 0; x < image.width; ++x) {
            const uint32_t pixel = image.at(x, y);
            const uint32_t bytesOf[4] = {pixel >> 16 & 0xFF, pixel >> 8 & 0xFF, pixel & 0xFF,
                                         pixel >> 24};
            for (int c = 0; c < 4; ++c) {
                const float sample = row[size_t(x) * 4 + size_t(c)];
                const std::string where = label + " at " + std::to_string(x) + "," +
                                          std::to_string(y) + " channel " + std::to_string(c);
                if (eightBit)
                    ASSERT_TRUE(sameBits(sample, float(bytesOf[c]) / 255.0f)) << where;
                else
                    ASSERT_EQ(d3dx::detail::floatToByte(sample), bytesOf[c]) << where;
            }
        }
    }
    const std::pair<const char*, std::function<bool(int)>> choices[] = {
        {"none", [](int) { return false; }},
        {"every third", [](int y) { return y % 3 == 2; }},
        {"the last", [&](int y) { return y == image.height - 1; }},
    };
    for (const auto& [name, wants] : choices)
        for (bool pieces : {false, true}) {
            const Samples some = decodeSamples(bytes, wants, pieces);
            const std::string choice = label + ", " + name + (pieces ? ", streamed" : "");
            ASSERT_EQ(some.result, D3D_OK) << choice << ": " << some.why;
            std::vector<int> expected;
            for (int y = 0; y < image.height; ++y)
                if (wants(y)) expected.push_back(y);
            ASSERT_EQ(some.rows.order, expected) << choice;
            for (int y : expected) expectRow(some.rows.rows.at(y), all.rows.rows.at(y), choice);
        }
}

std::vector<uint8_t> readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::vector<uint8_t> bytesOf(const std::string& text) {
    return {text.begin(), text.end()};
}

// Samples that differ only below the top 8 bits, and the ends of the range.
std::vector<uint16_t> closeSamples(size_t count) {
    const uint16_t values[] = {0x8000, 0x8001, 0x0000, 0xFFFF, 0x0001, 0xFFFE, 0x7FFF, 0x1234};
    std::vector<uint16_t> samples(count);
    for (size_t i = 0; i < count; ++i) samples[i] = uint16_t(values[i % 8] ^ (i / 8 * 0x0101));
    return samples;
}

// ---- formats holding 8 bits or fewer, and the sample files

TEST(ImageSamples, EverySampleFileAnswersAsTheByteDecodeDoes) {
    const std::filesystem::path folder = std::filesystem::path(EMBOSSA_TEST_DATA_DIR) / "images";
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        const std::vector<uint8_t> bytes = readFile(entry.path());
        const std::string name = entry.path().filename().string();
        const bool deep = name.starts_with("hdr-") || name.starts_with("pfm-") ||
                          name.starts_with("ppm-") || name == "png-gray16-3x2.png";
        expectAgreesWithByteDecode(bytes, !deep, name);
        ++files;
    }
    EXPECT_GT(files, 40);
}

TEST(ImageSamples, MadeFilesOfEightBitsGiveTheirBytesOver255) {
    using testimages::PngKind;
    for (PngKind kind : {PngKind::Rgb, PngKind::Gray, PngKind::Palette})
        for (bool interlaced : {false, true})
            expectAgreesWithByteDecode(testimages::png(19, 23, kind, interlaced), true,
                                       "png kind " + std::to_string(int(kind)) +
                                           (interlaced ? " interlaced" : ""));
    expectAgreesWithByteDecode(testimages::jpeg(37, 21), true, "jpeg");
}

// ---- 16-bit PNG

TEST(ImageSamples, SixteenBitPngKeepsEverySampleApart) {
    const int width = 5, height = 7;
    for (int channels = 1; channels <= 4; ++channels)
        for (bool interlaced : {false, true}) {
            const std::vector<uint16_t> samples =
                closeSamples(size_t(width) * height * size_t(channels));
            const std::vector<uint8_t> bytes =
                testimages::png16(width, height, channels, samples, interlaced);
            const std::string label =
                std::to_string(channels) + " channels" + (interlaced ? ", interlaced" : "");
            ASSERT_FALSE(bytes.empty()) << label;
            expectAgreesWithByteDecode(bytes, false, label);
            const Samples decoded = decodeSamples(bytes);
            ASSERT_EQ(decoded.result, D3D_OK) << label << ": " << decoded.why;
            const bool gray = channels <= 2, alpha = channels % 2 == 0;
            for (int y = 0; y < height; ++y) {
                Row expected;
                for (int x = 0; x < width; ++x) {
                    const uint16_t* pixel = &samples[(size_t(y) * width + size_t(x)) * channels];
                    for (int c = 0; c < 3; ++c)
                        expected.push_back(float(pixel[gray ? 0 : c]) / 65535.0f);
                    expected.push_back(alpha ? float(pixel[channels - 1]) / 65535.0f : 1.0f);
                }
                expectRow(decoded.rows.rows.at(y), expected, label + ", row " + std::to_string(y));
            }
        }
}

// The key is a full 16-bit colour: a pixel one step off it stays opaque,
// although both are the same at 8 bits.
TEST(ImageSamples, SixteenBitColourKeyClearsOnlyTheExactColour) {
    const Samples gray =
        decodeSamples(testimages::png16ColourKeyed(3, 1, 1, {0x8001, 0x8000, 0x8002}, {0x8001}));
    ASSERT_EQ(gray.result, D3D_OK) << gray.why;
    const float g0 = 0x8001 / 65535.0f, g1 = 0x8000 / 65535.0f, g2 = 0x8002 / 65535.0f;
    expectRow(gray.rows.rows.at(0), {g0, g0, g0, 0.0f, g1, g1, g1, 1.0f, g2, g2, g2, 1.0f}, "gray");

    const Samples rgb = decodeSamples(testimages::png16ColourKeyed(
        2, 1, 3, {0x1234, 0x5678, 0x9ABC, 0x1234, 0x5678, 0x9ABD}, {0x1234, 0x5678, 0x9ABC}));
    ASSERT_EQ(rgb.result, D3D_OK) << rgb.why;
    const float r = 0x1234 / 65535.0f, g = 0x5678 / 65535.0f;
    expectRow(rgb.rows.rows.at(0), {r, g, 0x9ABC / 65535.0f, 0.0f, r, g, 0x9ABD / 65535.0f, 1.0f},
              "rgb");
}

// ---- PPM, PFM, HDR

TEST(ImageSamples, PpmSamplesAreTheirValueOverMaxval) {
    const auto expectPixels = [](const std::vector<uint8_t>& bytes,
                                 const std::vector<float>& values, const std::string& label) {
        expectAgreesWithByteDecode(bytes, false, label);
        const Samples decoded = decodeSamples(bytes);
        ASSERT_EQ(decoded.result, D3D_OK) << label << ": " << decoded.why;
        Row expected;
        for (size_t i = 0; i < values.size(); i += 3)
            expected.insert(expected.end(), {values[i], values[i + 1], values[i + 2], 1.0f});
        expectRow(decoded.rows.rows.at(0), expected, label);
    };
    expectPixels(
        bytesOf("P6 2 1 65535\n\x80\x00\x80\x01\xFF\xFF\x00\x00\x00\x01\x12\x34"s),
        {0x8000 / 65535.0f, 0x8001 / 65535.0f, 1.0f, 0.0f, 1 / 65535.0f, 0x1234 / 65535.0f},
        "16-bit P6");
    expectPixels(bytesOf("P3\n# odd maxval\n2 1 1001\n1001 0 500 501 7 1000\n"),
                 {1.0f, 0.0f, 500 / 1001.0f, 501 / 1001.0f, 7 / 1001.0f, 1000 / 1001.0f},
                 "P3, maxval 1001");
    expectPixels(bytesOf("P6 2 1 7\n\x07\x00\x03\x04\x01\x06"s),
                 {1.0f, 0.0f, 3 / 7.0f, 4 / 7.0f, 1 / 7.0f, 6 / 7.0f}, "8-bit P6, maxval 7");
}

std::vector<uint8_t> pfm(const char* kind, int width, int height, bool bigEndian,
                         const std::vector<float>& storedBottomFirst) {
    std::vector<uint8_t> bytes =
        bytesOf(std::string(kind) + "\n" + std::to_string(width) + " " + std::to_string(height) +
                "\n" + (bigEndian ? "1.0" : "-1.0") + "\n");
    for (float value : storedBottomFirst) {
        uint32_t word = std::bit_cast<uint32_t>(value);
        if (bigEndian) word = __builtin_bswap32(word);
        const auto* p = reinterpret_cast<const uint8_t*>(&word);
        bytes.insert(bytes.end(), p, p + 4);
    }
    return bytes;
}

TEST(ImageSamples, PfmFloatsComeAsStoredWithTheTopRowFirst) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    // Stored bottom row first: the sink's row 0 is the second stored row.
    const std::vector<float> colour = {0.25f, 1.5f,  -2.0f, nan,   inf,  -inf,
                                       0.0f,  1e-9f, 65.0f, -0.0f, 0.5f, 0.75f};
    for (bool bigEndian : {true, false}) {
        const std::string order = bigEndian ? "big-endian" : "little-endian";
        const std::vector<uint8_t> rgbFile = pfm("PF", 2, 2, bigEndian, colour);
        expectAgreesWithByteDecode(rgbFile, false, "PF " + order);
        const Samples rgb = decodeSamples(rgbFile);
        ASSERT_EQ(rgb.result, D3D_OK) << rgb.why;
        expectRow(rgb.rows.rows.at(0), {0.0f, 1e-9f, 65.0f, 1.0f, -0.0f, 0.5f, 0.75f, 1.0f},
                  "PF top " + order);
        expectRow(rgb.rows.rows.at(1), {0.25f, 1.5f, -2.0f, 1.0f, nan, inf, -inf, 1.0f},
                  "PF bottom " + order);

        const std::vector<uint8_t> grayFile = pfm("Pf", 1, 3, bigEndian, {nan, -inf, 2.5f});
        expectAgreesWithByteDecode(grayFile, false, "Pf " + order);
        const Samples gray = decodeSamples(grayFile);
        ASSERT_EQ(gray.result, D3D_OK) << gray.why;
        expectRow(gray.rows.rows.at(0), {2.5f, 2.5f, 2.5f, 1.0f}, "Pf top " + order);
        expectRow(gray.rows.rows.at(2), {nan, nan, nan, 1.0f}, "Pf bottom " + order);
    }
}

// RGBE pixels are mantissa x 2^(exponent - 136): values above 1 must come
// through unclamped, and a zero exponent is black.
TEST(ImageSamples, HdrFloatsAreTheRgbeValuesUnclamped) {
    const std::vector<uint8_t> bytes = bytesOf(
        "#?RADIANCE\nFORMAT=32-bit_rle_rgbe\n\n-Y 2 +X 1\n\x80\x40\xFF\x82\x10\x20\x30\x00"s);
    expectAgreesWithByteDecode(bytes, false, "hdr");
    const Samples decoded = decodeSamples(bytes);
    ASSERT_EQ(decoded.result, D3D_OK) << decoded.why;
    expectRow(decoded.rows.rows.at(0), {2.0f, 1.0f, 255 / 64.0f, 1.0f}, "bright");
    expectRow(decoded.rows.rows.at(1), {0.0f, 0.0f, 0.0f, 1.0f}, "zero exponent");
}

// ---- refusals

// Damage found past the rows a sink wants must still refuse the file, with
// the 8-bit decode's reason.
TEST(ImageSamples, DamagedFilesAreRefusedAsTheByteDecodeRefusesThem) {
    std::vector<uint8_t> png16 = testimages::png16(40, 40, 3, closeSamples(40 * 40 * 3));
    std::vector<uint8_t> cutPng(png16.begin(), png16.end() - 40);
    std::vector<uint8_t> hugePng = png16;
    hugePng[16] = 0x7F; // width 0x7F000028
    std::vector<uint8_t> corruptPng = png16;
    corruptPng[41 + (png16.size() - 41 - 12) / 2] ^= 0x40; // inside the image data
    const std::vector<std::pair<const char*, std::vector<uint8_t>>> files = {
        {"png16-truncated-idat", cutPng},
        {"png16-huge-width", hugePng},
        {"png16-corrupt-image-data", corruptPng},
        {"ppm-p6-16bit-truncated", bytesOf("P6 2 1 65535\n\x80\x00\x80\x01"s)},
        {"ppm-last-sample-over-maxval", bytesOf("P3 1 3 9\n1 2 3\n4 5 6\n7 8 10\n")},
        {"ppm-p3-letter-for-sample", bytesOf("P3 2 1 255\n1 2 3 4 x 6\n")},
        {"ppm-huge-size", bytesOf("P6 100000 100000 255\n")},
        {"pfm-truncated-row", pfm("PF", 2, 2, true, {1, 2, 3, 4, 5, 6, 7, 8, 9})},
        {"pfm-zero-scale", bytesOf("PF 1 1 0\n\0\0\0\0\0\0\0\0\0\0\0\0"s)},
        {"hdr-run-past-width",
         bytesOf("#?RGBE\nFORMAT=32-bit_rle_rgbe\n\n-Y 1 +X 8\n\x02\x02\x00\x08\x89\x01"s)},
    };
    for (const auto& [name, bytes] : files) {
        d3dx::Image image;
        std::string why;
        const HRESULT result = d3dx::decodeImage(bytes.data(), bytes.size(), image, nullptr, &why);
        ASSERT_TRUE(FAILED(result)) << name;
        for (bool pieces : {false, true}) {
            const Samples none = decodeSamples(
                bytes, [](int) { return false; }, pieces);
            EXPECT_EQ(none.result, result) << name;
            EXPECT_EQ(none.why, why) << name;
        }
    }
    // A size refused from the header is refused before the sink hears of it.
    EXPECT_EQ(decodeSamples(hugePng).rows.begins, 0);
    EXPECT_EQ(decodeSamples(bytesOf("P6 100000 100000 255\n")).rows.begins, 0);
}

TEST(ImageSamples, ASourceThatStopsReadingIsRefused) {
    const std::vector<uint8_t> png16 = testimages::png16(30, 30, 1, closeSamples(900));
    for (const auto& [name, bytes] :
         {std::pair{"png16", png16}, std::pair{"pfm", pfm("Pf", 30, 30, false, Row(900, 0.5f))}}) {
        PieceSource failing(bytes, bytes.size() / 2);
        SampleRecorder recorder;
        std::string why;
        EXPECT_EQ(d3dx::decodeImageSamples(failing, recorder, nullptr, &why), D3DXERR_INVALIDDATA)
            << name;
        EXPECT_FALSE(why.empty()) << name;
        EXPECT_LT(recorder.order.size(), 30u) << name;
    }
}

} // namespace
