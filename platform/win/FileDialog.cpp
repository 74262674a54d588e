// SPDX-License-Identifier: MIT
// GetOpenFileNameW as a modal ImGui panel over the owner's window. The owner
// keeps its timers because the panel runs inside the window layer's nested
// loop; its controls get no input while the panel is up, as a disabled owner
// would not. Without an owner the panel gets a plain window of its own.
#include "win/FileDialog.h"

#include <algorithm>
#include <optional>
#include <string>
#include <utility>

#include "sys/Unicode.h"
#include "win/FileBrowser.h"
#include "win/FileDialogPanel.h"
#include "win/MessageLoop.h"
#include "win/Win.h"
#include "win/WinInternal.h"

namespace {

constexpr DWORD kHonouredFlags = OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;

// The panel of the innermost running dialog, for fileDialogView().
const win::FileDialogPanel* runningPanel = nullptr;

} // namespace

win::test::FileDialogView win::test::fileDialogView() {
    return runningPanel ? runningPanel->view() : FileDialogView{};
}

BOOL GetOpenFileNameW(OPENFILENAMEW* request) {
    if (!request) return 0;
    if (request->lStructSize != kOpenFileNameSize) {
        win::logOnce(u"GetOpenFileNameW: unknown structure size " +
                     sys::utf8ToUtf16(std::to_string(request->lStructSize)) + u", refused");
        return 0;
    }
    if (!request->lpstrFile || request->nMaxFile == 0) return 0;
    if (request->Flags & ~kHonouredFlags)
        win::logOnce(u"GetOpenFileNameW: flags other than OFN_PATHMUSTEXIST and "
                     u"OFN_FILEMUSTEXIST are ignored");

    const char16_t* file = request->lpstrFile;
    const std::u16string_view previous(
        file, size_t(std::find(file, file + request->nMaxFile, u'\0') - file));
    const int filterIndex = request->nFilterIndex > 0 ? int(request->nFilterIndex) - 1 : 0;
    win::FileBrowser browser(win::parseFilterList(request->lpstrFilter), filterIndex,
                             request->Flags);
    browser.setPathCapacity(request->nMaxFile);
    if (request->lpstrDefExt) browser.setDefaultExtension(sys::utf16ToUtf8(request->lpstrDefExt));
    browser.start(sys::utf16ToUtf8(previous), request->lpstrInitialDir
                                                  ? sys::utf16ToUtf8(request->lpstrInitialDir)
                                                  : std::string());

    const std::u16string title =
        request->lpstrTitle ? std::u16string(request->lpstrTitle) : u"Open";
    win::FileDialogPanel panel(browser, sys::utf16ToUtf8(title), win::userPlaces(browser.home()));
    // A hidden owner would hide the panel with it; it then gets a window of
    // its own, as it does without an owner.
    HWND owner = request->hwndOwner;
    if (owner && !(IsWindow(owner) && IsWindowVisible(owner))) owner = nullptr;
    win::setOverlay(
        owner, [&panel] { panel.draw(); }, title);
    const win::FileDialogPanel* outer = std::exchange(runningPanel, &panel);
    // Also returns when WM_QUIT arrives; the panel then has chosen nothing.
    // A refusal worth a box interrupts the loop: the box runs a loop of its
    // own, which cannot start from inside the panel's frame.
    for (;;) {
        win::runModalLoop([&panel] { return panel.finished() || panel.hasNotice(); });
        const std::optional<std::string> notice = panel.takeNotice();
        if (!notice || panel.finished() || win::quitPending()) break;
        MessageBoxW(owner, sys::utf8ToUtf16(*notice).c_str(), title.c_str(),
                    MB_OK | MB_ICONEXCLAMATION);
    }
    runningPanel = outer;
    win::setOverlay(owner, {});

    if (!panel.chosen()) return 0;
    const std::u16string chosen = sys::utf8ToUtf16(*panel.chosen());
    if (chosen.size() >= request->nMaxFile) {
        // Cutting the path would name another file; refuse it whole.
        win::log(u"GetOpenFileNameW: the chosen path does not fit the buffer of " +
                 sys::utf8ToUtf16(std::to_string(request->nMaxFile)) + u" characters");
        return 0;
    }
    std::copy(chosen.begin(), chosen.end(), request->lpstrFile);
    request->lpstrFile[chosen.size()] = u'\0';
    request->nFilterIndex = DWORD(browser.filterIndex() + 1);
    return 1;
}
