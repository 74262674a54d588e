// SPDX-License-Identifier: MIT
// The program's resources: dialog templates registered with the window layer
// by id, as a resource section would hold them, and the English language
// table as the relation text it was written in (resources/English.lang).
#pragma once

#include <string_view>

void registerResources();
std::string_view englishLanguageTable();
