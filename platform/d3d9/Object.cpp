// SPDX-License-Identifier: MIT
// The device side of every resource: its place in the device's list and the
// device reference a held resource keeps.
#include "d3d9/Object.h"

#include "d3d9/Device.h"

namespace d3d9 {

void Counted::drop() {
    assert(internal_ > 0 && "internal reference released twice");
    if (--internal_ == 0 && public_ == 0) delete this;
}

ResourceCore::ResourceCore(Device* device, D3DPOOL pool, bool listed)
    : device_(device), pool_(pool), listed_(listed) {
    if (listed_) device_->addResource(this);
}

ResourceCore::~ResourceCore() {
    if (listed_) device_->removeResource(this);
}

IUnknown* ResourceCore::publicOwner() {
    return device_;
}

HRESULT ResourceCore::getDevice(IDirect3DDevice9** device) {
    if (!device) return D3DERR_INVALIDCALL;
    device_->AddRef();
    *device = device_;
    return D3D_OK;
}

} // namespace d3d9
