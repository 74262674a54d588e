// SPDX-License-Identifier: MIT
// MessageBoxW. Headless there is nobody to answer, so the box is logged and
// answered with its default button (IDOK) at once, unless a test holds boxes
// open to drive them. Escape answers IDCANCEL, or IDOK when there is no
// Cancel button, as on the platform.
#include "win/MessageBox.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

#include <SDL.h>
#include <imgui.h>

#include "sys/Unicode.h"
#include "win/Canvas.h"
#include "win/Controls.h"
#include "win/Dialog.h"
#include "win/WinInternal.h"

namespace win {
namespace {

bool holdBoxes = false;

constexpr UINT kIconMask = 0xF0;
constexpr UINT kIconQuestion = 0x20;

int px(float value) {
    return int(std::lround(value * canvas::scale()));
}
int margin() {
    return px(12);
}
int iconSize(UINT type) {
    return (type & kIconMask) ? px(32) : 0;
}
int stripPadding() {
    return px(11);
}

INT_PTR boxProc(HWND box, UINT message, WPARAM wParam, LPARAM) {
    if (message != WM_COMMAND) return FALSE;
    int id = LOWORD(wParam);
    if (id == IDCANCEL && !GetDlgItem(box, IDCANCEL)) id = IDOK;
    EndDialog(box, id);
    return TRUE;
}

void paintIcon(ImDrawList* list, UINT type, float x, float y, float size) {
    const float s = size;
    const ImVec2 centre(x + s / 2, y + s / 2);
    const ImU32 white = IM_COL32(255, 255, 255, 255);
    switch (type & kIconMask) {
    case MB_ICONERROR: {
        list->AddCircleFilled(centre, s / 2, IM_COL32(232, 17, 35, 255), 40);
        const float d = s * 0.18f, w = std::max(2.0f, s * 0.09f);
        list->AddLine(ImVec2(centre.x - d, centre.y - d), ImVec2(centre.x + d, centre.y + d), white,
                      w);
        list->AddLine(ImVec2(centre.x - d, centre.y + d), ImVec2(centre.x + d, centre.y - d), white,
                      w);
        break;
    }
    case MB_ICONEXCLAMATION: {
        list->AddTriangleFilled(ImVec2(centre.x, y + s * 0.06f), ImVec2(x + s, y + s * 0.94f),
                                ImVec2(x, y + s * 0.94f), IM_COL32(255, 185, 0, 255));
        const float w = s * 0.05f;
        list->AddRectFilled(ImVec2(centre.x - w, y + s * 0.34f),
                            ImVec2(centre.x + w, y + s * 0.68f), IM_COL32(0, 0, 0, 255));
        list->AddCircleFilled(ImVec2(centre.x, y + s * 0.79f), w * 1.1f, IM_COL32(0, 0, 0, 255),
                              12);
        break;
    }
    case MB_ICONINFORMATION:
    case kIconQuestion: {
        list->AddCircleFilled(centre, s / 2, IM_COL32(0, 120, 215, 255), 40);
        const float w = s * 0.055f;
        if ((type & kIconMask) == MB_ICONINFORMATION) {
            list->AddCircleFilled(ImVec2(centre.x, y + s * 0.27f), w * 1.2f, white, 12);
            list->AddRectFilled(ImVec2(centre.x - w, y + s * 0.40f),
                                ImVec2(centre.x + w, y + s * 0.76f), white);
        } else {
            list->PathArcTo(ImVec2(centre.x, y + s * 0.38f), s * 0.14f, float(M_PI) * 1.0f,
                            float(M_PI) * 2.4f, 16);
            list->PathLineTo(ImVec2(centre.x, y + s * 0.62f));
            list->PathStroke(white, ImDrawFlags_None, w * 2);
            list->AddCircleFilled(ImVec2(centre.x, y + s * 0.76f), w * 1.2f, white, 12);
        }
        break;
    }
    default: break;
    }
}

} // namespace

void paintMessageBoxBackground(const WindowObject& box, ImDrawList* list, POINT origin) {
    const int width = box.rect.right - box.rect.left, height = box.rect.bottom - box.rect.top;
    HWND ok = GetDlgItem(const_cast<WindowObject*>(&box), IDOK);
    const int strip = ok ? ok->rect.top - stripPadding() : height;
    list->AddRectFilled(ImVec2(float(origin.x), float(origin.y)),
                        ImVec2(float(origin.x + width), float(origin.y + strip)),
                        IM_COL32(255, 255, 255, 255));
    list->AddRectFilled(ImVec2(float(origin.x), float(origin.y + strip)),
                        ImVec2(float(origin.x + width), float(origin.y + height)),
                        IM_COL32(240, 240, 240, 255));
    if (const int icon = iconSize(box.boxType))
        paintIcon(list, box.boxType, float(origin.x + margin()), float(origin.y + margin()),
                  float(icon));
}

namespace test {
void holdMessageBoxes(bool hold) {
    holdBoxes = hold;
}
} // namespace test

} // namespace win

using namespace win;

int MessageBoxW(HWND owner, const char16_t* text, const char16_t* caption, UINT type) {
    const std::u16string body = text ? text : u"";
    const std::u16string title = caption ? caption : u"Error";
    if (!init() || (headless() && !holdBoxes)) {
        log(u"MessageBox: " + title + u": " + body);
        return IDOK;
    }
    if ((type & 0xF) > MB_OKCANCEL)
        logOnce(u"MessageBoxW: only OK and OK/Cancel buttons; shown with OK");
    const bool withCancel = (type & 0xF) == MB_OKCANCEL;

    // Layout, in pixels: icon and wrapped text over a strip of right-aligned buttons.
    const DialogUnits units = dialogUnits();
    const RECT buttonSize = dialogRectToPixels(units, 0, 0, 50, 14);
    const int buttonW = buttonSize.right, buttonH = buttonSize.bottom;
    const int gap = px(8), pad = margin(), icon = iconSize(type);
    const std::string utf8 = sys::utf16ToUtf8(body);
    const ImVec2 textSize = canvas::dialogFont()->CalcTextSizeA(
        float(canvas::fontHeight()), FLT_MAX, float(px(420)), utf8.c_str());
    const int textW = int(std::ceil(textSize.x)) + 1;
    const int textH = std::max(int(std::ceil(textSize.y)), canvas::fontHeight());
    const int buttons = withCancel ? 2 : 1;
    const int textX = pad + (icon ? icon + px(10) : 0);
    int width = std::max({textX + textW + pad, buttons * buttonW + (buttons - 1) * gap + 2 * pad,
                          int(canvas::textWidth(sys::utf16ToUtf8(title))) + px(60)});
    const int messageH = 2 * pad + std::max(icon, textH);
    const int height = messageH + buttonH + 2 * stripPadding();

    HWND ownerDialog = dialogOf(owner);
    HWND host = hostOf(ownerDialog);
    const bool inOwner = host && IsWindowVisible(host) && !minimized(host) && !host->top->overlay;
    if (inOwner) width = std::min<int>(width, host->rect.right - 8);

    HWND box = newWindow(WindowKind::Dialog);
    box->messageBox = true;
    box->boxType = type;
    box->text = title;
    box->owner = ownerDialog;
    box->dialogProc = &boxProc;
    if (inOwner) {
        const int x = (host->rect.right - width) / 2;
        const int y = std::max((host->rect.bottom - height) / 2, canvas::fontHeight() + 12);
        box->parent = host;
        box->rect = RECT{x, y, x + width, y + height};
        host->panels.push_back(box);
    } else {
        box->rect = RECT{0, 0, width, height};
        if (!canvas::createTopLevel(*box, title, width, height, host)) {
            retireWindow(box);
            log(u"MessageBox: " + title + u": " + body);
            return IDOK;
        }
        SDL_SetWindowPosition(box->top->window, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
    }

    const int textY = pad + std::max(0, (icon - textH) / 2);
    createControl(box, u"STATIC", body.c_str(), SS_LEFT | SS_NOPREFIX, -1,
                  RECT{textX, textY, textX + textW, textY + textH});
    const int buttonY = messageH + stripPadding();
    int buttonX = width - pad - buttonW;
    HWND cancel = nullptr;
    if (withCancel) {
        cancel = createControl(box, u"BUTTON", u"Cancel", BS_PUSHBUTTON | WS_TABSTOP, IDCANCEL,
                               RECT{buttonX, buttonY, buttonX + buttonW, buttonY + buttonH});
        buttonX -= buttonW + gap;
    }
    HWND ok = createControl(box, u"BUTTON", u"OK", BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP, IDOK,
                            RECT{buttonX, buttonY, buttonX + buttonW, buttonY + buttonH});
    // Tab order runs OK, Cancel, as the buttons read left to right.
    if (cancel) std::iter_swap(box->children.end() - 1, box->children.end() - 2);
    box->focus = ok;

    const INT_PTR result = runModalDialog(box);
    return int(result);
}
