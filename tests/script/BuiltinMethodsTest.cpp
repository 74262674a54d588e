// SPDX-License-Identifier: MIT
// The registry's methods run on their own statements: operators, sin and
// cos, print with its one error message, assignment, and how each clones.
#include "script/BuiltinMethods.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "ScriptValues.h"
#include "script/VectorObjects.h"

namespace {

using script_test::described;
using script_test::FixedNode;
using script_test::number;

class BuiltinMethodsTest : public ::testing::Test {
protected:
    Script script;

    // A clone of registry entry `index` with its arguments filled in.
    SharedPtr<Script::Method> call(uint32_t index,
                                   std::initializer_list<SharedPtr<Script::ObjectBase>> arguments) {
        SharedPtr<Script::Method> method = script.methods.items[index]->clone({});
        int32_t i = 0;
        for (const SharedPtr<Script::ObjectBase>& argument : arguments)
            method->statement(i++)->node = new FixedNode(argument);
        return method;
    }

    std::string output(const SharedPtr<Script::Method>& method) {
        char* buffer = nullptr;
        size_t size = 0;
        std::FILE* stream = open_memstream(&buffer, &size);
        setScriptOutput(stream);
        method->execute();
        std::fclose(stream);
        setScriptOutput(nullptr);
        std::string text(buffer, size);
        std::free(buffer);
        return text;
    }
};

TEST_F(BuiltinMethodsTest, OperatorsReadBothArgumentsAndFollowTheValueTables) {
    EXPECT_EQ(described(call(0, {number(TypeInt, 2), number(TypeFloat, 0.5)})->execute()),
              "float 2.5");
    EXPECT_EQ(described(call(1, {number(TypeFloat, 7.5), number(TypeInt, 2)})->execute()), "int 5");
    EXPECT_EQ(described(call(2, {number(TypeInt, 6), number(TypeInt, 7)})->execute()), "int 42");
    EXPECT_EQ(described(call(3, {number(TypeInt, 7), number(TypeInt, 2)})->execute()), "int 3");
    EXPECT_EQ(described(call(6, {number(TypeInt, 3), number(TypeFloat, -1)})->execute()),
              "bool false");
    EXPECT_EQ(described(call(7, {number(TypeInt, 3), number(TypeFloat, -1)})->execute()),
              "bool true");
    // A missing operand gives nothing rather than a crash.
    SharedPtr<Script::Method> half = call(0, {number(TypeInt, 2)});
    EXPECT_TRUE(half->execute().empty());
    EXPECT_EQ(half->statementCount, 2);
}

TEST_F(BuiltinMethodsTest, SineAndCosineMakeANewFloat) {
    EXPECT_EQ(described(call(4, {number(TypeInt, 0)})->execute()), "float 0");
    EXPECT_EQ(described(call(5, {number(TypeInt, 0)})->execute()), "float 1");
    EXPECT_EQ(described(call(5, {script_test::text("x")})->execute()), "float 0");
    EXPECT_EQ(described(call(4, {})->execute()), "float 0");
}

TEST_F(BuiltinMethodsTest, PrintWritesItsArgumentOrTheMissingArgumentError) {
    EXPECT_EQ(output(call(8, {number(TypeFloat, 0.1)})), "0.1");
    SharedPtr<Script::Method> empty = call(8, {});
    EXPECT_EQ(output(empty), "Error: (print) Argument expected.\n");
    EXPECT_EQ(empty->statementCount, 1);
    // The name in the message is the method's own.
    SharedPtr<Script::Method> named = makeShared<MethodPrint>();
    std::snprintf(named->name, sizeof named->name, "show");
    named->returnValue = number(TypeInt, 4);
    SharedPtr<Script::Method> copy = named->clone(named);
    EXPECT_EQ(output(copy), "Error: (show) Argument expected.\n");
    EXPECT_EQ(copy->execute().object, named->returnValue.object);
}

TEST_F(BuiltinMethodsTest, ClonesFollowEachClassesRule) {
    SharedPtr<Script::Method> source = makeShared<MethodAnd>();
    std::snprintf(source->name, sizeof source->name, "both");
    EXPECT_STREQ(source->clone(source)->name, "both");
    SharedPtr<Script::Method> add = makeShared<MethodAdd>();
    std::snprintf(add->name, sizeof add->name, "plus");
    EXPECT_STREQ(add->clone(add)->name, "+"); // the source is only released
    EXPECT_EQ(add->clone(add)->kindOf(), KindAdd);
    EXPECT_TRUE(script.assignMethod->clone({}).empty());
}

TEST_F(BuiltinMethodsTest, AssignmentFillsTheReturnValueElementByElement) {
    MethodAssign assign;
    for (int32_t i = 0; i < 3; ++i)
        assign.statement(i)->node = new FixedNode(number(TypeInt, i + 1));
    assign.statementCount = 3;
    // Without a return value nothing runs.
    EXPECT_TRUE(assign.execute().empty());
    EXPECT_EQ(static_cast<FixedNode*>(assign.statements.items[0].node)->evaluations, 0);

    assign.returnValue = createObject(TypeVec3d);
    EXPECT_EQ(script_test::printed(*assign.execute()), "(1,2,3)");

    // Add-assign goes into the statement's target, which is then the value.
    MethodAssign adding;
    adding.mode = KindAddAssign;
    SharedPtr<Script::ObjectBase> total = number(TypeFloat, 1);
    adding.returnValue = total;
    adding.statement(0)->node = new FixedNode(number(TypeInt, 2));
    adding.statement(0)->target = total;
    adding.statementCount = 1;
    adding.execute();
    adding.execute();
    EXPECT_EQ(described(total), "float 5");
    EXPECT_EQ(adding.kindOf(), KindAddAssign);
}

} // namespace
