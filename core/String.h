// SPDX-License-Identifier: MIT
// The engine's one text type: UTF-16 code units with the length kept beside
// an exactly sized buffer. No spare capacity and no sharing, so a String is a
// plain value that arrays can hold; assigning same-length text reuses the
// buffer, which keeps per-frame labels free of allocation.
#pragma once

#include <cstdint>
#include <string_view>

#include "core/Format.h"

class FileInterface;

class String {
public:
    char16_t* p = nullptr;
    int32_t length = 0;
    uint8_t borrowed = 0;

    String() = default;
    String(const char16_t* text);
    // A copy of the units of `text`; empty, never null, for an empty view.
    explicit String(std::u16string_view text);
    String(const String& other);
    String(String&& other) noexcept;
    ~String();

    // Copying goes through set(), so assigning a null String keeps our text.
    String& operator=(const String& other);
    String& operator=(const char16_t* text);

    // Wraps text that lives elsewhere (a literal); only ever read.
    static String borrow(const char16_t* text);

    void set(const char16_t* source, int32_t count);
    // Each byte widened as a signed char: no code page applied.
    void setNarrow(const char* source, int32_t count);
    void append(const char16_t* source, int32_t count);
    String sub(int32_t start, int32_t count) const;
    int32_t find(const String& pattern) const;

    template <class... Args>
    void format(const char16_t* formatText, const Args&... args) {
        const FormatArg list[] = {FormatArg(args)..., FormatArg()};
        formatList(formatText, list, sizeof...(Args));
    }
    void formatList(const char16_t* formatText, const FormatArg* args, int argCount);

    const char16_t* text() const { return p ? p : u""; }
    std::u16string_view view() const { return {text(), size_t(length)}; }

    bool operator==(const String& other) const;

    // Stored as a little-endian 32-bit length and `length` ANSI bytes.
    void write(FileInterface& file) const;
    void read(FileInterface& file);

private:
    void resize(int32_t count);
};

int32_t wideLength(const char16_t* text);
