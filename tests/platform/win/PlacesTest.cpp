// SPDX-License-Identifier: MIT
// The dialog's places: user-dirs.dirs read as the hostile file it may be,
// which folders are offered and in what order, and the breadcrumb chain.
#include "win/Places.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/TempFolder.h"

namespace {

namespace fs = std::filesystem;

std::vector<std::string> keysAndPaths(const std::vector<win::UserDir>& dirs) {
    std::vector<std::string> out;
    for (const auto& dir : dirs) out.push_back(dir.key + "=" + dir.path);
    return out;
}

TEST(UserDirsFile, ReadsQuotedHomeAndAbsoluteValuesOnly) {
    const std::string text = "# written by a tool\n"
                             "XDG_DESKTOP_DIR=\"$HOME/Desktop\"\n"
                             "  XDG_PICTURES_DIR=\"$HOME/My \\\"Pics\\\"/\"\n"
                             "XDG_MUSIC_DIR=\"/srv/music\"\n"
                             "XDG_DOWNLOAD_DIR=\"$HOME/a/../Downloads\"  \n"
                             "XDG_VIDEOS_DIR=$HOME/Videos\n"         // not quoted
                             "XDG_TEMPLATES_DIR=\"$HOMEX/t\"\n"      // another variable
                             "XDG_PUBLICSHARE_DIR=\"$HOME/$USER\"\n" // not expanded: dropped
                             "XDG_DOCUMENTS_DIR=\"Documents\"\n"     // relative
                             "XDG_X_DIR=\"$HOME/\"\n"                // switched off
                             "XDG_BAD_DIR=\"/tmp/a\x01b\"\n"         // control character
                             "XDG_OPEN_DIR=\"/tmp/unterminated\n"
                             "XDG_TRAIL_DIR=\"/tmp/x\" junk\n"
                             "xdg_lower_dir=\"/tmp/l\"\n"
                             "XDG__DIR=\"/tmp/empty-key\"\n"
                             "XDG_MUSIC_DIR=\"/srv/music2\"\n"; // the later line wins
    EXPECT_EQ(keysAndPaths(win::parseUserDirs(text, "/home/u")),
              (std::vector<std::string>{"DESKTOP=/home/u/Desktop", "PICTURES=/home/u/My \"Pics\"",
                                        "MUSIC=/srv/music2", "DOWNLOAD=/home/u/Downloads"}));
    // Without a home, $HOME means nothing.
    EXPECT_EQ(keysAndPaths(win::parseUserDirs(text, "")),
              (std::vector<std::string>{"MUSIC=/srv/music2"}));
}

TEST(UserDirsFile, OversizedOrEndlessInputIsBounded) {
    std::string big(win::kMaxUserDirsBytes + 1, '#');
    big.replace(0, 29, "XDG_DESKTOP_DIR=\"/tmp/desk\"\n#");
    EXPECT_TRUE(win::parseUserDirs(big, "/h").empty());
    // Thousands of valid lines still give a handful of places.
    std::string many;
    for (int i = 0; i < 2000; ++i) many += "XDG_K" + std::to_string(i) + "_DIR=\"/x\"\n";
    EXPECT_EQ(win::parseUserDirs(many, "/h").size(), 32u);
    // No newline at the end, a lone quote, a NUL inside.
    EXPECT_EQ(win::parseUserDirs("XDG_A_DIR=\"/a\"", "/h").size(), 1u);
    EXPECT_TRUE(win::parseUserDirs("XDG_A_DIR=\"", "/h").empty());
    EXPECT_TRUE(win::parseUserDirs(std::string("XDG_A_DIR=\"/a\0b\"", 16), "/h").empty());
    EXPECT_TRUE(win::parseUserDirs("XDG_A_DIR=\"/a\\", "/h").empty());
}

TEST(Places, OffersExistingFoldersHomeFirstThenDesktopAndPictures) {
    TempFolder home;
    const std::string h = home.path().generic_string();
    for (const char* name : {"Desktop", "Bilder", "Music", "Pictures"})
        fs::create_directory(home / name);
    TempFolder::writeBytes(home / "Videos", "a file, not a folder");
    const std::string text = "XDG_MUSIC_DIR=\"$HOME/Music\"\n"
                             "XDG_VIDEOS_DIR=\"$HOME/Videos\"\n"
                             "XDG_DOWNLOAD_DIR=\"$HOME/Gone\"\n"
                             "XDG_PICTURES_DIR=\"$HOME/Bilder\"\n"
                             "XDG_DESKTOP_DIR=\"$HOME/Desktop\"\n";
    std::vector<std::string> shown;
    for (const auto& place : win::standardPlaces(h, text))
        shown.push_back(place.label + "=" + place.path);
    EXPECT_EQ(shown,
              (std::vector<std::string>{"Home=" + h, "Desktop=" + h + "/Desktop",
                                        "Bilder=" + h + "/Bilder", "Music=" + h + "/Music"}));
    // Without the file, the usual names where they exist.
    shown.clear();
    for (const auto& place : win::standardPlaces(h, "")) shown.push_back(place.label);
    EXPECT_EQ(shown, (std::vector<std::string>{"Home", "Desktop", "Pictures"}));
    EXPECT_TRUE(win::standardPlaces("", text).empty());
}

TEST(Places, FoldersAboveRunFromTheRootDown) {
    std::vector<std::string> chain;
    for (const auto& place : win::foldersAbove("/home/u/pics"))
        chain.push_back(place.label + "=" + place.path);
    EXPECT_EQ(chain,
              (std::vector<std::string>{"/=/", "home=/home", "u=/home/u", "pics=/home/u/pics"}));
    EXPECT_EQ(win::foldersAbove("/").size(), 1u);
}

} // namespace
