// SPDX-License-Identifier: MIT
// Stands in for the D3DX 9 texture functions the engine calls, on the image
// codec of ImageCodec.h and the runtime's textures.
//  [x] D3DXCreateTextureFromFileInMemoryEx: every format the codec reads;
//      D3DX_DEFAULT sizes rounded up to powers of two within the device's
//      texture size; other sizes stretched; the requested format among the
//      packed 8-, 16- and 32-bit ones (others become A8R8G8B8, logged once);
//      a full mip chain for 0 or D3DX_DEFAULT levels, built with a box
//      filter unless a DDS file brings its own; colour keys; any pool
//  [x] D3DXCreateTextureFromFileExW: paths with either separator
//  [x] D3DXSaveTextureToFileInMemory as DDS (A8R8G8B8, every level)
//  [ ] other file formats for saving, palettes, filters other than box
#include <algorithm>
#include <memory>
#include <mutex>
#include <vector>

#include "d3d9/D3DX9.h"
#include "d3d9/D3DXBackend.h"
#include "d3d9/Device.h"
#include "d3d9/Format.h"
#include "d3d9/ImageCodec.h"
#include "d3d9/Log.h"
#include "d3d9/Texture.h"
#include "sys/FileSystem.h"

namespace d3d9 {
namespace {

class Buffer final : public ID3DXBuffer {
public:
    explicit Buffer(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}
    uint32_t AddRef() override { return ++refs_; }
    uint32_t Release() override {
        uint32_t left = --refs_;
        if (left == 0) delete this;
        return left;
    }
    void* GetBufferPointer() override { return bytes_.data(); }
    DWORD GetBufferSize() override { return DWORD(bytes_.size()); }

private:
    uint32_t refs_ = 1;
    std::vector<uint8_t> bytes_;
};

// Bilinear stretch for explicitly requested sizes (D3DX_DEFAULT sizes go
// through the codec's power-of-two rule instead).
d3dx::Image stretch(const d3dx::Image& source, int width, int height) {
    d3dx::Image out;
    out.width = width;
    out.height = height;
    out.pixels.resize(size_t(width) * size_t(height));
    for (int y = 0; y < height; ++y) {
        float sy = std::max(0.0f, (float(y) + 0.5f) * float(source.height) / float(height) - 0.5f);
        int y0 = std::min(int(sy), source.height - 1), y1 = std::min(y0 + 1, source.height - 1);
        float fy = sy - float(y0);
        for (int x = 0; x < width; ++x) {
            float sx =
                std::max(0.0f, (float(x) + 0.5f) * float(source.width) / float(width) - 0.5f);
            int x0 = std::min(int(sx), source.width - 1), x1 = std::min(x0 + 1, source.width - 1);
            float fx = sx - float(x0);
            uint32_t result = 0;
            for (int shift = 0; shift < 32; shift += 8) {
                auto channel = [&](int px, int py) {
                    return float(source.at(px, py) >> shift & 0xFF);
                };
                float top = channel(x0, y0) * (1 - fx) + channel(x1, y0) * fx;
                float bottom = channel(x0, y1) * (1 - fx) + channel(x1, y1) * fx;
                auto value =
                    uint32_t(std::clamp(top * (1 - fy) + bottom * fy + 0.5f, 0.0f, 255.0f));
                result |= value << shift;
            }
            out.pixels[size_t(y) * size_t(width) + size_t(x)] = result;
        }
    }
    return out;
}

// The next mip level: each pixel the rounded mean of the 2 x 2 (or 2 x 1
// where a side is already 1) block above it.
d3dx::Image boxDown(const d3dx::Image& source) {
    d3dx::Image out;
    out.width = std::max(1, source.width / 2);
    out.height = std::max(1, source.height / 2);
    out.pixels.resize(size_t(out.width) * size_t(out.height));
    int stepX = source.width > 1 ? 2 : 1, stepY = source.height > 1 ? 2 : 1;
    for (int y = 0; y < out.height; ++y)
        for (int x = 0; x < out.width; ++x) {
            uint32_t result = 0;
            for (int shift = 0; shift < 32; shift += 8) {
                uint32_t sum = 0, count = 0;
                for (int dy = 0; dy < stepY; ++dy)
                    for (int dx = 0; dx < stepX; ++dx) {
                        sum += source.at(x * stepX + dx, y * stepY + dy) >> shift & 0xFF;
                        ++count;
                    }
                result |= ((sum + count / 2) / count) << shift;
            }
            out.pixels[size_t(y) * size_t(out.width) + size_t(x)] = result;
        }
    return out;
}

UINT fullChain(int width, int height) {
    UINT levels = 1;
    for (int size = std::max(width, height); size > 1; size >>= 1) ++levels;
    return levels;
}

std::mutex& backendMutex() {
    static std::mutex mutex;
    return mutex;
}
std::shared_ptr<D3DXBackend>& installedBackend() {
    static std::shared_ptr<D3DXBackend> backend;
    return backend;
}
std::shared_ptr<D3DXBackend> backend() {
    std::lock_guard lock(backendMutex());
    return installedBackend();
}

BOOL checkVersion(UINT d3dSdkVersion, UINT d3dxSdkVersion) {
    return d3dSdkVersion == D3D_SDK_VERSION && d3dxSdkVersion == D3DX_SDK_VERSION;
}

HRESULT createFromMemory(IDirect3DDevice9* device, const void* data, UINT size, UINT width,
                         UINT height, UINT mipLevels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                         D3DCOLOR colorKey, D3DXIMAGE_INFO* sourceInfo,
                         IDirect3DTexture9** texture) {
    if (!device || !data || size == 0 || !texture) return D3DERR_INVALIDCALL;
    *texture = nullptr;
    std::vector<d3dx::Image> levels;
    d3dx::ImageInfo info;
    std::string why;
    if (HRESULT hr = d3dx::decodeImageLevels(data, size, levels, &info, &why); FAILED(hr)) {
        logLine("D3DXCreateTextureFromFileInMemoryEx: " + why);
        return hr;
    }
    if (sourceInfo) *sourceInfo = info;

    D3DCAPS9 caps;
    if (HRESULT hr = device->GetDeviceCaps(&caps); FAILED(hr)) return hr;
    int maxSize = int(std::min(caps.MaxTextureWidth, caps.MaxTextureHeight));
    d3dx::Image top = levels.front();
    bool defaultWidth = width == 0 || width == D3DX_DEFAULT;
    bool defaultHeight = height == 0 || height == D3DX_DEFAULT;
    if (defaultWidth && defaultHeight) {
        top = d3dx::resizeToPowerOfTwo(top, maxSize);
    } else {
        int w = defaultWidth || width == D3DX_DEFAULT_NONPOW2 ? top.width : int(width);
        int h = defaultHeight || height == D3DX_DEFAULT_NONPOW2 ? top.height : int(height);
        w = std::min(w, maxSize);
        h = std::min(h, maxSize);
        if (w != top.width || h != top.height) top = stretch(top, w, h);
    }
    bool resized = top.width != levels.front().width || top.height != levels.front().height;

    UINT full = fullChain(top.width, top.height);
    UINT count = mipLevels == 0 || mipLevels == D3DX_DEFAULT ? full : std::min(mipLevels, full);
    if (format == D3DFMT_UNKNOWN) format = info.Format;
    if (!convertible(format)) {
        logOnce("d3dxformat" + std::to_string(format),
                "D3DX: textures of format " + std::to_string(format) + " are made as A8R8G8B8");
        format = D3DFMT_A8R8G8B8;
    }

    IDirect3DTexture9* created = nullptr;
    if (HRESULT hr = device->CreateTexture(UINT(top.width), UINT(top.height), count, usage, format,
                                           pool, &created, nullptr);
        FAILED(hr))
        return hr;
    TextureCore* core = textureCore(created);
    d3dx::Image level = std::move(top);
    for (UINT i = 0; i < core->levelCount(); ++i) {
        if (i > 0) {
            // A DDS file's own levels are used while the picture was not stretched.
            bool fromFile = !resized && i < levels.size() &&
                            UINT(levels[i].width) == core->width(i) &&
                            UINT(levels[i].height) == core->height(i);
            level = fromFile ? levels[i] : boxDown(level);
        }
        if (colorKey != 0)
            for (uint32_t& pixel : level.pixels)
                if (pixel == colorKey) pixel = 0;
        std::vector<uint8_t> bytes(size_t(core->levelPitch(i)) * core->height(i));
        for (int y = 0; y < level.height; ++y)
            fromArgb(format, &level.pixels[size_t(y) * size_t(level.width)],
                     bytes.data() + size_t(y) * core->levelPitch(i), size_t(level.width));
        if (HRESULT hr = core->writeLevel(D3DCUBEMAP_FACE_POSITIVE_X, i, bytes.data());
            FAILED(hr)) {
            created->Release();
            return hr;
        }
    }
    *texture = created;
    return D3D_OK;
}

HRESULT createFromFile(IDirect3DDevice9* device, const char16_t* fileName, UINT width, UINT height,
                       UINT mipLevels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                       D3DCOLOR colorKey, D3DXIMAGE_INFO* sourceInfo, IDirect3DTexture9** texture) {
    if (!device || !fileName || !texture) return D3DERR_INVALIDCALL;
    *texture = nullptr;
    int error = 0;
    int descriptor = sys::openFile(fileName, sys::OpenReadOnly | sys::OpenBinary, error);
    if (descriptor < 0) {
        logLine("D3DXCreateTextureFromFileExW: cannot open " +
                sys::nativePath(std::u16string_view(fileName)));
        return D3DXERR_INVALIDDATA;
    }
    int64_t length = sys::fileLength(descriptor);
    std::vector<uint8_t> bytes(length > 0 ? size_t(length) : 0);
    bool complete =
        length > 0 && sys::readFile(descriptor, bytes.data(), int32_t(length)) == int32_t(length);
    sys::closeFile(descriptor);
    if (!complete) {
        logLine("D3DXCreateTextureFromFileExW: cannot read " +
                sys::nativePath(std::u16string_view(fileName)));
        return D3DXERR_INVALIDDATA;
    }
    return createFromMemory(device, bytes.data(), UINT(bytes.size()), width, height, mipLevels,
                            usage, format, pool, colorKey, sourceInfo, texture);
}

HRESULT saveToMemory(ID3DXBuffer** destination, D3DXIMAGE_FILEFORMAT format,
                     IDirect3DBaseTexture9* texture) {
    if (!destination || !texture) return D3DERR_INVALIDCALL;
    *destination = nullptr;
    if (format != D3DXIFF_DDS) {
        logOnce("d3dxsave" + std::to_string(format), "D3DX: saving is offered as DDS only");
        return D3DERR_INVALIDCALL;
    }
    TextureCore* core = textureCore(texture);
    if (!core) return D3DERR_INVALIDCALL;
    if (!convertible(core->format())) {
        logOnce("d3dxsaveformat" + std::to_string(core->format()),
                "D3DX: textures of format " + std::to_string(core->format()) + " cannot be saved");
        return D3DERR_INVALIDCALL;
    }
    if (core->cube()) logOnce("d3dxsavecube", "D3DX: a cube texture is saved as its first face");
    const FormatInfo& info = core->info();
    std::vector<d3dx::Image> levels(core->levelCount());
    std::vector<uint8_t> bytes;
    for (UINT i = 0; i < core->levelCount(); ++i) {
        if (HRESULT hr = core->readLevel(D3DCUBEMAP_FACE_POSITIVE_X, i, bytes); FAILED(hr))
            return hr;
        d3dx::Image& level = levels[i];
        level.width = int(core->width(i));
        level.height = int(core->height(i));
        level.pixels.resize(size_t(level.width) * size_t(level.height));
        uint32_t pitch = core->levelPitch(i);
        for (int y = 0; y < level.height; ++y)
            toArgb(info.format, bytes.data() + size_t(y) * pitch,
                   &level.pixels[size_t(y) * size_t(level.width)], size_t(level.width));
    }
    *destination = new Buffer(d3dx::encodeDds(levels));
    return D3D_OK;
}

} // namespace
} // namespace d3d9

using namespace d3d9;

// The entry points: an installed backend first (D3DXBackend.h), else the
// codec above.

BOOL D3DXCheckVersion(UINT d3dSdkVersion, UINT d3dxSdkVersion) {
    if (auto other = backend()) return other->checkVersion(d3dSdkVersion, d3dxSdkVersion);
    return checkVersion(d3dSdkVersion, d3dxSdkVersion);
}

HRESULT D3DXCreateTextureFromFileInMemoryEx(IDirect3DDevice9* device, const void* data, UINT size,
                                            UINT width, UINT height, UINT mipLevels, DWORD usage,
                                            D3DFORMAT format, D3DPOOL pool, DWORD filter,
                                            DWORD mipFilter, D3DCOLOR colorKey,
                                            D3DXIMAGE_INFO* sourceInfo, void* palette,
                                            IDirect3DTexture9** texture) {
    if (auto other = backend())
        return other->createTextureFromFileInMemoryEx(device, data, size, width, height, mipLevels,
                                                      usage, format, pool, filter, mipFilter,
                                                      colorKey, sourceInfo, palette, texture);
    return createFromMemory(device, data, size, width, height, mipLevels, usage, format, pool,
                            colorKey, sourceInfo, texture);
}

HRESULT D3DXCreateTextureFromFileExW(IDirect3DDevice9* device, const char16_t* fileName, UINT width,
                                     UINT height, UINT mipLevels, DWORD usage, D3DFORMAT format,
                                     D3DPOOL pool, DWORD filter, DWORD mipFilter, D3DCOLOR colorKey,
                                     D3DXIMAGE_INFO* sourceInfo, void* palette,
                                     IDirect3DTexture9** texture) {
    if (auto other = backend())
        return other->createTextureFromFileExW(device, fileName, width, height, mipLevels, usage,
                                               format, pool, filter, mipFilter, colorKey,
                                               sourceInfo, palette, texture);
    return createFromFile(device, fileName, width, height, mipLevels, usage, format, pool, colorKey,
                          sourceInfo, texture);
}

HRESULT D3DXSaveTextureToFileInMemory(ID3DXBuffer** destination, D3DXIMAGE_FILEFORMAT format,
                                      IDirect3DBaseTexture9* texture, const void* palette) {
    if (auto other = backend())
        return other->saveTextureToFileInMemory(destination, format, texture, palette);
    return saveToMemory(destination, format, texture);
}

void d3d9::test::setD3DXBackend(std::shared_ptr<D3DXBackend> backend) {
    std::lock_guard lock(backendMutex());
    installedBackend() = std::move(backend);
}
