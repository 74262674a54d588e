// SPDX-License-Identifier: MIT
// vec2d and vec3d: two or three floats with members "x", "y" (and "z") that
// read and write the vector itself, and the member methods "normalize",
// "length", "isNull" and "set". Bound to an engine vector (a camera's
// position), members and methods reach the engine's floats.
#pragma once

#include <cstdint>

#include "script/Method.h"
#include "script/ObjectBase.h"

template <int32_t N>
struct ScriptVector {
    float c[N] = {};
};

template <int32_t N>
class ObjectVector : public Script::ObjectExtended {
public:
    using Vector = ScriptVector<N>;
    static constexpr int32_t kType = N == 2 ? TypeVec2d : TypeVec3d;

    Vector storage{};
    Vector* value = &storage;

    // The member methods; each reaches its vector through `owner`.
    class MethodSet;
    class MethodLength;
    class MethodNormalize;
    class MethodIsNull;

    ObjectVector();
    void bind(void* memory) override;
    void assign(ObjectBase& other) override;
    void setElement(ObjectBase& other, int32_t index) override;
    SharedPtr<ObjectBase> add(ObjectBase& other) override;
    SharedPtr<ObjectBase> sub(ObjectBase& other) override;
    SharedPtr<ObjectBase> mul(ObjectBase& other) override;
    void print() override;
    void reset() override { storage = Vector{}; }
};

using ObjectVec2d = ObjectVector<2>;
using ObjectVec3d = ObjectVector<3>;

// Shared by the four member method classes: kind 0, a clone is a new
// method of the same class on the same owner.
template <int32_t N>
class VectorMemberMethod : public Script::Method {
public:
    ObjectVector<N>* owner;

    VectorMemberMethod(const char* name, ObjectVector<N>* owner) : Method(name, {}), owner(owner) {}
};

template <int32_t N>
class ObjectVector<N>::MethodSet : public VectorMemberMethod<N> {
public:
    explicit MethodSet(ObjectVector* owner) : VectorMemberMethod<N>("set", owner) {}
    SharedPtr<Script::Method> clone(SharedPtr<Script::Method> source) override;
    // Takes all N arguments, converted as a float assignment converts them,
    // or changes nothing when one is missing.
    SharedPtr<Script::ObjectBase> execute() override;
};

template <int32_t N>
class ObjectVector<N>::MethodLength : public VectorMemberMethod<N> {
public:
    explicit MethodLength(ObjectVector* owner) : VectorMemberMethod<N>("length", owner) {}
    SharedPtr<Script::Method> clone(SharedPtr<Script::Method> source) override;
    SharedPtr<Script::ObjectBase> execute() override;
};

template <int32_t N>
class ObjectVector<N>::MethodNormalize : public VectorMemberMethod<N> {
public:
    explicit MethodNormalize(ObjectVector* owner) : VectorMemberMethod<N>("normalize", owner) {}
    SharedPtr<Script::Method> clone(SharedPtr<Script::Method> source) override;
    SharedPtr<Script::ObjectBase> execute() override;
};

template <int32_t N>
class ObjectVector<N>::MethodIsNull : public VectorMemberMethod<N> {
public:
    explicit MethodIsNull(ObjectVector* owner) : VectorMemberMethod<N>("isNull", owner) {}
    SharedPtr<Script::Method> clone(SharedPtr<Script::Method> source) override;
    SharedPtr<Script::ObjectBase> execute() override;
};

extern template class ObjectVector<2>;
extern template class ObjectVector<3>;
