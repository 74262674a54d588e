// SPDX-License-Identifier: MIT
// Vectors, colours and matrices: members that are views of their owner,
// the component rules of setElement, arithmetic, printing and the vector
// member methods.
#include "script/VectorObjects.h"

#include <gtest/gtest.h>

#include <cmath>

#include "ScriptValues.h"
#include "script/ColorObject.h"
#include "script/MatrixObject.h"

namespace {

using script_test::described;
using script_test::number;
using script_test::printed;

SharedPtr<Script::ObjectBase> vec3(float x, float y, float z) {
    SharedPtr<Script::ObjectBase> made = createObject(TypeVec3d);
    static_cast<ObjectVec3d&>(*made).storage = ScriptVector<3>{{x, y, z}};
    return made;
}

SharedPtr<Script::ObjectBase> run(const SharedPtr<Script::Method>& prototype,
                                  std::initializer_list<SharedPtr<Script::ObjectBase>> arguments) {
    SharedPtr<Script::Method> method = prototype->clone({});
    int32_t i = 0;
    for (const SharedPtr<Script::ObjectBase>& argument : arguments)
        method->statement(i++)->node = new script_test::FixedNode(argument);
    return method->execute();
}

TEST(VectorObjectsTest, ArithmeticAndPrinting) {
    EXPECT_EQ(printed(*vec3(1.0f, 0.5f, 2.0f)), "(1,0.5,2)");
    EXPECT_EQ(described(vec3(1, 2, 3)->mul(*vec3(4, 5, 6))), "vec3d (32,32,32)");
    EXPECT_EQ(described(vec3(1, 2, 3)->add(*vec3(4, 5, 6))), "vec3d (5,7,9)");
    EXPECT_EQ(described(vec3(1, 2, 3)->sub(*vec3(4, 5, 6))), "vec3d (-3,-3,-3)");
    EXPECT_EQ(described(vec3(1, 2, 3)->mul(*number(TypeFloat, 2))), "vec3d (2,4,6)");
    EXPECT_EQ(described(vec3(1, 2, 3)->mul(*number(TypeInt, 2))), "empty");
    EXPECT_EQ(described(vec3(1, 2, 3)->add(*createObject(TypeVec2d))), "empty");
    EXPECT_EQ(described(createObject(TypeVec2d)->mul(*createObject(TypeVec2d))), "empty");
    SharedPtr<Script::ObjectBase> left = vec3(1, 2, 3);
    EXPECT_EQ(left->div(*vec3(1, 1, 1)).object, left.object);

    // Scaling reads the float's own storage, not what it is bound to.
    float engine = 10.0f;
    SharedPtr<Script::ObjectBase> bound = createObject(TypeFloat, &engine);
    static_cast<ObjectFloat&>(*bound).storage = 3.0f;
    EXPECT_EQ(described(vec3(1, 1, 1)->mul(*bound)), "vec3d (3,3,3)");
}

TEST(VectorObjectsTest, SetElementFillsComponentsOrCopiesWholeVectors) {
    SharedPtr<Script::ObjectBase> v = vec3(1, 2, 3);
    v->setElement(*number(TypeInt, 7), 1);
    v->setElement(*number(TypeByte, 200), 2);
    EXPECT_EQ(printed(*v), "(1,7,200)");
    v->setElement(*number(TypeInt8, 5), 0);  // not a component source: 0
    v->setElement(*number(TypeFloat, 9), 3); // no such component
    EXPECT_EQ(printed(*v), "(0,7,200)");
    v->setElement(*vec3(4, 5, 6), 9);
    EXPECT_EQ(printed(*v), "(4,5,6)");
}

TEST(VectorObjectsTest, MembersAreViewsOfTheVectorAndOfWhatItIsBoundTo) {
    float engine[3] = {1.0f, 2.0f, 3.0f};
    SharedPtr<Script::ObjectBase> v = createObject(TypeVec3d, engine);
    v->findMember("z")->assign(*number(TypeInt, 30));
    EXPECT_EQ(engine[2], 30.0f);
    v->reset(); // clears its own storage, not the engine's vector
    EXPECT_EQ(engine[0], 1.0f);
    EXPECT_EQ(printed(*v->findMember("x")), "1");
}

TEST(VectorObjectsTest, MemberMethods) {
    SharedPtr<Script::ObjectBase> v = createObject(TypeVec2d);
    auto& plane = static_cast<ObjectVec2d&>(*v);
    plane.storage = ScriptVector<2>{{3.0f, 4.0f}};
    EXPECT_EQ(described(run(v->findMethod("length"), {})), "float 5");
    SharedPtr<Script::ObjectBase> same = run(v->findMethod("normalize"), {});
    EXPECT_EQ(same.object, v.object);
    EXPECT_NEAR(plane.storage.c[0], 0.6f, 1e-4f);
    EXPECT_NEAR(plane.storage.c[1], 0.8f, 1e-4f);

    plane.storage = ScriptVector<2>{{0.0f, -0.0f}};
    EXPECT_EQ(described(run(v->findMethod("isNull"), {})), "bool true");
    run(v->findMethod("normalize"), {});
    EXPECT_EQ(printed(plane), "(0,-0)");
    EXPECT_EQ(described(run(v->findMethod("length"), {})), "float 0");
    plane.storage = ScriptVector<2>{{NAN, 0.0f}};
    EXPECT_EQ(described(run(v->findMethod("isNull"), {})), "bool false");

    // "set" takes every argument as a float takes it, or nothing at all.
    EXPECT_TRUE(run(v->findMethod("set"), {number(TypeFloat, 1.5), number(TypeInt, 2)}).empty());
    EXPECT_EQ(printed(plane), "(1.5,2)");
    run(v->findMethod("set"), {number(TypeFloat, 7)});
    EXPECT_EQ(printed(plane), "(1.5,2)");
    run(v->findMethod("set"), {number(TypeBool, 1), script_test::text("x")});
    EXPECT_EQ(printed(plane), "(1,0)");
}

TEST(ColorObjectTest, ComponentsLieOnTheBytesOfTheColour) {
    uint32_t engine = 0x80402010; // a 0x80, r 0x40, g 0x20, b 0x10
    SharedPtr<Script::ObjectBase> colour = createObject(TypeColor, &engine);
    EXPECT_EQ(printed(*colour), "(128,64,32,16)");
    EXPECT_EQ(described(colour->findMember("r")), "byte 64");
    colour->setElement(*number(TypeInt, 0x1FF), 0);
    colour->setElement(*number(TypeFloat, 2.9), 3);
    colour->setElement(*number(TypeBool, 1), 2);
    EXPECT_EQ(engine, 0xFF400002u);
    SharedPtr<Script::ObjectBase> copy = createObject(TypeColor);
    copy->setElement(*colour, 3);
    EXPECT_EQ(printed(*copy), "(255,64,0,2)");
    EXPECT_EQ(copy->add(*colour).object, copy.object);
}

TEST(MatrixObjectTest, RowsAreVectorsAndArithmeticGivesNothing) {
    SharedPtr<Script::ObjectBase> matrix = createObject(TypeMatrix3d);
    auto& m = static_cast<ObjectMatrix3d&>(*matrix);
    EXPECT_EQ(printed(m), "(1,0,0)");
    m.setElement(*vec3(1, 2, 3), 1);
    EXPECT_EQ(printed(*m.findMember("v2")), "(1,2,3)");
    EXPECT_EQ(m.storage.m[7], 0.0f); // the row's fourth float stays
    m.setElement(*number(TypeInt, 4), 1);
    EXPECT_EQ(printed(*m.findMember("v2")), "(0,0,0)");
    m.setElement(*vec3(9, 9, 9), 4);
    EXPECT_EQ(m.storage.m[15], 1.0f);

    SharedPtr<Script::ObjectBase> sum = m.add(m);
    EXPECT_TRUE(sum.empty());
    EXPECT_EQ(sum.refCount, nullptr);
    EXPECT_EQ(m.div(m).object, &m);

    // Recycled or new, a matrix starts as the identity.
    m.findMember("v1")->assign(*vec3(5, 5, 5));
    matrix.recycle();
    EXPECT_EQ(printed(*createObject(TypeMatrix3d)), "(1,0,0)");
}

} // namespace
