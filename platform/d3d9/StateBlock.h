// SPDX-License-Identifier: MIT
// Stands in for IDirect3DStateBlock9, and holds the fixed-function state the
// device keeps: render, texture-stage and sampler states, transforms, the
// material, lights, the viewport and the bound textures and buffers.
//  [x] D3DSBT_ALL, D3DSBT_PIXELSTATE, D3DSBT_VERTEXSTATE and recorded blocks
//      (between BeginStateBlock and EndStateBlock nothing reaches the device)
//  [x] Capture refreshes only what the block holds, Apply sets it again
#pragma once

#include <array>
#include <bitset>
#include <map>
#include <set>

#include "d3d9/Buffers.h"
#include "d3d9/Object.h"
#include "d3d9/Texture.h"

namespace d3d9 {

// Transforms by slot: world, view, projection, then texture 0..7.
inline constexpr size_t kTransformSlots = 11;
int transformSlot(D3DTRANSFORMSTATETYPE type); // -1 for transforms not kept

struct LightSlot {
    D3DLIGHT9 light;
    bool enabled = false;
};

struct DeviceState {
    std::array<DWORD, kRenderStateCount> render{};
    std::array<std::array<DWORD, kTextureStageStateCount>, kTextureStages> stage{};
    std::array<std::array<DWORD, kSamplerStateCount>, kSamplers> sampler{};
    std::array<D3DMATRIX, kTransformSlots> transforms{};
    D3DMATERIAL9 material;
    std::map<DWORD, LightSlot> lights;
    D3DVIEWPORT9 viewport;
    std::array<Held<TextureCore>, kTextureStages> textures;
    DWORD fvf = 0;
    Held<VertexBuffer> stream;
    UINT streamOffset = 0;
    UINT streamStride = 0;
    Held<IndexBuffer> indices;

    // Direct3D's start-up values; depth testing is on when the device was
    // made with an automatic depth buffer.
    static DeviceState defaults(bool zEnable, const D3DVIEWPORT9& viewport);
};

// Which parts of a DeviceState a block holds.
struct StateMask {
    std::bitset<kRenderStateCount> render;
    std::array<std::bitset<kTextureStageStateCount>, kTextureStages> stage;
    std::array<std::bitset<kSamplerStateCount>, kSamplers> sampler;
    std::bitset<kTransformSlots> transforms;
    std::set<DWORD> lights;       // their parameters
    std::set<DWORD> lightEnables; // their on/off switch
    std::bitset<kTextureStages> textures;
    bool material = false, viewport = false, fvf = false, stream = false, indices = false;

    static StateMask of(D3DSTATEBLOCKTYPE type, const DeviceState& state);
};

// Calls `walker` for each state the mask selects, in one fixed order, so
// that copying a block and applying one differ only in what they do with
// each state. The walker has render(i), stage(s, i), sampler(s, i),
// transform(slot), material(), viewport(), light(index), lightEnable(index),
// texture(s), fvf(), stream() and indices().
template <class Walker>
void walkMask(const StateMask& mask, Walker& walker) {
    for (UINT i = 0; i < kRenderStateCount; ++i)
        if (mask.render.test(i)) walker.render(i);
    for (UINT s = 0; s < kTextureStages; ++s)
        for (UINT i = 0; i < kTextureStageStateCount; ++i)
            if (mask.stage[s].test(i)) walker.stage(s, i);
    for (UINT s = 0; s < kSamplers; ++s)
        for (UINT i = 0; i < kSamplerStateCount; ++i)
            if (mask.sampler[s].test(i)) walker.sampler(s, i);
    for (size_t slot = 0; slot < kTransformSlots; ++slot)
        if (mask.transforms.test(slot)) walker.transform(slot);
    if (mask.material) walker.material();
    if (mask.viewport) walker.viewport();
    for (DWORD index : mask.lights) walker.light(index);
    for (DWORD index : mask.lightEnables) walker.lightEnable(index);
    for (UINT s = 0; s < kTextureStages; ++s)
        if (mask.textures.test(s)) walker.texture(s);
    if (mask.fvf) walker.fvf();
    if (mask.stream) walker.stream();
    if (mask.indices) walker.indices();
}

// Copies each selected state from one DeviceState to another.
struct MaskedCopy {
    const DeviceState& from;
    DeviceState& to;

    void render(UINT i) { to.render[i] = from.render[i]; }
    void stage(UINT s, UINT i) { to.stage[s][i] = from.stage[s][i]; }
    void sampler(UINT s, UINT i) { to.sampler[s][i] = from.sampler[s][i]; }
    void transform(size_t slot) { to.transforms[slot] = from.transforms[slot]; }
    void material() { to.material = from.material; }
    void viewport() { to.viewport = from.viewport; }
    void light(DWORD index) {
        auto found = from.lights.find(index);
        if (found != from.lights.end()) to.lights[index].light = found->second.light;
    }
    void lightEnable(DWORD index) {
        auto found = from.lights.find(index);
        to.lights[index].enabled = found != from.lights.end() && found->second.enabled;
    }
    void texture(UINT s) { to.textures[s] = from.textures[s]; }
    void fvf() { to.fvf = from.fvf; }
    void stream() {
        to.stream = from.stream;
        to.streamOffset = from.streamOffset;
        to.streamStride = from.streamStride;
    }
    void indices() { to.indices = from.indices; }
};

inline void copyMasked(const StateMask& mask, const DeviceState& from, DeviceState& to) {
    MaskedCopy copy{from, to};
    walkMask(mask, copy);
}

class StateBlock final : public IDirect3DStateBlock9, public Counted {
public:
    StateBlock(Device* device, StateMask mask);
    ~StateBlock() override;
    uint32_t AddRef() override { return addPublic(); }
    uint32_t Release() override { return releasePublic(); }
    HRESULT Capture() override;
    HRESULT Apply() override;

    DeviceState& state() { return state_; }

private:
    IUnknown* publicOwner() override;

    Device* device_;
    StateMask mask_;
    DeviceState state_;
};

} // namespace d3d9
