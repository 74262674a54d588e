// SPDX-License-Identifier: MIT
#include "script/SimpleObjects.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace script_value {

int32_t truncate(float number) {
    if (!(number > -2147483904.0f && number < 2147483648.0f)) return INT32_MIN;
    return int32_t(number);
}

bool readNumber(Script::ObjectBase& other, Number& number) {
    switch (other.typeId) {
    case TypeBool: {
        const uint8_t truth = *static_cast<ObjectBool&>(other).value;
        number = {TypeBool, truth, float(truth)};
        return true;
    }
    case TypeByte: {
        const uint8_t byte = *static_cast<ObjectByte&>(other).value;
        number = {TypeByte, byte, float(byte)};
        return true;
    }
    case TypeInt8: {
        const int8_t small = *static_cast<ObjectInt8&>(other).value;
        number = {TypeInt8, small, float(small)};
        return true;
    }
    case TypeInt: {
        const int32_t whole = *static_cast<ObjectInt&>(other).value;
        number = {TypeInt, whole, float(whole)};
        return true;
    }
    case TypeFloat: {
        const float real = *static_cast<ObjectFloat&>(other).value;
        number = {TypeFloat, truncate(real), real};
        return true;
    }
    default: return false;
    }
}

bool isTrue(const Number& number) {
    return number.type == TypeFloat ? number.real > 0.0f : number.integer > 0;
}

bool readByte(Script::ObjectBase& other, uint8_t& byte) {
    Number number;
    if (!readNumber(other, number)) return false;
    if (number.type != TypeByte && number.type != TypeInt && number.type != TypeFloat) return false;
    byte = lowByte(number.integer);
    return true;
}

namespace {
template <class Object, class T>
SharedPtr<Script::ObjectBase> make(int32_t type, T number) {
    SharedPtr<Script::ObjectBase> made = createObject(type);
    if (made) *static_cast<Object&>(*made).value = number;
    return made;
}
} // namespace

SharedPtr<Script::ObjectBase> makeBool(bool truth) {
    return make<ObjectBool>(TypeBool, uint8_t(truth ? 1 : 0));
}
SharedPtr<Script::ObjectBase> makeByte(uint8_t number) {
    return make<ObjectByte>(TypeByte, number);
}
SharedPtr<Script::ObjectBase> makeInt8(int8_t number) {
    return make<ObjectInt8>(TypeInt8, number);
}
SharedPtr<Script::ObjectBase> makeInt(int32_t number) {
    return make<ObjectInt>(TypeInt, number);
}
SharedPtr<Script::ObjectBase> makeFloat(float number) {
    return make<ObjectFloat>(TypeFloat, number);
}

} // namespace script_value

using namespace script_value;

namespace {

enum class Op { Add, Sub, Mul, Div };

// Integer arithmetic that wraps instead of overflowing.
int32_t wrapped(Op op, int32_t a, int32_t b) {
    switch (op) {
    case Op::Add: return int32_t(uint32_t(a) + uint32_t(b));
    case Op::Sub: return int32_t(uint32_t(a) - uint32_t(b));
    case Op::Mul: return int32_t(uint32_t(a) * uint32_t(b));
    case Op::Div: return truncate(float(a) / float(b));
    }
    return 0;
}

float inFloat(Op op, float a, float b) {
    switch (op) {
    case Op::Add: return a + b;
    case Op::Sub: return a - b;
    case Op::Mul: return a * b;
    case Op::Div: return a / b;
    }
    return 0.0f;
}

SharedPtr<Script::ObjectBase> byteOperation(Op op, uint8_t a, Script::ObjectBase& other) {
    Number b;
    if (!readNumber(other, b)) return {};
    switch (b.type) {
    case TypeByte:
        // Byte by byte divides as unsigned integers; by zero gives 0 rather
        // than a crash.
        if (op == Op::Div) return makeByte(b.integer ? uint8_t(a / uint8_t(b.integer)) : 0);
        return makeByte(lowByte(wrapped(op, a, b.integer)));
    case TypeInt:
        if (op == Op::Div) return makeInt(b.integer ? int32_t(a) / b.integer : 0);
        return makeInt(wrapped(op, a, b.integer));
    case TypeFloat: return makeFloat(inFloat(op, float(a), b.real));
    default: return {};
    }
}

SharedPtr<Script::ObjectBase> int8Operation(Op op, int8_t a, Script::ObjectBase& other) {
    Number b;
    if (!readNumber(other, b)) return {};
    switch (b.type) {
    case TypeInt8: return makeInt8(int8_t(lowByte(wrapped(op, a, b.integer))));
    case TypeInt: return makeInt(wrapped(op, a, b.integer));
    case TypeFloat: return makeFloat(inFloat(op, float(a), b.real));
    default: return {};
    }
}

SharedPtr<Script::ObjectBase> intOperation(Op op, int32_t a, Script::ObjectBase& other) {
    Number b;
    if (!readNumber(other, b)) return {};
    switch (b.type) {
    case TypeInt: return makeInt(wrapped(op, a, b.integer));
    case TypeFloat: return makeFloat(inFloat(op, float(a), b.real));
    default: return {};
    }
}

SharedPtr<Script::ObjectBase> floatOperation(Op op, float a, Script::ObjectBase& other) {
    Number b;
    if (!readNumber(other, b)) return {};
    switch (b.type) {
    case TypeBool:
        if (op == Op::Add) return makeFloat(a + float(b.integer));
        return {};
    case TypeInt:
        // Adding an int keeps the float; the other operations give an int.
        if (op == Op::Add) return makeFloat(a + b.real);
        return makeInt(truncate(inFloat(op, a, b.real)));
    case TypeFloat: return makeFloat(inFloat(op, a, b.real));
    default: return {};
    }
}

// The logical operations of int8 and int: both operands as truth values.
SharedPtr<Script::ObjectBase> logical(bool isAnd, bool left, Script::ObjectBase& other,
                                      bool takesInt8) {
    Number b;
    if (!readNumber(other, b)) return {};
    if (b.type != TypeInt && b.type != TypeFloat && !(takesInt8 && b.type == TypeInt8)) return {};
    return makeBool(isAnd ? left && isTrue(b) : left || isTrue(b));
}

} // namespace

// bool

void ObjectBool::assign(ObjectBase& other) {
    Number number;
    if (!readNumber(other, number)) return;
    *value = number.type == TypeBool ? uint8_t(number.integer) : uint8_t(isTrue(number) ? 1 : 0);
}

SharedPtr<Script::ObjectBase> ObjectBool::mul(ObjectBase& other) {
    Number b;
    if (!readNumber(other, b)) return {};
    switch (b.type) {
    case TypeByte: return makeByte(lowByte(int32_t(*value) * b.integer));
    case TypeInt: return makeInt(wrapped(Op::Mul, *value, b.integer));
    case TypeFloat: return makeFloat(float(*value) * b.real);
    default: return {};
    }
}

SharedPtr<Script::ObjectBase> ObjectBool::logicalOr(ObjectBase& other) {
    if (other.typeId != TypeBool) return {};
    return makeBool(*value != 0 || *static_cast<ObjectBool&>(other).value != 0);
}

SharedPtr<Script::ObjectBase> ObjectBool::logicalAnd(ObjectBase& other) {
    if (other.typeId != TypeBool) return {};
    return makeBool(*value != 0 && *static_cast<ObjectBool&>(other).value != 0);
}

void ObjectBool::print() {
    std::fputs(*value ? "true" : "false", scriptOutput());
}

// byte

void ObjectByte::assign(ObjectBase& other) {
    uint8_t byte;
    if (readByte(other, byte)) *value = byte;
}

void ObjectByte::addAssign(ObjectBase& other) {
    uint8_t byte;
    if (readByte(other, byte)) *value = uint8_t(*value + byte);
}

void ObjectByte::subAssign(ObjectBase& other) {
    uint8_t byte;
    if (readByte(other, byte)) *value = uint8_t(*value - byte);
}

SharedPtr<Script::ObjectBase> ObjectByte::add(ObjectBase& o) {
    return byteOperation(Op::Add, *value, o);
}
SharedPtr<Script::ObjectBase> ObjectByte::sub(ObjectBase& o) {
    return byteOperation(Op::Sub, *value, o);
}
SharedPtr<Script::ObjectBase> ObjectByte::mul(ObjectBase& o) {
    return byteOperation(Op::Mul, *value, o);
}
SharedPtr<Script::ObjectBase> ObjectByte::div(ObjectBase& o) {
    return byteOperation(Op::Div, *value, o);
}
void ObjectByte::print() {
    std::fputc(*value, scriptOutput());
}

// int8

void ObjectInt8::assign(ObjectBase& other) {
    Number number;
    if (!readNumber(other, number)) return;
    if (number.type == TypeInt8 || number.type == TypeInt || number.type == TypeFloat)
        *value = int8_t(lowByte(number.integer));
}

SharedPtr<Script::ObjectBase> ObjectInt8::add(ObjectBase& o) {
    return int8Operation(Op::Add, *value, o);
}
SharedPtr<Script::ObjectBase> ObjectInt8::sub(ObjectBase& o) {
    return int8Operation(Op::Sub, *value, o);
}
SharedPtr<Script::ObjectBase> ObjectInt8::mul(ObjectBase& o) {
    return int8Operation(Op::Mul, *value, o);
}
SharedPtr<Script::ObjectBase> ObjectInt8::div(ObjectBase& o) {
    return int8Operation(Op::Div, *value, o);
}
SharedPtr<Script::ObjectBase> ObjectInt8::logicalOr(ObjectBase& o) {
    return logical(false, *value > 0, o, true);
}
SharedPtr<Script::ObjectBase> ObjectInt8::logicalAnd(ObjectBase& o) {
    return logical(true, *value > 0, o, true);
}
void ObjectInt8::print() {
    std::fputc(uint8_t(*value), scriptOutput());
}

// int

void ObjectInt::assign(ObjectBase& other) {
    Number number;
    if (!readNumber(other, number)) return;
    if (number.type == TypeInt || number.type == TypeFloat) *value = number.integer;
}

SharedPtr<Script::ObjectBase> ObjectInt::add(ObjectBase& o) {
    return intOperation(Op::Add, *value, o);
}
SharedPtr<Script::ObjectBase> ObjectInt::sub(ObjectBase& o) {
    return intOperation(Op::Sub, *value, o);
}
SharedPtr<Script::ObjectBase> ObjectInt::mul(ObjectBase& o) {
    return intOperation(Op::Mul, *value, o);
}
SharedPtr<Script::ObjectBase> ObjectInt::div(ObjectBase& o) {
    return intOperation(Op::Div, *value, o);
}
SharedPtr<Script::ObjectBase> ObjectInt::logicalOr(ObjectBase& o) {
    return logical(false, *value > 0, o, false);
}
SharedPtr<Script::ObjectBase> ObjectInt::logicalAnd(ObjectBase& o) {
    return logical(true, *value > 0, o, false);
}
void ObjectInt::print() {
    std::fprintf(scriptOutput(), "%d", int(*value));
}

// float

namespace {
// The sources a float converts: bool, int8, int and float (not byte).
bool readFloatSource(Script::ObjectBase& other, float& number) {
    Number read;
    if (!readNumber(other, read) || read.type == TypeByte) return false;
    number = read.real;
    return true;
}
} // namespace

void ObjectFloat::assign(ObjectBase& other) {
    float number;
    if (readFloatSource(other, number)) *value = number;
}

void ObjectFloat::addAssign(ObjectBase& other) {
    float number;
    if (readFloatSource(other, number)) *value = *value + number;
}

void ObjectFloat::subAssign(ObjectBase& other) {
    float number;
    if (readFloatSource(other, number)) *value = *value - number;
}

SharedPtr<Script::ObjectBase> ObjectFloat::add(ObjectBase& o) {
    return floatOperation(Op::Add, *value, o);
}
SharedPtr<Script::ObjectBase> ObjectFloat::sub(ObjectBase& o) {
    return floatOperation(Op::Sub, *value, o);
}
SharedPtr<Script::ObjectBase> ObjectFloat::mul(ObjectBase& o) {
    return floatOperation(Op::Mul, *value, o);
}
SharedPtr<Script::ObjectBase> ObjectFloat::div(ObjectBase& o) {
    return floatOperation(Op::Div, *value, o);
}
void ObjectFloat::print() {
    std::fprintf(scriptOutput(), "%g", double(*value));
}

void ObjectFloat::sine(ObjectBase& other) {
    Number number;
    if (readNumber(other, number) && (number.type == TypeInt || number.type == TypeFloat))
        *value = std::sin(number.real);
}

void ObjectFloat::cosine(ObjectBase& other) {
    Number number;
    if (readNumber(other, number) && (number.type == TypeInt || number.type == TypeFloat))
        *value = std::cos(number.real);
}

// String

void ObjectString::assign(ObjectBase& other) {
    if (other.typeId != TypeString || &other == this) return;
    const char* source = static_cast<ObjectString&>(other).text;
    const size_t length = strnlen(source, kCapacity - 1);
    std::memcpy(text, source, length);
    text[length] = '\0';
}

SharedPtr<Script::ObjectBase> ObjectString::add(ObjectBase& other) {
    if (other.typeId != TypeString) return {};
    const char* tail = static_cast<ObjectString&>(other).text;
    const size_t used = strnlen(text, kCapacity - 1);
    // Appending a text to itself reads what it writes; take its length first.
    const size_t length = std::min(strnlen(tail, kCapacity - 1), size_t(kCapacity - 1) - used);
    std::memmove(text + used, tail, length);
    text[used + length] = '\0';
    return self();
}

void ObjectString::print() {
    std::fputs(text, scriptOutput());
}
