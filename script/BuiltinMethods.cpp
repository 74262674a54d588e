// SPDX-License-Identifier: MIT
#include "script/BuiltinMethods.h"

#include <cstdio>

SharedPtr<Script::ObjectBase> OperatorMethod::execute() {
    SharedPtr<Script::ObjectBase> left = readArgument(0);
    SharedPtr<Script::ObjectBase> right = readArgument(1);
    SharedPtr<Script::ObjectBase> result;
    // Both operands are required; a missing one gives no result.
    if (left && right) result = operate(*left, *right);
    left.recycle();
    right.recycle();
    return result;
}

// Operators whose clone only releases the source.
#define EMBOSSA_PLAIN_OPERATOR(Class, text, operation)                                             \
    Class::Class(SharedPtr<Method>) : OperatorMethod(text, {}) {}                                  \
    SharedPtr<Script::Method> Class::clone(SharedPtr<Method>) {                                    \
        return makeShared<Class>();                                                                \
    }                                                                                              \
    SharedPtr<Script::ObjectBase> Class::operate(Script::ObjectBase& left,                         \
                                                 Script::ObjectBase& right) {                      \
        return left.operation(right);                                                              \
    }

EMBOSSA_PLAIN_OPERATOR(MethodAdd, "+", add)
EMBOSSA_PLAIN_OPERATOR(MethodSub, "-", sub)
EMBOSSA_PLAIN_OPERATOR(MethodDiv, "/", div)
EMBOSSA_PLAIN_OPERATOR(MethodMul, "*", mul)
#undef EMBOSSA_PLAIN_OPERATOR

// Operators built from their source when cloned.
#define EMBOSSA_COPYING_OPERATOR(Class, text, operation)                                           \
    Class::Class(SharedPtr<Method> source) : OperatorMethod(text, std::move(source)) {}            \
    SharedPtr<Script::Method> Class::clone(SharedPtr<Method> source) {                             \
        return makeShared<Class>(std::move(source));                                               \
    }                                                                                              \
    SharedPtr<Script::ObjectBase> Class::operate(Script::ObjectBase& left,                         \
                                                 Script::ObjectBase& right) {                      \
        return left.operation(right);                                                              \
    }

EMBOSSA_COPYING_OPERATOR(MethodAnd, "&&", logicalAnd)
EMBOSSA_COPYING_OPERATOR(MethodOr, "||", logicalOr)
#undef EMBOSSA_COPYING_OPERATOR

MethodPrint::MethodPrint(SharedPtr<Method> source) : Method("print", std::move(source)) {}

SharedPtr<Script::Method> MethodPrint::clone(SharedPtr<Method> source) {
    return makeShared<MethodPrint>(std::move(source));
}

SharedPtr<Script::ObjectBase> MethodPrint::execute() {
    SharedPtr<Script::ObjectBase> argument = readArgument(0);
    if (argument)
        argument->print();
    else
        std::fprintf(scriptOutput(), "Error: (%s) Argument expected.\n", name);
    argument.recycle();
    return returnValue;
}

namespace {
// A new float set from argument 0 by `operation` (sine or cosine).
SharedPtr<Script::ObjectBase>
newFloatFrom(Script::Method& method, void (Script::ObjectBase::*operation)(Script::ObjectBase&)) {
    SharedPtr<Script::ObjectBase> result = createObject(TypeFloat);
    SharedPtr<Script::ObjectBase> argument = method.readArgument(0);
    if (argument && result) ((*result).*operation)(*argument);
    argument.recycle();
    return result;
}
} // namespace

MethodSin::MethodSin(SharedPtr<Method> source) : Method("sin", std::move(source)) {}

SharedPtr<Script::Method> MethodSin::clone(SharedPtr<Method> source) {
    return makeShared<MethodSin>(std::move(source));
}

SharedPtr<Script::ObjectBase> MethodSin::execute() {
    return newFloatFrom(*this, &Script::ObjectBase::sine);
}

MethodCos::MethodCos(SharedPtr<Method> source) : Method("cos", std::move(source)) {}

SharedPtr<Script::Method> MethodCos::clone(SharedPtr<Method> source) {
    return makeShared<MethodCos>(std::move(source));
}

SharedPtr<Script::ObjectBase> MethodCos::execute() {
    return newFloatFrom(*this, &Script::ObjectBase::cosine);
}

SharedPtr<Script::Method> MethodAssign::clone(SharedPtr<Method>) {
    return {};
}

SharedPtr<Script::ObjectBase> MethodAssign::execute() {
    if (!returnValue || statementCount == 0) return returnValue;
    for (int32_t i = 0; i < statementCount; ++i) {
        Script::ExpressionParser* line = statement(i);
        if (!line) break;
        SharedPtr<Script::ObjectBase> value;
        if (line->node) line->node->evaluate(value);
        if (line->target && value) {
            if (mode == KindAddAssign)
                line->target->addAssign(*value);
            else
                line->target->assign(*value);
            value.recycle();
            value = line->target;
        }
        if (value) returnValue->setElement(*value, i);
        value.recycle();
    }
    return returnValue;
}
