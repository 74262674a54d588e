// SPDX-License-Identifier: MIT
// `embossa convert` end to end on generated images: the bytes against the
// relief of a known preview, the preview's orientation and resampling as the
// height field sees them, the option mapping, output naming (one image,
// several, archive entries, collisions) and the one-line failures.
#include "app/ConvertCommand.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "CommandRun.h"
#include "ReliefSupport.h"
#include "core/FileArray.h"
#include "core/PackWriter.h"
#include "support/ChildProcess.h"
#include "support/ImageFiles.h"
#include "support/TempFolder.h"

namespace {

namespace fs = std::filesystem;

struct Rgb {
    uint8_t r, g, b;
};
using Picture = std::function<Rgb(int x, int y)>; // y = 0 is the top row

std::string ppm(int w, int h, const Picture& picture) {
    std::string bytes = "P6\n" + std::to_string(w) + " " + std::to_string(h) + "\n255\n";
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const Rgb c = picture(x, y);
            bytes += char(c.r);
            bytes += char(c.g);
            bytes += char(c.b);
        }
    return bytes;
}

Rgb redIf(bool on) {
    return on ? Rgb{255, 0, 0} : Rgb{0, 0, 0};
}

using commandrun::Result;

class ConvertCommand : public ::testing::Test {
protected:
    static Result run(std::vector<std::string> args) {
        return commandrun::run("convert", std::move(args));
    }
    std::string image(const std::string& name, int w, int h, const Picture& picture) {
        TempFolder::writeBytes(folder / name, ppm(w, h, picture));
        return (folder / name).string();
    }
    std::string read(const std::string& name) const { return TempFolder::readBytes(folder / name); }

    // The OBJ of the tool with every preview pixel at `red`.
    static std::string uniformRelief(int32_t axisMode, uint8_t red) {
        auto tool = relief::tool(axisMode, 0, [red](int, int) { return red; });
        tool->rebuildMesh();
        return relief::objText(tool->mesh);
    }

    // Heights of grid row j (x / z placement, no mirroring) from a saved OBJ.
    static std::vector<float> rowHeights(const std::string& obj, int j) {
        std::vector<float> heights;
        size_t at = obj.find("\nv ");
        for (int v = 0; at != std::string::npos && v < (j + 1) * 120; ++v) {
            float x, y, z;
            std::sscanf(obj.c_str() + at + 1, "v %f %f %f", &x, &y, &z);
            if (v >= j * 120) heights.push_back(y);
            at = obj.find("\nv ", at + 1);
        }
        return heights;
    }

    TempFolder folder;
};

TEST_F(ConvertCommand, OneImageGoesToTestObjBesideItWithTheDialogsBytes) {
    const std::string path = image("flat.ppm", 16, 16, [](int, int) { return redIf(true); });
    const Result result = run({path});
    ASSERT_EQ(result.code, 0) << result.err;
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.out, (folder / "test.obj").string() + "\n");
    EXPECT_EQ(read("test.obj"), uniformRelief(0, 255))
        << "default placement is x / y, as the dialog starts";

    // A relative image path still writes beside the image, not at the root.
    const fs::path previous = fs::current_path();
    fs::current_path(folder.path());
    const Result relative = run({"flat.ppm", "-o", "again.obj"});
    fs::current_path(previous);
    ASSERT_EQ(relative.code, 0) << relative.err;
    EXPECT_EQ(read("again.obj"), read("test.obj"));
}

TEST_F(ConvertCommand, PreviewRowZeroIsTheImagesBottomLine) {
    // 128 x 128 is kept as it is; the bottom quarter is red.
    const std::string path =
        image("bottom.ppm", 128, 128, [](int, int y) { return redIf(y >= 96); });
    const Result result = run({path, "--axis", "xz", "-o", (folder / "bottom.obj").string()});
    ASSERT_EQ(result.code, 0) << result.err;
    const std::string obj = read("bottom.obj");
    for (float h : rowHeights(obj, 0)) ASSERT_EQ(h, 2.0f) << "grid row 0 is the picture's bottom";
    for (float h : rowHeights(obj, 119)) ASSERT_EQ(h, 1.0f) << "grid row 119 is its top";
}

TEST_F(ConvertCommand, OnePixelFillsThePreviewAndAWideImageIsSqueezed) {
    const std::string dot = image("dot.ppm", 1, 1, [](int, int) { return redIf(true); });
    ASSERT_EQ(run({dot, "-o", (folder / "dot.obj").string()}).code, 0);
    EXPECT_EQ(read("dot.obj"), uniformRelief(0, 255));

    // 240 x 60, left half red: squeezed into 120 x 120, the left half of
    // every preview row is red and the right half black.
    const std::string wide = image("wide.ppm", 240, 60, [](int x, int) { return redIf(x < 120); });
    ASSERT_EQ(run({wide, "--axis", "xz", "-o", (folder / "wide.obj").string()}).code, 0);
    const std::string obj = read("wide.obj");
    for (int j : {0, 60, 119}) {
        const std::vector<float> row = rowHeights(obj, j);
        ASSERT_EQ(row.size(), 120u);
        EXPECT_EQ(row[10], 2.0f) << "row " << j;
        EXPECT_EQ(row[50], 2.0f) << "row " << j;
        EXPECT_EQ(row[70], 1.0f) << "row " << j;
        EXPECT_EQ(row[110], 1.0f) << "row " << j;
    }
}

TEST_F(ConvertCommand, AxisAndFlipOptionsSetWhatTheRadioButtonsAndCheckBoxesSet) {
    const std::string black = image("black.ppm", 8, 8, [](int, int) { return redIf(false); });
    auto firstVertex = [&](std::vector<std::string> options) {
        options.insert(options.begin(), black);
        options.insert(options.end(), {"-o", (folder / "out.obj").string()});
        EXPECT_EQ(run(options).code, 0);
        const std::string obj = read("out.obj");
        const size_t at = obj.find("v ");
        return obj.substr(at, obj.find('\n', at) - at);
    };
    EXPECT_EQ(firstVertex({}), "v -5.000000 5.000000 1.000000");
    EXPECT_EQ(firstVertex({"--axis", "xy"}), "v -5.000000 5.000000 1.000000");
    EXPECT_EQ(firstVertex({"--axis", "xz"}), "v -5.000000 1.000000 -5.000000");
    EXPECT_EQ(firstVertex({"--axis", "yz"}), "v -1.000000 -5.000000 -5.000000");

    // Brighter to the right and towards the top: each flip reverses one.
    const std::string ramp = image("ramp.ppm", 128, 128, [](int x, int y) {
        return Rgb{uint8_t(x + (127 - y)), 0, 0};
    });
    auto corners = [&](std::vector<std::string> flips) {
        std::vector<std::string> args = {ramp, "--axis", "xz", "-o",
                                         (folder / "ramp.obj").string()};
        args.insert(args.end(), flips.begin(), flips.end());
        EXPECT_EQ(run(args).code, 0);
        const std::string obj = read("ramp.obj");
        return std::pair{rowHeights(obj, 0)[0] < rowHeights(obj, 0)[119],
                         rowHeights(obj, 0)[0] < rowHeights(obj, 119)[0]};
    };
    EXPECT_EQ(corners({}), (std::pair{true, true}));
    EXPECT_EQ(corners({"--flip-x"}), (std::pair{false, true}));
    EXPECT_EQ(corners({"--flip-y"}), (std::pair{true, false}));
    EXPECT_EQ(corners({"--flip-x", "--flip-y"}), (std::pair{false, false}));
}

TEST_F(ConvertCommand, SeveralImagesAreEachNamedAfterThemselves) {
    const std::string a = image("a.ppm", 4, 4, [](int, int) { return redIf(true); });
    const std::string b = image("b.ppm", 4, 4, [](int, int) { return redIf(false); });
    Result result = run({a, b});
    ASSERT_EQ(result.code, 0) << result.err;
    EXPECT_EQ(read("a.obj"), uniformRelief(0, 255));
    EXPECT_EQ(read("b.obj"), uniformRelief(0, 0));
    EXPECT_FALSE(fs::exists(folder / "test.obj"));

    fs::create_directory(folder / "out");
    result = run({a, b, "-o", (folder / "out").string(), "--axis", "xz"});
    ASSERT_EQ(result.code, 0) << result.err;
    EXPECT_EQ(result.out, (folder / "out" / "a.obj").string() + "\n" +
                              (folder / "out" / "b.obj").string() + "\n");
    EXPECT_EQ(read("out/b.obj"), uniformRelief(1, 0));

    // One image and -o naming a folder: named after the image there too.
    ASSERT_EQ(run({a, "-o", (folder / "out").string() + "/"}).code, 0);
    EXPECT_TRUE(fs::exists(folder / "out" / "a.obj"));
}

TEST_F(ConvertCommand, NoTwoImagesEverWriteOneFile) {
    fs::create_directory(folder / "x");
    fs::create_directory(folder / "out");
    TempFolder::writeBytes(folder / "x" / "a.ppm", ppm(2, 2, [](int, int) { return redIf(true); }));
    const std::string a = image("a.ppm", 2, 2, [](int, int) { return redIf(true); });
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{a, (folder / "x" / "a.ppm").string(), "-o",
                                   (folder / "out").string()},
          std::vector<std::string>{a, a}}) {
        const Result result = run(args);
        EXPECT_EQ(result.code, 2);
        EXPECT_NE(result.err.find("would both write"), std::string::npos) << result.err;
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
    }
    EXPECT_TRUE(fs::is_empty(folder / "out"));
    EXPECT_FALSE(fs::exists(folder / "a.obj"));
    // Several images want a folder that exists.
    EXPECT_EQ(run({a, (folder / "x" / "a.ppm").string(), "-o", (folder / "nowhere").string()}).code,
              2);
}

TEST_F(ConvertCommand, ArchiveEntriesWriteBesideTheArchive) {
    FileArray archive;
    PackWriter writer(archive);
    const std::string bytes = ppm(4, 4, [](int, int) { return redIf(true); });
    ASSERT_TRUE(writer.add(String(u"pics/h.ppm"), bytes.data(), int32_t(bytes.size())));
    ASSERT_TRUE(writer.finish());
    fs::create_directory(folder / "art");
    TempFolder::writeBytes(folder / "art" / "set.pack",
                           std::string(reinterpret_cast<char*>(archive.buffer), archive.used));
    const std::string entry = (folder / "art" / "set.pack").string() + ":pics/h.ppm";

    Result result = run({entry});
    ASSERT_EQ(result.code, 0) << result.err;
    EXPECT_EQ(read("art/test.obj"), uniformRelief(0, 255));

    result = run({entry, image("b.ppm", 2, 2, [](int, int) { return redIf(false); })});
    ASSERT_EQ(result.code, 0) << result.err;
    EXPECT_TRUE(fs::exists(folder / "art" / "h.obj"));
    EXPECT_TRUE(fs::exists(folder / "b.obj"));

    result = run({(folder / "art" / "set.pack").string() + ":pics/missing.ppm", "-o",
                  (folder / "m.obj").string()});
    EXPECT_EQ(result.code, 1);
    EXPECT_NE(result.err.find("set.pack' has no entry 'pics/missing.ppm'"), std::string::npos)
        << result.err;
}

TEST_F(ConvertCommand, FailuresAreOneLineEachAndWriteNothing) {
    TempFolder::writeBytes(folder / "fake.png", "this is not a picture at all");
    TempFolder::writeBytes(folder / "empty.png", "");
    fs::create_symlink("loop-b.png", folder / "loop-a.png");
    fs::create_symlink("loop-a.png", folder / "loop-b.png");
    const std::string good = image("good.ppm", 2, 2, [](int, int) { return redIf(true); });
    struct Case {
        std::vector<std::string> args;
        std::string says;
    };
    const std::vector<Case> cases = {
        {{(folder / "missing.png").string()}, "missing.png' does not exist"},
        {{(folder / "fake.png").string()}, "is not an image embossa can decode ("},
        {{(folder / "empty.png").string()},
         "is not an image embossa can decode (the file is empty)"},
        {{folder.path().string()}, "is a folder"},
        {{(folder / "loop-a.png").string()}, "too many levels of symbolic links"},
        {{good, "-o", (folder / "no" / "such" / "out.obj").string()},
         "cannot create a temporary file"},
        {{good, "-o", (folder / "good.ppm").string() + "/x.obj"}, "Not a directory"},
    };
    for (const Case& c : cases) {
        const Result result = run(c.args);
        SCOPED_TRACE(c.args[0]);
        commandrun::expectOneErrorLine(result);
        EXPECT_NE(result.err.find(c.says), std::string::npos) << result.err;
        EXPECT_EQ(result.out, "");
    }
    // The command line never meshes the default checkerboard.
    EXPECT_FALSE(fs::exists(folder / "test.obj"));

    // One bad image among good ones: the good ones are still written.
    const Result mixed = run({(folder / "fake.png").string(), good});
    EXPECT_EQ(mixed.code, 1);
    EXPECT_TRUE(fs::exists(folder / "good.obj"));
    EXPECT_FALSE(fs::exists(folder / "fake.obj"));
}

// A pipe as the image or the output waited forever for its other end; it
// is refused at once. In a child, so a regression ends by the alarm.
TEST_F(ConvertCommand, PipesAreRefusedAsImagesAndAsOutputs) {
    const std::string good = image("good.ppm", 2, 2, [](int, int) { return redIf(true); });
    ASSERT_EQ(::mkfifo((folder / "pipe.ppm").c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo((folder / "pipe.obj").c_str(), 0600), 0);
    const child::Outcome outcome = child::run(
        [&](std::string& report) {
            for (const auto& args :
                 {std::vector<std::string>{(folder / "pipe.ppm").string(), "-o",
                                           (folder / "out.obj").string()},
                  std::vector<std::string>{good, "-o", (folder / "pipe.obj").string()}}) {
                const Result result = run(args);
                report += std::to_string(result.code) + " " + result.err;
            }
            return 0;
        },
        20);
    ASSERT_TRUE(outcome.exited) << "ended by signal " << outcome.status << " (a blocked pipe?)";
    EXPECT_EQ(outcome.report, "1 embossa: '" + (folder / "pipe.ppm").string() +
                                  "' is not a regular file (a pipe, device or socket)\n"
                                  "1 embossa: cannot write '" +
                                  (folder / "pipe.obj").string() +
                                  "': it is not a regular file (a pipe, device or socket)\n");
    EXPECT_FALSE(fs::exists(folder / "out.obj"));
    EXPECT_TRUE(fs::is_fifo(folder / "pipe.obj"));
}

// A name that exists as written is that file; only a name that does not
// exist has its backslashes read as separators.
TEST_F(ConvertCommand, BackslashesSeparateOnlyWhereNoSuchNameExists) {
    fs::create_directory(folder / "q");
    image("q/r.ppm", 4, 4, [](int, int) { return redIf(true); });
    const std::string literal = image("q\\r.ppm", 4, 4, [](int, int) { return redIf(false); });
    Result result = run({literal});
    ASSERT_EQ(result.code, 0) << result.err;
    EXPECT_EQ(result.out, (folder / "test.obj").string() + "\n") << "written beside the image";
    EXPECT_EQ(read("test.obj"), uniformRelief(0, 0)) << "the black file named q\\r.ppm";

    fs::remove(folder / "q\\r.ppm");
    result = run({literal, "-o", (folder / "split.obj").string()});
    ASSERT_EQ(result.code, 0) << result.err;
    EXPECT_EQ(read("split.obj"), uniformRelief(0, 255)) << "now q/r.ppm, the red one";

    // The dialog's "<folder>\test.obj" stays in a folder whose name holds a backslash.
    fs::create_directory(folder / "a\\b");
    const std::string inside = image("a\\b/img.ppm", 4, 4, [](int, int) { return redIf(true); });
    result = run({inside});
    ASSERT_EQ(result.code, 0) << result.err;
    EXPECT_EQ(result.out, (folder / "a\\b" / "test.obj").string() + "\n");
    EXPECT_TRUE(fs::exists(folder / "a\\b" / "test.obj"));
    EXPECT_FALSE(fs::exists(folder / "a"));
}

TEST_F(ConvertCommand, NamesArePrintedWithControlCharactersEscaped) {
    const Result missing = run({(folder / "x\x1B[31m\a\n.png").string()});
    commandrun::expectOneErrorLine(missing);
    EXPECT_NE(missing.err.find("x\\x1B[31m\\x07\\n.png' does not exist"), std::string::npos)
        << missing.err;

    fs::create_directory(folder / "line\nbreak");
    image("line\nbreak/a.ppm", 2, 2, [](int, int) { return redIf(true); });
    const Result written = run({(folder / "line\nbreak" / "a.ppm").string()});
    ASSERT_EQ(written.code, 0) << written.err;
    EXPECT_EQ(written.out, (folder / "line\\nbreak" / "test.obj").string() + "\n");
    EXPECT_TRUE(fs::exists(folder / "line\nbreak" / "test.obj"));
}

TEST_F(ConvertCommand, UsageErrorsExitTwo) {
    const std::string good = image("good.ppm", 2, 2, [](int, int) { return redIf(true); });
    for (const std::vector<std::string>& args : {std::vector<std::string>{},
                                                 {good, "--axis", "zz"},
                                                 {good, "--axis"},
                                                 {good, "--bogus"},
                                                 {good, "-o"},
                                                 {""},
                                                 {good, ""},
                                                 {good, "-o", ""},
                                                 {good, "-j"},
                                                 {good, "-j", "0"},
                                                 {good, "-j", "two"},
                                                 {good, "-j", "-1"},
                                                 {good, "--jobs", "1025"}}) {
        const Result result = run(args);
        EXPECT_EQ(result.code, 2);
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
        EXPECT_EQ(result.err.find("is a folder"), std::string::npos) << result.err;
    }
    // An output no format is known for is refused before anything is converted.
    const Result unknown = run({good, "-o", (folder / "out.txt").string()});
    commandrun::expectOneErrorLine(unknown, 2);
    EXPECT_NE(unknown.err.find("names no format"), std::string::npos) << unknown.err;
    EXPECT_FALSE(fs::exists(folder / "out.txt"));
}

// Several threads build reliefs, but files, lines and status come out as
// converting one image after another gives them: big and small images so
// that they finish out of order, failures of every stage among them.
TEST_F(ConvertCommand, ABatchOnSeveralThreadsReportsAndWritesAsOneAtATime) {
    std::vector<std::string> images;
    const auto add = [&](const std::string& name, const std::vector<uint8_t>& bytes) {
        TempFolder::writeBytes(folder / name, std::string(bytes.begin(), bytes.end()));
        images.push_back((folder / name).string());
    };
    add("big.jpg", testimages::jpeg(1500, 1100));
    add("small.png", testimages::png(40, 30));
    images.push_back((folder / "missing.png").string());
    add("wide.jpg", testimages::jpeg(900, 90, {1, 1, 1}));
    add("fake.png", {'n', 'o', 'p', 'e'});
    add("blocked.png", testimages::png(20, 20));
    add("tiny.png", testimages::png(1, 1, testimages::PngKind::Gray));
    images.push_back(image("last.ppm", 3, 3, [](int x, int y) { return redIf(x == y); }));
    fs::create_directory(folder / "out");
    // A folder where blocked.png's relief would go: its save fails.
    fs::create_directory(folder / "out" / "blocked.obj");

    struct Run {
        int code;
        std::string transcript; // stdout and stderr as one stream
        std::map<std::string, std::string> files;
    };
    const auto convert = [&](std::vector<std::string> extra) {
        for (const auto& entry : fs::directory_iterator(folder / "out"))
            if (entry.is_regular_file()) fs::remove(entry.path());
        std::vector<std::string> args = images;
        args.push_back("-o");
        args.push_back((folder / "out").string());
        args.insert(args.end(), extra.begin(), extra.end());
        std::FILE* both = std::tmpfile();
        Run run;
        run.code = app::runConvertCommand(args, both, both);
        run.transcript = commandrun::drain(both);
        for (const auto& entry : fs::directory_iterator(folder / "out"))
            if (entry.is_regular_file())
                run.files[entry.path().filename().string()] = TempFolder::readBytes(entry.path());
        return run;
    };
    const Run alone = convert({"-j", "1"});
    EXPECT_EQ(alone.code, 1);
    EXPECT_EQ(alone.files.size(), 5u);
    const std::string transcript = alone.transcript;
    const size_t missing = transcript.find("missing.png' does not exist");
    const size_t wide = transcript.find("wide.obj");
    const size_t fake = transcript.find("fake.png' is not an image");
    const size_t blocked = transcript.find("blocked.obj");
    EXPECT_TRUE(transcript.find("big.obj") < missing && missing < wide && wide < fake &&
                fake < blocked && blocked < transcript.find("last.obj"))
        << transcript;
    for (const char* threads : {"2", "3", "8"}) {
        const Run together = convert({"-j", threads});
        EXPECT_EQ(together.code, alone.code) << threads;
        EXPECT_EQ(together.transcript, alone.transcript) << threads;
        EXPECT_TRUE(together.files == alone.files) << threads << " threads wrote other bytes";
    }
    const Run everyCore = convert({});
    EXPECT_EQ(everyCore.transcript, alone.transcript);
}

TEST_F(ConvertCommand, OutputExtensionChoosesTheFormat) {
    const std::string good = image("good.ppm", 2, 2, [](int, int) { return redIf(true); });
    ASSERT_EQ(run({good, "-o", (folder / "good.STL").string()}).code, 0);
    EXPECT_EQ(fs::file_size(folder / "good.STL"), 84u + 50u * 28804u);
}

} // namespace
