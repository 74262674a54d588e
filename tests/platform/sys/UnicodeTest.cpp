// SPDX-License-Identifier: MIT
#include "sys/Unicode.h"

#include <gtest/gtest.h>

namespace {

TEST(Unicode, Utf8RoundTripIncludingSurrogatePairs) {
    std::u16string text = u"caf\u00E9 \u4E00 \U0001F600 /x";
    std::string utf8 = sys::utf16ToUtf8(text);
    EXPECT_EQ(utf8, "caf\xC3\xA9 \xE4\xB8\x80 \xF0\x9F\x98\x80 /x");
    EXPECT_EQ(sys::utf8ToUtf16(utf8), text);
}

TEST(Unicode, MalformedInputBecomesReplacementCharacters) {
    EXPECT_EQ(sys::utf16ToUtf8(std::u16string(1, char16_t(0xD800))), "\xEF\xBF\xBD");
    EXPECT_EQ(sys::utf16ToUtf8(std::u16string(1, char16_t(0xDC00)) + u"a"), "\xEF\xBF\xBD"
                                                                            "a");
    EXPECT_EQ(sys::utf8ToUtf16("\xC3"), u"\uFFFD");                     // truncated sequence
    EXPECT_EQ(sys::utf8ToUtf16("\xC0\xAF"), u"\uFFFD\uFFFD");           // overlong slash
    EXPECT_EQ(sys::utf8ToUtf16("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD"); // encoded surrogate
    EXPECT_EQ(sys::utf8ToUtf16("a\xFF"
                               "b"),
              u"a\uFFFDb");
}

TEST(Unicode, Windows1252BothWays) {
    EXPECT_EQ(sys::ansiToWide(0x80), 0x20AC);
    EXPECT_EQ(sys::ansiToWide(0x9F), 0x0178);
    EXPECT_EQ(sys::ansiToWide(0x81), 0x0081);
    EXPECT_EQ(sys::ansiToWide(0xE9), 0x00E9);
    for (int b = 0; b < 256; ++b) EXPECT_EQ(sys::wideToAnsi(sys::ansiToWide(uint8_t(b))), b) << b;
    EXPECT_EQ(sys::wideToAnsi(0x4E00), '?');
    EXPECT_FALSE(sys::isAnsiRepresentable(0x4E00));
    EXPECT_TRUE(sys::isAnsiRepresentable(0x20AC));
}

// Names are printed in one-line messages and listings: nothing in them may
// move the cursor, ring the bell, start a terminal command or end the line.
TEST(Unicode, PrintableEscapesControlsAndBadBytesOnly) {
    using std::string_literals::operator""s;
    EXPECT_EQ(sys::printable("a\x1B[2Jb\x07"), "a\\x1B[2Jb\\x07");
    EXPECT_EQ(sys::printable("line\nnext\r\t"), "line\\nnext\\r\\t");
    EXPECT_EQ(sys::printable("a\0b"s), "a\\x00b");
    EXPECT_EQ(sys::printable("del\x7F"), "del\\x7F");
    // The C1 control U+009B, a bad byte and a cut-short sequence, an encoded surrogate.
    EXPECT_EQ(sys::printable(std::string("csi\xC2\x9B") + "31m"), "csi\\u009B31m");
    EXPECT_EQ(sys::printable("\xFF\xC3"), "\\xFF\\xC3");
    EXPECT_EQ(sys::printable("\xED\xA0\x80"), "\\xED\\xA0\\x80");
    // Printable text passes unchanged, Windows-style backslashes included,
    // so escaping what was escaped changes nothing.
    const std::string plain = "C:\\img\\caf\xC3\xA9 \xC2\xA0\xE4\xB8\x80\xF0\x9F\x98\x80.png";
    EXPECT_EQ(sys::printable(plain), plain);
    const std::string once = sys::printable("x\x1B\n\xFF");
    EXPECT_EQ(sys::printable(once), once);
}

} // namespace
