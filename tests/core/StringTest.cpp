// SPDX-License-Identifier: MIT
#include "core/String.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/FileArray.h"

namespace {

std::u16string units(const String& s) {
    return std::u16string(s.text(), size_t(s.length));
}

TEST(StringSet, NullSourceKeepsTextAndAssigningNullStringKeepsIt) {
    String s(u"abc");
    s.set(nullptr, 5);
    EXPECT_EQ(units(s), u"abc");
    String empty;
    s = empty;
    EXPECT_EQ(units(s), u"abc");
    EXPECT_EQ(s.length, 3);
}

TEST(StringSet, EmptyLiteralGivesTerminatorOnlyBuffer) {
    String s;
    s = u"";
    ASSERT_NE(s.p, nullptr);
    EXPECT_EQ(s.p[0], 0);
    EXPECT_EQ(s.length, 0);
    EXPECT_TRUE(s == String());
}

TEST(StringSet, SameLengthReusesBuffer) {
    String s(u"abc");
    const char16_t* before = s.p;
    s = u"xyz";
    EXPECT_EQ(s.p, before);
    EXPECT_EQ(units(s), u"xyz");
    s = u"wxyz";
    EXPECT_EQ(s.p[4], 0);
}

TEST(StringSet, NarrowBytesWidenAsSignedChars) {
    String s;
    const char bytes[] = {'\xE9', 'A', '\x7F'};
    s.setNarrow(bytes, 3);
    EXPECT_EQ(s.p[0], 0xFFE9);
    EXPECT_EQ(s.p[1], u'A');
    EXPECT_EQ(s.p[2], 0x7F);
}

TEST(StringAppend, ZeroCountAndSelfAppend) {
    String nothing;
    nothing.append(u"de", 0);
    EXPECT_EQ(nothing.p, nullptr);

    String s(u"abc");
    s.append(u"de", 2);
    EXPECT_EQ(units(s), u"abcde");
    EXPECT_EQ(s.length, 5);

    // The new buffer is filled before the old one goes, so a String may append itself.
    s.append(s.p, s.length);
    EXPECT_EQ(units(s), u"abcdeabcde");
}

TEST(StringSub, RangesAndOutOfRangeGiveEmptyText) {
    String s(u"abcde");
    EXPECT_EQ(units(s.sub(2, -1)), u"cde");
    EXPECT_EQ(units(s.sub(3, 10)), u"de");
    for (auto [start, count] : {std::pair{5, 1}, {-1, 2}, {0, 0}}) {
        String empty = s.sub(start, count);
        ASSERT_NE(empty.p, nullptr) << start << "," << count;
        EXPECT_EQ(empty.length, 0);
    }
    EXPECT_EQ(String().sub(0, -1).length, 0);
    EXPECT_EQ(units(s), u"abcde");
}

TEST(StringFind, FirstOccurrenceAndRejectedPatterns) {
    EXPECT_EQ(String(u"aaab").find(String(u"aab")), 1);
    EXPECT_EQ(String(u"data..pack:x").find(String::borrow(u".pack:")), 5);
    EXPECT_EQ(String(u"abc").find(String(u"")), -1);
    EXPECT_EQ(String(u"ab").find(String(u"abc")), -1);
    EXPECT_EQ(String().find(String(u"a")), -1);
    EXPECT_EQ(String(u"abc").find(String(u"abd")), -1);
}

TEST(StringFormat, JoinsTextAndCharacterAndCutsLongOutput) {
    String dir(u"C:\\img");
    String joined;
    joined.format(u"%s%c", dir.text(), u'\\');
    EXPECT_EQ(units(joined), u"C:\\img\\");
    EXPECT_EQ(joined.length, dir.length + 1);

    std::u16string big(9000, u'x');
    String cut;
    cut.format(u"%s", big.c_str());
    EXPECT_EQ(cut.length, 8191);
}

TEST(StringBorrow, DestroyingLeavesTheWrappedTextAlone) {
    char16_t text[] = u"kept";
    {
        String b = String::borrow(text);
        EXPECT_EQ(b.length, 4);
        EXPECT_TRUE(b == String(u"kept"));
    }
    EXPECT_EQ(std::u16string(text), u"kept");
}

TEST(StringStorage, WriteAndReadRoundTrip) {
    FileArray file;
    String(u"abc").write(file);
    ASSERT_EQ(file.size(), 7);
    const unsigned char expected[] = {3, 0, 0, 0, 'a', 'b', 'c'};
    EXPECT_EQ(std::memcmp(file.memory(), expected, 7), 0);

    file.seek(0, 0);
    String back(u"old");
    back.read(file);
    EXPECT_EQ(units(back), u"abc");
    EXPECT_EQ(back.length, 3);
}

TEST(StringStorage, AnsiCodePageIsWindows1252) {
    FileArray file;
    String(u"\u00E9\u20AC\u4E00").write(file);
    const unsigned char* bytes = static_cast<const unsigned char*>(file.memory());
    EXPECT_EQ(bytes[4], 0xE9);
    EXPECT_EQ(bytes[5], 0x80);
    EXPECT_EQ(bytes[6], '?');
    file.seek(0, 0);
    String back;
    back.read(file);
    EXPECT_EQ(units(back), u"\u00E9\u20AC?");
}

// Lengths the stream cannot back leave the target untouched.
TEST(StringStorage, HostileLengthsLeaveTextUnchanged) {
    for (int32_t stored : {0, -1, INT32_MIN, 100, INT32_MAX}) {
        FileArray file;
        file.write(&stored, 4);
        file.write("ab", 2);
        file.seek(0, 0);
        String target(u"keep");
        target.read(file);
        EXPECT_EQ(units(target), u"keep") << stored;
    }
}

TEST(StringStorage, LongTextIsReadWholeThroughATemporaryBuffer) {
    std::u16string longText(20000, u'q');
    longText[19999] = u'\u00FC';
    FileArray file;
    String(longText.c_str()).write(file);
    file.seek(0, 0);
    String back;
    back.read(file);
    EXPECT_EQ(units(back), longText);
}

} // namespace
