// SPDX-License-Identifier: MIT
#include "core/Language.h"

#include <cstring>

namespace {

bool sameUnits(const String& a, const String& b) {
    if (a.length != b.length) return false;
    return a.length == 0 || std::memcmp(a.p, b.p, size_t(a.length) * sizeof(char16_t)) == 0;
}

// Filter entries are compared as zero-terminated text, so a null key and an
// empty entry are equal.
bool sameText(const char16_t* a, const char16_t* b) {
    if (!a) a = u"";
    if (!b) b = u"";
    while (*a && *a == *b) ++a, ++b;
    return *a == *b;
}

} // namespace

NationalLanguage::~NationalLanguage() {
    while (first) {
        Relation* next = first->next;
        delete first;
        first = next;
    }
    last = nullptr;
    count = 0;
}

void NationalLanguage::add(const char16_t* key, const char16_t* value) {
    Relation* record = new Relation;
    record->key = key ? key : u"";
    record->value = value ? value : u"";
    if (last)
        last->next = record;
    else
        first = record;
    last = record;
    ++count;
}

const String* NationalLanguage::find(const String& key) const {
    for (const Relation* r = first; r; r = r->next)
        if (sameUnits(r->key, key)) return &r->value;
    return nullptr;
}

Language::~Language() {
    clear();
}

const String& Language::get(String key) {
    if (languageCount == 0) return languageFallbackText();
    const int32_t english = englishIndex();
    int32_t index = currentLanguage;
    if (index < 0 || index >= languageCount) index = english;
    // With no English to fall back to, an out-of-range current language has
    // nothing to search.
    if (index >= 0)
        if (const String* text = languages.items[index]->find(key)) return *text;
    if (english >= 0 && english != index)
        if (const String* text = languages.items[english]->find(key)) return *text;
    return languageFallbackText();
}

int32_t Language::englishIndex() const {
    const String english = String::borrow(u"English");
    for (int32_t i = 0; i < languageCount; ++i)
        if (sameUnits(languages.items[i]->name, english)) return i;
    return -1;
}

bool Language::addRelation(int32_t languageIndex, const char16_t* key, const char16_t* value) {
    // A reader naming a language that does not exist must not write past the
    // table; its record is dropped and reading goes on.
    if (languageIndex < 0 || languageIndex >= languageCount) return true;
    NationalLanguage& target = *languages.items[languageIndex];
    if (!filterOn) {
        target.add(key, value);
        return true;
    }
    for (int32_t i = 0; i < keyFilter.count; ++i) {
        if (sameText(key, keyFilter.items[i].text())) {
            target.add(key, value);
            --keysWanted;
            return keysWanted > 0;
        }
    }
    return true;
}

int32_t Language::addLanguage(const char16_t* name) {
    NationalLanguage** slot = languages.get(languageCount);
    if (!slot) return -1; // logged; records for it are then dropped
    *slot = new NationalLanguage(name);
    return languageCount++;
}

void Language::setFilter(const char16_t* const* keys, int32_t count) {
    if (count <= 0 || !keys) {
        keyFilter = ArrayHeap<String>();
        filterOn = 0;
        keysWanted = 0;
        return;
    }
    ArrayHeap<String> filter(count);
    for (int32_t i = 0; i < count; ++i) *filter.get(i) = keys[i] ? keys[i] : u"";
    keyFilter = std::move(filter);
    filterOn = 1;
    keysWanted = count;
}

void Language::clear() {
    for (int32_t i = 0; i < languageCount; ++i) delete languages.items[i];
    languageCount = 0;
    currentLanguage = 0;
    delete[] languages.release();
}

const String& languageFallbackText() {
    // Borrowed from a literal: nothing to free, so it outlives every static
    // destructor that might still look a key up.
    static const String fallback = String::borrow(u"==>Error<==");
    return fallback;
}

Language& language() {
    static Language table;
    return table;
}
