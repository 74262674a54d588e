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

// Copies the masked parts of `from` into `to`.
void copyMasked(const StateMask& mask, const DeviceState& from, DeviceState& to);

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
