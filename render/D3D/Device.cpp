// SPDX-License-Identifier: MIT
// Creating the device and the objects made once with it: the primary swap
// chain, the default render states, the render-texture pool, the default
// texture, the state blocks, the free light indices and the sprite quad.
// Creation is retried while the runtime refuses for a passing reason.
#include "render/D3D/Device.h"

#include <cstring>

#include "core/Language.h"
#include "core/Log.h"
#include "core/Report.h"
#include "render/D3D/D3D.h"

namespace D3D {

// Defined before the device so that they are destroyed after it: the
// device's destructor still walks the pool.
IDirect3DDevice9* currentDevice = nullptr;
Device::SwapChain* currentSwapChain = nullptr;
LinkedList<RenderTexture> renderTextures;
IDirect3DVertexBuffer9* spriteQuad = nullptr;
IDirect3DIndexBuffer9* quadIndices = nullptr;
IDirect3DStateBlock9* stateBlocks[2] = {};
DynArray<int32_t> freeLightIndices{0, 8};
int32_t freeLightCount = 0;
Device device;

namespace {

String createFlagNames(DWORD flags) {
    static const struct {
        DWORD flag;
        const char16_t* name;
    } names[] = {
        {D3DCREATE_HARDWARE_VERTEXPROCESSING, u"HARDWARE_VERTEXPROCESSING"},
        {D3DCREATE_PUREDEVICE, u"PUREDEVICE"},
        {D3DCREATE_SOFTWARE_VERTEXPROCESSING, u"SOFTWARE_VERTEXPROCESSING"},
        {D3DCREATE_MULTITHREADED, u"MULTITHREADED"},
    };
    String text(u"");
    for (const auto& entry : names) {
        if (!(flags & entry.flag)) continue;
        if (text.length) text.append(u" |", 2);
        text.append(entry.name, wideLength(entry.name));
    }
    return text;
}

} // namespace

void Device::TexProjList::add(TextureProj* projector) {
    // A refused allocation has been logged; the projector is not kept.
    if (TextureProj** slot = projectors.get(count)) {
        *slot = projector;
        ++count;
    }
}

void Device::TexProjList::remove(TextureProj* projector) {
    for (int32_t i = 0; i < count; ++i) {
        if (*projectors.get(i) != projector) continue;
        for (int32_t k = i + 1; k < count; ++k) *projectors.get(k - 1) = *projectors.get(k);
        --count;
        return;
    }
}

Device::~Device() {
    release();
}

Device::SwapChain* Device::firstSwapChain() {
    return swapChains.head ? swapChains.head->item : nullptr;
}

void Device::clearSwapChains() {
    for (auto* node = swapChains.head; node; node = node->next) delete node->item;
    swapChains.clear();
    currentSwapChain = nullptr;
    D3D::currentSwapChain = nullptr;
}

void Device::release() {
    clearSwapChains();
    for (auto* node = renderTextures.head; node; node = node->next) delete node->item;
    renderTextures.clear();
    renderTexture = nullptr;
    StructTexture::releaseDefaultTexture();
    releaseStateBlocks();
    releaseAndClear(spriteQuad);
    releaseAndClear(quadIndices);
    freeLightIndices.adjust(0);
    freeLightCount = 0;
    if (currentDevice == device) currentDevice = nullptr;
    releaseAndClear(device);
    lost = 0;
}

int32_t Device::init(const WinShell::Window& window, SwapChainInterface* callbacks, int32_t,
                     int32_t) {
    setReportContext(u"D3D::Device", u"init");
    if (!direct3D) {
        log(u"Direct3D was not initialized. Please call first D3D::init()!");
        return 0;
    }
    if (!window.handle) {
        log(u"Window handle is NULL. Please call first D3D::Device::createWindow() or "
            u"D3D::Device::setWindow()!");
        return 0;
    }
    // A second start begins from nothing rather than leaking the first device.
    if (device) release();

    clearSwapChains();
    SwapChain* chain = new SwapChain(callbacks);
    swapChains.append(chain);
    currentSwapChain = chain;
    D3D::currentSwapChain = chain;

    DWORD flags = D3DCREATE_SOFTWARE_VERTEXPROCESSING | D3DCREATE_MULTITHREADED;
    if (caps.DevCaps & D3DDEVCAPS_HWTRANSFORMANDLIGHT) {
        flags = D3DCREATE_HARDWARE_VERTEXPROCESSING | D3DCREATE_MULTITHREADED;
        if (caps.DevCaps & D3DDEVCAPS_PUREDEVICE) flags |= D3DCREATE_PUREDEVICE;
    }

    IDirect3DDevice9* created = nullptr;
    bool succeeded = false;
    for (int32_t attempt = 0; attempt < 100; ++attempt) {
        chain->presentParameters = buildPresentParameters(settings, window);
        logPresentParameters(chain->presentParameters);
        log(u"- Create flags -------------------------------------------");
        log(u"| dwFlags = %s", createFlagNames(flags));
        log(kRule);
        log(u"");
        const HRESULT result =
            direct3D->CreateDevice(0, D3DDEVTYPE_HAL, chain->presentParameters.hDeviceWindow, flags,
                                   &chain->presentParameters, &created);
        log(u"[%i] %s", attempt, errorName(result));
        if (SUCCEEDED(result)) {
            succeeded = true;
            break;
        }
        created = nullptr;
        if (result == E_INVALIDARG) break;
        sleepFor(500);
        log(u"Try again...");
    }
    if (!succeeded) {
        showReport(window.handle, u"Error", u"D3D_Init_Error", MB_ICONEXCLAMATION);
        log(u"%s", language().get(String(u"D3D_Init_Error")));
        return 0;
    }

    device = created;
    currentDevice = created;
    if (device) {
        chain->attachImplicit();
        chain->beginRender();
        setDefaultRenderStates();
        renderTexture = getRenderTexture(256, 256, D3DFMT_A8R8G8B8, 17, 1, 1);
        StructTexture::initDefaultTexture();
        buildStateBlocks();
        prepareLightIndices();
        // The user-interface font cache belongs to modules this tool does not carry.
        if (!spriteQuad) createSpriteQuad();
    }
    return 1;
}

void Device::buildStateBlocks() {
    releaseStateBlocks();
    if (!device) return;
    // What the two blocks are applied for lies with the scene modules; both
    // record the whole state, so whoever applies one gets a consistent device.
    for (IDirect3DStateBlock9*& block : stateBlocks)
        if (FAILED(device->CreateStateBlock(D3DSBT_ALL, &block))) block = nullptr;
}

void Device::releaseStateBlocks() {
    for (IDirect3DStateBlock9*& block : stateBlocks) releaseAndClear(block);
}

void Device::prepareLightIndices() {
    D3DCAPS9 deviceCaps;
    freeLightIndices.adjust(0);
    freeLightCount = 0;
    if (FAILED(device->GetDeviceCaps(&deviceCaps)) || deviceCaps.MaxActiveLights < 2) return;
    for (DWORD index = 1; index < deviceCaps.MaxActiveLights; ++index) {
        int32_t* slot = freeLightIndices.get(freeLightCount);
        if (!slot) break; // logged; fewer lights are handed out
        *slot = int32_t(index);
        ++freeLightCount;
    }
}

void Device::createSpriteQuad() {
    static const float vertices[20] = {
        -0.5f, 0.5f,  0.0f, 0.0f, 0.0f, //
        0.5f,  0.5f,  0.0f, 1.0f, 0.0f, //
        -0.5f, -0.5f, 0.0f, 0.0f, 1.0f, //
        0.5f,  -0.5f, 0.0f, 1.0f, 1.0f,
    };
    if (FAILED(device->CreateVertexBuffer(sizeof vertices, D3DUSAGE_WRITEONLY,
                                          D3DFVF_XYZ | D3DFVF_TEX1, D3DPOOL_MANAGED, &spriteQuad,
                                          nullptr))) {
        spriteQuad = nullptr;
        log(u"The sprite quad could not be created");
        return;
    }
    void* data = nullptr;
    if (SUCCEEDED(spriteQuad->Lock(0, 0, &data, 0))) {
        std::memcpy(data, vertices, sizeof vertices);
        spriteQuad->Unlock();
    }
}

void Device::setDefaultRenderStates() {
    IDirect3DDevice9* d = currentDevice;
    if (!d) {
        log(u"There is no device to set render states on");
        return;
    }
    d->SetRenderState(D3DRS_LIGHTING, 1);
    d->SetRenderState(D3DRS_AMBIENT, 0);
    d->SetRenderState(D3DRS_NORMALIZENORMALS, 0);
    d->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    d->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    d->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
    d->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
    d->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    d->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
    d->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_LINEAR);
    d->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
    d->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
    for (DWORD sampler = 1; sampler <= 3; ++sampler) {
        d->SetSamplerState(sampler, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
        d->SetSamplerState(sampler, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
        d->SetSamplerState(sampler, D3DSAMP_MIPFILTER, D3DTEXF_LINEAR);
    }
    d->SetTextureStageState(3, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    d->SetTextureStageState(3, D3DTSS_COLORARG2, D3DTA_CURRENT);
    d->SetTextureStageState(3, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    d->SetTextureStageState(3, D3DTSS_ALPHAARG2, D3DTA_CURRENT);
    d->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    d->SetRenderState(D3DRS_FOGENABLE, 0);
    d->SetSamplerState(0, D3DSAMP_MAXANISOTROPY, 4);
    d->LightEnable(0, 1);
    if (currentSwapChain) currentSwapChain->setLight();
}

int32_t RenderTexture::createDeviceObjects() {
    if (!texture.create(String(u"Render Texture"), width, height, 1, D3DUSAGE_RENDERTARGET, format,
                        D3DPOOL_DEFAULT))
        return 0;
    if (FAILED(texture.texture()->GetSurfaceLevel(0, &surface))) {
        surface = nullptr;
        return 0;
    }
    if (depth &&
        FAILED(currentDevice->CreateDepthStencilSurface(
            width, height, D3DFMT_D24S8, D3DMULTISAMPLE_NONE, 0, 0, &depthSurface, nullptr))) {
        depthSurface = nullptr;
        return 0;
    }
    return 1;
}

void RenderTexture::releaseDeviceObjects() {
    releaseAndClear(surface);
    releaseAndClear(depthSurface);
    texture.release();
}

RenderTexture::~RenderTexture() {
    releaseDeviceObjects();
    releaseAndClear(lockSurface);
}

RenderTexture* Device::getRenderTexture(uint32_t width, uint32_t height, D3DFORMAT format,
                                        uint32_t key, int32_t depth, int32_t lock) {
    if (key != 0xFFFFFFFFu)
        for (auto* node = renderTextures.head; node; node = node->next) {
            RenderTexture* known = node->item;
            if (known->width == width && known->height == height && known->format == format &&
                known->key == key)
                return known;
        }
    auto* record = new RenderTexture;
    record->width = width;
    record->height = height;
    record->key = key;
    record->format = format;
    record->depth = depth;
    record->lock = lock;
    auto* node = renderTextures.append(record);
    bool made = record->createDeviceObjects();
    if (made && lock)
        made = record->lockTexture.create(String(u"Render Lock Texture"), width, height, 1, 0,
                                          format, D3DPOOL_SYSTEMMEM) &&
               SUCCEEDED(record->lockTexture.texture()->GetSurfaceLevel(0, &record->lockSurface));
    if (made) return record;
    renderTextures.remove(node);
    delete record;
    return nullptr;
}

IDirect3DIndexBuffer9* Device::createRepeatedIndexBuffer(const IndexPattern& pattern,
                                                         int32_t copies) {
    if (!currentDevice) {
        log(u"There is no device to create an index buffer on");
        return nullptr;
    }
    if (!pattern.indices || pattern.length <= 0 || copies <= 0) return nullptr;
    uint32_t largest = 0;
    for (int32_t i = 0; i < pattern.length; ++i)
        if (pattern.indices[i] > largest) largest = pattern.indices[i];
    const UINT count = UINT(copies) * UINT(pattern.length);
    IDirect3DIndexBuffer9* buffer = nullptr;
    if (FAILED(currentDevice->CreateIndexBuffer(count * 2, D3DUSAGE_WRITEONLY, D3DFMT_INDEX16,
                                                D3DPOOL_MANAGED, &buffer, nullptr)))
        return nullptr;
    void* data = nullptr;
    if (FAILED(buffer->Lock(0, 0, &data, 0))) {
        buffer->Release();
        return nullptr;
    }
    auto* out = static_cast<uint16_t*>(data);
    for (int32_t k = 0; k < copies; ++k)
        for (int32_t i = 0; i < pattern.length; ++i)
            *out++ = uint16_t(uint32_t(pattern.indices[i]) + uint32_t(k) * (largest + 1));
    buffer->Unlock();
    return buffer;
}

void Device::drawScreenQuad(float x, float y, float width, float height, float z,
                            uint32_t textureWidth, uint32_t textureHeight) {
    if (!currentDevice) {
        log(u"There is no device to draw with");
        return;
    }
    struct Vertex {
        float x, y, z, rhw, u, v;
    };
    static_assert(sizeof(Vertex) == 24);
    const float du = textureWidth ? 0.5f / float(textureWidth) : 0.0f;
    const float dv = textureHeight ? 0.5f / float(textureHeight) : 0.0f;
    const float left = x - 0.5f, right = x + width - 0.5f;
    const float top = y - 0.5f, bottom = y + height - 0.5f;
    const Vertex quad[4] = {
        {left, top, z, 1.0f, du, dv},
        {right, top, z, 1.0f, 1.0f + du, dv},
        {left, bottom, z, 1.0f, du, 1.0f + dv},
        {right, bottom, z, 1.0f, 1.0f + du, 1.0f + dv},
    };
    currentDevice->SetFVF(D3DFVF_XYZRHW | D3DFVF_TEX1);
    currentDevice->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(Vertex));
}

} // namespace D3D
