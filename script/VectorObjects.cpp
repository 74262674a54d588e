// SPDX-License-Identifier: MIT
#include "script/VectorObjects.h"

#include "core/TableSqrt.h"
#include "script/SimpleObjects.h"

using namespace script_value;

namespace {
constexpr const char* kComponentNames[3] = {"x", "y", "z"};

template <int32_t N>
float squaredLength(const ScriptVector<N>& v) {
    float sum = v.c[0] * v.c[0];
    for (int32_t i = 1; i < N; ++i) sum = sum + v.c[i] * v.c[i];
    return sum;
}

template <int32_t N>
bool isZero(const ScriptVector<N>& v) {
    for (float component : v.c)
        if (component != 0.0f) return false;
    return true;
}
} // namespace

template <int32_t N>
ObjectVector<N>::ObjectVector() : ObjectExtended(kType) {
    for (int32_t i = 0; i < N; ++i) addMember(TypeFloat, kComponentNames[i], &storage.c[i]);
    addMemberMethod(makeShared<MethodNormalize>(this));
    addMemberMethod(makeShared<MethodLength>(this));
    addMemberMethod(makeShared<MethodIsNull>(this));
    addMemberMethod(makeShared<MethodSet>(this));
}

template <int32_t N>
void ObjectVector<N>::bind(void* memory) {
    value = memory ? static_cast<Vector*>(memory) : &storage;
    for (uint32_t i = 0; i < memberCount && i < uint32_t(N); ++i) member(i)->bind(&value->c[i]);
}

template <int32_t N>
void ObjectVector<N>::assign(ObjectBase& other) {
    if (other.typeId == kType && &other != this) *value = *static_cast<ObjectVector&>(other).value;
}

template <int32_t N>
void ObjectVector<N>::setElement(ObjectBase& other, int32_t index) {
    if (other.typeId == kType) {
        assign(other);
        return;
    }
    float component = 0.0f;
    Number number;
    if (readNumber(other, number) &&
        (number.type == TypeByte || number.type == TypeInt || number.type == TypeFloat))
        component = number.real;
    if (index >= 0 && index < N) value->c[index] = component;
}

template <int32_t N>
SharedPtr<Script::ObjectBase> ObjectVector<N>::add(ObjectBase& other) {
    if (other.typeId != kType) return {};
    const Vector& right = *static_cast<ObjectVector&>(other).value;
    SharedPtr<ObjectBase> made = createObject(kType);
    if (!made) return made;
    Vector& sum = *static_cast<ObjectVector&>(*made).value;
    for (int32_t i = 0; i < N; ++i) sum.c[i] = value->c[i] + right.c[i];
    return made;
}

template <int32_t N>
SharedPtr<Script::ObjectBase> ObjectVector<N>::sub(ObjectBase& other) {
    if (other.typeId != kType) return {};
    const Vector& right = *static_cast<ObjectVector&>(other).value;
    SharedPtr<ObjectBase> made = createObject(kType);
    if (!made) return made;
    Vector& difference = *static_cast<ObjectVector&>(*made).value;
    for (int32_t i = 0; i < N; ++i) difference.c[i] = value->c[i] - right.c[i];
    return made;
}

template <int32_t N>
SharedPtr<Script::ObjectBase> ObjectVector<N>::mul(ObjectBase& other) {
    SharedPtr<ObjectBase> made;
    if (other.typeId == TypeFloat) {
        // The float's own storage, not the memory it may be bound to.
        const float factor = static_cast<ObjectFloat&>(other).storage;
        made = createObject(kType);
        if (!made) return made;
        Vector& scaled = *static_cast<ObjectVector&>(*made).value;
        for (int32_t i = 0; i < N; ++i) scaled.c[i] = value->c[i] * factor;
        return made;
    }
    if (N == 3 && other.typeId == TypeVec3d) {
        const Vector& right = *static_cast<ObjectVector&>(other).value;
        float dot = value->c[0] * right.c[0];
        for (int32_t i = 1; i < N; ++i) dot = dot + value->c[i] * right.c[i];
        made = createObject(kType);
        if (!made) return made;
        Vector& product = *static_cast<ObjectVector&>(*made).value;
        for (float& component : product.c) component = dot;
    }
    return made;
}

template <int32_t N>
void ObjectVector<N>::print() {
    std::FILE* out = scriptOutput();
    std::fputc('(', out);
    for (int32_t i = 0; i < N; ++i) std::fprintf(out, i ? ",%g" : "%g", double(value->c[i]));
    std::fputc(')', out);
}

template <int32_t N>
SharedPtr<Script::Method> ObjectVector<N>::MethodSet::clone(SharedPtr<Script::Method>) {
    return makeShared<MethodSet>(this->owner);
}

template <int32_t N>
SharedPtr<Script::ObjectBase> ObjectVector<N>::MethodSet::execute() {
    SharedPtr<ObjectBase> arguments[N];
    bool complete = true;
    for (int32_t i = 0; i < N; ++i) {
        arguments[i] = this->readArgument(i);
        complete = complete && arguments[i];
    }
    if (complete && this->owner) {
        for (int32_t i = 0; i < N; ++i) {
            // Converted as a float takes them: reading an int's or a bool's
            // bytes as a float would give garbage or read past a bool.
            this->owner->value->c[i] = converted<ObjectFloat>(TypeFloat, *arguments[i]);
        }
    }
    for (SharedPtr<ObjectBase>& argument : arguments) argument.recycle();
    return {};
}

template <int32_t N>
SharedPtr<Script::Method> ObjectVector<N>::MethodLength::clone(SharedPtr<Script::Method>) {
    return makeShared<MethodLength>(this->owner);
}

template <int32_t N>
SharedPtr<Script::ObjectBase> ObjectVector<N>::MethodLength::execute() {
    const float sum = this->owner ? squaredLength(*this->owner->value) : 0.0f;
    return makeFloat(sum == 0.0f ? 0.0f : tableSqrt(sum));
}

template <int32_t N>
SharedPtr<Script::Method> ObjectVector<N>::MethodNormalize::clone(SharedPtr<Script::Method>) {
    return makeShared<MethodNormalize>(this->owner);
}

template <int32_t N>
SharedPtr<Script::ObjectBase> ObjectVector<N>::MethodNormalize::execute() {
    if (!this->owner) return {};
    Vector& v = *this->owner->value;
    if (!isZero(v)) {
        const float scale = 1.0f / tableSqrt(squaredLength(v));
        for (float& component : v.c) component = component * scale;
    }
    return this->owner->self();
}

template <int32_t N>
SharedPtr<Script::Method> ObjectVector<N>::MethodIsNull::clone(SharedPtr<Script::Method>) {
    return makeShared<MethodIsNull>(this->owner);
}

template <int32_t N>
SharedPtr<Script::ObjectBase> ObjectVector<N>::MethodIsNull::execute() {
    return makeBool(this->owner && isZero(*this->owner->value));
}

template class ObjectVector<2>;
template class ObjectVector<3>;
