// SPDX-License-Identifier: MIT
// The engine bindings: a camera value drives the camera block it is bound
// to, keyboard and mouse members read the input record, and the
// entity-movement methods hand their converted arguments to the record.
#include "script/EngineObjects.h"

#include <gtest/gtest.h>

#include <cstring>

#include "ScriptValues.h"
#include "core/FrameTimer.h"
#include "render/Camera.h"
#include "script/MatrixObject.h"
#include "script/VectorObjects.h"

namespace {

using script_test::FixedNode;
using script_test::number;
using script_test::printed;

SharedPtr<Script::ObjectBase> run(Script::ObjectBase& owner, const char* method,
                                  std::initializer_list<SharedPtr<Script::ObjectBase>> arguments) {
    SharedPtr<Script::Method> prototype = owner.findMethod(method);
    EXPECT_TRUE(prototype) << method;
    SharedPtr<Script::Method> call = prototype->clone({});
    int32_t i = 0;
    for (const SharedPtr<Script::ObjectBase>& argument : arguments)
        call->statement(i++)->node = new FixedNode(argument);
    return call->execute();
}

SharedPtr<Script::ObjectBase> vec3(float x, float y, float z) {
    SharedPtr<Script::ObjectBase> made = createObject(TypeVec3d);
    static_cast<ObjectVec3d&>(*made).storage = ScriptVector<3>{{x, y, z}};
    return made;
}

class EngineObjectsTest : public ::testing::Test {
protected:
    D3D::Device::SwapChain camera{nullptr};
    UserInput saved = userInput;
    float savedStep = currentFrameStep;

    void TearDown() override {
        userInput = saved;
        currentFrameStep = savedStep;
    }
};

TEST_F(EngineObjectsTest, CameraMembersAreTheCamerasFields) {
    SharedPtr<Script::ObjectBase> value = createObject(TypeCamera, &camera);
    value->findMember("fPan")->assign(*number(TypeFloat, 30));
    value->findMember("vPos")->findMember("y")->assign(*number(TypeInt, 5));
    EXPECT_EQ(camera.pan, 30.0f);
    EXPECT_EQ(camera.position.y, 5.0f);
    camera.tilt = 12.5f;
    EXPECT_EQ(printed(*value->findMember("fTilt")), "12.5");

    // Unbound, the members keep their own storage and the methods do nothing.
    SharedPtr<Script::ObjectBase> loose = createObject(TypeCamera);
    loose->findMember("fPan")->assign(*number(TypeFloat, 1));
    EXPECT_TRUE(run(*loose, "fly", {}).empty());
    EXPECT_EQ(printed(*loose->findMember("fPan")), "1");
    EXPECT_EQ(camera.pan, 30.0f);
}

TEST_F(EngineObjectsTest, CameraMethodsRunTheCameraRoutinesWithTheirDefaults) {
    SharedPtr<Script::ObjectBase> value = createObject(TypeCamera, &camera);
    D3D::Device::SwapChain expected{nullptr};

    run(*value, "calcMatrix", {vec3(1, 0, 0)});
    D3D::setOrientation(expected, D3DVECTOR{1, 0, 0}, D3DVECTOR{0, 1, 0});
    EXPECT_EQ(std::memcmp(&camera.view, &expected.view, sizeof camera.view), 0);

    // A non-vector direction is the zero vector, not the default.
    run(*value, "calcMatrix", {number(TypeInt, 3), vec3(0, 0, 1)});
    D3D::setOrientation(expected, D3DVECTOR{0, 0, 0}, D3DVECTOR{0, 0, 1});
    EXPECT_EQ(std::memcmp(&camera.view, &expected.view, sizeof camera.view), 0);

    camera.position = expected.position = D3DVECTOR{1, 2, 3};
    run(*value, "calc", {});
    D3D::calc(expected);
    EXPECT_EQ(std::memcmp(&camera.view, &expected.view, sizeof camera.view), 0);

    // fly with an int speed and no sensitivity: 0.28 and 2.0.
    currentFrameStep = 1.0f;
    userInput.mouseDown[0] = 1;
    userInput.mouseMoveX = 10.0f;
    run(*value, "fly", {SharedPtr<Script::ObjectBase>(), number(TypeInt, 2)});
    D3D::fly(expected, 0.28f, 2.0f, D3D::cameraInput(userInput));
    EXPECT_EQ(camera.pan, expected.pan);
    EXPECT_NE(camera.pan, 0.0f);
    EXPECT_EQ(std::memcmp(&camera.position, &expected.position, sizeof camera.position), 0);
}

TEST_F(EngineObjectsTest, SwapChainCamIsTheBoundCamera) {
    SharedPtr<Script::ObjectBase> chain = createObject(TypeSwapChain, &camera);
    chain->findMember("cam")->findMember("fRoll")->assign(*number(TypeFloat, 4));
    EXPECT_EQ(camera.roll, 4.0f);
}

TEST_F(EngineObjectsTest, KeyboardAndMouseMembersReadTheInputRecord) {
    SharedPtr<Script::ObjectBase> keyboard = createObject(TypeKeyboard, userInput.keyDown);
    SharedPtr<Script::ObjectBase> mouse = createObject(TypeMouse, &userInput);
    EXPECT_EQ(static_cast<ObjectKeyboard&>(*keyboard).memberCount, 143u);

    userInput.keyDown[21] = 1;   // z on a German layout
    userInput.keyDown[0xC8] = 1; // up arrow
    auto down = [&](const char* key) {
        return *static_cast<ObjectInt8&>(*keyboard->findMember(key)).value;
    };
    EXPECT_EQ(down("z"), 1);
    EXPECT_EQ(down("y"), 0);
    EXPECT_EQ(down("up"), 1);
    EXPECT_FALSE(keyboard->findMember("Up"));
    for (int32_t i = 0; i < ObjectKeyboard::kKeyTotal; ++i) {
        const int32_t code = ObjectKeyboard::keyCode(i);
        ASSERT_GT(code, 0);
        ASSERT_LT(code, 256);
    }

    userInput.mouseDown[2] = 1;
    userInput.wheelDown = 1;
    userInput.mouseMoveX = 3.0f;
    userInput.mouseMoveY = -1.5f;
    EXPECT_EQ(printed(*mouse->findMember("middle")), "true");
    EXPECT_EQ(printed(*mouse->findMember("left")), "false");
    EXPECT_EQ(printed(*mouse->findMember("weel_down")), "true");
    EXPECT_EQ(printed(*mouse->findMember("force")), "(3,-1.5)");
}

TEST_F(EngineObjectsTest, EntityMovementMethodsStoreTheirConvertedArguments) {
    EntityMovement record;
    SharedPtr<Script::ObjectBase> entity = createObject(TypeEntityMovement, &record);
    SharedPtr<Script::ObjectBase> matrix = createObject(TypeMatrix3d);
    matrix->setElement(*vec3(7, 8, 9), 3);
    run(*entity, "set",
        {vec3(1, 2, 3), matrix, number(TypeInt, 4), number(TypeFloat, 0.5), number(TypeBool, 1),
         number(TypeByte, 9), number(TypeFloat, 1.75), number(TypeInt8, -2)});
    EXPECT_EQ(record.setCount, 1);
    EXPECT_EQ(record.position.z, 3.0f);
    EXPECT_EQ(record.orientation[12], 7.0f);
    EXPECT_EQ(record.walkSpeed, 4.0f);
    EXPECT_EQ(record.turnSpeed, 0.5f);
    EXPECT_EQ(record.gravity, 1.0f);
    EXPECT_EQ(record.jumpSpeed, 0.0f); // a float does not take a byte
    EXPECT_EQ(record.eyeHeight, 1.75f);
    EXPECT_EQ(record.radius, -2.0f);

    run(*entity, "setPan", {number(TypeInt, 90)});
    EXPECT_EQ(record.pan, 90.0f);

    SharedPtr<Script::ObjectBase> cameraValue = createObject(TypeCamera, &camera);
    run(*entity, "attachCamera", {cameraValue});
    EXPECT_EQ(record.camera, &camera);
    EXPECT_EQ(camera.position.y, 3.75f);
    EXPECT_EQ(camera.up.y, 1.0f);
    run(*entity, "attachCamera", {number(TypeInt, 1)}); // not a camera: ignored
    EXPECT_EQ(record.camera, &camera);

    run(*entity, "calcFirstPerson",
        {cameraValue, number(TypeFloat, 0.5), number(TypeInt, 1), number(TypeFloat, -1),
         number(TypeFloat, 0.25)});
    EXPECT_EQ(record.firstPersonCamera, &camera);
    EXPECT_TRUE(record.onGround);
    EXPECT_EQ(record.forward, 1.0f);
    EXPECT_EQ(record.strafe, -1.0f);
    EXPECT_EQ(record.turn, 0.25f);
    EXPECT_EQ(record.jump, 0.0f); // missing
}

} // namespace
