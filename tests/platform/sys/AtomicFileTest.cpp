// SPDX-License-Identifier: MIT
#include "sys/AtomicFile.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/ChildProcess.h"
#include "support/TempFolder.h"
#include "sys/Unicode.h"

namespace {

std::u16string wide(const std::filesystem::path& p) {
    return sys::utf8ToUtf16(p.string());
}

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
        struct rlimit limit {
            100, 100
        };
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

TEST(AtomicFile, OnlyRegularFilesAreReplacedAndFailLeavesAnExistingTargetAlone) {
    TempFolder temp;
    ASSERT_EQ(::mkfifo((temp / "pipe.obj").c_str(), 0600), 0);
    std::filesystem::create_directory(temp / "folder.obj");
    for (const char* name : {"pipe.obj", "folder.obj"}) {
        SCOPED_TRACE(name);
        sys::AtomicFile file(wide(temp / name));
        EXPECT_FALSE(file.open());
        EXPECT_NE(file.error().find(name), std::string::npos) << file.error();
    }
    EXPECT_EQ(entriesIn(temp.path()), 2u) << "no temporary is made for a refused target";

    // Without replacing, a file that is there by the commit stays as it was.
    auto target = temp / "taken.txt";
    sys::AtomicFile late(wide(target));
    ASSERT_TRUE(late.open());
    ASSERT_TRUE(late.write("new", 3));
    ASSERT_TRUE(late.seal());
    EXPECT_EQ(late.descriptor(), -1) << "a sealed file holds no descriptor";
    TempFolder::writeBytes(target, "appeared meanwhile");
    EXPECT_FALSE(late.commit(sys::AtomicFile::IfTargetExists::Fail));
    EXPECT_EQ(late.errorNumber(), EEXIST);
    EXPECT_EQ(TempFolder::readBytes(target), "appeared meanwhile");

    sys::AtomicFile fresh(wide(temp / "fresh.txt"));
    ASSERT_TRUE(fresh.open() && fresh.write("new", 3));
    ASSERT_TRUE(fresh.commit(sys::AtomicFile::IfTargetExists::Fail)) << fresh.error();
    EXPECT_EQ(TempFolder::readBytes(temp / "fresh.txt"), "new");
}

// The fallback for folders that refuse new files writes over the file
// itself, so it must find a size limit (or a full disk) before it changes a
// byte, and say what became of the file either way.
TEST(AtomicFile, RewriteInPlaceReservesItsSpaceFirst) {
    TempFolder temp;
    auto target = temp / "kept.obj";
    TempFolder::writeBytes(target, "a much longer old text than the new one");
    std::string why;
    ASSERT_TRUE(sys::rewriteInPlace(wide(target), "short", 5, why)) << why;
    EXPECT_EQ(TempFolder::readBytes(target), "short");
    EXPECT_EQ(entriesIn(temp.path()), 1u);

    TempFolder::writeBytes(target, "old");
    const child::Outcome outcome = child::run([&](std::string& report) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{100, 100};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        const std::string payload(1000, 'x');
        const bool done = sys::rewriteInPlace(wide(target), payload.data(), payload.size(), report);
        return done ? 1 : 0;
    });
    ASSERT_TRUE(outcome.exited);
    EXPECT_EQ(outcome.status, 0) << "the rewrite claimed success past the size limit";
    EXPECT_NE(outcome.report.find("File too large"), std::string::npos) << outcome.report;
    EXPECT_NE(outcome.report.find("in place; it is as it was"), std::string::npos)
        << outcome.report;
    EXPECT_EQ(TempFolder::readBytes(target), "old");

    ASSERT_EQ(::mkfifo((temp / "pipe.obj").c_str(), 0600), 0);
    EXPECT_FALSE(sys::rewriteInPlace(wide(temp / "pipe.obj"), "x", 1, why));
    EXPECT_NE(why.find("not a regular file"), std::string::npos) << why;
}

} // namespace
