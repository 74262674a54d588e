// SPDX-License-Identifier: MIT
// The value factory and its pools, and member lookup by a source range.
#include "script/ObjectBase.h"

#include <gtest/gtest.h>

#include "ScriptValues.h"
#include "script/VectorObjects.h"

namespace {

TEST(ObjectBaseTest, OnlyTheKnownTypeIdsMakeValues) {
    for (int32_t id : {0, 8, 18, -1, 1000}) EXPECT_TRUE(createObject(id).empty()) << id;
    for (int32_t id = 1; id < kScriptTypeLimit; ++id) {
        if (id == 8) continue;
        SharedPtr<Script::ObjectBase> made = createObject(id);
        ASSERT_TRUE(made) << id;
        EXPECT_EQ(made->typeId, id);
        EXPECT_FALSE(made->isMethod());
        EXPECT_STREQ(made->name, "");
    }
}

TEST(ObjectBaseTest, ARecycledValueComesBackUnboundClearedAndNameless) {
    float engine[3] = {1.0f, 2.0f, 3.0f};
    const uint32_t pooled = scriptPoolCount(TypeVec3d);
    SharedPtr<Script::ObjectBase> vector = createObject(TypeVec3d, engine);
    std::snprintf(vector->name, sizeof vector->name, "v");
    Script::ObjectBase* const address = vector.object;
    vector.recycle();
    EXPECT_EQ(scriptPoolCount(TypeVec3d), pooled + 1);
    // Recycling writes nothing through the binding.
    EXPECT_EQ(engine[0], 1.0f);

    SharedPtr<Script::ObjectBase> again = createObject(TypeVec3d);
    ASSERT_EQ(again.object, address); // the newest pooled object first
    auto& reused = static_cast<ObjectVec3d&>(*again);
    EXPECT_EQ(reused.value, &reused.storage);
    EXPECT_STREQ(reused.name, "");
    EXPECT_EQ(script_test::printed(reused), "(0,0,0)");
    // Its members follow it back to its own storage.
    SharedPtr<Script::ObjectBase> x = reused.findMember("x");
    *static_cast<ObjectFloat&>(*x).value = 9.0f;
    EXPECT_EQ(reused.storage.c[0], 9.0f);
    EXPECT_EQ(engine[0], 1.0f);

    // A bound float recycled does not clear the engine's float either.
    float engineFloat = 5.0f;
    SharedPtr<Script::ObjectBase> real = createObject(TypeFloat, &engineFloat);
    real.recycle();
    EXPECT_EQ(engineFloat, 5.0f);
}

TEST(ObjectBaseTest, OnlyTheLastHandleRecycles) {
    const uint32_t pooled = scriptPoolCount(TypeInt);
    SharedPtr<Script::ObjectBase> value = createObject(TypeInt);
    SharedPtr<Script::ObjectBase> other = value;
    other.recycle();
    EXPECT_TRUE(other.empty());
    EXPECT_EQ(scriptPoolCount(TypeInt), pooled);
    EXPECT_EQ(*value.refCount, 1u);
}

TEST(ObjectBaseTest, AMemberHeldPastItsOwnerNoLongerPointsIntoIt) {
    SharedPtr<Script::ObjectBase> member;
    {
        SharedPtr<Script::ObjectBase> vector = createObject(TypeVec2d);
        member = vector->findMember("y");
    }
    // The owner is gone; writing the member must stay inside the member.
    static_cast<ObjectFloat&>(*member).assign(*script_test::number(TypeFloat, 2.0));
    EXPECT_EQ(script_test::printed(*member), "2");
}

TEST(ObjectBaseTest, NamesMatchWithBlanksSkippedAndNothingLeftOver) {
    SharedPtr<Script::ObjectBase> vector = createObject(TypeVec2d);
    EXPECT_TRUE(vector->findMember(" x "));
    EXPECT_TRUE(vector->findMember("y"));
    EXPECT_FALSE(vector->findMember("xx"));
    EXPECT_FALSE(vector->findMember(""));
    EXPECT_FALSE(vector->findMember("z"));
    EXPECT_TRUE(vector->findMethod("nor malize"));
    EXPECT_FALSE(vector->findMethod("normalise"));
    EXPECT_FALSE(createObject(TypeInt)->findMember("x"));
}

} // namespace
