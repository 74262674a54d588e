// SPDX-License-Identifier: MIT
// The places the open-file dialog offers beside its list: the home folder,
// the user's named folders (Desktop, Pictures, the rest of the XDG user
// folders) and the chain of parents of the folder being shown.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace win {

struct Place {
    std::string label;
    std::string path; // absolute, '/'-separated, no trailing '/'
};

// user-dirs.dirs is read only up to this size; a longer file is ignored
// whole rather than half-read.
inline constexpr size_t kMaxUserDirsBytes = 64 * 1024;

// Reads the text of a user-dirs.dirs file: lines `XDG_NAME_DIR="value"`
// where the value is "$HOME/..." or an absolute path in double quotes, with
// '\' escaping the next character. Nothing else is expanded; lines that do
// not follow the form, values with control characters and values that name
// the home folder itself (a disabled folder) are skipped. The key is kept
// without its XDG_ and _DIR ("PICTURES").
struct UserDir {
    std::string key;
    std::string path;
};
std::vector<UserDir> parseUserDirs(std::string_view text, const std::string& home);

// $HOME when it is absolute, else the password database's; empty when
// neither knows.
std::string homeFolder();

// Home, Desktop, Pictures, then the other user folders in the order the
// file lists them; only folders that exist, each once. `userDirsText` is
// the content of user-dirs.dirs (empty when there is none): without it,
// home/Desktop and home/Pictures are offered when they exist.
std::vector<Place> standardPlaces(const std::string& home, std::string_view userDirsText);
// The same, reading the user's own user-dirs.dirs under $XDG_CONFIG_HOME or
// home/.config.
std::vector<Place> userPlaces(const std::string& home);

// "/", then each folder down to `folder` itself, labelled by its own name.
std::vector<Place> foldersAbove(const std::string& folder);

} // namespace win
