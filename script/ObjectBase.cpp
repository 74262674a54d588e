// SPDX-License-Identifier: MIT
#include "script/ObjectBase.h"

#include "script/Method.h"
#include "script/ObjectPool.h"

namespace {

std::FILE* printStream = nullptr;

// One pool of recycled objects per type. The pools go at exit and take their
// objects with them, so nothing recycled outlives the program unaccounted.
struct Pools {
    struct Pool {
        DynArray<Script::ObjectBase*> objects{0, 64};
        uint32_t count = 0;
    };
    Pool pools[kScriptTypeLimit];
    bool alive = true;

    ~Pools() {
        alive = false;
        for (Pool& pool : pools)
            for (uint32_t i = 0; i < pool.count; ++i) delete pool.objects.items[i];
    }
};

Pools& pools() {
    static Pools instance;
    return instance;
}

bool pooledType(int32_t typeId) {
    return typeId >= TypeVoid && typeId < kScriptTypeLimit && typeId != 8;
}

} // namespace

std::FILE* scriptOutput() {
    return printStream ? printStream : stdout;
}
void setScriptOutput(std::FILE* stream) {
    printStream = stream;
}

bool nameMatches(std::string_view range, const char* name) {
    const char* next = name;
    for (char c : range) {
        if (c == ' ') continue;
        if (*next == '\0' || c != *next) return false;
        ++next;
    }
    return *next == '\0';
}

void Script::ObjectBase::dispose() {
    // Unbound first: a recycled value must never write to, or be handed out
    // bound to, engine memory that may be gone by then.
    bind(nullptr);
    reset();
    name[0] = '\0';
    handleCount = nullptr;
    Pools& all = pools();
    if (all.alive && pooledType(typeId)) {
        Pools::Pool& pool = all.pools[typeId];
        if (Script::ObjectBase** slot = pool.objects.get(int32_t(pool.count))) {
            *slot = this;
            ++pool.count;
            return;
        }
    }
    delete this;
}

uint32_t scriptPoolCount(int32_t typeId) {
    return pooledType(typeId) ? pools().pools[typeId].count : 0;
}

// Takes the most recently pooled object of the type, or null.
Script::ObjectBase* takePooledObject(int32_t typeId) {
    Pools& all = pools();
    if (!pooledType(typeId)) return nullptr;
    Pools::Pool& pool = all.pools[typeId];
    if (pool.count == 0) return nullptr;
    --pool.count;
    return pool.objects.items[pool.count];
}

void Script::ObjectBase::addAssign(ObjectBase&) {}
void Script::ObjectBase::subAssign(ObjectBase&) {}
void Script::ObjectBase::setElement(ObjectBase& other, int32_t) {
    assign(other);
}
SharedPtr<Script::ObjectBase> Script::ObjectBase::add(ObjectBase&) {
    return self();
}
SharedPtr<Script::ObjectBase> Script::ObjectBase::sub(ObjectBase&) {
    return self();
}
SharedPtr<Script::ObjectBase> Script::ObjectBase::mul(ObjectBase&) {
    return self();
}
SharedPtr<Script::ObjectBase> Script::ObjectBase::div(ObjectBase&) {
    return self();
}
SharedPtr<Script::ObjectBase> Script::ObjectBase::logicalOr(ObjectBase&) {
    return self();
}
SharedPtr<Script::ObjectBase> Script::ObjectBase::logicalAnd(ObjectBase&) {
    return self();
}
SharedPtr<Script::ObjectBase> Script::ObjectBase::findMember(std::string_view) {
    return {};
}
SharedPtr<Script::Method> Script::ObjectBase::findMethod(std::string_view) {
    return {};
}
void Script::ObjectBase::sine(ObjectBase&) {}
void Script::ObjectBase::cosine(ObjectBase&) {}

SharedPtr<Script::ObjectBase> Script::ObjectBase::self() {
    return SharedPtr<ObjectBase>(this, handleCount);
}

Script::ObjectExtended::~ObjectExtended() {
    // A member someone else still holds must not stay bound into this
    // object's storage once it is freed.
    for (uint32_t i = 0; i < memberCount; ++i)
        if (ObjectBase* held = members.items[i].object) held->bind(nullptr);
}

void Script::ObjectExtended::addMember(int32_t memberType, const char* memberName, void* memory) {
    SharedPtr<ObjectBase>* slot = members.get(int32_t(memberCount));
    if (!slot) return;
    *slot = createObject(memberType, memory);
    if (!*slot) return;
    setObjectName((*slot)->name, memberName);
    ++memberCount;
}

void Script::ObjectExtended::addMemberMethod(SharedPtr<Method> method) {
    SharedPtr<Method>* slot = memberMethods.get(int32_t(memberMethodCount));
    if (!slot) return;
    *slot = std::move(method);
    ++memberMethodCount;
}

SharedPtr<Script::ObjectBase> Script::ObjectExtended::findMember(std::string_view range) {
    for (uint32_t i = 0; i < memberCount; ++i)
        if (nameMatches(range, members.items[i]->name)) return members.items[i];
    return {};
}

SharedPtr<Script::Method> Script::ObjectExtended::findMethod(std::string_view range) {
    for (uint32_t i = 0; i < memberMethodCount; ++i)
        if (nameMatches(range, memberMethods.items[i]->name)) return memberMethods.items[i];
    return {};
}
