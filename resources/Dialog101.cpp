// SPDX-License-Identifier: MIT
// Dialog 101, the tool's one window, as its resource script describes it:
// rectangles in dialog units, controls in tab order.
#include "resources/Resources.h"

#include "win/DialogTemplate.h"

namespace {

constexpr DWORD kGroupBox = BS_GROUPBOX;
constexpr DWORD kRadio = BS_AUTORADIOBUTTON;
constexpr DWORD kCheck = BS_AUTOCHECKBOX | WS_TABSTOP;
constexpr DWORD kPush = BS_PUSHBUTTON | WS_TABSTOP;

DialogTemplate dialog101() {
    return DialogTemplate{
        101,
        u"Embossa",
        u"MS Shell Dlg",
        8,
        WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SHELLFONT,
        0,
        0,
        405,
        250,
        1031,
        {
            {-1, u"STATIC", u"Image file:", SS_LEFT, 8, 12, 35, 8},
            {1001, u"EDIT", u"", WS_BORDER | WS_TABSTOP | ES_READONLY | ES_AUTOHSCROLL, 6, 24, 330,
             14},
            {1002, u"BUTTON", u"Open...", kPush, 342, 24, 50, 14},
            {-1, u"BUTTON", u"Image preview", kGroupBox, 6, 42, 96, 91},
            {1004, u"STATIC", u"", SS_BITMAP, 15, 52, 15, 13},
            {-1, u"BUTTON", u"3D View", kGroupBox, 108, 42, 288, 198},
            {1005, u"STATIC", u"", SS_LEFT | WS_GROUP, 113, 51, 278, 186},
            {-1, u"BUTTON", u"Axis selection", kGroupBox, 6, 132, 96, 54},
            {1007, u"BUTTON", u"x / z axis", kRadio, 12, 144, 45, 10},
            {1008, u"BUTTON", u"x / y axis", kRadio, 12, 156, 45, 10},
            {1009, u"BUTTON", u"y / z axis", kRadio, 12, 168, 45, 10},
            {1006, u"BUTTON", u"Save", kPush, 48, 232, 50, 14},
            {-1, u"BUTTON", u"Image axis flip", kGroupBox, 6, 186, 96, 42},
            {1010, u"BUTTON", u"x axis", kCheck, 12, 198, 34, 10},
            {1011, u"BUTTON", u"y axis", kCheck, 12, 210, 34, 10},
        },
    };
}

} // namespace

void registerResources() {
    registerDialogTemplate(dialog101());
}
