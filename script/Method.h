// SPDX-License-Identifier: MIT
// The unit of execution: a named method with its variables, its statements
// in order, the methods run after them and the value it returns. Built-in
// methods (BuiltinMethods.h) and the member methods of values derive from it.
#pragma once

#include <cstdint>

#include "script/ObjectBase.h"
#include "script/Script.h"

class Script::Method : public Script::Base {
public:
    static constexpr int32_t kNameCapacity = 64;

    char name[kNameCapacity] = {};
    DynArray<SharedPtr<Method>> subMethods{1, 32};
    int32_t subMethodCount = 0;
    DynArray<SharedPtr<ObjectBase>> variables{1, 32};
    int32_t variableCount = 0;
    // Moved, not copied, when it grows: a copied statement loses its
    // expression.
    DynArray<ExpressionParser> statements{0, 32};
    int32_t statementCount = 0;
    SharedPtr<ObjectBase> returnValue;

    // An empty source gives a method of that name with nothing in it; a
    // source gives a copy sharing its variables, sub-methods, statement
    // targets and return value, but not its expressions. The source handle
    // is consumed.
    Method(const char* name, SharedPtr<Method> source);
    ~Method() override = default;

    bool isMethod() const override { return true; }
    void dispose() override { delete this; }
    virtual int32_t kindOf() const { return 0; }
    virtual SharedPtr<Method> clone(SharedPtr<Method> source);
    virtual SharedPtr<ObjectBase> execute();

    // Statement `index`, growing the storage; null when it cannot grow.
    ExpressionParser* statement(int32_t index);
    // Sets the count to index + 1 and runs statement `index`, as a built-in
    // method reads its argument `index`.
    SharedPtr<ObjectBase> readArgument(int32_t index);

protected:
    void copyFrom(Method& source);
};

// Copies at most 63 characters of `text` into a name buffer.
void setObjectName(char (&name)[Script::Method::kNameCapacity], const char* text);
