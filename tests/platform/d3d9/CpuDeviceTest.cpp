// SPDX-License-Identifier: MIT
// The device without OpenGL that the command line converts images on, the
// D3DX texture functions on it, and the pixel conversions they use.
#include <fstream>

#include "D3D9TestSupport.h"
#include "d3d9/D3DX9.h"
#include "d3d9/Format.h"
#include "d3d9/ImageCodec.h"
#include "support/TempFolder.h"

namespace {

using namespace d3d9test;

class CpuDeviceTest : public RuntimeTest {
protected:
    bool cpuOnly() const override { return true; }
    void SetUp() override {
        RuntimeTest::SetUp();
        D3DPRESENT_PARAMETERS p = windowedParameters(nullptr);
        ASSERT_EQ(createDevice(p), D3D_OK) << "no window is needed without OpenGL";
        EXPECT_EQ(p.BackBufferWidth, 1u);
        ASSERT_FALSE(d3d9::test::usesOpenGL(device.get()));
    }

    // Writes `pixels` (w x h A8R8G8B8) as a DDS file in memory.
    static std::vector<uint8_t> dds(int width, int height, std::vector<uint32_t> pixels) {
        d3dx::Image image;
        image.width = width;
        image.height = height;
        image.pixels = std::move(pixels);
        return d3dx::encodeDds(image);
    }

    static uint32_t texel(IDirect3DTexture9* texture, UINT level, int x, int y) {
        D3DLOCKED_RECT locked;
        EXPECT_EQ(texture->LockRect(level, &locked, nullptr, D3DLOCK_READONLY), D3D_OK);
        uint32_t value;
        std::memcpy(&value, static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch + x * 4, 4);
        texture->UnlockRect(level);
        return value;
    }
};

TEST_F(CpuDeviceTest, TexturesLockAndKeepTheirBytesPerLevel) {
    D3DCAPS9 caps;
    device->GetDeviceCaps(&caps);
    EXPECT_EQ(caps.MaxTextureWidth, 16384u);
    Ref<IDirect3DTexture9> texture;
    ASSERT_EQ(
        device->CreateTexture(8, 4, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, texture.out(), nullptr),
        D3D_OK);
    ASSERT_EQ(texture->GetLevelCount(), 4u);
    for (UINT level = 0; level < 4; ++level) {
        D3DSURFACE_DESC desc;
        texture->GetLevelDesc(level, &desc);
        D3DLOCKED_RECT locked;
        ASSERT_EQ(texture->LockRect(level, &locked, nullptr, 0), D3D_OK);
        EXPECT_GE(locked.Pitch, int32_t(desc.Width * 4));
        for (UINT y = 0; y < desc.Height; ++y)
            for (UINT x = 0; x < desc.Width; ++x)
                reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(locked.pBits) +
                                            y * locked.Pitch)[x] = level << 24 | y << 8 | x;
        EXPECT_EQ(texture->LockRect(level, &locked, nullptr, 0), D3DERR_INVALIDCALL)
            << "locked twice";
        ASSERT_EQ(texture->UnlockRect(level), D3D_OK);
        EXPECT_EQ(texture->UnlockRect(level), D3DERR_INVALIDCALL);
    }
    EXPECT_EQ(texel(texture.get(), 0, 7, 3), 0x00000307u);
    EXPECT_EQ(texel(texture.get(), 3, 0, 0), 0x03000000u) << "1 x 1 last level";

    // A rectangle lock points into the same bytes.
    RECT rect{2, 1, 4, 3};
    D3DLOCKED_RECT locked;
    ASSERT_EQ(texture->LockRect(0, &locked, &rect, 0), D3D_OK);
    EXPECT_EQ(*static_cast<uint32_t*>(locked.pBits), 0x00000102u);
    texture->UnlockRect(0);
    RECT outside{6, 0, 9, 1};
    EXPECT_EQ(texture->LockRect(0, &locked, &outside, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(texture->LockRect(4, &locked, nullptr, 0), D3DERR_INVALIDCALL);

    // The same bytes through the level's surface.
    Ref<IDirect3DSurface9> surface;
    texture->GetSurfaceLevel(1, surface.out());
    ASSERT_EQ(surface->LockRect(&locked, nullptr, 0), D3D_OK);
    EXPECT_EQ(static_cast<uint32_t*>(locked.pBits)[1], 0x01000001u);
    surface->UnlockRect();
}

TEST_F(CpuDeviceTest, PoolsAndUsagesFollowDirect3DRules) {
    Ref<IDirect3DTexture9> texture;
    D3DLOCKED_RECT locked;
    ASSERT_EQ(
        device->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, texture.out(), nullptr),
        D3D_OK);
    EXPECT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3DERR_INVALIDCALL)
        << "default-pool textures are not lockable";
    ASSERT_EQ(device->CreateTexture(4, 4, 1, D3DUSAGE_DYNAMIC, D3DFMT_X8R8G8B8, D3DPOOL_DEFAULT,
                                    texture.out(), nullptr),
              D3D_OK);
    EXPECT_EQ(texture->LockRect(0, &locked, nullptr, D3DLOCK_DISCARD), D3D_OK) << "unless dynamic";
    texture->UnlockRect(0);
    EXPECT_EQ(device->CreateTexture(4, 4, 1, D3DUSAGE_DYNAMIC, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED,
                                    texture.out(), nullptr),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(device->CreateTexture(4, 4, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8,
                                    D3DPOOL_MANAGED, texture.out(), nullptr),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(
        device->CreateTexture(4, 4, 4, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, texture.out(), nullptr),
        D3DERR_INVALIDCALL)
        << "more levels than a 4 x 4 chain has";
    EXPECT_EQ(
        device->CreateTexture(0, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, texture.out(), nullptr),
        D3DERR_INVALIDCALL);
    EXPECT_EQ(device->CreateTexture(4, 4, 1, 0, D3DFMT_P8, D3DPOOL_MANAGED, texture.out(), nullptr),
              D3DERR_INVALIDCALL);

    // Compressed levels are addressed in 4 x 4 blocks.
    ASSERT_EQ(
        device->CreateTexture(8, 8, 1, 0, D3DFMT_DXT1, D3DPOOL_MANAGED, texture.out(), nullptr),
        D3D_OK);
    ASSERT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
    EXPECT_EQ(locked.Pitch, 16);
    texture->UnlockRect(0);

    Ref<IDirect3DCubeTexture9> cube;
    ASSERT_EQ(
        device->CreateCubeTexture(4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, cube.out(), nullptr),
        D3D_OK);
    ASSERT_EQ(cube->LockRect(D3DCUBEMAP_FACE_NEGATIVE_Z, 0, &locked, nullptr, 0), D3D_OK);
    static_cast<uint32_t*>(locked.pBits)[0] = 0xABCDEF01;
    cube->UnlockRect(D3DCUBEMAP_FACE_NEGATIVE_Z, 0);
    ASSERT_EQ(cube->LockRect(D3DCUBEMAP_FACE_POSITIVE_X, 0, &locked, nullptr, 0), D3D_OK);
    EXPECT_EQ(static_cast<uint32_t*>(locked.pBits)[0], 0u) << "faces are separate";
    cube->UnlockRect(D3DCUBEMAP_FACE_POSITIVE_X, 0);
}

TEST_F(CpuDeviceTest, DrawsGoNowhereButStillCheckTheirArguments) {
    struct Vertex {
        float x, y, z;
    } vertices[3] = {};
    uint16_t indices[3] = {0, 1, 2};
    device->SetFVF(D3DFVF_XYZ);
    EXPECT_EQ(device->BeginScene(), D3D_OK);
    EXPECT_EQ(device->BeginScene(), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0x00999999, 1, 0),
              D3D_OK);
    EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, vertices, sizeof(Vertex)), D3D_OK);
    EXPECT_EQ(device->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, 3, 1, indices, D3DFMT_INDEX16,
                                             vertices, sizeof(Vertex)),
              D3D_OK);
    EXPECT_EQ(device->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, 0, 0, nullptr, D3DFMT_INDEX16,
                                             nullptr, 24),
              D3D_OK)
        << "an empty mesh draws nothing and fails nothing";
    EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, nullptr, sizeof(Vertex)),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1), D3DERR_INVALIDCALL) << "no stream";
    device->SetFVF(0);
    EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, vertices, sizeof(Vertex)),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(device->EndScene(), D3D_OK);
    EXPECT_EQ(device->EndScene(), D3DERR_INVALIDCALL);

    Ref<IDirect3DSwapChain9> swapChain;
    device->GetSwapChain(0, swapChain.out());
    EXPECT_EQ(swapChain->Present(nullptr, nullptr, nullptr, nullptr, 0), D3D_OK);
    EXPECT_EQ(host_->presents, 0);

    // Buffers keep what was written, in nested locks too.
    Ref<IDirect3DIndexBuffer9> buffer;
    ASSERT_EQ(device->CreateIndexBuffer(12, D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_MANAGED,
                                        buffer.out(), nullptr),
              D3D_OK);
    void *whole = nullptr, *part = nullptr;
    ASSERT_EQ(buffer->Lock(0, 0, &whole, 0), D3D_OK);
    ASSERT_EQ(buffer->Lock(4, 4, &part, 0), D3D_OK);
    EXPECT_EQ(static_cast<uint8_t*>(part) - static_cast<uint8_t*>(whole), 4);
    EXPECT_EQ(buffer->Lock(10, 4, &part, 0), D3DERR_INVALIDCALL) << "past the end";
    EXPECT_EQ(buffer->Unlock(), D3D_OK);
    EXPECT_EQ(buffer->Unlock(), D3D_OK);
    EXPECT_EQ(buffer->Unlock(), D3DERR_INVALIDCALL);

    // Lockable render targets are plain memory; multisampling is not offered.
    Ref<IDirect3DSurface9> target;
    ASSERT_EQ(device->CreateRenderTarget(4, 4, D3DFMT_A8R8G8B8, D3DMULTISAMPLE_NONE, 0, TRUE,
                                         target.out(), nullptr),
              D3D_OK);
    D3DLOCKED_RECT locked;
    EXPECT_EQ(target->LockRect(&locked, nullptr, 0), D3D_OK);
    target->UnlockRect();
    EXPECT_EQ(d3d_->CheckDeviceMultiSampleType(0, D3DDEVTYPE_HAL, D3DFMT_A8R8G8B8, TRUE,
                                               D3DMULTISAMPLE_2_SAMPLES, nullptr),
              D3DERR_NOTAVAILABLE);
}

TEST_F(CpuDeviceTest, LoadingRoundsUpToPowersOfTwoAndBuildsABoxFilteredChain) {
    // 3 x 2 grey levels, stretched to 4 x 2 by the codec's rule.
    std::vector<uint8_t> file = dds(4, 2,
                                    {0xFF000000, 0xFF404040, 0xFF808080, 0xFFC0C0C0, 0xFF000000,
                                     0xFF404040, 0xFF808080, 0xFFC0C0C0});
    D3DXIMAGE_INFO info;
    Ref<IDirect3DTexture9> texture;
    ASSERT_EQ(D3DXCreateTextureFromFileInMemoryEx(device.get(), file.data(), UINT(file.size()),
                                                  D3DX_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT, 0,
                                                  D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, D3DX_DEFAULT,
                                                  D3DX_DEFAULT, 0, &info, nullptr, texture.out()),
              D3D_OK);
    EXPECT_EQ(info.Width, 4u);
    EXPECT_EQ(info.ImageFileFormat, D3DXIFF_DDS);
    ASSERT_EQ(texture->GetLevelCount(), 3u) << "4 x 2, 2 x 1, 1 x 1";
    EXPECT_EQ(texel(texture.get(), 0, 1, 1), 0xFF404040u);
    EXPECT_EQ(texel(texture.get(), 1, 0, 0), 0xFF202020u) << "mean of 0x00 and 0x40";
    EXPECT_EQ(texel(texture.get(), 1, 1, 0), 0xFFA0A0A0u);
    EXPECT_EQ(texel(texture.get(), 2, 0, 0), 0xFF606060u);

    // A 3 x 5 picture becomes 4 x 8; one level when asked for one.
    std::vector<uint8_t> odd = dds(3, 5, std::vector<uint32_t>(15, 0xFF336699));
    ASSERT_EQ(D3DXCreateTextureFromFileInMemoryEx(device.get(), odd.data(), UINT(odd.size()),
                                                  D3DX_DEFAULT, D3DX_DEFAULT, 1, 0, D3DFMT_A8R8G8B8,
                                                  D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, 0,
                                                  nullptr, nullptr, texture.out()),
              D3D_OK);
    D3DSURFACE_DESC desc;
    texture->GetLevelDesc(0, &desc);
    EXPECT_EQ(desc.Width, 4u);
    EXPECT_EQ(desc.Height, 8u);
    EXPECT_EQ(texture->GetLevelCount(), 1u);
    EXPECT_EQ(texel(texture.get(), 0, 3, 7), 0xFF336699u) << "a flat picture stays flat";

    uint8_t garbage[64] = {1, 2, 3};
    EXPECT_EQ(D3DXCreateTextureFromFileInMemoryEx(device.get(), garbage, sizeof garbage,
                                                  D3DX_DEFAULT, D3DX_DEFAULT, 1, 0, D3DFMT_A8R8G8B8,
                                                  D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, 0,
                                                  nullptr, nullptr, texture.out()),
              D3DXERR_INVALIDDATA);
    EXPECT_EQ(texture.get(), nullptr);
    EXPECT_TRUE(D3DXCheckVersion(32, 42));
    EXPECT_FALSE(D3DXCheckVersion(32, 43));
}

TEST_F(CpuDeviceTest, LoadingConvertsToTheRequestedFormatAndAppliesTheColourKey) {
    std::vector<uint8_t> file = dds(2, 1, {0xFFFF00FF, 0x80FF8040});
    Ref<IDirect3DTexture9> texture;
    ASSERT_EQ(D3DXCreateTextureFromFileInMemoryEx(device.get(), file.data(), UINT(file.size()),
                                                  D3DX_DEFAULT, D3DX_DEFAULT, 1, 0, D3DFMT_R5G6B5,
                                                  D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, 0,
                                                  nullptr, nullptr, texture.out()),
              D3D_OK);
    D3DLOCKED_RECT locked;
    texture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY);
    const auto* words = static_cast<const uint16_t*>(locked.pBits);
    EXPECT_EQ(words[0], 0xF81F) << "magenta in 5-6-5";
    EXPECT_EQ(words[1], 0xFC08);
    texture->UnlockRect(0);

    ASSERT_EQ(D3DXCreateTextureFromFileInMemoryEx(device.get(), file.data(), UINT(file.size()),
                                                  D3DX_DEFAULT, D3DX_DEFAULT, 1, 0, D3DFMT_A8R8G8B8,
                                                  D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT,
                                                  0xFFFF00FF, nullptr, nullptr, texture.out()),
              D3D_OK);
    EXPECT_EQ(texel(texture.get(), 0, 0, 0), 0u) << "the key becomes transparent black";
    EXPECT_EQ(texel(texture.get(), 0, 1, 0), 0x80FF8040u);
}

TEST_F(CpuDeviceTest, SavedDdsLoadsBackToTheSamePixels) {
    Ref<IDirect3DTexture9> source;
    ASSERT_EQ(
        device->CreateTexture(4, 4, 0, 0, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED, source.out(), nullptr),
        D3D_OK);
    for (UINT level = 0; level < source->GetLevelCount(); ++level) {
        D3DLOCKED_RECT locked;
        source->LockRect(level, &locked, nullptr, 0);
        D3DSURFACE_DESC desc;
        source->GetLevelDesc(level, &desc);
        for (UINT y = 0; y < desc.Height; ++y)
            for (UINT x = 0; x < desc.Width; ++x)
                reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(locked.pBits) +
                                            y * locked.Pitch)[x] =
                    0x00102030u + level * 0x10 + x * 0x100 + y * 0x10000;
        source->UnlockRect(level);
    }
    Ref<ID3DXBuffer> saved;
    ASSERT_EQ(D3DXSaveTextureToFileInMemory(saved.out(), D3DXIFF_DDS, source.get(), nullptr),
              D3D_OK);
    EXPECT_EQ(D3DXSaveTextureToFileInMemory(saved.out(), D3DXIFF_PNG, source.get(), nullptr),
              D3DERR_INVALIDCALL);
    ASSERT_EQ(D3DXSaveTextureToFileInMemory(saved.out(), D3DXIFF_DDS, source.get(), nullptr),
              D3D_OK);

    Ref<IDirect3DTexture9> copy;
    ASSERT_EQ(D3DXCreateTextureFromFileInMemoryEx(
                  device.get(), saved->GetBufferPointer(), saved->GetBufferSize(), D3DX_DEFAULT,
                  D3DX_DEFAULT, source->GetLevelCount(), 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED,
                  D3DX_DEFAULT, D3DX_DEFAULT, 0, nullptr, nullptr, copy.out()),
              D3D_OK);
    ASSERT_EQ(copy->GetLevelCount(), 3u);
    EXPECT_EQ(texel(copy.get(), 0, 3, 2), 0xFF122330u) << "X8 reads back opaque";
    // The file's own levels are kept rather than filtered again.
    EXPECT_EQ(texel(copy.get(), 1, 1, 1), 0xFF112140u);
    EXPECT_EQ(texel(copy.get(), 2, 0, 0), 0xFF102050u);
}

TEST_F(CpuDeviceTest, LoadingFromAFileAcceptsEitherSeparator) {
    TempFolder folder;
    std::vector<uint8_t> file = dds(2, 2, {0xFF010203, 0xFF010203, 0xFF010203, 0xFF010203});
    std::string path = folder.path().string() + "/tex.dds";
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
    std::u16string wide;
    for (char c : folder.path().string()) wide.push_back(char16_t(c));
    wide += u"\\tex.dds";
    Ref<IDirect3DTexture9> texture;
    ASSERT_EQ(D3DXCreateTextureFromFileExW(device.get(), wide.c_str(), D3DX_DEFAULT, D3DX_DEFAULT,
                                           0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, D3DX_DEFAULT,
                                           D3DX_DEFAULT, 0, nullptr, nullptr, texture.out()),
              D3D_OK);
    EXPECT_EQ(texel(texture.get(), 0, 1, 1), 0xFF010203u);
    EXPECT_EQ(D3DXCreateTextureFromFileExW(device.get(), u"/no/such/file.png", D3DX_DEFAULT,
                                           D3DX_DEFAULT, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED,
                                           D3DX_DEFAULT, D3DX_DEFAULT, 0, nullptr, nullptr,
                                           texture.out()),
              D3DXERR_INVALIDDATA);
}

TEST(D3D9Format, PackedConversionsRoundTripAtTheirPrecision) {
    const uint32_t colours[] = {0xFFFFFFFF, 0x00000000, 0x80FF7F01, 0x7F10C0F0, 0xFF123456};
    for (D3DFORMAT format : {D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_R8G8B8, D3DFMT_R5G6B5,
                             D3DFMT_A1R5G5B5, D3DFMT_X1R5G5B5, D3DFMT_A4R4G4B4, D3DFMT_X4R4G4B4,
                             D3DFMT_A8B8G8R8, D3DFMT_X8B8G8R8, D3DFMT_A8L8}) {
        const d3d9::FormatInfo* info = d3d9::formatInfo(format);
        ASSERT_NE(info, nullptr);
        std::vector<uint8_t> packed(std::size(colours) * info->bytes);
        d3d9::fromArgb(format, colours, packed.data(), std::size(colours));
        uint32_t back[std::size(colours)];
        d3d9::toArgb(format, packed.data(), back, std::size(colours));
        for (size_t i = 0; i < std::size(colours); ++i) {
            SCOPED_TRACE(testing::Message()
                         << "format " << format << " colour " << std::hex << colours[i]);
            int alphaBits = format == D3DFMT_A1R5G5B5 ? 1 : format == D3DFMT_A4R4G4B4 ? 4 : 8;
            bool opaque = format == D3DFMT_X8R8G8B8 || format == D3DFMT_R8G8B8 ||
                          format == D3DFMT_R5G6B5 || format == D3DFMT_X1R5G5B5 ||
                          format == D3DFMT_X4R4G4B4 || format == D3DFMT_X8B8G8R8;
            int alpha = int(colours[i] >> 24), gotAlpha = int(back[i] >> 24);
            if (opaque)
                EXPECT_EQ(gotAlpha, 255);
            else if (alphaBits == 1)
                EXPECT_EQ(gotAlpha, alpha >= 128 ? 255 : 0);
            else
                EXPECT_NEAR(gotAlpha, alpha, 255 >> alphaBits);
            if (format == D3DFMT_A8L8) continue; // luminance keeps no hue
            int tolerance = info->bytes == 2
                                ? (format == D3DFMT_A4R4G4B4 || format == D3DFMT_X4R4G4B4 ? 17 : 8)
                                : 0;
            EXPECT_NEAR(red(back[i]), red(colours[i]), tolerance);
            EXPECT_NEAR(green(back[i]), green(colours[i]), tolerance);
            EXPECT_NEAR(blue(back[i]), blue(colours[i]), tolerance);
        }
    }
    // Full-scale channels stay full scale after the widening.
    uint16_t word = 0xFFFF;
    uint32_t wide;
    d3d9::toArgb(D3DFMT_R5G6B5, &word, &wide, 1);
    EXPECT_EQ(wide, 0xFFFFFFFFu);
}

} // namespace
