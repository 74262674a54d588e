// SPDX-License-Identifier: MIT
#include "app/PackCommand.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

#include "CommandRun.h"
#include "core/Coding.h"
#include "core/FileArray.h"
#include "core/FileInterface.h"
#include "core/PackWriter.h"
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

    static Result run(std::vector<std::string> args) { return commandrun::run("pack", std::move(args)); }

    // An archive with the given names, written by the engine's writer and
    // without its refusals, as a hostile tool might.
    static void writeArchive(const std::string& path, const std::vector<std::string>& names) {
        std::string plain("_PACK_\0", 7);
        auto u32 = [&](uint32_t v) {
            for (int i = 0; i < 4; ++i)
                plain += char(uint8_t(v >> (8 * i)));
        };
        u32(uint32_t(names.size()));
        for (const std::string& name : names) {
            u32(uint32_t(name.size()));
            plain += name;
            u32(1);
            plain += "X";
        }
        writeStored(path, plain);
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
    for (int i = 0; i < 100000; ++i)
        binary += char((i * 7) ^ (i >> 9));
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
    for (const auto& item : fs::directory_iterator("."))
        count += item.path().filename() != "src";
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
