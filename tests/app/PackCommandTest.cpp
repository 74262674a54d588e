// SPDX-License-Identifier: MIT
#include "app/PackCommand.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "CommandRun.h"
#include "core/Coding.h"
#include "core/FileArray.h"
#include "core/FileInterface.h"
#include "core/PackWriter.h"
#include "support/ChildProcess.h"
#include "support/TempFolder.h"

namespace {

namespace fs = std::filesystem;

using commandrun::expectOneErrorLine;
using commandrun::Result;

// Runs in a fresh folder: entry names are the paths as given, so the
// commands are run as a user would, from the folder that holds the files.
class PackCommandTest : public ::testing::Test {
protected:
    PackCommandTest() : previous_(fs::current_path()) { fs::current_path(temp.path()); }
    ~PackCommandTest() override { fs::current_path(previous_); }

    static Result run(std::vector<std::string> args) {
        return commandrun::run("pack", std::move(args));
    }

    // An archive with the given names, in the layout the engine reads but
    // without the writer's refusals, as a hostile tool might make it.
    static void writeArchive(const std::string& path, const std::vector<std::string>& names) {
        std::vector<std::pair<std::string, std::string>> entries;
        for (const std::string& name : names) entries.emplace_back(name, "X");
        writeEntries(path, entries);
    }
    static void writeEntries(const std::string& path,
                             const std::vector<std::pair<std::string, std::string>>& entries) {
        std::string plain("_PACK_\0", 7);
        auto u32 = [&](uint32_t v) {
            for (int i = 0; i < 4; ++i) plain += char(uint8_t(v >> (8 * i)));
        };
        u32(uint32_t(entries.size()));
        for (const auto& [name, data] : entries) {
            u32(uint32_t(name.size()));
            plain += name;
            u32(uint32_t(data.size()));
            plain += data;
        }
        writeStored(path, plain);
    }
    // The names in a folder, sorted.
    static std::vector<std::string> namesIn(const fs::path& folder) {
        std::vector<std::string> names;
        for (const auto& item : fs::recursive_directory_iterator(folder))
            names.push_back(fs::relative(item.path(), folder).string());
        std::sort(names.begin(), names.end());
        return names;
    }
    static void writeStored(const std::string& path, std::string plain) {
        Coding::encode(reinterpret_cast<uint8_t*>(plain.data()), plain.size());
        TempFolder::writeBytes(path, plain);
    }

    TempFolder temp;

private:
    fs::path previous_;
};

TEST_F(PackCommandTest, RoundTripsAFolderByteForByte) {
    std::string binary;
    for (int i = 0; i < 100000; ++i) binary += char((i * 7) ^ (i >> 9));
    const std::vector<std::pair<std::string, std::string>> files = {
        {"src/b.bin", binary},
        {"src/caf\xC3\xA9/\xC3\xBC"
         "ber.dat",
         std::string("\0\x01\xFF\x80", 4)},
        {"src/empty", ""},
        {"src/sub/deeper/with space.txt", "spaces"},
    };
    for (const auto& [name, data] : files) {
        fs::create_directories(fs::path(name).parent_path());
        TempFolder::writeBytes(name, data);
    }

    Result created = run({"create", "out.pack", "./src/"});
    ASSERT_EQ(created.code, 0) << created.err;
    EXPECT_EQ(created.err, "");

    Result listed = run({"list", "out.pack"});
    ASSERT_EQ(listed.code, 0) << listed.err;
    std::string expected;
    for (const auto& [name, data] : files) {
        char line[256];
        std::snprintf(line, sizeof line, "%10zu  %s\n", data.size(), name.c_str());
        expected += line;
    }
    EXPECT_EQ(listed.out, expected); // sorted, names as UTF-8

    ASSERT_EQ(run({"extract", "out.pack", "dest"}).code, 0);
    for (const auto& [name, data] : files)
        EXPECT_EQ(TempFolder::readBytes("dest/" + name), data) << name;

    // Engine paths reach into the same archive.
    FileInterface* stream =
        FileInterface::open(String(u"out.pack:src/sub/deeper/with space.txt"), 0, 1, 1);
    char buffer[16] = {};
    EXPECT_EQ(stream->read(buffer, 16), 6);
    stream->close();
}

TEST_F(PackCommandTest, CreateRefusesWhatAReaderCouldNotUnpackAndKeepsTheOldArchive) {
    fs::create_directories("src");
    TempFolder::writeBytes("src/a", "a");
    TempFolder::writeBytes("\xE4\xB8\xAD.txt", "not in Windows-1252");
    ASSERT_EQ(run({"create", "out.pack", "src"}).code, 0);
    const std::string before = TempFolder::readBytes("out.pack");

    const std::vector<std::vector<std::string>> refused = {
        {"create", "out.pack", (temp.path() / "src/a").string()},
        {"create", "out.pack", "../x"},
        {"create", "out.pack", "src\\..\\src"},
        {"create", "out.pack", "\xE4\xB8\xAD.txt"},
        {"create", "out.pack", "src", "src/a"},
        {"create", "out.pack", "missing"},
    };
    for (const auto& args : refused) {
        SCOPED_TRACE(args.back());
        expectOneErrorLine(run(args));
        EXPECT_EQ(TempFolder::readBytes("out.pack"), before);
    }
    // No temporary file is left behind either.
    int count = 0;
    for (const auto& item : fs::directory_iterator(".")) count += item.path().filename() != "src";
    EXPECT_EQ(count, 2); // out.pack and the refused file
}

TEST_F(PackCommandTest, HostileArchivesGiveOneErrorLineAndWriteNothing) {
    const std::string magic("_PACK_\0", 7);
    auto u32 = [](uint32_t v) {
        return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
    };
    const std::pair<const char*, std::string> cases[] = {
        {"truncated.pack", magic + u32(1) + u32(1) + "a" + u32(4) + "ab"},
        {"count.pack", magic + u32(0x80000000u) + u32(1) + "a" + u32(0)},
        {"name.pack", magic + u32(1) + u32(0x80000000u) + "abcdefgh"},
        {"data.pack", magic + u32(1) + u32(1) + "a" + u32(1000) + "abcd"},
    };
    for (const auto& [name, plain] : cases) {
        SCOPED_TRACE(name);
        writeStored(name, plain);
        for (const std::vector<std::string>& args :
             {std::vector<std::string>{"list", name}, {"extract", name, "dest"}}) {
            Result r = run(args);
            expectOneErrorLine(r);
            EXPECT_EQ(r.out, "");
        }
        EXPECT_FALSE(fs::exists("dest"));
    }
    TempFolder::writeBytes("plain.pack", magic + u32(0)); // not substituted: wrong magic
    expectOneErrorLine(run({"list", "plain.pack"}));
}

TEST_F(PackCommandTest, ExtractWritesOnlyBelowTheTargetFolder) {
    for (const std::string name : {"../x", "/abs", "a/../../x", "a\\..\\..\\x", "C:/x", ""}) {
        SCOPED_TRACE(name);
        writeArchive("evil.pack", {"fine", name});
        expectOneErrorLine(run({"extract", "evil.pack", "dest", "--force"}));
        // Checked before anything is written, so even the fine entry is not.
        EXPECT_FALSE(fs::exists("dest/fine"));
        EXPECT_FALSE(fs::exists("x"));
    }

    // A link placed in the target folder beforehand is not followed.
    fs::create_directories("dest");
    fs::create_directories("outside");
    fs::create_directory_symlink(temp.path() / "outside", "dest/link");
    writeArchive("link.pack", {"link/x"});
    expectOneErrorLine(run({"extract", "link.pack", "dest", "--force"}));
    EXPECT_TRUE(fs::is_empty("outside"));
}

TEST_F(PackCommandTest, ExtractNeverOverwritesWithoutForce) {
    fs::create_directories("src");
    TempFolder::writeBytes("src/a", "archived a");
    TempFolder::writeBytes("src/b", "archived b");
    ASSERT_EQ(run({"create", "out.pack", "src"}).code, 0);
    fs::create_directories("dest/src");
    TempFolder::writeBytes("dest/src/b", "mine");

    Result refused = run({"extract", "out.pack", "dest"});
    expectOneErrorLine(refused);
    EXPECT_NE(refused.err.find("dest/src/b"), std::string::npos) << refused.err;
    EXPECT_EQ(TempFolder::readBytes("dest/src/b"), "mine");
    EXPECT_FALSE(fs::exists("dest/src/a"));

    ASSERT_EQ(run({"extract", "out.pack", "dest", "--force"}).code, 0);
    EXPECT_EQ(TempFolder::readBytes("dest/src/b"), "archived b");
    EXPECT_EQ(TempFolder::readBytes("dest/src/a"), "archived a");
}

// Every clash is found before the first byte is written: between entries,
// and between an entry and what is on disk.
TEST_F(PackCommandTest, ExtractChecksEveryConflictBeforeWritingAnything) {
    writeArchive("clash.pack", {"x", "x/y.txt"});
    Result clash = run({"extract", "clash.pack", "dest"});
    expectOneErrorLine(clash);
    EXPECT_NE(clash.err.find("entry 'x' would be a file where entry 'x/y.txt' needs a folder"),
              std::string::npos)
        << clash.err;
    EXPECT_FALSE(fs::exists("dest")) << "not even the target folder is made";

    fs::create_directories("dest/folder");
    TempFolder::writeBytes("dest/file", "mine");
    for (const std::vector<std::string>& names :
         {std::vector<std::string>{"fine", "file/below.txt"}, {"fine", "folder"}}) {
        SCOPED_TRACE(names.back());
        writeArchive("disk.pack", names);
        expectOneErrorLine(run({"extract", "disk.pack", "dest", "--force"}));
        EXPECT_EQ(namesIn("dest"), (std::vector<std::string>{"file", "folder"}));
        EXPECT_EQ(TempFolder::readBytes("dest/file"), "mine");
    }
    TempFolder::writeBytes("plain", "not a folder");
    writeArchive("one.pack", {"a"});
    expectOneErrorLine(run({"extract", "one.pack", "plain"}));
}

// A full disk is simulated by a file-size limit in a child process: the
// second entry cannot be written, and the first must not stay behind.
TEST_F(PackCommandTest, AFailureWhileWritingTakesBackWhatTheRunWrote) {
    writeEntries("big.pack", {{"first/small.txt", "small"},
                              {"second.bin", std::string(200 * 1024, 'b')},
                              {"third.txt", "never reached"}});
    fs::create_directories("dest");
    TempFolder::writeBytes("dest/keep.txt", "already here");
    for (const bool force : {false, true}) {
        SCOPED_TRACE(force ? "--force" : "no --force");
        if (force) {
            fs::create_directories("dest/first");
            TempFolder::writeBytes("dest/first/small.txt", "mine");
        }
        const child::Outcome outcome = child::run([&](std::string& report) {
            std::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{64 * 1024, 64 * 1024};
            ::setrlimit(RLIMIT_FSIZE, &limit);
            std::vector<std::string> args = {"extract", "big.pack", "dest"};
            if (force) args.push_back("--force");
            const Result result = run(args);
            report = result.err;
            return result.code;
        });
        ASSERT_TRUE(outcome.exited) << "ended by signal " << outcome.status;
        EXPECT_EQ(outcome.status, 1);
        EXPECT_NE(outcome.report.find("second.bin"), std::string::npos) << outcome.report;
        EXPECT_NE(outcome.report.find("File too large"), std::string::npos) << outcome.report;
        EXPECT_EQ(std::count(outcome.report.begin(), outcome.report.end(), '\n'), 1);
        if (force) {
            EXPECT_EQ(namesIn("dest"),
                      (std::vector<std::string>{"first", "first/small.txt", "keep.txt"}));
            EXPECT_EQ(TempFolder::readBytes("dest/first/small.txt"), "mine");
        } else {
            EXPECT_EQ(namesIn("dest"), (std::vector<std::string>{"keep.txt"}));
        }
    }
}

// The same on a disk that really fills up, where the system allows a
// small one to be mounted.
TEST_F(PackCommandTest, AFullDiskTakesBackWhatTheRunWrote) {
    writeEntries("big.pack",
                 {{"first/small.txt", "small"}, {"second.bin", std::string(200 * 1024, 'b')}});
    fs::create_directories("disk");
    const child::Outcome outcome = child::run([&](std::string& report) {
        if (!child::mountSmallDisk("disk", 64 * 1024)) return child::kCannotSetUp;
        fs::create_directories("disk/dest");
        const Result result = run({"extract", "big.pack", "disk/dest"});
        report = result.err;
        for (const std::string& name : namesIn("disk")) report += "left: " + name + "\n";
        return result.code;
    });
    if (outcome.exited && outcome.status == child::kCannotSetUp)
        GTEST_SKIP() << "cannot mount a small disk here (needs root)";
    ASSERT_TRUE(outcome.exited) << "ended by signal " << outcome.status;
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.report, "embossa: cannot write 'disk/dest/second.bin': No space left on "
                              "device\nleft: dest\n");
}

TEST_F(PackCommandTest, CreateRefusesAnArchiveAmongItsInputs) {
    fs::create_directories("src/deeper");
    TempFolder::writeBytes("src/a.png", "the user's image");
    TempFolder::writeBytes("old.pack", "an older archive");
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"create", "src/a.png", "src"},
                                               {"create", "src/deeper/out.pack", "src"},
                                               {"create", "./src/../src/a.png", "src/a.png"},
                                               {"create", "old.pack", "old.pack"},
                                               {"create", "here.pack", "."}}) {
        SCOPED_TRACE(args[1] + " from " + args[2]);
        const Result result = run(args);
        expectOneErrorLine(result, 2);
        EXPECT_NE(result.err.find("the archive"), std::string::npos) << result.err;
    }
    EXPECT_EQ(TempFolder::readBytes("src/a.png"), "the user's image");
    EXPECT_EQ(TempFolder::readBytes("old.pack"), "an older archive");
    EXPECT_EQ(namesIn("src"), (std::vector<std::string>{"a.png", "deeper"}));
    EXPECT_FALSE(fs::exists("here.pack"));
}

// Names are printed wherever they come from, so none may reach the
// terminal raw; a NUL, which would cut a name short, is refused.
TEST_F(PackCommandTest, NamesAreEscapedWhenPrintedAndANulIsRefused) {
    fs::create_directories("src");
    TempFolder::writeBytes("src/bell\a", "1");
    TempFolder::writeBytes("src/esc\x1B[2J", "22");
    TempFolder::writeBytes("src/two\nlines", "333");
    ASSERT_EQ(run({"create", "odd.pack", "src"}).code, 0);
    const Result listed = run({"list", "odd.pack"});
    ASSERT_EQ(listed.code, 0) << listed.err;
    EXPECT_EQ(listed.out, "         1  src/bell\\x07\n"
                          "         2  src/esc\\x1B[2J\n"
                          "         3  src/two\\nlines\n");

    writeArchive("nul.pack", {std::string("a\0b", 3)});
    const Result withNul = run({"list", "nul.pack"});
    EXPECT_EQ(withNul.out, "         1  a\\x00b\n");
    const Result refused = run({"extract", "nul.pack", "dest"});
    expectOneErrorLine(refused);
    EXPECT_NE(refused.err.find("'a\\x00b': its name holds a NUL character"), std::string::npos)
        << refused.err;
    EXPECT_FALSE(fs::exists("dest"));
}

TEST_F(PackCommandTest, RefusalsSayWhatIsReallyWrong) {
    TempFolder::writeBytes("a:b.txt", "x");
    Result drive = run({"create", "out.pack", "a:b.txt"});
    expectOneErrorLine(drive);
    EXPECT_EQ(drive.err.find("absolute"), std::string::npos) << drive.err;
    EXPECT_NE(drive.err.find("Windows drive ('a:')"), std::string::npos) << drive.err;

    // A name that exists as written is that file, and its backslash would
    // become a separator when unpacked.
    TempFolder::writeBytes("q\\r.txt", "x");
    const Result backslash = run({"create", "out.pack", "q\\r.txt"});
    expectOneErrorLine(backslash);
    EXPECT_NE(backslash.err.find("has a backslash in its name"), std::string::npos)
        << backslash.err;

    // Pipes are neither packed, nor read as archives, nor replaced by one;
    // in a child, so a regression that blocks ends by the alarm.
    ASSERT_EQ(::mkfifo("pipe", 0600), 0);
    ASSERT_EQ(::mkfifo("pipe.pack", 0600), 0);
    const child::Outcome outcome = child::run(
        [&](std::string& report) {
            for (const std::vector<std::string>& args :
                 std::vector<std::vector<std::string>>{{"create", "out.pack", "pipe"},
                                                       {"list", "pipe.pack"},
                                                       {"create", "pipe.pack", "a:b.txt"}}) {
                const Result result = run(args);
                report += std::to_string(result.code) + " " + result.err;
            }
            return 0;
        },
        10);
    ASSERT_TRUE(outcome.exited) << "ended by signal " << outcome.status << " (a blocked pipe?)";
    EXPECT_EQ(outcome.report, "1 embossa: 'pipe' is neither a file nor a folder\n"
                              "1 embossa: 'pipe.pack' is not a regular file (a pipe, device or "
                              "socket)\n"
                              "1 embossa: 'a:b.txt' begins like a Windows drive ('a:'), so its "
                              "entry would unpack outside the target folder there; rename it\n");
    EXPECT_FALSE(fs::exists("out.pack"));
}

TEST_F(PackCommandTest, UsageErrorsExitWithTwo) {
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{},
                                               {"frob"},
                                               {"list"},
                                               {"list", "a", "b"},
                                               {"create", "a.pack"},
                                               {"extract", "a.pack", "--bogus"}}) {
        expectOneErrorLine(run(args), 2);
    }
}

} // namespace
