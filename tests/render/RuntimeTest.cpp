// SPDX-License-Identifier: MIT
// The Direct3D layer on the real runtime (OpenGL on Mesa where there is one,
// else its CPU-only device) with windows of the test's own behind the
// runtime's window host: start-up, presenting and the texture manager's pixel
// paths through the real D3DX (BMP decoding, the DDS round trip of
// copyToBitmap); and a minimised dialog of the real window layer losing the
// device and getting it back.
#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/DialogTools.h"
#include "core/FileArray.h"
#include "core/Log.h"
#include "core/Report.h"
#include "d3d9/D3D9Runtime.h"
#include "d3d9/WindowHost.h"
#include "platform/d3d9/D3D9TestSupport.h"
#include "render/D3D/D3D.h"
#include "render/RecordingCallbacks.h"
#include "render/StructTexture.h"
#include "support/TempFolder.h"
#include "support/Watchdog.h"
#include "win/DialogTemplate.h"
#include "win/Win.h"

namespace {

using Callbacks = rendertest::RecordingCallbacks;

class Runtime : public ::testing::Test {
protected:
    std::shared_ptr<d3d9test::FakeWindowHost> host = std::make_shared<d3d9test::FakeWindowHost>();
    HWND view = nullptr;
    Callbacks callbacks;
    std::vector<std::u16string> lines;
    std::function<void(uint32_t)> onSleep = [](uint32_t) {};
    int32_t sleeps = 0;
    ScopedLogSink sink{[this](const String& line) { lines.emplace_back(line.text()); }};

    void SetUp() override {
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        d3d9::test::setWindowHost(host);
        d3d9::test::clearScriptedResults();
        D3D::setSleepFunction([this](uint32_t ms) {
            ++sleeps;
            onSleep(ms);
        });
        setReportPresenter([](void*, const String&, const String&, uint32_t) { return 1; });
        view = host->add(200, 150);
        ASSERT_EQ(D3D::init(), 1);
        WinShell::Window window(view, 0, 0);
        ASSERT_EQ(D3D::device.init(window, &callbacks, 54270, 1), 1);
        RecordProperty("opengl", d3d9::test::usesOpenGL(D3D::currentDevice) ? "yes" : "no");
        callbacks.slots.clear();
    }
    void TearDown() override {
        D3D::device.release();
        D3D::release();
        D3D::device.settings = D3D::Device::DeviceSettings{};
        D3D::setSleepFunction({});
        setReportPresenter({});
        d3d9::test::setWindowHost(nullptr);
    }

    D3D::Device::SwapChain& chain() { return *D3D::device.firstSwapChain(); }

    // A 24-bit BMP, rows given top first.
    static std::string bmp(int width, int height, const std::vector<uint32_t>& rgb) {
        const int stride = (width * 3 + 3) & ~3;
        std::string bytes(54 + size_t(stride) * height, '\0');
        auto put = [&](size_t at, uint32_t value, int count) {
            for (int i = 0; i < count; ++i) bytes[at + i] = char(value >> (8 * i));
        };
        bytes[0] = 'B';
        bytes[1] = 'M';
        put(2, uint32_t(bytes.size()), 4);
        put(10, 54, 4);
        put(14, 40, 4);
        put(18, uint32_t(width), 4);
        put(22, uint32_t(height), 4);
        put(26, 1, 2);
        put(28, 24, 2);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                put(54 + size_t(height - 1 - y) * stride + size_t(x) * 3,
                    rgb[size_t(y) * width + x], 3);
        return bytes;
    }
};

// The device window is a control of a real dialog of the window layer, with
// the runtime's own window host and the default waits: minimising and
// restoring go through the layer, and the restore reaches the device only
// if the waits of the restore keep the layer's messages flowing.
class RuntimeInADialog : public ::testing::Test {
protected:
    static constexpr WORD kTemplate = 9301;
    static constexpr int kView = 1;
    HWND dialog = nullptr;
    HWND view = nullptr;
    Callbacks callbacks;
    std::vector<std::u16string> lines;
    ScopedLogSink sink{[this](const String& line) { lines.emplace_back(line.text()); }};

    static INT_PTR quietProc(HWND, UINT, WPARAM, LPARAM) { return 0; }

    void SetUp() override {
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        setReportPresenter([](void*, const String&, const String&, uint32_t) { return 1; });
        registerDialogTemplate(DialogTemplate{kTemplate,
                                              u"Restore",
                                              u"MS Shell Dlg",
                                              8,
                                              WS_POPUP | WS_CAPTION,
                                              0,
                                              0,
                                              160,
                                              120,
                                              1033,
                                              {{kView, u"STATIC", u"", SS_LEFT, 5, 5, 150, 110}}});
        dialog = CreateDialogParamW(nullptr, kTemplate, nullptr, &quietProc, 0);
        ASSERT_NE(dialog, nullptr);
        ShowWindow(dialog, SW_SHOW);
        view = GetDlgItem(dialog, kView);
        ASSERT_EQ(D3D::init(), 1);
        WinShell::Window window(view, 0, 0);
        ASSERT_EQ(D3D::device.init(window, &callbacks, 54270, 1), 1);
        callbacks.slots.clear();
    }
    void TearDown() override {
        win::test::setIdleHook(nullptr);
        D3D::device.release();
        D3D::release();
        D3D::device.settings = D3D::Device::DeviceSettings{};
        setReportPresenter({});
        // Also forgets a WM_QUIT that no modal loop was there to take.
        win::shutdown();
    }

    D3D::Device::SwapChain& chain() { return *D3D::device.firstSwapChain(); }
};

TEST_F(RuntimeInADialog, AMinimisedDialogComesBackThroughTheLayerWithItsNewSize) {
    Watchdog watchdog(60, "the device restore never saw the window come back");
    EXPECT_EQ(chain().present(), D3D_OK);
    ShowWindow(dialog, SW_MINIMIZE);
    int passes = 0;
    // Runs inside the restore's waits: only they can bring the window back.
    win::test::setIdleHook([&] {
        if (++passes != 3) return;
        MoveWindow(view, 0, 0, 320, 240, TRUE);
        ShowWindow(dialog, SW_RESTORE);
    });
    EXPECT_EQ(chain().present(), D3DERR_DEVICELOST);
    EXPECT_GE(passes, 3);
    EXPECT_EQ(D3D::device.lost, 0);
    ASSERT_GE(callbacks.slots.size(), 4u);
    EXPECT_EQ(callbacks.slots.front(), 9);
    EXPECT_NE(std::find(callbacks.slots.begin(), callbacks.slots.end(), 11), callbacks.slots.end());
    EXPECT_EQ(callbacks.slots.back(), 12);
    EXPECT_EQ(chain().presentParameters.BackBufferWidth, 320u);
    EXPECT_EQ(chain().presentParameters.BackBufferHeight, 240u);
    EXPECT_NE(std::find(lines.begin(), lines.end(), u"  dwScreenWidth:  320"), lines.end());

    chain().beginRender();
    EXPECT_EQ(chain().present(), D3D_OK);
}

TEST_F(RuntimeInADialog, AQuitWhileMinimisedEndsTheWaitAndLeavesTheDeviceLost) {
    Watchdog watchdog(60, "the device restore went on waiting after WM_QUIT");
    EXPECT_EQ(chain().present(), D3D_OK);
    ShowWindow(dialog, SW_MINIMIZE);
    win::test::setIdleHook([] { PostQuitMessage(0); });
    EXPECT_EQ(chain().present(), D3DERR_DEVICELOST);
    EXPECT_EQ(D3D::device.lost, 1);
    EXPECT_NE(
        std::find(lines.begin(), lines.end(), u"The program is ending; the device stays lost"),
        lines.end());
    // Released once; the next try gives up at once, as the quit still stands.
    const auto released = std::count(callbacks.slots.begin(), callbacks.slots.end(), 9);
    EXPECT_EQ(chain().present(), D3DERR_DEVICELOST);
    EXPECT_EQ(std::count(callbacks.slots.begin(), callbacks.slots.end(), 9), released);
}

TEST_F(Runtime, DefaultCheckerboardThroughRealLocks) {
    IDirect3DTexture9* texture = StructTexture::defaultRecord().texture;
    ASSERT_NE(texture, nullptr);
    ASSERT_EQ(texture->GetLevelCount(), 3u);
    for (UINT level = 0; level < 3; ++level) {
        D3DLOCKED_RECT locked;
        ASSERT_EQ(texture->LockRect(level, &locked, nullptr, D3DLOCK_READONLY), D3D_OK);
        const UINT size = 32u >> level, square = 4u >> level;
        for (UINT y = 0; y < size; ++y) {
            const auto* row = reinterpret_cast<const uint32_t*>(
                static_cast<const uint8_t*>(locked.pBits) + y * locked.Pitch);
            for (UINT x = 0; x < size; ++x)
                ASSERT_EQ(row[x], ((x / square + y / square) & 1) ? 0xFF000084u : 0xFFFF0000u)
                    << level;
        }
        texture->UnlockRect(level);
    }
}

TEST_F(Runtime, LoadsABitmapFileOnceAndDrawsAnX8TextureUpright) {
    TempFolder folder;
    TempFolder::writeBytes(folder / "two.bmp", bmp(2, 2, {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF}));
    const std::u16string path = (folder / "two.bmp").u16string();
    StructTexture first, second;
    ASSERT_EQ(first.load(String(path.c_str())), 1);
    ASSERT_EQ(second.load(String(path.c_str())), 1);
    EXPECT_EQ(first.record, second.record);
    D3DLOCKED_RECT locked;
    ASSERT_EQ(first.texture()->LockRect(0, &locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    const auto* top = static_cast<const uint32_t*>(locked.pBits);
    EXPECT_EQ(top[0], 0xFFFF0000u);
    EXPECT_EQ(top[1], 0xFF00FF00u);
    first.texture()->UnlockRect(0);

    // An X8R8G8B8 texture whose unused byte is 0 reaches the bitmap opaque.
    StructTexture x8;
    ASSERT_EQ(x8.create(String(u"x8"), 2, 2, 1, 0, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED), 1);
    ASSERT_EQ(x8.texture()->LockRect(0, &locked, nullptr, 0), D3D_OK);
    for (int y = 0; y < 2; ++y) {
        auto* row =
            reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch);
        row[0] = row[1] = y == 0 ? 0x00FF0000u : 0x000000FFu;
    }
    x8.texture()->UnlockRect(0);
    DialogTools::Bitmap bitmap;
    bitmap.create(nullptr, 0, 32, 2, 2);
    ASSERT_EQ(x8.copyToBitmap(bitmap), 1);
    const Color bottom = *bitmap.pixelAt(0, 0), upper = *bitmap.pixelAt(1, 1);
    EXPECT_EQ(bottom.b, 255);
    EXPECT_EQ(bottom.r, 0);
    EXPECT_EQ(bottom.a, 255);
    EXPECT_EQ(upper.r, 255);
    EXPECT_EQ(upper.b, 0);
    EXPECT_EQ(upper.a, 255);
}

TEST_F(Runtime, MipmapsOnRealLevels) {
    StructTexture handle;
    ASSERT_EQ(handle.create(String(u"mips"), 4, 2, 3, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED), 1);
    const uint32_t pixels[8] = {0xFF102030, 0x00FFFFFF, 0xFF405060, 0x80F0F0F0,
                                0xFF000000, 0xFF808080, 0xFFFFFFFF, 0xFF204060};
    D3DLOCKED_RECT locked;
    ASSERT_EQ(handle.texture()->LockRect(0, &locked, nullptr, 0), D3D_OK);
    for (int y = 0; y < 2; ++y)
        std::memcpy(static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch, pixels + 4 * y, 16);
    handle.texture()->UnlockRect(0);
    ASSERT_EQ(handle.genMipmaps(), 1);
    ASSERT_EQ(handle.texture()->LockRect(1, &locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    EXPECT_EQ(static_cast<const uint32_t*>(locked.pBits)[0], 0xFF0C1926u);
    EXPECT_EQ(static_cast<const uint32_t*>(locked.pBits)[1], 0xFF77838Eu);
    handle.texture()->UnlockRect(1);
}

} // namespace
