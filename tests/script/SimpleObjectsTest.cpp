// SPDX-License-Identifier: MIT
// The conversion and arithmetic tables of the single-valued types, read as
// tables: each row is an operation on two typed numbers and the type and
// value it must give (or "empty", or the left operand itself).
#include "script/SimpleObjects.h"

#include <gtest/gtest.h>

#include <cmath>

#include "ScriptValues.h"

namespace {

using script_test::described;
using script_test::number;
using script_test::printed;

struct Operand {
    int32_t type;
    double value;
};

struct OperationRow {
    Operand left;
    char operation; // + - * / & |
    Operand right;
    const char* expected; // described(result); "self" for the left operand
};

SharedPtr<Script::ObjectBase> operate(Script::ObjectBase& left, char operation,
                                      Script::ObjectBase& right) {
    switch (operation) {
    case '+': return left.add(right);
    case '-': return left.sub(right);
    case '*': return left.mul(right);
    case '/': return left.div(right);
    case '&': return left.logicalAnd(right);
    default: return left.logicalOr(right);
    }
}

constexpr Operand Bool(double v) {
    return {TypeBool, v};
}
constexpr Operand Byte(double v) {
    return {TypeByte, v};
}
constexpr Operand Int8(double v) {
    return {TypeInt8, v};
}
constexpr Operand Int(double v) {
    return {TypeInt, v};
}
constexpr Operand Float(double v) {
    return {TypeFloat, v};
}

const OperationRow kOperations[] = {
    // Integer division goes through float and truncates...
    {Int(7), '/', Int(2), "int 3"},
    {Int(-7), '/', Int(2), "int -3"},
    {Int8(-100), '/', Int8(3), "int8 -33"},
    // ...except byte by byte and byte by int, which divide as integers.
    {Byte(200), '/', Byte(3), "byte 66"},
    {Byte(200), '/', Int(-3), "int -66"},
    {Byte(200), '/', Byte(0), "byte 0"}, // no crash
    {Byte(200), '/', Int(0), "int 0"},
    // A float left operand gives an int back for an int right operand,
    // except when adding.
    {Float(7.5), '-', Int(2), "int 5"},
    {Float(7.5), '+', Int(2), "float 9.5"},
    {Float(7.5), '*', Int(2), "int 15"},
    {Float(7.5), '/', Int(2), "int 3"},
    {Float(7.5), '+', Bool(1), "float 8.5"},
    {Float(7.5), '-', Bool(1), "empty"},
    {Float(7.5), '+', Byte(1), "empty"},
    {Float(7.5), '+', Int8(1), "empty"},
    {Float(1), '/', Float(0), "float inf"},
    {Int(2), '+', Float(0.5), "float 2.5"},
    {Float(0.5), '+', Int(2), "float 2.5"},
    // Bytes wrap, and widen to int when the other side is an int.
    {Byte(200), '+', Byte(100), "byte 44"},
    {Byte(200), '+', Int(100), "int 300"},
    {Byte(10), '-', Byte(20), "byte 246"},
    {Byte(16), '*', Byte(17), "byte 16"},
    {Byte(3), '*', Float(0.5), "float 1.5"},
    {Byte(3), '+', Int8(1), "empty"},
    {Int8(100), '+', Int8(100), "int8 -56"},
    {Int8(-1), '+', Int(300), "int 299"},
    {Int(2147483647), '+', Int(1), "int -2147483648"},
    {Int(5), '+', Byte(1), "empty"},
    // bool multiplies, and otherwise is itself.
    {Bool(1), '*', Byte(7), "byte 7"},
    {Bool(0), '*', Int(7), "int 0"},
    {Bool(1), '*', Float(2.5), "float 2.5"},
    {Bool(1), '*', Bool(1), "empty"},
    {Bool(1), '+', Int(1), "self"},
    {Bool(1), '/', Int(1), "self"},
    // Truth is "greater than zero".
    {Int(3), '&', Float(-1), "bool false"},
    {Int(3), '|', Float(-1), "bool true"},
    {Int8(-1), '|', Int8(0), "bool false"},
    {Int8(1), '&', Int(2), "bool true"},
    {Int(1), '&', Int8(1), "empty"},
    {Bool(1), '&', Bool(0), "bool false"},
    {Bool(1), '|', Int(0), "empty"},
    {Byte(1), '&', Byte(1), "self"},
    {Float(1), '|', Float(1), "self"},
};

TEST(SimpleObjectsTest, OperationsGiveTheTypeAndValueTheTablesSay) {
    for (const OperationRow& row : kOperations) {
        SharedPtr<Script::ObjectBase> left = number(row.left.type, row.left.value);
        SharedPtr<Script::ObjectBase> right = number(row.right.type, row.right.value);
        const std::string before = described(left);
        SharedPtr<Script::ObjectBase> result = operate(*left, row.operation, *right);
        const std::string where = described(left) + " " + row.operation + " " + described(right);
        if (std::string(row.expected) == "self") {
            EXPECT_EQ(result.object, left.object) << where;
            EXPECT_EQ(*result.refCount, 2u) << where << ": the handle shares the left's count";
        } else {
            EXPECT_EQ(described(result), row.expected) << where;
            EXPECT_NE(result.object, left.object) << where;
        }
        // Operations never change their operands.
        EXPECT_EQ(described(left), before) << where;
    }
}

struct AssignRow {
    int32_t target;
    Operand source;
    const char* expected;
};

const AssignRow kAssignments[] = {
    {TypeBool, Int(-5), "bool false"},
    {TypeBool, Float(0.5), "bool true"},
    {TypeBool, Byte(1), "bool true"},
    {TypeByte, Int(513), "byte 1"},
    {TypeByte, Float(-1.9), "byte 255"},
    {TypeByte, Int8(5), "byte 0"}, // not a source a byte takes
    {TypeInt8, Int(383), "int8 127"},
    {TypeInt8, Float(1e30), "int8 0"}, // out of range truncates to INT_MIN
    {TypeInt, Float(-2.9), "int -2"},
    {TypeInt, Byte(9), "int 0"},
    {TypeInt, Float(NAN), "int -2147483648"},
    {TypeFloat, Int8(-3), "float -3"},
    {TypeFloat, Bool(1), "float 1"},
    {TypeFloat, Byte(9), "float 0"},
};

TEST(SimpleObjectsTest, AssignmentsConvertOnlyTheSourcesATypeTakes) {
    for (const AssignRow& row : kAssignments) {
        SharedPtr<Script::ObjectBase> target = createObject(row.target);
        SharedPtr<Script::ObjectBase> source = number(row.source.type, row.source.value);
        target->assign(*source);
        EXPECT_EQ(described(target), row.expected) << described(source);
    }
}

TEST(SimpleObjectsTest, AddAndSubtractAssignChangeOnlyBytesAndFloats) {
    SharedPtr<Script::ObjectBase> byte = number(TypeByte, 250);
    byte->addAssign(*number(TypeInt, 10));
    EXPECT_EQ(described(byte), "byte 4");
    byte->subAssign(*number(TypeFloat, 5.9));
    EXPECT_EQ(described(byte), "byte 255");

    SharedPtr<Script::ObjectBase> real = number(TypeFloat, 1.5);
    real->addAssign(*number(TypeInt8, -2));
    real->subAssign(*number(TypeByte, 1)); // not taken
    EXPECT_EQ(described(real), "float -0.5");

    SharedPtr<Script::ObjectBase> whole = number(TypeInt, 1);
    whole->addAssign(*number(TypeInt, 1));
    EXPECT_EQ(described(whole), "int 1");
}

TEST(SimpleObjectsTest, PrintFormats) {
    EXPECT_EQ(printed(*number(TypeBool, 1)), "true");
    EXPECT_EQ(printed(*number(TypeByte, 65)), "A");
    EXPECT_EQ(printed(*number(TypeInt8, 10)), "\n");
    EXPECT_EQ(printed(*number(TypeInt, -42)), "-42");
    EXPECT_EQ(printed(*number(TypeFloat, 1.0 / 3.0)), "0.333333");
    EXPECT_EQ(printed(*number(TypeFloat, 1234567.0)), "1.23457e+06");
    EXPECT_EQ(printed(*createObject(TypeVoid)), "");
}

TEST(SimpleObjectsTest, StringsAppendInPlaceAndNeverOverrun) {
    SharedPtr<Script::ObjectBase> left = script_test::text("ab");
    SharedPtr<Script::ObjectBase> result = left->add(*script_test::text("cd"));
    EXPECT_EQ(result.object, left.object);
    EXPECT_EQ(printed(*left), "abcd");
    EXPECT_FALSE(left->add(*number(TypeInt, 1)));
    EXPECT_EQ(left->sub(*script_test::text("x")).object, left.object);

    // Doubling a text onto itself stops at 511 characters.
    for (int i = 0; i < 10; ++i) left->add(*left);
    EXPECT_EQ(printed(*left).size(), 511u);
    EXPECT_EQ(printed(*left).substr(0, 8), "abcdabcd");
}

TEST(SimpleObjectsTest, ResetClearsABoundFloatsEngineValueButNotOthers) {
    float engine = 4.0f;
    SharedPtr<Script::ObjectBase> real = createObject(TypeFloat, &engine);
    real->reset();
    EXPECT_EQ(engine, 0.0f);

    int32_t engineInt = 9;
    SharedPtr<Script::ObjectBase> whole = createObject(TypeInt, &engineInt);
    whole->reset();
    EXPECT_EQ(engineInt, 9);
}

TEST(SimpleObjectsTest, SineAndCosineTakeIntsAndFloatsOnly) {
    SharedPtr<Script::ObjectBase> result = number(TypeFloat, 5);
    result->cosine(*number(TypeInt, 0));
    EXPECT_EQ(described(result), "float 1");
    result->sine(*number(TypeFloat, 0.5));
    EXPECT_EQ(*static_cast<ObjectFloat&>(*result).value, std::sin(0.5f));
    result->sine(*number(TypeByte, 1));
    EXPECT_EQ(*static_cast<ObjectFloat&>(*result).value, std::sin(0.5f));
}

} // namespace
