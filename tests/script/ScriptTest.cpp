// SPDX-License-Identifier: MIT
// The frame of the language: the handle's counting, the token table and
// registry every Script builds, and how statements and plain methods run.
#include "script/Script.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "ScriptValues.h"
#include "script/BuiltinMethods.h"

namespace {

using script_test::FixedNode;
using script_test::number;

struct Counted {
    static int alive;
    Counted() { ++alive; }
    ~Counted() { --alive; }
};
int Counted::alive = 0;

TEST(SharedPtrTest, CountsCopiesMovesAndSelfAssignment) {
    {
        SharedPtr<Counted> first = makeShared<Counted>();
        SharedPtr<Counted> copy = first;
        EXPECT_EQ(*first.refCount, 2u);
        copy = copy;
        copy = first;
        EXPECT_EQ(*first.refCount, 2u);
        SharedPtr<Counted> moved = std::move(copy);
        EXPECT_TRUE(copy.empty());
        EXPECT_EQ(copy.refCount, nullptr);
        EXPECT_EQ(*first.refCount, 2u);
        first.release();
        EXPECT_EQ(Counted::alive, 1);
        moved = SharedPtr<Counted>();
        EXPECT_EQ(Counted::alive, 0);
    }
    EXPECT_EQ(Counted::alive, 0);
}

TEST(ScriptTest, EveryScriptBuildsTheSameTokenTableInOrder) {
    const char* const texts[] = {
        "void",  "bool",   "byte",     "int8", "int",   "float", "String", "vec2d",
        "vec3d", "Color",  "Matrix3d", "::",   "(",     ")",     ",",      "{",
        "}",     "return", "=",        "+=",   "print", ";"};
    const int32_t typeIds[] = {1, 2, 3, 4, 5, 6, 7, 9, 10, 11, 14};
    const int32_t keywordIds[] = {1, 2, 3, 4, 5, 6, 14, 15, 16, 20};
    Script script;
    ASSERT_EQ(script.markerCount, 22u);
    for (uint32_t i = 0; i < script.markerCount; ++i) {
        const Script::Marker& marker = script.markers.items[i];
        EXPECT_EQ(std::string(marker.tokenText, size_t(marker.tokenLength)), texts[i]);
        if (i < 11) {
            EXPECT_EQ(marker.tokenKind, Script::MarkerType);
            EXPECT_EQ(marker.typeId, typeIds[i]);
        } else if (i < 21) {
            EXPECT_EQ(marker.tokenKind, Script::MarkerKeyword);
            EXPECT_EQ(marker.keywordId, keywordIds[i - 11]);
        } else {
            EXPECT_EQ(marker.tokenKind, Script::MarkerEnd);
        }
    }
    EXPECT_EQ(script.markers.items[17].boundMethod.object, script.returnMethod.object);
    EXPECT_EQ(script.markers.items[20].boundMethod.object, script.printMethod.object);
    EXPECT_TRUE(script.markers.items[18].boundMethod.empty());
}

TEST(ScriptTest, TheRegistryHoldsTheBuiltInsInOrderAndOutlivesItsScript) {
    const char* const names[] = {"+", "-", "*", "/", "sin", "cos", "&&", "||", "print", "=", "="};
    const int32_t kinds[] = {7, 8, 10, 9, 18, 19, 11, 12, 13, 15, 15};
    SharedPtr<Script::Method> kept;
    {
        Script script;
        ASSERT_EQ(script.methodCount, 11u);
        for (uint32_t i = 0; i < script.methodCount; ++i) {
            EXPECT_STREQ(script.methods.items[i]->name, names[i]);
            EXPECT_EQ(script.methods.items[i]->kindOf(), kinds[i]);
        }
        EXPECT_EQ(script.printMethod.object, script.methods.items[8].object);
        EXPECT_EQ(script.assignMethod.object, script.methods.items[9].object);
        EXPECT_EQ(script.returnMethod.object, script.methods.items[10].object);
        EXPECT_NE(script.assignMethod.object, script.returnMethod.object);
        EXPECT_STREQ(script.globalMethod->name, "global");
        kept = script.methods.items[0];
    }
    EXPECT_EQ(*kept.refCount, 1u);
    EXPECT_EQ(kept->kindOf(), KindAdd);
}

TEST(ScriptTest, StatementsRunIntoTheirTargets) {
    Script::ExpressionParser missing;
    EXPECT_TRUE(missing.run().empty());

    // A result goes into the target, which is then the result.
    Script::ExpressionParser line;
    line.target = createObject(TypeInt);
    line.node = new FixedNode(number(TypeFloat, 2.75));
    SharedPtr<Script::ObjectBase> result = line.run();
    EXPECT_EQ(result.object, line.target.object);
    EXPECT_EQ(*static_cast<ObjectInt&>(*line.target).value, 2);

    // An empty result leaves the target alone.
    auto* nothing = new FixedNode({});
    Script::ExpressionParser empty;
    empty.target = number(TypeInt, 5);
    empty.node = nothing;
    EXPECT_TRUE(empty.run().empty());
    EXPECT_EQ(*static_cast<ObjectInt&>(*empty.target).value, 5);
}

TEST(ScriptTest, MethodsRunEveryStatementThenSubMethodsAndGiveTheirReturnValue) {
    SharedPtr<Script::Method> method = makeShared<Script::Method>("f", SharedPtr<Script::Method>());
    EXPECT_TRUE(method->execute().empty());

    method->returnValue = createObject(TypeInt);
    SharedPtr<Script::ObjectBase> counter = createObject(TypeInt);
    auto* node = new FixedNode(number(TypeInt, 7));
    Script::ExpressionParser* line = method->statement(0);
    line->node = node;
    line->target = method->returnValue;
    method->statementCount = 1;

    SharedPtr<Script::Method> after = makeShared<Script::Method>("g", SharedPtr<Script::Method>());
    auto* afterNode = new FixedNode(number(TypeInt, 1));
    after->statement(0)->node = afterNode;
    after->statementCount = 1;
    *method->subMethods.get(0) = after;
    method->subMethodCount = 1;

    SharedPtr<Script::ObjectBase> result = method->execute();
    EXPECT_EQ(result.object, method->returnValue.object);
    EXPECT_EQ(*static_cast<ObjectInt&>(*result).value, 7);
    EXPECT_EQ(node->evaluations, 1);
    EXPECT_EQ(afterNode->evaluations, 1);

    // A copy shares variables, targets and the return value, but has no
    // expressions, so running it changes nothing.
    *method->variables.get(0) = counter;
    method->variableCount = 1;
    SharedPtr<Script::Method> copy = method->clone(method);
    EXPECT_STREQ(copy->name, "f");
    EXPECT_EQ(copy->variables.items[0].object, counter.object);
    EXPECT_EQ(copy->statements.items[0].target.object, method->returnValue.object);
    EXPECT_EQ(copy->statements.items[0].node, nullptr);
    *static_cast<ObjectInt&>(*method->returnValue).value = 0;
    copy->execute();
    EXPECT_EQ(*static_cast<ObjectInt&>(*method->returnValue).value, 0);
    EXPECT_EQ(afterNode->evaluations, 2); // the shared sub-method still runs
}

TEST(ScriptTest, GrowingTheStatementsKeepsTheirExpressions) {
    SharedPtr<Script::Method> method = makeShared<Script::Method>("f", SharedPtr<Script::Method>());
    std::vector<FixedNode*> nodes;
    for (int32_t i = 0; i < 100; ++i) {
        nodes.push_back(new FixedNode(number(TypeInt, i)));
        method->statement(i)->node = nodes.back();
        method->statementCount = i + 1;
    }
    method->execute();
    for (FixedNode* node : nodes) EXPECT_EQ(node->evaluations, 1);
}

} // namespace
