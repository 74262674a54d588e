// SPDX-License-Identifier: MIT
// The COM result type and the general codes every stand-in answers with,
// with their Windows values. Each stand-in adds the codes of its own
// facility (d3d9/D3DResults.h, dinput/DInput.h) on top of these.
#pragma once

#include <cstdint>

using HRESULT = int32_t;

constexpr HRESULT makeHResult(uint32_t severity, uint32_t facility, uint32_t code) {
    return HRESULT(severity << 31 | facility << 16 | code);
}
constexpr bool SUCCEEDED(HRESULT hr) {
    return hr >= 0;
}
constexpr bool FAILED(HRESULT hr) {
    return hr < 0;
}

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_FAIL = HRESULT(0x80004005u);
inline constexpr HRESULT E_INVALIDARG = HRESULT(0x80070057u);
inline constexpr HRESULT E_OUTOFMEMORY = HRESULT(0x8007000Eu);
inline constexpr HRESULT E_NOTIMPL = HRESULT(0x80004001u);
