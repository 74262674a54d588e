// SPDX-License-Identifier: MIT
#include "app/ConvertCommand.h"

#include <algorithm>
#include <charconv>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string_view>
#include <system_error>
#include <thread>

#include "app/CpuDevice.h"
#include "app/Embossa.h"
#include "app/ImageInput.h"
#include "app/MeshFile.h"
#include "app/PreviewDecode.h"
#include "app/ReliefBlock.h"
#include "app/ReliefHeights.h"
#include "core/File.h"
#include "core/FileInterface.h"
#include "render/PreviewImage.h"
#include "sys/FileSystem.h"
#include "sys/ThreadStart.h"
#include "sys/Unicode.h"

namespace app {
namespace {

constexpr int kFailed = 1;
constexpr int kUsage = 2;
constexpr int32_t kPreviewSide = 120; // the dialog's preview

// The relief options' ranges. A grid of 1024 already makes an 80 MB OBJ
// file; the lengths allow anything from a coin to a wall panel in mm.
constexpr int kMinGrid = 2, kMaxGrid = 1024;
constexpr float kMinLength = 0.01f, kMaxLength = 10000.0f;

std::string quoted(const std::string& text) {
    return "'" + sys::printable(text) + "'";
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

struct Job {
    std::string argument;
    String image;  // full path
    String output; // engine path text
};

// What every relief of one run is built with; the defaults are the dialog's.
struct ReliefSettings {
    int textureLimit = 0;
    int32_t grid = kPreviewSide;
    ReliefShape shape; // its axis mode starts as the dialog's: x / y
    HeightChannel channel = HeightChannel::Red;
    bool invert = false;
    bool precise = false;
};

struct Options {
    std::vector<std::string> images;
    std::string output;
    bool hasOutput = false;
    ReliefSettings relief;
    int jobs = 0; // 0: one per core
};

// The most -j accepts; far more than any machine has cores.
constexpr int kMaxJobs = 1024;

// Digits only, within [low, high].
bool parseWhole(const std::string& text, int low, int high, int& value) {
    if (text.empty() || text.size() > 9) return false;
    int parsed = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        parsed = parsed * 10 + (c - '0');
    }
    if (parsed < low || parsed > high) return false;
    value = parsed;
    return true;
}

// A decimal number within [low, high], written whole; no NaN or infinity.
bool parseLength(const std::string& text, float low, float high, float& value) {
    float parsed = 0.0f;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, parsed);
    if (error != std::errc() || stop != end || !(parsed >= low && parsed <= high)) return false;
    value = parsed;
    return true;
}

std::string rangeText(float low, float high) {
    char text[64];
    std::snprintf(text, sizeof text, "%g to %g", double(low), double(high));
    return text;
}

// Reads the value of option `arg` at args[i + 1] with `read`; returns the
// usage problem, naming the range, or an empty text.
template <class Read>
std::string optionValue(const std::vector<std::string>& args, size_t& i, const std::string& what,
                        Read read) {
    const std::string& arg = args[i];
    if (i + 1 >= args.size()) return arg + " needs " + what;
    if (!read(args[i + 1])) return arg + " takes " + what + ", not " + quoted(args[i + 1]);
    ++i;
    return {};
}

// Returns an empty text, or the usage problem.
std::string parse(const std::vector<std::string>& args, Options& options) {
    bool onlyImages = false;
    ReliefSettings& relief = options.relief;
    ReliefShape& shape = relief.shape;
    std::string problem;
    for (size_t i = 0; i < args.size() && problem.empty(); ++i) {
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
                shape.axisMode = 0;
            else if (axis == "xz")
                shape.axisMode = 1;
            else if (axis == "yz")
                shape.axisMode = 2;
            else
                return "--axis takes xy, xz or yz, not " + quoted(axis);
        } else if (arg == "-j" || arg == "--jobs") {
            if (i + 1 >= args.size() || !parseWhole(args[i + 1], 1, kMaxJobs, options.jobs))
                return arg + " needs a number of images to convert at once, 1 to " +
                       std::to_string(kMaxJobs);
            ++i;
        } else if (arg == "--flip-x") {
            shape.flipFlags |= 1;
        } else if (arg == "--flip-y") {
            shape.flipFlags |= 2;
        } else if (arg == "--grid") {
            problem = optionValue(args, i,
                                  "a whole number from " + std::to_string(kMinGrid) + " to " +
                                      std::to_string(kMaxGrid),
                                  [&](const std::string& text) {
                                      return parseWhole(text, kMinGrid, kMaxGrid, relief.grid);
                                  });
        } else if (arg == "--size" || arg == "--base") {
            float& length = arg == "--size" ? shape.width : shape.base;
            problem = optionValue(args, i, "a number from " + rangeText(kMinLength, kMaxLength),
                                  [&](const std::string& text) {
                                      return parseLength(text, kMinLength, kMaxLength, length);
                                  });
        } else if (arg == "--relief") {
            // A relief of 0 is a plain slab, which is still a closed block.
            problem = optionValue(args, i, "a number from " + rangeText(0.0f, kMaxLength),
                                  [&](const std::string& text) {
                                      return parseLength(text, 0.0f, kMaxLength, shape.relief);
                                  });
        } else if (arg == "--channel") {
            problem = optionValue(
                args, i, "red, green, blue, alpha or luma",
                [&](const std::string& text) { return channelNamed(text, relief.channel); });
        } else if (arg == "--invert") {
            relief.invert = true;
        } else if (arg == "--precise") {
            relief.precise = true;
        } else {
            return "unknown convert option " + quoted(arg);
        }
    }
    if (!problem.empty()) return problem;
    shape.depth = shape.width; // the footprint is square
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

// One image on its way to a relief: opened on the main thread, decoded and
// built on any, saved on the main thread again, in the order given.
struct Slot {
    const Job* job = nullptr;
    ImageStream input;
    std::string problem;   // set when the image could not be read or decoded
    bool done = false;     // the relief is built, or `problem` says why not
    PreviewPixels preview; // empty when heights come from the samples
    HeightGrid heights;
    IndexedMesh mesh;
    std::vector<char> bytes; // the file's, reused from image to image

    explicit Slot(int32_t previewSide) : preview(previewSide, previewSide) {}
};

// The dialog's decode and relief block for the opened image, on a preview of
// the grid's size, or straight from the decoded samples. Safe on any
// thread: no log, no texture list, no window.
void buildRelief(Slot& slot, const ReliefSettings& settings) {
    const String image(sys::utf8ToUtf16(slot.job->argument));
    std::string reason;
    HRESULT decoded;
    if (settings.precise) {
        decoded = readSampleHeights(slot.input, settings.grid, settings.channel, settings.invert,
                                    slot.heights, reason);
    } else {
        decoded =
            preview_image::draw(slot.input, settings.textureLimit, slot.preview.colors, reason);
        if (SUCCEEDED(decoded))
            readPixelHeights(slot.preview, settings.channel, settings.invert, slot.heights);
    }
    if (FAILED(decoded)) {
        slot.problem = slot.input.readFailed() ? readFailure(image)
                                               : decodeFailure(image, slot.input.size(), reason);
        return;
    }
    slot.input.close();
    buildBlock(slot.heights, settings.shape, slot.mesh);
}

// Reliefs built on up to `threads` threads while the main thread opens the
// images ahead and saves and reports each in turn, so files, lines and
// status come out exactly as converting one image after another does.
int convertInOrder(const std::vector<Job>& jobs, const ReliefSettings& settings, int threads,
                   std::FILE* out, std::FILE* err) {
    threads = int(std::min<size_t>(size_t(threads), jobs.size()));
    // A slot a thread, and two more so that the threads stay busy while the
    // main thread saves one relief and opens the next image.
    const size_t slotCount = threads > 1 ? size_t(threads) + 2 : 1;
    std::vector<std::unique_ptr<Slot>> slots;
    for (size_t i = 0; i < slotCount; ++i)
        slots.push_back(std::make_unique<Slot>(settings.precise ? 0 : settings.grid));

    std::mutex lock;
    std::condition_variable changed;
    std::deque<Slot*> waiting;
    bool finished = false;
    std::vector<std::thread> workers;
    const auto work = [&] {
        std::unique_lock<std::mutex> held(lock);
        for (;;) {
            changed.wait(held, [&] { return finished || !waiting.empty(); });
            if (waiting.empty()) return;
            Slot* slot = waiting.front();
            waiting.pop_front();
            held.unlock();
            buildRelief(*slot, settings);
            held.lock();
            slot->done = true;
            changed.notify_all();
        }
    };
    // A thread the system refuses is one fewer; with none, the main thread
    // builds each relief itself.
    try {
        for (int i = 0; threads > 1 && i < threads; ++i) workers.emplace_back(work);
    } catch (const std::system_error&) {
    }
    const bool parallel = !workers.empty();

    size_t opened = 0;
    const auto openAhead = [&](size_t upTo) {
        for (; opened < jobs.size() && opened < upTo; ++opened) {
            Slot& slot = *slots[opened % slotCount];
            slot.job = &jobs[opened];
            slot.problem.clear();
            // Read as given, as the dialog reads what it was handed; messages
            // then name the file the way the user wrote it.
            const String image(sys::utf8ToUtf16(slot.job->argument));
            std::string why;
            const bool readable = openImageInput(image, slot.input, why);
            std::lock_guard<std::mutex> held(lock);
            slot.done = !readable;
            if (!readable) {
                slot.problem = why;
            } else if (parallel) {
                waiting.push_back(&slot);
                changed.notify_all();
            }
        }
    };

    int status = 0;
    for (size_t next = 0; next < jobs.size(); ++next) {
        openAhead(next + slotCount);
        Slot& slot = *slots[next % slotCount];
        if (parallel) {
            std::unique_lock<std::mutex> held(lock);
            changed.wait(held, [&] { return slot.done; });
        } else if (!slot.done) {
            buildRelief(slot, settings);
        }
        std::string problem = slot.problem;
        if (problem.empty()) mesh_file::save(slot.mesh, slot.job->output, slot.bytes, &problem);
        slot.input.close();
        if (!problem.empty()) {
            std::fprintf(err, "embossa: %s\n", sys::printable(problem).c_str());
            status = kFailed;
            continue;
        }
        std::fprintf(out, "%s\n", sys::printable(sys::nativePath(slot.job->output.view())).c_str());
    }

    {
        std::lock_guard<std::mutex> held(lock);
        finished = true;
    }
    changed.notify_all();
    for (std::thread& worker : workers) worker.join();
    return status;
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

    // The device the dialog would decode with when Direct3D is out: the
    // texture size its caps allow is the size images are stretched to.
    CpuDevice device;
    if (!device.open(problem)) {
        std::fprintf(err, "embossa: %s\n", problem.c_str());
        return kFailed;
    }
    ReliefSettings settings = options.relief;
    settings.textureLimit = currentTextureLimit();
    const int threads = options.jobs > 0 ? options.jobs : sys::usableCores();
    return convertInOrder(jobs, settings, threads, out, err);
}

} // namespace app
