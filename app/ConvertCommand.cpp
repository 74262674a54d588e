// SPDX-License-Identifier: MIT
#include "app/ConvertCommand.h"

#include <map>
#include <memory>
#include <string_view>

#include "app/CpuDevice.h"
#include "app/Embossa.h"
#include "app/ImageInput.h"
#include "app/MeshFile.h"
#include "core/File.h"
#include "core/FileInterface.h"
#include "render/StructTexture.h"
#include "sys/FileSystem.h"
#include "sys/Unicode.h"

namespace app {
namespace {

constexpr int kFailed = 1;
constexpr int kUsage = 2;

std::string quoted(const std::string& text) {
    return "'" + sys::printable(text) + "'";
}
std::string quoted(const String& text) {
    return quoted(sys::utf16ToUtf8(text.view()));
}

// The file an image lives in: the archive for "archive.pack:entry".
std::u16string_view container(std::u16string_view image) {
    const PackEntryPath split = splitPackEntryPath(image);
    return split.isEntry ? split.archive : image;
}

// "a.png" gives "a"; the entry's own name for an archive entry.
std::u16string stem(std::u16string_view image) {
    if (const PackEntryPath split = splitPackEntryPath(image); split.isEntry) image = split.entry;
    const size_t cut = lastSeparator(image);
    std::u16string_view name = cut == std::u16string_view::npos ? image : image.substr(cut + 1);
    const size_t dot = name.rfind(u'.');
    if (dot != std::u16string_view::npos && dot > 0) name = name.substr(0, dot);
    return std::u16string(name);
}

// The dialog's decode step (loadHeightmap) without its silent fallback: the
// image file's bytes through the texture manager into the preview.
bool decodeIntoPreview(Embossa& tool, const String& image, std::string& why) {
    StructTexture heightmap;
    if (!heightmap.loadD3DXFromFile(String::borrow(u"Heightmap"), tool.imageFile, 1,
                                    D3DFMT_A8R8G8B8)) {
        // The texture manager logs only a code; the decoder says why.
        why = imageDecodeProblem(image, tool.imageFile);
        if (why.empty()) why = quoted(image) + " decodes, but no texture could be made of it";
        return false;
    }
    if (!heightmap.copyToBitmap(tool.preview)) {
        why = quoted(image) + " could not be drawn into the preview";
        return false;
    }
    return true;
}

struct Job {
    std::string argument;
    String image;  // full path
    String output; // engine path text
};

struct Options {
    std::vector<std::string> images;
    std::string output;
    bool hasOutput = false;
    int32_t axisMode = 0; // as the dialog starts: x / y
    int32_t flipFlags = 0;
};

// Returns an empty text, or the usage problem.
std::string parse(const std::vector<std::string>& args, Options& options) {
    bool onlyImages = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg.empty()) {
            return "an image path is empty";
        } else if (onlyImages || arg[0] != '-') {
            options.images.push_back(arg);
        } else if (arg == "--") {
            onlyImages = true;
        } else if (arg == "-o" || arg == "--output") {
            if (i + 1 >= args.size() || args[i + 1].empty())
                return arg + " needs a file or folder name";
            if (options.hasOutput) return "-o may be given once";
            options.output = args[++i];
            options.hasOutput = true;
        } else if (arg == "--axis") {
            if (i + 1 >= args.size()) return "--axis needs xy, xz or yz";
            const std::string& axis = args[++i];
            // The radio buttons' numbering: "x / y" 0, "x / z" 1, "y / z" 2.
            if (axis == "xy")
                options.axisMode = 0;
            else if (axis == "xz")
                options.axisMode = 1;
            else if (axis == "yz")
                options.axisMode = 2;
            else
                return "--axis takes xy, xz or yz, not " + quoted(axis);
        } else if (arg == "--flip-x") {
            options.flipFlags |= 1;
        } else if (arg == "--flip-y") {
            options.flipFlags |= 2;
        } else {
            return "unknown convert option " + quoted(arg);
        }
    }
    if (options.images.empty()) return "convert needs at least one image";
    return {};
}

// Fills the jobs, or returns the usage problem. No two jobs share an output
// and no output is one of the images.
std::string plan(const Options& options, std::vector<Job>& jobs) {
    String folder;
    bool named = options.images.size() > 1;
    if (options.hasOutput) {
        const std::u16string wide = sys::utf8ToUtf16(options.output);
        const bool endsInSeparator = !wide.empty() && (wide.back() == u'/' || wide.back() == u'\\');
        if (named || endsInSeparator || sys::isFolder(wide)) {
            if (!sys::isFolder(wide))
                return named
                           ? "with several images, -o must name an existing folder"
                           : "-o names folder " + quoted(options.output) + ", which does not exist";
            folder = String(sys::fullPath(wide));
            named = true;
        } else if (mesh_file::formatOf(String(wide)) == mesh_file::Format::None) {
            // Refused before anything is converted: no image could be saved there.
            return "-o " + quoted(options.output) +
                   ": the extension names no format embossa writes (.obj, .stl or .ply)";
        }
    }
    std::map<std::string, std::string> claimed; // native output path -> argument
    for (const std::string& argument : options.images) {
        Job job;
        job.argument = argument;
        job.image = String(sys::fullPath(sys::utf8ToUtf16(argument)));
        if (options.hasOutput && folder.length == 0)
            job.output = String(sys::fullPath(sys::utf8ToUtf16(options.output)));
        else
            job.output = convertOutputPath(job.image, folder, named);
        claimed.emplace(sys::nativePath(job.image.view()), "");
        jobs.push_back(std::move(job));
    }
    for (const Job& job : jobs) {
        const std::string target = sys::nativePath(job.output.view());
        auto [place, fresh] = claimed.emplace(target, job.argument);
        if (fresh) continue;
        if (place->second.empty())
            return quoted(job.argument) + " would be written over an image being converted (" +
                   quoted(target) + ")";
        return quoted(place->second) + " and " + quoted(job.argument) + " would both write " +
               quoted(target) + "; give -o a folder or rename one";
    }
    return {};
}

} // namespace

String convertOutputPath(const String& image, const String& folder, bool namedAfterImage) {
    const std::u16string_view file = container(image.view());
    if (!namedAfterImage) return Embossa::savePath(String(file));
    std::u16string directory(folder.view());
    if (directory.empty()) {
        const size_t cut = lastSeparator(file);
        if (cut != std::u16string_view::npos) directory = file.substr(0, cut);
    }
    while (directory.size() > 1 && (directory.back() == u'/' || directory.back() == u'\\'))
        directory.pop_back();
    return String(directory + u"/" + stem(image.view()) + u".obj");
}

int runConvertCommand(const std::vector<std::string>& args, std::FILE* out, std::FILE* err) {
    Options options;
    std::vector<Job> jobs;
    std::string problem = parse(args, options);
    if (problem.empty()) problem = plan(options, jobs);
    if (!problem.empty()) {
        std::fprintf(err, "embossa: %s (see --help)\n", sys::printable(problem).c_str());
        return kUsage;
    }

    CpuDevice device;
    if (!device.open(problem)) {
        std::fprintf(err, "embossa: %s\n", problem.c_str());
        return kFailed;
    }
    // One application object for the whole run, set up as the dialog sets
    // it up, but with no window: the preview is 32 bits, 120 x 120.
    auto tool = std::make_unique<Embossa>();
    tool->axisMode = options.axisMode;
    tool->flipFlags = options.flipFlags;
    tool->preview.create(nullptr, 0, 32, 120, 120);

    int status = 0;
    for (const Job& job : jobs) {
        auto fail = [&](const std::string& message) {
            std::fprintf(err, "embossa: %s\n", sys::printable(message).c_str());
            status = kFailed;
        };
        // Read as given, as the dialog reads what it was handed; messages
        // then name the file the way the user wrote it.
        const String image(sys::utf8ToUtf16(job.argument));
        if (!readImageInput(image, tool->imageFile, problem)) {
            fail(problem);
            continue;
        }
        if (!decodeIntoPreview(*tool, image, problem)) {
            fail(problem);
            continue;
        }
        tool->rebuildMesh();
        if (!mesh_file::save(tool->mesh, job.output, &problem)) {
            fail(problem);
            continue;
        }
        std::fprintf(out, "%s\n", sys::printable(sys::nativePath(job.output.view())).c_str());
    }
    return status;
}

} // namespace app
