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

#include <imgui.h>
#include <imgui_stdlib.h>

#include "sys/Unicode.h"
#include "win/FileBrowser.h"
#include "win/MessageLoop.h"
#include "win/Win.h"
#include "win/WinInternal.h"

namespace {

constexpr DWORD kHonouredFlags = OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;

// The panel's state between frames; the browser holds the rest.
class FileDialogPanel {
public:
    FileDialogPanel(win::FileBrowser& browser, std::string title)
        : browser_(browser), title_(std::move(title) + "###FileDialog") {}

    void draw();
    bool finished() const { return finished_; }
    int frames() const { return frames_; }
    const win::FileBrowser& browser() const { return browser_; }
    const std::optional<std::string>& chosen() const { return chosen_; }
    // A refusal to be shown in a message box, taken once.
    std::optional<std::string> takeNotice() { return std::exchange(notice_, std::nullopt); }
    bool hasNotice() const { return notice_.has_value(); }

private:
    void accept();
    void cancel() { finished_ = true; }
    void moved() {
        folderText_ = browser_.folder();
        focusName_ = true;
        scrollToSelection_ = true;
    }
    void drawPathRow();
    void drawEntries(float height);
    void drawFooter();

    win::FileBrowser& browser_;
    std::string title_;
    std::string folderText_;
    bool opened_ = false;
    bool focusName_ = true;
    bool scrollToSelection_ = true;
    bool finished_ = false;
    bool keyTaken_ = false; // Enter or Escape already used this frame
    int frames_ = 0;
    std::optional<std::string> chosen_;
    std::optional<std::string> notice_;
};

void FileDialogPanel::accept() {
    std::string before = browser_.folder();
    chosen_ = browser_.accept();
    if (browser_.refusedTooLong()) notice_ = browser_.message();
    if (chosen_)
        finished_ = true;
    else if (browser_.folder() != before)
        moved();
    else
        focusName_ = true; // back to the name, selected, to type it again
}

void FileDialogPanel::draw() {
    if (finished_) return;
    ++frames_;
    if (!opened_) {
        ImGui::OpenPopup(title_.c_str());
        folderText_ = browser_.folder();
        opened_ = true;
    }
    const ImGuiIO& io = ImGui::GetIO();
    const ImVec2 margin(16, 16);
    ImVec2 size(std::min(640.0f, io.DisplaySize.x - 2 * margin.x),
                std::min(440.0f, io.DisplaySize.y - 2 * margin.y));
    size.x = std::max(size.x, 200.0f);
    size.y = std::max(size.y, 160.0f);
    ImGui::SetNextWindowPos(ImVec2(io.DisplaySize.x * 0.5f, io.DisplaySize.y * 0.5f),
                            ImGuiCond_Always, ImVec2(0.5f, 0.5f));
    ImGui::SetNextWindowSize(size, ImGuiCond_Always);
    const ImGuiWindowFlags flags = ImGuiWindowFlags_NoResize | ImGuiWindowFlags_NoMove |
                                   ImGuiWindowFlags_NoCollapse | ImGuiWindowFlags_NoSavedSettings;
    if (!ImGui::BeginPopupModal(title_.c_str(), nullptr, flags)) {
        // Something closed the popup behind our back; the only honest
        // answer left is cancel, or the nested loop would never end.
        cancel();
        return;
    }
    drawPathRow();

    const ImGuiStyle& style = ImGui::GetStyle();
    const float row = ImGui::GetFrameHeightWithSpacing();
    float footer = 2 * row;
    if (!browser_.message().empty())
        footer += ImGui::GetTextLineHeightWithSpacing() * 3 + style.ItemSpacing.y;
    drawEntries(std::max(ImGui::GetContentRegionAvail().y - footer, row));
    drawFooter();

    // Keys act on the whole panel, wherever the focus sits inside it, except
    // where a part of it has used the key itself.
    if (!finished_ && !keyTaken_) {
        if (ImGui::IsKeyPressed(ImGui::GetKeyIndex(ImGuiKey_Escape), false))
            cancel();
        else if (ImGui::IsKeyPressed(ImGui::GetKeyIndex(ImGuiKey_Enter), false) ||
                 ImGui::IsKeyPressed(ImGui::GetKeyIndex(ImGuiKey_KeyPadEnter), false))
            accept();
    }
    keyTaken_ = false;
    if (finished_) ImGui::CloseCurrentPopup();
    ImGui::EndPopup();
}

void FileDialogPanel::drawPathRow() {
    const float upWidth = ImGui::CalcTextSize("..").x + ImGui::GetStyle().FramePadding.x * 4;
    if (ImGui::Button("..", ImVec2(upWidth, 0)) && browser_.up()) moved();
    ImGui::SameLine();
    ImGui::SetNextItemWidth(-1);
    // Editable, so a folder can be typed here too; Enter goes there.
    if (ImGui::InputText("##folder", &folderText_, ImGuiInputTextFlags_EnterReturnsTrue)) {
        keyTaken_ = true;
        if (browser_.enterFolder(folderText_)) moved();
    }
    // A folder typed but not entered gives way to the real one on leaving.
    if (!ImGui::IsItemActive()) folderText_ = browser_.folder();
}

void FileDialogPanel::drawEntries(float height) {
    ImGui::BeginChild("##entries", ImVec2(0, height), true);
    const auto& entries = browser_.entries();
    std::optional<size_t> enter, open;
    for (size_t i = 0; i < entries.size(); ++i) {
        const auto& entry = entries[i];
        ImGui::PushID(int(i));
        const bool selected = entry.name == browser_.text();
        const float x = ImGui::GetCursorPosX();
        // The name is drawn apart from the selectable's label, so a name
        // holding "##" shows in full.
        if (ImGui::Selectable("##entry", selected, ImGuiSelectableFlags_AllowDoubleClick)) {
            browser_.select(entry.name);
            if (ImGui::IsMouseDoubleClicked(ImGuiMouseButton_Left))
                (entry.folder ? enter : open) = i;
        }
        if (selected && scrollToSelection_) ImGui::SetScrollHereY(0.5f);
        ImGui::SameLine(x);
        if (entry.folder) {
            ImGui::TextDisabled("[folder]");
            ImGui::SameLine();
        }
        ImGui::TextUnformatted(entry.name.c_str(), entry.name.c_str() + entry.name.size());
        ImGui::PopID();
    }
    scrollToSelection_ = false;
    ImGui::EndChild();
    if (enter) {
        if (browser_.enterFolder(entries[*enter].name)) moved();
    } else if (open) {
        accept();
    }
}

void FileDialogPanel::drawFooter() {
    if (!browser_.message().empty()) {
        ImGui::PushStyleColor(ImGuiCol_Text, ImVec4(0.85f, 0.15f, 0.1f, 1));
        ImGui::TextWrapped("%s", browser_.message().c_str());
        ImGui::PopStyleColor();
    }
    const ImGuiStyle& style = ImGui::GetStyle();
    const float buttonWidth = ImGui::CalcTextSize("Cancel").x + style.FramePadding.x * 6;
    // Both fields start in one column, whichever label is longer.
    const float column =
        std::max(ImGui::CalcTextSize("File name:").x, ImGui::CalcTextSize("Files of type:").x) +
        style.ItemSpacing.x;
    const float fieldWidth =
        ImGui::GetContentRegionAvail().x - column - buttonWidth - style.ItemSpacing.x;
    const float left = ImGui::GetCursorPosX();

    ImGui::AlignTextToFramePadding();
    ImGui::TextUnformatted("File name:");
    ImGui::SameLine(left + column);
    ImGui::SetNextItemWidth(fieldWidth);
    if (focusName_) {
        ImGui::SetKeyboardFocusHere();
        focusName_ = false;
    }
    std::string name = browser_.text();
    // Selected on focus, as the common dialog does, so typing replaces the
    // preselected name instead of adding to it.
    if (ImGui::InputText("##name", &name, ImGuiInputTextFlags_AutoSelectAll))
        browser_.setText(name);
    ImGui::SameLine();
    if (ImGui::Button("Open", ImVec2(buttonWidth, 0))) accept();

    ImGui::AlignTextToFramePadding();
    ImGui::TextUnformatted("Files of type:");
    ImGui::SameLine(left + column);
    ImGui::SetNextItemWidth(fieldWidth);
    const auto& filters = browser_.filters();
    const char* current =
        filters.empty() ? "All files" : filters[size_t(browser_.filterIndex())].description.c_str();
    if (ImGui::BeginCombo("##filter", current)) {
        keyTaken_ = true; // Enter and Escape belong to the open list
        if (ImGui::IsKeyPressed(ImGui::GetKeyIndex(ImGuiKey_Escape), false))
            ImGui::CloseCurrentPopup();
        for (size_t i = 0; i < filters.size(); ++i) {
            ImGui::PushID(int(i));
            if (ImGui::Selectable(filters[i].description.c_str(), int(i) == browser_.filterIndex()))
                browser_.setFilter(int(i));
            ImGui::PopID();
        }
        ImGui::EndCombo();
    }
    ImGui::SameLine();
    if (ImGui::Button("Cancel", ImVec2(buttonWidth, 0))) cancel();
}

// The panel of the innermost running dialog, for fileDialogView().
const FileDialogPanel* runningPanel = nullptr;

} // namespace

win::test::FileDialogView win::test::fileDialogView() {
    if (!runningPanel) return {};
    const win::FileBrowser& browser = runningPanel->browser();
    return {runningPanel->frames(), browser.folder(), browser.text(), browser.message()};
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
    FileDialogPanel panel(browser, sys::utf16ToUtf8(title));
    // A hidden owner would hide the panel with it; it then gets a window of
    // its own, as it does without an owner.
    HWND owner = request->hwndOwner;
    if (owner && !(IsWindow(owner) && IsWindowVisible(owner))) owner = nullptr;
    win::setOverlay(
        owner, [&panel] { panel.draw(); }, title);
    const FileDialogPanel* outer = std::exchange(runningPanel, &panel);
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
