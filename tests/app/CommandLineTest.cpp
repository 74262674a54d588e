// SPDX-License-Identifier: MIT
// The dispatcher: what a lone word means, options that take no company,
// output that never arrived, and the program under a file-size limit.
#include "app/CommandLine.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "CommandRun.h"
#include "support/ChildProcess.h"
#include "support/TempFolder.h"

namespace {

namespace fs = std::filesystem;
using commandrun::expectOneErrorLine;
using commandrun::Result;
using commandrun::runWords;

TEST(CommandLine, VersionAndHelpAnswerAloneAndExtraWordsAreUsageErrors) {
    const Result version = runWords({"--version"});
    EXPECT_EQ(version.code, 0);
    EXPECT_EQ(version.out.rfind("embossa ", 0), 0u) << version.out;
    expectOneErrorLine(runWords({"--version", "extra"}), 2);
    expectOneErrorLine(runWords({"convert", "a.png", "--version"}), 2);
    EXPECT_EQ(runWords({"pack", "--help"}).code, 0);
}

// A word that is no command and no file is far more likely a typo than an
// image to open, so it is not handed to the dialog.
TEST(CommandLine, AWordThatIsNeitherACommandNorAFileIsAUsageError) {
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"frobnicate"},
                                               {"--", "--help"},
                                               {"/no/such/archive.pack:entry.png"},
                                               {"bell\a\x1B[2J"}}) {
        SCOPED_TRACE(args.back());
        const Result result = runWords(args);
        expectOneErrorLine(result, 2);
        EXPECT_NE(result.err.find("is neither a command nor a file"), std::string::npos)
            << result.err;
        EXPECT_EQ(result.err.find_first_of("\a\x1B"), std::string::npos) << "escaped";
    }
    expectOneErrorLine(runWords({"frobnicate", "more"}), 2);
    expectOneErrorLine(runWords({"--bogus"}), 2);

    // A pipe nobody reads is refused as a log, not waited on; a device that
    // takes writes at once is fine.
    EXPECT_EQ(runWords({"--log", "/dev/null", "--version"}).code, 0);
    TempFolder temp;
    ASSERT_EQ(::mkfifo((temp / "log").c_str(), 0600), 0);
    const child::Outcome outcome = child::run(
        [&](std::string& report) {
            report = runWords({"--log", (temp / "log").string(), "--version"}).err;
            return 0;
        },
        10);
    ASSERT_TRUE(outcome.exited) << "ended by signal " << outcome.status << " (a blocked open?)";
    EXPECT_EQ(outcome.report,
              "embossa: log file '" + (temp / "log").string() + "' is a pipe that nobody reads\n");
}

TEST(CommandLine, OutputThatCannotBeWrittenFailsTheRun) {
    std::FILE* full = std::fopen("/dev/full", "w");
    if (!full) GTEST_SKIP() << "/dev/full is not available here";
    for (const char* option : {"--version", "--help"}) {
        SCOPED_TRACE(option);
        const Result result = runWords({option}, full);
        expectOneErrorLine(result, 1);
        EXPECT_NE(result.err.find("cannot write to the standard output: No space left on device"),
                  std::string::npos)
            << result.err;
        std::clearerr(full);
    }
    std::fclose(full);
}

// The program itself, under `ulimit -f`: the limit must fail the save with
// a reason instead of killing the process and leaving its temporary file.
TEST(CommandLine, AFileSizeLimitFailsTheSaveAndLeavesNoTemporary) {
    const std::string program = std::string(EMBOSSA_BUILD_DIR) + "/app/embossa";
    ASSERT_TRUE(fs::exists(program)) << program;
    TempFolder temp;
    std::string picture = "P6\n16 16\n255\n";
    for (int i = 0; i < 16 * 16 * 3; ++i) picture += char(i * 7);
    TempFolder::writeBytes(temp / "in.ppm", picture);
    TempFolder::writeBytes(temp / "out.obj", "old relief");
    const std::string errors = (temp / "errors.txt").string();

    const child::Outcome outcome = child::run([&](std::string&) {
        const rlimit limit{64 * 1024, 64 * 1024};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        const int fd = ::open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(fd, 2);
        const std::string in = (temp / "in.ppm").string();
        const std::string out = (temp / "out.obj").string();
        const char* argv[] = {"embossa", "convert", in.c_str(), "-o", out.c_str(), nullptr};
        ::execv(program.c_str(), const_cast<char* const*>(argv));
        return 127;
    });
    ASSERT_TRUE(outcome.exited) << "ended by signal " << outcome.status;
    EXPECT_EQ(outcome.status, 1);
    const std::string said = TempFolder::readBytes(errors);
    EXPECT_NE(said.find("File too large"), std::string::npos) << said;
    EXPECT_EQ(TempFolder::readBytes(temp / "out.obj"), "old relief");
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(temp.path()))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"errors.txt", "in.ppm", "out.obj"}));
}

} // namespace
