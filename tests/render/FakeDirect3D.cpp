// SPDX-License-Identifier: MIT
// The fake Direct3D's device side, and its D3DX: a small made-up image
// format, so a test writes its pictures pixel by pixel.
#include "render/FakeDirect3D.h"

#include "win/Win.h"

namespace fake {

HRESULT SwapChain::Present(const RECT*, const RECT*, HWND, const void*, DWORD) {
    world->calls.push_back("Present");
    return next(presentResults);
}

Device::Device(World& world, std::vector<std::string>& calls) : world(world), calls(calls) {
    kind = "device";
    caps.MaxActiveLights = 8;
    for (auto& m : transforms) m = D3DMATRIX{};
}

void Device::adopt(D3DPRESENT_PARAMETERS* parameters) {
    // A windowed 0 × 0 request takes the window's client area.
    if (parameters->Windowed && !parameters->BackBufferWidth && !parameters->BackBufferHeight) {
        RECT client;
        GetClientRect(parameters->hDeviceWindow, &client);
        parameters->BackBufferWidth = UINT(client.right);
        parameters->BackBufferHeight = UINT(client.bottom);
    }
    implicit = world.make<SwapChain>();
    implicit->kind = "implicit swap chain";
    implicit->world = &world;
    implicit->parameters = *parameters;
    implicit->backBuffer = world.surface(parameters->BackBufferWidth, parameters->BackBufferHeight,
                                         parameters->BackBufferFormat, D3DUSAGE_RENDERTARGET);
    implicit->backBuffer->kind = "back buffer";
    depth = world.surface(parameters->BackBufferWidth, parameters->BackBufferHeight,
                          parameters->AutoDepthStencilFormat, D3DUSAGE_DEPTHSTENCIL);
    depth->kind = "depth surface";
    // The device owns these; only what GetSwapChain and friends hand out counts.
    implicit->refs = implicit->backBuffer->refs = depth->refs = 0;
}

HRESULT Device::TestCooperativeLevel() {
    calls.push_back("TestCooperativeLevel");
    return next(cooperativeResults);
}

// Like the runtime, a reset fails while default-pool objects are referenced.
bool Device::defaultPoolHeld() const {
    for (const auto& object : world.objects) {
        if (!object->refs || object.get() == this) continue;
        D3DPOOL pool = D3DPOOL_DEFAULT;
        if (auto* surface = dynamic_cast<const Surface*>(object.get()))
            pool = surface->desc.Pool;
        else if (auto* texture = dynamic_cast<const Texture*>(object.get()))
            pool = texture->levels[0]->desc.Pool;
        else if (auto* vertices = dynamic_cast<const VertexBuffer*>(object.get()))
            pool = vertices->desc.Pool;
        else if (auto* indices = dynamic_cast<const IndexBuffer*>(object.get()))
            pool = indices->desc.Pool;
        else if (dynamic_cast<const Direct3D*>(object.get()))
            continue;
        if (pool == D3DPOOL_DEFAULT) {
            ADD_FAILURE() << "Reset while a default-pool " << object->kind << " is referenced";
            return true;
        }
    }
    return false;
}

HRESULT Device::Reset(D3DPRESENT_PARAMETERS* parameters) {
    calls.push_back("Reset");
    const HRESULT result = next(resetResults);
    resets.push_back(*parameters);
    if (result != D3D_OK) return result;
    if (defaultPoolHeld()) return D3DERR_INVALIDCALL;
    if (resetWidth && resetHeight) {
        parameters->BackBufferWidth = resetWidth;
        parameters->BackBufferHeight = resetHeight;
    }
    adopt(parameters);
    return D3D_OK;
}

HRESULT Device::GetSwapChain(UINT index, IDirect3DSwapChain9** swapChain) {
    if (index != 0 || !implicit) return D3DERR_INVALIDCALL;
    implicit->AddRef();
    *swapChain = implicit;
    return D3D_OK;
}

HRESULT Device::CreateAdditionalSwapChain(D3DPRESENT_PARAMETERS* parameters,
                                          IDirect3DSwapChain9** out) {
    auto* chain = world.make<SwapChain>();
    chain->kind = "additional swap chain";
    chain->world = &world;
    chain->parameters = *parameters;
    chain->backBuffer = world.surface(parameters->BackBufferWidth, parameters->BackBufferHeight,
                                      parameters->BackBufferFormat, D3DUSAGE_RENDERTARGET);
    chain->backBuffer->refs = 0; // lives as long as the swap chain, held by nobody
    *out = chain;
    return D3D_OK;
}

HRESULT Device::CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                              D3DPOOL pool, IDirect3DTexture9** out, HANDLE*) {
    calls.push_back("CreateTexture");
    const HRESULT result = next(createTextureResults);
    if (FAILED(result)) return result;
    Texture* texture = world.texture(width, height, levels, usage, format, pool);
    textures.push_back(texture);
    *out = texture;
    return result;
}

HRESULT Device::CreateCubeTexture(UINT edge, UINT, DWORD, D3DFORMAT format, D3DPOOL,
                                  IDirect3DCubeTexture9** out, HANDLE*) {
    calls.push_back("CreateCubeTexture");
    auto* cube = world.make<CubeTexture>();
    cube->kind = "cube texture";
    cube->edge = edge;
    cube->format = format;
    *out = cube;
    return D3D_OK;
}

HRESULT Device::CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                                   IDirect3DVertexBuffer9** out, HANDLE*) {
    calls.push_back("CreateVertexBuffer");
    auto* buffer = world.make<VertexBuffer>();
    buffer->kind = "vertex buffer";
    buffer->bytes.assign(length, 0);
    buffer->desc.Usage = usage;
    buffer->desc.FVF = fvf;
    buffer->desc.Pool = pool;
    buffer->desc.Size = length;
    *out = buffer;
    return D3D_OK;
}

HRESULT Device::CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                  IDirect3DIndexBuffer9** out, HANDLE*) {
    calls.push_back("CreateIndexBuffer");
    auto* buffer = world.make<IndexBuffer>();
    buffer->kind = "index buffer";
    buffer->bytes.assign(length, 0);
    buffer->desc.Usage = usage;
    buffer->desc.Format = format;
    buffer->desc.Pool = pool;
    buffer->desc.Size = length;
    *out = buffer;
    return D3D_OK;
}

HRESULT Device::CreateDepthStencilSurface(UINT width, UINT height, D3DFORMAT format,
                                          D3DMULTISAMPLE_TYPE, DWORD, BOOL, IDirect3DSurface9** out,
                                          HANDLE*) {
    calls.push_back("CreateDepthStencilSurface");
    Surface* surface = world.surface(width, height, format, D3DUSAGE_DEPTHSTENCIL);
    surface->kind = "depth stencil";
    *out = surface;
    return D3D_OK;
}

HRESULT Device::CreateRenderTarget(UINT width, UINT height, D3DFORMAT format, D3DMULTISAMPLE_TYPE,
                                   DWORD, BOOL, IDirect3DSurface9** out, HANDLE*) {
    Surface* surface = world.surface(width, height, format, D3DUSAGE_RENDERTARGET);
    surface->kind = "render target";
    *out = surface;
    return D3D_OK;
}

HRESULT Device::SetRenderTarget(DWORD index, IDirect3DSurface9* surface) {
    calls.push_back("SetRenderTarget " + std::to_string(index) + (surface ? "" : " null"));
    return D3D_OK;
}

HRESULT Device::SetDepthStencilSurface(IDirect3DSurface9* surface) {
    calls.push_back(std::string("SetDepthStencilSurface") + (surface ? "" : " null"));
    return D3D_OK;
}

HRESULT Device::CreateStateBlock(D3DSTATEBLOCKTYPE, IDirect3DStateBlock9** out) {
    calls.push_back("CreateStateBlock");
    auto* block = world.make<StateBlock>();
    block->kind = "state block";
    *out = block;
    return D3D_OK;
}

HRESULT Device::DrawPrimitiveUP(D3DPRIMITIVETYPE, UINT primitiveCount, const void*, UINT) {
    calls.push_back("DrawPrimitiveUP " + std::to_string(primitiveCount));
    return D3D_OK;
}

HRESULT Direct3D::CreateDevice(UINT, D3DDEVTYPE, HWND, DWORD flags,
                               D3DPRESENT_PARAMETERS* parameters, IDirect3DDevice9** out) {
    ++createDeviceCalls;
    lastBehaviorFlags = flags;
    calls.push_back("CreateDevice");
    const HRESULT result = next(createDeviceResults);
    if (FAILED(result)) return result;
    // No depth format could be chosen for an auto depth buffer.
    if (parameters->EnableAutoDepthStencil && !parameters->AutoDepthStencilFormat)
        return D3DERR_INVALIDCALL;
    if (!device) device = world.make<Device>(world, calls);
    device->adopt(parameters);
    *out = device;
    return result;
}

Direct3D* World::direct3D() {
    return make<Direct3D>(*this, calls);
}

Surface* World::surface(UINT width, UINT height, D3DFORMAT format, DWORD usage, D3DPOOL pool) {
    return make<Surface>(width, height, format, usage, pool);
}

Texture* World::texture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                        D3DPOOL pool) {
    auto* texture = make<Texture>();
    texture->kind = "texture";
    if (levels == 0) {
        levels = 1;
        for (UINT w = width, h = height; w > 1 || h > 1;
             w = w > 1 ? w / 2 : 1, h = h > 1 ? h / 2 : 1)
            ++levels;
    }
    for (UINT i = 0, w = width, h = height; i < levels; ++i) {
        Surface* level = surface(w, h, format, usage, pool);
        level->kind = "texture level";
        level->refs = 0; // part of the texture; GetSurfaceLevel hands out references
        texture->levels.push_back(level);
        w = w > 1 ? w / 2 : 1;
        h = h > 1 ? h / 2 : 1;
    }
    return texture;
}

std::vector<uint8_t> D3DX::image(UINT width, UINT height, D3DFORMAT format,
                                 const std::vector<uint32_t>& pixels) {
    std::vector<uint8_t> bytes = {'F', 'A', 'K', 'E', 'I', 'M', 'G'};
    for (uint32_t word : {uint32_t(width), uint32_t(height), uint32_t(format)})
        for (int shift = 0; shift < 32; shift += 8) bytes.push_back(uint8_t(word >> shift));
    for (uint32_t p : pixels)
        for (int shift = 0; shift < 32; shift += 8) bytes.push_back(uint8_t(p >> shift));
    return bytes;
}

namespace {

class XBuffer : public Counted<ID3DXBuffer> {
public:
    std::vector<uint8_t> bytes;
    void* GetBufferPointer() override { return bytes.data(); }
    DWORD GetBufferSize() override { return DWORD(bytes.size()); }
};

uint32_t word(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// Decodes the fake format into a new texture of the asked format; X8R8G8B8
// sources become opaque, as the runtime's conversion makes them.
HRESULT decode(IDirect3DDevice9* device, const uint8_t* data, size_t size, UINT mipLevels,
               D3DFORMAT format, D3DPOOL pool, IDirect3DTexture9** out) {
    if (!device) return D3DERR_INVALIDCALL;
    if (size < 19 || std::memcmp(data, "FAKEIMG", 7) != 0) return D3DXERR_INVALIDDATA;
    const UINT width = word(data + 7), height = word(data + 11);
    const auto source = D3DFORMAT(word(data + 15));
    if (size < 19 + size_t(width) * height * 4) return D3DXERR_INVALIDDATA;
    if (mipLevels == D3DX_DEFAULT) mipLevels = 0;
    const HRESULT result =
        device->CreateTexture(width, height, mipLevels, 0, format, pool, out, nullptr);
    if (FAILED(result)) return result;
    auto* texture = static_cast<Texture*>(*out);
    for (UINT y = 0; y < height; ++y)
        for (UINT x = 0; x < width; ++x) {
            uint32_t p = word(data + 19 + (size_t(y) * width + x) * 4);
            if (source == D3DFMT_X8R8G8B8 && format == D3DFMT_A8R8G8B8) p |= 0xFF000000u;
            texture->levels[0]->setPixel32(x, y, p);
        }
    return D3D_OK;
}

} // namespace

HRESULT D3DX::createTextureFromFileInMemoryEx(IDirect3DDevice9* device, const void* data, UINT size,
                                              UINT, UINT, UINT mipLevels, DWORD, D3DFORMAT format,
                                              D3DPOOL pool, DWORD, DWORD, D3DCOLOR colorKey,
                                              D3DXIMAGE_INFO*, void*, IDirect3DTexture9** texture) {
    ++memoryLoads;
    lastMipLevels = mipLevels;
    lastFormat = format;
    lastColorKey = colorKey;
    return decode(device, static_cast<const uint8_t*>(data), size, mipLevels, format, pool,
                  texture);
}

HRESULT D3DX::createTextureFromFileExW(IDirect3DDevice9* device, const char16_t* fileName, UINT,
                                       UINT, UINT mipLevels, DWORD, D3DFORMAT format, D3DPOOL pool,
                                       DWORD, DWORD, D3DCOLOR colorKey, D3DXIMAGE_INFO*, void*,
                                       IDirect3DTexture9** texture) {
    ++fileLoads;
    lastMipLevels = mipLevels;
    lastFormat = format;
    lastColorKey = colorKey;
    for (const auto& [name, bytes] : files)
        if (name == fileName)
            return decode(device, bytes.data(), bytes.size(), mipLevels, format, pool, texture);
    return D3DXERR_INVALIDDATA;
}

HRESULT D3DX::saveTextureToFileInMemory(ID3DXBuffer** destination, D3DXIMAGE_FILEFORMAT,
                                        IDirect3DBaseTexture9* base, const void*) {
    ++saves;
    auto* texture = dynamic_cast<Texture*>(base);
    if (!texture) return D3DERR_INVALIDCALL;
    const Surface& top = *texture->levels[0];
    std::vector<uint32_t> pixels;
    for (UINT y = 0; y < top.desc.Height; ++y)
        for (UINT x = 0; x < top.desc.Width; ++x) pixels.push_back(top.pixel32(x, y));
    // The buffer is a plain heap object: the renderer releases it itself.
    auto* buffer = new XBuffer;
    buffer->kind = "D3DX buffer";
    buffer->bytes = D3DX::image(top.desc.Width, top.desc.Height, top.desc.Format, pixels);
    static std::vector<std::unique_ptr<XBuffer>> keep;
    keep.emplace_back(buffer);
    *destination = buffer;
    return D3D_OK;
}

} // namespace fake
