// SPDX-License-Identifier: MIT
// Control behaviour and painting. The look follows the platform's light
// theme: flat push buttons with a blue border when hot or default, 13-pixel
// check boxes and radio circles, group boxes whose title breaks the frame
// line, a sunken read-only edit that scrolls to keep the end of its text in
// view. Lines are drawn as filled pixel rectangles so they stay one pixel
// sharp; everything scales with the display from 96 DPI.
#include "win/Controls.h"

#include <algorithm>
#include <cmath>

#include <imgui.h>

#include "sys/Unicode.h"
#include "win/Canvas.h"
#include "win/Dialog.h"
#include "win/Gdi.h"
#include "win/ImGuiRenderer.h"
#include "win/MessageBox.h"
#include "win/WinInternal.h"

namespace win {
namespace {

constexpr ImU32 kFace = IM_COL32(240, 240, 240, 255);
constexpr ImU32 kText = IM_COL32(0, 0, 0, 255);
constexpr ImU32 kGrayText = IM_COL32(131, 131, 131, 255);
constexpr ImU32 kButtonFace = IM_COL32(225, 225, 225, 255);
constexpr ImU32 kButtonBorder = IM_COL32(173, 173, 173, 255);
constexpr ImU32 kHotFace = IM_COL32(229, 241, 251, 255);
constexpr ImU32 kAccent = IM_COL32(0, 120, 215, 255);
constexpr ImU32 kPressedFace = IM_COL32(204, 228, 247, 255);
constexpr ImU32 kPressedBorder = IM_COL32(0, 84, 153, 255);
constexpr ImU32 kDisabledFace = IM_COL32(204, 204, 204, 255);
constexpr ImU32 kDisabledBorder = IM_COL32(191, 191, 191, 255);
constexpr ImU32 kGroupLine = IM_COL32(208, 208, 208, 255);
constexpr ImU32 kBoxBorder = IM_COL32(51, 51, 51, 255);
constexpr ImU32 kWhite = IM_COL32(255, 255, 255, 255);
constexpr ImU32 kShadow = IM_COL32(160, 160, 160, 255);
constexpr ImU32 kDarkShadow = IM_COL32(105, 105, 105, 255);
constexpr ImU32 kLight = IM_COL32(227, 227, 227, 255);

int px(float value) {
    return int(std::lround(value * canvas::scale()));
}

void fill(ImDrawList* list, int x0, int y0, int x1, int y1, ImU32 color) {
    if (x1 > x0 && y1 > y0)
        list->AddRectFilled(ImVec2(float(x0), float(y0)), ImVec2(float(x1), float(y1)), color);
}

void frame(ImDrawList* list, int x0, int y0, int x1, int y1, ImU32 color) {
    fill(list, x0, y0, x1, y0 + 1, color);
    fill(list, x0, y1 - 1, x1, y1, color);
    fill(list, x0, y0 + 1, x0 + 1, y1 - 1, color);
    fill(list, x1 - 1, y0 + 1, x1, y1 - 1, color);
}

// The focus rectangle: every other pixel, as the platform draws it.
void dottedFrame(ImDrawList* list, int x0, int y0, int x1, int y1, ImU32 color) {
    for (int x = x0; x < x1; x += 2) {
        fill(list, x, y0, x + 1, y0 + 1, color);
        fill(list, x, y1 - 1, x + 1, y1, color);
    }
    for (int y = y0; y < y1; y += 2) {
        fill(list, x0, y, x0 + 1, y + 1, color);
        fill(list, x1 - 1, y, x1, y + 1, color);
    }
}

void text(ImDrawList* list, float x, float y, ImU32 color, const std::string& utf8) {
    list->AddText(canvas::dialogFont(), float(canvas::fontHeight()),
                  ImVec2(std::floor(x), std::floor(y)), color, utf8.data(),
                  utf8.data() + utf8.size());
}

struct Box {
    int x0, y0, x1, y1;
    int width() const { return x1 - x0; }
    int height() const { return y1 - y0; }
};

Box screenBox(const WindowObject& control, POINT origin) {
    return Box{origin.x + control.rect.left, origin.y + control.rect.top,
               origin.x + control.rect.right, origin.y + control.rect.bottom};
}

bool isFocused(const WindowObject& control) {
    const WindowObject* dialog = object(control.parent);
    return dialog && dialog->focus == &control && foreground() == dialog;
}

bool showsFocusCue(const WindowObject& control) {
    return isFocused(control) && object(control.parent)->focusCues;
}

bool isDefaultButton(const WindowObject& control) {
    const WindowObject* dialog = object(control.parent);
    if (!dialog) return false;
    // A focused push button is the default while it has the focus.
    const WindowObject* focus = object(dialog->focus);
    if (focus && focus->control == ControlKind::PushButton) return focus == &control;
    return (control.style & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
}

void paintPushButton(ImDrawList* list, const WindowObject& c, const Box& b) {
    ImU32 face = kButtonFace, border = kButtonBorder;
    if (!c.enabled) {
        face = kDisabledFace;
        border = kDisabledBorder;
    } else if (c.pressed) {
        face = kPressedFace;
        border = kPressedBorder;
    } else if (c.hot) {
        face = kHotFace;
        border = kAccent;
    } else if (isDefaultButton(c)) {
        border = kAccent;
    }
    fill(list, b.x0, b.y0, b.x1, b.y1, face);
    frame(list, b.x0, b.y0, b.x1, b.y1, border);
    if (c.enabled && isDefaultButton(c) && !c.pressed)
        frame(list, b.x0 + 1, b.y0 + 1, b.x1 - 1, b.y1 - 1, kAccent);
    const std::string label = displayText(c.text, true);
    const float width = canvas::textWidth(label);
    list->PushClipRect(ImVec2(float(b.x0 + 1), float(b.y0 + 1)),
                       ImVec2(float(b.x1 - 1), float(b.y1 - 1)), true);
    text(list, b.x0 + (b.width() - width) / 2, b.y0 + (b.height() - canvas::fontHeight()) / 2.0f,
         c.enabled ? kText : kGrayText, label);
    list->PopClipRect();
    if (showsFocusCue(c)) dottedFrame(list, b.x0 + 3, b.y0 + 3, b.x1 - 3, b.y1 - 3, kText);
}

// Check boxes and radio buttons: the mark, then the label to its right.
void paintCheckable(ImDrawList* list, const WindowObject& c, const Box& b) {
    const int size = px(13);
    const int markX = b.x0, markY = b.y0 + (b.height() - size) / 2;
    const ImU32 border = !c.enabled ? kDisabledBorder : (c.hot || c.pressed) ? kAccent : kBoxBorder;
    const ImU32 inside = !c.enabled ? kFace : c.pressed ? kPressedFace : kWhite;
    const ImU32 mark = c.enabled ? kText : kGrayText;
    if (c.control == ControlKind::CheckBox) {
        fill(list, markX, markY, markX + size, markY + size, inside);
        frame(list, markX, markY, markX + size, markY + size, border);
        if (c.check == BST_CHECKED) {
            const float s = float(size);
            const ImVec2 tick[] = {ImVec2(markX + s * 0.22f, markY + s * 0.50f),
                                   ImVec2(markX + s * 0.42f, markY + s * 0.70f),
                                   ImVec2(markX + s * 0.80f, markY + s * 0.28f)};
            list->AddPolyline(tick, 3, mark, ImDrawFlags_None,
                              std::max(1.5f, 1.6f * canvas::scale()));
        } else if (c.check != BST_UNCHECKED) { // indeterminate
            fill(list, markX + 3, markY + 3, markX + size - 3, markY + size - 3, mark);
        }
    } else {
        const ImVec2 centre(markX + size / 2.0f, markY + size / 2.0f);
        list->AddCircleFilled(centre, size / 2.0f, border, 32);
        list->AddCircleFilled(centre, size / 2.0f - 1, inside, 32);
        if (c.check == BST_CHECKED) list->AddCircleFilled(centre, size * 0.24f, mark, 24);
    }
    const std::string label = displayText(c.text, true);
    const int textX = markX + size + px(4);
    const float textY = b.y0 + (b.height() - canvas::fontHeight()) / 2.0f;
    list->PushClipRect(ImVec2(float(b.x0), float(b.y0)), ImVec2(float(b.x1), float(b.y1)), true);
    text(list, float(textX), textY, c.enabled ? kText : kGrayText, label);
    list->PopClipRect();
    if (showsFocusCue(c)) {
        const int right = std::min(b.x1, textX + int(std::ceil(canvas::textWidth(label))) + 2);
        dottedFrame(list, textX - 2, int(textY) - 1, right, int(textY) + canvas::fontHeight() + 1,
                    kText);
    }
}

void paintGroupBox(ImDrawList* list, const WindowObject& c, const Box& b) {
    const std::string label = displayText(c.text, true);
    const int lineY = b.y0 + canvas::fontHeight() / 2;
    const int textX = b.x0 + px(8);
    const int gap0 = textX - px(2);
    const int gap1 =
        label.empty() ? gap0 : textX + int(std::ceil(canvas::textWidth(label))) + px(2);
    fill(list, b.x0, lineY, std::min(gap0, b.x1), lineY + 1, kGroupLine);
    fill(list, std::min(gap1, b.x1), lineY, b.x1, lineY + 1, kGroupLine);
    fill(list, b.x0, b.y1 - 1, b.x1, b.y1, kGroupLine);
    fill(list, b.x0, lineY + 1, b.x0 + 1, b.y1 - 1, kGroupLine);
    fill(list, b.x1 - 1, lineY + 1, b.x1, b.y1 - 1, kGroupLine);
    list->PushClipRect(ImVec2(float(b.x0), float(b.y0)), ImVec2(float(b.x1), float(b.y1)), true);
    text(list, float(textX), float(b.y0), c.enabled ? kText : kGrayText, label);
    list->PopClipRect();
}

// A read-only edit: the classic sunken field. Its text is one line; when it
// is wider than the field it scrolls so that its end (a file name at the end
// of a long path) stays in view.
void paintEdit(ImDrawList* list, const WindowObject& c, const Box& b) {
    fill(list, b.x0, b.y0, b.x1, b.y1, (c.style & ES_READONLY) || !c.enabled ? kFace : kWhite);
    fill(list, b.x0, b.y0, b.x1, b.y0 + 1, kShadow);
    fill(list, b.x0, b.y0, b.x0 + 1, b.y1, kShadow);
    fill(list, b.x0, b.y1 - 1, b.x1, b.y1, kWhite);
    fill(list, b.x1 - 1, b.y0, b.x1, b.y1, kWhite);
    fill(list, b.x0 + 1, b.y0 + 1, b.x1 - 1, b.y0 + 2, kDarkShadow);
    fill(list, b.x0 + 1, b.y0 + 1, b.x0 + 2, b.y1 - 1, kDarkShadow);
    fill(list, b.x0 + 1, b.y1 - 2, b.x1 - 1, b.y1 - 1, kLight);
    fill(list, b.x1 - 2, b.y0 + 1, b.x1 - 1, b.y1 - 1, kLight);

    const int margin = 2 + px(2);
    const int inner0 = b.x0 + margin, inner1 = b.x1 - margin;
    const std::string value = sys::utf16ToUtf8(c.text);
    const float width = canvas::textWidth(value);
    const float room = float(inner1 - inner0);
    const float x = width > room ? inner1 - width : float(inner0);
    const float y = b.y0 + (b.height() - canvas::fontHeight()) / 2.0f;
    list->PushClipRect(ImVec2(float(b.x0 + 2), float(b.y0 + 2)),
                       ImVec2(float(b.x1 - 2), float(b.y1 - 2)), true);
    text(list, x, y, c.enabled ? kText : kGrayText, value);
    if (isFocused(c)) {
        const int caretX = int(std::floor(x + width)) + 1;
        fill(list, caretX, int(y), caretX + 1, int(y) + canvas::fontHeight(), kText);
    }
    list->PopClipRect();
}

// Word-wrapped lines, as a static control breaks its text.
void paintStaticText(ImDrawList* list, const WindowObject& c, const Box& b) {
    const std::string value = displayText(c.text, !(c.style & SS_NOPREFIX));
    ImFont* font = canvas::dialogFont();
    const float lineHeight = float(canvas::fontHeight());
    const DWORD align = c.style & SS_TYPEMASK; // 0 left, 1 centre, 2 right
    list->PushClipRect(ImVec2(float(b.x0), float(b.y0)), ImVec2(float(b.x1), float(b.y1)), true);
    const char* at = value.data();
    const char* end = value.data() + value.size();
    float y = float(b.y0);
    while (at < end && y < b.y1) {
        const char* lineEnd = std::find(at, end, '\n');
        const char* wrap = font->CalcWordWrapPositionA(1.0f, at, lineEnd, float(b.width()));
        if (wrap == at) wrap = at + 1;
        const char* next = wrap;
        while (next < lineEnd && *next == ' ') ++next;
        if (next == lineEnd && lineEnd < end) ++next; // past the '\n'
        const std::string line(at, wrap);
        const float width = canvas::textWidth(line);
        float x = float(b.x0);
        if (align == 1) x += (b.width() - width) / 2;
        if (align == 2) x += b.width() - width;
        text(list, x, y, c.enabled ? kText : kGrayText, line);
        y += lineHeight;
        at = next;
    }
    list->PopClipRect();
}

void paintControl(ImDrawList* list, const WindowObject& c, POINT origin) {
    const Box b = screenBox(c, origin);
    switch (c.control) {
    case ControlKind::PushButton: paintPushButton(list, c, b); break;
    case ControlKind::CheckBox:
    case ControlKind::RadioButton: paintCheckable(list, c, b); break;
    case ControlKind::GroupBox: paintGroupBox(list, c, b); break;
    case ControlKind::Edit: paintEdit(list, c, b); break;
    case ControlKind::BitmapStatic:
        if (BitmapObject* bitmap = bitmapObject(c.image)) {
            if (unsigned texture = canvas::bitmapTexture(c.image))
                imgui_gl::drawOpaqueImage(list, texture, float(b.x0), float(b.y0),
                                          float(b.x0 + bitmap->width),
                                          float(b.y0 + bitmap->height));
        }
        break;
    case ControlKind::Static:
        // A renderer's frames replace the text of a plain static.
        if (c.surface.glTexture)
            imgui_gl::drawOpaqueImage(list, c.surface.glTexture, float(b.x0), float(b.y0),
                                      float(b.x1), float(b.y1));
        else
            paintStaticText(list, c, b);
        break;
    }
}

bool isCheckable(const WindowObject& c) {
    return c.control == ControlKind::CheckBox || c.control == ControlKind::RadioButton;
}

bool sameClass(const char16_t* name, const char16_t* expected) {
    if (!name) return false;
    for (; *name && *expected; ++name, ++expected) {
        char16_t a = *name, b = *expected;
        if (a >= u'a' && a <= u'z') a = char16_t(a - 32);
        if (a != b) return false;
    }
    return *name == *expected;
}

} // namespace

std::string displayText(const std::u16string& value, bool prefix) {
    if (!prefix || value.find(u'&') == std::u16string::npos) return sys::utf16ToUtf8(value);
    std::u16string shown;
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] == u'&') {
            if (i + 1 < value.size() && value[i + 1] == u'&') shown += u'&';
            if (i + 1 < value.size())
                ++i;
            else
                break;
        }
        shown += value[i];
    }
    return sys::utf16ToUtf8(shown);
}

HWND createControl(HWND dialog, const char16_t* className, const char16_t* text, DWORD style,
                   int id, const RECT& rect) {
    WindowObject* d = object(dialog);
    if (!d) return nullptr;
    ControlKind kind;
    if (sameClass(className, u"BUTTON")) {
        switch (style & BS_TYPEMASK) {
        case BS_PUSHBUTTON:
        case BS_DEFPUSHBUTTON: kind = ControlKind::PushButton; break;
        case BS_CHECKBOX:
        case BS_AUTOCHECKBOX: kind = ControlKind::CheckBox; break;
        case BS_RADIOBUTTON:
        case BS_AUTORADIOBUTTON: kind = ControlKind::RadioButton; break;
        case BS_GROUPBOX: kind = ControlKind::GroupBox; break;
        default:
            logOnce(u"CreateDialog: button style " +
                    sys::utf8ToUtf16(std::to_string(style & BS_TYPEMASK)) +
                    u" is drawn as a push button");
            kind = ControlKind::PushButton;
            break;
        }
    } else if (sameClass(className, u"STATIC")) {
        kind = (style & SS_TYPEMASK) == SS_BITMAP ? ControlKind::BitmapStatic : ControlKind::Static;
    } else if (sameClass(className, u"EDIT")) {
        kind = ControlKind::Edit;
        if (!(style & ES_READONLY))
            logOnce(u"CreateDialog: edit controls are read-only here; typing is not taken");
    } else {
        return nullptr;
    }
    HWND control = newWindow(WindowKind::Control);
    control->control = kind;
    control->parent = dialog;
    control->style = style & ~(WS_VISIBLE | WS_DISABLED);
    control->visible = true; // WS_VISIBLE is implied for template items
    control->enabled = (style & WS_DISABLED) == 0;
    control->id = id;
    control->text = text ? text : u"";
    control->rect = rect;
    d->children.push_back(control);
    return control;
}

LRESULT controlWindowProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
    WindowObject* c = object(control);
    if (!c) return 0;
    switch (message) {
    case BM_GETCHECK: return isCheckable(*c) ? LRESULT(c->check) : 0;
    case BM_SETCHECK:
        // Only the button itself: the others of a radio group are left as
        // they are, as on the platform.
        if (isCheckable(*c)) {
            c->check = wParam;
            invalidate(control);
        }
        return 0;
    case BM_CLICK: activateControl(control); return 0;
    case STM_SETIMAGE: {
        if (c->control != ControlKind::BitmapStatic || wParam != IMAGE_BITMAP) {
            logOnce(u"STM_SETIMAGE: only bitmaps, on SS_BITMAP statics");
            return 0;
        }
        HBITMAP previous = c->image;
        c->image = reinterpret_cast<HBITMAP>(lParam);
        // The control takes its bitmap's size, keeping its top-left corner.
        if (BitmapObject* bitmap = bitmapObject(c->image)) {
            c->rect.right = c->rect.left + bitmap->width;
            c->rect.bottom = c->rect.top + bitmap->height;
        }
        invalidate(control);
        return LRESULT(previous);
    }
    case STM_GETIMAGE:
        return c->control == ControlKind::BitmapStatic && wParam == IMAGE_BITMAP ? LRESULT(c->image)
                                                                                 : 0;
    default: return DefWindowProcW(control, message, wParam, lParam);
    }
}

bool takesFocus(const WindowObject& control) {
    switch (control.control) {
    case ControlKind::PushButton:
    case ControlKind::CheckBox:
    case ControlKind::RadioButton:
    case ControlKind::Edit: return true;
    default: return false;
    }
}

bool transparentToMouse(const WindowObject& control) {
    return control.control == ControlKind::Static || control.control == ControlKind::BitmapStatic ||
           control.control == ControlKind::GroupBox;
}

HWND hitTest(HWND dialog, POINT point) {
    WindowObject* d = object(dialog);
    if (!d) return nullptr;
    for (HWND child : d->children) {
        if (!child->visible || transparentToMouse(*child)) continue;
        const RECT& r = child->rect;
        if (point.x >= r.left && point.x < r.right && point.y >= r.top && point.y < r.bottom)
            return child;
    }
    return nullptr;
}

void activateControl(HWND control) {
    WindowObject* c = object(control);
    if (!c || !c->enabled) return;
    const DWORD type = c->style & BS_TYPEMASK;
    switch (c->control) {
    case ControlKind::CheckBox:
        if (type == BS_AUTOCHECKBOX)
            c->check = c->check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED;
        break;
    case ControlKind::RadioButton:
        if (type == BS_AUTORADIOBUTTON) {
            WindowObject* d = object(c->parent);
            const auto position = std::find(d->children.begin(), d->children.end(), control);
            const auto [begin, end] = groupRange(*d, size_t(position - d->children.begin()));
            for (size_t i = begin; i < end; ++i)
                if (d->children[i]->control == ControlKind::RadioButton) {
                    d->children[i]->check = BST_UNCHECKED;
                    invalidate(d->children[i]);
                }
            c->check = BST_CHECKED;
        }
        break;
    case ControlKind::PushButton: break;
    default: return; // statics, group boxes and edits send no clicks
    }
    invalidate(control);
    SendMessageW(c->parent, WM_COMMAND, MAKEWPARAM(c->id, BN_CLICKED), LPARAM(control));
}

void paintDialog(HWND dialog, ImDrawList* list, POINT origin) {
    WindowObject* d = object(dialog);
    if (!d) return;
    const int width = d->rect.right - d->rect.left, height = d->rect.bottom - d->rect.top;
    if (d->parent) { // a message box drawn in its owner: shadow, border, caption
        const int caption = canvas::fontHeight() + 10;
        const int x0 = origin.x - 1, y0 = origin.y - caption - 1;
        const int x1 = origin.x + width + 1, y1 = origin.y + height + 1;
        for (int i = 4; i >= 1; --i)
            fill(list, x0 + i, y0 + i, x1 + i, y1 + i, IM_COL32(0, 0, 0, 14 * (5 - i)));
        fill(list, x0, y0, x1, origin.y, kWhite);
        frame(list, x0, y0, x1, y1, foreground() == dialog ? kAccent : kButtonBorder);
        text(list, float(origin.x + px(8)), float(y0 + 1 + (caption - canvas::fontHeight()) / 2),
             kText, sys::utf16ToUtf8(d->text));
    }
    if (d->messageBox)
        paintMessageBoxBackground(*d, list, origin);
    else if (d->parent)
        fill(list, origin.x, origin.y, origin.x + width, origin.y + height, kFace);
    // A renderer's frames behind the controls of a whole dialog.
    if (d->surface.glTexture)
        imgui_gl::drawOpaqueImage(list, d->surface.glTexture, float(origin.x), float(origin.y),
                                  float(origin.x + width), float(origin.y + height));
    for (HWND child : d->children)
        if (child->visible) paintControl(list, *child, origin);
}

} // namespace win
