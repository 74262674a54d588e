// SPDX-License-Identifier: MIT
#include "core/Language.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::u16string units(const String& s) {
    return std::u16string(s.text(), size_t(s.length));
}

class LanguageLookup : public ::testing::Test {
protected:
    Language table;
    void SetUp() override {
        ASSERT_EQ(table.addLanguage(u"English"), 0);
        ASSERT_EQ(table.addLanguage(u"German"), 1);
        table.addRelation(0, u"Error", u"Error");
        table.addRelation(0, u"Info", u"Information");
        table.addRelation(1, u"Info", u"Hinweis");
        table.addRelation(1, u"Info", u"shadowed by the first record");
        table.currentLanguage = 1;
    }
};

TEST_F(LanguageLookup, CurrentLanguageThenEnglishThenFallback) {
    EXPECT_EQ(units(table.get(u"Info")), u"Hinweis");
    EXPECT_EQ(units(table.get(u"Error")), u"Error");
    EXPECT_EQ(&table.get(u"error"), &languageFallbackText()); // case matters
    EXPECT_EQ(&table.get(u"Err"), &languageFallbackText());   // prefix is not a match
    EXPECT_EQ(units(languageFallbackText()), u"==>Error<==");

    table.currentLanguage = 7;
    EXPECT_EQ(units(table.get(u"Info")), u"Information");
}

TEST_F(LanguageLookup, EnglishIsFoundByExactName) {
    Language other;
    other.addLanguage(u"english");
    other.addLanguage(u"English ");
    EXPECT_EQ(other.englishIndex(), -1);
    // Without English, a current language out of range has nothing to search.
    other.currentLanguage = 5;
    EXPECT_EQ(&other.get(u"Info"), &languageFallbackText());
    EXPECT_EQ(other.addLanguage(u"English"), 2);
    EXPECT_EQ(other.englishIndex(), 2);
}

TEST_F(LanguageLookup, RecordsForMissingLanguagesAreDropped) {
    EXPECT_TRUE(table.addRelation(2, u"Info", u"x"));
    EXPECT_TRUE(table.addRelation(-1, u"Info", u"x"));
    EXPECT_TRUE(table.addRelation(0, u"Empty", nullptr));
    EXPECT_EQ(table.languages.items[0]->count, 3);
    EXPECT_EQ(table.get(u"Empty").length, 0);
    EXPECT_NE(&table.get(u"Empty"), &languageFallbackText());
}

TEST(LanguageTable, EmptyTableGivesFallbackEverywhere) {
    Language table;
    EXPECT_EQ(&table.get(u"Error"), &languageFallbackText());
    EXPECT_EQ(&table.get(String()), &languageFallbackText());
    table.addLanguage(u"English");
    table.addRelation(0, u"Error", u"Error");
    table.clear();
    EXPECT_EQ(table.languageCount, 0);
    EXPECT_EQ(&table.get(u"Error"), &languageFallbackText());
}

TEST(LanguageTable, FilterStopsReaderOnceEveryWantedKeyIsSeen) {
    Language table;
    table.addLanguage(u"English");
    const char16_t* wanted[] = {u"Error", u"Info"};
    table.setFilter(wanted, 2);
    EXPECT_TRUE(table.addRelation(0, u"Other", u"ignored"));
    EXPECT_TRUE(table.addRelation(0, u"Error", u"E"));
    EXPECT_FALSE(table.addRelation(0, u"Info", u"I"));
    EXPECT_EQ(table.languages.items[0]->count, 2);
    EXPECT_EQ(&table.get(u"Other"), &languageFallbackText());
    EXPECT_EQ(units(table.get(u"Info")), u"I");

    table.setFilter(nullptr, 0);
    EXPECT_TRUE(table.addRelation(0, u"Other", u"kept"));
    EXPECT_EQ(units(table.get(u"Other")), u"kept");
}

} // namespace
