// SPDX-License-Identifier: MIT
// A dialog resource as data: what an extended dialog template holds, with
// rectangles in dialog units. The window layer builds dialogs from these;
// resources/ defines the program's own and registers them by id.
#pragma once

#include <cstdint>
#include <vector>

#include "win/WinTypes.h"

struct DialogItemTemplate {
    int id;                    // -1 for controls nobody addresses
    const char16_t* className; // u"STATIC", u"EDIT" or u"BUTTON"
    const char16_t* text;
    DWORD style;          // WS_CHILD | WS_VISIBLE are implied
    int16_t x, y, cx, cy; // dialog units
};

struct DialogTemplate {
    uint16_t id;
    const char16_t* caption;
    const char16_t* fontName;
    int16_t pointSize;
    DWORD style;
    int16_t x, y, cx, cy; // dialog units
    uint16_t language;
    std::vector<DialogItemTemplate> items; // in tab order
};

// Resources are looked up by id, as FindResource would; registering the same
// id again replaces the template.
void registerDialogTemplate(const DialogTemplate& dialog);
const DialogTemplate* findDialogTemplate(uint16_t id);
