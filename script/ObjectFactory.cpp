// SPDX-License-Identifier: MIT
// createObject: the one place that knows every value class.
#include "script/ColorObject.h"
#include "script/EngineObjects.h"
#include "script/MatrixObject.h"
#include "script/ObjectPool.h"
#include "script/SimpleObjects.h"
#include "script/VectorObjects.h"

namespace {

Script::ObjectBase* makeObject(int32_t typeId) {
    switch (typeId) {
    case TypeVoid: return new ObjectVoid;
    case TypeBool: return new ObjectBool;
    case TypeByte: return new ObjectByte;
    case TypeInt8: return new ObjectInt8;
    case TypeInt: return new ObjectInt;
    case TypeFloat: return new ObjectFloat;
    case TypeString: return new ObjectString;
    case TypeVec2d: return new ObjectVec2d;
    case TypeVec3d: return new ObjectVec3d;
    case TypeColor: return new ObjectColor;
    case TypeCamera: return new ObjectCamera;
    case TypeSwapChain: return new ObjectSwapChain;
    case TypeMatrix3d: return new ObjectMatrix3d;
    case TypeEntityMovement: return new ObjectEntityMovement;
    case TypeKeyboard: return new ObjectKeyboard;
    case TypeMouse: return new ObjectMouse;
    default: return nullptr;
    }
}

} // namespace

SharedPtr<Script::ObjectBase> createObject(int32_t typeId, void* memory) {
    Script::ObjectBase* object = takePooledObject(typeId);
    if (!object) object = makeObject(typeId);
    if (!object) return {};
    if (memory) object->bind(memory);
    return SharedPtr<Script::ObjectBase>(object);
}
