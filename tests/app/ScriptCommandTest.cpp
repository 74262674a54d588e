// SPDX-License-Identifier: MIT
// `embossa script` end to end: the bundled example prints what the README
// shows, files run in order and share the predeclared values, and any file
// that cannot be read or holds a mistake stops every file from running.
#include "app/ScriptCommand.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "CommandRun.h"
#include "core/FileArray.h"
#include "core/PackWriter.h"
#include "script/Reader.h"
#include "support/TempFolder.h"

namespace {

namespace fs = std::filesystem;

using commandrun::drain;
using commandrun::Result;

class ScriptCommand : public ::testing::Test {
protected:
    static Result run(std::vector<std::string> args) {
        return commandrun::run("script", std::move(args));
    }
    // With `input` as the standard input.
    static Result runWithInput(std::vector<std::string> args, const std::string& input) {
        std::FILE* in = std::tmpfile();
        std::fwrite(input.data(), 1, input.size(), in);
        std::rewind(in);
        std::FILE* out = std::tmpfile();
        std::FILE* err = std::tmpfile();
        const int code = app::runScriptCommand(args, out, err, in);
        std::fclose(in);
        return {code, drain(out), drain(err)};
    }
    std::string file(const std::string& name, const std::string& text) const {
        TempFolder::writeBytes(folder / name, text);
        return (folder / name).string();
    }

    TempFolder temp;
    const fs::path folder = temp.path();
};

TEST_F(ScriptCommand, TheExampleRunsAsTheReadmeShows) {
    const Result result = run({EMBOSSA_SOURCE_DIR "/examples/vectors.es"});
    ASSERT_EQ(result.code, 0) << result.err;
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.out, "a + b = (5,7,9)\n"
                          "a * b = (32,32,32)   (the dot product in every component)\n"
                          "a * 2 = (2,4,6)\n"
                          "7 / 2 = 3, 7.5 - 2 = 5, 7.5 + 2 = 9.5\n"
                          "byte 200 + 100 = 300\n"
                          "up = (0,1,0), scaled = (0,2,0)\n"
                          "(3,4) normalized = (0.6,0.8)\n"
                          "Hello, world\n"
                          "camera at (0,10,-25), pan 45\n"
                          "space or enter held: false\n");
}

TEST_F(ScriptCommand, FilesRunInOrderAndShareTheEngineValues) {
    const std::string first = file("first.es", "print(\"1\"); camera.fPan = 12.5;");
    const std::string second = file("second.es", "print(\" 2 \"); print(camera.fPan);");
    Result result = run({first, second});
    ASSERT_EQ(result.code, 0) << result.err;
    EXPECT_EQ(result.out, "1 2 12.5");

    // Standard input stands where "-" is; a file named "-" follows "--".
    result = runWithInput({first, "-", "--", "-"}, "print(\" stdin \");");
    EXPECT_EQ(result.code, 1);
    EXPECT_EQ(result.err, "embossa: '-' does not exist\n");
    file("-", "print(\"dash\");");
    const fs::path previous = fs::current_path();
    fs::current_path(folder);
    result = runWithInput({first, "-", "--", "-"}, "print(\" stdin \");");
    fs::current_path(previous);
    ASSERT_EQ(result.code, 0) << result.err;
    EXPECT_EQ(result.out, "1 stdin dash");
}

TEST_F(ScriptCommand, ArchiveEntriesAreRead) {
    FileArray archive;
    PackWriter writer(archive);
    const std::string text = "print(\"packed\");";
    ASSERT_TRUE(writer.add(String(u"scripts/a.es"), text.data(), int32_t(text.size())));
    ASSERT_TRUE(writer.finish());
    const std::string pack =
        file("set.pack", std::string(reinterpret_cast<char*>(archive.buffer), archive.used));

    Result result = run({pack + ":scripts/a.es"});
    ASSERT_EQ(result.code, 0) << result.err;
    EXPECT_EQ(result.out, "packed");

    result = run({pack + ":scripts/b.es"});
    EXPECT_EQ(result.code, 1);
    EXPECT_NE(result.err.find("set.pack' has no entry 'scripts/b.es'"), std::string::npos)
        << result.err;
}

// Every file is read first, and each one's problem is reported; then
// nothing runs, not even the files that were fine.
TEST_F(ScriptCommand, AnyBadFileStopsAllOfThem) {
    const std::string good = file("good.es", "print(\"ran\");");
    const std::string bad = file("bad.es", "int x = 1\nprint(x);");
    const std::string worse = file("worse.es", "print(\"\x01\");");
    const Result result = run({good, bad, (folder / "missing.es").string(), worse});
    EXPECT_EQ(result.code, 1);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, bad + ":2:1: expected ';' but found 'print'\n" + "embossa: '" +
                              (folder / "missing.es").string() + "' does not exist\n" + worse +
                              ":1:8: control character '\\x01' in a string\n");
}

TEST_F(ScriptCommand, OversizedInputIsRefusedWithALocatedLine) {
    const fs::path big = folder / "big.es";
    TempFolder::writeBytes(big, "");
    fs::resize_file(big, script::kMaxScriptBytes + 1); // sparse: nothing to read
    Result result = run({big.string()});
    EXPECT_EQ(result.code, 1);
    EXPECT_EQ(result.err, big.string() + ":1:1: the file is larger than 16 MiB (16777217 bytes)\n");

    // Standard input has no size to ask: reading stops past the limit.
    std::string input(script::kMaxScriptBytes, ' ');
    result = runWithInput({"-"}, input + "print(1);");
    EXPECT_EQ(result.code, 1);
    EXPECT_EQ(result.err.rfind("<stdin>:1:1: the file is larger than 16 MiB", 0), 0u) << result.err;
    result = runWithInput({"-"}, input.replace(0, 9, "print(1);"));
    EXPECT_EQ(result.code, 0) << result.err;
    EXPECT_EQ(result.out, "1");
}

TEST_F(ScriptCommand, NamesInMessagesHaveControlCharactersEscaped) {
    const std::string odd = file("odd\x1b[2Jname.es", "@");
    const Result result = run({odd});
    EXPECT_EQ(result.code, 1);
    EXPECT_EQ(result.err, (folder / "odd\\x1B[2Jname.es").string() + ":1:1: stray character '@'\n");
}

TEST_F(ScriptCommand, UsageErrorsRunNothing) {
    const std::string good = file("good.es", "print(\"ran\");");
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {}, {"--"}, {good, "--fast"}, {"-", good, "-"}, {good, ""}}) {
        const Result result = run(args);
        EXPECT_EQ(result.code, 2) << result.err;
        EXPECT_EQ(result.out, "");
        commandrun::expectOneErrorLine(result, 2);
    }
}

} // namespace
