// SPDX-License-Identifier: MIT
// The language table: user-visible texts are named by key in the code and
// looked up here in the current language, falling back to English and then
// to the fixed text "==>Error<==". The program fills the process-wide table
// from the English table it carries (resources/English.lang, read by
// readRelations); a key missing there still reads "==>Error<==".
// Process-wide and unsynchronised: main thread only.
#pragma once

#include <cstdint>

#include "core/Array.h"
#include "core/String.h"

// Base of objects filled from relation records (a key and a text per
// language), called once per record by a relation reader.
class RelationFile {
public:
    // Returns whether the reader should go on.
    virtual bool addRelation(int32_t languageIndex, const char16_t* key, const char16_t* value) = 0;

protected:
    ~RelationFile() = default;
};

struct Relation {
    String key;
    String value;
    Relation* next = nullptr;
};

class NationalLanguage {
public:
    String name;
    // Singly linked in the order added; lookups take the first match.
    Relation* first = nullptr;
    Relation* last = nullptr;
    int32_t count = 0;

    explicit NationalLanguage(const char16_t* name) : name(name) {}
    ~NationalLanguage();
    NationalLanguage(const NationalLanguage&) = delete;
    NationalLanguage& operator=(const NationalLanguage&) = delete;

    // A null text gives an empty String.
    void add(const char16_t* key, const char16_t* value);
    // Exact, case-sensitive; null when the key is missing.
    const String* find(const String& key) const;
};

class Language : public RelationFile {
public:
    ArrayHeap<String> keyFilter;
    int32_t filterOn = 0;
    int32_t keysWanted = 0;
    // Owns the NationalLanguage objects; the array owns only the slots.
    DynArray<NationalLanguage*> languages{0, 4};
    int32_t languageCount = 0;
    int32_t currentLanguage = 0;
    String fileText;

    Language() = default;
    ~Language();
    Language(const Language&) = delete;
    Language& operator=(const Language&) = delete;

    // The key is taken by value: callers hand over temporaries. The result
    // is owned by the table (or is the fallback text) and stays valid while
    // the table is unchanged.
    const String& get(String key);
    // The first language named exactly "English", or -1.
    int32_t englishIndex() const;
    bool addRelation(int32_t languageIndex, const char16_t* key, const char16_t* value) override;

    // Creates an empty language and returns its index (-1, logged, when the
    // table cannot grow); what a relation reader does before handing over
    // records.
    int32_t addLanguage(const char16_t* name);
    // Accepts only these keys from now on, stopping the reader once all have
    // been seen; a count of 0 turns filtering off.
    void setFilter(const char16_t* const* keys, int32_t count);
    // Frees every language with its records; the table is empty afterwards.
    void clear();
};

// The text of every key that no language has; one String for the process.
const String& languageFallbackText();

// The process-wide table, created empty on first use.
Language& language();
