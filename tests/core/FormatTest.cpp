// SPDX-License-Identifier: MIT
#include "core/String.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace {

template <class... Args>
std::u16string fmt(const char16_t* f, const Args&... args) {
    String s;
    s.format(f, args...);
    return std::u16string(s.text(), size_t(s.length));
}

TEST(Format, EngineMessageConventions) {
    EXPECT_EQ(fmt(u"[%i] %s", 3, u"D3DERR_DEVICELOST"), u"[3] D3DERR_DEVICELOST");
    EXPECT_EQ(fmt(u"%08X", 0x8876086Cu), u"8876086C");
    EXPECT_EQ(fmt(u"| Windowed                   = %i", 1), u"| Windowed                   = 1");
    EXPECT_EQ(fmt(u"Size:     %i b", int32_t(-5)), u"Size:     -5 b");
    EXPECT_EQ(fmt(u"%f", 1.0), u"1.000000");
    EXPECT_EQ(fmt(u"%f", -0.0), u"-0.000000");
    EXPECT_EQ(fmt(u"%u", 4000000000u), u"4000000000");
    EXPECT_EQ(fmt(u"100%%"), u"100%");
}

TEST(Format, WidthPrecisionAndFlags) {
    EXPECT_EQ(fmt(u"[%5d|%-5d|%05d]", 42, 42, 42), u"[   42|42   |00042]");
    EXPECT_EQ(fmt(u"[%+d|% d]", 7, 7), u"[+7| 7]");
    EXPECT_EQ(fmt(u"%.3f|%8.2f", 3.14159, 2.5), u"3.142|    2.50");
    EXPECT_EQ(fmt(u"[%6s|%-6s|%.2s]", u"ab", u"ab", u"abcdef"), u"[    ab|ab    |ab]");
    EXPECT_EQ(fmt(u"[%*d|%.*f]", 4, 1, 1, 0.25), u"[   1|0.2]");
    EXPECT_EQ(fmt(u"%x|%#x|%o", 255, 255, 8), u"ff|0xff|10");
    EXPECT_EQ(fmt(u"%3c|", u'\u00E9'), u"  \u00E9|");
}

TEST(Format, IntegersAreThirtyTwoBitUnlessWidened) {
    EXPECT_EQ(fmt(u"%d", 0xFFFFFFFFu), u"-1");
    EXPECT_EQ(fmt(u"%X", int64_t(-1)), u"FFFFFFFF");
    EXPECT_EQ(fmt(u"%lld", int64_t(-1) << 40), u"-1099511627776");
    EXPECT_EQ(fmt(u"%I64X", uint64_t(0x123456789ABCull)), u"123456789ABC");
}

TEST(Format, MismatchesAndMissingArgumentsAreVisibleNotUndefined) {
    EXPECT_EQ(fmt(u"%s", 5), u"(?)");
    EXPECT_EQ(fmt(u"%d", u"text"), u"(?)");
    EXPECT_EQ(fmt(u"%d and %s", 1), u"1 and (missing)");
    EXPECT_EQ(fmt(u"%k%d", 1), u"%k1");
    EXPECT_EQ(fmt(u"tail %"), u"tail %");
    EXPECT_EQ(fmt(u"%s", static_cast<const char16_t*>(nullptr)), u"(null)");
    String s(u"str");
    EXPECT_EQ(fmt(u"<%s>", s), u"<str>");
}

} // namespace
