// SPDX-License-Identifier: MIT
// Fills the language table from relation text: plain UTF-8, a "[Name]"
// heading opens (or reopens) the language called Name, and every
// "key = text" line below it becomes one of its records. Blank lines and
// lines starting with '#' or ';' are skipped. In a text, "\n" is a line
// break, "\t" a tab and "\\" a backslash; leading and trailing blanks of
// keys and texts are dropped.
// The text may come from a file, so it is read as untrusted: a line that
// breaks the rules is logged with its line number and skipped, and sizes are
// bounded, so a bad table costs some texts, never the program.
#pragma once

#include <cstdint>
#include <string_view>

class Language;

struct RelationReadResult {
    int32_t records = 0;  // handed to the table
    int32_t problems = 0; // lines skipped, each logged
};

// Larger texts are refused whole; no language table comes near this.
inline constexpr size_t kMaxRelationTextBytes = 1u << 20;
// A key or a text longer than this is skipped, not cut.
inline constexpr size_t kMaxRelationLineBytes = 4096;

// `source` names the text in log lines ("English.lang:12: ...").
RelationReadResult readRelations(Language& table, std::string_view text, const char16_t* source);
