// SPDX-License-Identifier: MIT
#include "app/ScriptCommand.h"

#include <cerrno>
#include <cstring>
#include <memory>
#include <string_view>

#include "core/File.h"
#include "core/FileInterface.h"
#include "core/Pack.h"
#include "core/UserInput.h"
#include "render/D3D/SwapChain.h"
#include "script/ObjectBase.h"
#include "script/Reader.h"
#include "sys/FileSystem.h"
#include "sys/Unicode.h"

namespace app {
namespace {

constexpr int kFailed = 1;
constexpr int kUsage = 2;
constexpr const char* kStandardInputName = "<stdin>";

struct Source {
    std::string argument; // as given: a path or "archive.pack:entry"
    std::string name;     // as messages name it
    bool standardInput = false;
    std::string text;
};

std::string quotedText(std::u16string_view text) {
    return "'" + sys::printable(sys::utf16ToUtf8(text)) + "'";
}

// The whole stream, refused unseen when it is larger than a script may be.
// `problem` is the complete line to print.
bool readStream(FileInterface& stream, const Source& source, const std::string& shown,
                std::string& text, std::string& problem) {
    const int32_t size = stream.size();
    if (size < 0 || uint64_t(size) > script::kMaxScriptBytes) {
        problem = script::fileTooLarge(source.name, uint64_t(size < 0 ? 0 : size)).text();
        return false;
    }
    text.resize(size_t(size));
    int32_t done = 0;
    while (done < size) {
        const int32_t got = stream.read(text.data() + done, size - done);
        if (got <= 0) break;
        done += got;
    }
    if (done != size) {
        problem = "embossa: " + shown + " could not be read to its end";
        return false;
    }
    return true;
}

bool readFile(const Source& source, std::string& text, std::string& problem) {
    const std::u16string path = sys::utf8ToUtf16(source.argument);
    const PackEntryPath split = splitPackEntryPath(path);
    if (!split.isEntry) {
        ::File file{String(path), 0, 1, 1};
        if (!file.isOpen) {
            problem = "embossa: " + sys::quotedPath(path) + " " +
                      sys::openFailureReason(path, file.openError);
            return false;
        }
        return readStream(file, source, sys::quotedPath(path), text, problem);
    }
    const String archivePath(split.archive);
    const std::string shownArchive = sys::quotedPath(split.archive);
    // Opened here rather than by Pack so that a missing archive says why.
    auto archive = std::make_unique<::File>(archivePath, 0, 1, 1);
    if (!archive->isOpen) {
        problem = "embossa: " + shownArchive + " " +
                  sys::openFailureReason(split.archive, archive->openError);
        return false;
    }
    Pack pack(archive.release(), archivePath);
    if (!pack.valid) {
        problem = "embossa: " + shownArchive + " is not a valid pack archive: " +
                  sys::printable(sys::utf16ToUtf8(pack.problem.view()));
        return false;
    }
    Pack::File entry(&pack, String(split.entry));
    if (!entry.isOpen) {
        problem = "embossa: " + shownArchive + " has no entry " + quotedText(split.entry);
        return false;
    }
    return readStream(entry, source, shownArchive + " entry " + quotedText(split.entry), text,
                      problem);
}

// Standard input has no size to ask for: it is read until it ends or
// passes the limit.
bool readInput(std::FILE* in, const Source& source, std::string& text, std::string& problem) {
    char buffer[65536];
    for (;;) {
        const size_t got = std::fread(buffer, 1, sizeof buffer, in);
        if (text.size() + got > script::kMaxScriptBytes) {
            problem = script::fileTooLarge(source.name, text.size() + got).text();
            return false;
        }
        text.append(buffer, got);
        if (got < sizeof buffer) break;
    }
    if (std::ferror(in)) {
        problem =
            std::string("embossa: the standard input could not be read: ") + std::strerror(errno);
        return false;
    }
    return true;
}

// What every program of one run sees. Nothing updates the input record, so
// all keys and buttons stay up; the camera belongs to no window.
struct Environment {
    D3D::Device::SwapChain camera{nullptr};
    UserInput input;
    SharedPtr<Script::ObjectBase> cameraValue = createObject(TypeCamera, &camera);
    SharedPtr<Script::ObjectBase> keyboardValue = createObject(TypeKeyboard, input.keyDown);
    SharedPtr<Script::ObjectBase> mouseValue = createObject(TypeMouse, &input);

    std::vector<script::Predeclared> globals() const {
        return {{"camera", cameraValue}, {"keyboard", keyboardValue}, {"mouse", mouseValue}};
    }
};

// Returns an empty text, or the usage problem.
std::string parse(const std::vector<std::string>& args, std::vector<Source>& sources) {
    bool onlyFiles = false;
    bool standardInput = false;
    for (const std::string& arg : args) {
        if (arg.empty()) return "a script path is empty";
        if (!onlyFiles && arg == "--") {
            onlyFiles = true;
            continue;
        }
        if (!onlyFiles && arg == "-") {
            if (standardInput) return "'-' (the standard input) may be given once";
            standardInput = true;
            sources.push_back({arg, kStandardInputName, true, {}});
            continue;
        }
        if (!onlyFiles && arg[0] == '-')
            return "unknown script option '" + sys::printable(arg) + "'";
        sources.push_back({arg, arg, false, {}});
    }
    if (sources.empty()) return "script needs at least one file, or '-' for the standard input";
    return {};
}

} // namespace

int runScriptCommand(const std::vector<std::string>& args, std::FILE* out, std::FILE* err,
                     std::FILE* in) {
    std::vector<Source> sources;
    if (const std::string problem = parse(args, sources); !problem.empty()) {
        std::fprintf(err, "embossa: %s (see --help)\n", problem.c_str());
        return kUsage;
    }

    Environment environment;
    const std::vector<script::Predeclared> globals = environment.globals();
    std::vector<std::unique_ptr<script::Program>> programs;
    bool failed = false;
    for (Source& source : sources) {
        std::string problem;
        const bool read = source.standardInput ? readInput(in, source, source.text, problem)
                                               : readFile(source, source.text, problem);
        if (!read) {
            std::fprintf(err, "%s\n", problem.c_str());
            failed = true;
            continue;
        }
        script::ReadError error;
        programs.push_back(script::readProgram(source.text, source.name, globals, error));
        if (!programs.back()) {
            std::fprintf(err, "%s\n", error.text().c_str());
            failed = true;
        }
    }
    if (failed) return kFailed;

    std::FILE* previous = scriptOutput();
    setScriptOutput(out);
    for (const auto& program : programs) program->run();
    setScriptOutput(previous);
    std::fflush(out);
    return 0;
}

} // namespace app
