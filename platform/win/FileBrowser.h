// SPDX-License-Identifier: MIT
// What the open-file dialog knows, kept apart from how it is drawn: the
// filter list, the folder being shown, its entries, the typed name and the
// rules for accepting it. Text and paths are UTF-8 and '/'-separated; typed
// text may use '\' as well, and "~" for the home folder. No SDL or ImGui
// here, so it is tested on plain folders.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "win/WinTypes.h"

namespace win {

struct FileFilter {
    std::string description;
    std::vector<std::string> patterns; // "*.jpg", "*.*", ...
};

// A common-dialog filter list: description\0patterns\0 ... \0\0. A trailing
// description without patterns is dropped; null gives no filters.
std::vector<FileFilter> parseFilterList(const char16_t* list);

// Glob with '*' and '?', ASCII letters compared without case. "*.*" matches
// every name, also one without a dot, as the common dialog does.
bool matchesPattern(std::string_view name, std::string_view pattern);
bool matchesFilter(std::string_view name, const FileFilter& filter);

class FileBrowser {
public:
    struct Entry {
        std::string name;
        bool folder = false;
        uint64_t size = 0;    // bytes; 0 for folders
        int64_t modified = 0; // seconds since 1970, UTC
    };

    // Folders always come before files, whichever column orders them.
    enum class SortBy { Name, Size, Date };

    // `filterIndex` counts from 0; out of range means the first. `flags` are
    // the OFN_ bits that govern accept().
    FileBrowser(std::vector<FileFilter> filters, int filterIndex, DWORD flags);

    // Opens on the folder of `previousPath` with its file name preselected;
    // without one, on `initialFolder`; where the folder is missing, on the
    // working directory. Relative paths are taken from the working directory.
    void start(std::string_view previousPath, std::string_view initialFolder = {});

    const std::string& folder() const { return folder_; }
    const std::vector<Entry>& entries() const { return entries_; }
    const std::vector<FileFilter>& filters() const { return filters_; }
    int filterIndex() const { return filterIndex_; }

    // The typed name: relative to folder() or absolute.
    const std::string& text() const { return text_; }
    void setText(std::string text) { text_ = std::move(text); }

    // Why the last accept() or navigation was refused, or that the folder
    // could not be read; empty otherwise.
    const std::string& message() const { return message_; }

    void setFilter(int index);
    void sortBy(SortBy column, bool ascending);
    SortBy sortColumn() const { return sortBy_; }
    bool sortAscending() const { return ascending_; }

    // The first entry from `from` on (wrapping round) whose name starts with
    // `prefix`, ignoring ASCII case; none for an empty prefix or no match.
    std::optional<size_t> findByPrefix(std::string_view prefix, size_t from) const;

    // What "~" stands for in typed text; the user's home unless set.
    void setHome(std::string home) { home_ = std::move(home); }
    const std::string& home() const { return home_; }
    // The full path that typed text names, as accept() would read it.
    std::string resolve(std::string_view typed) const;

    // `name` is a folder of the current one (or a path relative to it, or
    // absolute). Returns false and sets message() when it is not a folder.
    bool enterFolder(std::string_view name);
    // To the parent folder; false at the root.
    bool up();
    // Puts an entry's name into the typed text, as a click in the list does.
    void select(std::string_view name);
    // Reads the current folder again.
    void refresh();

    // Acts on the typed text. A folder is entered (the result is empty); a
    // file is checked against OFN_PATHMUSTEXIST and OFN_FILEMUSTEXIST and its
    // full path returned. Something that exists but is no regular file (a
    // pipe, a device) is refused: reading it could block or never end. A
    // refusal leaves the reason in message().
    std::optional<std::string> accept();

    void setDefaultExtension(std::string extension) { defaultExtension_ = std::move(extension); }
    // The caller's path buffer in UTF-16 units, terminator included; accept()
    // refuses a file whose full path would not fit (0: no limit).
    void setPathCapacity(size_t units) { pathCapacity_ = units; }
    // Whether the last accept() refused a file because its path is too long:
    // the one refusal the dialog also shows in a box, since the file exists
    // and the user could not tell otherwise why it will not open.
    bool refusedTooLong() const { return refusedTooLong_; }

private:
    bool open(const std::string& folder);
    void sortEntries();

    std::vector<FileFilter> filters_;
    int filterIndex_ = 0;
    DWORD flags_ = 0;
    std::string defaultExtension_;
    size_t pathCapacity_ = 0;
    bool refusedTooLong_ = false;
    std::string home_;
    SortBy sortBy_ = SortBy::Name;
    bool ascending_ = true;
    std::string folder_;
    std::vector<Entry> entries_;
    std::string text_;
    std::string message_;
};

} // namespace win
