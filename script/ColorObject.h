// SPDX-License-Identifier: MIT
// Color: a 32-bit colour whose bytes lie in memory as blue, green, red,
// alpha, with byte members "a", "r", "g" and "b" on those bytes. Colours take
// part in no arithmetic.
#pragma once

#include <cstdint>

#include "script/ObjectBase.h"

class ObjectColor : public Script::ObjectExtended {
public:
    uint32_t storage = 0;
    uint32_t* value = &storage;

    ObjectColor();
    void bind(void* memory) override;
    void assign(ObjectBase& other) override;
    // Index 0 a, 1 r, 2 g, 3 b.
    void setElement(ObjectBase& other, int32_t index) override;
    void print() override;
    void reset() override { storage = 0; }

    // The byte of `value` that holds component `index` (a, r, g, b).
    uint8_t* component(int32_t index);
};
