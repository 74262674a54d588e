// SPDX-License-Identifier: MIT
// The Direct3D object of the process: opened once by D3D::init, which checks
// the runtime, reads the capabilities of adapter 0 and its screen resolutions,
// and closed by D3D::release. Also the choices made from it before a device
// exists (formats, multisampling, present parameters) and the names that logs
// give to results, formats and intervals. The runtime factory and the sleeps
// of the retry loops can be replaced, so tests run those loops in no time.
#pragma once

#include <cstdint>
#include <functional>

#include "core/Array.h"
#include "core/String.h"
#include "d3d9/D3D9.h"
#include "render/D3D/Device.h"
#include "render/WinShell/Window.h"

namespace D3D {

struct Resolution {
    int32_t width = 0;
    int32_t height = 0;
};

struct MultiSampleSupport {
    uint32_t nonMaskable = 0;
    uint32_t nonMaskableQuality = 0; // quality levels reported for it
    uint32_t smallest = 0;           // sample counts; 0 when none passes
    uint32_t largest = 0;
};

// Null until init succeeds.
extern IDirect3D9* direct3D;
extern D3DCAPS9 caps;
// Whether A16B16G16R16F render targets can be blended.
extern int32_t floatBlending;
// Distinct display sizes of adapter 0, sorted; size() is their number.
extern DynArray<Resolution> resolutions;

int32_t init();
// Also empties the language table: the engine's text goes with Direct3D.
void release();

String errorName(HRESULT result);
String formatName(D3DFORMAT format);
String presentIntervalName(UINT interval);
void logPresentParameters(const D3DPRESENT_PARAMETERS& parameters);

// Stores the formats it settles on in the settings and returns the stored
// back-buffer format (0 when none suits).
D3DFORMAT chooseBackBufferFormat(Device::DeviceSettings& settings, int32_t fullScreen);
D3DFORMAT chooseDepthStencilFormat(Device::DeviceSettings& settings);
D3DPRESENT_PARAMETERS buildPresentParameters(Device::DeviceSettings& settings,
                                             const WinShell::Window& window);
// For the windowed formats of the global device's settings.
MultiSampleSupport queryMultiSample();
// The tool's multisampling rule, stored into the settings.
void chooseMultiSample(Device::DeviceSettings& settings, const MultiSampleSupport& support);

void logDeviceLost();

// Replaceable waits and runtime; an empty function restores the default
// (a wait that keeps the window layer's messages flowing, Direct3DCreate9).
// Each returns the one it replaces.
using SleepFunction = std::function<void(uint32_t milliseconds)>;
using Direct3DFactory = std::function<IDirect3D9*(UINT sdkVersion)>;
SleepFunction setSleepFunction(SleepFunction function);
Direct3DFactory setDirect3DFactory(Direct3DFactory factory);
// Returns false when the program is ending (the dialog was closed or WM_QUIT
// arrived while it waited): a loop waiting for the device should give up.
bool sleepFor(uint32_t milliseconds);

} // namespace D3D
