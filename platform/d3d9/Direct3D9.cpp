// SPDX-License-Identifier: MIT
// Stands in for IDirect3D9 on OpenGL 3.3: one adapter, described by the GL
// context (limits, vendor and renderer) and by SDL (display modes).
//  [x] caps of adapter 0 with the GL texture size, hardware transform and
//      lighting, 8 lights, 4 texture stages, anisotropy
//  [x] format, depth-stencil and multisample checks answered for what the
//      runtime really does: A8R8G8B8/X8R8G8B8 back buffers, D16, D24X8, D24S8
//      and D32 depth, 2 and 4 samples when the driver has them
//  [x] without OpenGL (setHeadlessCpuOnly, or no context) the same answers
//      for a CPU-only adapter that has no multisampling
//  [ ] more than one adapter, the REF and SW device types
#include <SDL2/SDL.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <vector>

#include "d3d9/D3D9Runtime.h"
#include "d3d9/Device.h"
#include "d3d9/Format.h"
#include "d3d9/GlContext.h"
#include "d3d9/Log.h"
#include "d3d9/ScriptedResults.h"

namespace d3d9 {
namespace {

bool& cpuOnlySwitch() {
    static bool cpuOnly = false;
    return cpuOnly;
}

std::mutex& scriptMutex() {
    static std::mutex mutex;
    return mutex;
}
std::map<test::Call, std::deque<HRESULT>>& scripts() {
    static std::map<test::Call, std::deque<HRESULT>> queues;
    return queues;
}

// Caps bits by their Windows values; only those the engine may read.
constexpr DWORD kTextureCapsPerspective = 0x1;
constexpr DWORD kTextureCapsAlpha = 0x4;
constexpr DWORD kTextureCapsCubeMap = 0x800;
constexpr DWORD kTextureCapsMipMap = 0x4000;
constexpr DWORD kTextureCapsMipCubeMap = 0x10000;
constexpr DWORD kVertexShaderNone = 0xFFFE0000u;
constexpr DWORD kPixelShaderNone = 0xFFFF0000u;

class Direct3D9 final : public IDirect3D9 {
public:
    explicit Direct3D9(bool cpuOnly) : cpuOnly_(cpuOnly) {
        readDisplayModes();
        fillCaps();
    }

    uint32_t AddRef() override { return ++refs_; }
    uint32_t Release() override {
        uint32_t left = --refs_;
        if (left == 0) delete this;
        return left;
    }

    UINT GetAdapterCount() override { return 1; }

    HRESULT GetAdapterIdentifier(UINT adapter, DWORD, D3DADAPTER_IDENTIFIER9* identifier) override {
        if (adapter != 0 || !identifier) return D3DERR_INVALIDCALL;
        *identifier = D3DADAPTER_IDENTIFIER9();
        std::string driver = "CPU", description = "CPU device without OpenGL";
        if (!cpuOnly_) {
            driver = gl::limits().vendor;
            description = gl::limits().renderer;
            identifier->VendorId = vendorId(driver);
            int major = 0, minor = 0;
            std::sscanf(gl::limits().version.c_str(), "%d.%d", &major, &minor);
            identifier->DriverVersion = int64_t(major) << 48 | int64_t(minor) << 32;
        }
        copyText(identifier->Driver, sizeof identifier->Driver, driver);
        copyText(identifier->Description, sizeof identifier->Description, description);
        copyText(identifier->DeviceName, sizeof identifier->DeviceName, "\\\\.\\DISPLAY1");
        return D3D_OK;
    }

    UINT GetAdapterModeCount(UINT adapter, D3DFORMAT format) override {
        if (adapter != 0 || format != D3DFMT_X8R8G8B8) return 0;
        return UINT(modes_.size());
    }

    HRESULT EnumAdapterModes(UINT adapter, D3DFORMAT format, UINT mode,
                             D3DDISPLAYMODE* displayMode) override {
        if (adapter != 0 || !displayMode || format != D3DFMT_X8R8G8B8) return D3DERR_INVALIDCALL;
        if (mode >= modes_.size()) return D3DERR_INVALIDCALL;
        *displayMode = modes_[mode];
        return D3D_OK;
    }

    HRESULT GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* displayMode) override {
        if (adapter != 0 || !displayMode) return D3DERR_INVALIDCALL;
        *displayMode = current_;
        return D3D_OK;
    }

    HRESULT CheckDeviceType(UINT adapter, D3DDEVTYPE type, D3DFORMAT displayFormat,
                            D3DFORMAT backBufferFormat, BOOL windowed) override {
        if (adapter != 0) return D3DERR_INVALIDCALL;
        if (type != D3DDEVTYPE_HAL) return D3DERR_NOTAVAILABLE;
        if (displayFormat != D3DFMT_X8R8G8B8) return D3DERR_NOTAVAILABLE;
        if (backBufferFormat == D3DFMT_UNKNOWN && windowed) return D3D_OK;
        if (backBufferFormat != D3DFMT_A8R8G8B8 && backBufferFormat != D3DFMT_X8R8G8B8)
            return D3DERR_NOTAVAILABLE;
        return D3D_OK;
    }

    HRESULT CheckDeviceFormat(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat, DWORD usage,
                              D3DRESOURCETYPE resourceType, D3DFORMAT checkFormat) override {
        if (adapter != 0) return D3DERR_INVALIDCALL;
        if (type != D3DDEVTYPE_HAL || adapterFormat != D3DFMT_X8R8G8B8) return D3DERR_NOTAVAILABLE;
        const FormatInfo* info = formatInfo(checkFormat);
        if (!info) return D3DERR_NOTAVAILABLE;
        if (usage & D3DUSAGE_DEPTHSTENCIL) {
            return info->depth && resourceType == D3DRTYPE_SURFACE ? D3D_OK : D3DERR_NOTAVAILABLE;
        }
        if (info->depth) return D3DERR_NOTAVAILABLE;
        if (resourceType != D3DRTYPE_SURFACE && resourceType != D3DRTYPE_TEXTURE &&
            resourceType != D3DRTYPE_CUBETEXTURE)
            return D3DERR_NOTAVAILABLE;
        if (info->compressed && !cpuOnly_ && !gl::limits().s3tc) return D3DERR_NOTAVAILABLE;
        if (usage & D3DUSAGE_RENDERTARGET) {
            if (!info->renderTarget) return D3DERR_NOTAVAILABLE;
            if ((usage & D3DUSAGE_QUERY_POSTPIXELSHADER_BLENDING) && !info->blendable)
                return D3DERR_NOTAVAILABLE;
        }
        if (usage & D3DUSAGE_AUTOGENMIPMAP) return D3DOK_NOAUTOGEN;
        return D3D_OK;
    }

    HRESULT CheckDeviceMultiSampleType(UINT adapter, D3DDEVTYPE type, D3DFORMAT surfaceFormat, BOOL,
                                       D3DMULTISAMPLE_TYPE multiSample,
                                       DWORD* qualityLevels) override {
        if (qualityLevels) *qualityLevels = 0;
        if (adapter != 0) return D3DERR_INVALIDCALL;
        const FormatInfo* info = formatInfo(surfaceFormat);
        if (type != D3DDEVTYPE_HAL || !info || (!info->renderTarget && !info->depth))
            return D3DERR_NOTAVAILABLE;
        int maxSamples = cpuOnly_ ? 0 : gl::limits().maxSamples;
        DWORD levels = 0;
        if (multiSample == D3DMULTISAMPLE_NONE) {
            levels = 1;
        } else if (multiSample == D3DMULTISAMPLE_NONMASKABLE) {
            // Quality 0 is two samples, quality 1 four.
            levels = DWORD((maxSamples >= 2 ? 1 : 0) + (maxSamples >= 4 ? 1 : 0));
        } else if ((multiSample == D3DMULTISAMPLE_2_SAMPLES ||
                    multiSample == D3DMULTISAMPLE_4_SAMPLES) &&
                   maxSamples >= int(multiSample)) {
            levels = 1;
        }
        if (levels == 0) return D3DERR_NOTAVAILABLE;
        if (qualityLevels) *qualityLevels = levels;
        return D3D_OK;
    }

    HRESULT CheckDepthStencilMatch(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat,
                                   D3DFORMAT renderTargetFormat,
                                   D3DFORMAT depthStencilFormat) override {
        if (adapter != 0) return D3DERR_INVALIDCALL;
        if (type != D3DDEVTYPE_HAL || adapterFormat != D3DFMT_X8R8G8B8) return D3DERR_NOTAVAILABLE;
        const FormatInfo* target = formatInfo(renderTargetFormat);
        const FormatInfo* depth = formatInfo(depthStencilFormat);
        if (!target || !target->renderTarget || !depth || !depth->depth) return D3DERR_NOTAVAILABLE;
        return D3D_OK;
    }

    HRESULT GetDeviceCaps(UINT adapter, D3DDEVTYPE type, D3DCAPS9* caps) override {
        if (auto scripted = takeScripted(test::Call::GetDeviceCaps); scripted && FAILED(*scripted))
            return *scripted;
        if (adapter != 0 || !caps) return D3DERR_INVALIDCALL;
        if (type != D3DDEVTYPE_HAL) return D3DERR_NOTAVAILABLE;
        *caps = caps_;
        return D3D_OK;
    }

    HRESULT CreateDevice(UINT adapter, D3DDEVTYPE type, HWND focusWindow, DWORD behaviorFlags,
                         D3DPRESENT_PARAMETERS* parameters, IDirect3DDevice9** device) override {
        if (device) *device = nullptr;
        if (auto scripted = takeScripted(test::Call::CreateDevice); scripted && FAILED(*scripted))
            return *scripted;
        if (adapter != 0) return D3DERR_INVALIDCALL;
        if (type != D3DDEVTYPE_HAL) return D3DERR_NOTAVAILABLE;
        return Device::create(cpuOnly_, caps_, focusWindow, behaviorFlags, parameters, device);
    }

private:
    static void copyText(char* into, size_t capacity, const std::string& text) {
        size_t length = std::min(capacity - 1, text.size());
        std::memcpy(into, text.data(), length);
        into[length] = 0;
    }

    static DWORD vendorId(const std::string& vendor) {
        std::string lower = vendor;
        for (char& c : lower) c = char(std::tolower(static_cast<unsigned char>(c)));
        if (lower.find("nvidia") != std::string::npos) return 0x10DE;
        if (lower.find("amd") != std::string::npos || lower.find("ati") != std::string::npos)
            return 0x1002;
        if (lower.find("intel") != std::string::npos) return 0x8086;
        return 0;
    }

    void readDisplayModes() {
        current_ = {1024, 768, 60, D3DFMT_X8R8G8B8};
        // The CPU-only adapter asks SDL only when the window layer has started it.
        bool video =
            SDL_WasInit(SDL_INIT_VIDEO) || (!cpuOnly_ && SDL_InitSubSystem(SDL_INIT_VIDEO) == 0);
        if (video) {
            SDL_DisplayMode mode;
            if (SDL_GetDesktopDisplayMode(0, &mode) == 0 && mode.w > 0 && mode.h > 0) {
                current_.Width = UINT(mode.w);
                current_.Height = UINT(mode.h);
                current_.RefreshRate = UINT(std::max(mode.refresh_rate, 0));
                current_.Format =
                    SDL_BITSPERPIXEL(mode.format) == 16 ? D3DFMT_R5G6B5 : D3DFMT_X8R8G8B8;
            }
            int count = SDL_GetNumDisplayModes(0);
            for (int i = 0; i < count; ++i) {
                if (SDL_GetDisplayMode(0, i, &mode) != 0 || mode.w <= 0 || mode.h <= 0) continue;
                if (SDL_BITSPERPIXEL(mode.format) < 24) continue;
                modes_.push_back({UINT(mode.w), UINT(mode.h), UINT(std::max(mode.refresh_rate, 0)),
                                  D3DFMT_X8R8G8B8});
            }
        }
        // A display that lists no modes (the offscreen driver) still has its
        // desktop mode.
        if (modes_.empty() && current_.Format == D3DFMT_X8R8G8B8) modes_.push_back(current_);
    }

    void fillCaps() {
        caps_.DeviceType = D3DDEVTYPE_HAL;
        caps_.AdapterOrdinal = 0;
        caps_.PresentationIntervals = D3DPRESENT_INTERVAL_ONE | D3DPRESENT_INTERVAL_IMMEDIATE;
        caps_.DevCaps = D3DDEVCAPS_HWTRANSFORMANDLIGHT;
        caps_.TextureCaps = kTextureCapsPerspective | kTextureCapsAlpha | kTextureCapsCubeMap |
                            kTextureCapsMipMap | kTextureCapsMipCubeMap;
        // The CPU-only adapter offers what a desktop driver does, so images
        // are sized the same with and without a display.
        int maxSize = cpuOnly_ ? 16384 : gl::limits().maxTextureSize;
        caps_.MaxTextureWidth = caps_.MaxTextureHeight = DWORD(maxSize);
        caps_.MaxAnisotropy = cpuOnly_ ? 16 : DWORD(std::max(1.0f, gl::limits().maxAnisotropy));
        caps_.MaxActiveLights = 8;
        caps_.MaxSimultaneousTextures = kStages;
        caps_.MaxTextureBlendStages = kStages;
        caps_.MaxPrimitiveCount = 0xFFFFFF;
        caps_.MaxVertexIndex = 0xFFFFFF;
        caps_.MaxStreams = 1;
        caps_.VertexShaderVersion = kVertexShaderNone;
        caps_.PixelShaderVersion = kPixelShaderNone;
    }

    uint32_t refs_ = 0;
    bool cpuOnly_;
    D3DCAPS9 caps_;
    D3DDISPLAYMODE current_;
    std::vector<D3DDISPLAYMODE> modes_;
};

} // namespace

void setHeadlessCpuOnly(bool cpuOnly) {
    cpuOnlySwitch() = cpuOnly;
}
bool headlessCpuOnly() {
    return cpuOnlySwitch();
}

std::optional<HRESULT> takeScripted(test::Call call) {
    std::lock_guard lock(scriptMutex());
    auto& queue = scripts()[call];
    if (queue.empty()) return std::nullopt;
    HRESULT result = queue.front();
    queue.pop_front();
    return result;
}

} // namespace d3d9

namespace d3d9::test {
void scriptResults(Call call, std::vector<HRESULT> results) {
    std::lock_guard lock(scriptMutex());
    auto& queue = scripts()[call];
    queue.insert(queue.end(), results.begin(), results.end());
}
void clearScriptedResults() {
    std::lock_guard lock(scriptMutex());
    scripts().clear();
}
} // namespace d3d9::test

IDirect3D9* Direct3DCreate9(UINT sdkVersion) {
    if (sdkVersion != D3D_SDK_VERSION) return nullptr;
    bool cpuOnly = d3d9::headlessCpuOnly();
    if (!cpuOnly && !d3d9::gl::makeCurrent()) {
        d3d9::logOnce("cpuonly", "no OpenGL 3.3 context: textures live in memory and draws go "
                                 "nowhere");
        cpuOnly = true;
    }
    auto* direct3d = new d3d9::Direct3D9(cpuOnly);
    direct3d->AddRef();
    return direct3d;
}
