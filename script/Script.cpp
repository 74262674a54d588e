// SPDX-License-Identifier: MIT
#include "script/Script.h"

#include "script/BuiltinMethods.h"

namespace {

struct TokenRow {
    const char* text;
    int32_t length;
    int32_t kind;
    int32_t typeId;
    int32_t keywordId;
};

// The order is the token's index, which callers may keep.
constexpr TokenRow kTokens[Script::kMarkerTotal] = {
    {"void", 4, Script::MarkerType, TypeVoid, 0},
    {"bool", 4, Script::MarkerType, TypeBool, 0},
    {"byte", 4, Script::MarkerType, TypeByte, 0},
    {"int8", 4, Script::MarkerType, TypeInt8, 0},
    {"int", 3, Script::MarkerType, TypeInt, 0},
    {"float", 5, Script::MarkerType, TypeFloat, 0},
    {"String", 6, Script::MarkerType, TypeString, 0},
    {"vec2d", 5, Script::MarkerType, TypeVec2d, 0},
    {"vec3d", 5, Script::MarkerType, TypeVec3d, 0},
    {"Color", 5, Script::MarkerType, TypeColor, 0},
    {"Matrix3d", 8, Script::MarkerType, TypeMatrix3d, 0},
    {"::", 2, Script::MarkerKeyword, 0, 1},
    {"(", 1, Script::MarkerKeyword, 0, 2},
    {")", 1, Script::MarkerKeyword, 0, 3},
    {",", 1, Script::MarkerKeyword, 0, 4},
    {"{", 1, Script::MarkerKeyword, 0, 5},
    {"}", 1, Script::MarkerKeyword, 0, 6},
    {"return", 6, Script::MarkerKeyword, 0, 14},
    {"=", 1, Script::MarkerKeyword, 0, 15},
    {"+=", 2, Script::MarkerKeyword, 0, 16},
    {"print", 5, Script::MarkerKeyword, 0, 20},
    {";", 1, Script::MarkerEnd, 0, 0},
};

constexpr int32_t kReturnToken = 17;
constexpr int32_t kPrintToken = 20;

} // namespace

Script::Script() {
    globalMethod = makeShared<Method>("global", SharedPtr<Method>());

    SharedPtr<Method> registry[kRegistryTotal] = {
        makeShared<MethodAdd>(),    makeShared<MethodSub>(),    makeShared<MethodMul>(),
        makeShared<MethodDiv>(),    makeShared<MethodSin>(),    makeShared<MethodCos>(),
        makeShared<MethodAnd>(),    makeShared<MethodOr>(),     makeShared<MethodPrint>(),
        makeShared<MethodAssign>(), makeShared<MethodAssign>(),
    };
    for (SharedPtr<Method>& entry : registry) {
        SharedPtr<Method>* slot = methods.get(int32_t(methodCount));
        if (!slot) break;
        *slot = std::move(entry);
        ++methodCount;
    }
    if (methodCount == kRegistryTotal) {
        printMethod = methods.items[8];
        assignMethod = methods.items[9];
        returnMethod = methods.items[10];
    }

    for (int32_t i = 0; i < int32_t(kMarkerTotal); ++i) {
        Marker* marker = markers.get(int32_t(markerCount));
        if (!marker) break;
        const TokenRow& row = kTokens[i];
        marker->tokenText = row.text;
        marker->tokenLength = row.length;
        marker->tokenKind = row.kind;
        marker->typeId = row.typeId;
        marker->keywordId = row.keywordId;
        if (i == kReturnToken) marker->boundMethod = returnMethod;
        if (i == kPrintToken) marker->boundMethod = printMethod;
        ++markerCount;
    }
}

Script::~Script() = default;

Script::Method* Script::registryMethod(uint32_t index) {
    return index < methodCount ? methods.items[index].object : nullptr;
}

Script::ExpressionParser::ExpressionParser(ExpressionParser&& other) noexcept
    : source(std::move(other.source)), node(std::exchange(other.node, nullptr)),
      target(std::move(other.target)) {}

Script::ExpressionParser& Script::ExpressionParser::operator=(ExpressionParser&& other) noexcept {
    if (this != &other) {
        delete node;
        source = std::move(other.source);
        node = std::exchange(other.node, nullptr);
        target = std::move(other.target);
    }
    return *this;
}

SharedPtr<Script::ObjectBase> Script::ExpressionParser::run() {
    if (!node) return {};
    SharedPtr<ObjectBase> result;
    node->evaluate(result);
    if (target && result) {
        target->assign(*result);
        result.recycle();
        return target;
    }
    return result;
}
