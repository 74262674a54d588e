// SPDX-License-Identifier: MIT
#include "script/EngineObjects.h"

#include <cstddef>

#include "render/Camera.h"
#include "script/MatrixObject.h"
#include "script/SimpleObjects.h"
#include "script/VectorObjects.h"

namespace {

struct KeyName {
    const char* name;
    uint8_t code;
};

// German layout names, as scripts have always spelled them (z on 21, y on 44).
constexpr KeyName kKeys[] = {
    {"esc", 1},
    {"1", 2},
    {"2", 3},
    {"3", 4},
    {"4", 5},
    {"5", 6},
    {"6", 7},
    {"7", 8},
    {"8", 9},
    {"9", 10},
    {"0", 11},
    {"ssharp", 12},
    {"cute", 13},
    {"back", 14},
    {"tab", 15},
    {"q", 16},
    {"w", 17},
    {"e", 18},
    {"r", 19},
    {"t", 20},
    {"z", 21},
    {"u", 22},
    {"i", 23},
    {"o", 24},
    {"p", 25},
    {"udiaeresis", 26},
    {"plus", 27},
    {"enter", 28},
    {"lctrl", 29},
    {"a", 30},
    {"s", 31},
    {"d", 32},
    {"f", 33},
    {"g", 34},
    {"h", 35},
    {"j", 36},
    {"k", 37},
    {"l", 38},
    {"odiaeresis", 39},
    {"adiaeresis", 40},
    {"circum", 41},
    {"lshift", 42},
    {"numbersign", 43},
    {"y", 44},
    {"x", 45},
    {"c", 46},
    {"v", 47},
    {"b", 48},
    {"n", 49},
    {"m", 50},
    {"comma", 51},
    {"period", 52},
    {"minus", 53},
    {"rshift", 54},
    {"numpaddivide", 55},
    {"alt", 56},
    {"space", 57},
    {"capslock", 58},
    {"f1", 59},
    {"f2", 60},
    {"f3", 61},
    {"f4", 62},
    {"f5", 63},
    {"f6", 64},
    {"f7", 65},
    {"f8", 66},
    {"f9", 67},
    {"f10", 68},
    {"numlock", 69},
    {"roll", 70},
    {"numpad7", 71},
    {"numpad8", 72},
    {"numpad9", 73},
    {"numpadsubtract", 74},
    {"numpad4", 75},
    {"numpad5", 76},
    {"numpad6", 77},
    {"numpadplus", 78},
    {"numpad1", 79},
    {"numpad2", 80},
    {"numpad3", 81},
    {"numpad0", 82},
    {"numpadcomma", 83},
    {"less", 86},
    {"f11", 87},
    {"f12", 88},
    {"f13", 100},
    {"f14", 101},
    {"f15", 102},
    {"kana", 112},
    {"abntc1", 115},
    {"convert", 121},
    {"noconvert", 123},
    {"yen", 125},
    {"abntc2", 126},
    {"numpadequals", 141},
    {"prevtrack", 144},
    {"at", 145},
    {"colon", 146},
    {"underline", 147},
    {"kanji", 148},
    {"stop", 149},
    {"ax", 150},
    {"unlabeled", 151},
    {"nexttrack", 153},
    {"numpadenter", 156},
    {"rctrl", 157},
    {"mute", 160},
    {"calculator", 161},
    {"playpause", 162},
    {"mediastop", 164},
    {"volumedown", 174},
    {"volumeup", 176},
    {"webhome", 178},
    {"numpadmultiply", 181},
    {"printing", 183},
    {"altgr", 184},
    {"pause", 197},
    {"pos1", 199},
    {"up", 200},
    {"pageup", 201},
    {"left", 203},
    {"right", 205},
    {"end", 207},
    {"down", 208},
    {"pagedown", 209},
    {"insert", 210},
    {"del", 211},
    {"lwin", 219},
    {"rwin", 220},
    {"task", 221},
    {"power", 222},
    {"sleep", 223},
    {"wake", 227},
    {"websearch", 229},
    {"webfavorites", 230},
    {"webrefresh", 231},
    {"webstop", 232},
    {"webforward", 233},
    {"webback", 234},
    {"mycomputer", 235},
    {"mail", 236},
    {"mediaselect", 237},
};
static_assert(sizeof kKeys / sizeof kKeys[0] == ObjectKeyboard::kKeyTotal);

constexpr const char* kMouseButtons[10] = {"left",    "right",   "middle",  "extern1", "extern2",
                                           "extern3", "extern4", "extern5", "weel_up", "weel_down"};
static_assert(offsetof(UserInput, mouseMoveY) == offsetof(UserInput, mouseMoveX) + sizeof(float),
              "the mouse force binds to the two movement floats as one vec2d");

float toFloat(const SharedPtr<Script::ObjectBase>& argument, float missing) {
    return argument ? script_value::converted<ObjectFloat>(TypeFloat, *argument) : missing;
}

D3DVECTOR toVector(const SharedPtr<Script::ObjectBase>& argument, D3DVECTOR missing) {
    if (!argument) return missing;
    const ScriptVector<3> v = script_value::converted<ObjectVec3d>(TypeVec3d, *argument);
    return D3DVECTOR{v.c[0], v.c[1], v.c[2]};
}

// The engine camera a camera argument is bound to; null for anything else.
D3D::Device::SwapChain* cameraOf(const SharedPtr<Script::ObjectBase>& argument) {
    if (!argument || argument->typeId != TypeCamera) return nullptr;
    return static_cast<ObjectCamera&>(*argument).value;
}

} // namespace

// camera

ObjectCamera::ObjectCamera() {
    addMember(TypeFloat, "fPan", nullptr);
    addMember(TypeFloat, "fTilt", nullptr);
    addMember(TypeFloat, "fRoll", nullptr);
    addMember(TypeVec3d, "vPos", nullptr);
    addMemberMethod(makeShared<MethodFly>(this));
    addMemberMethod(makeShared<MethodCalcMatrix>(this));
    addMemberMethod(makeShared<MethodCalc>(this));
}

void ObjectCamera::bindMembers() {
    void* fields[4] = {nullptr, nullptr, nullptr, nullptr};
    if (value) {
        fields[0] = &value->pan;
        fields[1] = &value->tilt;
        fields[2] = &value->roll;
        fields[3] = &value->position;
    }
    for (uint32_t i = 0; i < memberCount && i < 4; ++i) member(i)->bind(fields[i]);
}

SharedPtr<Script::ObjectBase> ObjectCamera::MethodCalc::execute() {
    if (owner && owner->value) D3D::calc(*owner->value);
    return {};
}

SharedPtr<Script::ObjectBase> ObjectCamera::MethodCalcMatrix::execute() {
    SharedPtr<ObjectBase> up = readArgument(1);
    SharedPtr<ObjectBase> direction = readArgument(0);
    const D3DVECTOR look = toVector(direction, D3DVECTOR{0.0f, 0.0f, 1.0f});
    const D3DVECTOR upward = toVector(up, D3DVECTOR{0.0f, 1.0f, 0.0f});
    if (owner && owner->value) D3D::setOrientation(*owner->value, look, upward);
    direction.recycle();
    up.recycle();
    return {};
}

SharedPtr<Script::ObjectBase> ObjectCamera::MethodFly::execute() {
    SharedPtr<ObjectBase> speed = readArgument(1);
    SharedPtr<ObjectBase> sensitivity = readArgument(0);
    const float k = toFloat(sensitivity, 0.28f);
    const float s = toFloat(speed, 3.0f);
    if (owner && owner->value) D3D::fly(*owner->value, k, s, D3D::cameraInput(userInput));
    sensitivity.recycle();
    speed.recycle();
    return {};
}

// swap chain

ObjectSwapChain::ObjectSwapChain() {
    addMember(TypeCamera, "cam", nullptr);
}

void ObjectSwapChain::bindMembers() {
    if (memberCount) member(0)->bind(value);
}

// entity movement

ObjectEntityMovement::ObjectEntityMovement() {
    addMemberMethod(makeShared<MethodSet>(this));
    addMemberMethod(makeShared<MethodCalcFirstPerson>(this));
    addMemberMethod(makeShared<MethodAttachCamera>(this));
    addMemberMethod(makeShared<MethodSetPan>(this));
}

SharedPtr<Script::ObjectBase> ObjectEntityMovement::MethodSet::execute() {
    SharedPtr<ObjectBase> arguments[8];
    for (int32_t i = 0; i < 8; ++i) arguments[i] = readArgument(i);
    if (owner && owner->value) {
        EntityMovement& record = *owner->value;
        record.position = toVector(arguments[0], D3DVECTOR{0.0f, 0.0f, 0.0f});
        const ScriptMatrix orientation =
            arguments[1] ? script_value::converted<ObjectMatrix3d>(TypeMatrix3d, *arguments[1])
                         : ScriptMatrix{};
        for (int32_t i = 0; i < 16; ++i) record.orientation[i] = orientation.m[i];
        float* figures[6] = {&record.walkSpeed, &record.turnSpeed, &record.gravity,
                             &record.jumpSpeed, &record.eyeHeight, &record.radius};
        for (int32_t i = 0; i < 6; ++i) *figures[i] = toFloat(arguments[i + 2], 0.0f);
        ++record.setCount;
    }
    for (SharedPtr<ObjectBase>& argument : arguments) argument.recycle();
    return {};
}

SharedPtr<Script::ObjectBase> ObjectEntityMovement::MethodCalcFirstPerson::execute() {
    SharedPtr<ObjectBase> arguments[6];
    for (int32_t i = 0; i < 6; ++i) arguments[i] = readArgument(i);
    if (owner && owner->value) {
        EntityMovement& record = *owner->value;
        record.firstPersonCamera = cameraOf(arguments[0]);
        record.onGround =
            arguments[1] && script_value::converted<ObjectBool>(TypeBool, *arguments[1]) != 0;
        record.forward = toFloat(arguments[2], 0.0f);
        record.strafe = toFloat(arguments[3], 0.0f);
        record.turn = toFloat(arguments[4], 0.0f);
        record.jump = toFloat(arguments[5], 0.0f);
        ++record.firstPersonCount;
    }
    for (SharedPtr<ObjectBase>& argument : arguments) argument.recycle();
    return {};
}

SharedPtr<Script::ObjectBase> ObjectEntityMovement::MethodAttachCamera::execute() {
    SharedPtr<ObjectBase> argument = readArgument(0);
    // Converting through a new camera would always give an unbound one, so
    // the camera argument is taken as it is.
    D3D::Device::SwapChain* camera = cameraOf(argument);
    if (owner && owner->value && camera) {
        EntityMovement& record = *owner->value;
        record.camera = camera;
        camera->position = record.position;
        camera->position.y = camera->position.y + record.eyeHeight;
        camera->up = D3DVECTOR{0.0f, 1.0f, 0.0f};
    }
    argument.recycle();
    return {};
}

SharedPtr<Script::ObjectBase> ObjectEntityMovement::MethodSetPan::execute() {
    SharedPtr<ObjectBase> argument = readArgument(0);
    if (owner && owner->value) owner->value->pan = toFloat(argument, 0.0f);
    argument.recycle();
    return {};
}

// keyboard

ObjectKeyboard::ObjectKeyboard() {
    for (const KeyName& key : kKeys) addMember(TypeInt8, key.name, nullptr);
}

int32_t ObjectKeyboard::keyCode(int32_t index) {
    return index >= 0 && index < kKeyTotal ? kKeys[index].code : -1;
}

void ObjectKeyboard::bindMembers() {
    for (uint32_t i = 0; i < memberCount && i < uint32_t(kKeyTotal); ++i)
        member(i)->bind(value ? value + kKeys[i].code : nullptr);
}

// mouse

ObjectMouse::ObjectMouse() {
    for (const char* button : kMouseButtons) addMember(TypeBool, button, nullptr);
    addMember(TypeVec2d, "force", nullptr);
}

void ObjectMouse::bindMembers() {
    for (uint32_t i = 0; i < memberCount && i < 11; ++i) {
        void* field = nullptr;
        if (value) {
            if (i < 8)
                field = &value->mouseDown[i];
            else if (i == 8)
                field = &value->wheelUp;
            else if (i == 9)
                field = &value->wheelDown;
            else
                field = &value->mouseMoveX;
        }
        member(i)->bind(field);
    }
}
