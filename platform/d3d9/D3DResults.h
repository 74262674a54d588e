// SPDX-License-Identifier: MIT
// The result codes of Direct3D 9 and D3DX 9 that the engine names, with
// their Windows values, so logs and tests read as they would there.
#pragma once

#include <cstdint>

#include "shared/Results.h"

inline constexpr uint32_t kFacilityD3D = 0x876;
constexpr HRESULT makeD3DError(uint32_t code) {
    return makeHResult(1, kFacilityD3D, code);
}
constexpr HRESULT makeD3DStatus(uint32_t code) {
    return makeHResult(0, kFacilityD3D, code);
}

inline constexpr HRESULT D3D_OK = 0;

inline constexpr HRESULT D3DOK_NOAUTOGEN = makeD3DStatus(2159);
inline constexpr HRESULT S_NOT_RESIDENT = makeD3DStatus(2165);
inline constexpr HRESULT S_RESIDENT_IN_SHARED_MEMORY = makeD3DStatus(2166);
inline constexpr HRESULT S_PRESENT_MODE_CHANGED = makeD3DStatus(2167);
inline constexpr HRESULT S_PRESENT_OCCLUDED = makeD3DStatus(2168);

inline constexpr HRESULT D3DERR_WRONGTEXTUREFORMAT = makeD3DError(2072);
inline constexpr HRESULT D3DERR_UNSUPPORTEDCOLOROPERATION = makeD3DError(2073);
inline constexpr HRESULT D3DERR_UNSUPPORTEDCOLORARG = makeD3DError(2074);
inline constexpr HRESULT D3DERR_UNSUPPORTEDALPHAOPERATION = makeD3DError(2075);
inline constexpr HRESULT D3DERR_UNSUPPORTEDALPHAARG = makeD3DError(2076);
inline constexpr HRESULT D3DERR_TOOMANYOPERATIONS = makeD3DError(2077);
inline constexpr HRESULT D3DERR_CONFLICTINGTEXTUREFILTER = makeD3DError(2078);
inline constexpr HRESULT D3DERR_UNSUPPORTEDFACTORVALUE = makeD3DError(2079);
inline constexpr HRESULT D3DERR_CONFLICTINGRENDERSTATE = makeD3DError(2081);
inline constexpr HRESULT D3DERR_UNSUPPORTEDTEXTUREFILTER = makeD3DError(2082);
inline constexpr HRESULT D3DERR_CONFLICTINGTEXTUREPALETTE = makeD3DError(2086);
inline constexpr HRESULT D3DERR_DRIVERINTERNALERROR = makeD3DError(2087);
inline constexpr HRESULT D3DERR_NOTFOUND = makeD3DError(2150);
inline constexpr HRESULT D3DERR_MOREDATA = makeD3DError(2151);
inline constexpr HRESULT D3DERR_DEVICELOST = makeD3DError(2152);
inline constexpr HRESULT D3DERR_DEVICENOTRESET = makeD3DError(2153);
inline constexpr HRESULT D3DERR_NOTAVAILABLE = makeD3DError(2154);
inline constexpr HRESULT D3DERR_OUTOFVIDEOMEMORY = makeD3DError(380);
inline constexpr HRESULT D3DERR_INVALIDDEVICE = makeD3DError(2155);
inline constexpr HRESULT D3DERR_INVALIDCALL = makeD3DError(2156);
inline constexpr HRESULT D3DERR_DRIVERINVALIDCALL = makeD3DError(2157);
inline constexpr HRESULT D3DERR_WASSTILLDRAWING = makeD3DError(540);
inline constexpr HRESULT D3DERR_DEVICEREMOVED = makeD3DError(2160);
inline constexpr HRESULT D3DERR_DEVICEHUNG = makeD3DError(2164);
inline constexpr HRESULT D3DERR_UNSUPPORTEDOVERLAY = makeD3DError(2171);
inline constexpr HRESULT D3DERR_UNSUPPORTEDOVERLAYFORMAT = makeD3DError(2172);
inline constexpr HRESULT D3DERR_CANNOTPROTECTCONTENT = makeD3DError(2173);
inline constexpr HRESULT D3DERR_UNSUPPORTEDCRYPTO = makeD3DError(2174);
inline constexpr HRESULT D3DERR_PRESENT_STATISTICS_DISJOINT = makeD3DError(2180);

inline constexpr HRESULT D3DXERR_CANNOTMODIFYINDEXBUFFER = makeD3DError(2900);
inline constexpr HRESULT D3DXERR_INVALIDMESH = makeD3DError(2901);
inline constexpr HRESULT D3DXERR_CANNOTATTRSORT = makeD3DError(2902);
inline constexpr HRESULT D3DXERR_SKINNINGNOTSUPPORTED = makeD3DError(2903);
inline constexpr HRESULT D3DXERR_TOOMANYINFLUENCES = makeD3DError(2904);
inline constexpr HRESULT D3DXERR_INVALIDDATA = makeD3DError(2905);
inline constexpr HRESULT D3DXERR_LOADEDMESHASNODATA = makeD3DError(2906);
inline constexpr HRESULT D3DXERR_DUPLICATENAMEDFRAGMENT = makeD3DError(2907);
inline constexpr HRESULT D3DXERR_CANNOTREMOVELASTITEM = makeD3DError(2908);
