// SPDX-License-Identifier: MIT
// Matrix3d: 4 × 4 floats row after row, with vec3d members "v1" … "v4" on
// the first three floats of each row. Matrices add, subtract and multiply
// to nothing: those give an empty handle.
#pragma once

#include <cstdint>

#include "script/ObjectBase.h"

struct ScriptMatrix {
    float m[16] = {1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f,
                   0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f};
};

class ObjectMatrix3d : public Script::ObjectExtended {
public:
    // A new matrix is the identity, as reset() leaves a recycled one, so a
    // value does not depend on whether the pool had one.
    ScriptMatrix storage{};
    ScriptMatrix* value = &storage;

    ObjectMatrix3d();
    void bind(void* memory) override;
    void assign(ObjectBase& other) override;
    // A vec3d sets the first three floats of row `index` (0 to 3).
    void setElement(ObjectBase& other, int32_t index) override;
    SharedPtr<ObjectBase> add(ObjectBase& other) override;
    SharedPtr<ObjectBase> sub(ObjectBase& other) override;
    SharedPtr<ObjectBase> mul(ObjectBase& other) override;
    // The first row's first three floats, as a vec3d prints.
    void print() override;
    void reset() override { storage = ScriptMatrix{}; }
};
