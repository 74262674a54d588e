// SPDX-License-Identifier: MIT
#include "core/File.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/Log.h"
#include "support/TempFolder.h"
#include "sys/FileSystem.h"
#include "sys/Unicode.h"

namespace {

String engineText(const std::string& utf8) {
    std::u16string wide = sys::utf8ToUtf16(utf8);
    return String(wide.c_str());
}

std::string utf8(const String& s) {
    return sys::utf16ToUtf8({s.text(), size_t(s.length)});
}

class FileTest : public ::testing::Test {
protected:
    FileTest() : sink_([this](const String& line) { lines.push_back(utf8(line)); }) {}

    bool logged(const std::string& line) const {
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }

    TempFolder temp;
    std::vector<std::string> lines;

private:
    ScopedLogSink sink_;
};

TEST_F(FileTest, CreateEmptiesAnExistingFileAndSizeNeverShrinks) {
    auto path = temp / "data.bin";
    TempFolder::writeBytes(path, "old contents");
    File file(engineText(path.string()), 1, 1, 0);
    ASSERT_TRUE(file.isOpen);
    EXPECT_EQ(file.size(), 0);
    EXPECT_EQ(file.write("0123456789", 10), 10);
    EXPECT_EQ(file.size(), 10);
    EXPECT_EQ(file.seek(0, 0), 0);
    EXPECT_EQ(file.size(), 10);
    EXPECT_FALSE(file.eof());
    char back[10];
    EXPECT_EQ(file.read(back, 10), 10);
    EXPECT_TRUE(file.eof());
    file.close();
    EXPECT_EQ(TempFolder::readBytes(path), "0123456789");
    EXPECT_TRUE(logged("Create:   1"));
    EXPECT_TRUE(logged("Size:     0 b"));
}

TEST_F(FileTest, ExistingFileReportsItsSizeAndReadOnlyRefusesWrites) {
    auto path = temp / "in.txt";
    TempFolder::writeBytes(path, "hello");
    File file(engineText(path.string()), 0, 1, 1);
    ASSERT_TRUE(file.isOpen);
    EXPECT_EQ(file.fileSize, 5);
    EXPECT_TRUE(logged("Size:     5 b"));
    EXPECT_EQ(file.write("x", 1), 0);
    EXPECT_EQ(TempFolder::readBytes(path), "hello");
}

TEST_F(FileTest, FailedOpensLogTheirCauseAndGiveAClosedStream) {
    File missing(engineText((temp / "nope.txt").string()), 0, 1, 1);
    EXPECT_FALSE(missing.isOpen);
    EXPECT_TRUE(logged("Error in File(): File or path not found."));
    char buffer[4];
    EXPECT_EQ(missing.read(buffer, 4), 0);
    EXPECT_EQ(missing.write(buffer, 4), 0);
    EXPECT_EQ(missing.seek(2, 0), 0);
    EXPECT_EQ(missing.size(), 0);
    EXPECT_TRUE(missing.eof());
    EXPECT_EQ(missing.name.length, 8);

    File folder(engineText(temp.path().string()), 0, 1, 1);
    EXPECT_FALSE(folder.isOpen);
    EXPECT_TRUE(logged("Error in File(): Tried to open read-only file for writing, file's sharing "
                       "mode does not allow specified operations, or given path is directory."));

    File empty(String(), 0, 1, 0);
    EXPECT_FALSE(empty.isOpen);

    // Only regular files are streams; the reason stays for the caller.
    File device(engineText("/dev/null"), 0, 1, 1);
    EXPECT_FALSE(device.isOpen);
    EXPECT_EQ(device.openError, sys::kErrorNotRegularFile);
    EXPECT_TRUE(logged("Error in File(): Not a regular file (a pipe, device or socket)."));
    EXPECT_EQ(missing.openError, ENOENT);
}

TEST_F(FileTest, NamesAndFoldersFollowTheLastSeparatorRule) {
    FileInfo info;
    describePath(info, String(u"dir/sub/file.obj"));
    EXPECT_EQ(utf8(info.name), "file.obj");
    EXPECT_EQ(utf8(info.folder), "dir/sub\\");

    describePath(info, String(u"bare.obj"));
    EXPECT_EQ(utf8(info.name), "bare.obj");
    EXPECT_EQ(utf8(info.folder), "\\");

    describePath(info, String(u"C:\\img\\test.obj"));
    EXPECT_EQ(utf8(info.name), "test.obj");
    EXPECT_EQ(utf8(info.folder), "C:\\img\\");

    // With both kinds the last slash counts even when a backslash follows it.
    describePath(info, String(u"a/b\\c.obj"));
    EXPECT_EQ(utf8(info.name), "b\\c.obj");
    EXPECT_EQ(utf8(info.folder), "a\\");

    describePath(info, engineText((temp / "x" / "y.txt").string()));
    EXPECT_EQ(utf8(info.absoluteFolder), (temp / "x").string() + "\\");
}

TEST_F(FileTest, BackslashesSeparateFoldersOnDisk) {
    std::filesystem::create_directory(temp / "pics");
    std::string windowsStyle = temp.path().string() + "\\pics\\test.obj";
    {
        File file(engineText(windowsStyle), 1, 1, 0);
        ASSERT_TRUE(file.isOpen);
        file.write("v", 1);
    }
    EXPECT_EQ(TempFolder::readBytes(temp / "pics" / "test.obj"), "v");
    for (const auto& entry : std::filesystem::directory_iterator(temp.path()))
        EXPECT_EQ(entry.path().filename().string().find('\\'), std::string::npos);
}

TEST_F(FileTest, CloseDestroysOnlyObjectsMadeByOpen) {
    auto path = temp / "f.txt";
    TempFolder::writeBytes(path, "abc");
    File direct(engineText(path.string()), 0, 1, 1);
    EXPECT_EQ(direct.close(), 0);
    EXPECT_FALSE(direct.isOpen);
    EXPECT_EQ(direct.descriptor, -1);

    FileInterface* opened = FileInterface::open(engineText(path.string()), 0, 1, 1);
    ASSERT_TRUE(opened->isOpen);
    EXPECT_TRUE(opened->autoDelete);
    EXPECT_EQ(opened->close(), 0); // ASan reports a leak if this did not destroy it
    EXPECT_TRUE(logged("Filename: " + path.string()));
}

TEST_F(FileTest, AppDataFolderComesFromTheXdgDataHome) {
    const char* savedData = std::getenv("XDG_DATA_HOME");
    std::string restore = savedData ? savedData : "";
    ::setenv("XDG_DATA_HOME", "/data/home", 1);
    EXPECT_EQ(utf8(appDataFolder()), "/data/home");
    ::unsetenv("XDG_DATA_HOME");
    const char* home = std::getenv("HOME");
    if (home) {
        EXPECT_EQ(utf8(appDataFolder()), std::string(home) + "/.local/share");
    }
    if (savedData) ::setenv("XDG_DATA_HOME", restore.c_str(), 1);
}

} // namespace
