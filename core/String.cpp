// SPDX-License-Identifier: MIT
#include "core/String.h"

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/FileInterface.h"
#include "sys/Unicode.h"

namespace {

constexpr int32_t kFormatUnits = 8192;
// read() and write() convert through buffers of this size and fall back to a
// temporary one for longer text.
constexpr int32_t kConversionUnits = 8192;
char g_narrowConversion[kConversionUnits];
char16_t g_wideConversion[kConversionUnits];

} // namespace

int32_t wideLength(const char16_t* text) {
    int32_t n = 0;
    if (text)
        while (text[n]) ++n;
    return n;
}

String::String(const char16_t* text) {
    set(text, wideLength(text));
}

String::String(std::u16string_view text) : String(u"") {
    set(text.data(), int32_t(text.size()));
}

String::String(const String& other) {
    set(other.p, other.length);
}

String::String(String&& other) noexcept
    : p(other.p), length(other.length), borrowed(other.borrowed) {
    other.p = nullptr;
    other.length = 0;
    other.borrowed = 0;
}

String::~String() {
    if (!borrowed) delete[] p;
    p = nullptr;
    length = 0;
}

String& String::operator=(const String& other) {
    if (this != &other) set(other.p, other.length);
    return *this;
}

String& String::operator=(const char16_t* text) {
    set(text, wideLength(text));
    return *this;
}

String String::borrow(const char16_t* text) {
    String s;
    s.p = const_cast<char16_t*>(text);
    s.length = wideLength(text);
    s.borrowed = 1;
    return s;
}

void String::resize(int32_t count) {
    if (count != length || !p) {
        delete[] p;
        p = new char16_t[size_t(count) + 1];
        p[count] = 0;
        length = count;
    }
}

void String::set(const char16_t* source, int32_t count) {
    if (!source || count < 0) return;
    resize(count);
    std::memmove(p, source, size_t(count) * sizeof(char16_t));
}

void String::setNarrow(const char* source, int32_t count) {
    if (!source || count < 0) return;
    resize(count);
    for (int32_t i = 0; i < count; ++i)
        p[i] = static_cast<char16_t>(static_cast<int16_t>(static_cast<signed char>(source[i])));
}

void String::append(const char16_t* source, int32_t count) {
    if (count <= 0 || !source) return;
    if (length == 0) return set(source, count);
    char16_t* grown = new char16_t[size_t(length) + size_t(count) + 1];
    std::memcpy(grown, p, size_t(length) * sizeof(char16_t));
    std::memcpy(grown + length, source, size_t(count) * sizeof(char16_t));
    grown[length + count] = 0;
    delete[] p;
    p = grown;
    length += count;
}

String String::sub(int32_t start, int32_t count) const {
    if (count == -1) count = length;
    String result;
    if (length == 0 || start < 0 || start >= length || count <= 0) {
        result.set(u"", 0);
        return result;
    }
    if (count > length - start) count = length - start;
    result.set(p + start, count);
    return result;
}

int32_t String::find(const String& pattern) const {
    if (length < 1 || pattern.length == 0 || pattern.length > length) return -1;
    for (int32_t i = 0; i + pattern.length <= length; ++i)
        if (std::memcmp(p + i, pattern.p, size_t(pattern.length) * sizeof(char16_t)) == 0) return i;
    return -1;
}

void String::formatList(const char16_t* formatText, const FormatArg* args, int argCount) {
    std::u16string out;
    formatWide(out, kFormatUnits - 1, formatText, args, argCount);
    set(out.data(), int32_t(out.size()));
}

bool String::operator==(const String& other) const {
    if (length != other.length) return false;
    return length == 0 || std::memcmp(p, other.p, size_t(length) * sizeof(char16_t)) == 0;
}

void String::write(FileInterface& file) const {
    int32_t stored = length;
    unsigned char header[4] = {uint8_t(stored), uint8_t(stored >> 8), uint8_t(stored >> 16),
                               uint8_t(stored >> 24)};
    file.write(header, 4);
    if (length == 0) return;
    std::vector<char> temporary;
    char* narrow = g_narrowConversion;
    if (length > kConversionUnits) {
        temporary.resize(size_t(length));
        narrow = temporary.data();
    }
    for (int32_t i = 0; i < length; ++i) narrow[i] = char(sys::wideToAnsi(p[i]));
    file.write(narrow, length);
}

void String::read(FileInterface& file) {
    unsigned char header[4];
    if (file.read(header, 4) != 4) return;
    int32_t stored = int32_t(uint32_t(header[0]) | uint32_t(header[1]) << 8 |
                             uint32_t(header[2]) << 16 | uint32_t(header[3]) << 24);
    if (stored <= 0) return;
    // A stored length is only as good as the bytes behind it: never let it
    // drive an allocation the stream cannot fill.
    int32_t remaining = file.size() - file.tell();
    if (stored > remaining) return;
    std::vector<char> temporary;
    char* narrow = g_narrowConversion;
    if (stored > kConversionUnits) {
        temporary.resize(size_t(stored));
        narrow = temporary.data();
    }
    if (file.read(narrow, stored) != stored) return;
    std::unique_ptr<char16_t[]> wideTemporary;
    char16_t* wide = g_wideConversion;
    if (stored > kConversionUnits) {
        wideTemporary.reset(new char16_t[size_t(stored)]);
        wide = wideTemporary.get();
    }
    for (int32_t i = 0; i < stored; ++i) wide[i] = sys::ansiToWide(uint8_t(narrow[i]));
    set(wide, stored);
}
