// SPDX-License-Identifier: MIT
#include "script/MatrixObject.h"

#include "script/VectorObjects.h"

namespace {
constexpr const char* kRowNames[4] = {"v1", "v2", "v3", "v4"};
}

ObjectMatrix3d::ObjectMatrix3d() : ObjectExtended(TypeMatrix3d) {
    for (int32_t row = 0; row < 4; ++row) addMember(TypeVec3d, kRowNames[row], &storage.m[row * 4]);
}

void ObjectMatrix3d::bind(void* memory) {
    value = memory ? static_cast<ScriptMatrix*>(memory) : &storage;
    for (uint32_t row = 0; row < memberCount && row < 4; ++row)
        member(row)->bind(&value->m[row * 4]);
}

void ObjectMatrix3d::assign(ObjectBase& other) {
    if (other.typeId == TypeMatrix3d && &other != this)
        *value = *static_cast<ObjectMatrix3d&>(other).value;
}

void ObjectMatrix3d::setElement(ObjectBase& other, int32_t index) {
    if (other.typeId == TypeMatrix3d) {
        assign(other);
        return;
    }
    if (index < 0 || index > 3) return;
    float* row = &value->m[index * 4];
    if (other.typeId == TypeVec3d) {
        const ScriptVector<3>& v = *static_cast<ObjectVec3d&>(other).value;
        for (int32_t i = 0; i < 3; ++i) row[i] = v.c[i];
    } else {
        for (int32_t i = 0; i < 3; ++i) row[i] = 0.0f;
    }
}

SharedPtr<Script::ObjectBase> ObjectMatrix3d::add(ObjectBase&) {
    return {};
}
SharedPtr<Script::ObjectBase> ObjectMatrix3d::sub(ObjectBase&) {
    return {};
}
SharedPtr<Script::ObjectBase> ObjectMatrix3d::mul(ObjectBase&) {
    return {};
}

void ObjectMatrix3d::print() {
    std::fprintf(scriptOutput(), "(%g,%g,%g)", double(value->m[0]), double(value->m[1]),
                 double(value->m[2]));
}
