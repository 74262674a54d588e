// SPDX-License-Identifier: MIT
// Reading an image's bytes and the one-line reasons shown when that fails:
// each names the file, says what is wrong, fits on one line, and leaves no
// earlier image's bytes behind.
#include "app/ImageInput.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "core/PackWriter.h"
#include "support/ChildProcess.h"
#include "support/TempFolder.h"
#include "sys/Unicode.h"

namespace {

namespace fs = std::filesystem;

String engineText(const std::string& utf8) {
    const std::u16string wide = sys::utf8ToUtf16(utf8);
    String text(u"");
    text.set(wide.data(), int32_t(wide.size()));
    return text;
}

std::string contents(FileArray& bytes) {
    return std::string(static_cast<const char*>(bytes.memory()), size_t(bytes.size()));
}

class ImageInputTest : public ::testing::Test {
protected:
    ImageInputTest() {
        FileArray archive;
        PackWriter writer(archive);
        writer.add(String(u"pics/a.ppm"), kPicture.data(), int32_t(kPicture.size()));
        writer.finish();
        TempFolder::writeBytes(temp / "set.pack",
                               std::string(reinterpret_cast<char*>(archive.buffer), archive.used));
        TempFolder::writeBytes(temp / "a.ppm", kPicture);
    }
    std::string at(const std::string& name) const { return (temp / name).string(); }

    // Reads `path` into a file that already holds an earlier image.
    bool read(const std::string& path, std::string& why) {
        bytes.close();
        bytes.write("earlier image", 13);
        return app::readImageInput(engineText(path), bytes, why);
    }

    const std::string kPicture = std::string("P6\n2 1\n255\n") + std::string(6, '\x7F');
    TempFolder temp;
    FileArray bytes;
};

TEST_F(ImageInputTest, ReadsFilesAndArchiveEntriesWhole) {
    std::string why;
    ASSERT_TRUE(read(at("a.ppm"), why)) << why;
    EXPECT_EQ(contents(bytes), kPicture);
    ASSERT_TRUE(read(at("set.pack") + ":pics/a.ppm", why)) << why;
    EXPECT_EQ(contents(bytes), kPicture);
    EXPECT_EQ(app::imageDecodeProblem(engineText(at("a.ppm")), bytes), "");
}

// Streamed, a file gives the same bytes read in any order and size, an
// entry is served from memory, and a file cut short while open says so
// rather than passing for a truncated image.
TEST_F(ImageInputTest, StreamsReadFilesInPiecesAndNoticeAFileCutShort) {
    std::string big(300000, '\0');
    for (size_t i = 0; i < big.size(); ++i) big[i] = char(i * 7 + i / 251);
    TempFolder::writeBytes(temp / "big.bin", big);
    app::ImageStream stream;
    std::string why;
    ASSERT_TRUE(app::openImageInput(engineText(at("big.bin")), stream, why)) << why;
    EXPECT_EQ(stream.size(), big.size());
    EXPECT_EQ(stream.memory(), nullptr);
    std::string piece(70000, '\0');
    // Small reads from the block, a large one straight from the file,
    // backwards and across the block's end, then past the end of the file.
    for (const auto& [offset, count] : {std::pair<size_t, size_t>{10, 8},
                                        {299990, 10},
                                        {1000, 70000},
                                        {262140, 8},
                                        {5, 40000},
                                        {0, 0}}) {
        ASSERT_TRUE(stream.read(offset, piece.data(), count)) << offset;
        EXPECT_EQ(piece.substr(0, count), big.substr(offset, count)) << offset;
    }
    EXPECT_FALSE(stream.read(299995, piece.data(), 6));
    EXPECT_FALSE(stream.readFailed()) << "asking past the end is no read failure";

    fs::resize_file(temp / "big.bin", 1000);
    EXPECT_FALSE(stream.read(200000, piece.data(), 40000));
    EXPECT_TRUE(stream.readFailed());
    EXPECT_NE(app::readFailure(engineText(at("big.bin"))).find("could not be read to its end"),
              std::string::npos);

    ASSERT_TRUE(app::openImageInput(engineText(at("set.pack") + ":pics/a.ppm"), stream, why));
    ASSERT_NE(stream.memory(), nullptr);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(stream.memory()), stream.size()), kPicture);
    EXPECT_FALSE(app::openImageInput(engineText(at("missing.png")), stream, why));
    EXPECT_NE(why.find("does not exist"), std::string::npos) << why;
    EXPECT_EQ(stream.size(), 0u);
}

TEST_F(ImageInputTest, EachFailureSaysWhyInOneLineNamingTheFile) {
    ASSERT_EQ(::mkfifo(at("pipe.png").c_str(), 0600), 0);
    fs::create_directory(temp / "folder.png");
    fs::create_symlink("loop-b.png", temp / "loop-a.png");
    fs::create_symlink("loop-a.png", temp / "loop-b.png");
    TempFolder::writeBytes(temp / "not-a.pack", "plain text, no archive");
    struct Case {
        std::string path;
        std::string names;
        std::string says;
    };
    const std::vector<Case> cases = {
        {at("missing.png"), "missing.png", "does not exist"},
        {at("folder.png"), "folder.png", "is a folder"},
        {at("pipe.png"), "pipe.png", "is not a regular file"},
        {at("loop-a.png"), "loop-a.png", "too many levels of symbolic links"},
        {at("a.ppm/below.png"), "below.png", "a part of its path is a file"},
        {at("set.pack") + ":pics/b.ppm", "set.pack' has no entry 'pics/b.ppm'", ""},
        {at("none.pack") + ":a.ppm", "none.pack", "does not exist"},
        {at("not-a.pack") + ":a.ppm", "not-a.pack", "is not a valid pack archive"},
        {at("esc\x1B[2J\n.png"), "esc\\x1B[2J\\n.png", "does not exist"},
        {"", "", "no image was given"},
    };
    // In a child: a read that blocks on the pipe ends there by the alarm.
    const child::Outcome outcome = child::run(
        [&](std::string& report) {
            for (const Case& c : cases) {
                std::string why;
                const bool done = read(c.path, why);
                if (done || bytes.size() != 0 || why.find(c.names) == std::string::npos ||
                    why.find(c.says) == std::string::npos ||
                    why.find_first_of("\n\r\x1B") != std::string::npos)
                    report += sys::printable(c.path) + " -> " + sys::printable(why) + "\n";
            }
            return 0;
        },
        10);
    ASSERT_TRUE(outcome.exited) << "ended by signal " << outcome.status << " (a blocked read?)";
    EXPECT_EQ(outcome.report, "");
}

TEST_F(ImageInputTest, AFileTheUserMayNotReadSaysSo) {
    TempFolder::writeBytes(temp / "secret.png", kPicture);
    ::chmod(at("secret.png").c_str(), 0600);
    ::chmod(temp.path().c_str(), 0755);
    const child::Outcome outcome = child::run([&](std::string& report) {
        if (!child::dropToNobody()) return child::kCannotSetUp;
        return read(at("secret.png"), report) ? 1 : 0;
    });
    if (outcome.exited && outcome.status == child::kCannotSetUp)
        GTEST_SKIP() << "cannot give up root here";
    ASSERT_TRUE(outcome.exited);
    EXPECT_EQ(outcome.status, 0);
    EXPECT_NE(outcome.report.find("secret.png' cannot be opened: permission denied"),
              std::string::npos)
        << outcome.report;
}

TEST_F(ImageInputTest, DecodeProblemsNameTheFileAndTheDecodersReason) {
    FileArray garbage;
    garbage.write("GIF89a and then nothing sensible", 32);
    const std::string problem = app::imageDecodeProblem(engineText(at("fake.png")), garbage);
    EXPECT_EQ(problem.rfind("'" + at("fake.png") + "' is not an image embossa can decode (", 0), 0u)
        << problem;

    FileArray empty;
    EXPECT_NE(app::imageDecodeProblem(engineText(at("set.pack") + ":e.png"), empty)
                  .find("set.pack' entry 'e.png' is not an image embossa can decode (the file is "
                        "empty)"),
              std::string::npos);
}

} // namespace
