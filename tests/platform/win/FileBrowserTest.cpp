// SPDX-License-Identifier: MIT
// The open-file dialog's model on a real temporary folder: what each filter
// lists, how typed text is resolved, and what accept() refuses.
#include "win/FileBrowser.h"

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "support/TempFolder.h"
#include "sys/Unicode.h"
#include "win/FileDialog.h"

namespace {

namespace fs = std::filesystem;

// The tool's image filter list, in the form the common dialog receives it.
const char16_t kImageFilters[] =
    u"Image files (*.jpg;*.bmp;*.pcx;*.tga;*.dds)\0*.jpg;*.jpeg;*.bmp;*.pcx;*.tga;*.dds\0"
    u"JPEG (*.jpg)\0*.jpg;*.jpeg\0"
    u"Windows or OS/2 Bitmap (*.bmp)\0*.bmp\0"
    u"Zsoft Paintbrush (*.pcx)\0*.pcx\0"
    u"Truevision Targa(*.tga)\0*.tga\0"
    u"DirectDraw surface(*.dds)\0*.dds\0"
    u"All files (*.*)\0*.*\0";

constexpr DWORD kMustExist = OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;

std::vector<std::string> names(const win::FileBrowser& browser) {
    std::vector<std::string> out;
    for (const auto& entry : browser.entries())
        out.push_back(entry.folder ? entry.name + "/" : entry.name);
    return out;
}

// Restores the working directory, which some cases move to test relative paths.
class WorkingDirectory {
public:
    explicit WorkingDirectory(const fs::path& to) : saved_(fs::current_path()) {
        fs::current_path(to);
    }
    ~WorkingDirectory() { fs::current_path(saved_); }

private:
    fs::path saved_;
};

TEST(FileFilterList, ParsesTheToolsImageFiltersAndKeepsOnlyCompletePairs) {
    auto filters = win::parseFilterList(kImageFilters);
    ASSERT_EQ(filters.size(), 7u);
    EXPECT_EQ(filters[0].description, "Image files (*.jpg;*.bmp;*.pcx;*.tga;*.dds)");
    EXPECT_EQ(filters[0].patterns,
              (std::vector<std::string>{"*.jpg", "*.jpeg", "*.bmp", "*.pcx", "*.tga", "*.dds"}));
    EXPECT_EQ(filters[1].patterns, (std::vector<std::string>{"*.jpg", "*.jpeg"}));
    EXPECT_EQ(filters[6].patterns, (std::vector<std::string>{"*.*"}));

    EXPECT_TRUE(win::parseFilterList(nullptr).empty());
    // A description whose patterns are missing ends the list; spaces and
    // empty items between ';' are dropped.
    filters = win::parseFilterList(u"Mixed\0 *.a ;;*.b\0Orphan\0\0");
    ASSERT_EQ(filters.size(), 1u);
    EXPECT_EQ(filters[0].patterns, (std::vector<std::string>{"*.a", "*.b"}));
}

TEST(FilePattern, GlobIgnoresAsciiCaseAndBacktracks) {
    EXPECT_TRUE(win::matchesPattern("b.JPEG", "*.jpeg"));
    EXPECT_TRUE(win::matchesPattern("A.JpG", "*.jpg"));
    EXPECT_FALSE(win::matchesPattern("a.jpg.txt", "*.jpg"));
    EXPECT_FALSE(win::matchesPattern("ajpg", "*.jpg"));
    EXPECT_TRUE(win::matchesPattern("README", "*.*")); // no dot, still "all files"
    EXPECT_TRUE(win::matchesPattern("img1.png", "img?.png"));
    EXPECT_FALSE(win::matchesPattern("img12.png", "img?.png"));
    EXPECT_TRUE(win::matchesPattern("abcabcab.x", "*abc*ab.x"));
    EXPECT_FALSE(win::matchesPattern("", "?"));
    // Bytes of UTF-8 names are compared as they are, not case-folded.
    EXPECT_FALSE(win::matchesPattern("\xC3\xA9.jpg", "\xC3\x89.jpg"));
}

class FileBrowserTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name :
             {"a.jpg", "b.JPEG", "c.png", "d.txt", ".x", "sub/inner.jpg", "Zed/z.bmp"}) {
            fs::create_directories((folder / name).parent_path());
            TempFolder::writeBytes(folder / name, "x");
        }
        fs::create_directory(folder / ".hidden");
        root = folder.path().generic_string();
    }

    win::FileBrowser browser(DWORD flags = kMustExist, int filterIndex = 0) {
        win::FileBrowser b(win::parseFilterList(kImageFilters), filterIndex, flags);
        b.start(root + "/");
        return b;
    }

    TempFolder folder;
    std::string root;
};

TEST_F(FileBrowserTest, FiltersListFoldersFirstThenMatchingFiles) {
    auto b = browser();
    EXPECT_EQ(b.folder(), root);
    EXPECT_EQ(names(b), (std::vector<std::string>{"sub/", "Zed/", "a.jpg", "b.JPEG"}));
    b.setFilter(1); // JPEG
    EXPECT_EQ(names(b), (std::vector<std::string>{"sub/", "Zed/", "a.jpg", "b.JPEG"}));
    b.setFilter(2); // bitmaps: folders stay so that one can still navigate
    EXPECT_EQ(names(b), (std::vector<std::string>{"sub/", "Zed/"}));
    b.setFilter(6); // all files, the hidden ones still left out
    EXPECT_EQ(names(b),
              (std::vector<std::string>{"sub/", "Zed/", "a.jpg", "b.JPEG", "c.png", "d.txt"}));
    b.setFilter(7);
    b.setFilter(-1);
    EXPECT_EQ(b.filterIndex(), 6);
    EXPECT_EQ(browser(kMustExist, 42).filterIndex(), 0); // past the list: the first
}

TEST_F(FileBrowserTest, NavigatesFoldersByNameTypedPathAndUp) {
    auto b = browser();
    ASSERT_TRUE(b.enterFolder("sub"));
    EXPECT_EQ(b.folder(), root + "/sub");
    EXPECT_EQ(names(b), (std::vector<std::string>{"inner.jpg"}));
    ASSERT_TRUE(b.up());
    EXPECT_EQ(b.folder(), root);

    EXPECT_FALSE(b.enterFolder("missing"));
    EXPECT_NE(b.message().find("path does not exist"), std::string::npos);
    EXPECT_EQ(b.folder(), root);
    EXPECT_FALSE(b.enterFolder("a.jpg"));

    // Typing a folder and accepting enters it and clears the text; so do
    // backslashes and "..".
    b.setText("Zed\\");
    EXPECT_FALSE(b.accept());
    EXPECT_EQ(b.folder(), root + "/Zed");
    EXPECT_EQ(b.text(), "");
    b.setText("..\\sub");
    EXPECT_FALSE(b.accept());
    EXPECT_EQ(b.folder(), root + "/sub");
    b.select("..");
    EXPECT_FALSE(b.accept());
    EXPECT_EQ(b.folder(), root);

    b.start("/");
    EXPECT_FALSE(b.up());
    EXPECT_EQ(b.folder(), "/");
}

TEST_F(FileBrowserTest, AcceptTakesExistingFilesAndRefusesMissingOnesByFlags) {
    auto b = browser();
    b.select("a.jpg");
    EXPECT_EQ(b.accept(), root + "/a.jpg");
    b.setText("sub\\inner.jpg");
    EXPECT_EQ(b.accept(), root + "/sub/inner.jpg");
    b.setText(root + "/Zed/./z.bmp");
    EXPECT_EQ(b.accept(), root + "/Zed/z.bmp");
    b.setText("d.txt"); // hidden by the filter, but typed
    EXPECT_EQ(b.accept(), root + "/d.txt");

    b.setText("missing.jpg");
    EXPECT_FALSE(b.accept());
    EXPECT_NE(b.message().find("missing.jpg\nFile not found."), std::string::npos) << b.message();
    EXPECT_EQ(b.folder(), root);
    b.setText("nowhere\\x.jpg");
    EXPECT_FALSE(b.accept());
    EXPECT_NE(b.message().find("The path does not exist."), std::string::npos) << b.message();
    // A name ending in a separator asks for a folder, even if a file has it.
    b.setText("a.jpg/");
    EXPECT_FALSE(b.accept());
    b.setText("a.jpg");
    EXPECT_TRUE(b.accept());
    EXPECT_TRUE(b.message().empty());

    // The default extension goes only onto names that have none and do not exist.
    b.setDefaultExtension("jpg");
    b.setText("a");
    EXPECT_EQ(b.accept(), root + "/a.jpg");
    b.setText("c.png");
    EXPECT_EQ(b.accept(), root + "/c.png");

    auto pathOnly = browser(OFN_PATHMUSTEXIST);
    pathOnly.setText("new.jpg");
    EXPECT_EQ(pathOnly.accept(), root + "/new.jpg");
    pathOnly.setText("nowhere/new.jpg");
    EXPECT_FALSE(pathOnly.accept());
    auto free = browser(0);
    free.setText("nowhere/new.jpg");
    EXPECT_EQ(free.accept(), root + "/nowhere/new.jpg");
}

// The capacity counts UTF-16 units with the terminator, as the caller's
// buffer does: a path of capacity - 1 units fits, one more does not.
TEST_F(FileBrowserTest, APathThatWouldNotFitTheCallersBufferIsRefusedAndSaysSo) {
    const std::string name = "\xC3\xA9.jpg"; // 2 UTF-8 bytes, 1 unit
    TempFolder::writeBytes(folder / name, "x");
    const size_t units = sys::utf8ToUtf16(root + "/" + name).size();
    auto b = browser();
    b.setPathCapacity(units + 1);
    b.setText(name);
    EXPECT_EQ(b.accept(), root + "/" + name);
    EXPECT_FALSE(b.refusedTooLong());

    b.setPathCapacity(units);
    b.setText(name);
    EXPECT_FALSE(b.accept());
    EXPECT_TRUE(b.refusedTooLong());
    EXPECT_TRUE(b.message().starts_with(root + "/" + name + "\nThe path is " +
                                        std::to_string(units) + " characters long; at most " +
                                        std::to_string(units - 1) + " fit."))
        << b.message();
    b.setText("missing.jpg"); // other refusals are no box's business
    EXPECT_FALSE(b.accept());
    EXPECT_FALSE(b.refusedTooLong());
}

TEST_F(FileBrowserTest, StartsOnThePreviousPathElseTheInitialElseTheWorkingFolder) {
    WorkingDirectory cwd(folder.path() / "sub");
    const std::string here = fs::current_path().generic_string();
    win::FileBrowser b(win::parseFilterList(kImageFilters), 0, kMustExist);
    b.start(root + "\\Zed\\z.bmp");
    EXPECT_EQ(b.folder(), root + "/Zed");
    EXPECT_EQ(b.text(), "z.bmp");
    EXPECT_EQ(b.accept(), root + "/Zed/z.bmp");
    b.start("../Zed/z.bmp", root); // relative to the working folder
    EXPECT_EQ(b.folder(), root + "/Zed");
    b.start(root + "/Zed"); // a folder: opened, nothing typed
    EXPECT_EQ(b.text(), "");

    b.start("", root + "/Zed");
    EXPECT_EQ(b.folder(), root + "/Zed");
    b.start("", root + "/gone");
    EXPECT_EQ(b.folder(), here);
    EXPECT_EQ(names(b), (std::vector<std::string>{"inner.jpg"}));
    // A vanished folder still shows the name chosen last; accept says why not.
    b.start(root + "/gone/old.jpg");
    EXPECT_EQ(b.folder(), here);
    EXPECT_EQ(b.text(), "old.jpg");
    EXPECT_FALSE(b.accept());
}

TEST_F(FileBrowserTest, SortsBySizeOrDateEitherWayWithFoldersAlwaysFirst) {
    // a.jpg 1 byte; b.JPEG as long as e.jpg, so the name breaks the tie.
    TempFolder::writeBytes(folder / "b.JPEG", "xxxx");
    TempFolder::writeBytes(folder / "e.jpg", "yyyy");
    TempFolder::writeBytes(folder / "f.jpg", std::string(3000, 'z'));
    const auto now = fs::file_time_type::clock::now();
    const std::pair<const char*, int> ages[] = {
        {"a.jpg", 30}, {"b.JPEG", 10}, {"e.jpg", 20}, {"f.jpg", 40}};
    for (const auto& [name, hours] : ages)
        fs::last_write_time(folder / name, now - std::chrono::hours(hours));
    auto b = browser();
    using By = win::FileBrowser::SortBy;
    const std::vector<std::string> folders{"sub/", "Zed/"};
    auto with = [&](std::vector<std::string> files) {
        files.insert(files.begin(), folders.begin(), folders.end());
        return files;
    };
    b.sortBy(By::Size, true);
    EXPECT_EQ(names(b), with({"a.jpg", "b.JPEG", "e.jpg", "f.jpg"}));
    b.sortBy(By::Size, false);
    EXPECT_EQ(names(b),
              (std::vector<std::string>{"Zed/", "sub/", "f.jpg", "e.jpg", "b.JPEG", "a.jpg"}));
    b.sortBy(By::Date, false); // newest first
    EXPECT_EQ(names(b)[2], "b.JPEG");
    EXPECT_EQ(names(b).back(), "f.jpg");
    // The order holds across a refresh and a change of filter.
    b.setFilter(1);
    const std::vector<std::string> shown = names(b);
    EXPECT_EQ(std::vector<std::string>(shown.begin() + 2, shown.end()),
              (std::vector<std::string>{"b.JPEG", "e.jpg", "a.jpg", "f.jpg"}));
    EXPECT_EQ(b.entries()[5].size, 3000u);
    EXPECT_EQ(b.entries()[0].size, 0u);
    const int64_t expected =
        std::chrono::duration_cast<std::chrono::seconds>(
            std::chrono::system_clock::now().time_since_epoch() - std::chrono::hours(40))
            .count();
    EXPECT_NEAR(double(b.entries()[5].modified), double(expected), 5);
}

TEST_F(FileBrowserTest, FindsTheNextEntryByPrefixWrappingRound) {
    auto b = browser(kMustExist, 6); // sub/ Zed/ a.jpg b.JPEG c.png d.txt
    EXPECT_EQ(b.findByPrefix("B", 0), 3u);
    EXPECT_EQ(b.findByPrefix("z", 2), 1u); // past the end, round to the start
    EXPECT_EQ(b.findByPrefix("su", 0), 0u);
    EXPECT_EQ(b.findByPrefix("c.P", 0), 4u);
    EXPECT_FALSE(b.findByPrefix("q", 0));
    EXPECT_FALSE(b.findByPrefix("", 0));
    EXPECT_FALSE(b.findByPrefix("a.jpgx", 0));
}

TEST_F(FileBrowserTest, TildeNamesHomeAndOtherFileKindsAreRefused) {
    auto b = browser();
    b.setHome(root + "/Zed");
    b.setText("~");
    EXPECT_FALSE(b.accept());
    EXPECT_EQ(b.folder(), root + "/Zed");
    b.setText("~/z.bmp");
    EXPECT_EQ(b.accept(), root + "/Zed/z.bmp");
    b.setText("~\\..\\a.jpg");
    EXPECT_EQ(b.accept(), root + "/a.jpg");
    // "~name" is somebody else's home on a shell; here it is a plain name.
    TempFolder::writeBytes(folder / "Zed" / "~x.bmp", "x");
    b.setText("~x.bmp");
    EXPECT_EQ(b.accept(), root + "/Zed/~x.bmp");

    // A pipe has a name and exists, but reading it may never end.
    b.enterFolder(root);
    ASSERT_EQ(::mkfifo((folder / "pipe.jpg").c_str(), 0600), 0);
    b.setText("pipe.jpg");
    EXPECT_FALSE(b.accept());
    EXPECT_NE(b.message().find("not a regular file"), std::string::npos) << b.message();
    auto free = browser(0);
    free.setText("pipe.jpg");
    EXPECT_FALSE(free.accept());
}

TEST_F(FileBrowserTest, UnreadableFolderGivesAnEmptyListAndAMessage) {
    if (::geteuid() == 0) GTEST_SKIP() << "root reads every folder";
    fs::create_directory(folder / "locked");
    TempFolder::writeBytes(folder / "locked" / "in.jpg", "x");
    fs::permissions(folder / "locked", fs::perms::none);

    auto b = browser();
    EXPECT_TRUE(b.enterFolder("locked"));
    EXPECT_EQ(b.folder(), root + "/locked");
    EXPECT_TRUE(b.entries().empty());
    EXPECT_NE(b.message().find("Cannot read"), std::string::npos);
    EXPECT_TRUE(b.up());
    EXPECT_TRUE(b.message().empty());
    EXPECT_FALSE(b.entries().empty());

    fs::permissions(folder / "locked", fs::perms::owner_all);
}

} // namespace
