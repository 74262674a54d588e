// SPDX-License-Identifier: MIT
// printf-style formatting with the Windows wide conventions the engine's
// message texts are written in: %s is wide text, %c a wide character, %d/%i
// a 32-bit signed integer, %u/%x/%X 32-bit unsigned, %f a double; flags,
// widths, precision and '*' work as in C. Arguments are typed, so a mismatch
// prints a marker instead of reading garbage off the stack.
#pragma once

#include <concepts>
#include <cstdint>
#include <string>
#include <type_traits>

class String;

struct FormatArg {
    enum class Kind { None, Signed, Unsigned, Real, Text, Character };
    Kind kind = Kind::None;
    union {
        int64_t integer;
        uint64_t unsignedInteger;
        double real;
        const char16_t* text;
        char16_t character;
    };

    FormatArg() : integer(0) {}
    FormatArg(char16_t c) : kind(Kind::Character), character(c) {}
    FormatArg(bool b) : kind(Kind::Signed), integer(b ? 1 : 0) {}
    template <std::signed_integral T>
    FormatArg(T v) : kind(Kind::Signed), integer(v) {}
    template <std::unsigned_integral T>
    requires(!std::same_as<T, char16_t> && !std::same_as<T, bool>) FormatArg(T v)
        : kind(Kind::Unsigned), unsignedInteger(v) {}
    template <std::floating_point T>
    FormatArg(T v) : kind(Kind::Real), real(v) {}
    FormatArg(const char16_t* t) : kind(Kind::Text), text(t ? t : u"(null)") {}
    FormatArg(const String& s);
    template <class E>
    requires std::is_enum_v<E> FormatArg(E e)
        : FormatArg(static_cast<std::underlying_type_t<E>>(e)) {}
};

// Formats into `out`; stops once `limit` units are written.
void formatWide(std::u16string& out, size_t limit, const char16_t* format, const FormatArg* args,
                int argCount);
