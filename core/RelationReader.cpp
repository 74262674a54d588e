// SPDX-License-Identifier: MIT
#include "core/RelationReader.h"

#include <string>

#include "core/Language.h"
#include "core/Log.h"
#include "sys/Unicode.h"

namespace {

std::string_view trimmed(std::string_view text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    const size_t last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

// "\n", "\t" and "\\" stand for what a one-line record cannot hold; any
// other backslash is kept as written, so a path in a text survives.
std::string unescaped(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char next = i + 1 < text.size() ? text[i + 1] : '\0';
        if (text[i] == '\\' && (next == 'n' || next == 't' || next == '\\')) {
            out.push_back(next == 'n' ? '\n' : next == 't' ? '\t' : '\\');
            ++i;
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

int32_t languageNamed(Language& table, const std::u16string& name) {
    for (int32_t i = 0; i < table.languageCount; ++i)
        if (table.languages.items[i]->name.view() == name) return i;
    return table.addLanguage(name.c_str());
}

class Reader {
public:
    Reader(Language& table, const char16_t* source)
        : table_(table), source_(source ? source : u"") {}

    RelationReadResult read(std::string_view text) {
        if (text.size() > kMaxRelationTextBytes) {
            log(u"%s: %i bytes is too large for a language table; nothing was read", source_,
                int32_t(text.size()));
            result_.problems = 1;
            return result_;
        }
        if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
        int32_t number = 0;
        for (size_t start = 0; start < text.size();) {
            size_t end = text.find('\n', start);
            if (end == std::string_view::npos) end = text.size();
            std::string_view line = text.substr(start, end - start);
            if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
            if (!readLine(trimmed(line), ++number)) break;
            start = end + 1;
        }
        return result_;
    }

private:
    void problem(int32_t line, const char16_t* what) {
        log(u"%s:%i: %s", source_, line, what);
        ++result_.problems;
    }

    // Returns false once the table wants no more records.
    bool readLine(std::string_view line, int32_t number) {
        if (line.empty() || line[0] == '#' || line[0] == ';') return true;
        if (line.size() > kMaxRelationLineBytes) {
            problem(number, u"line too long; skipped");
            return true;
        }
        if (line[0] == '[') {
            if (line.back() != ']' || trimmed(line.substr(1, line.size() - 2)).empty()) {
                problem(number, u"a heading is \"[Language]\"; skipped");
                language_ = -1;
                return true;
            }
            language_ =
                languageNamed(table_, sys::utf8ToUtf16(trimmed(line.substr(1, line.size() - 2))));
            return true;
        }
        const size_t equals = line.find('=');
        if (equals == std::string_view::npos) {
            problem(number, u"not \"key = text\"; skipped");
            return true;
        }
        const std::string_view key = trimmed(line.substr(0, equals));
        if (key.empty() || key.find_first_of(" \t") != std::string_view::npos) {
            problem(number, u"a key is one word before '='; skipped");
            return true;
        }
        if (language_ < 0) {
            problem(number, u"a record before any \"[Language]\" heading; skipped");
            return true;
        }
        const std::u16string wideKey = sys::utf8ToUtf16(key);
        const std::u16string wideText =
            sys::utf8ToUtf16(unescaped(trimmed(line.substr(equals + 1))));
        ++result_.records;
        return table_.addRelation(language_, wideKey.c_str(), wideText.c_str());
    }

    Language& table_;
    const char16_t* source_;
    int32_t language_ = -1;
    RelationReadResult result_;
};

} // namespace

RelationReadResult readRelations(Language& table, std::string_view text, const char16_t* source) {
    return Reader(table, source).read(text);
}
