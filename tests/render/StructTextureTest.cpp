// SPDX-License-Identifier: MIT
// The texture manager: record sharing and lifetime, the name and extension
// rules, failures that keep the old record, the default checkerboard, the
// mip-map filter's exact values and refusals, copies, atlas placement and
// the resampling into dialog bitmaps of every depth.
#include "render/StructTexture.h"

#include <algorithm>
#include <array>

#include "core/FileArray.h"
#include "render/RenderFixture.h"
#include "win/Gdi.h"

namespace {

class TextureTest : public RenderTest {
protected:
    rendertest::TestWindow window{64, 64};
    int32_t deviceRecords = 0; // the render-texture pool's, made at start-up

    void SetUp() override {
        RenderTest::SetUp();
        ASSERT_TRUE(start(window));
        deviceRecords = StructTexture::records().count;
        lines.clear();
    }
    int32_t ownRecords() const { return StructTexture::records().count - deviceRecords; }

    void addFile(const char16_t* name, UINT width, UINT height, std::vector<uint32_t> pixels = {}) {
        pixels.resize(size_t(width) * height, 0xFF336699u);
        d3dx->files.push_back({name, fake::D3DX::image(width, height, D3DFMT_A8R8G8B8, pixels)});
    }
    static fake::Texture* of(const StructTexture& handle) {
        return static_cast<fake::Texture*>(handle.texture());
    }
    // A texture whose level 0 holds these rows of pixels.
    static void make(StructTexture& handle, UINT width, UINT height, UINT levels, D3DFORMAT format,
                     const std::vector<uint32_t>& pixels) {
        ASSERT_EQ(handle.create(String(u"test"), width, height, levels, 0, format, D3DPOOL_MANAGED),
                  1);
        for (UINT y = 0; y < height; ++y)
            for (UINT x = 0; x < width; ++x)
                of(handle)->levels[0]->setPixel32(x, y, pixels[y * width + x]);
    }
};

TEST_F(TextureTest, LoadSharesOneRecordPerNameUntilTheLastHandleGoes) {
    addFile(u"pics/a.png", 2, 2);
    StructTexture first, second;
    ASSERT_EQ(first.load(String(u"pics/a.png")), 1);
    ASSERT_EQ(second.load(String(u"pics/a.png")), 1);
    EXPECT_EQ(first.record, second.record);
    EXPECT_EQ(first.record->users.count, 2);
    EXPECT_EQ(d3dx->fileLoads, 1);
    EXPECT_EQ(d3dx->lastMipLevels, 0u); // a full chain
    EXPECT_EQ(d3dx->lastFormat, D3DFMT_A8R8G8B8);
    EXPECT_EQ(countLogged(u"Load from harddisc..."), 1);
    EXPECT_EQ(countLogged(u"was already loaded..."), 1);
    EXPECT_EQ(first.name(), String(u"pics/a.png"));

    fake::Texture* texture = of(first);
    first.release();
    EXPECT_TRUE(first.isDefault());
    EXPECT_EQ(second.texture(), texture);
    EXPECT_EQ(texture->refs, 1u);
    second.release();
    EXPECT_EQ(texture->refs, 0u);
    EXPECT_EQ(ownRecords(), 0);
}

TEST_F(TextureTest, NamesDifferingOnlyInCaseAreTwoRecords) {
    addFile(u"a.png", 2, 2);
    addFile(u"A.png", 4, 4);
    StructTexture lower, upper;
    ASSERT_EQ(lower.load(String(u"a.png")), 1);
    ASSERT_EQ(upper.load(String(u"A.png")), 1);
    EXPECT_NE(lower.record, upper.record);
    EXPECT_EQ(d3dx->fileLoads, 2);
    EXPECT_EQ(ownRecords(), 2);
    // Loading what a handle already has changes nothing.
    ASSERT_EQ(lower.load(String(u"a.png")), 1);
    EXPECT_EQ(lower.record->users.count, 1);
}

TEST_F(TextureTest, ExtensionsAreAcceptedIgnoringCaseAndOthersRefused) {
    addFile(u"PIC.JPG", 2, 2);
    StructTexture handle;
    EXPECT_EQ(handle.loadD3DX(String(u"PIC.JPG"), 0, 0, nullptr, 1, D3DFMT_A8R8G8B8), 1);
    for (const char16_t* refused : {u"pic.gif", u"picture", u"dir.png/picture", u"pic."}) {
        lines.clear();
        EXPECT_EQ(handle.loadD3DX(String(refused), 0, 0, nullptr, 1, D3DFMT_A8R8G8B8), 0);
        EXPECT_EQ(lines.back(), u"The fileformat is not supported...");
    }
    EXPECT_EQ(d3dx->fileLoads, 1);
    EXPECT_EQ(handle.name(), String(u"PIC.JPG"));

    const uint8_t key[3] = {0x01, 0x02, 0x03}; // blue, green, red
    addFile(u"key.tga", 2, 2);
    EXPECT_EQ(handle.loadD3DX(String(u"key.tga"), 0, 0, key, 1, D3DFMT_A8R8G8B8), 1);
    EXPECT_EQ(d3dx->lastColorKey, 0xFF030201u);
}

TEST_F(TextureTest, AFailedDecodeKeepsTheHandlesRecord) {
    addFile(u"a.png", 2, 2);
    StructTexture handle;
    ASSERT_EQ(handle.load(String(u"a.png")), 1);
    StructTexture::Record* before = handle.record;
    EXPECT_EQ(handle.load(String(u"missing.png")), 0);
    EXPECT_EQ(lines.back(), u"in D3DXCreateTextureFromFileEx(): D3DXERR_INVALIDDATA");
    EXPECT_EQ(handle.record, before);
    EXPECT_EQ(ownRecords(), 1);

    FileArray garbage;
    garbage.write("not an image", 12);
    EXPECT_EQ(handle.loadD3DXFromFile(String(u"Heightmap"), garbage, 1, D3DFMT_A8R8G8B8), 0);
    EXPECT_EQ(lines.back(), u"in D3DXCreateTextureFromFileInMemoryEx(): D3DXERR_INVALIDDATA");
    EXPECT_EQ(handle.record, before);

    FileArray image;
    const std::vector<uint8_t> bytes = fake::D3DX::image(2, 2, D3DFMT_A8R8G8B8, {1, 2, 3, 4});
    image.write(bytes.data(), int32_t(bytes.size()));
    EXPECT_EQ(handle.loadD3DXFromFile(String(u"Heightmap"), image, 1, D3DFMT_A8R8G8B8), 1);
    EXPECT_EQ(handle.name(), String(u"Heightmap"));
    EXPECT_EQ(d3dx->lastMipLevels, 1u);
    EXPECT_EQ(ownRecords(), 1); // a.png went with its last handle
}

TEST_F(TextureTest, CreateRefusesTinySizesAndUnusableDevices) {
    StructTexture handle;
    const int32_t before = world.count("CreateTexture");
    EXPECT_EQ(handle.create(String(u"thin"), 1, 64, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED), 0);
    EXPECT_EQ(lines.back(), u"invalid size: 0 or 1");
    EXPECT_EQ(handle.create(String(u"flat"), 64, 0, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED), 0);
    EXPECT_EQ(world.count("CreateTexture"), before);
    EXPECT_TRUE(handle.isDefault());

    lines.clear();
    device()->cooperativeResults = {D3DERR_DEVICELOST, D3DERR_DEVICELOST};
    EXPECT_EQ(handle.create(String(u"lost"), 64, 64, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED), 0);
    EXPECT_EQ(lines,
              (std::vector<std::u16string>{u"The DirectX device is not valid",
                                           u"TestCooperativeLevel result: D3DERR_DEVICELOST"}));

    device()->createTextureResults = {D3DERR_OUTOFVIDEOMEMORY};
    EXPECT_EQ(handle.create(String(u"big"), 64, 64, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED), 0);
    EXPECT_EQ(lines.back(), u"in CreateTexture(): D3DERR_OUTOFVIDEOMEMORY");
    EXPECT_EQ(ownRecords(), 0);
}

TEST_F(TextureTest, DefaultTextureIsACheckerboardOnEveryLevel) {
    auto* texture = static_cast<fake::Texture*>(StructTexture::defaultRecord().texture);
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(StructTexture::defaultRecord().name, String(u"default.bmp"));
    ASSERT_EQ(texture->levels.size(), 3u);
    for (UINT level = 0; level < 3; ++level) {
        const fake::Surface& surface = *texture->levels[level];
        EXPECT_EQ(surface.desc.Pool, D3DPOOL_MANAGED);
        ASSERT_EQ(surface.desc.Width, 32u >> level);
        const UINT square = 4u >> level; // eight squares a side on every level
        for (UINT y = 0; y < surface.desc.Height; ++y)
            for (UINT x = 0; x < surface.desc.Width; ++x) {
                const bool odd = ((x / square) + (y / square)) % 2 == 1;
                ASSERT_EQ(surface.pixel32(x, y), odd ? 0xFF000084u : 0xFFFF0000u)
                    << "level " << level << " at " << x << "," << y;
            }
    }
}

TEST_F(TextureTest, MipmapsWeighNeighboursByAlphaWithTheWrittenArithmetic) {
    StructTexture handle;
    make(handle, 4, 2, 3, D3DFMT_A8R8G8B8,
         {0xFF102030, 0x00FFFFFF, 0xFF405060, 0x80F0F0F0, //
          0xFF000000, 0xFF808080, 0xFFFFFFFF, 0xFF204060});
    ASSERT_EQ(handle.genMipmaps(), 1);
    fake::Texture* texture = of(handle);
    // A transparent neighbour brings the centre's colour; edges repeat.
    EXPECT_EQ(texture->levels[1]->pixel32(0, 0), 0xFF0C1926u);
    EXPECT_EQ(texture->levels[1]->pixel32(1, 0), 0xFF77838Eu);
    EXPECT_EQ(texture->levels[2]->pixel32(0, 0), 0xFF212E3Au);
}

TEST_F(TextureTest, SixteenBitMipmapsKeepTheFieldsUnscaled) {
    StructTexture handle;
    ASSERT_EQ(handle.create(String(u"16"), 2, 2, 2, 0, D3DFMT_A1R5G5B5, D3DPOOL_MANAGED), 1);
    auto& top = *of(handle)->levels[0];
    const uint16_t words[4] = {0xFC0A, 0x83F4, 0xFC0A, 0xFC0A};
    std::memcpy(top.pixels.data(), words, 4);
    std::memcpy(top.pixels.data() + top.pitch, words + 2, 4);
    ASSERT_EQ(handle.genMipmaps(), 1);
    uint16_t result;
    std::memcpy(&result, of(handle)->levels[1]->pixels.data(), 2);
    // The alpha bit weighs its neighbour by 1/255, so red 31 next to red 0 stays 30.
    EXPECT_EQ(result, 0xF80Au);
}

TEST_F(TextureTest, MipmapsAreRefusedForTheDefaultRecordAndOtherPixelSizes) {
    StructTexture handle;
    auto* fallback = static_cast<fake::Texture*>(StructTexture::defaultRecord().texture);
    const uint32_t before = fallback->levels[1]->pixel32(0, 0);
    fallback->levels[0]->setPixel32(0, 0, 0xFFFFFFFF);
    EXPECT_EQ(handle.genMipmaps(), 0);
    EXPECT_EQ(lines.back(), u"Texture is default");
    EXPECT_EQ(fallback->levels[1]->pixel32(0, 0), before);

    for (const auto& [format, line] :
         {std::pair{D3DFMT_R8G8B8, u"Mipmaps are not built for D3DFMT_R8G8B8 (3 bytes per pixel)"},
          std::pair{D3DFMT_A16B16G16R16F,
                    u"Mipmaps are not built for Unknown Format (8 bytes per pixel)"},
          std::pair{D3DFMT_A32B32G32R32F,
                    u"Mipmaps are not built for Unknown Format (16 bytes per pixel)"}}) {
        ASSERT_EQ(handle.create(String(u"odd"), 4, 4, 2, 0, format, D3DPOOL_MANAGED), 1);
        std::fill(of(handle)->levels[0]->pixels.begin(), of(handle)->levels[0]->pixels.end(), 0xAB);
        EXPECT_EQ(handle.genMipmaps(), 0);
        EXPECT_EQ(lines.back(), line);
        for (uint8_t byte : of(handle)->levels[1]->pixels) ASSERT_EQ(byte, 0);
    }
}

TEST_F(TextureTest, CopyDuplicatesLevelZeroAndRebuildsTheRest) {
    StructTexture source, copy;
    make(source, 4, 4, 3, D3DFMT_A8R8G8B8, std::vector<uint32_t>(16, 0xFF204080));
    of(source)->levels[0]->setPixel32(3, 3, 0xFFFFFFFF);
    ASSERT_EQ(copy.copy(source), 1);
    ASSERT_NE(copy.record, source.record);
    EXPECT_EQ(copy.name(), String(u""));
    EXPECT_EQ(of(copy)->levels.size(), 3u);
    EXPECT_EQ(of(copy)->levels[0]->pixels, of(source)->levels[0]->pixels);
    EXPECT_EQ(of(copy)->levels[2]->pixel32(0, 0) >> 24, 0xFFu); // filtered, not left empty

    StructTexture other, fresh;
    EXPECT_EQ(other.copy(fresh), 0);
    EXPECT_EQ(lines.back(), u"tex is a default texture");
}

TEST_F(TextureTest, AddPlacesImagesInFreeRectanglesOfEqualTextures) {
    StructTexture atlas, tile, wrongFormat;
    make(atlas, 8, 8, 1, D3DFMT_A8R8G8B8, std::vector<uint32_t>(64, 0));
    make(tile, 4, 4, 1, D3DFMT_A8R8G8B8, std::vector<uint32_t>(16, 0xFF00FF00));
    POINT at;
    RECT placed;
    const LONG expected[4][2] = {{0, 0}, {4, 0}, {0, 4}, {4, 4}};
    for (const auto& corner : expected) {
        ASSERT_EQ(atlas.add(tile, at, placed), 1);
        EXPECT_EQ(at.x, corner[0]);
        EXPECT_EQ(at.y, corner[1]);
        EXPECT_EQ(placed.right, corner[0] + 4);
    }
    EXPECT_EQ(of(atlas)->levels[0]->pixel32(7, 7), 0xFF00FF00u);
    EXPECT_EQ(atlas.add(tile, at, placed), 0);
    EXPECT_EQ(lines.back(), u"There is no free place for the image");

    ASSERT_EQ(wrongFormat.create(String(u"16"), 4, 4, 1, 0, D3DFMT_R5G6B5, D3DPOOL_MANAGED), 1);
    EXPECT_EQ(atlas.add(wrongFormat, at, placed), 0);
    EXPECT_EQ(lines.back(), u"Format is not equal.");
    StructTexture nothing;
    EXPECT_EQ(atlas.add(nothing, at, placed), 0);
    EXPECT_EQ(lines.back(), u"Texture is not valid.");
}

class CopyToBitmap : public TextureTest {};

TEST_F(CopyToBitmap, AnX8R8G8B8TextureIsConvertedFirstAndShownUpright) {
    StructTexture handle;
    // Top row red, bottom row blue; the X8 byte is whatever was there.
    make(handle, 2, 2, 1, D3DFMT_X8R8G8B8, {0x00FF0000, 0x00FF0000, 0x000000FF, 0x000000FF});
    DialogTools::Bitmap bitmap;
    bitmap.create(nullptr, 0, 32, 2, 2);
    ASSERT_EQ(handle.copyToBitmap(bitmap), 1);
    EXPECT_EQ(d3dx->saves, 1);
    EXPECT_EQ(d3dx->memoryLoads, 1);
    EXPECT_EQ(d3dx->lastFormat, D3DFMT_A8R8G8B8);
    EXPECT_EQ(d3dx->lastMipLevels, 1u); // as many as the source has
    EXPECT_EQ(ownRecords(), 1);         // the temporary copy is gone
    for (int32_t x = 0; x < 2; ++x) {
        const Color bottom = *bitmap.pixelAt(x, 0); // buffer row 0: the bottom line
        const Color top = *bitmap.pixelAt(x, 1);
        EXPECT_EQ((std::array{bottom.b, bottom.g, bottom.r, bottom.a}),
                  (std::array<uint8_t, 4>{255, 0, 0, 255}));
        EXPECT_EQ((std::array{top.b, top.g, top.r, top.a}),
                  (std::array<uint8_t, 4>{0, 0, 255, 255}));
    }
    // The GDI bitmap the dialog shows got the same pixels, bottom row first.
    const BitmapObject* shown = win::bitmapObject(bitmap.bitmap);
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown->pixels, (std::vector<uint32_t>{0x0000FF, 0x0000FF, 0xFF0000, 0xFF0000}));
}

TEST_F(CopyToBitmap, BilinearWeightsAreEightBitAndTruncated) {
    StructTexture handle;
    // Two equal rows; a bitmap one line high samples the top one.
    make(handle, 2, 2, 1, D3DFMT_A8R8G8B8, {0xFF000000, 0xFFFFFFFF, 0xFF000000, 0xFFFFFFFF});
    DialogTools::Bitmap bitmap;
    bitmap.create(nullptr, 0, 32, 4, 1);
    ASSERT_EQ(handle.copyToBitmap(bitmap), 1);
    EXPECT_EQ(d3dx->saves, 0); // already A8R8G8B8
    // u = 0, 1/4, 1/2, 3/4 of two texels: weights 0 and 127 of 255, clamped at the edge.
    const uint8_t expected[4] = {0, 127, 255, 255};
    for (int32_t x = 0; x < 4; ++x) {
        EXPECT_EQ(bitmap.pixelAt(x, 0)->g, expected[x]) << x;
        EXPECT_EQ(bitmap.pixelAt(x, 0)->a, 255) << x;
    }
}

TEST_F(CopyToBitmap, ShallowBitmapsGetPackedRows) {
    StructTexture handle;
    make(handle, 3, 2, 1, D3DFMT_A8R8G8B8, {0xFF112233, 0xFF445566, 0xFF778899, 0, 0, 0});
    DialogTools::Bitmap deep;
    deep.create(nullptr, 0, 24, 3, 1);
    ASSERT_EQ(deep.format, 20);
    ASSERT_EQ(handle.copyToBitmap(deep), 1);
    EXPECT_EQ(std::vector<uint8_t>(deep.buffer.items, deep.buffer.items + 9),
              (std::vector<uint8_t>{0x33, 0x22, 0x11, 0x66, 0x55, 0x44, 0x99, 0x88, 0x77}));

    StructTexture alpha;
    make(alpha, 2, 2, 1, D3DFMT_A8R8G8B8, {0x80F8F8F8, 0x7F080808, 0, 0});
    DialogTools::Bitmap shallow;
    shallow.create(nullptr, 0, 16, 2, 1);
    ASSERT_EQ(shallow.format, 25);
    ASSERT_EQ(alpha.copyToBitmap(shallow), 1);
    uint16_t words[2];
    std::memcpy(words, shallow.buffer.items, 4);
    EXPECT_EQ(words[0], 0xFFFFu); // alpha 128 sets the bit
    EXPECT_EQ(words[1], 0x0421u); // alpha 127 does not
}

TEST_F(CopyToBitmap, NothingToDrawIntoOrFromIsRefused) {
    StructTexture handle;
    make(handle, 2, 2, 1, D3DFMT_A8R8G8B8, std::vector<uint32_t>(4, 0xFFFFFFFF));
    DialogTools::Bitmap empty;
    EXPECT_EQ(handle.copyToBitmap(empty), 0);
    EXPECT_EQ(lines.back(), u"The bitmap has no pixels to draw into");
}

using NoDevice = RenderTest;

TEST_F(NoDevice, TextureOperationsSayWhatIsMissingAndFail) {
    StructTexture handle;
    StructTexture::initDefaultTexture();
    EXPECT_EQ(lines,
              (std::vector<std::u16string>{u"The DirectX device is not valid", u"Device is NULL"}));
    lines.clear();
    EXPECT_EQ(handle.create(String(u"x"), 4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED), 0);
    EXPECT_EQ(lines,
              (std::vector<std::u16string>{u"The DirectX device is not valid", u"Device is NULL"}));
    lines.clear();
    EXPECT_EQ(handle.load(String(u"a.png")), 0);
    EXPECT_EQ(lines.back(), u"Device is NULL");
    EXPECT_EQ(d3dx->fileLoads, 0);
    DialogTools::Bitmap bitmap;
    bitmap.create(nullptr, 0, 32, 2, 2);
    EXPECT_EQ(handle.copyToBitmap(bitmap), 0);
    EXPECT_EQ(lines.back(), u"There is no texture to copy");
    EXPECT_EQ(handle.genMipmaps(), 0);
    EXPECT_EQ(StructTexture::records().count, 0);
}

} // namespace
