// SPDX-License-Identifier: MIT
#include "sys/AtomicFile.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/TempFolder.h"
#include "sys/Unicode.h"

namespace {

std::u16string wide(const std::filesystem::path& p) { return sys::utf8ToUtf16(p.string()); }

size_t entriesIn(const std::filesystem::path& folder) {
    size_t n = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(folder)) ++n;
    return n;
}

TEST(AtomicFile, CommitReplacesTheTargetAndKeepsItsPermissions) {
    TempFolder temp;
    auto target = temp / "out.obj";
    TempFolder::writeBytes(target, "old");
    ::chmod(target.c_str(), 0640);
    sys::AtomicFile file(wide(target));
    ASSERT_TRUE(file.open()) << file.error();
    ASSERT_TRUE(file.write("new contents", 12));
    EXPECT_EQ(TempFolder::readBytes(target), "old"); // nothing visible before commit
    ASSERT_TRUE(file.commit()) << file.error();
    EXPECT_EQ(TempFolder::readBytes(target), "new contents");
    struct stat info {};
    ::stat(target.c_str(), &info);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
    EXPECT_EQ(entriesIn(temp.path()), 1u);
}

TEST(AtomicFile, AbandonedOrFailedSavesLeaveTheOldFileAndNoTemporary) {
    TempFolder temp;
    auto target = temp / "keep.obj";
    TempFolder::writeBytes(target, "precious");
    {
        sys::AtomicFile file(wide(target));
        ASSERT_TRUE(file.open());
        file.write("partial", 7);
    }
    EXPECT_EQ(TempFolder::readBytes(target), "precious");
    EXPECT_EQ(entriesIn(temp.path()), 1u);

    sys::AtomicFile nowhere(wide(temp / "missing-folder" / "x.obj"));
    EXPECT_FALSE(nowhere.open());
    EXPECT_FALSE(nowhere.write("x", 1));
    EXPECT_FALSE(nowhere.commit());
    EXPECT_NE(nowhere.error().find("missing-folder"), std::string::npos);
}

// A file-size limit stands in for a full disk: the write fails part way and
// the old file must survive. Run in a child so the limit stays there.
TEST(AtomicFile, SizeLimitMidWriteLeavesTheOldFile) {
    TempFolder temp;
    auto target = temp / "big.obj";
    TempFolder::writeBytes(target, "old");
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit {100, 100};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        bool ok;
        {
            sys::AtomicFile file(wide(target));
            std::string payload(1000, 'x');
            ok = file.open() && file.write(payload.data(), payload.size()) && file.commit();
        }
        ::_exit(ok ? 1 : 0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the save claimed success past the size limit";
    EXPECT_EQ(TempFolder::readBytes(target), "old");
    EXPECT_EQ(entriesIn(temp.path()), 1u);
}

} // namespace
