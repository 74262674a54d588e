// SPDX-License-Identifier: MIT
#include "app/PackCommand.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>
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
    std::u16string wide = sys::utf8ToUtf16(utf8);
    String text;
    text.set(wide.data(), int32_t(wide.size()));
    if (!text.p) text = u"";
    return text;
}

std::string utf8(const String& text) {
    return sys::utf16ToUtf8(text.view());
}

std::string inQuotes(std::string_view text) {
    return "'" + std::string(text) + "'";
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

std::string join(const std::vector<std::string>& parts) {
    std::string out;
    for (const std::string& part : parts)
        out += (out.empty() ? "" : "/") + part;
    return out;
}

bool isAbsolute(std::string_view path) {
    if (!path.empty() && (path[0] == '/' || path[0] == '\\')) return true;
    // "C:..." is absolute (or drive-relative) where the archive may be unpacked.
    return path.size() >= 2 && path[1] == ':' &&
           ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
}

bool hasParentStep(const std::vector<std::string>& parts) {
    return std::find(parts.begin(), parts.end(), "..") != parts.end();
}

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
            fail(kBadData, inQuotes(path.string()) +
                               " is a link to a folder; links to folders are not followed");
        std::vector<std::string> children;
        for (const auto& item : fs::directory_iterator(path, error))
            children.push_back(item.path().filename().string());
        if (error)
            fail(kBadData, "cannot list " + inQuotes(path.string()) + ": " + error.message());
        // Sorted so that an archive's bytes depend on the files, not on the folder's history.
        std::sort(children.begin(), children.end());
        for (const std::string& child : children) {
            if (child.find('\\') != std::string::npos)
                fail(kBadData,
                     inQuotes((path / child).string()) +
                         " has a backslash in its name, which entry names use as a separator");
            collect(path / child, name.empty() ? child : name + "/" + child, inputs);
        }
    } else if (!fs::exists(target)) {
        fail(kBadData, inQuotes(path.string()) + " does not exist");
    } else {
        fail(kBadData, inQuotes(path.string()) + " is neither a file nor a folder");
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
    std::vector<Input> inputs;
    for (const std::string& source : sources) {
        if (isAbsolute(source))
            fail(kBadData, inQuotes(source) + " is an absolute path; entry names are the paths as "
                                              "given, so give a relative one");
        std::vector<std::string> parts = components(source);
        if (hasParentStep(parts))
            fail(kBadData,
                 inQuotes(source) +
                     " contains '..'; entry names may not leave the folder they are unpacked into");
        collect(parts.empty() ? fs::path(".") : fs::path(join(parts)), join(parts), inputs);
    }

    // The archive may sit inside a folder being packed; it must not pack itself.
    std::error_code error;
    if (fs::exists(archive, error))
        std::erase_if(
            inputs, [&](const Input& input) { return fs::equivalent(input.path, archive, error); });

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

    sys::AtomicFile file(engineText(archive).text());
    AtomicStream stream(file);
    if (!file.open()) fail(kBadData, file.error());
    PackWriter writer(stream);
    for (size_t i = 0; i < inputs.size(); ++i) {
        ::File source(engineText(inputs[i].path.string()), 0, 1, 1);
        if (!source.isOpen) fail(kBadData, "cannot read " + inQuotes(inputs[i].path.string()));
        if (!writer.add(names[i], source)) break;
    }
    if (!writer.finish())
        fail(kBadData, file.error().empty() ? utf8(writer.problem) : file.error());
    if (!file.commit()) fail(kBadData, file.error());
}

std::unique_ptr<Pack> openArchive(const std::string& archive) {
    std::error_code error;
    if (!fs::exists(archive, error)) fail(kBadData, inQuotes(archive) + " does not exist");
    if (fs::is_directory(archive, error))
        fail(kBadData, inQuotes(archive) + " is a folder, not a pack archive");
    // Through the stream constructor: the command reads any file name, not
    // only the ".pack" names that the engine's archive paths need.
    auto* file = new ::File(engineText(archive), 0, 1, 1);
    auto pack = std::make_unique<Pack>(file);
    if (!file->isOpen) fail(kBadData, "cannot open " + inQuotes(archive));
    if (!pack->valid)
        fail(kBadData, inQuotes(archive) + " is not a valid pack archive: " + utf8(pack->problem));
    return pack;
}

void list(const std::string& archive, std::FILE* out) {
    std::unique_ptr<Pack> pack = openArchive(archive);
    for (const Pack::Entry& entry : pack->directory->entries)
        std::fprintf(out, "%10u  %s\n", entry.size, utf8(entry.name).c_str());
}

// Where an entry goes below the target folder, or a failure naming the entry.
std::vector<std::string> safeParts(const String& entryName) {
    std::string name = utf8(entryName);
    std::vector<std::string> parts = components(name);
    if (isAbsolute(name))
        fail(kBadData, "refusing entry " + inQuotes(name) + ": it is an absolute path");
    if (hasParentStep(parts))
        fail(kBadData, "refusing entry " + inQuotes(name) + ": it contains '..'");
    if (parts.empty() || name.find('\0') != std::string::npos)
        fail(kBadData, "refusing entry " + inQuotes(name) + ": it does not name a file");
    return parts;
}

// Makes the folders between the target and a file, refusing to pass through
// a link: one placed there beforehand could point anywhere.
void makeFolders(const fs::path& target, const std::vector<std::string>& parts) {
    fs::path folder = target;
    for (size_t i = 0; i + 1 < parts.size(); ++i) {
        folder /= parts[i];
        std::error_code error;
        fs::file_status status = fs::symlink_status(folder, error);
        if (fs::is_symlink(status))
            fail(kBadData, "refusing to write through the link " + inQuotes(folder.string()));
        if (!fs::exists(status) && !fs::create_directory(folder, error))
            fail(kBadData, "cannot create " + inQuotes(folder.string()) + ": " + error.message());
        if (fs::exists(status) && !fs::is_directory(status))
            fail(kBadData, inQuotes(folder.string()) + " exists and is not a folder");
    }
}

template <class Put> bool copyEntry(Pack::File& entry, Put put) {
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
    const fs::path target(folder);

    // Every name is checked before the first byte is written, so a hostile
    // archive leaves nothing behind.
    std::vector<std::vector<std::string>> places;
    std::set<std::string> seen;
    for (const Pack::Entry& entry : pack->directory->entries) {
        places.push_back(safeParts(entry.name));
        std::string place = join(places.back());
        if (!seen.insert(place).second)
            fail(kBadData, "two entries would both be written to " + inQuotes(place));
        std::error_code error;
        if (!force && fs::symlink_status(target / place, error).type() != fs::file_type::not_found)
            fail(kBadData,
                 inQuotes((target / place).string()) + " exists; use --force to overwrite it");
    }

    std::error_code error;
    fs::create_directories(target, error);
    if (error) fail(kBadData, "cannot create " + inQuotes(folder) + ": " + error.message());
    for (size_t i = 0; i < places.size(); ++i) {
        const Pack::Entry& record = pack->directory->entries[i];
        makeFolders(target, places[i]);
        const std::string path = (target / join(places[i])).string();
        Pack::File entry(pack.get(), &record);
        if (force) {
            // Renamed into place: an existing link is replaced, never written through.
            sys::AtomicFile file(engineText(path).text());
            bool done = file.open() &&
                        copyEntry(entry, [&](const char* bytes,
                                             int32_t n) { return file.write(bytes, size_t(n)); }) &&
                        file.commit();
            if (!done)
                fail(kBadData, file.error().empty() ? "cannot read the entry for " + inQuotes(path)
                                                    : file.error());
        } else {
            // Exclusive create: a file that appeared since the check is not overwritten either.
            int code = 0;
            int descriptor = sys::openFile(
                engineText(path).text(),
                sys::OpenWriteOnly | sys::OpenCreate | sys::OpenExclusive | sys::OpenBinary, code);
            if (descriptor < 0)
                fail(kBadData,
                     code == EEXIST
                         ? inQuotes(path) + " exists; use --force to overwrite it"
                         : "cannot create " + inQuotes(path) + ": " + std::strerror(code));
            bool done = copyEntry(entry, [&](const char* bytes, int32_t n) {
                return sys::writeFile(descriptor, bytes, n) == n;
            });
            sys::closeFile(descriptor);
            if (!done) {
                fs::remove(path, error);
                fail(kBadData, "cannot write " + inQuotes(path));
            }
        }
    }
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
            create(words[0], {words.begin() + 1, words.end()});
        } else if (command == "list") {
            if (words.size() != 1) fail(kUsage, "pack list needs exactly one archive");
            list(words[0], out);
        } else if (command == "extract") {
            if (words.empty() || words.size() > 2)
                fail(kUsage, "pack extract needs an archive and at most one folder");
            extract(words[0], words.size() == 2 ? words[1] : ".", force);
        } else {
            fail(kUsage, command.empty() ? "pack needs a command: create, list or extract"
                                         : "unknown pack command " + inQuotes(command) +
                                               " (create, list or extract)");
        }
    } catch (const Failure& failure) {
        std::fprintf(err, "embossa: %s\n", failure.message.c_str());
        return failure.code;
    }
    return 0;
}

} // namespace app
