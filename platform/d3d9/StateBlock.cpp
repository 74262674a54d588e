// SPDX-License-Identifier: MIT
// Stands in for IDirect3DStateBlock9, with Direct3D's start-up state and the
// split of states into pixel and vertex blocks.
//  [x] start-up values of every render, stage and sampler state the engine sets
//  [x] ALL, PIXELSTATE and VERTEXSTATE blocks; recorded blocks
//  [ ] states of shaders, clip planes and stencil operations (not kept)
#include "d3d9/StateBlock.h"

#include <cstring>

#include "d3d9/Device.h"

namespace d3d9 {
namespace {

DWORD floatBits(float value) {
    DWORD bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

D3DMATRIX identity() {
    D3DMATRIX m;
    for (int i = 0; i < 4; ++i) m.m[i][i] = 1;
    return m;
}

// The render states that belong to the pixel and to the vertex pipeline.
constexpr D3DRENDERSTATETYPE kPixelStates[] = {
    D3DRS_ZENABLE,         D3DRS_FILLMODE,      D3DRS_SHADEMODE,        D3DRS_ZWRITEENABLE,
    D3DRS_ALPHATESTENABLE, D3DRS_LASTPIXEL,     D3DRS_SRCBLEND,         D3DRS_DESTBLEND,
    D3DRS_ZFUNC,           D3DRS_ALPHAREF,      D3DRS_ALPHAFUNC,        D3DRS_DITHERENABLE,
    D3DRS_FOGSTART,        D3DRS_FOGEND,        D3DRS_FOGDENSITY,       D3DRS_ALPHABLENDENABLE,
    D3DRS_STENCILENABLE,   D3DRS_TEXTUREFACTOR, D3DRS_COLORWRITEENABLE, D3DRS_BLENDOP,
};
constexpr D3DRENDERSTATETYPE kVertexStates[] = {
    D3DRS_CULLMODE,
    D3DRS_FOGENABLE,
    D3DRS_FOGCOLOR,
    D3DRS_FOGTABLEMODE,
    D3DRS_FOGSTART,
    D3DRS_FOGEND,
    D3DRS_FOGDENSITY,
    D3DRS_RANGEFOGENABLE,
    D3DRS_AMBIENT,
    D3DRS_COLORVERTEX,
    D3DRS_FOGVERTEXMODE,
    D3DRS_LIGHTING,
    D3DRS_LOCALVIEWER,
    D3DRS_NORMALIZENORMALS,
    D3DRS_DIFFUSEMATERIALSOURCE,
    D3DRS_SPECULARMATERIALSOURCE,
    D3DRS_AMBIENTMATERIALSOURCE,
    D3DRS_EMISSIVEMATERIALSOURCE,
    D3DRS_SPECULARENABLE,
    D3DRS_POINTSIZE,
};

} // namespace

int transformSlot(D3DTRANSFORMSTATETYPE type) {
    if (type == D3DTS_WORLD) return 0;
    if (type == D3DTS_VIEW) return 1;
    if (type == D3DTS_PROJECTION) return 2;
    if (type >= D3DTS_TEXTURE0 && type < D3DTS_TEXTURE0 + 8) return 3 + int(type - D3DTS_TEXTURE0);
    return -1;
}

DeviceState DeviceState::defaults(bool zEnable, const D3DVIEWPORT9& viewport) {
    DeviceState s;
    auto& r = s.render;
    r[D3DRS_ZENABLE] = zEnable ? D3DZB_TRUE : D3DZB_FALSE;
    r[D3DRS_FILLMODE] = 3;  // solid
    r[D3DRS_SHADEMODE] = 2; // Gouraud
    r[D3DRS_ZWRITEENABLE] = 1;
    r[D3DRS_LASTPIXEL] = 1;
    r[D3DRS_SRCBLEND] = D3DBLEND_ONE;
    r[D3DRS_DESTBLEND] = D3DBLEND_ZERO;
    r[D3DRS_CULLMODE] = D3DCULL_CCW;
    r[D3DRS_ZFUNC] = D3DCMP_LESSEQUAL;
    r[D3DRS_ALPHAFUNC] = D3DCMP_ALWAYS;
    r[D3DRS_FOGSTART] = floatBits(0);
    r[D3DRS_FOGEND] = floatBits(1);
    r[D3DRS_FOGDENSITY] = floatBits(1);
    r[D3DRS_TEXTUREFACTOR] = 0xFFFFFFFFu;
    r[D3DRS_LIGHTING] = 1;
    r[D3DRS_COLORVERTEX] = 1;
    r[D3DRS_LOCALVIEWER] = 1;
    r[D3DRS_DIFFUSEMATERIALSOURCE] = 1;  // colour 1
    r[D3DRS_SPECULARMATERIALSOURCE] = 2; // colour 2
    r[D3DRS_POINTSIZE] = floatBits(1);
    r[D3DRS_COLORWRITEENABLE] = 0xF;
    r[D3DRS_BLENDOP] = 1; // add
    // Stencil states past the declared ones keep Direct3D's values so that a
    // block restores them faithfully.
    r[53] = r[54] = r[55] = 1; // keep
    r[56] = D3DCMP_ALWAYS;
    r[58] = r[59] = 0xFFFFFFFFu;
    for (UINT stage = 0; stage < kTextureStages; ++stage) {
        auto& t = s.stage[stage];
        t[D3DTSS_COLOROP] = stage == 0 ? D3DTOP_MODULATE : D3DTOP_DISABLE;
        t[D3DTSS_ALPHAOP] = stage == 0 ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE;
        t[D3DTSS_COLORARG1] = D3DTA_TEXTURE;
        t[D3DTSS_COLORARG2] = D3DTA_CURRENT;
        t[D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
        t[D3DTSS_ALPHAARG2] = D3DTA_CURRENT;
        t[D3DTSS_TEXCOORDINDEX] = stage;
        t[D3DTSS_COLORARG0] = D3DTA_CURRENT;
        t[D3DTSS_ALPHAARG0] = D3DTA_CURRENT;
        t[D3DTSS_RESULTARG] = D3DTA_CURRENT;
    }
    for (auto& sampler : s.sampler) {
        sampler[D3DSAMP_ADDRESSU] = sampler[D3DSAMP_ADDRESSV] = sampler[D3DSAMP_ADDRESSW] =
            D3DTADDRESS_WRAP;
        sampler[D3DSAMP_MAGFILTER] = sampler[D3DSAMP_MINFILTER] = D3DTEXF_POINT;
        sampler[D3DSAMP_MIPFILTER] = D3DTEXF_NONE;
        sampler[D3DSAMP_MAXANISOTROPY] = 1;
    }
    for (auto& transform : s.transforms) transform = identity();
    s.viewport = viewport;
    return s;
}

StateMask StateMask::of(D3DSTATEBLOCKTYPE type, const DeviceState& state) {
    StateMask mask;
    bool all = type == D3DSBT_ALL;
    if (all) {
        mask.render.set();
        for (auto& stage : mask.stage) stage.set();
        for (auto& sampler : mask.sampler) sampler.set();
        mask.transforms.set();
        mask.textures.set();
        mask.material = mask.viewport = mask.fvf = mask.stream = mask.indices = true;
    }
    if (all || type == D3DSBT_PIXELSTATE) {
        for (D3DRENDERSTATETYPE s : kPixelStates) mask.render.set(s);
        for (auto& stage : mask.stage) {
            stage.set();
            stage.reset(D3DTSS_TEXCOORDINDEX);
            stage.reset(D3DTSS_TEXTURETRANSFORMFLAGS);
        }
        for (auto& sampler : mask.sampler) sampler.set();
    }
    if (all || type == D3DSBT_VERTEXSTATE) {
        for (D3DRENDERSTATETYPE s : kVertexStates) mask.render.set(s);
        for (auto& stage : mask.stage) {
            stage.set(D3DTSS_TEXCOORDINDEX);
            stage.set(D3DTSS_TEXTURETRANSFORMFLAGS);
        }
        mask.fvf = true;
        // Vertex blocks hold the lights that exist when they are made.
        for (const auto& [index, slot] : state.lights) {
            mask.lights.insert(index);
            mask.lightEnables.insert(index);
        }
    }
    if (all) {
        for (const auto& [index, slot] : state.lights) {
            mask.lights.insert(index);
            mask.lightEnables.insert(index);
        }
    }
    return mask;
}

StateBlock::StateBlock(Device* device, StateMask mask) : device_(device), mask_(std::move(mask)) {}

StateBlock::~StateBlock() = default;

IUnknown* StateBlock::publicOwner() {
    return device_;
}

HRESULT StateBlock::Capture() {
    device_->recordState(mask_, state_);
    return D3D_OK;
}

HRESULT StateBlock::Apply() {
    device_->applyState(mask_, state_);
    return D3D_OK;
}

} // namespace d3d9
