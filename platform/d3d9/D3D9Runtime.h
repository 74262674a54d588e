// SPDX-License-Identifier: MIT
// What the Direct3D 9 stand-in offers beyond the Windows interfaces: the
// switch to a device without OpenGL, and hooks that let tests drive device
// loss and failing calls without a real driver fault. Its log lines go
// through the stand-ins' log (shared/StandInLog.h), marked "d3d9: ".
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "d3d9/D3D9.h"

namespace d3d9 {

// With true, Direct3DCreate9 hands out an adapter that never touches OpenGL:
// resources live in CPU memory, locks work, draws and clears go nowhere and
// Present succeeds. The same happens on its own when no OpenGL 3.3 context
// can be made. Read at Direct3DCreate9.
void setHeadlessCpuOnly(bool cpuOnly);
bool headlessCpuOnly();

} // namespace d3d9

namespace d3d9::test {

// The device reports loss as a minimised window or a driver reset would:
// Present answers D3DERR_DEVICELOST and TestCooperativeLevel walks
// DEVICELOST -> DEVICENOTRESET (once the window is usable) -> D3D_OK after Reset.
void forceDeviceLoss(IDirect3DDevice9* device);

// Calls whose results a test may script. Each call takes the next queued
// result: a failure code is returned without doing anything, a success code
// lets the real call run. An empty queue means the real call.
enum class Call { CreateDevice, GetDeviceCaps, Reset, TestCooperativeLevel };
void scriptResults(Call call, std::vector<HRESULT> results);
void clearScriptedResults();

// Whether the device draws with OpenGL (false for the CPU-only device).
bool usesOpenGL(IDirect3DDevice9* device);

// The OpenGL name of the texture a swap chain last handed to its window, or 0.
unsigned presentedTexture(IDirect3DSwapChain9* swapChain);

} // namespace d3d9::test
