// SPDX-License-Identifier: MIT
// Which file a path names (a name that exists is taken as written, only
// otherwise do backslashes separate) and what the open accepts: regular
// files only, decided without blocking on a pipe, with a reason for each
// refusal.
#include "sys/FileSystem.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <sys/stat.h>

#include "support/ChildProcess.h"
#include "support/TempFolder.h"
#include "sys/Unicode.h"

namespace {

namespace fs = std::filesystem;

std::u16string wide(const std::string& utf8) {
    return sys::utf8ToUtf16(utf8);
}

class FileSystemTest : public ::testing::Test {
protected:
    std::string at(const std::string& relative) const {
        return (temp.path() / "").string() + relative;
    }
    std::string native(const std::string& relative) const {
        return sys::nativePath(wide(at(relative)));
    }

    TempFolder temp;
};

TEST_F(FileSystemTest, AnExistingNameIsTakenAsWrittenAndOnlyNewPartsSplitOnBackslashes) {
    fs::create_directories(temp / "q");
    TempFolder::writeBytes(temp / "q" / "r.png", "folder q, file r.png");
    TempFolder::writeBytes(temp / "q\\r.png", "one file named q\\r.png");
    EXPECT_EQ(native("q\\r.png"), at("q\\r.png"));
    fs::remove(temp / "q\\r.png");
    EXPECT_EQ(native("q\\r.png"), at("q/r.png"));

    // The dialog saves to "<image folder>\test.obj": it must land in that
    // folder even when the folder's own name holds a backslash.
    fs::create_directories(temp / "a\\b");
    EXPECT_EQ(native("a\\b\\test.obj"), at("a\\b/test.obj"));
    EXPECT_EQ(native("a\\b/sub\\test.obj"), at("a\\b/sub/test.obj"));
    fs::create_directories(temp / "dir" / "x\\y");
    EXPECT_EQ(native("dir\\x\\y\\z.txt"), at("dir/x\\y/z.txt"));
    // Nothing of it exists: every backslash separates, as ever.
    EXPECT_EQ(sys::nativePath(u"C:\\img\\test.obj"), "C:/img/test.obj");
    EXPECT_EQ(sys::nativePath(u"no\\such\\"), "no/such/");
    EXPECT_EQ(sys::nativePath(u"plain/name.png"), "plain/name.png");

    // Opening follows the same rule.
    int error = 0;
    const int descriptor = sys::openFile(wide(at("q\\r.png")), sys::OpenReadOnly, error);
    ASSERT_GE(descriptor, 0) << error;
    char bytes[32] = {};
    sys::readFile(descriptor, bytes, sizeof bytes - 1);
    sys::closeFile(descriptor);
    EXPECT_STREQ(bytes, "folder q, file r.png");
}

TEST_F(FileSystemTest, OnlyRegularFilesOpenAndEachRefusalHasItsReason) {
    ASSERT_EQ(::mkfifo(at("pipe").c_str(), 0600), 0);
    fs::create_directory(temp / "folder");
    fs::create_symlink("loop-b", temp / "loop-a");
    fs::create_symlink("loop-a", temp / "loop-b");
    TempFolder::writeBytes(temp / "file", "x");

    struct Case {
        std::string path;
        int flags;
        int error;
        std::string reason;
    };
    const std::vector<Case> cases = {
        {at("pipe"), sys::OpenReadOnly, sys::kErrorNotRegularFile, "is not a regular file"},
        {at("pipe"), sys::OpenWriteOnly, sys::kErrorNotRegularFile, "is not a regular file"},
        {at("pipe"), sys::OpenReadWrite | sys::OpenCreate | sys::OpenTruncate,
         sys::kErrorNotRegularFile, "is not a regular file"},
        {"/dev/null", sys::OpenReadOnly, sys::kErrorNotRegularFile, "is not a regular file"},
        {at("folder"), sys::OpenReadOnly, EACCES, "is a folder"},
        {at("loop-a"), sys::OpenReadOnly, ELOOP, "too many levels of symbolic links"},
        {at("missing"), sys::OpenReadOnly, ENOENT, "does not exist"},
        {at("file/below"), sys::OpenReadOnly, ENOTDIR, "a part of its path is a file"},
    };
    // In a child: an open that blocks on the pipe ends there by the alarm
    // instead of stalling the suite.
    const child::Outcome outcome = child::run(
        [&](std::string& report) {
            for (const Case& c : cases) {
                int error = 0;
                const int descriptor = sys::openFile(wide(c.path), c.flags, error);
                const std::string reason = sys::openFailureReason(wide(c.path), error);
                if (descriptor >= 0 || error != c.error ||
                    reason.find(c.reason) == std::string::npos)
                    report += c.path + ": error " + std::to_string(error) + ", " + reason + "\n";
            }
            return 0;
        },
        10);
    ASSERT_TRUE(outcome.exited) << "ended by signal " << outcome.status << " (a blocked open?)";
    EXPECT_EQ(outcome.report, "");

    // A NUL would cut the name short on its way to the OS.
    std::u16string cut = wide(at("file"));
    cut += u'\0';
    cut += u"ignored";
    int error = 0;
    EXPECT_LT(sys::openFile(cut, sys::OpenReadOnly, error), 0);
    EXPECT_EQ(error, EINVAL);
    EXPECT_NE(sys::openFailureReason(cut, error).find("NUL"), std::string::npos);
    EXPECT_FALSE(sys::fileExists(cut));
    EXPECT_EQ(sys::quotedPath(cut), "'" + at("file") + "\\x00ignored'");
}

} // namespace
