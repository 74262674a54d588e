// SPDX-License-Identifier: MIT
// Reference counting of the runtime's objects. The public count is what
// AddRef and Release move, as on Windows; the device and its state blocks
// hold objects by an internal count instead, so that a texture still bound
// to a stage lives on after the engine's last Release without that binding
// showing in the engine's counts (Reset only minds public references).
#pragma once

#include <cassert>
#include <cstdint>
#include <utility>

#include "d3d9/D3D9.h"

namespace d3d9 {

class Device;

class Counted {
public:
    Counted() = default;
    Counted(const Counted&) = delete;
    Counted& operator=(const Counted&) = delete;
    virtual ~Counted() = default;

    // Virtual so that a texture's level surfaces can hand both counts to
    // the texture that owns them.
    virtual void grab() { ++internal_; }
    // Out of line: inlined into a holder, GCC 12 guesses the dynamic type
    // and warns of deleting a base subobject that the virtual destructor
    // deletes correctly.
    virtual void drop();
    uint32_t publicCount() const { return public_; }

protected:
    uint32_t addPublic() {
        if (public_++ == 0) {
            if (IUnknown* owner = publicOwner()) owner->AddRef();
        }
        return public_;
    }
    uint32_t releasePublic() {
        assert(public_ > 0 && "Release without a reference");
        uint32_t left = --public_;
        if (left == 0) {
            // The owner goes last: this object may unregister from it as it dies.
            IUnknown* owner = publicOwner();
            if (internal_ == 0) delete this;
            if (owner) owner->Release();
        }
        return left;
    }
    // What the object holds while the engine holds it: resources keep their
    // device alive, as Direct3D's resources do.
    virtual IUnknown* publicOwner() { return nullptr; }

private:
    uint32_t public_ = 0;
    uint32_t internal_ = 0;
};

// An internal reference.
template <class T>
class Held {
public:
    Held() = default;
    explicit Held(T* object) : object_(object) {
        if (object_) object_->grab();
    }
    Held(const Held& other) : Held(other.object_) {}
    Held(Held&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
    Held& operator=(Held other) {
        std::swap(object_, other.object_);
        return *this;
    }
    ~Held() {
        if (object_) object_->drop();
    }
    void reset(T* object = nullptr) { *this = Held(object); }
    T* get() const { return object_; }
    T* operator->() const { return object_; }
    explicit operator bool() const { return object_ != nullptr; }
    bool operator==(const Held& other) const { return object_ == other.object_; }

private:
    T* object_ = nullptr;
};

// The part every resource shares: its device, its pool, and its entry in the
// device's list, which Reset walks for default-pool objects still in use.
class ResourceCore : public Counted {
public:
    ResourceCore(Device* device, D3DPOOL pool, bool listed = true);
    ~ResourceCore() override;

    Device* device() const { return device_; }
    D3DPOOL pool() const { return pool_; }
    // Whether this object stops Reset: a default-pool object someone holds.
    virtual bool blocksReset() const { return pool_ == D3DPOOL_DEFAULT && publicCount() > 0; }

protected:
    IUnknown* publicOwner() override;
    HRESULT getDevice(IDirect3DDevice9** device);

private:
    Device* device_;
    D3DPOOL pool_;
    bool listed_;
};

} // namespace d3d9
