// SPDX-License-Identifier: MIT
// The methods a Script's registry holds: the operators, "sin", "cos",
// "print" and assignment. Each reads its arguments from its own statements
// (argument i is statement i) when it runs, so a caller clones one from the
// registry and fills the clone's statements with expressions.
#pragma once

#include <cstdint>

#include "script/Method.h"

// Kind numbers; they share one numbering with the token table's keyword ids.
enum MethodKind : int32_t {
    KindPlain = 0,
    KindAdd = 7,
    KindSub = 8,
    KindDiv = 9,
    KindMul = 10,
    KindAnd = 11,
    KindOr = 12,
    KindPrint = 13,
    KindAssign = 15,
    KindAddAssign = 16,
    KindSin = 18,
    KindCos = 19,
};

// "+", "-", "*", "/", "&&", "||": left (argument 0) operated with right
// (argument 1). An empty operand gives an empty result.
class OperatorMethod : public Script::Method {
public:
    SharedPtr<Script::ObjectBase> execute() override;

protected:
    OperatorMethod(const char* name, SharedPtr<Method> source) : Method(name, std::move(source)) {}
    virtual SharedPtr<Script::ObjectBase> operate(Script::ObjectBase& left,
                                                  Script::ObjectBase& right) = 0;
};

#define EMBOSSA_OPERATOR_METHOD(Class, text, kind)                                                 \
    class Class : public OperatorMethod {                                                          \
    public:                                                                                        \
        explicit Class(SharedPtr<Method> source = {});                                             \
        int32_t kindOf() const override { return kind; }                                           \
        SharedPtr<Method> clone(SharedPtr<Method> source) override;                                \
                                                                                                   \
    protected:                                                                                     \
        SharedPtr<Script::ObjectBase> operate(Script::ObjectBase& left,                            \
                                              Script::ObjectBase& right) override;                 \
    }

EMBOSSA_OPERATOR_METHOD(MethodAdd, "+", KindAdd);
EMBOSSA_OPERATOR_METHOD(MethodSub, "-", KindSub);
EMBOSSA_OPERATOR_METHOD(MethodDiv, "/", KindDiv);
EMBOSSA_OPERATOR_METHOD(MethodMul, "*", KindMul);
EMBOSSA_OPERATOR_METHOD(MethodAnd, "&&", KindAnd);
EMBOSSA_OPERATOR_METHOD(MethodOr, "||", KindOr);
#undef EMBOSSA_OPERATOR_METHOD

// Writes argument 0, or "Error: (NAME) Argument expected." when it is empty.
class MethodPrint : public Script::Method {
public:
    explicit MethodPrint(SharedPtr<Method> source = {});
    int32_t kindOf() const override { return KindPrint; }
    SharedPtr<Method> clone(SharedPtr<Method> source) override;
    SharedPtr<Script::ObjectBase> execute() override;
};

// A new float holding the sine (cosine) of argument 0.
class MethodSin : public Script::Method {
public:
    explicit MethodSin(SharedPtr<Method> source = {});
    int32_t kindOf() const override { return KindSin; }
    SharedPtr<Method> clone(SharedPtr<Method> source) override;
    SharedPtr<Script::ObjectBase> execute() override;
};

class MethodCos : public Script::Method {
public:
    explicit MethodCos(SharedPtr<Method> source = {});
    int32_t kindOf() const override { return KindCos; }
    SharedPtr<Method> clone(SharedPtr<Method> source) override;
    SharedPtr<Script::ObjectBase> execute() override;
};

// Runs every statement into its target (assign in mode 15, addAssign in
// mode 16) and hands value i to the return value's setElement(i): three
// expressions fill a vec3d's x, y and z. Without a return value nothing runs.
class MethodAssign : public Script::Method {
public:
    int32_t mode = KindAssign;

    MethodAssign() : Method("=", {}) {}
    int32_t kindOf() const override { return mode; }
    // An assignment is never cloned: the result is an empty handle.
    SharedPtr<Method> clone(SharedPtr<Method> source) override;
    SharedPtr<Script::ObjectBase> execute() override;
};
