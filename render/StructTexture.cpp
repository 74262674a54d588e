// SPDX-License-Identifier: MIT
// Texture records and handles, loading through D3DX, and the manager's own
// pixel work: the checkerboard default, the alpha-weighted mip-map filter
// and the 8-bit bilinear resampling into dialog bitmaps. The pixel rules are
// integer and single-precision arithmetic written out step by step, so a
// picture comes out the same on every machine.
#include "render/StructTexture.h"

#include <cassert>
#include <cstring>
#include <cwctype>

#include "core/Log.h"
#include "core/Report.h"
#include "d3d9/D3DX9.h"
#include "render/D3D/D3D.h"
#include "render/PreviewImage.h"
#include "render/surface1d.h"

namespace {

// A device that may be used right now; otherwise the usual two log lines.
bool deviceUsable() {
    if (D3D::currentDevice && SUCCEEDED(D3D::currentDevice->TestCooperativeLevel())) return true;
    log(u"The DirectX device is not valid");
    D3D::logDeviceLost();
    return false;
}

// D3DX needs a device object to put the texture on, lost or not.
bool deviceExists() {
    if (D3D::currentDevice) return true;
    log(u"The DirectX device is not valid");
    D3D::logDeviceLost();
    return false;
}

int32_t bytesPerPixel(D3DFORMAT format) {
    switch (format) {
    case D3DFMT_R8G8B8: return 3;
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8: return 4;
    case D3DFMT_R5G6B5:
    case D3DFMT_X1R5G5B5:
    case D3DFMT_A1R5G5B5:
    case D3DFMT_A4R4G4B4:
    case D3DFMT_X4R4G4B4: return 2;
    case D3DFMT_A16B16G16R16F: return 8;
    case D3DFMT_A32B32G32R32F: return 16;
    default: return 0;
    }
}

// A pixel in ARGB byte lanes. 16-bit words keep their 5-bit fields and their
// alpha bit unscaled, as the filter has always read them.
uint32_t readPixel(const uint8_t* row, int32_t x, int32_t bpp) {
    if (bpp == 4) {
        uint32_t value;
        std::memcpy(&value, row + size_t(x) * 4, 4);
        return value;
    }
    uint16_t word;
    std::memcpy(&word, row + size_t(x) * 2, 2);
    return uint32_t(word & 0x1F) | uint32_t((word >> 5) & 0x1F) << 8 |
           uint32_t((word >> 10) & 0x1F) << 16 | uint32_t((word >> 15) & 1) << 24;
}

void writePixel(uint8_t* row, int32_t x, int32_t bpp, uint32_t a, uint32_t r, uint32_t g,
                uint32_t b) {
    if (bpp == 4) {
        const uint32_t value = a << 24 | r << 16 | g << 8 | b;
        std::memcpy(row + size_t(x) * 4, &value, 4);
        return;
    }
    const uint16_t word = uint16_t((a & 1) << 15 | (r & 0x1F) << 10 | (g & 0x1F) << 5 | (b & 0x1F));
    std::memcpy(row + size_t(x) * 2, &word, 2);
}

// The centre and four neighbours; a neighbour counts by its alpha, so a
// transparent one brings in the centre's own colour instead of its own.
void filterPixel(uint32_t centre, const uint32_t (&neighbours)[4], int32_t bpp, uint8_t* out,
                 int32_t x) {
    uint32_t channels[3];
    for (int32_t c = 0; c < 3; ++c) {
        const int32_t shift = 8 * c;
        const int32_t own = int32_t((centre >> shift) & 0xFF);
        int32_t sum = own;
        for (uint32_t n : neighbours) {
            const float weight = float(n >> 24) * 0.003921569f;
            sum += int32_t(float((n >> shift) & 0xFF) * weight + (1.0f - weight) * float(own));
        }
        channels[c] = uint32_t(sum / 5);
    }
    writePixel(out, x, bpp, centre >> 24, channels[2], channels[1], channels[0]);
}

} // namespace

StructTexture::Record::~Record() {
    releaseTextures();
    for (auto* n = freeRects.head; n; n = n->next) delete n->item;
    freeRects.clear();
}

void StructTexture::Record::releaseTextures() {
    if (texture) texture->Release();
    if (cubeTexture) cubeTexture->Release();
    texture = nullptr;
    cubeTexture = nullptr;
}

// Both live until the process is gone: handles in other static objects
// (the device's render-texture pool among them) detach during exit, in an
// order no destructor here could be sure to come after.
StructTexture::Record& StructTexture::defaultRecord() {
    static Record* record = [] {
        auto* made = new Record;
        made->name = u"default.bmp";
        return made;
    }();
    return *record;
}

LinkedList<StructTexture::Record>& StructTexture::records() {
    static auto* list = new LinkedList<Record>;
    return *list;
}

StructTexture::StructTexture() : record(&defaultRecord()) {}

StructTexture::~StructTexture() {
    detach();
}

void StructTexture::attach(Record* target) {
    record = target;
    if (target != &defaultRecord()) node = target->users.append(this);
}

void StructTexture::detach() {
    Record* old = record;
    if (node) {
        old->users.remove(node);
        node = nullptr;
    }
    record = &defaultRecord();
    if (old != record && old->users.count == 0 && old->node) {
        records().remove(old->node);
        old->node = nullptr;
        delete old;
    }
}

StructTexture::Record* StructTexture::newRecord() {
    Record* fresh = new Record;
    fresh->node = records().append(fresh);
    return fresh;
}

void StructTexture::destroyRecord(Record* doomed) {
    assert(doomed != &defaultRecord() && "the default record lives as long as the process");
    if (doomed->users.count == 0) {
        if (doomed->node) records().remove(doomed->node);
        delete doomed;
        return;
    }
    // Detaching the last user destroys the record on the way out.
    for (;;) {
        const bool last = doomed->users.count == 1;
        doomed->users.head->item->detach();
        if (last) return;
    }
}

void StructTexture::initDefaultTexture() {
    setReportContext(u"StructTexture", u"initDefaultTexture");
    if (!deviceUsable()) return;
    Record& fallback = defaultRecord();
    fallback.releaseTextures();
    if (FAILED(D3D::currentDevice->CreateTexture(32, 32, 3, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED,
                                                 &fallback.texture, nullptr))) {
        fallback.texture = nullptr;
        log(u"Default texture could no be created");
        return;
    }
    fallback.name = u"default.bmp";
    for (UINT level = 0; level < 3; ++level) {
        D3DSURFACE_DESC desc;
        D3DLOCKED_RECT locked;
        if (FAILED(fallback.texture->GetLevelDesc(level, &desc))) continue;
        if (FAILED(fallback.texture->LockRect(level, &locked, nullptr, 0))) continue;
        const uint32_t s = 2 - level;
        for (UINT y = 0; y < desc.Height; ++y) {
            auto* row = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(locked.pBits) +
                                                    size_t(y) * size_t(locked.Pitch));
            for (UINT x = 0; x < desc.Width; ++x)
                row[x] = ((x >> s) & 1) != ((y >> s) & 1) ? 0xFF000084u : 0xFFFF0000u;
        }
        fallback.texture->UnlockRect(level);
    }
}

void StructTexture::releaseDefaultTexture() {
    defaultRecord().releaseTextures();
}

int32_t StructTexture::load(const String& name) {
    setReportContext(u"StructTexture", u"load");
    if (name.length == 0) {
        log(u"There is no image name given...");
        return 0;
    }
    log(u"Image Filename [%s]", name);
    // Names are compared unit for unit: "a.png" and "A.png" are two records,
    // as they are two files on this platform.
    for (auto* n = records().head; n; n = n->next) {
        Record* candidate = n->item;
        if (candidate->name.length == 0 || !(candidate->name == name)) continue;
        if (record != candidate) {
            detach();
            attach(candidate);
        }
        log(u"was already loaded...");
        return 1;
    }
    log(u"Load from harddisc...");
    return loadD3DX(name, 0, 0, nullptr, 0, D3DFMT_A8R8G8B8);
}

int32_t StructTexture::loadD3DX(const String& name, int32_t /*width*/, int32_t /*height*/,
                                const uint8_t* colorKey, uint32_t mipLevels, D3DFORMAT format) {
    // D3DX takes the size from the file (see the declaration), so the
    // requested one is not passed on.
    setReportContext(u"StructTexture", u"loadD3DX");
    if (name.length == 0) {
        log(u"There is no image name given...");
        return 0;
    }
    log(u"Filename: %s", name);

    int32_t dot = -1;
    for (int32_t i = 0; i < name.length; ++i)
        if (name.p[i] == u'.') dot = i;
    std::u16string extension;
    if (dot >= 0)
        for (int32_t i = dot + 1; i < name.length; ++i)
            extension.push_back(char16_t(std::towlower(wint_t(name.p[i]))));
    static const char16_t* const accepted[] = {u"bmp",  u"dds", u"dib", u"hdr", u"jpg",
                                               u"jpeg", u"pfm", u"png", u"ppm", u"tga"};
    bool supported = false;
    for (const char16_t* known : accepted) supported = supported || extension == known;
    if (!supported) {
        log(u"The fileformat is not supported...");
        return 0;
    }
    log(u"Image Filename [%s]", name);
    if (!deviceExists()) return 0;

    const D3DCOLOR key = colorKey ? 0xFF000000u | uint32_t(colorKey[2]) << 16 |
                                        uint32_t(colorKey[1]) << 8 | uint32_t(colorKey[0])
                                  : 0;
    Record* fresh = newRecord();
    const HRESULT result = D3DXCreateTextureFromFileExW(
        D3D::currentDevice, name.text(), D3DX_DEFAULT, D3DX_DEFAULT, mipLevels, 0, format,
        D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, key, nullptr, nullptr, &fresh->texture);
    if (FAILED(result)) {
        fresh->texture = nullptr;
        destroyRecord(fresh);
        log(u"in D3DXCreateTextureFromFileEx(): %s", D3D::errorName(result));
        return 0;
    }
    fresh->name = name;
    detach();
    attach(fresh);
    return 1;
}

int32_t StructTexture::loadD3DXFromFile(const String& name, FileInterface& file, uint32_t mipLevels,
                                        D3DFORMAT format, int32_t, int32_t) {
    setReportContext(u"StructTexture", u"loadD3DXFromFile");
    if (!file.memory() || file.size() <= 0) {
        log(u"The file is not in memory or empty");
        return 0;
    }
    if (!deviceExists()) return 0;
    Record* fresh = newRecord();
    const HRESULT result = D3DXCreateTextureFromFileInMemoryEx(
        D3D::currentDevice, file.memory(), UINT(file.size()), D3DX_DEFAULT, D3DX_DEFAULT, mipLevels,
        0, format, D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, 0, nullptr, nullptr,
        &fresh->texture);
    if (FAILED(result)) {
        fresh->texture = nullptr;
        destroyRecord(fresh);
        log(u"in D3DXCreateTextureFromFileInMemoryEx(): %s", D3D::errorName(result));
        return 0;
    }
    fresh->name = name;
    detach();
    attach(fresh);
    return 1;
}

int32_t StructTexture::loadFromTex(StructTexture& source, uint32_t mipLevels, D3DFORMAT format) {
    setReportContext(u"StructTexture", u"loadFromTex");
    if (!source.texture()) {
        log(u"The source has no texture");
        return 0;
    }
    if (!deviceExists()) return 0;
    ID3DXBuffer* saved = nullptr;
    if (FAILED(D3DXSaveTextureToFileInMemory(&saved, D3DXIFF_DDS, source.texture(), nullptr)) ||
        !saved) {
        log(u"D3DXSaveTextureToFileInMemory");
        return 0;
    }
    if (mipLevels == 0xFFFFFFFFu) mipLevels = source.texture()->GetLevelCount();
    Record* fresh = newRecord();
    const HRESULT result = D3DXCreateTextureFromFileInMemoryEx(
        D3D::currentDevice, saved->GetBufferPointer(), saved->GetBufferSize(), D3DX_DEFAULT,
        D3DX_DEFAULT, mipLevels, 0, format, D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, 0, nullptr,
        nullptr, &fresh->texture);
    saved->Release();
    if (FAILED(result)) {
        fresh->texture = nullptr;
        destroyRecord(fresh);
        log(u"in D3DXCreateTextureFromFileInMemoryEx(): %s", D3D::errorName(result));
        return 0;
    }
    fresh->name = u"Empty";
    detach();
    attach(fresh);
    return 1;
}

int32_t StructTexture::create(const String& name, uint32_t width, uint32_t height, uint32_t levels,
                              DWORD usage, D3DFORMAT format, D3DPOOL pool) {
    setReportContext(u"StructTexture", u"create");
    if (!deviceUsable()) return 0;
    if (width < 2 || height < 2) {
        log(u"invalid size: 0 or 1");
        return 0;
    }
    Record* fresh = newRecord();
    const HRESULT result = D3D::currentDevice->CreateTexture(width, height, levels, usage, format,
                                                             pool, &fresh->texture, nullptr);
    if (FAILED(result)) {
        fresh->texture = nullptr;
        destroyRecord(fresh);
        log(u"in CreateTexture(): %s", D3D::errorName(result));
        return 0;
    }
    fresh->name = name;
    fresh->freeRects.append(new RECT{0, 0, LONG(width), LONG(height)});
    detach();
    attach(fresh);
    return 1;
}

int32_t StructTexture::createCubeMap(const String& name, uint32_t edgeLength, D3DFORMAT format) {
    setReportContext(u"StructTexture", u"createCubeMap");
    Record* fresh = newRecord();
    if (deviceUsable()) {
        const HRESULT result =
            D3D::currentDevice->CreateCubeTexture(edgeLength, 1, D3DUSAGE_RENDERTARGET, format,
                                                  D3DPOOL_DEFAULT, &fresh->cubeTexture, nullptr);
        if (FAILED(result)) {
            fresh->cubeTexture = nullptr;
            destroyRecord(fresh);
            log(u"in CreateTexture(): %s", D3D::errorName(result));
            return 0;
        }
    }
    // Without a usable device the record still takes the name, so the owner
    // finds it again when the cube map is made after a restore.
    fresh->name = name;
    detach();
    attach(fresh);
    return 1;
}

int32_t StructTexture::copy(StructTexture& source) {
    setReportContext(u"StructTexture", u"copy");
    if (source.isDefault()) {
        log(u"tex is a default texture");
        return 0;
    }
    IDirect3DTexture9* from = source.texture();
    D3DSURFACE_DESC desc;
    if (!from || FAILED(from->GetLevelDesc(0, &desc))) {
        log(u"texture could not be created");
        return 0;
    }
    if (!create(String(u""), desc.Width, desc.Height, from->GetLevelCount(), desc.Usage,
                desc.Format, desc.Pool)) {
        log(u"texture could not be created");
        return 0;
    }
    setReportContext(u"StructTexture", u"copy");
    D3DLOCKED_RECT in, out;
    if (FAILED(from->LockRect(0, &in, nullptr, D3DLOCK_READONLY))) {
        log(u"The source texture could not be locked");
        return 0;
    }
    if (FAILED(texture()->LockRect(0, &out, nullptr, 0))) {
        from->UnlockRect(0);
        log(u"The new texture could not be locked");
        return 0;
    }
    // Same format and size, so the pitches agree; row by row in case they do not.
    const size_t rowBytes = size_t(in.Pitch < out.Pitch ? in.Pitch : out.Pitch);
    for (UINT y = 0; y < desc.Height; ++y)
        std::memcpy(static_cast<uint8_t*>(out.pBits) + size_t(y) * size_t(out.Pitch),
                    static_cast<const uint8_t*>(in.pBits) + size_t(y) * size_t(in.Pitch), rowBytes);
    texture()->UnlockRect(0);
    from->UnlockRect(0);
    // The copy stands even where the filter refuses the format.
    genMipmaps();
    return 1;
}

int32_t StructTexture::genMipmaps() {
    setReportContext(u"StructTexture", u"genMipmaps");
    if (isDefault()) {
        log(u"Texture is default");
        return 0;
    }
    IDirect3DTexture9* tex = texture();
    D3DSURFACE_DESC top;
    if (!tex || FAILED(tex->GetLevelDesc(0, &top))) {
        log(u"There is no texture to filter");
        return 0;
    }
    // The filter reads 4-byte pixels as ARGB and everything else as 16-bit
    // A1R5G5B5 words; 3-, 8- and 16-byte pixels would come out as noise, and
    // compressed formats have no pixels to step through. Those are refused.
    const int32_t bpp = bytesPerPixel(top.Format);
    if (bpp != 2 && bpp != 4) {
        log(u"Mipmaps are not built for %s (%i bytes per pixel)", D3D::formatName(top.Format), bpp);
        return 0;
    }
    const UINT levels = tex->GetLevelCount();
    for (UINT i = 0; i + 1 < levels; ++i) {
        D3DSURFACE_DESC srcDesc, dstDesc;
        D3DLOCKED_RECT src, dst;
        if (FAILED(tex->GetLevelDesc(i, &srcDesc)) || FAILED(tex->GetLevelDesc(i + 1, &dstDesc)))
            break;
        if (FAILED(tex->LockRect(i, &src, nullptr, 0))) break;
        if (FAILED(tex->LockRect(i + 1, &dst, nullptr, 0))) {
            tex->UnlockRect(i);
            break;
        }
        const int32_t w = int32_t(srcDesc.Width), h = int32_t(srcDesc.Height);
        auto row = [&](int32_t y) {
            return static_cast<const uint8_t*>(src.pBits) + size_t(y) * size_t(src.Pitch);
        };
        for (int32_t y = 0; y < int32_t(dstDesc.Height); ++y) {
            uint8_t* out = static_cast<uint8_t*>(dst.pBits) + size_t(y) * size_t(dst.Pitch);
            for (int32_t x = 0; x < int32_t(dstDesc.Width); ++x) {
                const int32_t cx = 2 * x, cy = 2 * y;
                const uint32_t centre = readPixel(row(cy), cx, bpp);
                const uint32_t neighbours[4] = {
                    readPixel(row(cy), cx + 1 >= w ? cx : cx + 1, bpp),
                    readPixel(row(cy), cx - 1 > 0 ? cx - 1 : 0, bpp),
                    readPixel(row(cy + 1 >= h ? cy : cy + 1), cx, bpp),
                    readPixel(row(cy - 1 > 0 ? cy - 1 : 0), cx, bpp),
                };
                filterPixel(centre, neighbours, bpp, out, x);
            }
        }
        tex->UnlockRect(i + 1);
        tex->UnlockRect(i);
    }
    return 1;
}

int32_t StructTexture::copyToBitmap(DialogTools::Bitmap& bitmap) {
    setReportContext(u"StructTexture", u"copyToBitmap");
    const int32_t W = bitmap.width(), H = bitmap.height();
    const int32_t bytes = preview_image::bitmapBytes(bitmap);
    if (!bytes) {
        log(u"The bitmap has no pixels to draw into");
        return 0;
    }
    IDirect3DTexture9* tex = texture();
    D3DSURFACE_DESC desc;
    if (!tex || FAILED(tex->GetLevelDesc(0, &desc))) {
        log(u"There is no texture to copy");
        return 0;
    }
    StructTexture converted;
    if (desc.Format != D3DFMT_A8R8G8B8) {
        if (!converted.loadFromTex(*this, 0xFFFFFFFFu, D3DFMT_A8R8G8B8) ||
            FAILED(converted.texture()->GetLevelDesc(0, &desc))) {
            setReportContext(u"StructTexture", u"copyToBitmap");
            log(u"The texture could not be converted to D3DFMT_A8R8G8B8");
            return 0;
        }
        setReportContext(u"StructTexture", u"copyToBitmap");
        tex = converted.texture();
    }
    D3DLOCKED_RECT locked;
    if (FAILED(tex->LockRect(0, &locked, nullptr, D3DLOCK_READONLY))) {
        log(u"The texture could not be locked");
        return 0;
    }

    // The sampler steps through width-long rows; a padded level is copied
    // into a tight scratch image first.
    const int32_t tw = int32_t(desc.Width), th = int32_t(desc.Height);
    const bool tight = locked.Pitch == tw * 4;
    surface1d<Color> texels(tw, th, tight ? static_cast<Color*>(locked.pBits) : nullptr);
    if (!tight)
        for (int32_t y = 0; y < th; ++y)
            std::memcpy(texels.at(0, y),
                        static_cast<const uint8_t*>(locked.pBits) +
                            size_t(y) * size_t(locked.Pitch),
                        size_t(tw) * 4);

    surface1d<Color> target(W, H,
                            bytes == 4 ? reinterpret_cast<Color*>(bitmap.buffer.items) : nullptr);
    for (int32_t r = 0; r < H; ++r) {
        texels.v = preview_image::sampleV(r, H);
        for (int32_t c = 0; c < W; ++c) {
            texels.u = preview_image::sampleU(c, W);
            *target.at(c, r) = sampleBilinear(texels);
        }
    }
    preview_image::store(target, bitmap);
    tex->UnlockRect(0);
    bitmap.update();
    return 1;
}

int32_t StructTexture::add(StructTexture& source, POINT& position, RECT& placed) {
    setReportContext(u"StructTexture", u"add");
    if (!deviceUsable()) return 0;
    if (source.isDefault() || !source.texture() || !texture()) {
        log(u"Texture is not valid.");
        return 0;
    }
    D3DSURFACE_DESC from, into;
    if (FAILED(source.texture()->GetLevelDesc(0, &from)) ||
        FAILED(texture()->GetLevelDesc(0, &into))) {
        log(u"Texture is not valid.");
        return 0;
    }
    if (from.Usage != into.Usage) {
        log(u"Usage is not equal.");
        return 0;
    }
    if (from.Format != into.Format) {
        log(u"Format is not equal.");
        return 0;
    }
    if (from.Pool != into.Pool) {
        log(u"Pool is not equal.");
        return 0;
    }
    const int32_t bpp = bytesPerPixel(from.Format);
    if (!bpp) {
        log(u"Images in %s can not be placed", D3D::formatName(from.Format));
        return 0;
    }
    const LONG w = LONG(from.Width), h = LONG(from.Height);
    LinkedList<RECT>::Node* slot = record->freeRects.head;
    while (slot &&
           (slot->item->right - slot->item->left < w || slot->item->bottom - slot->item->top < h))
        slot = slot->next;
    if (!slot) {
        log(u"There is no free place for the image");
        return 0;
    }
    const RECT free = *slot->item;
    D3DLOCKED_RECT in, out;
    if (FAILED(source.texture()->LockRect(0, &in, nullptr, D3DLOCK_READONLY))) {
        log(u"Texture is not valid.");
        return 0;
    }
    if (FAILED(texture()->LockRect(0, &out, nullptr, 0))) {
        source.texture()->UnlockRect(0);
        log(u"Texture is not valid.");
        return 0;
    }
    for (LONG y = 0; y < h; ++y)
        std::memcpy(static_cast<uint8_t*>(out.pBits) + size_t(free.top + y) * size_t(out.Pitch) +
                        size_t(free.left) * size_t(bpp),
                    static_cast<const uint8_t*>(in.pBits) + size_t(y) * size_t(in.Pitch),
                    size_t(w) * size_t(bpp));
    texture()->UnlockRect(0);
    source.texture()->UnlockRect(0);

    // Guillotine split: what is left beside the image on its rows, and
    // everything below them.
    delete slot->item;
    record->freeRects.remove(slot);
    if (free.right - free.left > w)
        record->freeRects.append(new RECT{free.left + w, free.top, free.right, free.top + h});
    if (free.bottom - free.top > h)
        record->freeRects.append(new RECT{free.left, free.top + h, free.right, free.bottom});
    position = POINT{free.left, free.top};
    placed = RECT{free.left, free.top, free.left + w, free.top + h};
    genMipmaps();
    return 1;
}
