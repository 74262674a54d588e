// SPDX-License-Identifier: MIT
// The script language's frame: the common root of methods and values, one
// statement, and the per-owner Script with its token table, its registry of
// built-in methods and the method named "global". Values live in
// ObjectBase.h and the value headers, methods in Method.h and
// BuiltinMethods.h, the text reader in Reader.h. Single-threaded.
#pragma once

#include <cstdint>

#include "core/Array.h"
#include "script/SharedPtr.h"

class Script {
public:
    class Base;
    class Method;
    class ObjectBase;
    class ObjectExtended;
    class ExpressionNode;
    class ExpressionParser;
    struct Marker;

    enum MarkerKind : int32_t { MarkerType = 1, MarkerKeyword = 2, MarkerEnd = 3 };

    static constexpr uint32_t kMarkerTotal = 22;
    static constexpr uint32_t kRegistryTotal = 11;

    SharedPtr<Method> globalMethod;
    DynArray<SharedPtr<Method>> methods{1, 16};
    DynArray<Marker> markers{1, 64};
    uint32_t methodCount = 0;
    uint32_t markerCount = 0;
    SharedPtr<Method> returnMethod;
    SharedPtr<Method> printMethod;
    SharedPtr<Method> assignMethod;

    Script();
    ~Script();
    Script(const Script&) = delete;
    Script& operator=(const Script&) = delete;

    // Registry entry `index`, or null past the registry.
    Method* registryMethod(uint32_t index);
};

class Script::Base {
public:
    // The counter of the handle that owns this object, so a further handle
    // on it shares the count (set by SharedPtr).
    uint32_t* handleCount = nullptr;

    virtual ~Base() = default;
    virtual bool isMethod() const = 0;
    // A method deletes itself; a value goes back to its type's pool.
    virtual void dispose() = 0;

protected:
    Base() = default;
    Base(const Base&) = delete;
    Base& operator=(const Base&) = delete;
};

struct Script::Marker {
    const char* tokenText = nullptr; // not owned
    int32_t tokenLength = 0;
    int32_t tokenKind = 0;
    int32_t typeId = 0;
    int32_t keywordId = 0;
    SharedPtr<Method> boundMethod;
};

// An expression of a statement. The reader's node classes derive from it.
class Script::ExpressionNode {
public:
    virtual ~ExpressionNode() = default;
    // Fills `result` with the expression's value, or leaves it empty.
    virtual void evaluate(SharedPtr<ObjectBase>& result) = 0;

protected:
    ExpressionNode() = default;
    ExpressionNode(const ExpressionNode&) = delete;
    ExpressionNode& operator=(const ExpressionNode&) = delete;
};

// One statement: an expression and the value that receives its result.
class Script::ExpressionParser {
public:
    SharedPtr<ObjectBase> source;
    ExpressionNode* node = nullptr; // owned
    SharedPtr<ObjectBase> target;

    ExpressionParser() = default;
    ~ExpressionParser() { delete node; }
    // A copy takes the target only: expressions are never copied.
    ExpressionParser(const ExpressionParser& other) : target(other.target) {}
    ExpressionParser& operator=(const ExpressionParser& other) {
        if (this != &other) {
            delete node;
            node = nullptr;
            source = SharedPtr<ObjectBase>();
            target = other.target;
        }
        return *this;
    }
    // Moving, as the statement array does when it grows, keeps the expression.
    ExpressionParser(ExpressionParser&& other) noexcept;
    ExpressionParser& operator=(ExpressionParser&& other) noexcept;

    // Evaluates the node; a non-empty result goes into a non-empty target,
    // which is then the result.
    SharedPtr<ObjectBase> run();
};

// Statements destroy value handles inline, so the value and method classes
// must be complete wherever this header is.
#include "script/ObjectBase.h"
