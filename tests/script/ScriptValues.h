// SPDX-License-Identifier: MIT
// Small helpers for the script suites: values from numbers, what a value
// prints, and an expression node that hands out a fixed value.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

#include "script/ObjectBase.h"
#include "script/SimpleObjects.h"

namespace script_test {

// A value of a simple numeric type holding `number` (converted as C++ does).
inline SharedPtr<Script::ObjectBase> number(int32_t type, double number) {
    SharedPtr<Script::ObjectBase> made = createObject(type);
    switch (type) {
    case TypeBool: *static_cast<ObjectBool&>(*made).value = uint8_t(number != 0.0); break;
    case TypeByte: *static_cast<ObjectByte&>(*made).value = uint8_t(int32_t(number)); break;
    case TypeInt8: *static_cast<ObjectInt8&>(*made).value = int8_t(int32_t(number)); break;
    case TypeInt: *static_cast<ObjectInt&>(*made).value = int32_t(number); break;
    case TypeFloat: *static_cast<ObjectFloat&>(*made).value = float(number); break;
    default: break;
    }
    return made;
}

inline SharedPtr<Script::ObjectBase> text(const char* characters) {
    SharedPtr<Script::ObjectBase> made = createObject(TypeString);
    snprintf(static_cast<ObjectString&>(*made).text, ObjectString::kCapacity, "%s", characters);
    return made;
}

// What print() writes for the value.
inline std::string printed(Script::ObjectBase& value) {
    char* buffer = nullptr;
    size_t size = 0;
    std::FILE* stream = open_memstream(&buffer, &size);
    setScriptOutput(stream);
    value.print();
    std::fclose(stream);
    setScriptOutput(nullptr);
    std::string result(buffer, size);
    std::free(buffer);
    return result;
}

// The type and printed form of an operation's result: "int 3", "empty".
inline std::string described(const SharedPtr<Script::ObjectBase>& result) {
    if (!result) return "empty";
    static const char* const kNames[kScriptTypeLimit] = {
        "?",      "void",      "bool",     "byte",   "int8",     "int",
        "float",  "String",    "?",        "vec2d",  "vec3d",    "Color",
        "camera", "swapchain", "Matrix3d", "entity", "keyboard", "mouse"};
    std::string shown = printed(*result);
    if (result->typeId == TypeByte || result->typeId == TypeInt8)
        shown = std::to_string(result->typeId == TypeByte
                                   ? int(*static_cast<ObjectByte&>(*result).value)
                                   : int(*static_cast<ObjectInt8&>(*result).value));
    return std::string(kNames[result->typeId]) + " " + shown;
}

// An expression whose value is always the same handle.
class FixedNode : public Script::ExpressionNode {
public:
    explicit FixedNode(SharedPtr<Script::ObjectBase> value) : value(std::move(value)) {}
    void evaluate(SharedPtr<Script::ObjectBase>& result) override {
        result = value;
        ++evaluations;
    }
    SharedPtr<Script::ObjectBase> value;
    int evaluations = 0;
};

} // namespace script_test
