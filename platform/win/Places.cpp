// SPDX-License-Identifier: MIT
// The dialog's places. user-dirs.dirs is written by other programs and may
// be anything: it is read bounded, line by line, and only its one quoted
// form with $HOME is understood, never run through a shell.
#include "win/Places.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

#include <pwd.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace win {
namespace {

constexpr size_t kMaxUserDirs = 32; // a real file has eight

bool isFolder(const std::string& path) {
    std::error_code error;
    return fs::is_directory(path, error);
}

std::string withoutTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

std::string lastName(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The value between double quotes starting at `text`, with '\' escapes
// taken; false when the quotes do not close or a control character appears.
bool readQuoted(std::string_view text, std::string& out) {
    if (text.empty() || text.front() != '"') return false;
    out.clear();
    for (size_t i = 1; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\\') {
            if (++i == text.size()) return false;
            c = text[i];
        } else if (c == '"') {
            return text.find_first_not_of(" \t", i + 1) == std::string_view::npos;
        }
        if ((unsigned char)c < 0x20 || c == 0x7F) return false;
        out += c;
    }
    return false;
}

// One line `XDG_KEY_DIR="value"`; false for anything else.
bool parseLine(std::string_view line, const std::string& home, UserDir& out) {
    const size_t start = line.find_first_not_of(" \t");
    if (start == std::string_view::npos || line[start] == '#') return false;
    line.remove_prefix(start);
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos) return false;
    std::string_view key = line.substr(0, equals);
    if (!key.starts_with("XDG_") || !key.ends_with("_DIR") || key.size() <= 8) return false;
    key = key.substr(4, key.size() - 8);
    if (!std::all_of(key.begin(), key.end(), [](char c) {
            return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
        }))
        return false;
    std::string value;
    if (!readQuoted(line.substr(equals + 1), value)) return false;
    if (value == "$HOME" || value.starts_with("$HOME/")) {
        if (home.empty()) return false;
        value = home + value.substr(5);
    } else if (value.empty() || value.front() != '/') {
        return false;
    }
    // Any '$' left is a variable we do not expand; taking it literally
    // would name a folder the user never meant.
    if (value.find('$') != std::string::npos) return false;
    value = withoutTrailingSlashes(fs::path(value).lexically_normal().generic_string());
    if (value == home) return false; // how the file says a folder is switched off
    out = UserDir{std::string(key), std::move(value)};
    return true;
}

} // namespace

std::vector<UserDir> parseUserDirs(std::string_view text, const std::string& home) {
    std::vector<UserDir> dirs;
    if (text.size() > kMaxUserDirsBytes) return dirs;
    while (!text.empty() && dirs.size() < kMaxUserDirs) {
        const size_t end = std::min(text.find('\n'), text.size());
        UserDir dir;
        if (parseLine(text.substr(0, end), home, dir)) {
            // A later line for the same key wins, as a shell would have it.
            auto same = std::find_if(dirs.begin(), dirs.end(),
                                     [&](const UserDir& d) { return d.key == dir.key; });
            if (same != dirs.end())
                *same = std::move(dir);
            else
                dirs.push_back(std::move(dir));
        }
        text.remove_prefix(std::min(end + 1, text.size()));
    }
    return dirs;
}

std::string homeFolder() {
    if (const char* home = std::getenv("HOME"); home && home[0] == '/')
        return withoutTrailingSlashes(home);
    struct passwd entry {};
    struct passwd* found = nullptr;
    std::vector<char> buffer(16384);
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
        found->pw_dir && found->pw_dir[0] == '/')
        return withoutTrailingSlashes(found->pw_dir);
    return {};
}

std::vector<Place> standardPlaces(const std::string& home, std::string_view userDirsText) {
    std::vector<Place> places;
    auto add = [&places](std::string label, const std::string& path) {
        if (path.empty() || !isFolder(path)) return;
        if (std::any_of(places.begin(), places.end(),
                        [&](const Place& p) { return p.path == path; }))
            return;
        places.push_back({std::move(label), path});
    };
    if (home.empty()) return places;
    add("Home", home);
    std::vector<UserDir> dirs = parseUserDirs(userDirsText, home);
    auto pathOf = [&dirs](std::string_view key, std::string fallback) {
        auto it = std::find_if(dirs.begin(), dirs.end(),
                               [key](const UserDir& d) { return d.key == key; });
        return it != dirs.end() ? it->path : fallback;
    };
    // The folders keep the names the user gave them (a translated
    // "Bilder" stays "Bilder").
    for (const char* key : {"DESKTOP", "PICTURES"}) {
        std::string fallback =
            home + (std::string_view(key) == "DESKTOP" ? "/Desktop" : "/Pictures");
        std::string path = pathOf(key, fallback);
        add(lastName(path), path);
    }
    for (const UserDir& dir : dirs) add(lastName(dir.path), dir.path);
    return places;
}

std::vector<Place> userPlaces(const std::string& home) {
    std::string config;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && xdg[0] == '/')
        config = xdg;
    else if (!home.empty())
        config = home + "/.config";
    std::string text;
    std::error_code error;
    const std::string file = config + "/user-dirs.dirs";
    if (!config.empty() && fs::is_regular_file(file, error) &&
        fs::file_size(file, error) <= kMaxUserDirsBytes && !error) {
        std::ifstream in(file, std::ios::binary);
        text.resize(kMaxUserDirsBytes + 1);
        in.read(text.data(), std::streamsize(text.size()));
        text.resize(size_t(in.gcount()));
    }
    return standardPlaces(home, text);
}

std::vector<Place> foldersAbove(const std::string& folder) {
    std::vector<Place> chain{{"/", "/"}};
    size_t at = 1;
    while (at < folder.size()) {
        size_t slash = std::min(folder.find('/', at), folder.size());
        if (slash > at) chain.push_back({folder.substr(at, slash - at), folder.substr(0, slash)});
        at = slash + 1;
    }
    return chain;
}

} // namespace win
