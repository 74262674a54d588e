// SPDX-License-Identifier: MIT
#include "script/Method.h"

#include <algorithm>
#include <cstring>

void setObjectName(char (&name)[Script::Method::kNameCapacity], const char* text) {
    size_t length = text ? std::strlen(text) : 0;
    if (length >= sizeof name) length = sizeof name - 1;
    if (length) std::memcpy(name, text, length);
    name[length] = '\0';
}

Script::Method::Method(const char* text, SharedPtr<Method> source) {
    if (!source) {
        setObjectName(name, text);
        return;
    }
    copyFrom(*source);
}

void Script::Method::copyFrom(Method& source) {
    std::memcpy(name, source.name, sizeof name);
    for (int32_t i = 0; i < source.subMethodCount; ++i)
        if (SharedPtr<Method>* slot = subMethods.get(i)) *slot = source.subMethods.items[i];
    for (int32_t i = 0; i < source.variableCount; ++i)
        if (SharedPtr<ObjectBase>* slot = variables.get(i)) *slot = source.variables.items[i];
    for (int32_t i = 0; i < source.statementCount; ++i)
        if (ExpressionParser* slot = statements.get(i)) *slot = source.statements.items[i];
    // A count past what could be copied would read beyond the storage.
    subMethodCount = std::min(source.subMethodCount, subMethods.size());
    variableCount = std::min(source.variableCount, variables.size());
    statementCount = std::min(source.statementCount, statements.size());
    returnValue = source.returnValue;
}

SharedPtr<Script::Method> Script::Method::clone(SharedPtr<Method> source) {
    return makeShared<Method>(nullptr, std::move(source));
}

Script::ExpressionParser* Script::Method::statement(int32_t index) {
    return statements.get(index);
}

SharedPtr<Script::ObjectBase> Script::Method::readArgument(int32_t index) {
    statementCount = index + 1;
    ExpressionParser* argument = statements.get(index);
    return argument ? argument->run() : SharedPtr<ObjectBase>();
}

SharedPtr<Script::ObjectBase> Script::Method::execute() {
    for (int32_t i = 0; i < statementCount; ++i) {
        ExpressionParser* line = statements.get(i);
        if (!line) break;
        line->run().recycle();
    }
    for (int32_t i = 0; i < subMethodCount; ++i) {
        SharedPtr<Method> method = subMethods.items[i];
        if (method) method->execute().recycle();
    }
    return returnValue;
}
