// SPDX-License-Identifier: MIT
#include "d3d9/ImageCodec.h"
#include "d3d9/PngChunks.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <new>
#include <string>
#include <vector>

// Records the largest single operator-new request while a test asks, so a
// refusal can be shown to happen before the pixel buffer is allocated.
namespace {
thread_local bool trackingAllocations = false;
thread_local size_t largestAllocation = 0;
} // namespace

void* operator new(size_t size) {
    if (trackingAllocations && size > largestAllocation) largestAllocation = size;
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
// Every other form is replaced too, so that whatever pair of forms a
// library (the GL driver in this suite) uses, its new and delete agree.
void* operator new[](size_t size) {
    return operator new(size);
}
void* operator new(size_t size, const std::nothrow_t&) noexcept {
    return std::malloc(size ? size : 1);
}
void* operator new[](size_t size, const std::nothrow_t&) noexcept {
    return std::malloc(size ? size : 1);
}
// GCC 12 pairs the built-in new with these frees wherever it inlines them,
// not seeing that the replaced new above mallocs.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p, size_t) noexcept {
    std::free(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}
#pragma GCC diagnostic pop

namespace {

using d3dx::Image;
using d3dx::ImageInfo;

std::vector<uint8_t> readImageFile(const std::string& name) {
    std::ifstream in(std::string(EMBOSSA_TEST_DATA_DIR) + "/images/" + name, std::ios::binary);
    EXPECT_TRUE(in.good()) << "missing test image " << name;
    return {std::istreambuf_iterator<char>(in), {}};
}

struct Decoding {
    HRESULT result = E_FAIL;
    Image image;
    ImageInfo info;
    std::string why;
};

Decoding decodeBytes(const std::vector<uint8_t>& bytes) {
    Decoding d;
    d.image.width = -7; // a sentinel: a refusal must leave the target alone
    d.result = d3dx::decodeImage(bytes.data(), bytes.size(), d.image, &d.info, &d.why);
    return d;
}

Decoding decodeFile(const std::string& name) {
    return decodeBytes(readImageFile(name));
}

// The 3 x 2 picture every lossless test file holds: red, green, blue / white,
// black, and a gray whose alpha is 0x80 where the format stores alpha.
constexpr uint32_t kReference[6] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF,
                                    0xFFFFFFFF, 0xFF000000, 0x80808080};

std::string hex(uint32_t v) {
    char text[12];
    std::snprintf(text, sizeof text, "%08X", v);
    return text;
}

int channelDistance(uint32_t a, uint32_t b) {
    int worst = 0;
    for (int shift = 0; shift < 32; shift += 8)
        worst = std::max(worst, std::abs(int(a >> shift & 0xFF) - int(b >> shift & 0xFF)));
    return worst;
}

// ---- Every lossless format against the reference

struct LosslessCase {
    const char* file;
    D3DXIMAGE_FILEFORMAT fileFormat;
    D3DFORMAT format;
    bool alpha; // whether the file keeps the gray pixel's 0x80 alpha
};

class LosslessFile : public testing::TestWithParam<LosslessCase> {};

TEST_P(LosslessFile, DecodesToTheReferencePixels) {
    const LosslessCase& c = GetParam();
    const Decoding d = decodeFile(c.file);
    ASSERT_EQ(d.result, D3D_OK) << d.why;
    ASSERT_EQ(d.image.width, 3);
    ASSERT_EQ(d.image.height, 2);
    ASSERT_EQ(d.image.pixels.size(), 6u);
    for (int i = 0; i < 6; ++i) {
        const uint32_t expected = i == 5 && !c.alpha ? 0xFF808080 : kReference[i];
        EXPECT_EQ(hex(d.image.pixels[size_t(i)]), hex(expected)) << "pixel " << i;
    }
    EXPECT_EQ(d.info.Width, 3u);
    EXPECT_EQ(d.info.Height, 2u);
    EXPECT_EQ(d.info.MipLevels, 1u);
    EXPECT_EQ(d.info.ImageFileFormat, c.fileFormat);
    EXPECT_EQ(d.info.Format, c.format);
}

INSTANTIATE_TEST_SUITE_P(
    ImageCodec, LosslessFile,
    testing::Values(
        LosslessCase{"bmp-24bit-3x2.bmp", D3DXIFF_BMP, D3DFMT_R8G8B8, false},
        // BI_RGB's fourth byte (0x11 here) is padding, not alpha.
        LosslessCase{"bmp-32bit-topdown-3x2.bmp", D3DXIFF_BMP, D3DFMT_X8R8G8B8, false},
        LosslessCase{"bmp-8bit-palette-3x2.bmp", D3DXIFF_BMP, D3DFMT_P8, false},
        LosslessCase{"bmp-v5-alpha-3x2.bmp", D3DXIFF_BMP, D3DFMT_A8R8G8B8, true},
        LosslessCase{"dib-24bit-3x2.dib", D3DXIFF_DIB, D3DFMT_R8G8B8, false},
        LosslessCase{"dds-a8r8g8b8-3x2.dds", D3DXIFF_DDS, D3DFMT_A8R8G8B8, true},
        LosslessCase{"png-rgba-3x2.png", D3DXIFF_PNG, D3DFMT_A8R8G8B8, true},
        LosslessCase{"png-palette-trns-3x2.png", D3DXIFF_PNG, D3DFMT_P8, true},
        LosslessCase{"png-interlaced-rgb-3x2.png", D3DXIFF_PNG, D3DFMT_X8R8G8B8, false},
        // Four-bit indices, Adam7 and a tRNS alpha: the palette path expands them itself.
        LosslessCase{"png-palette-4bit-interlaced-3x2.png", D3DXIFF_PNG, D3DFMT_P8, true},
        LosslessCase{"ppm-p3-3x2.ppm", D3DXIFF_PPM, D3DFMT_X8R8G8B8, false},
        LosslessCase{"ppm-p6-3x2.ppm", D3DXIFF_PPM, D3DFMT_X8R8G8B8, false},
        LosslessCase{"ppm-p6-16bit-3x2.ppm", D3DXIFF_PPM, D3DFMT_X8R8G8B8, false},
        LosslessCase{"tga-32bit-rle-3x2.tga", D3DXIFF_TGA, D3DFMT_A8R8G8B8, true},
        LosslessCase{"tga-24bit-3x2.tga", D3DXIFF_TGA, D3DFMT_R8G8B8, false},
        LosslessCase{"tga-8bit-colour-map-3x2.tga", D3DXIFF_TGA, D3DFMT_P8, true},
        LosslessCase{"pcx-8bit-palette-3x2.pcx", d3dx::kFileFormatPcx, D3DFMT_P8, false},
        LosslessCase{"pcx-24bit-3x2.pcx", d3dx::kFileFormatPcx, D3DFMT_R8G8B8, false},
        // Float formats: 0.5 rounds to 0x80, and the HDR file's blue of 2.0 clamps.
        LosslessCase{"pfm-color-3x2.pfm", D3DXIFF_PFM, D3DFMT_A32B32G32R32F, false},
        LosslessCase{"hdr-flat-3x2.hdr", D3DXIFF_HDR, D3DFMT_A32B32G32R32F, false}),
    [](const testing::TestParamInfo<LosslessCase>& info) {
        std::string name = info.param.file;
        for (char& c : name)
            if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
        return name;
    });

// ---- Conversions particular to one format

std::vector<uint32_t> pixelsOf(const std::string& file) {
    const Decoding d = decodeFile(file);
    EXPECT_EQ(d.result, D3D_OK) << file << ": " << d.why;
    return d.image.pixels;
}

TEST(ImageCodec, SixteenBitPngSamplesAreRoundedNotTruncated) {
    // 0x12FF is 18.9 in 8 bits: rounding gives 19 where dropping the low byte gives 18.
    const Decoding d = decodeFile("png-gray16-3x2.png");
    ASSERT_EQ(d.result, D3D_OK) << d.why;
    EXPECT_EQ(d.info.Format, D3DFMT_L8);
    const std::vector<uint32_t> expected = {0xFF000000, 0xFF808080, 0xFFFFFFFF,
                                            0xFF131313, 0xFF7F7F7F, 0xFFFEFEFE};
    EXPECT_EQ(d.image.pixels, expected);
}

TEST(ImageCodec, FloatSamplesClampAndNonFiniteOnesBecomeBytes) {
    // NaN, +inf, -inf / 2.0, -3.0, 0.5
    EXPECT_EQ(pixelsOf("pfm-nan.pfm"), (std::vector<uint32_t>{0xFF00FF00, 0xFFFF0080}));
    // Gray PFM, big-endian, stored bottom row first: replicated into R, G and B.
    EXPECT_EQ(pixelsOf("pfm-gray-big-endian-3x2.pfm"),
              (std::vector<uint32_t>{0xFF000000, 0xFF808080, 0xFFFFFFFF, 0xFF404040, 0xFFFFFFFF,
                                     0xFF000000}));
    const std::vector<uint32_t> rle = pixelsOf("hdr-rle-8x2.hdr");
    ASSERT_EQ(rle.size(), 16u);
    for (int x = 0; x < 8; ++x) {
        EXPECT_EQ(hex(rle[size_t(x)]), hex(0xFFFF0000));
        EXPECT_EQ(hex(rle[size_t(8 + x)]), hex(0xFF808080));
    }
}

TEST(ImageCodec, DxtBlocksDecodeThroughTheirPalettes) {
    // Endpoints red and blue; the in-between codes are the 2:1 and 1:2 blends.
    const Decoding dxt1 = decodeFile("dds-dxt1-3x2.dds");
    ASSERT_EQ(dxt1.result, D3D_OK) << dxt1.why;
    EXPECT_EQ(dxt1.info.Format, D3DFMT_DXT1);
    EXPECT_EQ(dxt1.image.pixels, (std::vector<uint32_t>{0xFFFF0000, 0xFF0000FF, 0xFFAA0055,
                                                        0xFF0000FF, 0xFFFF0000, 0xFF5500AA}));
    // DXT5 adds interpolated alpha: 255, 0, (6 x 255) / 7 / 0, 0, 255.
    const Decoding dxt5 = decodeFile("dds-dxt5-3x2.dds");
    ASSERT_EQ(dxt5.result, D3D_OK) << dxt5.why;
    EXPECT_EQ(dxt5.info.Format, D3DFMT_DXT5);
    EXPECT_EQ(dxt5.image.pixels, (std::vector<uint32_t>{0xFFFF0000, 0x000000FF, 0xDAAA0055,
                                                        0x000000FF, 0x00FF0000, 0xFF5500AA}));
}

TEST(ImageCodec, DdsGivesEveryMipLevel) {
    const std::vector<uint8_t> bytes = readImageFile("dds-mips-4x4.dds");
    std::vector<Image> levels;
    ImageInfo info;
    ASSERT_EQ(d3dx::decodeImageLevels(bytes.data(), bytes.size(), levels, &info), D3D_OK);
    ASSERT_EQ(levels.size(), 3u);
    EXPECT_EQ(info.MipLevels, 3u);
    EXPECT_EQ(levels[0].at(3, 3), 0xFF0F0F0Fu);
    EXPECT_EQ(levels[1].width, 2);
    EXPECT_EQ(levels[1].pixels, std::vector<uint32_t>(4, 0xFF030201));
    EXPECT_EQ(levels[2].width, 1);
    EXPECT_EQ(levels[2].pixels, std::vector<uint32_t>(1, 0xFF090909));
    // decodeImage reads the same file and keeps the top level.
    Image top;
    ASSERT_EQ(d3dx::decodeImage(bytes.data(), bytes.size(), top), D3D_OK);
    EXPECT_EQ(top.pixels, levels[0].pixels);
}

// A one-pixel DDS with the given pixel format fields and pixel bytes.
std::vector<uint8_t> ddsPixel(uint32_t pfFlags, uint32_t fourCC, uint32_t bits, uint32_t r,
                              uint32_t g, uint32_t b, uint32_t a,
                              const std::vector<uint8_t>& pixel) {
    std::vector<uint8_t> file;
    auto put = [&file](uint32_t v) {
        for (int i = 0; i < 4; ++i) file.push_back(uint8_t(v >> (8 * i)));
    };
    put(0x20534444);
    for (uint32_t v : {124u, 0x1007u, 1u, 1u, 0u, 0u, 0u}) put(v);
    for (int i = 0; i < 11; ++i) put(0);
    for (uint32_t v : {32u, pfFlags, fourCC, bits, r, g, b, a, 0x1000u, 0u, 0u, 0u, 0u}) put(v);
    file.insert(file.end(), pixel.begin(), pixel.end());
    return file;
}

struct DdsLayoutCase {
    const char* name;
    D3DFORMAT format;
    std::vector<uint8_t> file;
    uint32_t expected;
};

TEST(ImageCodec, DdsPixelLayoutsScaleEachChannelToEightBits) {
    constexpr uint32_t RGB = 0x40, ALPHAPIXELS = 0x1, ALPHA = 0x2, LUM = 0x20000, FOURCC = 0x4;
    const DdsLayoutCase cases[] = {
        {"R8G8B8", D3DFMT_R8G8B8, ddsPixel(RGB, 0, 24, 0xFF0000, 0xFF00, 0xFF, 0, {1, 2, 3}),
         0xFF030201},
        {"X8R8G8B8 ignores its X byte", D3DFMT_X8R8G8B8,
         ddsPixel(RGB, 0, 32, 0xFF0000, 0xFF00, 0xFF, 0, {1, 2, 3, 4}), 0xFF030201},
        {"A8B8G8R8", D3DFMT_A8B8G8R8,
         ddsPixel(RGB | ALPHAPIXELS, 0, 32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000, {1, 2, 3, 4}),
         0x04010203},
        {"A1R5G5B5", D3DFMT_A1R5G5B5,
         ddsPixel(RGB | ALPHAPIXELS, 0, 16, 0x7C00, 0x3E0, 0x1F, 0x8000, {0x1F, 0x00}), 0x000000FF},
        {"X1R5G5B5", D3DFMT_X1R5G5B5, ddsPixel(RGB, 0, 16, 0x7C00, 0x3E0, 0x1F, 0, {0x00, 0xFC}),
         0xFFFF0000},
        // 16/31 and 32/63 of 255, rounded: 132 and 130.
        {"R5G6B5", D3DFMT_R5G6B5, ddsPixel(RGB, 0, 16, 0xF800, 0x7E0, 0x1F, 0, {0x10, 0x84}),
         0xFF848284},
        {"A4R4G4B4", D3DFMT_A4R4G4B4,
         ddsPixel(RGB | ALPHAPIXELS, 0, 16, 0xF00, 0xF0, 0xF, 0xF000, {0x00, 0x8F}), 0x88FF0000},
        {"A2B10G10R10", D3DFMT_A2B10G10R10,
         ddsPixel(RGB | ALPHAPIXELS, 0, 32, 0x3FF, 0xFFC00, 0x3FF00000, 0xC0000000,
                  {0xFF, 0x03, 0x00, 0x40}),
         0x55FF0000},
        {"L8", D3DFMT_L8, ddsPixel(LUM, 0, 8, 0xFF, 0, 0, 0, {0x80}), 0xFF808080},
        {"A8L8", D3DFMT_A8L8, ddsPixel(LUM | ALPHAPIXELS, 0, 16, 0xFF, 0, 0, 0xFF00, {0xC0, 0x40}),
         0x40C0C0C0},
        {"A8 is black with alpha", D3DFMT_A8, ddsPixel(ALPHA, 0, 8, 0, 0, 0, 0xFF, {0x7F}),
         0x7F000000},
        // Channels a format lacks read as 1, as the sampler returns them.
        {"G16R16", D3DFMT_G16R16,
         ddsPixel(RGB, 0, 32, 0xFFFF, 0xFFFF0000, 0, 0, {0xFF, 0xFF, 0, 0}), 0xFFFF00FF},
        {"A16B16G16R16", D3DFMT_A16B16G16R16,
         ddsPixel(FOURCC, 36, 0, 0, 0, 0, 0, {0xFF, 0xFF, 0x80, 0x80, 0, 0, 0xFF, 0xFF}),
         0xFFFF8000},
        {"A16B16G16R16F", D3DFMT_A16B16G16R16F,
         ddsPixel(FOURCC, 113, 0, 0, 0, 0, 0, {0x00, 0x3C, 0x00, 0x38, 0, 0, 0x00, 0x3C}),
         0xFFFF8000},
        {"R32F", D3DFMT_R32F, ddsPixel(FOURCC, 114, 0, 0, 0, 0, 0, {0, 0, 0x80, 0x3E}), 0xFF40FFFF},
    };
    for (const DdsLayoutCase& c : cases) {
        const Decoding d = decodeBytes(c.file);
        ASSERT_EQ(d.result, D3D_OK) << c.name << ": " << d.why;
        EXPECT_EQ(d.info.Format, c.format) << c.name;
        ASSERT_EQ(d.image.pixels.size(), 1u);
        EXPECT_EQ(hex(d.image.pixels[0]), hex(c.expected)) << c.name;
    }
}

TEST(ImageCodec, DdsRefusesLayoutsItCannotRead) {
    constexpr uint32_t RGB = 0x40;
    const std::vector<uint8_t> gappedMask = ddsPixel(RGB, 0, 16, 0xF00F, 0x0F0, 0x000, 0, {0, 0});
    const std::vector<uint8_t> oddBitCount = ddsPixel(RGB, 0, 12, 0xF00, 0x0F0, 0x00F, 0, {0, 0});
    const std::vector<uint8_t> maskPastBits =
        ddsPixel(RGB, 0, 16, 0xFF0000, 0xFF00, 0xFF, 0, {0, 0});
    const std::vector<uint8_t> paletted = ddsPixel(0x20, 0, 8, 0, 0, 0, 0, {0});
    for (const auto* file : {&gappedMask, &oddBitCount, &maskPastBits, &paletted}) {
        const Decoding d = decodeBytes(*file);
        EXPECT_EQ(d.result, D3DXERR_INVALIDDATA);
        EXPECT_TRUE(d.why.starts_with("DdsDecoder: ")) << d.why;
    }
}

// ---- Lossy JPEG within a tolerance

TEST(ImageCodec, JpegDecodesWithinTolerance) {
    const Decoding baseline = decodeFile("jpeg-baseline-3x2.jpg");
    ASSERT_EQ(baseline.result, D3D_OK) << baseline.why;
    EXPECT_EQ(baseline.info.Format, D3DFMT_X8R8G8B8);
    EXPECT_EQ(baseline.info.ImageFileFormat, D3DXIFF_JPG);
    for (int i = 0; i < 6; ++i) {
        const uint32_t expected = i == 5 ? 0xFF808080 : kReference[i];
        EXPECT_LE(channelDistance(baseline.image.pixels[size_t(i)], expected), 12)
            << "pixel " << i << " " << hex(baseline.image.pixels[size_t(i)]);
    }

    const Decoding gray = decodeFile("jpeg-gray-3x2.jpg");
    ASSERT_EQ(gray.result, D3D_OK) << gray.why;
    EXPECT_EQ(gray.info.Format, D3DFMT_L8);
    const uint8_t levels[6] = {0, 128, 255, 64, 192, 32};
    for (int i = 0; i < 6; ++i)
        EXPECT_LE(
            channelDistance(gray.image.pixels[size_t(i)], 0xFF000000u | levels[i] * 0x010101u), 4);

    // A progressive file of ordinary scans passes the scan cap.
    const Decoding progressive = decodeFile("jpeg-progressive-16x8.jpg");
    ASSERT_EQ(progressive.result, D3D_OK) << progressive.why;
    EXPECT_LE(channelDistance(progressive.image.at(2, 4), 0xFFFF0000), 12);
    EXPECT_LE(channelDistance(progressive.image.at(13, 4), 0xFF0000FF), 12);

    // Inverted (Adobe) CMYK ink for pure red.
    const Decoding cmyk = decodeFile("jpeg-cmyk-adobe-8x8.jpg");
    ASSERT_EQ(cmyk.result, D3D_OK) << cmyk.why;
    EXPECT_LE(channelDistance(cmyk.image.at(4, 4), 0xFFFF0000), 12) << hex(cmyk.image.at(4, 4));
}

// ---- Third-party seed files: valid images decode, other formats are refused

TEST(ImageCodec, ThirdPartySeedImagesDecode) {
    for (const char* file : {"afl-not-kitty.bmp", "afl-not-kitty.jpg", "afl-not-kitty.png",
                             "afl-not-kitty-alpha.png", "afl-not-kitty-icc.png"}) {
        const Decoding d = decodeFile(file);
        ASSERT_EQ(d.result, D3D_OK) << file << ": " << d.why;
        EXPECT_EQ(d.image.width, 32) << file;
        EXPECT_EQ(d.image.height, 32) << file;
    }
}

// ---- Malformed inputs

struct MalformedCase {
    const char* file;
    const char* reason; // expected within the message
};

class MalformedFile : public testing::TestWithParam<MalformedCase> {};

TEST_P(MalformedFile, IsRefusedWithItsReasonAndLeavesTheTargetAlone) {
    const Decoding d = decodeFile(GetParam().file);
    EXPECT_EQ(d.result, D3DXERR_INVALIDDATA);
    EXPECT_NE(d.why.find(GetParam().reason), std::string::npos) << d.why;
    EXPECT_EQ(d.image.width, -7);
    EXPECT_TRUE(d.image.pixels.empty());
}

INSTANTIATE_TEST_SUITE_P(
    ImageCodec, MalformedFile,
    testing::Values(
        MalformedCase{"png-truncated-idat.png", "PngDecoder: "},
        MalformedCase{"png-30000x30000-header.png", "PngDecoder: image too large (30000 x 30000)"},
        MalformedCase{"png-16000x16000-header.png", "PngDecoder: image too large"},
        MalformedCase{"png-bad-idat-crc.png", "PngDecoder: "},
        MalformedCase{"go-invalid-crc32.png", "PngDecoder: "},
        MalformedCase{"go-invalid-noend.png", "PngDecoder: "},
        MalformedCase{"go-invalid-trunc.png", "PngDecoder: "},
        MalformedCase{"go-invalid-zlib.png", "PngDecoder: "},
        // libpng itself reads an index past a short palette as black.
        MalformedCase{"go-invalid-palette.png", "PngDecoder: pixel index past the palette"},
        MalformedCase{"png-text-chunk-claims-2gib.png",
                      "PngDecoder: tEXt chunk too large (2147483647 bytes)"},
        MalformedCase{"jpeg-truncated.jpg", "JpegDecoder: "},
        MalformedCase{"jpeg-missing-eoi.jpg", "JpegDecoder: "},
        MalformedCase{"jpeg-too-many-scans.jpg", "JpegDecoder: more than 100 scans"},
        MalformedCase{"bmp-negative-height-overflow.bmp", "BmpDecoder: height overflows"},
        MalformedCase{"bmp-truncated-pixels.bmp", "BmpDecoder: pixel data is truncated"},
        MalformedCase{"bmp-palette-index-overflow.bmp", "BmpDecoder: pixel index past"},
        MalformedCase{"bmp-rle8-unsupported.bmp", "BmpDecoder: run-length"},
        MalformedCase{"dds-truncated-mip.dds", "DdsDecoder: mip level 2 is truncated"},
        MalformedCase{"dds-dx10-header.dds", "DdsDecoder: the DX10 header"},
        MalformedCase{"dds-volume.dds", "DdsDecoder: volume"},
        MalformedCase{"dds-65536x65536-header.dds", "DdsDecoder: image too large"},
        MalformedCase{"hdr-zero-run.hdr", "HdrDecoder: bad run length"},
        MalformedCase{"hdr-truncated-rle.hdr", "HdrDecoder: pixel data is truncated"},
        MalformedCase{"tga-truncated-rle.tga", "TgaDecoder: pixel data is truncated"},
        MalformedCase{"tga-rle-run-past-end.tga", "TgaDecoder: run passes the image's end"},
        MalformedCase{"tga-colour-map-index-past-map.tga",
                      "TgaDecoder: pixel index past the colour map"},
        MalformedCase{"tga-rle-colour-map-index-past-map.tga",
                      "TgaDecoder: pixel index past the colour map"},
        MalformedCase{"pcx-rle-overrun.pcx", "PcxDecoder: run passes the image's end"},
        MalformedCase{"pcx-truncated.pcx", "PcxDecoder: pixel data is truncated"},
        MalformedCase{"ppm-maxval-zero.ppm", "PpmDecoder: maxval is zero"},
        MalformedCase{"ppm-sample-over-maxval.ppm", "PpmDecoder: sample exceeds maxval"},
        MalformedCase{"ppm-truncated-p6.ppm", "PpmDecoder: pixel data is truncated"},
        MalformedCase{"ppm-huge-size.ppm", "PpmDecoder: image too large"},
        MalformedCase{"pfm-truncated.pfm", "PfmDecoder: pixel data is truncated"},
        MalformedCase{"afl-not-kitty.gif", "not a format we read"},
        MalformedCase{"afl-not-kitty.webp", "not a format we read"},
        MalformedCase{"afl-not-kitty.tiff", "not a format we read"}),
    [](const testing::TestParamInfo<MalformedCase>& info) {
        std::string name = info.param.file;
        for (char& c : name)
            if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
        return name;
    });

TEST(ImageCodec, OversizedHeadersAreRefusedBeforeThePixelsAreAllocated) {
    for (const char* file : {"png-16000x16000-header.png", "png-30000x30000-header.png",
                             "ppm-huge-size.ppm", "dds-65536x65536-header.dds"}) {
        const std::vector<uint8_t> bytes = readImageFile(file);
        Image image;
        largestAllocation = 0;
        trackingAllocations = true;
        const HRESULT result = d3dx::decodeImage(bytes.data(), bytes.size(), image);
        trackingAllocations = false;
        EXPECT_EQ(result, D3DXERR_INVALIDDATA) << file;
        EXPECT_LT(largestAllocation, size_t(1) << 20) << file;
    }
}

TEST(ImageCodec, SideLimitIsInclusive) {
    const auto p6 = [](int width) {
        std::string header = "P6 " + std::to_string(width) + " 1 255\n";
        std::vector<uint8_t> bytes(header.begin(), header.end());
        bytes.resize(bytes.size() + size_t(width) * 3, 0x40);
        return bytes;
    };
    const Decoding widest = decodeBytes(p6(d3dx::kMaxImageSide));
    ASSERT_EQ(widest.result, D3D_OK) << widest.why;
    EXPECT_EQ(widest.image.width, d3dx::kMaxImageSide);
    EXPECT_EQ(decodeBytes(p6(d3dx::kMaxImageSide + 1)).result, D3DXERR_INVALIDDATA);
}

TEST(ImageCodec, InputsThatAreNoImage) {
    Image image;
    std::string why;
    EXPECT_EQ(d3dx::decodeImage(nullptr, 10, image, nullptr, &why), D3DERR_INVALIDCALL);
    const uint8_t none = 0;
    EXPECT_EQ(d3dx::decodeImage(&none, 0, image, nullptr, &why), D3DXERR_INVALIDDATA);
    EXPECT_EQ(why, "ImageCodec: not a format we read");
    // Magic bytes alone, with nothing after them.
    for (std::string magic : {"\x89PNG\r\n\x1a\n", "\xFF\xD8\xFF", "DDS ", "BM", "#?RADIANCE\n",
                              "PF\n", "P6\n", "P3\n"}) {
        EXPECT_EQ(d3dx::decodeImage(magic.data(), magic.size(), image, nullptr, &why),
                  D3DXERR_INVALIDDATA)
            << magic;
        EXPECT_FALSE(why.empty());
    }
}

// ---- PNG files that cost what they claim only if believed

void putBigEndian(std::vector<uint8_t>& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(uint8_t(v >> shift));
}

void appendChunk(std::vector<uint8_t>& file, const char* type, const std::vector<uint8_t>& data) {
    putBigEndian(file, uint32_t(data.size()));
    const size_t typeAt = file.size();
    file.insert(file.end(), type, type + 4);
    file.insert(file.end(), data.begin(), data.end());
    putBigEndian(file, uint32_t(crc32(0, file.data() + typeAt, uInt(4 + data.size()))));
}

// An 8-bit gray PNG whose image data is `stream`, in IDAT chunks of 64 KiB,
// with `ancillary` (whole chunks) between IHDR and the image data.
std::vector<uint8_t> grayPng(uint32_t width, uint32_t height, bool interlaced,
                             const std::vector<uint8_t>& stream,
                             const std::vector<uint8_t>& ancillary = {}) {
    std::vector<uint8_t> file = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> header;
    putBigEndian(header, width);
    putBigEndian(header, height);
    header.insert(header.end(), {8, 0, 0, 0, uint8_t(interlaced ? 1 : 0)});
    appendChunk(file, "IHDR", header);
    file.insert(file.end(), ancillary.begin(), ancillary.end());
    for (size_t at = 0; at < stream.size(); at += 1 << 16) {
        const auto end = stream.begin() + ptrdiff_t(std::min(stream.size(), at + (1 << 16)));
        appendChunk(file, "IDAT", std::vector<uint8_t>(stream.begin() + ptrdiff_t(at), end));
    }
    appendChunk(file, "IEND", {});
    return file;
}

// A gray picture and the filtered rows (filter type 0) that store it, pass
// by pass when interlaced.
struct GrayRows {
    std::vector<uint8_t> picture; // row-major, width x height
    std::vector<uint8_t> filtered;
};

GrayRows grayRows(uint32_t width, uint32_t height, bool interlaced, uint32_t seed) {
    // Adam7: first column, first row, column step, row step of each pass.
    constexpr uint32_t kPasses[7][4] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                                        {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
    constexpr uint32_t kWhole[4] = {0, 0, 1, 1};
    GrayRows rows;
    rows.picture.resize(size_t(width) * height);
    for (uint8_t& v : rows.picture) v = uint8_t((seed = seed * 1664525u + 1013904223u) >> 24);
    for (int pass = 0; pass < (interlaced ? 7 : 1); ++pass) {
        const uint32_t* p = interlaced ? kPasses[pass] : kWhole;
        if (p[0] >= width) continue; // a pass with no columns stores no rows
        for (uint32_t y = p[1]; y < height; y += p[3]) {
            rows.filtered.push_back(0);
            for (uint32_t x = p[0]; x < width; x += p[2])
                rows.filtered.push_back(rows.picture[size_t(y) * width + x]);
        }
    }
    return rows;
}

// A zlib stream of `data` followed by `zeroMiB` MiB of zeros. The zeros are
// one megabyte deflated once after a full flush and repeated, so gigabytes of
// them take milliseconds to build and about a kilobyte of file per MiB, as in
// a real inflate bomb.
std::vector<uint8_t> zlibStream(const std::vector<uint8_t>& data, uint32_t zeroMiB) {
    z_stream z{};
    EXPECT_EQ(deflateInit2(&z, 9, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY), Z_OK);
    const auto deflatePart = [&z](const std::vector<uint8_t>& in, int flush) {
        std::vector<uint8_t> out(deflateBound(&z, uLong(in.size())) + 64);
        z.next_in = const_cast<Bytef*>(in.data());
        z.avail_in = uInt(in.size());
        z.next_out = out.data();
        z.avail_out = uInt(out.size());
        EXPECT_EQ(deflate(&z, flush), flush == Z_FINISH ? Z_STREAM_END : Z_OK);
        EXPECT_EQ(z.avail_in, 0u);
        out.resize(out.size() - z.avail_out);
        return out;
    };
    std::vector<uint8_t> stream = {0x78, 0xDA};
    const std::vector<uint8_t> head = deflatePart(data, Z_FULL_FLUSH);
    stream.insert(stream.end(), head.begin(), head.end());
    const std::vector<uint8_t> megabyte(1 << 20, 0);
    const std::vector<uint8_t> zeros = deflatePart(megabyte, Z_FULL_FLUSH);
    uLong adler = adler32(adler32(0, nullptr, 0), data.data(), uInt(data.size()));
    const uLong zerosAdler = adler32(adler32(0, nullptr, 0), megabyte.data(), uInt(1 << 20));
    for (uint32_t i = 0; i < zeroMiB; ++i) {
        stream.insert(stream.end(), zeros.begin(), zeros.end());
        adler = adler32_combine(adler, zerosAdler, 1 << 20);
    }
    const std::vector<uint8_t> tail = deflatePart({}, Z_FINISH);
    stream.insert(stream.end(), tail.begin(), tail.end());
    deflateEnd(&z);
    putBigEndian(stream, uint32_t(adler));
    return stream;
}

TEST(HostilePng, ChunkLengthIsCheckedBeforeAnythingIsRead) {
    // The same 137-byte file with its 2 GiB claim moved to each chunk libpng
    // would buffer whole, and to a type that must be shown escaped.
    const std::vector<uint8_t> text = readImageFile("png-text-chunk-claims-2gib.png");
    constexpr size_t kTypeAt = 8 + 25 + 4; // signature, IHDR, the claimed length
    ASSERT_EQ(std::string(text.begin() + kTypeAt, text.begin() + kTypeAt + 4), "tEXt");
    const std::pair<std::string, std::string> types[] = {
        {"zTXt", "zTXt"}, {"iTXt", "iTXt"}, {"sPLT", "sPLT"}, {"\x1b[2J", "\\x1B\\x5B\\x32J"}};
    for (const auto& [type, shown] : types) {
        std::vector<uint8_t> file = text;
        std::copy(type.begin(), type.end(), file.begin() + kTypeAt);
        const Decoding d = decodeBytes(file);
        EXPECT_EQ(d.result, D3DXERR_INVALIDDATA) << shown;
        EXPECT_EQ(d.why, "PngDecoder: " + shown + " chunk too large (2147483647 bytes)");
    }
}

TEST(HostilePng, AncillaryChunkCapIsInclusive) {
    const GrayRows rows = grayRows(4, 4, false, 1);
    const auto withText = [&rows](uint32_t length) {
        std::vector<uint8_t> text(length, 'x');
        std::memcpy(text.data(), "Comment", 8); // keyword and its terminating zero
        std::vector<uint8_t> chunk;
        appendChunk(chunk, "tEXt", text);
        return grayPng(4, 4, false, zlibStream(rows.filtered, 0), chunk);
    };
    const Decoding atCap = decodeBytes(withText(d3dx::detail::kMaxPngChunkBytes));
    ASSERT_EQ(atCap.result, D3D_OK) << atCap.why;
    EXPECT_EQ(atCap.image.width, 4);
    const Decoding pastCap = decodeBytes(withText(d3dx::detail::kMaxPngChunkBytes + 1));
    EXPECT_EQ(pastCap.result, D3DXERR_INVALIDDATA);
    EXPECT_EQ(pastCap.why, "PngDecoder: tEXt chunk too large (" +
                               std::to_string(d3dx::detail::kMaxPngChunkBytes + 1) + " bytes)");
}

TEST(HostilePng, ImageDataInflatingPastTheRowsIsRefused) {
    for (const bool interlaced : {false, true}) {
        SCOPED_TRACE(interlaced ? "interlaced" : "plain");
        // Three columns leave Adam7's second pass without pixels, so it has no rows.
        const GrayRows rows = grayRows(3, 5, interlaced, 2);
        // The rows alone: the builder makes files that decode.
        const Decoding exact = decodeBytes(grayPng(3, 5, interlaced, zlibStream(rows.filtered, 0)));
        ASSERT_EQ(exact.result, D3D_OK) << exact.why;
        EXPECT_EQ(hex(exact.image.at(2, 4)), hex(0xFF000000u | rows.picture[4 * 3 + 2] * 0x10101u));
        // About 2 MB of file inflating to 2 GiB past the rows.
        const std::vector<uint8_t> bomb =
            grayPng(3, 5, interlaced, zlibStream(rows.filtered, 2048));
        EXPECT_LT(bomb.size(), size_t(3) << 20);
        const Decoding d = decodeBytes(bomb);
        EXPECT_EQ(d.result, D3DXERR_INVALIDDATA);
        EXPECT_EQ(d.why, "PngDecoder: image data runs past the last row");
    }
}

TEST(HostilePng, ImageDataLeftAfterEarlyPassesIsNotTakenForExtraData) {
    // Random rows barely compress, so every pass after the first leaves far
    // more image data unread than any stream's end: counting the last row too
    // early would refuse these.
    for (const bool interlaced : {false, true}) {
        SCOPED_TRACE(interlaced ? "interlaced" : "plain");
        const GrayRows rows = grayRows(512, 301, interlaced, 3);
        const Decoding d = decodeBytes(grayPng(512, 301, interlaced, zlibStream(rows.filtered, 0)));
        ASSERT_EQ(d.result, D3D_OK) << d.why;
        ASSERT_EQ(d.image.pixels.size(), rows.picture.size());
        for (size_t i = 0; i < rows.picture.size(); ++i)
            ASSERT_EQ(d.image.pixels[i], 0xFF000000u | rows.picture[i] * 0x10101u) << "pixel " << i;
    }
}

// ---- DDS writer

Image sampleImage(int width, int height, uint32_t seed) {
    Image image;
    image.width = width;
    image.height = height;
    for (int i = 0; i < width * height; ++i)
        image.pixels.push_back(seed * 2654435761u + uint32_t(i) * 40503u);
    return image;
}

TEST(ImageCodec, SavedDdsDecodesToTheSamePixels) {
    const Image image = sampleImage(5, 3, 1); // alpha varies too
    const std::vector<uint8_t> file = d3dx::encodeDds(image);
    const Decoding d = decodeBytes(file);
    ASSERT_EQ(d.result, D3D_OK) << d.why;
    EXPECT_EQ(d.info.Format, D3DFMT_A8R8G8B8);
    EXPECT_EQ(d.info.ImageFileFormat, D3DXIFF_DDS);
    EXPECT_EQ(d.image.width, 5);
    EXPECT_EQ(d.image.pixels, image.pixels);

    const std::vector<Image> chain = {sampleImage(4, 2, 2), sampleImage(2, 1, 3),
                                      sampleImage(1, 1, 4)};
    const std::vector<uint8_t> mipFile = d3dx::encodeDds(chain);
    std::vector<Image> levels;
    ImageInfo info;
    ASSERT_EQ(d3dx::decodeImageLevels(mipFile.data(), mipFile.size(), levels, &info), D3D_OK);
    EXPECT_EQ(info.MipLevels, 3u);
    ASSERT_EQ(levels.size(), 3u);
    for (size_t i = 0; i < 3; ++i) EXPECT_EQ(levels[i].pixels, chain[i].pixels) << "level " << i;
}

// ---- Power-of-two stretch

Image rowOfGrays(std::initializer_list<uint8_t> values) {
    Image image;
    image.width = int(values.size());
    image.height = 1;
    for (uint8_t v : values) image.pixels.push_back(uint32_t(v) * 0x01010101u);
    return image;
}

std::vector<int> graysOf(const Image& image) {
    std::vector<int> grays;
    for (uint32_t pixel : image.pixels) {
        EXPECT_EQ(pixel, (pixel & 0xFF) * 0x01010101u) << "channels filtered alike";
        grays.push_back(int(pixel & 0xFF));
    }
    return grays;
}

TEST(ImageResize, SizesThatFitComeBackUnchanged) {
    const Image one = sampleImage(1, 1, 9);
    EXPECT_EQ(d3dx::resizeToPowerOfTwo(one, 4096).pixels, one.pixels);
    const Image square = sampleImage(8, 4, 5);
    const Image same = d3dx::resizeToPowerOfTwo(square, 8);
    EXPECT_EQ(same.width, 8);
    EXPECT_EQ(same.height, 4);
    EXPECT_EQ(same.pixels, square.pixels);
}

TEST(ImageResize, EachSideRoundsUpAndClampsOnItsOwn) {
    const Image strip = rowOfGrays({10, 20, 30, 40, 50});
    Image tall;
    tall.width = 3, tall.height = 5000;
    tall.pixels.assign(size_t(3 * 5000), 0xFF336699);
    const Image a = d3dx::resizeToPowerOfTwo(tall, 4096);
    EXPECT_EQ(a.width, 4);
    EXPECT_EQ(a.height, 4096);
    // A limit that is no power of two clamps to the one below it.
    const Image b = d3dx::resizeToPowerOfTwo(tall, 3000);
    EXPECT_EQ(b.height, 2048);
    // Normalised weights keep a flat image flat.
    for (uint32_t pixel : b.pixels) ASSERT_EQ(pixel, 0xFF336699u);
    EXPECT_EQ(d3dx::resizeToPowerOfTwo(strip, 4096).width, 8);
}

TEST(ImageResize, EnlargingInterpolatesBetweenPixelCentres) {
    // 3 -> 4: destination centres fall at -0.125, 0.625, 1.375 and 2.125 source
    // pixels, so the middle ones take 0.625 of the bright pixel (159.4).
    EXPECT_EQ(graysOf(d3dx::resizeToPowerOfTwo(rowOfGrays({0, 255, 0}), 64)),
              (std::vector<int>{0, 159, 159, 0}));
}

TEST(ImageResize, ShrinkingWidensTheTentOverEverySourcePixel) {
    // 6 -> 8 clamped to 4: the tent spans 1.5 source pixels either side, so
    // the second output sees 0.5 + 0.833 of white against 0.167 of black.
    EXPECT_EQ(graysOf(d3dx::resizeToPowerOfTwo(rowOfGrays({255, 255, 255, 0, 0, 0}), 4)),
              (std::vector<int>{255, 227, 28, 0}));
}

} // namespace
