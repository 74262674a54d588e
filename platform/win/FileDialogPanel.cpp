// SPDX-License-Identifier: MIT
// The open-file dialog's panel in ImGui. The browser holds what the dialog
// knows; this file holds only what lives between frames: which part has the
// keys, the type-to-find prefix, the thumbnail on show.
#include "win/FileDialogPanel.h"

#include <algorithm>
#include <cmath>
#include <ctime>

#include <imgui.h>
#include <imgui_internal.h>
#include <imgui_stdlib.h>

#include "win/Canvas.h"
#include "win/Gdi.h"
#include "win/ImGuiRenderer.h"
#include "win/Win.h"

namespace win {
namespace {

// Letters typed this long after the last one start a new search.
constexpr double kFindPause = 1.0;
constexpr size_t kPageRows = 10;

uint32_t rgbOf(const ImVec4& colour) {
    auto byte = [](float v) { return uint32_t(std::clamp(v, 0.0f, 1.0f) * 255.0f + 0.5f); };
    return byte(colour.x) << 16 | byte(colour.y) << 8 | byte(colour.z);
}

std::string sizeText(uint64_t bytes) {
    if (bytes < 1024) return std::to_string(bytes) + " B";
    const char* units[] = {"KB", "MB", "GB", "TB"};
    double value = double(bytes) / 1024;
    size_t unit = 0;
    while (value >= 1024 && unit + 1 < std::size(units)) value /= 1024, ++unit;
    char text[32];
    std::snprintf(text, sizeof text, value < 10 ? "%.1f %s" : "%.0f %s", value, units[unit]);
    return text;
}

std::string dateText(int64_t seconds) {
    const std::time_t time = std::time_t(seconds);
    std::tm local{};
    if (!localtime_r(&time, &local)) return {};
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", &local);
    return text;
}

bool keyPressed(ImGuiKey key, bool repeat = false) {
    return ImGui::IsKeyPressed(ImGui::GetKeyIndex(key), repeat);
}

} // namespace

FileDialogPanel::FileDialogPanel(FileBrowser& browser, std::string title, std::vector<Place> places)
    : browser_(browser), title_(std::move(title) + "###FileDialog"), places_(std::move(places)),
      thumbnails_(thumbnailDecoder(), rgbOf(ImVec4(0.5f, 0.5f, 0.5f, 1))) {}

FileDialogPanel::~FileDialogPanel() {
    if (thumbnailBitmap_) DeleteObject(thumbnailBitmap_);
}

void FileDialogPanel::moved() {
    scrollToSelection_ = true;
    findPrefix_.clear();
    // Keys stay where they were: one walking the list keeps walking it.
    if (!listHasKeys_) focusName_ = true;
}

void FileDialogPanel::go(const std::string& folder) {
    if (browser_.enterFolder(folder)) moved();
}

std::optional<size_t> FileDialogPanel::selectedIndex() const {
    const auto& entries = browser_.entries();
    for (size_t i = 0; i < entries.size(); ++i)
        if (entries[i].name == browser_.text()) return i;
    return std::nullopt;
}

void FileDialogPanel::select(size_t index) {
    if (index >= browser_.entries().size()) return;
    browser_.select(browser_.entries()[index].name);
    scrollToSelection_ = true;
}

void FileDialogPanel::listTakesKeys() {
    listHasKeys_ = true;
    focusName_ = false;
    // The name field lets go, or it would keep eating letters and Backspace.
    if (nameActive_) ImGui::ClearActiveID();
    nameActive_ = false;
}

void FileDialogPanel::accept() {
    const std::string before = browser_.folder();
    chosen_ = browser_.accept();
    if (browser_.refusedTooLong()) notice_ = browser_.message();
    if (chosen_)
        finished_ = true;
    else if (browser_.folder() != before)
        moved();
    else if (!listHasKeys_)
        focusName_ = true; // back to the name, selected, to type it again
}

void FileDialogPanel::findTyped(const std::string& typed) {
    const double now = ImGui::GetTime();
    if (now - lastFindTime_ > kFindPause) findPrefix_.clear();
    lastFindTime_ = now;
    findPrefix_ += typed;
    // Pressing the same letter again steps to the next entry with it; more
    // letters refine the entry in hand.
    const bool sameLetter = std::all_of(findPrefix_.begin(), findPrefix_.end(),
                                        [this](char c) { return c == findPrefix_.front(); });
    const std::optional<size_t> current = selectedIndex();
    const size_t from = current ? *current + (sameLetter ? 1 : 0) : 0;
    auto found = browser_.findByPrefix(sameLetter ? findPrefix_.substr(0, 1) : findPrefix_, from);
    if (found) select(*found);
}

void FileDialogPanel::handleKeys() {
    if (finished_ || keyTaken_) return;
    if (keyPressed(ImGuiKey_Escape)) {
        cancel();
        return;
    }
    if (keyPressed(ImGuiKey_Enter) || keyPressed(ImGuiKey_KeyPadEnter)) {
        accept();
        return;
    }
    const size_t count = browser_.entries().size();
    const std::optional<size_t> current = selectedIndex();
    std::optional<size_t> to;
    if (keyPressed(ImGuiKey_DownArrow, true))
        to = current ? std::min(*current + 1, count - 1) : 0;
    else if (keyPressed(ImGuiKey_UpArrow, true))
        to = current && *current > 0 ? *current - 1 : 0;
    else if (keyPressed(ImGuiKey_PageDown, true))
        to = current ? std::min(*current + kPageRows, count - 1) : 0;
    else if (keyPressed(ImGuiKey_PageUp, true))
        to = current && *current > kPageRows ? *current - kPageRows : 0;
    if (to && count > 0) {
        listTakesKeys();
        select(*to);
        return;
    }
    if (!listHasKeys_ || ImGui::GetActiveID() != 0) return;
    if (keyPressed(ImGuiKey_Home) && count > 0) select(0);
    if (keyPressed(ImGuiKey_End) && count > 0) select(count - 1);
    if (keyPressed(ImGuiKey_Backspace, true) && browser_.up()) moved();
    // Letters nobody else took: no widget is active while the list has keys.
    std::string typed;
    for (ImWchar c : ImGui::GetIO().InputQueueCharacters) {
        if (c < 0x20 || c == 0x7F) continue;
        char utf8[5] = {};
        typed += ImTextCharToUtf8(utf8, c);
    }
    if (!typed.empty()) findTyped(typed);
}

void FileDialogPanel::updateThumbnail() {
    std::string wanted;
    if (auto index = selectedIndex(); index && !browser_.entries()[*index].folder)
        wanted = browser_.resolve(browser_.entries()[*index].name);
    if (wanted != thumbnails_.requested()) {
        thumbnails_.request(wanted);
        thumbnail_.reset();
        if (thumbnailBitmap_) DeleteObject(thumbnailBitmap_);
        thumbnailBitmap_ = nullptr;
    }
    std::optional<ThumbnailLoader::Result> result = thumbnails_.take();
    if (!result) return;
    thumbnail_ = std::move(result);
    if (!thumbnail_->ok) return;
    const ThumbnailImage& image = thumbnail_->image;
    thumbnailBitmap_ = CreateBitmap(image.width, image.height, 1, 32, nullptr);
    if (BitmapObject* bitmap = bitmapObject(thumbnailBitmap_)) {
        // Bitmaps keep their rows bottom-up and no alpha.
        for (int y = 0; y < image.height; ++y)
            for (int x = 0; x < image.width; ++x)
                bitmap->pixels[size_t(image.height - 1 - y) * size_t(image.width) + size_t(x)] =
                    image.pixels[size_t(y) * size_t(image.width) + size_t(x)] & 0xFFFFFF;
        ++bitmap->version;
    }
}

void FileDialogPanel::remember(const std::string& spot) {
    const ImVec2 a = ImGui::GetItemRectMin(), b = ImGui::GetItemRectMax();
    spots_.push_back({spot, RECT{LONG(a.x), LONG(a.y), LONG(b.x), LONG(b.y)}});
}

void FileDialogPanel::draw() {
    if (finished_) return;
    ++frames_;
    spots_.clear();
    if (!opened_) {
        ImGui::OpenPopup(title_.c_str());
        opened_ = true;
    }
    updateThumbnail();
    const ImGuiIO& io = ImGui::GetIO();
    const ImVec2 margin(16, 16);
    ImVec2 size(std::min(760.0f, io.DisplaySize.x - 2 * margin.x),
                std::min(520.0f, io.DisplaySize.y - 2 * margin.y));
    size.x = std::max(size.x, 200.0f);
    size.y = std::max(size.y, 160.0f);
    ImGui::SetNextWindowPos(ImVec2(io.DisplaySize.x * 0.5f, io.DisplaySize.y * 0.5f),
                            ImGuiCond_Always, ImVec2(0.5f, 0.5f));
    ImGui::SetNextWindowSize(size, ImGuiCond_Always);
    const ImGuiWindowFlags flags = ImGuiWindowFlags_NoResize | ImGuiWindowFlags_NoMove |
                                   ImGuiWindowFlags_NoCollapse | ImGuiWindowFlags_NoSavedSettings;
    // The style's popups are slightly see-through; a dialog the owner shows
    // through reads as broken, so this one is painted solid.
    ImVec4 background = ImGui::GetStyleColorVec4(ImGuiCol_PopupBg);
    background.w = 1;
    ImGui::PushStyleColor(ImGuiCol_PopupBg, background);
    const bool open = ImGui::BeginPopupModal(title_.c_str(), nullptr, flags);
    ImGui::PopStyleColor();
    if (!open) {
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
    const float body = std::max(ImGui::GetContentRegionAvail().y - footer, row);
    drawSide(body);
    ImGui::SameLine();
    drawEntries(body);
    drawFooter();

    handleKeys();
    keyTaken_ = false;
    if (finished_) ImGui::CloseCurrentPopup();
    ImGui::EndPopup();
}

void FileDialogPanel::drawPathRow() {
    const ImGuiStyle& style = ImGui::GetStyle();
    const float upWidth = ImGui::CalcTextSize("..").x + style.FramePadding.x * 4;
    if (ImGui::Button("..", ImVec2(upWidth, 0)) && browser_.up()) moved();
    // The folders above as buttons, the nearest last; those that do not fit
    // give way from the root end.
    const std::vector<Place> chain = foldersAbove(browser_.folder());
    float room = ImGui::GetContentRegionAvail().x - upWidth - style.ItemSpacing.x;
    size_t first = chain.size();
    while (first > 0) {
        const float width = ImGui::CalcTextSize(chain[first - 1].label.c_str()).x +
                            style.FramePadding.x * 2 + style.ItemSpacing.x;
        if (width > room && first < chain.size()) break;
        room -= width;
        --first;
    }
    for (size_t i = first; i < chain.size(); ++i) {
        ImGui::SameLine();
        ImGui::PushID(int(i));
        const bool here = i + 1 == chain.size();
        if (here) ImGui::PushStyleColor(ImGuiCol_Button, style.Colors[ImGuiCol_ButtonActive]);
        // The label is the folder's own name, which may hold "##".
        const std::string& label = chain[i].label;
        const ImVec2 textSize = ImGui::CalcTextSize(label.c_str(), label.c_str() + label.size());
        const ImVec2 at = ImGui::GetCursorScreenPos();
        const bool pressed = ImGui::Button(
            "##crumb", ImVec2(textSize.x + style.FramePadding.x * 2, ImGui::GetFrameHeight()));
        ImGui::GetWindowDrawList()->AddText(
            ImVec2(at.x + style.FramePadding.x, at.y + style.FramePadding.y),
            ImGui::GetColorU32(ImGuiCol_Text), label.c_str(), label.c_str() + label.size());
        if (here) ImGui::PopStyleColor();
        remember("crumb:" + chain[i].path);
        ImGui::PopID();
        if (pressed && !here) go(chain[i].path);
    }
}

void FileDialogPanel::drawSide(float height) {
    const ImGuiStyle& style = ImGui::GetStyle();
    const float width = float(kThumbnailSide) + 2 * style.WindowPadding.x;
    const float caption = ImGui::GetTextLineHeightWithSpacing() + style.ItemSpacing.y;
    // Three places stay in view; the thumbnail shrinks to what is left, and
    // in a very short window gives way.
    const float thumb =
        std::min(float(kThumbnailSide), height - caption - ImGui::GetFrameHeightWithSpacing() * 3);
    const bool withThumbnail = thumb >= 48;
    const float thumbHeight = withThumbnail ? thumb + caption : 0;
    ImGui::BeginGroup();
    ImGui::BeginChild("##places", ImVec2(width, withThumbnail ? height - thumbHeight : height),
                      true);
    for (size_t i = 0; i < places_.size(); ++i) {
        ImGui::PushID(int(i));
        const Place& place = places_[i];
        const bool here = place.path == browser_.folder();
        const ImVec2 at = ImGui::GetCursorPos();
        const bool clicked = ImGui::Selectable("##place", here);
        remember("place:" + place.label);
        ImGui::SameLine(at.x);
        ImGui::TextUnformatted(place.label.c_str(), place.label.c_str() + place.label.size());
        ImGui::PopID();
        if (clicked && !here) go(place.path);
    }
    ImGui::EndChild();
    if (withThumbnail) drawThumbnail(thumb);
    ImGui::EndGroup();
}

void FileDialogPanel::drawThumbnail(float side) {
    const ImVec2 at = ImGui::GetCursorScreenPos();
    const float column = float(kThumbnailSide) + 2 * ImGui::GetStyle().WindowPadding.x;
    const float left = std::round(at.x + (column - side) * 0.5f);
    ImDrawList* list = ImGui::GetWindowDrawList();
    list->AddRect(ImVec2(left - 1, at.y - 1), ImVec2(left + side + 1, at.y + side + 1),
                  ImGui::GetColorU32(ImGuiCol_Border));
    std::string caption;
    if (thumbnail_ && thumbnail_->ok) {
        const ThumbnailImage& image = thumbnail_->image;
        const float scale = std::min(1.0f, side / float(kThumbnailSide));
        const float w = float(image.width) * scale, h = float(image.height) * scale;
        const float x = std::round(left + (side - w) * 0.5f);
        const float y = std::round(at.y + (side - h) * 0.5f);
        if (unsigned texture = canvas::bitmapTexture(thumbnailBitmap_))
            imgui_gl::drawOpaqueImage(list, texture, x, y, x + w, y + h);
        caption = std::to_string(thumbnail_->sourceWidth) + " x " +
                  std::to_string(thumbnail_->sourceHeight);
    } else if (thumbnail_) {
        caption = "No preview";
    } else if (!thumbnails_.requested().empty()) {
        caption = "Loading...";
    }
    ImGui::Dummy(ImVec2(column, side));
    remember("thumbnail");
    ImGui::SetCursorScreenPos(ImVec2(left, ImGui::GetCursorScreenPos().y));
    ImGui::TextDisabled("%s", caption.c_str());
}

void FileDialogPanel::drawEntries(float height) {
    const ImGuiTableFlags flags = ImGuiTableFlags_Sortable | ImGuiTableFlags_ScrollY |
                                  ImGuiTableFlags_RowBg | ImGuiTableFlags_BordersOuter |
                                  ImGuiTableFlags_BordersInnerV | ImGuiTableFlags_Resizable;
    if (!ImGui::BeginTable("##entries", 3, flags, ImVec2(0, height))) return;
    const float dateWidth = ImGui::CalcTextSize("2000-00-00 00:00").x;
    ImGui::TableSetupColumn("Name", ImGuiTableColumnFlags_WidthStretch |
                                        ImGuiTableColumnFlags_DefaultSort |
                                        ImGuiTableColumnFlags_NoHide);
    ImGui::TableSetupColumn(
        "Size", ImGuiTableColumnFlags_WidthFixed | ImGuiTableColumnFlags_PreferSortDescending,
        ImGui::CalcTextSize("1023 KB").x);
    ImGui::TableSetupColumn(
        "Modified", ImGuiTableColumnFlags_WidthFixed | ImGuiTableColumnFlags_PreferSortDescending,
        dateWidth);
    ImGui::TableSetupScrollFreeze(0, 1);
    ImGui::TableNextRow(ImGuiTableRowFlags_Headers);
    for (int column = 0; column < 3; ++column) {
        ImGui::TableSetColumnIndex(column);
        const char* name = ImGui::TableGetColumnName(column);
        ImGui::TableHeader(name);
        remember(std::string("header:") + name);
    }
    if (ImGuiTableSortSpecs* specs = ImGui::TableGetSortSpecs(); specs && specs->SpecsDirty) {
        if (specs->SpecsCount > 0) {
            const ImGuiTableColumnSortSpecs& spec = specs->Specs[0];
            static constexpr FileBrowser::SortBy kColumns[] = {
                FileBrowser::SortBy::Name, FileBrowser::SortBy::Size, FileBrowser::SortBy::Date};
            browser_.sortBy(kColumns[std::clamp(int(spec.ColumnIndex), 0, 2)],
                            spec.SortDirection != ImGuiSortDirection_Descending);
        }
        specs->SpecsDirty = false;
    }

    const auto& entries = browser_.entries();
    std::optional<size_t> enter, open;
    for (size_t i = 0; i < entries.size(); ++i) {
        const auto& entry = entries[i];
        ImGui::TableNextRow();
        ImGui::TableSetColumnIndex(0);
        ImGui::PushID(int(i));
        const bool selected = entry.name == browser_.text();
        const float x = ImGui::GetCursorPosX();
        // The name is drawn apart from the selectable's label, so a name
        // holding "##" shows in full.
        if (ImGui::Selectable("##entry", selected,
                              ImGuiSelectableFlags_SpanAllColumns |
                                  ImGuiSelectableFlags_AllowDoubleClick)) {
            browser_.select(entry.name);
            listTakesKeys();
            if (ImGui::IsMouseDoubleClicked(ImGuiMouseButton_Left))
                (entry.folder ? enter : open) = i;
        }
        remember("entry:" + entry.name);
        if (selected && scrollToSelection_) ImGui::SetScrollHereY(0.5f);
        ImGui::SameLine(x);
        if (entry.folder) {
            ImGui::TextDisabled("[folder]");
            ImGui::SameLine();
        }
        ImGui::TextUnformatted(entry.name.c_str(), entry.name.c_str() + entry.name.size());
        if (!entry.folder) {
            ImGui::TableSetColumnIndex(1);
            const std::string size = sizeText(entry.size);
            // Right-aligned, so sizes line up by their units.
            ImGui::SetCursorPosX(ImGui::GetCursorPosX() + ImGui::GetContentRegionAvail().x -
                                 ImGui::CalcTextSize(size.c_str()).x);
            ImGui::TextUnformatted(size.c_str());
        }
        if (entry.modified) {
            ImGui::TableSetColumnIndex(2);
            ImGui::TextUnformatted(dateText(entry.modified).c_str());
        }
        ImGui::PopID();
    }
    scrollToSelection_ = false;
    ImGui::EndTable();
    if (enter) {
        go(entries[*enter].name);
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
    // preselected name instead of adding to it. A folder or file path typed
    // or pasted here is followed by Enter.
    if (ImGui::InputText("##name", &name, ImGuiInputTextFlags_AutoSelectAll))
        browser_.setText(name);
    nameActive_ = ImGui::IsItemActive();
    if (nameActive_) listHasKeys_ = false;
    remember("name");
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
        if (keyPressed(ImGuiKey_Escape)) ImGui::CloseCurrentPopup();
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

test::FileDialogView FileDialogPanel::view() const {
    test::FileDialogView view;
    view.frames = frames_;
    view.folder = browser_.folder();
    view.text = browser_.text();
    view.message = browser_.message();
    for (const auto& entry : browser_.entries())
        view.entries.push_back(entry.folder ? entry.name + "/" : entry.name);
    for (const Place& place : places_) view.places.push_back({place.label, place.path});
    view.listHasKeys = listHasKeys_;
    if (thumbnail_) {
        view.thumbnailPath = thumbnail_->path;
        view.thumbnailWhy = thumbnail_->why;
        view.thumbnailWidth = thumbnail_->image.width;
        view.thumbnailHeight = thumbnail_->image.height;
    }
    view.spots = spots_;
    return view;
}

} // namespace win
