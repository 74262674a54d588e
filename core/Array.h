// SPDX-License-Identifier: MIT
// The engine's element sequences: one abstract interface and three kinds of
// storage behind it. DynArray grows in whole steps chosen per use, so a vertex
// list filled one element at a time reallocates once per step, not per
// element; ArrayHeap is a block fixed at creation; ArrayStack lives inline.
// None of them counts used elements: owners keep that count beside the array.
// Not synchronised; an element address lives until the next growth.
#pragma once

#include <cassert>
#include <climits>
#include <cstdint>
#include <cstring>
#include <new>
#include <type_traits>
#include <utility>

#include "core/Log.h"

// Code that only reads or fills a sequence takes this and does not care which
// storage it has. The destructor is protected and non-virtual: nobody deletes
// an array through the interface, and the operation slots stay these four.
template <class DATA>
class Array {
public:
    virtual DATA* get(int32_t index) = 0;
    // Null when there is no storage.
    virtual DATA* data() = 0;
    virtual int32_t size() = 0;
    // Hands the storage to the caller, who frees it with delete[] (an
    // ArrayStack's inline storage is only lent).
    virtual DATA* release() = 0;

protected:
    Array() = default;
    Array(const Array&) = default;
    Array& operator=(const Array&) = default;
    ~Array() = default;
};

template <class DATA>
class DynArray : public Array<DATA> {
public:
    // Non-zero for element types whose assignment must run when they move,
    // e.g. records holding pointers into themselves.
    int32_t elementCopy;
    int32_t step;
    int32_t blocks = 0;
    int32_t capacity = 0;
    DATA* items = nullptr;

    DynArray(int32_t elementCopy, int32_t step) : elementCopy(elementCopy), step(step) {
        // reserve() divides by the step.
        assert(step > 0 && "DynArray needs a positive growth step");
    }
    ~DynArray() {
        delete[] items;
        items = nullptr;
        blocks = 0;
        capacity = 0;
    }
    DynArray(const DynArray&) = delete;
    DynArray& operator=(const DynArray&) = delete;

    // Null, logged, when the index cannot be held: a negative one, or one
    // the storage could not grow to (refused memory, or past the 32-bit
    // range). A caller writing through it then stops at once instead of
    // writing past the storage.
    DATA* get(int32_t index) override {
        if (index >= capacity && index < INT32_MAX) reserve(index + 1);
        if (index < 0 || index >= capacity) {
            log(u"Error in DynArray<DATA>::get(): index %i is outside the storage\n", index);
            return nullptr;
        }
        return items + index;
    }
    DATA* data() override { return items; }
    int32_t size() override { return capacity; }
    DATA* release() override {
        DATA* handed = items;
        items = nullptr;
        blocks = 0;
        capacity = 0;
        return handed;
    }

    // Grows to the fewest whole steps holding `count`; never shrinks.
    void reserve(int32_t count) {
        if (count <= capacity) return;
        adjust(int32_t((int64_t(count) + step - 1) / step));
    }

    // Replaces the storage by blockCount steps, keeping the leading elements
    // that fit. On failure the old storage, blocks and capacity stay.
    void adjust(int32_t blockCount) {
        assert(blockCount >= 0 && "DynArray::adjust needs a block count of 0 or more");
        const int64_t wanted = int64_t(blockCount) * step;
        DATA* fresh = nullptr;
        // A capacity past the 32-bit index range is as unobtainable as memory
        // the allocator refuses; both leave the array as it was.
        if (wanted <= INT32_MAX && wanted > 0) fresh = new (std::nothrow) DATA[size_t(wanted)];
        if (wanted != 0 && !fresh) {
            log(u"Error in DynArray<DATA>::adjust(): the allocated array pointer is NULL\n");
            return;
        }
        const int32_t newCapacity = int32_t(wanted);
        if (items) {
            // Shrinking to nothing has nothing to keep.
            if (fresh) moveInto(fresh, newCapacity < capacity ? newCapacity : capacity);
            delete[] items;
        }
        items = fresh;
        blocks = blockCount;
        capacity = newCapacity;
    }

private:
    void moveInto(DATA* target, int32_t count) {
        if (elementCopy) {
            for (int32_t i = 0; i < count; ++i) target[i] = items[i];
        } else if constexpr (std::is_trivially_copyable_v<DATA>) {
            if (count > 0)
                std::memcpy(static_cast<void*>(target), items, size_t(count) * sizeof(DATA));
        } else {
            // Copying the bytes of an object that owns resources (a String's
            // buffer) over a constructed element would leak the element's own
            // buffer, and the old element's destructor would then free the
            // buffer the new one points at. Move-assignment is the byte move
            // made safe: the new element takes the resources, the old lets go.
            for (int32_t i = 0; i < count; ++i) target[i] = std::move(items[i]);
        }
    }
};

template <class DATA>
class ArrayHeap : public Array<DATA> {
public:
    DATA* items = nullptr;
    int32_t count = 0;

    ArrayHeap() = default;
    explicit ArrayHeap(int32_t count) : count(count) {
        assert(count >= 0 && "ArrayHeap needs a count of 0 or more");
        if (count > 0)
            items = new DATA[size_t(count)];
        else
            this->count = 0;
    }
    ~ArrayHeap() { freeItems(); }
    ArrayHeap(const ArrayHeap&) = delete;
    ArrayHeap& operator=(const ArrayHeap&) = delete;
    // Owners replace a heap block wholesale (a new key filter), so it moves.
    ArrayHeap(ArrayHeap&& other) noexcept : items(other.items), count(other.count) {
        other.items = nullptr;
        other.count = 0;
    }
    ArrayHeap& operator=(ArrayHeap&& other) noexcept {
        if (this != &other) {
            freeItems();
            items = std::exchange(other.items, nullptr);
            count = std::exchange(other.count, 0);
        }
        return *this;
    }

    DATA* get(int32_t index) override { return items + index; }
    DATA* data() override { return items; }
    int32_t size() override { return count; }
    DATA* release() override {
        count = 0;
        return std::exchange(items, nullptr);
    }

private:
    void freeItems() {
        delete[] items;
        items = nullptr;
        count = 0;
    }
};

template <class DATA, int32_t N>
class ArrayStack : public Array<DATA> {
public:
    DATA items[N];

    DATA* get(int32_t index) override { return items + index; }
    DATA* data() override { return items; }
    int32_t size() override { return N; }
    DATA* release() override { return items; }
};
