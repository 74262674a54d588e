// SPDX-License-Identifier: MIT
#include "app/CommandLine.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "app/ConvertCommand.h"
#include "app/PackCommand.h"
#include "app/PlayCommand.h"
#include "app/ScriptCommand.h"
#include "app/WinMain.h"
#include "core/FileInterface.h"
#include "core/Log.h"
#include "sys/FileSystem.h"
#include "sys/Unicode.h"
#include "win/Win.h"

namespace app {
namespace {

constexpr const char* kUsage =
    "Usage: embossa [--log FILE] [IMAGE]\n"
    "       embossa [--log FILE] convert IMAGE... [-o OUT] [--axis xy|xz|yz] [--flip-x] "
    "[--flip-y] [-j N]\n"
    "               [--grid N] [--size W] [--relief H] [--base B] [--channel C] [--invert]\n"
    "               [--precise]\n"
    "       embossa [--log FILE] pack create ARCHIVE FILE|FOLDER...\n"
    "       embossa [--log FILE] pack list ARCHIVE\n"
    "       embossa [--log FILE] pack extract ARCHIVE [FOLDER] [--force]\n"
    "       embossa [--log FILE] script FILE... | -\n"
    "       embossa [--log FILE] play SOUND [--loop] [--volume V] [--pitch P] [--at X,Y,Z]\n"
    "               [--seconds S] [--render OUT.wav]\n"
    "       embossa --help | --version\n"
    "\n"
    "Embossa turns an image into a closed 3D relief block saved as a Wavefront OBJ file.\n"
    "\n"
    "Converting without a window:\n"
    "  convert IMAGE... [-o OUT] [--axis xy|xz|yz] [--flip-x] [--flip-y] [-j N]\n"
    "      builds the relief of each image as \"Save\" in the tool would, with the\n"
    "      axis pair (default xy) and mirror flags given. One image goes to OUT,\n"
    "      or to test.obj in the image's folder as \"Save\" does; several images\n"
    "      go to NAME.obj each (a.png -> a.obj), in folder OUT or beside the\n"
    "      image. An IMAGE may be ARCHIVE.pack:ENTRY (output beside the archive).\n"
    "      The extension of OUT picks the format: .obj, .stl (binary) or .ply\n"
    "      (binary). An existing file is replaced only by a complete new one;\n"
    "      in a folder that allows no new file, it is rewritten in place.\n"
    "      Prints each file written; exits 1 if an image could not be read,\n"
    "      decoded or saved, 2 for a usage error (nothing is converted).\n"
    "      With -j N (--jobs N), N images are converted at once (default: one per\n"
    "      core); files, lines and exit status are as converting one after another.\n"
    "      The relief options; without them the file is exactly what \"Save\" writes:\n"
    "      --grid N     heights on an N x N grid, 2 to 1024 (default 120)\n"
    "      --size W     side of the square footprint, 0.01 to 10000 (default 10)\n"
    "      --relief H   height range of the top, 0 to 10000 (default 1)\n"
    "      --base B     the top's lowest level above the flat bottom, 0.01 to\n"
    "                   10000 (default 1)\n"
    "      --channel C  red, green, blue, alpha or luma (Rec. 709) carries the\n"
    "                   height (default red)\n"
    "      --invert     dark is high\n"
    "      --precise    heights from the decoded image at its full precision\n"
    "                   (16-bit PNG and PPM, PFM, HDR), bilinear, instead of\n"
    "                   the 8-bit preview; float samples are clamped to 0..1\n"
    "      Lengths have no unit; slicers read STL numbers as millimetres. With\n"
    "      --axis xy (the default) the height runs along +z, as printers expect.\n"
    "\n"
    "Pack archives:\n"
    "  pack create ARCHIVE FILE|FOLDER...\n"
    "      packs files, and folders with everything below them in sorted order;\n"
    "      entry names are the relative paths as given, with '/' separators.\n"
    "      Absolute paths, drive prefixes (C:), '..' and names outside\n"
    "      Windows-1252 are refused, and so is an ARCHIVE that is one of the\n"
    "      inputs or lies in an input folder. ARCHIVE is replaced only once the\n"
    "      new archive is complete.\n"
    "  pack list ARCHIVE\n"
    "      prints each entry's size and name.\n"
    "  pack extract ARCHIVE [FOLDER] [--force]\n"
    "      writes every entry below FOLDER (default: the current folder),\n"
    "      creating sub-folders, or nothing at all. Entries with absolute names,\n"
    "      drive prefixes or '..', entries that clash with each other and\n"
    "      existing files are found before anything is written (--force replaces\n"
    "      existing files instead); a failure while writing removes what was\n"
    "      written and says why.\n"
    "\n"
    "Scripts:\n"
    "  script FILE... | -\n"
    "      reads every script (a file, ARCHIVE.pack:ENTRY, or - for the standard\n"
    "      input) before any runs, then runs each once in the order given; print\n"
    "      writes to the standard output. The scripts see camera, keyboard and\n"
    "      mouse; no key or button is down. A file that cannot be read or holds\n"
    "      a mistake is reported as FILE:LINE:COLUMN: what was expected and what\n"
    "      was found, and then nothing runs (exit 1). Files over 16 MiB are refused.\n"
    "\n"
    "Sounds:\n"
    "  play SOUND [--loop] [--volume V] [--pitch P] [--at X,Y,Z] [--seconds S]\n"
    "       [--render OUT.wav]\n"
    "      plays a WAV (8- or 16-bit PCM, mono or stereo) or Ogg Vorbis sound, or\n"
    "      an ARCHIVE.pack:ENTRY, until it ends or for S seconds (at most 3600).\n"
    "      --volume 0..1 (default 1), --pitch 0.01..4 (default 1), --at places a\n"
    "      mono sound in space, the listener at the origin facing +Z. --render\n"
    "      mixes offline, faster than real time, into a 44,100 Hz 16-bit stereo\n"
    "      WAV holding exactly what the device would have played (with --loop\n"
    "      it needs --seconds). Exits 1 if the sound cannot be read or played or\n"
    "      there is no audio device.\n"
    "\n"
    "Only regular files and archive entries are read or written; pipes and\n"
    "devices are refused. A path that exists is taken as written; in one that\n"
    "does not, '\\' separates folders as '/' does. Exit status: 0 done,\n"
    "1 failed, 2 usage error.\n"
    "\n"
    "Options:\n"
    "  --log FILE   append the developer log to FILE\n"
    "  --help       show this text and exit\n"
    "  --version    show the version and exit\n";

constexpr int kFailed = 1;
constexpr int kUsageError = 2;

// Keeps the --log file open for the whole run and closes it at exit.
struct LogFile {
    std::FILE* file = nullptr;
    ~LogFile() {
        if (file) {
            setLogSink(nullptr);
            std::fclose(file);
        }
    }
};

// The dialog tool's exit code is the entry function's -1, which the shell
// sees as 255.
int runDialogTool(std::FILE* err) {
    if (win::displayMissing()) {
        std::fputs("embossa: no display to show the dialog on; "
                   "'embossa convert IMAGE' works without one\n",
                   err);
        win::shutdown();
        return 1;
    }
    static int instanceTag;
    const int result = WinMain(&instanceTag);
    win::shutdown();
    return result;
}

// Global options may stand anywhere before a "--"; the words after it go to
// the command unread, so a file named "--help" can still be converted.
// `writeError` is the reason a write to `out` failed, where it is known
// only at the write.
int runCommand(const std::vector<std::string>& args, LogFile& logFile, std::FILE* out,
               std::FILE* err, int& writeError) {
    std::vector<std::string> rest;
    bool showVersion = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--") {
            rest.insert(rest.end(), args.begin() + std::ptrdiff_t(i), args.end());
            break;
        }
        if (arg == "--help" || arg == "-h") {
            // The text is longer than the stream's buffer, so a full disk
            // shows at this write, and the final flush no longer knows why.
            if (std::fputs(kUsage, out) == EOF) writeError = errno;
            return 0;
        }
        if (arg == "--version") {
            showVersion = true;
            continue;
        }
        if (arg == "--log") {
            if (i + 1 >= args.size()) {
                std::fputs("embossa: --log needs a file name\n", err);
                return kUsageError;
            }
            const std::u16string path = sys::utf8ToUtf16(args[++i]);
            // Through the file layer, so a pipe cannot stall the start.
            int error = 0;
            // A developer's log may also go to a terminal or a pipe that is
            // being read (--log /dev/stderr); one nobody reads is refused.
            const int descriptor = sys::openFile(
                path, sys::OpenWriteOnly | sys::OpenAppend | sys::OpenCreate | sys::OpenStream,
                error);
            logFile.file = descriptor >= 0 ? ::fdopen(descriptor, "a") : nullptr;
            if (!logFile.file) {
                sys::closeFile(descriptor);
                const int why = error ? error : errno;
                std::fprintf(err, "embossa: log file %s %s\n", sys::quotedPath(path).c_str(),
                             why == ENXIO ? "is a pipe that nobody reads"
                                          : sys::openFailureReason(path, why).c_str());
                return kUsageError;
            }
            std::FILE* file = logFile.file;
            setLogSink([file](const String& line) {
                std::string text = sys::utf16ToUtf8(line.view());
                std::fputs(text.c_str(), file);
                if (text.empty() || text.back() != '\n') std::fputc('\n', file);
            });
            continue;
        }
        rest.push_back(arg);
    }
    if (showVersion) {
        if (!rest.empty()) {
            std::fprintf(err, "embossa: --version takes no other words, not '%s' (see --help)\n",
                         sys::printable(rest[0]).c_str());
            return kUsageError;
        }
        std::fprintf(out, "embossa %s\n", EMBOSSA_VERSION);
        return 0;
    }

    if (!rest.empty() && rest[0] == "--") rest.erase(rest.begin());
    if (!rest.empty() && rest[0] == "convert")
        return runConvertCommand(std::vector<std::string>(rest.begin() + 1, rest.end()), out, err);
    if (!rest.empty() && rest[0] == "pack")
        return runPackCommand(std::vector<std::string>(rest.begin() + 1, rest.end()), out, err);
    if (!rest.empty() && rest[0] == "play")
        return runPlayCommand(std::vector<std::string>(rest.begin() + 1, rest.end()), out, err);
    if (!rest.empty() && rest[0] == "script")
        return runScriptCommand(std::vector<std::string>(rest.begin() + 1, rest.end()), out, err);
    if (rest.size() > 1) {
        std::fprintf(err, "embossa: unknown command '%s' (see --help)\n",
                     sys::printable(rest[0]).c_str());
        return kUsageError;
    }
    if (rest.size() == 1) {
        const std::u16string path = sys::utf8ToUtf16(rest[0]);
        const PackEntryPath split = splitPackEntryPath(path);
        // The dialog opens an image that is there; a word that names nothing
        // is more likely a mistyped command than a picture to show.
        if (!sys::fileExists(split.isEntry ? split.archive : std::u16string_view(path))) {
            std::fprintf(err, "embossa: '%s' is neither a command nor a file (see --help)\n",
                         sys::printable(rest[0]).c_str());
            return kUsageError;
        }
        application().pendingImage = path.c_str();
    }
    return runDialogTool(err);
}

} // namespace

int runCommandLine(const std::vector<std::string>& args, std::FILE* out, std::FILE* err) {
    LogFile logFile;
    int writeError = 0;
    const int status = runCommand(args, logFile, out, err, writeError);
    // Output that never arrived (a full disk, a closed pipe) is a failure
    // too, even when everything else worked.
    if (std::fflush(out) != 0) writeError = errno;
    if (writeError != 0 || std::ferror(out)) {
        std::fprintf(err, "embossa: cannot write to the standard output%s%s\n",
                     writeError ? ": " : "", writeError ? std::strerror(writeError) : "");
        return status == 0 ? kFailed : status;
    }
    return status;
}

} // namespace app
