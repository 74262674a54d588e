// SPDX-License-Identifier: MIT
// Renders through the runtime on Mesa (offscreen) and reads the pixels back:
// the lighting formula, texture modulation, winding, depth, blending, fog,
// pixel-centre conventions and the frame handed to the window.
#include <cmath>

#include <epoxy/gl.h>

#include "D3D9TestSupport.h"

namespace {

using namespace d3d9test;

constexpr int kSize = 64;

struct LitVertex {
    float x, y, z, nx, ny, nz;
};
struct LitTexturedVertex {
    float x, y, z, nx, ny, nz, u, v;
};
struct ColoredVertex {
    float x, y, z;
    DWORD color;
};
struct ScreenVertex {
    float x, y, z, rhw, u, v;
};

// A left-handed perspective projection (90 degrees, square), as the engine builds.
D3DMATRIX perspective(float zn, float zf) {
    D3DMATRIX m;
    float q = zf / (zf - zn);
    m.m[0][0] = 1;
    m.m[1][1] = 1;
    m.m[2][2] = q;
    m.m[2][3] = 1;
    m.m[3][2] = -q * zn;
    return m;
}

class RenderTest : public RuntimeTest {
protected:
    void SetUp() override {
        RuntimeTest::SetUp();
        window_ = host_->add(kSize, kSize);
        D3DPRESENT_PARAMETERS p = windowedParameters(window_);
        ASSERT_EQ(createDevice(p), D3D_OK);
        if (!d3d9::test::usesOpenGL(device.get())) GTEST_SKIP() << "no OpenGL here";
        D3DMATRIX identity = identityMatrix();
        device->SetTransform(D3DTS_WORLD, &identity);
        device->SetTransform(D3DTS_VIEW, &identity);
        device->SetTransform(D3DTS_PROJECTION, &identity);
    }

    void clear(D3DCOLOR color = 0x00999999) {
        ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, color, 1.0f, 0),
                  D3D_OK);
    }

    // The tool's material and the editor's light colours.
    void setToolMaterialAndLight(D3DVECTOR direction) {
        D3DMATERIAL9 material;
        material.Diffuse = {1, 1, 1, 1};
        material.Ambient = {0.6f, 0.6f, 0.6f, 1};
        material.Specular = {1, 1, 1, 1};
        material.Power = 0;
        device->SetMaterial(&material);
        D3DLIGHT9 light;
        light.Type = D3DLIGHT_DIRECTIONAL;
        light.Diffuse = {0.75f, 0.75f, 0.75f, 0};
        light.Ambient = {0.2f, 0.2f, 0.2f, 0};
        light.Specular = {0.7f, 0.7f, 0.7f, 0};
        light.Direction = direction;
        light.Attenuation0 = 1;
        device->SetLight(0, &light);
        device->LightEnable(0, TRUE);
        device->SetRenderState(D3DRS_LIGHTING, TRUE);
        device->SetRenderState(D3DRS_AMBIENT, 0);
    }

    // A camera-facing quad at depth 5 covering the middle of the target.
    void drawLitQuad(float normalLength) {
        D3DMATRIX projection = perspective(1, 100);
        device->SetTransform(D3DTS_PROJECTION, &projection);
        float n = -normalLength;
        LitVertex quad[] = {{-2, 2, 5, 0, 0, n}, {2, 2, 5, 0, 0, n},  {-2, -2, 5, 0, 0, n},
                            {2, 2, 5, 0, 0, n},  {2, -2, 5, 0, 0, n}, {-2, -2, 5, 0, 0, n}};
        device->SetFVF(D3DFVF_XYZ | D3DFVF_NORMAL);
        ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, quad, sizeof(LitVertex)), D3D_OK);
    }

    HWND window_ = nullptr;
};

// D3D: colour = emissive + Ma * (global ambient + La) + Md * Ld * max(0, N . -Ldir).
int expectedLit(float nDotL, float diffuseScale = 1.0f) {
    float value = 0.6f * 0.2f + 0.75f * std::max(0.0f, nDotL) * diffuseScale;
    return int(std::lround(std::min(value, 1.0f) * 255.0f));
}

TEST_F(RenderTest, ClearFillsTheTargetWithinTheViewportOnly) {
    clear(0x00999999);
    std::vector<uint32_t> pixels = readBackBuffer();
    ASSERT_EQ(pixels.size(), size_t(kSize * kSize));
    EXPECT_EQ(pixels[0] & 0xFFFFFF, 0x999999u);
    EXPECT_EQ(pixels[kSize * kSize - 1] & 0xFFFFFF, 0x999999u);

    D3DVIEWPORT9 viewport{16, 8, 16, 16, 0, 1};
    device->SetViewport(&viewport);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFFFF0000, 1, 0);
    RECT outside{0, 0, 4, 4};
    device->Clear(1, &outside, D3DCLEAR_TARGET, 0xFF00FF00, 1, 0);
    pixels = readBackBuffer();
    EXPECT_EQ(pixels[10 * kSize + 20], 0xFFFF0000u) << "inside the viewport";
    EXPECT_EQ(pixels[30 * kSize + 20] & 0xFFFFFF, 0x999999u) << "below it";
    EXPECT_EQ(pixels[2 * kSize + 2] & 0xFFFFFF, 0x999999u) << "a rectangle outside is clipped";
}

TEST_F(RenderTest, LitQuadFollowsTheLightingFormula) {
    clear();
    // Light travelling along +x+z: the quad faces -z, so N . -Ldir = cos 45.
    float s = std::sqrt(0.5f);
    setToolMaterialAndLight({s, 0, s});
    drawLitQuad(1);
    std::vector<uint32_t> pixels = readBackBuffer();
    uint32_t centre = pixels[32 * kSize + 32];
    EXPECT_NEAR(red(centre), expectedLit(s), 2);
    EXPECT_NEAR(green(centre), expectedLit(s), 2);
    EXPECT_NEAR(blue(centre), expectedLit(s), 2);
    EXPECT_EQ(pixels[2 * kSize + 2] & 0xFFFFFF, 0x999999u) << "the clear colour around the quad";

    // Normals of length 0.5 scale the diffuse term unless they are normalised.
    clear();
    drawLitQuad(0.5f);
    EXPECT_NEAR(red(readBackBuffer()[32 * kSize + 32]), expectedLit(s, 0.5f), 2);
    clear();
    device->SetRenderState(D3DRS_NORMALIZENORMALS, TRUE);
    drawLitQuad(0.5f);
    EXPECT_NEAR(red(readBackBuffer()[32 * kSize + 32]), expectedLit(s), 2);

    // A light from behind leaves only the ambient term.
    clear();
    setToolMaterialAndLight({0, 0, -1});
    drawLitQuad(1);
    EXPECT_NEAR(red(readBackBuffer()[32 * kSize + 32]), expectedLit(-1), 2);

    // Specular with power 0 adds Ms * Ls wherever the light reaches.
    clear();
    setToolMaterialAndLight({s, 0, s});
    device->SetRenderState(D3DRS_SPECULARENABLE, TRUE);
    drawLitQuad(1);
    float withSpecular = std::min(1.0f, 0.12f + 0.75f * s + 0.7f);
    EXPECT_NEAR(red(readBackBuffer()[32 * kSize + 32]), std::lround(withSpecular * 255), 2);
}

TEST_F(RenderTest, TexturedQuadModulatesTexelsWithTheLitColour) {
    // 2 x 2 texels: red, green / blue, white, top row first.
    Ref<IDirect3DTexture9> texture;
    ASSERT_EQ(
        device->CreateTexture(2, 2, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, texture.out(), nullptr),
        D3D_OK);
    D3DLOCKED_RECT locked;
    ASSERT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
    auto* row0 = static_cast<uint32_t*>(locked.pBits);
    auto* row1 = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(locked.pBits) + locked.Pitch);
    row0[0] = 0xFFFF0000;
    row0[1] = 0xFF00FF00;
    row1[0] = 0xFF0000FF;
    row1[1] = 0xFFFFFFFF;
    texture->UnlockRect(0);

    clear();
    setToolMaterialAndLight({0, 0, 1});
    device->SetTexture(0, texture.get());
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_POINT);
    device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_POINT);
    D3DMATRIX projection = perspective(1, 100);
    device->SetTransform(D3DTS_PROJECTION, &projection);
    LitTexturedVertex quad[] = {{-5, 5, 5, 0, 0, -1, 0, 0},
                                {5, 5, 5, 0, 0, -1, 1, 0},
                                {-5, -5, 5, 0, 0, -1, 0, 1},
                                {5, -5, 5, 0, 0, -1, 1, 1}};
    device->SetFVF(D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1);
    ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(LitTexturedVertex)),
              D3D_OK);

    std::vector<uint32_t> pixels = readBackBuffer();
    int lit = expectedLit(1); // the light falls straight on
    uint32_t topLeft = pixels[16 * kSize + 16], topRight = pixels[16 * kSize + 48];
    uint32_t bottomLeft = pixels[48 * kSize + 16], bottomRight = pixels[48 * kSize + 48];
    EXPECT_NEAR(red(topLeft), lit, 2);
    EXPECT_EQ(green(topLeft), 0);
    EXPECT_NEAR(green(topRight), lit, 2);
    EXPECT_EQ(red(topRight), 0);
    EXPECT_NEAR(blue(bottomLeft), lit, 2);
    EXPECT_EQ(red(bottomLeft), 0);
    EXPECT_NEAR(red(bottomRight), lit, 2);
    EXPECT_NEAR(blue(bottomRight), lit, 2);

    // A changed texel reaches the GPU at the next draw.
    ASSERT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
    static_cast<uint32_t*>(locked.pBits)[0] = 0xFF00FF00;
    texture->UnlockRect(0);
    device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(LitTexturedVertex));
    EXPECT_NEAR(green(readBackBuffer()[16 * kSize + 16]), lit, 2);
}

TEST_F(RenderTest, CullingFollowsDirect3DWindingAndScreenOrientation) {
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    device->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE);
    // On screen: bottom-left, top, bottom-right is clockwise, Direct3D's front.
    ColoredVertex clockwise[] = {{-0.5f, -0.5f, 0.5f, 0xFFFF0000},
                                 {0, 0.5f, 0.5f, 0xFFFF0000},
                                 {0.5f, -0.5f, 0.5f, 0xFFFF0000}};
    ColoredVertex counter[] = {clockwise[0], clockwise[2], clockwise[1]};
    auto drawn = [&](DWORD cull, const ColoredVertex* vertices) {
        clear();
        device->SetRenderState(D3DRS_CULLMODE, cull);
        device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, vertices, sizeof(ColoredVertex));
        return readBackBuffer()[32 * kSize + 32] == 0xFFFF0000;
    };
    EXPECT_TRUE(drawn(D3DCULL_CCW, clockwise));
    EXPECT_FALSE(drawn(D3DCULL_CCW, counter));
    EXPECT_FALSE(drawn(D3DCULL_CW, clockwise));
    EXPECT_TRUE(drawn(D3DCULL_CW, counter));
    EXPECT_TRUE(drawn(D3DCULL_NONE, counter));

    // Positive y is up: a triangle above the middle lands in the top rows.
    clear();
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    ColoredVertex high[] = {{-0.5f, 0.5f, 0.5f, 0xFF00FF00},
                            {0, 0.9f, 0.5f, 0xFF00FF00},
                            {0.5f, 0.5f, 0.5f, 0xFF00FF00}};
    device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, high, sizeof(ColoredVertex));
    std::vector<uint32_t> pixels = readBackBuffer();
    EXPECT_EQ(pixels[10 * kSize + 32], 0xFF00FF00u);
    EXPECT_NE(pixels[54 * kSize + 32], 0xFF00FF00u);
}

TEST_F(RenderTest, DepthTestAndDepthWritesFollowTheRenderStates) {
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE);
    auto quad = [&](float z, DWORD color) {
        ColoredVertex v[] = {
            {-1, 1, z, color}, {1, 1, z, color}, {-1, -1, z, color}, {1, -1, z, color}};
        device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(ColoredVertex));
    };
    auto centre = [&] { return readBackBuffer()[32 * kSize + 32]; };

    clear();
    quad(0.2f, 0xFFFF0000);
    quad(0.8f, 0xFF00FF00);
    EXPECT_EQ(centre(), 0xFFFF0000u) << "the farther quad is hidden";

    clear();
    device->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    quad(0.2f, 0xFFFF0000);
    device->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
    quad(0.8f, 0xFF00FF00);
    EXPECT_EQ(centre(), 0xFF00FF00u) << "the near quad wrote no depth";

    clear();
    device->SetRenderState(D3DRS_ZFUNC, D3DCMP_GREATER);
    quad(0.2f, 0xFFFF0000);
    EXPECT_EQ(centre() & 0xFFFFFF, 0x999999u) << "nothing is farther than the cleared 1.0";
    device->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
    quad(0.8f, 0xFF00FF00);
    EXPECT_EQ(centre(), 0xFF00FF00u) << "no test at all";
}

TEST_F(RenderTest, BlendingWriteMasksAlphaTestAndFog) {
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE);
    device->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE);
    auto quad = [&](DWORD color, float z = 0.5f) {
        ColoredVertex v[] = {
            {-1, 1, z, color}, {1, 1, z, color}, {-1, -1, z, color}, {1, -1, z, color}};
        device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(ColoredVertex));
    };
    auto centre = [&] { return readBackBuffer()[32 * kSize + 32]; };

    clear(0xFF000000);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    quad(0x80FFFFFF);
    EXPECT_NEAR(red(centre()), 128, 2) << "half white over black";
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);

    clear(0xFF000000);
    device->SetRenderState(D3DRS_COLORWRITEENABLE, 0x1); // red only
    quad(0xFFFFFFFF);
    EXPECT_EQ(centre() & 0xFFFFFF, 0xFF0000u);
    device->SetRenderState(D3DRS_COLORWRITEENABLE, 0xF);

    clear(0xFF000000);
    device->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
    device->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
    device->SetRenderState(D3DRS_ALPHAREF, 0x81);
    quad(0x80FFFFFF);
    EXPECT_EQ(centre() & 0xFFFFFF, 0u) << "alpha 0x80 fails >= 0x81";
    device->SetRenderState(D3DRS_ALPHAREF, 0x80);
    quad(0x80FFFFFF);
    EXPECT_EQ(centre() & 0xFFFFFF, 0xFFFFFFu);
    device->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);

    // Linear vertex fog at view depth 6 between 2 and 10: half fog colour.
    clear(0xFF000000);
    D3DMATRIX projection = perspective(1, 100);
    device->SetTransform(D3DTS_PROJECTION, &projection);
    float start = 2, end = 10;
    DWORD startBits, endBits;
    std::memcpy(&startBits, &start, 4);
    std::memcpy(&endBits, &end, 4);
    device->SetRenderState(D3DRS_FOGENABLE, TRUE);
    device->SetRenderState(D3DRS_FOGVERTEXMODE, D3DFOG_LINEAR);
    device->SetRenderState(D3DRS_FOGSTART, startBits);
    device->SetRenderState(D3DRS_FOGEND, endBits);
    device->SetRenderState(D3DRS_FOGCOLOR, 0xFF0000FF);
    ColoredVertex far[] = {{-6, 6, 6, 0xFFFF0000},
                           {6, 6, 6, 0xFFFF0000},
                           {-6, -6, 6, 0xFFFF0000},
                           {6, -6, 6, 0xFFFF0000}};
    device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, far, sizeof(ColoredVertex));
    uint32_t fogged = centre();
    EXPECT_NEAR(red(fogged), 128, 3);
    EXPECT_NEAR(blue(fogged), 128, 3);
}

TEST_F(RenderTest, PretransformedQuadMapsTexelsOntoPixelsWithTheHalfPixelShift) {
    // The engine's screen quads: corners at pixel positions minus 0.5.
    Ref<IDirect3DTexture9> texture;
    ASSERT_EQ(
        device->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, texture.out(), nullptr),
        D3D_OK);
    D3DLOCKED_RECT locked;
    texture->LockRect(0, &locked, nullptr, 0);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch)[x] =
                0xFF000000u | uint32_t(x * 60) << 16 | uint32_t(y * 60) << 8;
    texture->UnlockRect(0);

    clear();
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    device->SetTexture(0, texture.get());
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
    device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
    float x0 = 8 - 0.5f, y0 = 12 - 0.5f, x1 = x0 + 4, y1 = y0 + 4;
    ScreenVertex quad[] = {
        {x0, y0, 0, 1, 0, 0}, {x1, y0, 0, 1, 1, 0}, {x0, y1, 0, 1, 0, 1}, {x1, y1, 0, 1, 1, 1}};
    device->SetFVF(D3DFVF_XYZRHW | D3DFVF_TEX1);
    ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(ScreenVertex)), D3D_OK);
    std::vector<uint32_t> pixels = readBackBuffer();
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) {
            uint32_t pixel = pixels[(12 + y) * kSize + 8 + x];
            EXPECT_NEAR(red(pixel), x * 60, 1) << x << "," << y;
            EXPECT_NEAR(green(pixel), y * 60, 1) << x << "," << y;
        }
    EXPECT_EQ(pixels[11 * kSize + 8] & 0xFFFFFF, 0x999999u) << "the row above is untouched";
    EXPECT_EQ(pixels[12 * kSize + 12] & 0xFFFFFF, 0x999999u) << "the column right of it too";
}

TEST_F(RenderTest, RenderTargetTextureKeepsItsTopRowOnTop) {
    Ref<IDirect3DTexture9> target;
    ASSERT_EQ(device->CreateTexture(32, 32, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8,
                                    D3DPOOL_DEFAULT, target.out(), nullptr),
              D3D_OK);
    Ref<IDirect3DSurface9> level, backBuffer;
    target->GetSurfaceLevel(0, level.out());
    device->GetRenderTarget(0, backBuffer.out());
    ASSERT_EQ(device->SetRenderTarget(0, level.get()), D3D_OK);
    D3DVIEWPORT9 viewport;
    device->GetViewport(&viewport);
    EXPECT_EQ(viewport.Width, 32u) << "a new target resets the viewport";
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF0000FF, 1, 0);
    RECT top{0, 0, 32, 16};
    device->Clear(1, &top, D3DCLEAR_TARGET, 0xFFFF0000, 1, 0);

    ASSERT_EQ(device->SetRenderTarget(0, backBuffer.get()), D3D_OK);
    clear();
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    device->SetTexture(0, target.get());
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    ScreenVertex quad[] = {{-0.5f, -0.5f, 0, 1, 0, 0},
                           {63.5f, -0.5f, 0, 1, 1, 0},
                           {-0.5f, 63.5f, 0, 1, 0, 1},
                           {63.5f, 63.5f, 0, 1, 1, 1}};
    device->SetFVF(D3DFVF_XYZRHW | D3DFVF_TEX1);
    device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(ScreenVertex));
    std::vector<uint32_t> pixels = readBackBuffer();
    EXPECT_EQ(pixels[8 * kSize + 32] & 0xFFFFFF, 0xFF0000u);
    EXPECT_EQ(pixels[56 * kSize + 32] & 0xFFFFFF, 0x0000FFu);
}

TEST_F(RenderTest, PresentHandsTheWindowAnOpaqueBottomUpFrame) {
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0x000000FF, 1, 0); // alpha 0, blue
    RECT top{0, 0, kSize, 16};
    device->Clear(1, &top, D3DCLEAR_TARGET, 0x00FF0000, 1, 0);
    ASSERT_EQ(host_->presents, 0);
    Ref<IDirect3DSwapChain9> swapChain;
    device->GetSwapChain(0, swapChain.out());
    ASSERT_EQ(swapChain->Present(nullptr, nullptr, nullptr, nullptr, 0), D3D_OK);
    ASSERT_EQ(host_->presents, 1);
    EXPECT_EQ(host_->presentedTo, window_);
    EXPECT_EQ(host_->presented.width, kSize);
    EXPECT_EQ(host_->presented.height, kSize);
    EXPECT_EQ(host_->presented.glTexture, d3d9::test::presentedTexture(swapChain.get()));

    std::vector<uint8_t> rgba(size_t(kSize) * kSize * 4);
    glBindTexture(GL_TEXTURE_2D, host_->presented.glTexture);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    glBindTexture(GL_TEXTURE_2D, 0);
    auto at = [&](int x, int row) { return &rgba[(size_t(row) * kSize + size_t(x)) * 4]; };
    EXPECT_EQ(at(5, 0)[2], 255) << "row 0 is the bottom: blue";
    EXPECT_EQ(at(5, 0)[0], 0);
    EXPECT_EQ(at(5, kSize - 1)[0], 255) << "the last row is the top: red";
    EXPECT_EQ(at(5, kSize - 1)[3], 255) << "opaque although cleared with alpha 0";
}

TEST_F(RenderTest, MultisampledBackBufferIsResolvedOnPresent) {
    DWORD levels = 0;
    if (d3d_->CheckDeviceMultiSampleType(0, D3DDEVTYPE_HAL, D3DFMT_A8R8G8B8, TRUE,
                                         D3DMULTISAMPLE_4_SAMPLES, &levels) != D3D_OK)
        GTEST_SKIP() << "no 4-sample multisampling on this driver";
    EXPECT_EQ(levels, 1u);
    HWND window = host_->add(32, 32);
    D3DPRESENT_PARAMETERS p = windowedParameters(window);
    p.Flags = 0;
    p.MultiSampleType = D3DMULTISAMPLE_4_SAMPLES;
    Ref<IDirect3DDevice9> multisampled;
    ASSERT_EQ(d3d_->CreateDevice(0, D3DDEVTYPE_HAL, window, D3DCREATE_HARDWARE_VERTEXPROCESSING, &p,
                                 multisampled.out()),
              D3D_OK);
    multisampled->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF00FF00, 1, 0);
    Ref<IDirect3DSwapChain9> swapChain;
    multisampled->GetSwapChain(0, swapChain.out());
    ASSERT_EQ(swapChain->Present(nullptr, nullptr, nullptr, nullptr, 0), D3D_OK);
    uint8_t rgba[32 * 32 * 4];
    glBindTexture(GL_TEXTURE_2D, host_->presented.glTexture);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    glBindTexture(GL_TEXTURE_2D, 0);
    EXPECT_EQ(rgba[1], 255);
    EXPECT_EQ(rgba[0], 0);

    // A lockable back buffer cannot be multisampled.
    p.Flags = D3DPRESENTFLAG_LOCKABLE_BACKBUFFER;
    p.BackBufferWidth = p.BackBufferHeight = 0;
    Ref<IDirect3DDevice9> refused;
    EXPECT_EQ(d3d_->CreateDevice(0, D3DDEVTYPE_HAL, window, D3DCREATE_HARDWARE_VERTEXPROCESSING, &p,
                                 refused.out()),
              D3DERR_INVALIDCALL);
}

TEST_F(RenderTest, IndexedDrawsFromBuffersAndUserMemoryAgree) {
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE);
    // Two unused vertices first, reached through the base vertex.
    ColoredVertex vertices[] = {{0, 0, 0, 0},
                                {0, 0, 0, 0},
                                {-1, 1, 0.5f, 0xFF0000FF},
                                {1, 1, 0.5f, 0xFF0000FF},
                                {-1, -1, 0.5f, 0xFF0000FF},
                                {1, -1, 0.5f, 0xFF0000FF}};
    uint16_t indices[] = {0, 1, 2, 1, 3, 2};

    Ref<IDirect3DVertexBuffer9> vb;
    Ref<IDirect3DIndexBuffer9> ib;
    ASSERT_EQ(device->CreateVertexBuffer(sizeof vertices, D3DUSAGE_WRITEONLY,
                                         D3DFVF_XYZ | D3DFVF_DIFFUSE, D3DPOOL_MANAGED, vb.out(),
                                         nullptr),
              D3D_OK);
    ASSERT_EQ(device->CreateIndexBuffer(sizeof indices, D3DUSAGE_WRITEONLY, D3DFMT_INDEX16,
                                        D3DPOOL_MANAGED, ib.out(), nullptr),
              D3D_OK);
    void* data = nullptr;
    vb->Lock(0, 0, &data, 0);
    std::memcpy(data, vertices, sizeof vertices);
    vb->Unlock();
    ib->Lock(0, 0, &data, 0);
    std::memcpy(data, indices, sizeof indices);
    ib->Unlock();

    clear();
    device->SetStreamSource(0, vb.get(), 0, sizeof(ColoredVertex));
    device->SetIndices(ib.get());
    ASSERT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 2, 0, 4, 0, 2), D3D_OK);
    std::vector<uint32_t> fromBuffers = readBackBuffer();
    EXPECT_EQ(fromBuffers[32 * kSize + 32], 0xFF0000FFu);
    EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 4, 2), D3DERR_INVALIDCALL)
        << "indices past the end of the buffer";

    clear();
    ASSERT_EQ(device->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, 4, 2, indices, D3DFMT_INDEX16,
                                             vertices + 2, sizeof(ColoredVertex)),
              D3D_OK);
    EXPECT_EQ(readBackBuffer(), fromBuffers);
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1), D3DERR_INVALIDCALL)
        << "a draw from user memory forgets stream 0";
}

} // namespace
