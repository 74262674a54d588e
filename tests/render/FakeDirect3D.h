// SPDX-License-Identifier: MIT
// A hand-written Direct3D 9 for the renderer's tests: an IDirect3D9 whose
// adapter answers what a test sets, and a device that records its calls,
// keeps textures and buffers in memory and returns scripted results. Every
// object is owned by one World and Release never frees, so a test can ask
// which objects are still referenced and a release too many is a failure.
#pragma once

#include <cstring>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "d3d9/D3D9.h"
#include "d3d9/D3DX9.h"
#include "d3d9/D3DXBackend.h"

namespace fake {

class World;

struct Tracked {
    std::string kind;
    uint32_t refs = 1;
    virtual ~Tracked() = default;
};

template <class INTERFACE>
class Counted : public INTERFACE, public Tracked {
public:
    uint32_t AddRef() override { return ++refs; }
    uint32_t Release() override {
        if (refs == 0) {
            ADD_FAILURE() << kind << " released once more than it was referenced";
            return 0;
        }
        return --refs;
    }
    ~Counted() override = default;
};

// The next scripted result, or `otherwise` when none is queued.
inline HRESULT next(std::deque<HRESULT>& queue, HRESULT otherwise = D3D_OK) {
    if (queue.empty()) return otherwise;
    const HRESULT result = queue.front();
    queue.pop_front();
    return result;
}

inline UINT bytesPerPixel(D3DFORMAT format) {
    switch (format) {
    case D3DFMT_R8G8B8: return 3;
    case D3DFMT_R5G6B5:
    case D3DFMT_X1R5G5B5:
    case D3DFMT_A1R5G5B5:
    case D3DFMT_A4R4G4B4:
    case D3DFMT_X4R4G4B4:
    case D3DFMT_D16: return 2;
    case D3DFMT_A16B16G16R16F: return 8;
    case D3DFMT_A32B32G32R32F: return 16;
    default: return 4;
    }
}

class Surface : public Counted<IDirect3DSurface9> {
public:
    D3DSURFACE_DESC desc;
    std::vector<uint8_t> pixels;
    int32_t pitch = 0;
    int32_t locks = 0;

    Surface(UINT width, UINT height, D3DFORMAT format, DWORD usage, D3DPOOL pool,
            int32_t padding = 0) {
        kind = "surface";
        desc.Width = width;
        desc.Height = height;
        desc.Format = format;
        desc.Usage = usage;
        desc.Pool = pool;
        pitch = int32_t(width * bytesPerPixel(format)) + padding;
        pixels.assign(size_t(pitch) * height, 0);
    }
    HRESULT GetDevice(IDirect3DDevice9**) override { return D3DERR_INVALIDCALL; }
    D3DRESOURCETYPE GetType() override { return D3DRTYPE_SURFACE; }
    HRESULT GetDesc(D3DSURFACE_DESC* out) override {
        *out = desc;
        return D3D_OK;
    }
    HRESULT LockRect(D3DLOCKED_RECT* locked, const RECT*, DWORD) override {
        if (locks) {
            ADD_FAILURE() << "surface locked twice";
            return D3DERR_INVALIDCALL;
        }
        ++locks;
        locked->Pitch = pitch;
        locked->pBits = pixels.data();
        return D3D_OK;
    }
    HRESULT UnlockRect() override {
        if (!locks) {
            ADD_FAILURE() << "surface unlocked without a lock";
            return D3DERR_INVALIDCALL;
        }
        --locks;
        return D3D_OK;
    }
    uint32_t pixel32(UINT x, UINT y) const {
        uint32_t value;
        std::memcpy(&value, pixels.data() + size_t(y) * size_t(pitch) + size_t(x) * 4, 4);
        return value;
    }
    void setPixel32(UINT x, UINT y, uint32_t value) {
        std::memcpy(pixels.data() + size_t(y) * size_t(pitch) + size_t(x) * 4, &value, 4);
    }
};

class Texture : public Counted<IDirect3DTexture9> {
public:
    std::vector<Surface*> levels; // owned by the World

    HRESULT GetDevice(IDirect3DDevice9**) override { return D3DERR_INVALIDCALL; }
    D3DRESOURCETYPE GetType() override { return D3DRTYPE_TEXTURE; }
    DWORD GetLevelCount() override { return DWORD(levels.size()); }
    HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) override {
        if (level >= levels.size()) return D3DERR_INVALIDCALL;
        *desc = levels[level]->desc;
        desc->Type = D3DRTYPE_TEXTURE;
        return D3D_OK;
    }
    HRESULT GetSurfaceLevel(UINT level, IDirect3DSurface9** surface) override {
        if (level >= levels.size()) return D3DERR_INVALIDCALL;
        levels[level]->AddRef();
        *surface = levels[level];
        return D3D_OK;
    }
    HRESULT LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) override {
        if (level >= levels.size()) return D3DERR_INVALIDCALL;
        return levels[level]->LockRect(locked, rect, flags);
    }
    HRESULT UnlockRect(UINT level) override {
        if (level >= levels.size()) return D3DERR_INVALIDCALL;
        return levels[level]->UnlockRect();
    }
};

class CubeTexture : public Counted<IDirect3DCubeTexture9> {
public:
    UINT edge = 0;
    D3DFORMAT format = D3DFMT_UNKNOWN;
    HRESULT GetDevice(IDirect3DDevice9**) override { return D3DERR_INVALIDCALL; }
    D3DRESOURCETYPE GetType() override { return D3DRTYPE_CUBETEXTURE; }
    DWORD GetLevelCount() override { return 1; }
    HRESULT GetLevelDesc(UINT, D3DSURFACE_DESC* desc) override {
        desc->Width = desc->Height = edge;
        desc->Format = format;
        return D3D_OK;
    }
    HRESULT GetCubeMapSurface(D3DCUBEMAP_FACES, UINT, IDirect3DSurface9**) override {
        return D3DERR_INVALIDCALL;
    }
    HRESULT LockRect(D3DCUBEMAP_FACES, UINT, D3DLOCKED_RECT*, const RECT*, DWORD) override {
        return D3DERR_INVALIDCALL;
    }
    HRESULT UnlockRect(D3DCUBEMAP_FACES, UINT) override { return D3DERR_INVALIDCALL; }
};

template <class INTERFACE, class DESC>
class Buffer : public Counted<INTERFACE> {
public:
    std::vector<uint8_t> bytes;
    DESC desc;
    HRESULT GetDevice(IDirect3DDevice9**) override { return D3DERR_INVALIDCALL; }
    D3DRESOURCETYPE GetType() override { return desc.Type; }
    HRESULT Lock(UINT offset, UINT, void** data, DWORD) override {
        *data = bytes.data() + offset;
        return D3D_OK;
    }
    HRESULT Unlock() override { return D3D_OK; }
    HRESULT GetDesc(DESC* out) override {
        *out = desc;
        return D3D_OK;
    }
};
using VertexBuffer = Buffer<IDirect3DVertexBuffer9, D3DVERTEXBUFFER_DESC>;
using IndexBuffer = Buffer<IDirect3DIndexBuffer9, D3DINDEXBUFFER_DESC>;

class StateBlock : public Counted<IDirect3DStateBlock9> {
public:
    HRESULT Capture() override { return D3D_OK; }
    HRESULT Apply() override { return D3D_OK; }
};

class SwapChain : public Counted<IDirect3DSwapChain9> {
public:
    World* world = nullptr;
    Surface* backBuffer = nullptr;
    D3DPRESENT_PARAMETERS parameters;
    std::deque<HRESULT> presentResults;

    HRESULT Present(const RECT*, const RECT*, HWND, const void*, DWORD) override;
    HRESULT GetBackBuffer(UINT index, D3DBACKBUFFER_TYPE, IDirect3DSurface9** surface) override {
        if (index != 0 || !backBuffer) return D3DERR_INVALIDCALL;
        backBuffer->AddRef();
        *surface = backBuffer;
        return D3D_OK;
    }
    HRESULT GetPresentParameters(D3DPRESENT_PARAMETERS* out) override {
        *out = parameters;
        return D3D_OK;
    }
};

class Device : public Counted<IDirect3DDevice9> {
public:
    World& world;
    std::vector<std::string>& calls; // the World's call log
    D3DCAPS9 caps;
    std::deque<HRESULT> cooperativeResults; // TestCooperativeLevel, else D3D_OK
    std::deque<HRESULT> resetResults;       // Reset, else D3D_OK
    // A driver may settle on a back-buffer size of its own in Reset.
    UINT resetWidth = 0, resetHeight = 0;
    std::deque<HRESULT> createTextureResults;
    std::vector<D3DPRESENT_PARAMETERS> resets;
    SwapChain* implicit = nullptr;
    Surface* depth = nullptr;
    std::vector<Texture*> textures;
    uint32_t renderStates[kRenderStateCount] = {};
    D3DLIGHT9 light0;
    D3DMATRIX transforms[3];
    // Every SetRenderState, SetTextureStageState, SetSamplerState and
    // LightEnable in order, e.g. "RS 137 1", "TSS 0 4 2", "SS 1 5 2", "LE 0 1".
    std::vector<std::string> stateCalls;

    Device(World& world, std::vector<std::string>& calls);

    // Makes the implicit swap chain and depth surface for these parameters.
    void adopt(D3DPRESENT_PARAMETERS* parameters);
    bool defaultPoolHeld() const;

    HRESULT TestCooperativeLevel() override;
    HRESULT Reset(D3DPRESENT_PARAMETERS* parameters) override;
    HRESULT GetDeviceCaps(D3DCAPS9* out) override {
        *out = caps;
        return D3D_OK;
    }
    HRESULT GetSwapChain(UINT index, IDirect3DSwapChain9** swapChain) override;
    HRESULT CreateAdditionalSwapChain(D3DPRESENT_PARAMETERS* parameters,
                                      IDirect3DSwapChain9** swapChain) override;
    HRESULT GetBackBuffer(UINT, UINT, D3DBACKBUFFER_TYPE, IDirect3DSurface9**) override {
        return D3DERR_INVALIDCALL;
    }
    HRESULT CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                          D3DPOOL pool, IDirect3DTexture9** texture, HANDLE* shared) override;
    HRESULT CreateCubeTexture(UINT edge, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                              IDirect3DCubeTexture9** texture, HANDLE* shared) override;
    HRESULT CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                               IDirect3DVertexBuffer9** buffer, HANDLE* shared) override;
    HRESULT CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                              IDirect3DIndexBuffer9** buffer, HANDLE* shared) override;
    HRESULT CreateDepthStencilSurface(UINT width, UINT height, D3DFORMAT format,
                                      D3DMULTISAMPLE_TYPE, DWORD, BOOL, IDirect3DSurface9** surface,
                                      HANDLE*) override;
    HRESULT CreateRenderTarget(UINT width, UINT height, D3DFORMAT format, D3DMULTISAMPLE_TYPE,
                               DWORD, BOOL, IDirect3DSurface9** surface, HANDLE*) override;
    HRESULT SetRenderTarget(DWORD index, IDirect3DSurface9* surface) override;
    HRESULT GetRenderTarget(DWORD, IDirect3DSurface9**) override { return D3DERR_INVALIDCALL; }
    HRESULT SetDepthStencilSurface(IDirect3DSurface9* surface) override;
    HRESULT GetDepthStencilSurface(IDirect3DSurface9** surface) override {
        if (!depth) return D3DERR_NOTFOUND;
        depth->AddRef();
        *surface = depth;
        return D3D_OK;
    }
    HRESULT BeginScene() override { return D3D_OK; }
    HRESULT EndScene() override { return D3D_OK; }
    HRESULT Clear(DWORD, const RECT*, DWORD, D3DCOLOR, float, DWORD) override { return D3D_OK; }
    HRESULT SetViewport(const D3DVIEWPORT9*) override { return D3D_OK; }
    HRESULT GetViewport(D3DVIEWPORT9*) override { return D3D_OK; }
    HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) override {
        if (state == D3DTS_VIEW || state == D3DTS_PROJECTION)
            transforms[state - D3DTS_VIEW] = *matrix;
        return D3D_OK;
    }
    HRESULT GetTransform(D3DTRANSFORMSTATETYPE, D3DMATRIX*) override { return D3D_OK; }
    HRESULT SetMaterial(const D3DMATERIAL9*) override { return D3D_OK; }
    HRESULT GetMaterial(D3DMATERIAL9*) override { return D3D_OK; }
    HRESULT SetLight(DWORD index, const D3DLIGHT9* light) override {
        if (index == 0) light0 = *light;
        return D3D_OK;
    }
    HRESULT GetLight(DWORD, D3DLIGHT9*) override { return D3D_OK; }
    HRESULT LightEnable(DWORD index, BOOL enable) override {
        stateCalls.push_back("LE " + std::to_string(index) + " " + std::to_string(enable));
        return D3D_OK;
    }
    HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override {
        if (state < kRenderStateCount) renderStates[state] = value;
        stateCalls.push_back("RS " + std::to_string(state) + " " + std::to_string(value));
        return D3D_OK;
    }
    HRESULT GetRenderState(D3DRENDERSTATETYPE, DWORD*) override { return D3D_OK; }
    HRESULT CreateStateBlock(D3DSTATEBLOCKTYPE, IDirect3DStateBlock9** block) override;
    HRESULT BeginStateBlock() override { return D3D_OK; }
    HRESULT EndStateBlock(IDirect3DStateBlock9**) override { return D3DERR_INVALIDCALL; }
    HRESULT SetTexture(DWORD, IDirect3DBaseTexture9*) override { return D3D_OK; }
    HRESULT GetTexture(DWORD, IDirect3DBaseTexture9**) override { return D3DERR_INVALIDCALL; }
    HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) override {
        stateCalls.push_back("TSS " + std::to_string(stage) + " " + std::to_string(type) + " " +
                             std::to_string(value));
        return D3D_OK;
    }
    HRESULT GetTextureStageState(DWORD, D3DTEXTURESTAGESTATETYPE, DWORD*) override {
        return D3D_OK;
    }
    HRESULT SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) override {
        stateCalls.push_back("SS " + std::to_string(sampler) + " " + std::to_string(type) + " " +
                             std::to_string(value));
        return D3D_OK;
    }
    HRESULT GetSamplerState(DWORD, D3DSAMPLERSTATETYPE, DWORD*) override { return D3D_OK; }
    HRESULT SetFVF(DWORD) override { return D3D_OK; }
    HRESULT GetFVF(DWORD*) override { return D3D_OK; }
    HRESULT SetStreamSource(UINT, IDirect3DVertexBuffer9*, UINT, UINT) override { return D3D_OK; }
    HRESULT SetIndices(IDirect3DIndexBuffer9*) override { return D3D_OK; }
    HRESULT DrawPrimitive(D3DPRIMITIVETYPE, UINT, UINT) override { return D3D_OK; }
    HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE, int32_t, UINT, UINT, UINT, UINT) override {
        return D3D_OK;
    }
    HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE, UINT primitiveCount, const void* vertices,
                            UINT stride) override;
    HRESULT DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE, UINT, UINT, UINT, const void*, D3DFORMAT,
                                   const void*, UINT) override {
        return D3D_OK;
    }
};

class Direct3D : public Counted<IDirect3D9> {
public:
    World& world;
    std::vector<std::string>& calls;
    std::vector<D3DDISPLAYMODE> modes;
    D3DFORMAT desktopFormat = D3DFMT_X8R8G8B8;
    D3DCAPS9 caps;
    D3DADAPTER_IDENTIFIER9 identifier;
    std::deque<HRESULT> capsResults;         // GetDeviceCaps, else D3D_OK
    std::deque<HRESULT> createDeviceResults; // CreateDevice, else D3D_OK
    // CheckDeviceType(adapter format, back-buffer format): D3D_OK when true.
    std::function<bool(D3DFORMAT, D3DFORMAT)> deviceTypeOk = [](D3DFORMAT, D3DFORMAT) {
        return true;
    };
    std::function<bool(D3DFORMAT)> depthFormatOk = [](D3DFORMAT) { return true; };
    // CheckDeviceMultiSampleType(surface format, type, levels out).
    std::function<HRESULT(D3DFORMAT, D3DMULTISAMPLE_TYPE, DWORD*)> multiSample =
        [](D3DFORMAT, D3DMULTISAMPLE_TYPE, DWORD*) { return D3DERR_NOTAVAILABLE; };
    Device* device = nullptr; // handed out by a successful CreateDevice
    int32_t createDeviceCalls = 0;
    DWORD lastBehaviorFlags = 0;

    Direct3D(World& world, std::vector<std::string>& calls) : world(world), calls(calls) {
        kind = "Direct3D";
    }

    UINT GetAdapterCount() override { return 1; }
    HRESULT GetAdapterIdentifier(UINT, DWORD, D3DADAPTER_IDENTIFIER9* out) override {
        *out = identifier;
        return D3D_OK;
    }
    UINT GetAdapterModeCount(UINT, D3DFORMAT format) override {
        return format == D3DFMT_X8R8G8B8 ? UINT(modes.size()) : 0;
    }
    HRESULT EnumAdapterModes(UINT, D3DFORMAT, UINT mode, D3DDISPLAYMODE* out) override {
        if (mode >= modes.size()) return D3DERR_INVALIDCALL;
        *out = modes[mode];
        return D3D_OK;
    }
    HRESULT GetAdapterDisplayMode(UINT, D3DDISPLAYMODE* out) override {
        out->Width = 1920;
        out->Height = 1080;
        out->Format = desktopFormat;
        return D3D_OK;
    }
    HRESULT CheckDeviceType(UINT, D3DDEVTYPE, D3DFORMAT adapter, D3DFORMAT backBuffer,
                            BOOL) override {
        return deviceTypeOk(adapter, backBuffer) ? D3D_OK : D3DERR_NOTAVAILABLE;
    }
    // Depth checks against an adapter format never chosen fail, as they do
    // for D3DFMT_UNKNOWN on the runtime.
    HRESULT CheckDeviceFormat(UINT, D3DDEVTYPE, D3DFORMAT adapter, DWORD usage, D3DRESOURCETYPE,
                              D3DFORMAT format) override {
        if (usage & D3DUSAGE_DEPTHSTENCIL)
            return adapter && depthFormatOk(format) ? D3D_OK : D3DERR_NOTAVAILABLE;
        return D3D_OK;
    }
    HRESULT CheckDeviceMultiSampleType(UINT, D3DDEVTYPE, D3DFORMAT format, BOOL,
                                       D3DMULTISAMPLE_TYPE type, DWORD* levels) override {
        return multiSample(format, type, levels);
    }
    HRESULT CheckDepthStencilMatch(UINT, D3DDEVTYPE, D3DFORMAT adapter, D3DFORMAT,
                                   D3DFORMAT depthFormat) override {
        return adapter && depthFormatOk(depthFormat) ? D3D_OK : D3DERR_NOTAVAILABLE;
    }
    HRESULT GetDeviceCaps(UINT, D3DDEVTYPE, D3DCAPS9* out) override {
        calls.push_back("GetDeviceCaps");
        const HRESULT result = next(capsResults);
        if (SUCCEEDED(result)) *out = caps;
        return result;
    }
    HRESULT CreateDevice(UINT, D3DDEVTYPE, HWND focus, DWORD flags,
                         D3DPRESENT_PARAMETERS* parameters, IDirect3DDevice9** out) override;
};

// Owns every fake object of a test and the log of the calls they saw.
class World {
public:
    std::vector<std::unique_ptr<Tracked>> objects;
    std::vector<std::string> calls;

    template <class T, class... Args>
    T* make(Args&&... args) {
        auto object = std::make_unique<T>(std::forward<Args>(args)...);
        T* raw = object.get();
        objects.push_back(std::move(object));
        return raw;
    }

    Direct3D* direct3D();
    Surface* surface(UINT width, UINT height, D3DFORMAT format, DWORD usage = 0,
                     D3DPOOL pool = D3DPOOL_DEFAULT);
    Texture* texture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                     D3DPOOL pool);

    // Objects somebody still holds a reference to, by kind.
    std::vector<std::string> referenced() const {
        std::vector<std::string> kinds;
        for (const auto& object : objects)
            if (object->refs) kinds.push_back(object->kind);
        return kinds;
    }
    int32_t count(const std::string& call) const {
        int32_t n = 0;
        for (const auto& c : calls) n += c == call;
        return n;
    }
};

// What the D3DX stand-ins of these tests read and decode. Images in memory
// are "FAKEIMG" + width, height, format (little-endian 32-bit each) + rows
// of 32-bit pixels; named files are looked up in `files` and hold the same.
// A D3DX for the fake device, installed as the runtime's D3DX backend: it
// decodes a "FAKEIMG" format of its own into the fake device's textures,
// finds files among those a test lists, and counts what it was asked.
class D3DX final : public D3DXBackend {
public:
    bool versionOk = true;
    std::vector<std::pair<std::u16string, std::vector<uint8_t>>> files;
    int32_t fileLoads = 0;
    int32_t memoryLoads = 0;
    int32_t saves = 0;
    UINT lastMipLevels = 0;
    D3DFORMAT lastFormat = D3DFMT_UNKNOWN;
    D3DCOLOR lastColorKey = 0;

    static std::vector<uint8_t> image(UINT width, UINT height, D3DFORMAT format,
                                      const std::vector<uint32_t>& pixels);

    BOOL checkVersion(UINT, UINT) override { return versionOk ? 1 : 0; }
    HRESULT createTextureFromFileInMemoryEx(IDirect3DDevice9* device, const void* data, UINT size,
                                            UINT width, UINT height, UINT mipLevels, DWORD usage,
                                            D3DFORMAT format, D3DPOOL pool, DWORD filter,
                                            DWORD mipFilter, D3DCOLOR colorKey,
                                            D3DXIMAGE_INFO* sourceInfo, void* palette,
                                            IDirect3DTexture9** texture) override;
    HRESULT createTextureFromFileExW(IDirect3DDevice9* device, const char16_t* fileName, UINT width,
                                     UINT height, UINT mipLevels, DWORD usage, D3DFORMAT format,
                                     D3DPOOL pool, DWORD filter, DWORD mipFilter, D3DCOLOR colorKey,
                                     D3DXIMAGE_INFO* sourceInfo, void* palette,
                                     IDirect3DTexture9** texture) override;
    HRESULT saveTextureToFileInMemory(ID3DXBuffer** destination, D3DXIMAGE_FILEFORMAT format,
                                      IDirect3DBaseTexture9* texture, const void* palette) override;
};

} // namespace fake
