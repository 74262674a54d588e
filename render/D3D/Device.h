// SPDX-License-Identifier: MIT
// The one Direct3D device of the process and what hangs off it: the swap
// chains, the chosen formats, the lost flag, the render-texture pool and the
// sprite quad. Other renderer code reaches the device through the global
// current-device pointer, which is null until D3D::Device::init succeeds.
// Main thread only; none of these globals is locked.
#pragma once

#include <cstdint>

#include "core/Array.h"
#include "d3d9/D3D9.h"
#include "render/LinkedList.h"
#include "render/StructTexture.h"
#include "render/TextureProj.h"
#include "render/WinShell/Window.h"

namespace D3D {

// The line that frames each block of the device log.
inline constexpr const char16_t* kRule =
    u"----------------------------------------------------------";

// Releases a COM reference, if any, and forgets it.
template <class T>
void releaseAndClear(T*& object) {
    if (object) object->Release();
    object = nullptr;
}

class SwapChainInterface;
struct RenderTexture;

// The 16-bit indices that createRepeatedIndexBuffer copies.
struct IndexPattern {
    const uint16_t* indices = nullptr;
    int32_t length = 0;
};

class Device {
public:
    class SwapChain;

    struct DeviceSettings {
        uint32_t bits32 = 0;
        uint32_t vsync = 0;
        uint32_t multiSampleType = 0;
        uint32_t multiSampleQuality = 0;
        uint32_t backBufferFormat = 0; // 0: not chosen yet
        uint32_t adapterFormat = 0;
    };

    class TexProjList : public TextureProj::Interface {
    public:
        DynArray<TextureProj*> projectors{0, 8};
        int32_t count = 0;

        void add(TextureProj* projector) override;
        void remove(TextureProj* projector) override;
    };

    uint32_t cullMode = D3DCULL_CCW; // Direct3D's own default
    TexProjList texProjList;
    IDirect3DDevice9* device = nullptr;
    // Owns its swap chains; the first is the primary one.
    LinkedList<SwapChain> swapChains;
    SwapChain* currentSwapChain = nullptr;
    DeviceSettings settings;
    // The application stores 2048 and 64 here; nothing on the tool's
    // rendering path reads them.
    int32_t limits[2] = {};
    int32_t lost = 0;
    // Set while restoreDevice runs. Its waits deliver window messages, and a
    // frame painted from one of them must not start a second restore inside
    // the first.
    bool restoring = false;
    RenderTexture* renderTexture = nullptr;

    Device() = default;
    ~Device();
    Device(const Device&) = delete;
    Device& operator=(const Device&) = delete;

    // The engine's callers pass two more numbers (the tool: 54270 and 1);
    // the device has never read them, so they have no names here.
    int32_t init(const WinShell::Window& window, SwapChainInterface* callbacks, int32_t, int32_t);
    // Releases, resets and rebuilds after a loss; see RestoreDevice.cpp.
    void restoreDevice();

    void setDefaultRenderStates();
    // A pooled render texture; the same width, height, format and key give the
    // same record unless the key is 0xFFFFFFFF. Null when it cannot be made.
    RenderTexture* getRenderTexture(uint32_t width, uint32_t height, D3DFORMAT format, uint32_t key,
                                    int32_t depth, int32_t lock);
    // copies × pattern length indices, copy k offset by k × (largest index + 1).
    IDirect3DIndexBuffer9* createRepeatedIndexBuffer(const IndexPattern& pattern, int32_t copies);
    // A textured rectangle in pixels; a texture size of 0 leaves the half-texel
    // offset out of that direction.
    void drawScreenQuad(float x, float y, float width, float height, float z,
                        uint32_t textureWidth = 0, uint32_t textureHeight = 0);

    SwapChain* firstSwapChain();
    // Destroys every swap chain.
    void clearSwapChains();
    // Everything the device owns, the device last. Process exit and tests.
    void release();

private:
    void buildStateBlocks();
    void releaseStateBlocks();
    void prepareLightIndices();
    void createSpriteQuad();
};

// A pooled render target texture (the pool is a global list).
struct RenderTexture {
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t key = 0;
    D3DFORMAT format = D3DFMT_UNKNOWN;
    int32_t depth = 0;
    StructTexture texture;
    IDirect3DSurface9* surface = nullptr;
    IDirect3DSurface9* depthSurface = nullptr;
    int32_t lock = 0;
    StructTexture lockTexture;
    IDirect3DSurface9* lockSurface = nullptr;

    // The default-pool part; the system-memory copy survives a reset.
    int32_t createDeviceObjects();
    void releaseDeviceObjects();
    ~RenderTexture();
};

extern Device device;
// The device every other renderer part draws with; null while there is none.
extern IDirect3DDevice9* currentDevice;
extern Device::SwapChain* currentSwapChain;

// The render-texture pool, the sprite quad (four XYZ|TEX1 vertices of a unit
// quad for a triangle strip), the shared index buffer of 682 quads, the two
// global state blocks and the free hardware light indices (1 up to the
// device's MaxActiveLights - 1; light 0 belongs to the swap chains).
extern LinkedList<RenderTexture> renderTextures;
extern IDirect3DVertexBuffer9* spriteQuad;
extern IDirect3DIndexBuffer9* quadIndices;
extern IDirect3DStateBlock9* stateBlocks[2];
extern DynArray<int32_t> freeLightIndices;
extern int32_t freeLightCount;

} // namespace D3D

#include "render/D3D/SwapChain.h"
