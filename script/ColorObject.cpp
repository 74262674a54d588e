// SPDX-License-Identifier: MIT
#include "script/ColorObject.h"

#include "script/SimpleObjects.h"

namespace {
constexpr const char* kComponentNames[4] = {"a", "r", "g", "b"};
// Memory order is blue, green, red, alpha.
constexpr int32_t kByteOf[4] = {3, 2, 1, 0};
} // namespace

ObjectColor::ObjectColor() : ObjectExtended(TypeColor) {
    for (int32_t i = 0; i < 4; ++i) addMember(TypeByte, kComponentNames[i], component(i));
}

uint8_t* ObjectColor::component(int32_t index) {
    return reinterpret_cast<uint8_t*>(value) + kByteOf[index];
}

void ObjectColor::bind(void* memory) {
    value = memory ? static_cast<uint32_t*>(memory) : &storage;
    for (uint32_t i = 0; i < memberCount && i < 4; ++i) member(i)->bind(component(int32_t(i)));
}

void ObjectColor::assign(ObjectBase& other) {
    if (other.typeId == TypeColor) *value = *static_cast<ObjectColor&>(other).value;
}

void ObjectColor::setElement(ObjectBase& other, int32_t index) {
    if (other.typeId == TypeColor) {
        assign(other);
        return;
    }
    uint8_t byte = 0;
    script_value::readByte(other, byte);
    if (index >= 0 && index < 4) *component(index) = byte;
}

void ObjectColor::print() {
    std::fprintf(scriptOutput(), "(%d,%d,%d,%d)", *component(0), *component(1), *component(2),
                 *component(3));
}
