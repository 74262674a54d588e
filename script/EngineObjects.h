// SPDX-License-Identifier: MIT
// The values through which scripts reach the engine: a camera (a swap
// chain's camera block), a swap chain, an entity-movement record, the
// keyboard state and the mouse state. Each holds only a pointer to the
// engine's object; its members are views of that object's fields, and
// until it is bound they have storage of their own. They take part in no
// arithmetic and print nothing.
#pragma once

#include <cstdint>

#include "core/UserInput.h"
#include "render/D3D/SwapChain.h"
#include "script/EntityMovement.h"
#include "script/Method.h"
#include "script/ObjectBase.h"

// The shared shape of the engine types: a pointer to the engine object.
template <class Engine, int32_t Id>
class EngineObject : public Script::ObjectExtended {
public:
    Engine* value = nullptr;

    EngineObject() : ObjectExtended(Id) {}
    void bind(void* memory) override {
        value = static_cast<Engine*>(memory);
        bindMembers();
    }
    void assign(ObjectBase&) override {}
    void setElement(ObjectBase&, int32_t) override {}
    void print() override {}
    void reset() override {}

protected:
    // Points each member at its field of `value`, or at its own storage
    // when unbound.
    virtual void bindMembers() = 0;
};

// A member method of an engine value; kind 0, cloned onto the same owner.
template <class Owner>
class EngineMemberMethod : public Script::Method {
public:
    Owner* owner;

    EngineMemberMethod(const char* name, Owner* owner) : Method(name, {}), owner(owner) {}
};

#define EMBOSSA_MEMBER_METHOD(Owner, Class, text)                                                  \
    class Class : public EngineMemberMethod<Owner> {                                               \
    public:                                                                                        \
        explicit Class(Owner* owner) : EngineMemberMethod<Owner>(text, owner) {}                   \
        SharedPtr<Script::Method> clone(SharedPtr<Script::Method>) override {                      \
            return makeShared<Class>(owner);                                                       \
        }                                                                                          \
        SharedPtr<Script::ObjectBase> execute() override;                                          \
    }

// Members "fPan", "fTilt", "fRoll" and "vPos"; methods "fly",
// "calcMatrix" and "calc" on the camera routines.
class ObjectCamera : public EngineObject<D3D::Device::SwapChain, TypeCamera> {
public:
    EMBOSSA_MEMBER_METHOD(ObjectCamera, MethodCalc, "calc");
    // Argument 0 the view direction, 1 the up vector.
    EMBOSSA_MEMBER_METHOD(ObjectCamera, MethodCalcMatrix, "calcMatrix");
    // Argument 0 the mouse-look sensitivity, 1 the speed.
    EMBOSSA_MEMBER_METHOD(ObjectCamera, MethodFly, "fly");

    ObjectCamera();

protected:
    void bindMembers() override;
};

// Member "cam": the swap chain's camera.
class ObjectSwapChain : public EngineObject<D3D::Device::SwapChain, TypeSwapChain> {
public:
    ObjectSwapChain();

protected:
    void bindMembers() override;
};

// Methods "set", "calcFirstPerson", "attachCamera" and "setPan", which hand
// their converted arguments to the record.
class ObjectEntityMovement : public EngineObject<EntityMovement, TypeEntityMovement> {
public:
    // position (vec3d), orientation (Matrix3d), then six floats: walk
    // speed, turn speed, gravity, jump speed, eye height, radius.
    EMBOSSA_MEMBER_METHOD(ObjectEntityMovement, MethodSet, "set");
    // camera, on ground (bool), forward, strafe, turn, jump (floats).
    EMBOSSA_MEMBER_METHOD(ObjectEntityMovement, MethodCalcFirstPerson, "calcFirstPerson");
    // camera: placed at the entity's position raised by the eye height.
    EMBOSSA_MEMBER_METHOD(ObjectEntityMovement, MethodAttachCamera, "attachCamera");
    EMBOSSA_MEMBER_METHOD(ObjectEntityMovement, MethodSetPan, "setPan");

    ObjectEntityMovement();

protected:
    void bindMembers() override {}
};

#undef EMBOSSA_MEMBER_METHOD

// 143 int8 members, one per DirectInput key code, on the 256-byte key state.
class ObjectKeyboard : public EngineObject<uint8_t, TypeKeyboard> {
public:
    static constexpr int32_t kKeyTotal = 143;

    ObjectKeyboard();
    // The key code of member `index`.
    static int32_t keyCode(int32_t index);

protected:
    void bindMembers() override;
};

// Ten bool members on the mouse buttons and the wheel, and "force", a vec2d
// on the movement since the previous input update.
class ObjectMouse : public EngineObject<UserInput, TypeMouse> {
public:
    ObjectMouse();

protected:
    void bindMembers() override;
};
