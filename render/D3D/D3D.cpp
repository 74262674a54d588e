// SPDX-License-Identifier: MIT
// Opening Direct3D and what is chosen from it before a device exists. The
// retry loop of init gives a runtime that does not answer the capability
// query yet time to come up; the format and multisample choices follow the
// adapter's answers in a fixed order, so the log of a start-up tells exactly
// what was tried.
#include "render/D3D/D3D.h"

#include <algorithm>
#include <cstdlib>

#include "core/Language.h"
#include "core/Log.h"
#include "core/Report.h"
#include "d3d9/D3DX9.h"
#include "sys/Unicode.h"
#include "win/Win.h"

namespace D3D {

IDirect3D9* direct3D = nullptr;
D3DCAPS9 caps;
int32_t floatBlending = 0;
// One step per entry, so shrinking to the distinct sizes is exact.
DynArray<Resolution> resolutions{0, 1};

namespace {

SleepFunction& sleepFunction() {
    static SleepFunction function;
    return function;
}

Direct3DFactory& direct3DFactory() {
    static Direct3DFactory factory;
    return factory;
}

void showMissingDirectX() {
    showReport(nullptr, u"Info", u"Need_Newest_DirectX", MB_OK);
    log(u"%s", language().get(String(u"Need_Newest_DirectX")));
}

String ansiText(const char* text, size_t capacity) {
    std::u16string wide;
    for (size_t i = 0; i < capacity && text[i]; ++i)
        wide.push_back(sys::ansiToWide(static_cast<unsigned char>(text[i])));
    return String(wide.c_str());
}

void enumerateResolutions() {
    const UINT modes = direct3D->GetAdapterModeCount(0, D3DFMT_X8R8G8B8);
    resolutions.adjust(0);
    resolutions.reserve(int32_t(modes));
    int32_t count = 0;
    for (UINT i = 0; i < modes; ++i) {
        D3DDISPLAYMODE mode;
        if (FAILED(direct3D->EnumAdapterModes(0, D3DFMT_X8R8G8B8, i, &mode))) continue;
        bool known = false;
        for (int32_t k = 0; k < count && !known; ++k) {
            const Resolution* r = resolutions.get(k);
            known = r->width == int32_t(mode.Width) && r->height == int32_t(mode.Height);
        }
        if (known) continue;
        Resolution* slot = resolutions.get(count);
        if (!slot) break; // logged; the sizes found so far are kept
        *slot = Resolution{int32_t(mode.Width), int32_t(mode.Height)};
        ++count;
    }
    resolutions.adjust(count);
    std::sort(resolutions.items, resolutions.items + count,
              [](const Resolution& a, const Resolution& b) {
                  return a.width != b.width ? a.width < b.width : a.height < b.height;
              });
}

void logAdapterIdentifier() {
    D3DADAPTER_IDENTIFIER9 id;
    if (FAILED(direct3D->GetAdapterIdentifier(0, 0, &id))) return;
    log(u"");
    log(u"Driver:           %s", ansiText(id.Driver, sizeof id.Driver));
    log(u"Description:      %s", ansiText(id.Description, sizeof id.Description));
    log(u"DeviceName:       %s", ansiText(id.DeviceName, sizeof id.DeviceName));
    // %i prints the low 32 bits of the 64-bit version, as it always did.
    log(u"DriverVersion:    %i", id.DriverVersion);
    log(u"VendorId:         %i", id.VendorId);
    log(u"DeviceId:         %i", id.DeviceId);
    log(u"SubSysId:         %i", id.SubSysId);
    log(u"Revision:         %i", id.Revision);
}

bool deviceTypeOk(D3DFORMAT adapter, D3DFORMAT backBuffer) {
    return direct3D->CheckDeviceType(0, D3DDEVTYPE_HAL, adapter, backBuffer, 0) == D3D_OK;
}

bool depthFormatOk(const Device::DeviceSettings& settings, D3DFORMAT candidate) {
    const auto adapter = D3DFORMAT(settings.adapterFormat);
    return SUCCEEDED(direct3D->CheckDeviceFormat(0, D3DDEVTYPE_HAL, adapter, D3DUSAGE_DEPTHSTENCIL,
                                                 D3DRTYPE_SURFACE, candidate)) &&
           SUCCEEDED(direct3D->CheckDepthStencilMatch(
               0, D3DDEVTYPE_HAL, adapter, D3DFORMAT(settings.backBufferFormat), candidate));
}

} // namespace

SleepFunction setSleepFunction(SleepFunction function) {
    SleepFunction previous = std::move(sleepFunction());
    sleepFunction() = std::move(function);
    return previous;
}

Direct3DFactory setDirect3DFactory(Direct3DFactory factory) {
    Direct3DFactory previous = std::move(direct3DFactory());
    direct3DFactory() = std::move(factory);
    return previous;
}

bool sleepFor(uint32_t milliseconds) {
    if (sleepFunction()) {
        sleepFunction()(milliseconds);
        return true;
    }
    // A wait that reads no window events never sees the restore it waits
    // for, nor the close or quit that should end it.
    return win::waitMessages(milliseconds);
}

int32_t init() {
    setReportContext(u"D3D", u"init");
    if (direct3D) {
        log(u"Direct3D still initialized.");
        return 1;
    }
    if (!D3DXCheckVersion(D3D_SDK_VERSION, D3DX_SDK_VERSION)) {
        showMissingDirectX();
        return 0;
    }
    // On Windows the runtime is probed here by loading d3d9.dll from the
    // system directory. Our runtime is linked into the program, so there is
    // no library to look for and nothing to report about one.

    for (int32_t attempt = 0; attempt < 500; ++attempt) {
        direct3D = direct3DFactory() ? direct3DFactory()(D3D_SDK_VERSION)
                                     : Direct3DCreate9(D3D_SDK_VERSION);
        if (!direct3D) {
            showMissingDirectX();
            return 0;
        }
        const HRESULT result = direct3D->GetDeviceCaps(0, D3DDEVTYPE_HAL, &caps);
        if (SUCCEEDED(result)) {
            log(u"GetDeviceCaps: D3D_OK");
            break;
        }
        log(u"[%i] %s", attempt, errorName(result));
        direct3D->Release();
        direct3D = nullptr;
        sleepFor(300);
        log(u"Try again...");
    }
    if (!direct3D) {
        showMissingDirectX();
        return 0;
    }

    enumerateResolutions();
    logAdapterIdentifier();
    floatBlending = SUCCEEDED(direct3D->CheckDeviceFormat(
                        0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8,
                        D3DUSAGE_RENDERTARGET | D3DUSAGE_QUERY_POSTPIXELSHADER_BLENDING,
                        D3DRTYPE_TEXTURE, D3DFMT_A16B16G16R16F))
                        ? 1
                        : 0;
    log(u"Screen resolutions:");
    for (int32_t i = 0; i < resolutions.size(); ++i)
        log(u" %iX%i", resolutions.get(i)->width, resolutions.get(i)->height);
    return 1;
}

void release() {
    if (direct3D) direct3D->Release();
    direct3D = nullptr;
    resolutions.adjust(0);
    // The engine's file layer keeps no list of open files (every stream is
    // closed by its user), so only the language table is left to empty.
    language().clear();
}

String errorName(HRESULT result) {
    struct Name {
        HRESULT result;
        const char16_t* name;
    };
    static const Name names[] = {
        {D3D_OK, u"D3D_OK"},
        {D3DOK_NOAUTOGEN, u"D3DOK_NOAUTOGEN"},
        {S_NOT_RESIDENT, u"S_NOT_RESIDENT"},
        {S_RESIDENT_IN_SHARED_MEMORY, u"S_RESIDENT_IN_SHARED_MEMORY"},
        {S_PRESENT_MODE_CHANGED, u"S_PRESENT_MODE_CHANGED"},
        {S_PRESENT_OCCLUDED, u"S_PRESENT_OCCLUDED"},
        {D3DERR_WRONGTEXTUREFORMAT, u"D3DERR_WRONGTEXTUREFORMAT"},
        {D3DERR_UNSUPPORTEDCOLOROPERATION, u"D3DERR_UNSUPPORTEDCOLOROPERATION"},
        {D3DERR_UNSUPPORTEDCOLORARG, u"D3DERR_UNSUPPORTEDCOLORARG"},
        {D3DERR_UNSUPPORTEDALPHAOPERATION, u"D3DERR_UNSUPPORTEDALPHAOPERATION"},
        {D3DERR_UNSUPPORTEDALPHAARG, u"D3DERR_UNSUPPORTEDALPHAARG"},
        {D3DERR_TOOMANYOPERATIONS, u"D3DERR_TOOMANYOPERATIONS"},
        {D3DERR_CONFLICTINGTEXTUREFILTER, u"D3DERR_CONFLICTINGTEXTUREFILTER"},
        {D3DERR_UNSUPPORTEDFACTORVALUE, u"D3DERR_UNSUPPORTEDFACTORVALUE"},
        {D3DERR_CONFLICTINGRENDERSTATE, u"D3DERR_CONFLICTINGRENDERSTATE"},
        {D3DERR_UNSUPPORTEDTEXTUREFILTER, u"D3DERR_UNSUPPORTEDTEXTUREFILTER"},
        {D3DERR_CONFLICTINGTEXTUREPALETTE, u"D3DERR_CONFLICTINGTEXTUREPALETTE"},
        {D3DERR_DRIVERINTERNALERROR, u"D3DERR_DRIVERINTERNALERROR"},
        {D3DERR_NOTFOUND, u"D3DERR_NOTFOUND"},
        {D3DERR_MOREDATA, u"D3DERR_MOREDATA"},
        {D3DERR_DEVICELOST, u"D3DERR_DEVICELOST"},
        {D3DERR_DEVICENOTRESET, u"D3DERR_DEVICENOTRESET"},
        {D3DERR_NOTAVAILABLE, u"D3DERR_NOTAVAILABLE"},
        {D3DERR_OUTOFVIDEOMEMORY, u"D3DERR_OUTOFVIDEOMEMORY"},
        {D3DERR_INVALIDDEVICE, u"D3DERR_INVALIDDEVICE"},
        {D3DERR_INVALIDCALL, u"D3DERR_INVALIDCALL"},
        {D3DERR_DRIVERINVALIDCALL, u"D3DERR_DRIVERINVALIDCALL"},
        {D3DERR_WASSTILLDRAWING, u"D3DERR_WASSTILLDRAWING"},
        {D3DERR_DEVICEREMOVED, u"D3DERR_DEVICEREMOVED"},
        {D3DERR_DEVICEHUNG, u"D3DERR_DEVICEHUNG"},
        {D3DERR_UNSUPPORTEDOVERLAY, u"D3DERR_UNSUPPORTEDOVERLAY"},
        {D3DERR_UNSUPPORTEDOVERLAYFORMAT, u"D3DERR_UNSUPPORTEDOVERLAYFORMAT"},
        {D3DERR_CANNOTPROTECTCONTENT, u"D3DERR_CANNOTPROTECTCONTENT"},
        {D3DERR_UNSUPPORTEDCRYPTO, u"D3DERR_UNSUPPORTEDCRYPTO"},
        {D3DERR_PRESENT_STATISTICS_DISJOINT, u"D3DERR_PRESENT_STATISTICS_DISJOINT"},
        {D3DXERR_CANNOTMODIFYINDEXBUFFER, u"D3DXERR_CANNOTMODIFYINDEXBUFFER"},
        {D3DXERR_INVALIDMESH, u"D3DXERR_INVALIDMESH"},
        {D3DXERR_CANNOTATTRSORT, u"D3DXERR_CANNOTATTRSORT"},
        {D3DXERR_SKINNINGNOTSUPPORTED, u"D3DXERR_SKINNINGNOTSUPPORTED"},
        {D3DXERR_TOOMANYINFLUENCES, u"D3DXERR_TOOMANYINFLUENCES"},
        {D3DXERR_INVALIDDATA, u"D3DXERR_INVALIDDATA"},
        {D3DXERR_LOADEDMESHASNODATA, u"D3DXERR_LOADEDMESHASNODATA"},
        {D3DXERR_DUPLICATENAMEDFRAGMENT, u"D3DXERR_DUPLICATENAMEDFRAGMENT"},
        {D3DXERR_CANNOTREMOVELASTITEM, u"D3DXERR_CANNOTREMOVELASTITEM"},
    };
    for (const Name& entry : names)
        if (entry.result == result) return String(entry.name);
    return String(u"Unknown Error");
}

String formatName(D3DFORMAT format) {
    switch (format) {
    case D3DFMT_UNKNOWN: return String(u"D3DFMT_UNKNOWN");
    case D3DFMT_R8G8B8: return String(u"D3DFMT_R8G8B8");
    case D3DFMT_A8R8G8B8: return String(u"D3DFMT_A8R8G8B8");
    case D3DFMT_X8R8G8B8: return String(u"D3DFMT_X8R8G8B8");
    case D3DFMT_R5G6B5: return String(u"D3DFMT_R5G6B5");
    case D3DFMT_X1R5G5B5: return String(u"D3DFMT_X1R5G5B5");
    case D3DFMT_A1R5G5B5: return String(u"D3DFMT_A1R5G5B5");
    case D3DFMT_A4R4G4B4: return String(u"D3DFMT_A4R4G4B4");
    case D3DFMT_R3G3B2: return String(u"D3DFMT_R3G3B2");
    case D3DFMT_A8: return String(u"D3DFMT_A8");
    case D3DFMT_A8R3G3B2: return String(u"D3DFMT_A8R3G3B2");
    case D3DFMT_X4R4G4B4: return String(u"D3DFMT_X4R4G4B4");
    case D3DFMT_A2B10G10R10: return String(u"D3DFMT_A2B10G10R10");
    case D3DFMT_A8B8G8R8: return String(u"D3DFMT_A8B8G8R8");
    case D3DFMT_X8B8G8R8: return String(u"D3DFMT_X8B8G8R8");
    case D3DFMT_G16R16: return String(u"D3DFMT_G16R16");
    case D3DFMT_A2R10G10B10: return String(u"D3DFMT_A2R10G10B10");
    case D3DFMT_A16B16G16R16: return String(u"D3DFMT_A16B16G16R16");
    case D3DFMT_D16_LOCKABLE: return String(u"D3DFMT_D16_LOCKABLE");
    case D3DFMT_D32: return String(u"D3DFMT_D32");
    case D3DFMT_D15S1: return String(u"D3DFMT_D15S1");
    case D3DFMT_D24S8: return String(u"D3DFMT_D24S8");
    case D3DFMT_D24X8: return String(u"D3DFMT_D24X8");
    case D3DFMT_D24X4S4: return String(u"D3DFMT_D24X4S4");
    case D3DFMT_D16: return String(u"D3DFMT_D16");
    default: return String(u"Unknown Format");
    }
}

String presentIntervalName(UINT interval) {
    switch (interval) {
    case D3DPRESENT_INTERVAL_DEFAULT: return String(u"D3DPRESENT_INTERVAL_DEFAULT");
    case D3DPRESENT_INTERVAL_ONE: return String(u"D3DPRESENT_INTERVAL_ONE");
    case D3DPRESENT_INTERVAL_TWO: return String(u"D3DPRESENT_INTERVAL_TWO");
    case D3DPRESENT_INTERVAL_THREE: return String(u"D3DPRESENT_INTERVAL_THREE");
    case D3DPRESENT_INTERVAL_FOUR: return String(u"D3DPRESENT_INTERVAL_FOUR");
    case D3DPRESENT_INTERVAL_IMMEDIATE: return String(u"D3DPRESENT_INTERVAL_IMMEDIATE");
    default: return String(u"Unknown Presentation Interval");
    }
}

void logPresentParameters(const D3DPRESENT_PARAMETERS& p) {
    String multiSample;
    if (p.MultiSampleType == D3DMULTISAMPLE_NONE)
        multiSample = u"D3DMULTISAMPLE_NONE";
    else if (p.MultiSampleType == D3DMULTISAMPLE_NONMASKABLE)
        multiSample = u"D3DMULTISAMPLE_NONMASKABLE";
    else
        multiSample.format(u"D3DMULTISAMPLE_%i_SAMPLES", p.MultiSampleType);
    const char16_t* swapEffect = p.SwapEffect == D3DSWAPEFFECT_DISCARD ? u"D3DSWAPEFFECT_DISCARD"
                                 : p.SwapEffect == D3DSWAPEFFECT_FLIP  ? u"D3DSWAPEFFECT_FLIP"
                                 : p.SwapEffect == D3DSWAPEFFECT_COPY  ? u"D3DSWAPEFFECT_COPY"
                                                                       : u"Unknown Swap Effect";

    log(u"- D3DPRESENT_PARAMETERS ----------------------------------");
    // Window handles were 32-bit where this line was laid out; the low half
    // still tells windows apart in a log.
    log(u"| hDeviceWindow              = 0x%08X",
        uint32_t(reinterpret_cast<uintptr_t>(p.hDeviceWindow)));
    log(u"| Windowed                   = %i", p.Windowed);
    log(u"| BackBufferWidth            = %i", p.BackBufferWidth);
    log(u"| BackBufferHeight           = %i", p.BackBufferHeight);
    log(u"| BackBufferFormat           = %s", formatName(p.BackBufferFormat));
    log(u"| AutoDepthStencilFormat     = %s", formatName(p.AutoDepthStencilFormat));
    log(u"| EnableAutoDepthStencil     = %i", p.EnableAutoDepthStencil);
    log(u"| BackBufferCount            = %i", p.BackBufferCount);
    log(u"| MultiSampleType            = %s", multiSample);
    log(u"| MultiSampleQuality         = %i", p.MultiSampleQuality);
    log(u"| SwapEffect                 = %s", swapEffect);
    log(u"| FullScreen_RefreshRateInHz = %i", p.FullScreen_RefreshRateInHz);
    log(u"| PresentationInterval       = %s", presentIntervalName(p.PresentationInterval));
    log(u"| Flags                      = %i", p.Flags);
    log(kRule);
}

D3DFORMAT chooseBackBufferFormat(Device::DeviceSettings& settings, int32_t fullScreen) {
    if (!direct3D) return D3DFORMAT(settings.backBufferFormat);
    if (!fullScreen) {
        D3DDISPLAYMODE mode;
        if (SUCCEEDED(direct3D->GetAdapterDisplayMode(0, &mode))) {
            if (mode.Format == D3DFMT_X8R8G8B8) {
                settings.adapterFormat = D3DFMT_X8R8G8B8;
                settings.backBufferFormat = D3DFMT_A8R8G8B8;
                settings.bits32 = 1;
            } else if (mode.Format == D3DFMT_R5G6B5) {
                settings.adapterFormat = D3DFMT_R5G6B5;
                settings.backBufferFormat = D3DFMT_R5G6B5;
                settings.bits32 = 0;
            }
        }
        return D3DFORMAT(settings.backBufferFormat);
    }

    auto store = [&](D3DFORMAT adapter, D3DFORMAT backBuffer) {
        settings.adapterFormat = adapter;
        settings.backBufferFormat = backBuffer;
    };
    if (settings.bits32) {
        if (deviceTypeOk(D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8))
            store(D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8);
        else if (deviceTypeOk(D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8))
            store(D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8);
    }
    if (settings.backBufferFormat) return D3DFORMAT(settings.backBufferFormat);
    if (deviceTypeOk(D3DFMT_R5G6B5, D3DFMT_R5G6B5))
        store(D3DFMT_R5G6B5, D3DFMT_R5G6B5);
    else if (deviceTypeOk(D3DFMT_X1R5G5B5, D3DFMT_A1R5G5B5))
        store(D3DFMT_X1R5G5B5, D3DFMT_A1R5G5B5);
    else if (deviceTypeOk(D3DFMT_X1R5G5B5, D3DFMT_X1R5G5B5))
        store(D3DFMT_X1R5G5B5, D3DFMT_X1R5G5B5);
    return D3DFORMAT(settings.backBufferFormat);
}

D3DFORMAT chooseDepthStencilFormat(Device::DeviceSettings& settings) {
    if (!direct3D) return D3DFMT_UNKNOWN;
    static const D3DFORMAT deep[] = {D3DFMT_D24S8, D3DFMT_D24X4S4, D3DFMT_D32, D3DFMT_D24X8,
                                     D3DFMT_D16};
    static const D3DFORMAT shallow[] = {D3DFMT_D24S8, D3DFMT_D24X4S4, D3DFMT_D16, D3DFMT_D24X8,
                                        D3DFMT_D32};
    for (D3DFORMAT candidate : settings.bits32 ? deep : shallow)
        if (depthFormatOk(settings, candidate)) return candidate;
    return D3DFMT_UNKNOWN;
}

D3DPRESENT_PARAMETERS buildPresentParameters(Device::DeviceSettings& settings,
                                             const WinShell::Window& window) {
    D3DPRESENT_PARAMETERS p{};
    RECT client;
    GetClientRect(window.handle, &client);
    if (window.fullScreen) {
        const int32_t clientWidth = client.right - client.left;
        const int32_t clientHeight = client.bottom - client.top;
        if (resolutions.size() == 0) {
            // Nothing to choose from: ask for the window's own size and let
            // the device refuse it if the display cannot show it.
            p.BackBufferWidth = UINT(clientWidth);
            p.BackBufferHeight = UINT(clientHeight);
        } else {
            int32_t best = 0;
            int32_t bestDistance = 1024;
            for (int32_t i = 0; i < resolutions.size(); ++i) {
                const Resolution* r = resolutions.get(i);
                const int32_t distance =
                    std::abs(r->height - clientHeight) + std::abs(r->width - clientWidth);
                if (distance < bestDistance) {
                    best = i;
                    bestDistance = distance;
                }
            }
            p.BackBufferWidth = UINT(resolutions.get(best)->width);
            p.BackBufferHeight = UINT(resolutions.get(best)->height);
        }
    }
    p.hDeviceWindow = window.handle;
    p.Windowed = window.fullScreen ? 0 : 1;
    p.BackBufferFormat = chooseBackBufferFormat(settings, window.fullScreen);
    p.AutoDepthStencilFormat = chooseDepthStencilFormat(settings);
    p.EnableAutoDepthStencil = 1;
    p.BackBufferCount = 1;
    p.MultiSampleType = D3DMULTISAMPLE_TYPE(settings.multiSampleType);
    p.MultiSampleQuality = settings.multiSampleQuality;
    p.SwapEffect = D3DSWAPEFFECT_DISCARD;
    p.FullScreen_RefreshRateInHz = 0;
    p.PresentationInterval = !settings.vsync && window.fullScreen ? D3DPRESENT_INTERVAL_IMMEDIATE
                                                                  : D3DPRESENT_INTERVAL_DEFAULT;
    p.Flags = D3DPRESENTFLAG_DISCARD_DEPTHSTENCIL;
    return p;
}

MultiSampleSupport queryMultiSample() {
    MultiSampleSupport support;
    if (!direct3D) return support;
    Device::DeviceSettings& settings = device.settings;
    const D3DFORMAT backBuffer = chooseBackBufferFormat(settings, 0);
    const D3DFORMAT depth = chooseDepthStencilFormat(settings);
    auto passes = [&](D3DFORMAT format, D3DMULTISAMPLE_TYPE type, DWORD* quality) {
        return SUCCEEDED(
            direct3D->CheckDeviceMultiSampleType(0, D3DDEVTYPE_HAL, format, 1, type, quality));
    };
    DWORD quality = 0;
    if (passes(backBuffer, D3DMULTISAMPLE_NONMASKABLE, &quality) &&
        passes(depth, D3DMULTISAMPLE_NONMASKABLE, nullptr)) {
        support.nonMaskable = 1;
        support.nonMaskableQuality = quality;
    }
    for (uint32_t samples = 2; samples <= 16; ++samples) {
        const auto type = D3DMULTISAMPLE_TYPE(samples);
        if (passes(backBuffer, type, nullptr) && passes(depth, type, nullptr)) {
            support.smallest = 2;
            support.largest = samples;
        }
    }
    return support;
}

void chooseMultiSample(Device::DeviceSettings& settings, const MultiSampleSupport& support) {
    settings.multiSampleType = D3DMULTISAMPLE_NONE;
    settings.multiSampleQuality = 0;
    if (support.smallest <= 2 && 2 <= support.largest) {
        settings.multiSampleType = D3DMULTISAMPLE_2_SAMPLES;
    } else if (!support.largest && support.nonMaskable && support.nonMaskableQuality == 2) {
        // An adapter whose only multisampling is non-maskable with two quality
        // levels. Quality 2 would be refused (valid levels are below the
        // count), so this takes the best valid one, 1.
        settings.multiSampleType = D3DMULTISAMPLE_NONMASKABLE;
        settings.multiSampleQuality = support.nonMaskableQuality - 1;
    }
}

void logDeviceLost() {
    setReportContext(u"D3D", u"logDeviceLost");
    if (!currentDevice) {
        log(u"Device is NULL");
        return;
    }
    const HRESULT result = currentDevice->TestCooperativeLevel();
    if (result == D3DERR_DEVICELOST)
        log(u"TestCooperativeLevel result: D3DERR_DEVICELOST");
    else if (result == D3DERR_DEVICENOTRESET)
        log(u"TestCooperativeLevel result: D3DERR_DEVICENOTRESET");
    else if (result == D3DERR_DRIVERINTERNALERROR)
        log(u"TestCooperativeLevel result: D3DERR_DRIVERINTERNALERROR");
    else if (result == D3DERR_INVALIDCALL)
        log(u"TestCooperativeLevel result: D3DERR_INVALIDCALL");
}

} // namespace D3D
