// SPDX-License-Identifier: MIT
// Pools that sound objects come from: blocks of BLOCK objects made on
// demand, a process-wide free list of released objects, and a use count per
// block. Objects stay constructed while pooled (init() readies them again)
// and are destroyed with their blocks at exit. Main thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <new>
#include <vector>

template <class T, int32_t BLOCK>
class MemoryFactory {
public:
    struct Block {
        alignas(T) unsigned char storage[BLOCK][sizeof(T)];
        int32_t constructed = 0;
        uint32_t useCount = 0;

        T* at(int32_t index) { return std::launder(reinterpret_cast<T*>(storage[index])); }
        ~Block() {
            for (int32_t i = 0; i < constructed; ++i) at(i)->~T();
        }
    };

    // A pooled object (the most recently released first) or a new one; null
    // when memory runs out. The caller marks it in use.
    static T* take() {
        Pools& pools = all();
        if (!pools.freeList.empty()) {
            T* object = pools.freeList.back();
            pools.freeList.pop_back();
            ++object->poolBlock->useCount;
            return object;
        }
        Block* block = pools.blocks.empty() ? nullptr : pools.blocks.back().get();
        if (!block || block->constructed == BLOCK) {
            block = new (std::nothrow) Block;
            if (!block) return nullptr;
            pools.blocks.emplace_back(block);
        }
        T* object = new (block->storage[block->constructed]) T;
        ++block->constructed;
        object->poolBlock = block;
        ++block->useCount;
        return object;
    }

    static void giveBack(T* object) {
        all().freeList.push_back(object);
        --object->poolBlock->useCount;
    }

    static uint32_t freeCount() { return uint32_t(all().freeList.size()); }

private:
    struct Pools {
        std::vector<std::unique_ptr<Block>> blocks;
        std::vector<T*> freeList;
    };
    static Pools& all() {
        static Pools pools;
        return pools;
    }
};
