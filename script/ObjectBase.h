// SPDX-License-Identifier: MIT
// What every script value has: a name, a type id and the operations the
// language computes with, in their fixed order. Values are made by
// createObject, which takes recycled objects from a per-type pool first.
// Unsupported operand types are not errors: they give an empty handle, the
// left operand itself or no change. Single-threaded.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string_view>

#include "script/Script.h"

// The type ids the type tokens carry. 8 is unused.
enum ScriptType : int32_t {
    TypeVoid = 1,
    TypeBool = 2,
    TypeByte = 3,
    TypeInt8 = 4,
    TypeInt = 5,
    TypeFloat = 6,
    TypeString = 7,
    TypeVec2d = 9,
    TypeVec3d = 10,
    TypeColor = 11,
    TypeCamera = 12,
    TypeSwapChain = 13,
    TypeMatrix3d = 14,
    TypeEntityMovement = 15,
    TypeKeyboard = 16,
    TypeMouse = 17,
};
constexpr int32_t kScriptTypeLimit = 18; // one past the highest id

class Script::ObjectBase : public Script::Base {
public:
    static constexpr int32_t kNameCapacity = 64;

    char name[kNameCapacity] = {};
    int32_t typeId = 0;

    bool isMethod() const override { return false; }
    // Unbinds, resets and hands the object to its type's pool.
    void dispose() override;

    // Point the value at engine memory (null: back at its own storage).
    virtual void bind(void* memory) = 0;
    virtual void assign(ObjectBase& other) = 0;
    virtual void addAssign(ObjectBase& other);
    virtual void subAssign(ObjectBase& other);
    virtual void setElement(ObjectBase& other, int32_t index);
    virtual SharedPtr<ObjectBase> add(ObjectBase& other);
    virtual SharedPtr<ObjectBase> sub(ObjectBase& other);
    virtual SharedPtr<ObjectBase> mul(ObjectBase& other);
    virtual SharedPtr<ObjectBase> div(ObjectBase& other);
    virtual SharedPtr<ObjectBase> logicalOr(ObjectBase& other);
    virtual SharedPtr<ObjectBase> logicalAnd(ObjectBase& other);
    // By name, blanks in the range skipped; simple types have none.
    virtual SharedPtr<ObjectBase> findMember(std::string_view range);
    virtual SharedPtr<Method> findMethod(std::string_view range);
    virtual void print() = 0;
    virtual void reset() = 0;
    virtual void sine(ObjectBase& other);
    virtual void cosine(ObjectBase& other);

    // A further handle on this value, sharing its count: what the
    // operations give when the result is the left operand itself.
    SharedPtr<ObjectBase> self();

protected:
    explicit ObjectBase(int32_t typeId) : typeId(typeId) {}
};

// Values with members and member methods: vectors, colour, matrix and the
// engine types. Members are values whose memory lies inside the owner's.
class Script::ObjectExtended : public Script::ObjectBase {
public:
    DynArray<SharedPtr<ObjectBase>> members{1, 3};
    DynArray<SharedPtr<Method>> memberMethods{1, 3};
    uint32_t memberCount = 0;
    uint32_t memberMethodCount = 0;

    ~ObjectExtended() override;
    SharedPtr<ObjectBase> findMember(std::string_view range) override;
    SharedPtr<Method> findMethod(std::string_view range) override;

protected:
    using ObjectBase::ObjectBase;
    // Made by createObject, named, bound to `memory` (null: left unbound).
    void addMember(int32_t typeId, const char* memberName, void* memory);
    void addMemberMethod(SharedPtr<Method> method);
    ObjectBase* member(uint32_t index) { return members.items[index].object; }
};

// A new value of the type (a recycled one when the pool has one), bound to
// `memory` when that is not null; an empty handle for ids outside 1..17 and 8.
SharedPtr<Script::ObjectBase> createObject(int32_t typeId, void* memory = nullptr);

// How many recycled objects of the type wait in its pool.
uint32_t scriptPoolCount(int32_t typeId);

// Where print writes: the standard output stream unless a caller (the
// command line, a test) points it elsewhere.
std::FILE* scriptOutput();
void setScriptOutput(std::FILE* stream);

// Matching of a source range against a name: blanks in the range are
// skipped, every other character must match, and both must end together.
bool nameMatches(std::string_view range, const char* name);

// Handles to methods are destroyed wherever values are, so every user of
// values sees the complete method class.
#include "script/Method.h"
