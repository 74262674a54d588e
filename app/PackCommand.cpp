// SPDX-License-Identifier: MIT
#include "app/PackCommand.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string_view>

#include "core/File.h"
#include "core/Pack.h"
#include "core/PackWriter.h"
#include "sys/AtomicFile.h"
#include "sys/FileSystem.h"
#include "sys/Unicode.h"

namespace app {
namespace {

namespace fs = std::filesystem;

constexpr int kBadData = 1;
constexpr int kUsage = 2;
constexpr int32_t kChunk = 64 * 1024;

// Thrown only inside this file and caught in runPackCommand, so that every
// failure, however deep, ends as one "embossa: " line and its exit code.
struct Failure {
    int code;
    std::string message;
};

[[noreturn]] void fail(int code, std::string message) {
    throw Failure{code, std::move(message)};
}

String engineText(std::string_view utf8) {
    return String(sys::utf8ToUtf16(utf8));
}

std::string utf8(const String& text) {
    return sys::utf16ToUtf8(text.view());
}

std::string inQuotes(std::string_view text) {
    return "'" + sys::printable(text) + "'";
}

std::string inQuotes(const std::string& text) {
    return inQuotes(std::string_view(text));
}

std::string inQuotes(const fs::path& path) {
    return inQuotes(std::string_view(path.native()));
}

// Splits on both separators, dropping empty and "." parts: "./a//b\c" gives
// a, b, c. The caller decides what a leading separator or ".." means.
std::vector<std::string> components(std::string_view path) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t i = 0; i <= path.size(); ++i) {
        if (i < path.size() && path[i] != '/' && path[i] != '\\') continue;
        std::string_view part = path.substr(start, i - start);
        if (!part.empty() && part != ".") parts.emplace_back(part);
        start = i + 1;
    }
    return parts;
}

std::string join(const std::vector<std::string>& parts, size_t count = std::string::npos) {
    std::string out;
    for (size_t i = 0; i < parts.size() && i < count; ++i)
        out += (out.empty() ? "" : "/") + parts[i];
    return out;
}

bool isRooted(std::string_view path) {
    return !path.empty() && (path[0] == '/' || path[0] == '\\');
}

// "C:..." names a drive (or a folder relative to one) where an archive may
// be unpacked on Windows, so it never stays below the target folder there.
bool startsWithDrive(std::string_view path) {
    return path.size() >= 2 && path[1] == ':' &&
           ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
}

bool hasParentStep(const std::vector<std::string>& parts) {
    return std::find(parts.begin(), parts.end(), "..") != parts.end();
}

std::string openFailure(const std::string& path, int error) {
    const std::u16string wide = sys::utf8ToUtf16(path);
    return sys::quotedPath(wide) + " " + sys::openFailureReason(wide, error);
}

// ---- create ----------------------------------------------------------------

struct Input {
    std::string name; // entry name, UTF-8 with '/' separators
    fs::path path;
};

void collect(const fs::path& path, const std::string& name, std::vector<Input>& inputs) {
    std::error_code error;
    fs::file_status link = fs::symlink_status(path, error);
    fs::file_status target = fs::status(path, error);
    if (fs::is_regular_file(target)) {
        inputs.push_back({name, path});
    } else if (fs::is_directory(target)) {
        // A linked folder could lead back into itself; files behind links are fine.
        if (fs::is_symlink(link))
            fail(kBadData,
                 inQuotes(path) + " is a link to a folder; links to folders are not followed");
        std::vector<std::string> children;
        for (const auto& item : fs::directory_iterator(path, error))
            children.push_back(item.path().filename().string());
        if (error) fail(kBadData, "cannot list " + inQuotes(path) + ": " + error.message());
        // Sorted so that an archive's bytes depend on the files, not on the folder's history.
        std::sort(children.begin(), children.end());
        for (const std::string& child : children) {
            if (child.find('\\') != std::string::npos)
                fail(kBadData,
                     inQuotes(path / child) +
                         " has a backslash in its name, which entry names use as a separator");
            collect(path / child, name.empty() ? child : name + "/" + child, inputs);
        }
    } else if (fs::is_symlink(link) && !fs::exists(target)) {
        fail(kBadData, inQuotes(path) + " is a link to nothing that exists");
    } else if (!fs::exists(target)) {
        fail(kBadData, inQuotes(path) + " does not exist");
    } else {
        fail(kBadData, inQuotes(path) + " is neither a file nor a folder");
    }
}

// Where the archive will be: its folder resolved, its own name as given,
// since a link at that name is replaced rather than written through. None
// when the folder does not exist (the write then fails and says so).
std::optional<fs::path> archiveLocation(const std::string& archive) {
    const fs::path path(archive);
    std::error_code error;
    const fs::path folder = fs::canonical(path.has_parent_path() ? path.parent_path() : ".", error);
    if (error) return std::nullopt;
    const fs::path name = path.filename();
    if (name.empty() || name == "." || name == "..") return fs::weakly_canonical(path, error);
    return folder / name;
}

bool isWithin(const fs::path& inner, const fs::path& outer) {
    auto [stop, ignored] = std::mismatch(outer.begin(), outer.end(), inner.begin(), inner.end());
    return stop == outer.end();
}

// The new archive must not land on a file being packed, nor in a folder
// being packed: it would be written over an input, or pack itself.
void refuseArchiveAmongInputs(const std::string& archive, const fs::path& source) {
    const std::optional<fs::path> location = archiveLocation(archive);
    std::error_code error;
    const fs::path resolved = fs::canonical(source, error);
    if (!location || error) return; // a missing input is reported when collected
    if (fs::is_directory(resolved, error)) {
        if (isWithin(*location, resolved))
            fail(kUsage, "the archive " + inQuotes(archive) + " lies inside the folder " +
                             inQuotes(source) + " being packed; put it somewhere else");
    } else if (*location == resolved || fs::equivalent(archive, source, error)) {
        fail(kUsage, "the archive " + inQuotes(archive) + " is also one of the files to pack (" +
                         inQuotes(source) + "); it would be written over");
    }
}

// PackWriter writes to an engine stream; this one puts the bytes into the
// temporary file of an AtomicFile, so the archive appears whole or not at all.
class AtomicStream : public FileInterface {
public:
    explicit AtomicStream(sys::AtomicFile& file) : file_(file) { isOpen = 1; }
    int32_t read(void*, int32_t) override { return 0; }
    int32_t write(const void* buffer, int32_t count) override {
        return count > 0 && file_.write(buffer, size_t(count)) ? count : 0;
    }
    int32_t seek(int32_t offset, int32_t origin) override {
        return sys::seekFile(file_.descriptor(), offset, origin);
    }
    int32_t tell() override { return seek(0, 1); }
    int32_t size() override { return 0; } // not needed by the writer
    bool eof() override { return true; }
    void* memory() override { return nullptr; }
    int32_t close() override { return 0; }

private:
    sys::AtomicFile& file_;
};

void create(const std::string& archive, const std::vector<std::string>& sources) {
    std::vector<fs::path> roots;
    std::vector<std::string> rootNames;
    for (const std::string& source : sources) {
        if (source.empty()) fail(kUsage, "a file or folder name is empty");
        if (isRooted(source))
            fail(kBadData, inQuotes(source) + " is an absolute path; entry names are the paths as "
                                              "given, so give a relative one");
        if (startsWithDrive(source))
            fail(kBadData, inQuotes(source) + " begins like a Windows drive (" +
                               inQuotes(source.substr(0, 2)) +
                               "), so its entry would unpack outside the target folder there; "
                               "rename it");
        std::error_code error;
        // A name that exists as written is that file, and a backslash in an
        // entry name would read as a separator when unpacked.
        if (source.find('\\') != std::string::npos &&
            fs::symlink_status(source, error).type() != fs::file_type::not_found)
            fail(kBadData,
                 inQuotes(source) +
                     " has a backslash in its name, which entry names use as a separator");
        std::vector<std::string> parts = components(source);
        if (hasParentStep(parts))
            fail(kBadData,
                 inQuotes(source) +
                     " contains '..'; entry names may not leave the folder they are unpacked into");
        roots.push_back(parts.empty() ? fs::path(".") : fs::path(join(parts)));
        rootNames.push_back(join(parts));
        refuseArchiveAmongInputs(archive, roots.back());
    }
    std::vector<Input> inputs;
    for (size_t i = 0; i < roots.size(); ++i) collect(roots[i], rootNames[i], inputs);

    std::set<std::string> seen;
    std::vector<String> names;
    for (const Input& input : inputs) {
        String name = engineText(input.name);
        for (int32_t i = 0; i < name.length; ++i)
            if (!sys::isAnsiRepresentable(name.p[i]))
                fail(kBadData, inQuotes(input.name) + " has characters that Windows-1252 cannot "
                                                      "hold, so it cannot be an entry name");
        if (!seen.insert(input.name).second)
            fail(kBadData, inQuotes(input.name) + " would be in the archive twice");
        names.push_back(name);
    }

    sys::AtomicFile file(engineText(archive).view());
    AtomicStream stream(file);
    if (!file.open()) fail(kBadData, file.error());
    PackWriter writer(stream);
    for (size_t i = 0; i < inputs.size(); ++i) {
        ::File source(engineText(inputs[i].path.string()), 0, 1, 1);
        if (!source.isOpen)
            fail(kBadData, "cannot read " + openFailure(inputs[i].path.string(), source.openError));
        if (!writer.add(names[i], source)) break;
    }
    if (!writer.finish())
        fail(kBadData, file.error().empty() ? utf8(writer.problem) : file.error());
    if (!file.commit()) fail(kBadData, file.error());
}

// ---- list ------------------------------------------------------------------

std::unique_ptr<Pack> openArchive(const std::string& archive) {
    // Through the stream constructor: the command reads any file name, not
    // only the ".pack" names that the engine's archive paths need.
    auto* file = new ::File(engineText(archive), 0, 1, 1);
    if (!file->isOpen) {
        const int error = file->openError;
        delete file;
        fail(kBadData, openFailure(archive, error));
    }
    auto pack = std::make_unique<Pack>(file);
    if (!pack->valid)
        fail(kBadData, inQuotes(archive) + " is not a valid pack archive: " + utf8(pack->problem));
    return pack;
}

void list(const std::string& archive, std::FILE* out) {
    std::unique_ptr<Pack> pack = openArchive(archive);
    for (const Pack::Entry& entry : pack->directory->entries)
        std::fprintf(out, "%10u  %s\n", entry.size, sys::printable(utf8(entry.name)).c_str());
}

// ---- extract ---------------------------------------------------------------

// Where an entry goes below the target folder, or a failure naming the entry.
std::vector<std::string> safeParts(const String& entryName) {
    const std::string name = utf8(entryName);
    const std::vector<std::string> parts = components(name);
    const std::string refusing = "refusing entry " + inQuotes(name) + ": ";
    if (name.find('\0') != std::string::npos)
        fail(kBadData, refusing + "its name holds a NUL character");
    if (isRooted(name)) fail(kBadData, refusing + "it is an absolute path");
    if (startsWithDrive(name))
        fail(kBadData,
             refusing + "it begins with a Windows drive (" + inQuotes(name.substr(0, 2)) + ")");
    if (hasParentStep(parts)) fail(kBadData, refusing + "it contains '..'");
    if (parts.empty()) fail(kBadData, refusing + "it does not name a file");
    return parts;
}

struct Placement {
    const Pack::Entry* entry;
    std::vector<std::string> parts;
    fs::path path;
    bool replaces = false; // an existing file (--force) is to be replaced
};

// Everything an entry would need is checked before the first byte is
// written: names, entries that clash with each other, and what is on disk.
std::vector<Placement> plan(const Pack& pack, const fs::path& target, bool force) {
    std::vector<Placement> placements;
    std::map<std::string, std::string> files; // place -> entry name as stored
    std::set<std::string> folders;
    for (const Pack::Entry& entry : pack.directory->entries) {
        Placement placement{&entry, safeParts(entry.name), {}, false};
        const std::string place = join(placement.parts);
        if (!files.emplace(place, utf8(entry.name)).second)
            fail(kBadData, "two entries would both be written to " + inQuotes(place));
        for (size_t k = 1; k < placement.parts.size(); ++k)
            folders.insert(join(placement.parts, k));
        placement.path = target / place;
        placements.push_back(std::move(placement));
    }
    for (const auto& [place, name] : files) {
        if (!folders.count(place)) continue;
        const auto below = files.lower_bound(place + "/");
        fail(kBadData, "entry " + inQuotes(name) + " would be a file where entry " +
                           inQuotes(below->second) + " needs a folder");
    }

    std::error_code error;
    auto look = [&](const fs::path& path) {
        const fs::file_status status = fs::symlink_status(path, error);
        if (error && status.type() != fs::file_type::not_found)
            fail(kBadData, "cannot look at " + inQuotes(path) + ": " + error.message());
        return status;
    };
    const fs::file_status top = look(target);
    if (fs::exists(top) && !fs::is_directory(fs::status(target, error)))
        fail(kBadData, inQuotes(target) + " exists and is not a folder");
    for (const std::string& folder : folders) {
        const fs::file_status status = look(target / folder);
        // A link placed there beforehand could point anywhere.
        if (fs::is_symlink(status))
            fail(kBadData, "refusing to write through the link " + inQuotes(target / folder));
        if (fs::exists(status) && !fs::is_directory(status))
            fail(kBadData, inQuotes(target / folder) + " exists and is not a folder");
    }
    for (Placement& placement : placements) {
        const fs::file_status status = look(placement.path);
        if (!fs::exists(status) && !fs::is_symlink(status)) continue;
        if (fs::is_directory(status))
            fail(kBadData, inQuotes(placement.path) + " is a folder; no entry replaces one");
        if (!force)
            fail(kBadData, inQuotes(placement.path) + " exists; use --force to overwrite it");
        // Renamed into place: a link is replaced, never written through.
        if (!fs::is_regular_file(status) && !fs::is_symlink(status))
            fail(kBadData, inQuotes(placement.path) +
                               " is not a regular file (a pipe, device or socket); --force "
                               "replaces only files");
        placement.replaces = true;
    }
    return placements;
}

// What one extraction has put on disk so far, taken back if it does not
// finish: temporaries, new files already in place and the folders it made.
// Files that --force replaced cannot be given back; they are replaced only
// in the last step, by renames, once every entry is written.
class ExtractionRun {
public:
    ExtractionRun() = default;
    ExtractionRun(const ExtractionRun&) = delete;
    ExtractionRun& operator=(const ExtractionRun&) = delete;
    ~ExtractionRun() {
        if (finished) return;
        staged.clear(); // each AtomicFile removes its temporary
        std::error_code ignored;
        for (auto file = placed.rbegin(); file != placed.rend(); ++file) fs::remove(*file, ignored);
        // remove() leaves a folder that is not empty: someone else's files stay.
        for (auto folder = made.rbegin(); folder != made.rend(); ++folder)
            fs::remove(*folder, ignored);
    }

    // Makes `folder` and any missing folders above it.
    void makeFolders(const fs::path& folder) {
        std::vector<fs::path> missing;
        std::error_code error;
        for (fs::path path = folder; !path.empty(); path = path.parent_path()) {
            if (fs::symlink_status(path, error).type() != fs::file_type::not_found) break;
            missing.push_back(path);
            if (path == path.parent_path()) break;
        }
        for (auto path = missing.rbegin(); path != missing.rend(); ++path) {
            if (fs::create_directory(*path, error)) {
                made.push_back(*path);
            } else if (error) {
                fail(kBadData, "cannot create " + inQuotes(*path) + ": " + error.message());
            }
            // Something else put there meanwhile is not passed through.
            if (!fs::is_directory(fs::symlink_status(*path, error)))
                fail(kBadData, inQuotes(*path) + " is not a folder any more");
        }
    }

    std::vector<std::unique_ptr<sys::AtomicFile>> staged;
    std::vector<fs::path> placed;
    std::vector<fs::path> made;
    bool finished = false;
};

template <class Put>
bool copyEntry(Pack::File& entry, Put put) {
    std::vector<char> buffer(size_t(std::min(std::max(entry.size(), 1), kChunk)));
    int32_t left = entry.size();
    while (left > 0) {
        int32_t n = entry.read(buffer.data(), std::min(left, kChunk));
        if (n <= 0 || !put(buffer.data(), n)) return false;
        left -= n;
    }
    return true;
}

void extract(const std::string& archive, const std::string& folder, bool force) {
    std::unique_ptr<Pack> pack = openArchive(archive);
    fs::path target = fs::path(folder).lexically_normal();
    if (target.filename().empty() && target.has_parent_path()) target = target.parent_path();
    const std::vector<Placement> placements = plan(*pack, target, force);

    ExtractionRun run;
    run.makeFolders(target);
    for (const Placement& placement : placements) {
        run.makeFolders(placement.path.parent_path());
        auto file = std::make_unique<sys::AtomicFile>(engineText(placement.path.string()).view());
        Pack::File entry(pack.get(), placement.entry);
        bool written = file->open() && copyEntry(entry, [&](const char* bytes, int32_t n) {
                           return file->write(bytes, size_t(n));
                       });
        if (written) written = file->seal();
        if (!written)
            fail(kBadData, !file->error().empty()
                               ? file->error()
                               : "cannot read entry " + inQuotes(utf8(placement.entry->name)) +
                                     " from " + inQuotes(archive) + " (it is cut short)");
        run.staged.push_back(std::move(file));
    }
    // Only renames are left, which need no space; without --force a file
    // that appeared meanwhile is still not overwritten.
    for (size_t i = 0; i < placements.size(); ++i) {
        sys::AtomicFile& file = *run.staged[i];
        if (!file.commit(force ? sys::AtomicFile::IfTargetExists::Replace
                               : sys::AtomicFile::IfTargetExists::Fail)) {
            if (file.errorNumber() == EEXIST)
                fail(kBadData, inQuotes(placements[i].path) +
                                   " appeared while extracting; use --force to overwrite it");
            fail(kBadData, file.error());
        }
        if (!placements[i].replaces) run.placed.push_back(placements[i].path);
    }
    run.finished = true;
}

} // namespace

int runPackCommand(const std::vector<std::string>& args, std::FILE* out, std::FILE* err) {
    try {
        const std::string command = args.empty() ? "" : args[0];
        std::vector<std::string> words;
        bool force = false;
        for (size_t i = 1; i < args.size(); ++i) {
            if (args[i] == "--force" && command == "extract")
                force = true;
            else if (args[i].size() > 1 && args[i][0] == '-')
                fail(kUsage, "pack " + command + ": unknown option " + inQuotes(args[i]));
            else
                words.push_back(args[i]);
        }
        if (command == "create") {
            if (words.size() < 2)
                fail(kUsage, "pack create needs an archive and at least one file or folder");
            if (words[0].empty()) fail(kUsage, "the archive name is empty");
            create(words[0], {words.begin() + 1, words.end()});
        } else if (command == "list") {
            if (words.size() != 1) fail(kUsage, "pack list needs exactly one archive");
            list(words[0], out);
        } else if (command == "extract") {
            if (words.empty() || words.size() > 2)
                fail(kUsage, "pack extract needs an archive and at most one folder");
            if (words.size() == 2 && words[1].empty()) fail(kUsage, "the folder name is empty");
            extract(words[0], words.size() == 2 ? words[1] : ".", force);
        } else {
            fail(kUsage, command.empty() ? "pack needs a command: create, list or extract"
                                         : "unknown pack command " + inQuotes(command) +
                                               " (create, list or extract)");
        }
    } catch (const Failure& failure) {
        std::fprintf(err, "embossa: %s\n", sys::printable(failure.message).c_str());
        return failure.code;
    }
    return 0;
}

} // namespace app
