// SPDX-License-Identifier: MIT
// The preview drawn straight from a file against the path it replaces:
// loading the file through the texture manager (D3DX at default size, one
// level, A8R8G8B8) on the real runtime's CPU device and copying it to the
// bitmap. Every pixel must match, for odd sizes, sizes either side of a
// power of two, up- and downscales, every format, every bitmap depth and,
// with a texture limit below the image, the stretch the limit forces.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/DialogTools.h"
#include "core/FileArray.h"
#include "d3d9/D3D9Runtime.h"
#include "d3d9/ImageCodec.h"
#include "render/D3D/D3D.h"
#include "render/PreviewImage.h"
#include "render/StructTexture.h"
#include "support/ImageFiles.h"

namespace {

class PreviewImageTest : public ::testing::Test {
protected:
    IDirect3D9* direct3D = nullptr;
    IDirect3DDevice9* device = nullptr;
    IDirect3DDevice9* previous = nullptr;
    int limit = 0;

    void SetUp() override {
        const bool wasCpuOnly = d3d9::headlessCpuOnly();
        d3d9::setHeadlessCpuOnly(true);
        direct3D = Direct3DCreate9(D3D_SDK_VERSION);
        d3d9::setHeadlessCpuOnly(wasCpuOnly);
        ASSERT_NE(direct3D, nullptr);
        D3DPRESENT_PARAMETERS parameters;
        parameters.BackBufferWidth = 1;
        parameters.BackBufferHeight = 1;
        parameters.BackBufferFormat = D3DFMT_A8R8G8B8;
        parameters.BackBufferCount = 1;
        parameters.SwapEffect = D3DSWAPEFFECT_DISCARD;
        parameters.Windowed = 1;
        ASSERT_EQ(direct3D->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr,
                                         D3DCREATE_SOFTWARE_VERTEXPROCESSING, &parameters, &device),
                  D3D_OK);
        previous = D3D::currentDevice;
        D3D::currentDevice = device;
        D3DCAPS9 caps;
        ASSERT_EQ(device->GetDeviceCaps(&caps), D3D_OK);
        limit = int(std::min(caps.MaxTextureWidth, caps.MaxTextureHeight));
    }
    void TearDown() override {
        D3D::currentDevice = previous;
        if (device) device->Release();
        if (direct3D) direct3D->Release();
    }

    // The bitmap the texture path draws, or an empty vector when the file
    // does not load.
    static std::vector<uint8_t> throughTexture(const std::vector<uint8_t>& file,
                                               DialogTools::Bitmap& bitmap) {
        FileArray bytes;
        bytes.write(file.data(), int32_t(file.size()));
        StructTexture texture;
        if (!texture.loadD3DXFromFile(String(u"preview"), bytes, 1, D3DFMT_A8R8G8B8)) return {};
        EXPECT_EQ(texture.copyToBitmap(bitmap), 1);
        return bufferOf(bitmap);
    }

    static std::vector<uint8_t> bufferOf(DialogTools::Bitmap& bitmap) {
        return {bitmap.buffer.items, bitmap.buffer.items + bitmap.buffer.count};
    }

    // The same bitmap drawn straight from the file with `textureLimit`.
    static std::vector<uint8_t> straight(const std::vector<uint8_t>& file, int textureLimit,
                                         DialogTools::Bitmap& bitmap, std::string& why) {
        surface1d<Color> colors(bitmap.width(), bitmap.height());
        d3dx::MemoryImageSource source(file.data(), file.size());
        if (FAILED(preview_image::draw(source, textureLimit, colors, why))) return {};
        preview_image::store(colors, bitmap);
        return bufferOf(bitmap);
    }

    void expectSamePreview(const std::vector<uint8_t>& file, const std::string& label,
                           int depth = 32, int width = 120, int height = 120) {
        DialogTools::Bitmap viaTexture, direct;
        viaTexture.create(nullptr, 0, depth, width, height);
        direct.create(nullptr, 0, depth, width, height);
        const std::vector<uint8_t> expected = throughTexture(file, viaTexture);
        std::string why;
        const std::vector<uint8_t> drawn = straight(file, limit, direct, why);
        ASSERT_EQ(drawn.empty(), expected.empty()) << label << ": " << why;
        EXPECT_TRUE(drawn == expected) << label << ": the pixels differ";
    }
};

std::vector<uint8_t> ddsOf(int width, int height, uint32_t seed) {
    d3dx::Image image;
    image.width = width;
    image.height = height;
    const std::vector<uint8_t> samples = testimages::gradient(width, height, 4, seed);
    for (size_t i = 0; i < samples.size(); i += 4)
        image.pixels.push_back(uint32_t(samples[i]) | uint32_t(samples[i + 1]) << 8 |
                               uint32_t(samples[i + 2]) << 16 | uint32_t(samples[i + 3]) << 24);
    return d3dx::encodeDds(image);
}

TEST_F(PreviewImageTest, SizesAroundPowersOfTwoUpAndDownMatchTheTexturePath) {
    // Exact pixels through DDS: each side rounds up on its own, from 1 to
    // past the preview, odd, either side of a power of two, and thin.
    const std::pair<int, int> sizes[] = {{1, 1},     {2, 3},     {7, 5},    {119, 121},
                                         {120, 120}, {127, 129}, {128, 64}, {255, 257},
                                         {513, 40},  {1, 300},   {4097, 3}};
    for (const auto& [w, h] : sizes)
        expectSamePreview(ddsOf(w, h, uint32_t(w * 7 + h)),
                          std::to_string(w) + "x" + std::to_string(h));
}

TEST_F(PreviewImageTest, JpegAndPngAsTheyStreamMatchTheTexturePath) {
    using testimages::JpegShape;
    using testimages::PngKind;
    expectSamePreview(testimages::jpeg(401, 299), "jpeg 4:2:0");
    expectSamePreview(testimages::jpeg(250, 130, JpegShape{1, 1, 1}), "jpeg gray");
    expectSamePreview(testimages::jpeg(333, 97, JpegShape{3, 2, 1, true}), "jpeg progressive");
    expectSamePreview(testimages::jpeg(90, 700, JpegShape{3, 1, 1, false, 2}), "jpeg restarts");
    expectSamePreview(testimages::png(300, 211), "png");
    expectSamePreview(testimages::png(131, 77, PngKind::Palette), "png paletted");
    expectSamePreview(testimages::png(66, 260, PngKind::Gray, true), "png interlaced");
}

// Every sample file, good or broken, in every format the codec reads.
TEST_F(PreviewImageTest, EverySampleFileMatchesTheTexturePathOrFailsAsItDoes) {
    const std::filesystem::path folder = std::filesystem::path(EMBOSSA_SOURCE_DIR) / "tests" /
                                         "platform" / "d3d9" / "data" / "images";
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        std::ifstream in(entry.path(), std::ios::binary);
        const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
        expectSamePreview(bytes, entry.path().filename().string());
        ++files;
    }
    EXPECT_GT(files, 40);
}

TEST_F(PreviewImageTest, OtherBitmapSizesAndDepthsMatchTheTexturePath) {
    const std::vector<uint8_t> file = testimages::jpeg(150, 90);
    expectSamePreview(file, "37 x 53", 32, 37, 53);
    expectSamePreview(file, "24-bit", 24);
    expectSamePreview(file, "16-bit", 16);
    expectSamePreview(file, "1 x 1", 32, 1, 1);
}

// A device with a smaller texture limit stretches the image down to it
// first; the reference is copyToBitmap's sampling of that stretch.
TEST_F(PreviewImageTest, ALimitBelowTheImageSamplesTheStretchTheLimitForces) {
    const std::vector<uint8_t> file = testimages::png(700, 300);
    d3dx::Image decoded;
    ASSERT_EQ(d3dx::decodeImage(file.data(), file.size(), decoded), D3D_OK);
    for (int textureLimit : {256, 100, 64, 1}) {
        const d3dx::Image stretched = d3dx::resizeToPowerOfTwo(decoded, textureLimit);
        std::vector<Color> texels;
        for (uint32_t word : stretched.pixels)
            texels.push_back(
                Color{uint8_t(word), uint8_t(word >> 8), uint8_t(word >> 16), uint8_t(word >> 24)});
        surface1d<Color> texture(stretched.width, stretched.height, texels.data());
        DialogTools::Bitmap expected, direct;
        expected.create(nullptr, 0, 32, 120, 120);
        direct.create(nullptr, 0, 32, 120, 120);
        for (int32_t r = 0; r < 120; ++r)
            for (int32_t c = 0; c < 120; ++c) {
                texture.u = preview_image::sampleU(c, 120);
                texture.v = preview_image::sampleV(r, 120);
                *expected.pixelAt(c, r) = sampleBilinear(texture);
            }
        std::string why;
        EXPECT_TRUE(straight(file, textureLimit, direct, why) == bufferOf(expected))
            << "limit " << textureLimit << " " << why;
    }
}

TEST_F(PreviewImageTest, AFileThatDoesNotDecodeLeavesThePixelsAndSaysWhy) {
    std::vector<uint8_t> file = testimages::jpeg(64, 64);
    file.resize(file.size() / 2);
    surface1d<Color> colors(4, 4);
    for (int32_t i = 0; i < 16; ++i) colors.pixels[i] = Color{1, 2, 3, 4};
    d3dx::MemoryImageSource source(file.data(), file.size());
    std::string why;
    EXPECT_EQ(preview_image::draw(source, limit, colors, why), D3DXERR_INVALIDDATA);
    EXPECT_EQ(why.rfind("JpegDecoder: ", 0), 0u) << why;
    for (int32_t i = 0; i < 16; ++i) EXPECT_EQ(colors.pixels[i].a, 4);
}

} // namespace
