// SPDX-License-Identifier: MIT
// The counted handle every script method and value travels in. The counter
// lives beside the object, so handles to the same object share it; the last
// release deletes the object. An empty handle carries no counter. Objects
// derived from Script::Base also remember their counter, so an operation can
// hand out a further handle on itself without starting a second count (two
// counts on one object would delete it twice). Not synchronised: scripts run
// on one thread.
#pragma once

#include <cstdint>
#include <new>
#include <utility>

template <class T>
class SharedPtr {
public:
    T* object = nullptr;
    uint32_t* refCount = nullptr;

    SharedPtr() = default;
    // Adopts a new object; it must not be in another handle already.
    explicit SharedPtr(T* made) : object(made) {
        if (!made) return;
        refCount = new uint32_t(1);
        if constexpr (requires { made->handleCount; }) made->handleCount = refCount;
    }
    // A further handle on an object that is already counted.
    SharedPtr(T* shared, uint32_t* count) : object(shared), refCount(count) {
        if (refCount) ++*refCount;
    }
    SharedPtr(const SharedPtr& other) : object(other.object), refCount(other.refCount) {
        if (refCount) ++*refCount;
    }
    template <class U>
    SharedPtr(const SharedPtr<U>& other) : object(other.object), refCount(other.refCount) {
        if (refCount) ++*refCount;
    }
    SharedPtr(SharedPtr&& other) noexcept
        : object(std::exchange(other.object, nullptr)),
          refCount(std::exchange(other.refCount, nullptr)) {}
    template <class U>
    SharedPtr(SharedPtr<U>&& other) noexcept
        : object(std::exchange(other.object, nullptr)),
          refCount(std::exchange(other.refCount, nullptr)) {}
    ~SharedPtr() { release(); }

    SharedPtr& operator=(const SharedPtr& other) {
        if (this == &other || refCount == other.refCount) return *this;
        SharedPtr copy(other);
        release();
        object = std::exchange(copy.object, nullptr);
        refCount = std::exchange(copy.refCount, nullptr);
        return *this;
    }
    SharedPtr& operator=(SharedPtr&& other) noexcept {
        if (this == &other) return *this;
        release();
        object = std::exchange(other.object, nullptr);
        refCount = std::exchange(other.refCount, nullptr);
        return *this;
    }

    void release() {
        T* held = std::exchange(object, nullptr);
        uint32_t* count = std::exchange(refCount, nullptr);
        if (!count || --*count != 0) return;
        delete count;
        delete held;
    }

    // Hands the object to its own dispose() instead of deleting it, when this
    // is the only handle (values go back to their type's pool); otherwise a
    // plain release.
    void recycle() {
        if (!refCount || *refCount != 1 || !object) {
            release();
            return;
        }
        T* held = std::exchange(object, nullptr);
        delete std::exchange(refCount, nullptr);
        if constexpr (requires { held->handleCount; }) held->handleCount = nullptr;
        held->dispose();
    }

    bool empty() const { return object == nullptr; }
    T* operator->() const { return object; }
    T& operator*() const { return *object; }
    explicit operator bool() const { return object != nullptr; }
};

// Makes a handle for a new object of type T.
template <class T, class... Args>
SharedPtr<T> makeShared(Args&&... args) {
    return SharedPtr<T>(new T(std::forward<Args>(args)...));
}
