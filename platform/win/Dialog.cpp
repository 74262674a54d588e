// SPDX-License-Identifier: MIT
// Dialogs from templates: the resource registry, dialog units, creation with
// WM_INITDIALOG as the first message the dialog procedure sees, the modal
// run, default processing and keyboard navigation (Tab, arrows in a group).
// Every dialog font is drawn with the layer's one dialog font; the
// template's face name is not looked up.
#include "win/Dialog.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>

#include <SDL.h>

#include "sys/Unicode.h"
#include "win/Canvas.h"
#include "win/Controls.h"
#include "win/MessageLoop.h"
#include "win/WinInternal.h"

namespace {

// A template with its text owned here, so that a caller may register one
// built from temporary strings.
struct StoredTemplate {
    DialogTemplate dialog;
    std::vector<std::unique_ptr<std::u16string>> strings;

    const char16_t* keep(const char16_t* text) {
        strings.push_back(std::make_unique<std::u16string>(text ? text : u""));
        return strings.back()->c_str();
    }
};

std::map<uint16_t, std::unique_ptr<StoredTemplate>>& templates() {
    static std::map<uint16_t, std::unique_ptr<StoredTemplate>> registry;
    return registry;
}

std::u16string number(long value) {
    return sys::utf8ToUtf16(std::to_string(value));
}

} // namespace

void registerDialogTemplate(const DialogTemplate& dialog) {
    auto stored = std::make_unique<StoredTemplate>();
    stored->dialog = dialog;
    stored->dialog.caption = stored->keep(dialog.caption);
    stored->dialog.fontName = stored->keep(dialog.fontName);
    for (DialogItemTemplate& item : stored->dialog.items) {
        item.className = stored->keep(item.className);
        item.text = stored->keep(item.text);
    }
    templates()[dialog.id] = std::move(stored);
}

const DialogTemplate* findDialogTemplate(uint16_t id) {
    auto found = templates().find(id);
    return found == templates().end() ? nullptr : &found->second->dialog;
}

namespace win {

DialogUnits dialogUnits() {
    // Windows measures with GetTextExtentPoint32, in whole pixels.
    const int width =
        int(std::lround(canvas::textWidth("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")));
    return DialogUnits{(width / 26 + 1) / 2, canvas::fontHeight()};
}

RECT dialogRectToPixels(const DialogUnits& units, int x, int y, int cx, int cy) {
    // MulDiv: rounded, halves away from zero.
    const auto mapX = [&](int v) { return int(std::lround(double(v) * units.baseX / 4)); };
    const auto mapY = [&](int v) { return int(std::lround(double(v) * units.baseY / 8)); };
    const int left = mapX(x), top = mapY(y);
    return RECT{left, top, left + mapX(cx), top + mapY(cy)};
}

HWND createDialog(const DialogTemplate& dialog, HWND ownerWindow, DLGPROC proc, LPARAM param) {
    const DialogUnits units = dialogUnits();
    const RECT frame = dialogRectToPixels(units, dialog.x, dialog.y, dialog.cx, dialog.cy);
    const int width = std::max<int>(frame.right - frame.left, 1);
    const int height = std::max<int>(frame.bottom - frame.top, 1);

    HWND handle = newWindow(WindowKind::Dialog);
    WindowObject& d = *handle;
    d.owner = dialogOf(ownerWindow);
    d.style = dialog.style & ~(WS_VISIBLE | WS_DISABLED);
    d.enabled = (dialog.style & WS_DISABLED) == 0;
    d.text = dialog.caption ? dialog.caption : u"";
    d.id = dialog.id;
    d.rect = RECT{0, 0, width, height};
    if (!canvas::createTopLevel(d, d.text, width, height, hostOf(d.owner))) {
        retireWindow(handle);
        return nullptr;
    }
    // Template coordinates are relative to the owner's client area.
    POINT position{frame.left, frame.top};
    if (d.owner) ClientToScreen(d.owner, &position);
    SDL_SetWindowPosition(d.top->window, position.x, position.y);

    for (const DialogItemTemplate& item : dialog.items) {
        const RECT rect = dialogRectToPixels(units, item.x, item.y, item.cx, item.cy);
        if (!createControl(handle, item.className, item.text, item.style, item.id, rect))
            logOnce(u"CreateDialog: control class \"" +
                    std::u16string(item.className ? item.className : u"") +
                    u"\" is not one the layer has; left out");
    }

    // The dialog procedure is attached only now: its first message is
    // WM_INITDIALOG, which carries the caller's parameter.
    d.dialogProc = proc;
    HWND first = nullptr;
    for (HWND child : d.children)
        if ((child->style & WS_TABSTOP) && child->visible && child->enabled && takesFocus(*child)) {
            first = child;
            break;
        }
    SendMessageW(handle, WM_INITDIALOG, WPARAM(first), param);
    if (!object(handle)) return nullptr;
    // Whatever WM_INITDIALOG answered, the first tab stop has the focus
    // when the dialog first shows, unless the procedure chose one.
    if (!object(d.focus) && object(first)) d.focus = first;
    return handle;
}

INT_PTR runModalDialog(HWND dialog) {
    WindowObject* d = object(dialog);
    if (!d) return -1;
    d->modal = true;
    // The owner gets no input meanwhile, but its timers keep firing.
    HWND owner = object(d->owner);
    const bool disableOwner = owner && owner->enabled;
    if (disableOwner) EnableWindow(owner, FALSE);
    if (!d->ended) {
        ShowWindow(dialog, SW_SHOW);
        SetForegroundWindow(dialog);
    }
    runModalLoop([dialog] {
        WindowObject* w = object(dialog);
        return !w || w->ended;
    });
    d = object(dialog);
    const INT_PTR result = d ? d->result : 0;
    // Enabled before the dialog goes, so that the owner takes the keyboard back.
    if (disableOwner && object(owner)) EnableWindow(owner, TRUE);
    if (d) DestroyWindow(dialog);
    if (object(owner)) SetForegroundWindow(owner);
    return result;
}

LRESULT dialogWindowProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    WindowObject* d = object(dialog);
    if (!d) return 0;
    const DLGPROC proc = d->dialogProc;
    const INT_PTR answer = proc ? proc(dialog, message, wParam, lParam) : 0;
    if (answer || !object(dialog)) return answer;
    switch (message) {
    case WM_CLOSE: sendCommand(dialog, IDCANCEL); return 0;
    case WM_INITDIALOG: return 0;
    default: return DefWindowProcW(dialog, message, wParam, lParam);
    }
}

void sendCommand(HWND dialog, int id) {
    HWND button = GetDlgItem(dialog, id);
    if (button && !button->enabled) return;
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), LPARAM(button));
}

std::pair<size_t, size_t> groupRange(const WindowObject& dialog, size_t index) {
    const auto& children = dialog.children;
    size_t begin = std::min(index, children.size());
    while (begin > 0 && !(children[begin]->style & WS_GROUP)) --begin;
    size_t end = index + 1;
    while (end < children.size() && !(children[end]->style & WS_GROUP)) ++end;
    return {begin, std::min(end, children.size())};
}

namespace {

bool focusable(HWND control) {
    return control->visible && control->enabled && takesFocus(*control);
}

long indexOf(const WindowObject& dialog, HWND child) {
    auto found = std::find(dialog.children.begin(), dialog.children.end(), child);
    return found == dialog.children.end() ? -1 : long(found - dialog.children.begin());
}

} // namespace

void moveTabFocus(HWND dialog, bool backwards) {
    WindowObject* d = object(dialog);
    if (!d || d->children.empty()) return;
    const long count = long(d->children.size());
    const long current = indexOf(*d, d->focus);
    const long step = backwards ? -1 : 1;
    long index = current < 0 ? (backwards ? 0 : -1) : current;
    for (long tried = 0; tried < count; ++tried) {
        index = ((index + step) % count + count) % count;
        HWND candidate = d->children[size_t(index)];
        if (!(candidate->style & WS_TABSTOP) || !focusable(candidate)) continue;
        // Tabbing into a group of radio buttons lands on the checked one.
        if (candidate->control == ControlKind::RadioButton && candidate->check != BST_CHECKED) {
            const auto [begin, end] = groupRange(*d, size_t(index));
            for (size_t i = begin; i < end; ++i) {
                HWND other = d->children[i];
                if (other->control == ControlKind::RadioButton && other->check == BST_CHECKED &&
                    focusable(other))
                    candidate = other;
            }
        }
        d->focusCues = true;
        SetFocus(candidate);
        return;
    }
}

void moveGroupFocus(HWND dialog, bool backwards) {
    WindowObject* d = object(dialog);
    if (!d) return;
    const long current = indexOf(*d, d->focus);
    if (current < 0) return;
    const auto [begin, end] = groupRange(*d, size_t(current));
    const long size = long(end - begin);
    for (long step = 1; step < size; ++step) {
        const long offset = ((current - long(begin)) + (backwards ? -step : step)) % size;
        HWND candidate = d->children[begin + size_t((offset + size) % size)];
        if (!focusable(candidate)) continue;
        d->focusCues = true;
        SetFocus(candidate);
        // An automatic radio button is chosen by moving onto it.
        if (candidate->control == ControlKind::RadioButton &&
            (candidate->style & BS_TYPEMASK) == BS_AUTORADIOBUTTON)
            activateControl(candidate);
        return;
    }
}

} // namespace win

using namespace win;

INT_PTR DialogBoxParamW(HINSTANCE, WORD templateId, HWND parent, DLGPROC proc, LPARAM param) {
    if (!init()) return -1;
    if (parent && !IsWindow(parent)) return -1;
    const DialogTemplate* dialog = findDialogTemplate(templateId);
    if (!dialog) {
        log(u"DialogBoxParamW: no dialog template " + number(templateId));
        return -1;
    }
    HWND handle = createDialog(*dialog, parent, proc, param);
    if (!handle) return -1;
    return runModalDialog(handle);
}

HWND CreateDialogParamW(HINSTANCE, WORD templateId, HWND parent, DLGPROC proc, LPARAM param) {
    if (!init()) return nullptr;
    if (parent && !IsWindow(parent)) return nullptr;
    const DialogTemplate* dialog = findDialogTemplate(templateId);
    if (!dialog) {
        log(u"CreateDialogParamW: no dialog template " + number(templateId));
        return nullptr;
    }
    HWND handle = createDialog(*dialog, parent, proc, param);
    if (handle && (dialog->style & WS_VISIBLE)) ShowWindow(handle, SW_SHOW);
    return object(handle);
}

BOOL EndDialog(HWND dialog, INT_PTR result) {
    WindowObject* d = object(dialog);
    if (!d || d->kind != WindowKind::Dialog) return FALSE;
    d->ended = true;
    d->result = result;
    // A modeless dialog has no loop to leave; the platform hides it.
    if (!d->modal) ShowWindow(dialog, SW_HIDE);
    return TRUE;
}

HWND GetDlgItem(HWND dialog, int id) {
    WindowObject* d = object(dialog);
    if (!d || d->kind != WindowKind::Dialog) return nullptr;
    for (HWND child : d->children)
        if (WORD(child->id) == WORD(id)) return child; // ids are 16-bit: -1 is 0xFFFF
    return nullptr;
}
