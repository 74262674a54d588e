// SPDX-License-Identifier: MIT
#include "core/RelationReader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/Language.h"
#include "core/Log.h"

namespace {

std::u16string text(Language& table, const char16_t* key) {
    return std::u16string(table.get(key).view());
}

class RelationReaderTest : public ::testing::Test {
protected:
    Language table;
    std::vector<std::u16string> lines;
    ScopedLogSink sink{[this](const String& line) { lines.emplace_back(line.view()); }};
};

TEST_F(RelationReaderTest, HeadingsOpenLanguagesAndRecordsFollowThem) {
    const RelationReadResult result =
        readRelations(table,
                      "\xEF\xBB\xBF# comment\r\n"
                      "[English]\r\n"
                      "Error = Error\r\n"
                      "  Info=  Information  \n"
                      "\n"
                      "; another comment\n"
                      "[ Deutsch ]\n"
                      "Info = Hinweis \xE2\x80\x93 gr\xC3\xBC\xC3\x9F\n"
                      "[English]\n"
                      "Lines = one\\ntwo\\tthree \\\\ C:\\img\\a.png",
                      u"test.lang");
    EXPECT_EQ(result.records, 4);
    EXPECT_EQ(result.problems, 0);
    ASSERT_EQ(table.languageCount, 2); // a second [English] adds to the first
    EXPECT_EQ(std::u16string(table.languages.items[1]->name.view()), u"Deutsch");
    EXPECT_EQ(text(table, u"Info"), u"Information");
    EXPECT_EQ(text(table, u"Lines"), u"one\ntwo\tthree \\ C:\\img\\a.png");
    table.currentLanguage = 1;
    EXPECT_EQ(text(table, u"Info"), u"Hinweis \u2013 gr\u00FC\u00DF");
    EXPECT_EQ(text(table, u"Error"), u"Error"); // from English
}

// A table may come from a file: every bad line costs its own record only,
// and says where it was.
TEST_F(RelationReaderTest, BadLinesAreLoggedWithTheirNumberAndSkipped) {
    const std::string longText(kMaxRelationLineBytes, 'x');
    const RelationReadResult result = readRelations(table,
                                                    "Early = before any heading\n"
                                                    "[English\n"
                                                    "Lost = under a broken heading\n"
                                                    "[]\n"
                                                    "[English]\n"
                                                    "no equals sign\n"
                                                    " = no key\n"
                                                    "two words = no\n"
                                                    "Long = " +
                                                        longText +
                                                        "\n"
                                                        "Bad = \xFF\xFE ok\n"
                                                        "Kept = yes\n",
                                                    u"user.lang");
    EXPECT_EQ(result.records, 2);
    EXPECT_EQ(result.problems, 8);
    EXPECT_EQ(text(table, u"Kept"), u"yes");
    EXPECT_EQ(text(table, u"Bad"), u"\uFFFD\uFFFD ok");
    EXPECT_EQ(&table.get(u"Early"), &languageFallbackText());
    EXPECT_EQ(&table.get(u"Lost"), &languageFallbackText());
    EXPECT_EQ(&table.get(u"Long"), &languageFallbackText());
    ASSERT_EQ(lines.size(), 8u);
    EXPECT_TRUE(lines[0].starts_with(u"user.lang:1: "))
        << std::string(lines[0].begin(), lines[0].end());
    EXPECT_TRUE(lines[7].starts_with(u"user.lang:9: "));
}

TEST_F(RelationReaderTest, OversizedTextIsRefusedWhole) {
    std::string huge = "[English]\nKey = value\n";
    huge.resize(kMaxRelationTextBytes + 1, '#');
    const RelationReadResult result = readRelations(table, huge, u"huge.lang");
    EXPECT_EQ(result.records, 0);
    EXPECT_EQ(table.languageCount, 0);
    ASSERT_EQ(lines.size(), 1u);
}

TEST_F(RelationReaderTest, ReadingStopsOnceTheFilterHasEveryWantedKey) {
    const char16_t* wanted[] = {u"Error"};
    table.addLanguage(u"English");
    table.setFilter(wanted, 1);
    const RelationReadResult result =
        readRelations(table, "[English]\nInfo = skipped\nError = E\nError = never read\n", u"t");
    EXPECT_EQ(result.records, 2); // the filter saw Info and the first Error
    EXPECT_EQ(table.languages.items[0]->count, 1);
    EXPECT_EQ(text(table, u"Error"), u"E");
}

} // namespace
