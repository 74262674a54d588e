// SPDX-License-Identifier: MIT
// The open-file dialog as drawn: a breadcrumb of the folders above, places
// and the selected image's thumbnail on the left, the folder's entries in
// sortable columns, the name field and the filter list below. Keys act as in
// a desktop file chooser once the list has them (arrows, Enter, Backspace,
// type-to-find); typed text goes to the name field until then.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "win/FileBrowser.h"
#include "win/FileDialog.h"
#include "win/Places.h"
#include "win/ThumbnailLoader.h"

namespace win {

class FileDialogPanel {
public:
    FileDialogPanel(FileBrowser& browser, std::string title, std::vector<Place> places);
    ~FileDialogPanel();
    FileDialogPanel(const FileDialogPanel&) = delete;
    FileDialogPanel& operator=(const FileDialogPanel&) = delete;

    void draw();
    bool finished() const { return finished_; }
    const std::optional<std::string>& chosen() const { return chosen_; }
    // A refusal to be shown in a message box, taken once.
    std::optional<std::string> takeNotice() { return std::exchange(notice_, std::nullopt); }
    bool hasNotice() const { return notice_.has_value(); }

    test::FileDialogView view() const;

private:
    void accept();
    void cancel() { finished_ = true; }
    void moved();
    void go(const std::string& folder);
    void select(size_t index);
    std::optional<size_t> selectedIndex() const;
    void listTakesKeys();
    void handleKeys();
    void findTyped(const std::string& typed);
    void updateThumbnail();

    void drawPathRow();
    void drawSide(float height);
    void drawThumbnail(float side);
    void drawEntries(float height);
    void drawFooter();
    void remember(const std::string& spot);

    FileBrowser& browser_;
    std::string title_;
    std::vector<Place> places_;
    ThumbnailLoader thumbnails_;
    std::optional<ThumbnailLoader::Result> thumbnail_;
    HBITMAP thumbnailBitmap_ = nullptr;
    bool opened_ = false;
    bool focusName_ = true;
    bool listHasKeys_ = false;
    bool nameActive_ = false;
    bool scrollToSelection_ = true;
    bool finished_ = false;
    bool keyTaken_ = false; // Enter or Escape already used this frame
    int frames_ = 0;
    std::string findPrefix_;
    double lastFindTime_ = -10;
    std::vector<std::pair<std::string, RECT>> spots_;
    std::optional<std::string> chosen_;
    std::optional<std::string> notice_;
};

} // namespace win
