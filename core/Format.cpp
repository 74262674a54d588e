// SPDX-License-Identifier: MIT
#include "core/Format.h"

#include <cstdio>
#include <string_view>

#include "core/String.h"

FormatArg::FormatArg(const String& s) : kind(Kind::Text), text(s.text()) {}

namespace {

constexpr std::u16string_view kMismatch = u"(?)";

struct Spec {
    std::string flags;
    int width = -1;
    int precision = -1;
    bool wide64 = false;
    char conversion = 0;
};

class Writer {
public:
    Writer(std::u16string& out, size_t limit) : out_(out), limit_(limit) {}

    void put(char16_t unit) {
        if (out_.size() < limit_) out_ += unit;
    }
    void put(std::u16string_view text) {
        for (char16_t unit : text) put(unit);
    }
    void putAscii(std::string_view text) {
        for (char c : text) put(static_cast<char16_t>(static_cast<unsigned char>(c)));
    }
    void padded(std::u16string_view text, const Spec& spec) {
        size_t pad =
            spec.width > 0 && size_t(spec.width) > text.size() ? spec.width - text.size() : 0;
        bool left = spec.flags.find('-') != std::string::npos;
        if (!left)
            for (size_t i = 0; i < pad; ++i) put(u' ');
        put(text);
        if (left)
            for (size_t i = 0; i < pad; ++i) put(u' ');
    }
    bool full() const { return out_.size() >= limit_; }

private:
    std::u16string& out_;
    size_t limit_;
};

class ArgCursor {
public:
    ArgCursor(const FormatArg* args, int count) : args_(args), count_(count) {}
    const FormatArg* next() { return index_ < count_ ? &args_[index_++] : nullptr; }

private:
    const FormatArg* args_;
    int count_;
    int index_ = 0;
};

int64_t asSigned(const FormatArg& a, bool& ok) {
    switch (a.kind) {
    case FormatArg::Kind::Signed: return a.integer;
    case FormatArg::Kind::Unsigned: return static_cast<int64_t>(a.unsignedInteger);
    case FormatArg::Kind::Character: return a.character;
    default: ok = false; return 0;
    }
}

// Reads flags, width, precision and length modifiers after a '%'.
const char16_t* parseSpec(const char16_t* f, Spec& spec, ArgCursor& args) {
    while (*f == u'-' || *f == u'+' || *f == u' ' || *f == u'#' || *f == u'0') {
        spec.flags += static_cast<char>(*f);
        ++f;
    }
    auto number = [&](int& into) {
        if (*f == u'*') {
            bool ok = true;
            const FormatArg* a = args.next();
            int64_t v = a ? asSigned(*a, ok) : 0;
            into = static_cast<int>(v < -10000 ? -10000 : v > 10000 ? 10000 : v);
            ++f;
            return;
        }
        into = 0;
        while (*f >= u'0' && *f <= u'9') {
            // The output is cut at 8,191 units anyway; larger fields only cost time.
            if (into < 10000) into = into * 10 + (*f - u'0');
            ++f;
        }
    };
    if (*f == u'*' || (*f >= u'0' && *f <= u'9')) {
        number(spec.width);
        if (spec.width < 0) {
            spec.flags += '-';
            spec.width = -spec.width;
        }
    }
    if (*f == u'.') {
        ++f;
        number(spec.precision);
        if (spec.precision < 0) spec.precision = -1;
    }
    for (;;) {
        if (*f == u'l' && f[1] == u'l') {
            spec.wide64 = true;
            f += 2;
        } else if (*f == u'I' && f[1] == u'6' && f[2] == u'4') {
            spec.wide64 = true;
            f += 3;
        } else if (*f == u'I' && f[1] == u'3' && f[2] == u'2') {
            f += 3;
        } else if (*f == u'j' || *f == u'z' || *f == u't') {
            spec.wide64 = true;
            ++f;
        } else if (*f == u'h' || *f == u'l' || *f == u'L' || *f == u'w' || *f == u'I') {
            ++f;
        } else {
            break;
        }
    }
    spec.conversion = *f < 0x80 ? static_cast<char>(*f) : '?';
    return *f ? f + 1 : f;
}

std::string narrowSpec(const Spec& spec, const char* lengthAndConversion) {
    std::string s = "%" + spec.flags;
    if (spec.width >= 0) s += std::to_string(spec.width);
    if (spec.precision >= 0) s += "." + std::to_string(spec.precision);
    return s + lengthAndConversion;
}

void formatInteger(Writer& w, const Spec& spec, const FormatArg& a) {
    bool ok = true;
    int64_t value = asSigned(a, ok);
    if (!ok) return w.put(kMismatch);
    char buffer[128];
    char conv[4] = {'l', 'l', spec.conversion, 0};
    if (spec.conversion == 'd' || spec.conversion == 'i') {
        long long v = spec.wide64 ? value : static_cast<int32_t>(value);
        std::snprintf(buffer, sizeof buffer, narrowSpec(spec, conv).c_str(), v);
    } else {
        unsigned long long v =
            spec.wide64 ? static_cast<uint64_t>(value) : static_cast<uint32_t>(value);
        std::snprintf(buffer, sizeof buffer, narrowSpec(spec, conv).c_str(), v);
    }
    w.putAscii(buffer);
}

void formatReal(Writer& w, const Spec& spec, const FormatArg& a) {
    double value;
    if (a.kind == FormatArg::Kind::Real)
        value = a.real;
    else if (a.kind == FormatArg::Kind::Signed)
        value = static_cast<double>(a.integer);
    else if (a.kind == FormatArg::Kind::Unsigned)
        value = static_cast<double>(a.unsignedInteger);
    else
        return w.put(kMismatch);
    char conv[2] = {spec.conversion, 0};
    const std::string pattern = narrowSpec(spec, conv);
    int needed = std::snprintf(nullptr, 0, pattern.c_str(), value);
    if (needed <= 0) return;
    std::string buffer(size_t(needed) + 1, '\0');
    std::snprintf(buffer.data(), buffer.size(), pattern.c_str(), value);
    buffer.resize(size_t(needed));
    w.putAscii(buffer);
}

void formatText(Writer& w, const Spec& spec, const FormatArg& a) {
    if (a.kind != FormatArg::Kind::Text) return w.padded(kMismatch, spec);
    std::u16string_view text(a.text);
    if (spec.precision >= 0 && size_t(spec.precision) < text.size())
        text = text.substr(0, spec.precision);
    w.padded(text, spec);
}

void formatCharacter(Writer& w, const Spec& spec, const FormatArg& a) {
    bool ok = true;
    int64_t value = asSigned(a, ok);
    if (!ok) return w.padded(kMismatch, spec);
    char16_t unit = static_cast<char16_t>(value);
    w.padded(std::u16string_view(&unit, 1), spec);
}

} // namespace

void formatWide(std::u16string& out, size_t limit, const char16_t* format, const FormatArg* args,
                int argCount) {
    Writer w(out, limit);
    ArgCursor cursor(args, argCount);
    const char16_t* f = format ? format : u"";
    while (*f && !w.full()) {
        if (*f != u'%') {
            w.put(*f++);
            continue;
        }
        const char16_t* start = f++;
        if (*f == u'%') {
            w.put(u'%');
            ++f;
            continue;
        }
        Spec spec;
        f = parseSpec(f, spec, cursor);
        const char c = spec.conversion;
        bool known = std::string_view("diuoxXcCsSfFeEgGaAp").find(c) != std::string_view::npos && c;
        if (!known) {
            // Unknown conversions print as written, which makes the fault visible.
            w.put(std::u16string_view(start, f - start));
            continue;
        }
        const FormatArg* arg = cursor.next();
        if (!arg) {
            w.put(u"(missing)");
            continue;
        }
        switch (c) {
        case 'd':
        case 'i':
        case 'u':
        case 'o':
        case 'x':
        case 'X': formatInteger(w, spec, *arg); break;
        case 'p': {
            Spec hex = spec;
            hex.conversion = 'X';
            hex.wide64 = true;
            formatInteger(w, hex, *arg);
            break;
        }
        case 'c':
        case 'C': formatCharacter(w, spec, *arg); break;
        case 's':
        case 'S': formatText(w, spec, *arg); break;
        default: formatReal(w, spec, *arg); break;
        }
    }
}
