// SPDX-License-Identifier: MIT
// Stands in for the kernel's code-page conversions (MultiByteToWideChar,
// WideCharToMultiByte) on POSIX.
//  [x] UTF-16 <-> UTF-8, for every path and text that crosses to the OS
//  [x] the "ANSI code page", fixed to Windows-1252 on every machine
//  [x] names made safe to print: control characters shown as escapes
//  [ ] other code pages (nothing in the engine asks for one)
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace sys {

// Lone surrogates become U+FFFD: the OS gets valid UTF-8 whatever the text holds.
std::string utf16ToUtf8(std::u16string_view text);
// Malformed sequences become U+FFFD, one per bad byte.
std::u16string utf8ToUtf16(std::string_view text);

// Windows-1252 as MultiByteToWideChar maps it: the five undefined bytes
// (81, 8D, 8F, 90, 9D) pass through as the C1 controls of the same value.
char16_t ansiToWide(unsigned char byte);
// Characters that Windows-1252 cannot hold become '?', as the platform's
// default character does.
unsigned char wideToAnsi(char16_t unit);
bool isAnsiRepresentable(char16_t unit);

// UTF-8 text made safe for a terminal or a one-line message: C0 and C1
// controls and DEL become escapes (\n, \r, \t, \x1B, \u009B), as do bytes
// that are not valid UTF-8 (\xFF), so a name cannot move the cursor, ring the
// bell or end the line. Printable text, backslashes included, is unchanged,
// so escaping twice changes nothing more.
std::string printable(std::string_view utf8);

} // namespace sys
