// SPDX-License-Identifier: MIT
// The single-valued script types: void, bool, byte, int8, int, float and
// String. Each keeps its value in `storage` until bind() points `value` at
// engine memory (String cannot be bound). The conversion rules are the
// language's own and deliberately asymmetric: an int takes a float but not
// a byte, a float takes an int8 but not a byte.
#pragma once

#include <cstdint>

#include "script/ObjectBase.h"

template <class T, int32_t Id>
class SimpleObject : public Script::ObjectBase {
public:
    T storage{};
    T* value = &storage;

    SimpleObject() : ObjectBase(Id) {}
    void bind(void* memory) override { value = memory ? static_cast<T*>(memory) : &storage; }
};

class ObjectVoid : public Script::ObjectBase {
public:
    ObjectVoid() : ObjectBase(TypeVoid) {}
    void bind(void*) override {}
    void assign(ObjectBase&) override {}
    void setElement(ObjectBase&, int32_t) override {}
    void print() override {}
    void reset() override {}
};

class ObjectBool : public SimpleObject<uint8_t, TypeBool> {
public:
    void assign(ObjectBase& other) override;
    SharedPtr<ObjectBase> mul(ObjectBase& other) override;
    SharedPtr<ObjectBase> logicalOr(ObjectBase& other) override;
    SharedPtr<ObjectBase> logicalAnd(ObjectBase& other) override;
    void print() override;
    void reset() override { storage = 0; }
};

class ObjectByte : public SimpleObject<uint8_t, TypeByte> {
public:
    void assign(ObjectBase& other) override;
    void addAssign(ObjectBase& other) override;
    void subAssign(ObjectBase& other) override;
    SharedPtr<ObjectBase> add(ObjectBase& other) override;
    SharedPtr<ObjectBase> sub(ObjectBase& other) override;
    SharedPtr<ObjectBase> mul(ObjectBase& other) override;
    SharedPtr<ObjectBase> div(ObjectBase& other) override;
    void print() override;
    void reset() override { storage = 0; }
};

class ObjectInt8 : public SimpleObject<int8_t, TypeInt8> {
public:
    void assign(ObjectBase& other) override;
    SharedPtr<ObjectBase> add(ObjectBase& other) override;
    SharedPtr<ObjectBase> sub(ObjectBase& other) override;
    SharedPtr<ObjectBase> mul(ObjectBase& other) override;
    SharedPtr<ObjectBase> div(ObjectBase& other) override;
    SharedPtr<ObjectBase> logicalOr(ObjectBase& other) override;
    SharedPtr<ObjectBase> logicalAnd(ObjectBase& other) override;
    void print() override;
    void reset() override { storage = 0; }
};

class ObjectInt : public SimpleObject<int32_t, TypeInt> {
public:
    void assign(ObjectBase& other) override;
    SharedPtr<ObjectBase> add(ObjectBase& other) override;
    SharedPtr<ObjectBase> sub(ObjectBase& other) override;
    SharedPtr<ObjectBase> mul(ObjectBase& other) override;
    SharedPtr<ObjectBase> div(ObjectBase& other) override;
    SharedPtr<ObjectBase> logicalOr(ObjectBase& other) override;
    SharedPtr<ObjectBase> logicalAnd(ObjectBase& other) override;
    void print() override;
    void reset() override { storage = 0; }
};

class ObjectFloat : public SimpleObject<float, TypeFloat> {
public:
    void assign(ObjectBase& other) override;
    void addAssign(ObjectBase& other) override;
    void subAssign(ObjectBase& other) override;
    SharedPtr<ObjectBase> add(ObjectBase& other) override;
    SharedPtr<ObjectBase> sub(ObjectBase& other) override;
    SharedPtr<ObjectBase> mul(ObjectBase& other) override;
    SharedPtr<ObjectBase> div(ObjectBase& other) override;
    void print() override;
    // Through `value`: a bound float clears the engine's float.
    void reset() override { *value = 0.0f; }
    void sine(ObjectBase& other) override;
    void cosine(ObjectBase& other) override;
};

class ObjectString : public Script::ObjectBase {
public:
    static constexpr int32_t kCapacity = 512; // 511 characters and the zero

    char text[kCapacity] = {};

    ObjectString() : ObjectBase(TypeString) {}
    void bind(void*) override {}
    void assign(ObjectBase& other) override;
    // Appends the other text to this one in place, cut at the capacity.
    SharedPtr<ObjectBase> add(ObjectBase& other) override;
    void print() override;
    void reset() override { text[0] = '\0'; }
};

// Conversions shared by the value types.
namespace script_value {

// Toward zero; NaN and values outside the int range give INT32_MIN, the
// processor's own answer, instead of undefined behaviour.
int32_t truncate(float number);
inline uint8_t lowByte(int32_t number) {
    return uint8_t(uint32_t(number) & 0xFFu);
}

// A bool, byte, int8, int or float value read for a conversion: its type,
// its value as an integer (floats truncated) and as a float.
struct Number {
    int32_t type = 0;
    int32_t integer = 0;
    float real = 0.0f;
};
// False, leaving `number` alone, for the other types.
bool readNumber(Script::ObjectBase& other, Number& number);
// Truth as the logical operations and bool conversion see it: greater
// than zero.
bool isTrue(const Number& number);
// The byte an int, a byte or a float source gives (the int's low byte, the
// truncated float's low byte); false for other types.
bool readByte(Script::ObjectBase& other, uint8_t& byte);

// What a new value of `type` holds once `source` is assigned to it: the
// language's own conversion, for methods that hand plain values onward.
template <class Object>
auto converted(int32_t type, Script::ObjectBase& source) {
    SharedPtr<Script::ObjectBase> made = createObject(type);
    made->assign(source);
    const auto value = *static_cast<Object&>(*made).value;
    made.recycle();
    return value;
}

SharedPtr<Script::ObjectBase> makeBool(bool truth);
SharedPtr<Script::ObjectBase> makeByte(uint8_t number);
SharedPtr<Script::ObjectBase> makeInt8(int8_t number);
SharedPtr<Script::ObjectBase> makeInt(int32_t number);
SharedPtr<Script::ObjectBase> makeFloat(float number);

} // namespace script_value
