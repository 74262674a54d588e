// SPDX-License-Identifier: MIT
// Stands in for the common dialog's GetOpenFileNameW with a modal file
// browser of our own, drawn in the owner's window by the window layer.
//  [x] the filter list, its preselected entry, the path buffer in and out
//  [x] OFN_PATHMUSTEXIST and OFN_FILEMUSTEXIST refuse with a message in the dialog
//  [x] a file whose path does not fit nMaxFile is refused with a box naming it,
//      and the dialog stays open for another choice
//  [x] title, initial folder and default extension
//  [x] the owner's timers keep ticking while it is open
//  [x] columns for name, size and date, sortable; places; typed paths and "~";
//      list keys and type-to-find; a thumbnail decoded off the loop
//  [ ] multiple selection, hooks, custom templates, read-only box (the engine
//      asks for none)
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "win/WinTypes.h"

inline constexpr DWORD OFN_PATHMUSTEXIST = 0x00000800;
inline constexpr DWORD OFN_FILEMUSTEXIST = 0x00001000;

// The fields the engine sets. lStructSize must hold the size the engine
// writes for the 64-bit structure, 152; anything else is refused as the
// platform refuses a structure it does not know.
struct OPENFILENAMEW {
    DWORD lStructSize = 0;
    HWND hwndOwner = nullptr;
    const char16_t* lpstrFilter = nullptr; // description\0patterns\0 ... \0\0
    DWORD nFilterIndex = 0;                // 1-based; 0 means the first; written back
    char16_t* lpstrFile = nullptr;         // the previous path in, the chosen one out
    DWORD nMaxFile = 0;                    // capacity of lpstrFile, terminator included
    const char16_t* lpstrTitle = nullptr;  // null: "Open"
    const char16_t* lpstrInitialDir = nullptr;
    const char16_t* lpstrDefExt = nullptr; // appended when a typed name has no extension
    DWORD Flags = 0;
};

inline constexpr DWORD kOpenFileNameSize = 152;

// 1 with the chosen full path ('/'-separated) in lpstrFile; 0 on cancel or
// failure, lpstrFile untouched. A path that does not fit nMaxFile is never
// returned cut.
BOOL GetOpenFileNameW(OPENFILENAMEW* dialog);

// What the open dialog shows, for tests that drive it through the loop and
// must know when it has drawn before they type.
namespace win::test {
struct FileDialogView {
    int frames = 0; // drawn so far; 0 while no open dialog runs
    std::string folder, text, message;
    std::vector<std::string> entries;                        // in shown order, folders with a '/'
    std::vector<std::pair<std::string, std::string>> places; // label, path
    bool listHasKeys = false;
    // The thumbnail shown: the file it is of and its size, or why none is.
    std::string thumbnailPath, thumbnailWhy;
    int thumbnailWidth = 0, thumbnailHeight = 0;
    // Where things were drawn, in client pixels, by name: "header:Size",
    // "place:Home", "crumb:/tmp", "entry:a.jpg", "name".
    std::vector<std::pair<std::string, RECT>> spots;
    const RECT* spot(const std::string& name) const {
        for (const auto& [key, rect] : spots)
            if (key == name) return &rect;
        return nullptr;
    }
};
FileDialogView fileDialogView();
} // namespace win::test
