// SPDX-License-Identifier: MIT
#include "app/ImageInput.h"

#include <memory>

#include "core/File.h"
#include "core/FileInterface.h"
#include "core/Pack.h"
#include "d3d9/ImageCodec.h"
#include "sys/FileSystem.h"
#include "sys/Unicode.h"

namespace app {
namespace {

std::string quotedText(std::u16string_view text) {
    return "'" + sys::printable(sys::utf16ToUtf8(text)) + "'";
}

// "'pics/a.png'", or "'art/set.pack' entry 'a.png'".
std::string shownName(std::u16string_view path) {
    const PackEntryPath split = splitPackEntryPath(path);
    if (!split.isEntry) return sys::quotedPath(path);
    return sys::quotedPath(split.archive) + " entry " + quotedText(split.entry);
}

// Pulls a whole open stream into `bytes`; false with `why` on a short read.
bool loadWhole(FileInterface& stream, const std::string& shown, FileArray& bytes,
               std::string& why) {
    if (bytes.load(stream)) return true;
    bytes.close();
    why = shown + " could not be read to its end (it changed while being read, the disk failed, "
                  "or there was no memory to hold it)";
    return false;
}

bool readFile(const String& path, FileArray& bytes, std::string& why) {
    ::File file(path, 0, 1, 1);
    if (!file.isOpen) {
        why = sys::quotedPath(path.view()) + " " +
              sys::openFailureReason(path.view(), file.openError);
        return false;
    }
    return loadWhole(file, sys::quotedPath(path.view()), bytes, why);
}

bool readEntry(const PackEntryPath& split, FileArray& bytes, std::string& why) {
    const String archivePath = String(split.archive);
    const std::string shownArchive = sys::quotedPath(split.archive);
    // Opened here rather than by Pack so that a missing archive says why;
    // the directory is still shared through the cache under the same path.
    auto* archive = new ::File(archivePath, 0, 1, 1);
    if (!archive->isOpen) {
        why = shownArchive + " " + sys::openFailureReason(split.archive, archive->openError);
        delete archive;
        return false;
    }
    Pack pack(archive, archivePath);
    if (!pack.valid) {
        why = shownArchive + " is not a valid pack archive: " +
              sys::printable(sys::utf16ToUtf8(pack.problem.view()));
        return false;
    }
    Pack::File entry(&pack, String(split.entry));
    if (!entry.isOpen) {
        why = shownArchive + " has no entry " + quotedText(split.entry);
        return false;
    }
    return loadWhole(entry, shownArchive + " entry " + quotedText(split.entry), bytes, why);
}

} // namespace

bool readImageInput(const String& path, FileArray& bytes, std::string& why) {
    bytes.close();
    if (path.length == 0) {
        why = "no image was given (the path is empty)";
        return false;
    }
    const PackEntryPath split = splitPackEntryPath(path.view());
    return split.isEntry ? readEntry(split, bytes, why) : readFile(path, bytes, why);
}

std::string imageDecodeProblem(const String& path, FileArray& bytes) {
    const std::string shown = shownName(path.view());
    if (bytes.size() == 0) return shown + " is not an image embossa can decode (the file is empty)";
    d3dx::Image ignored;
    std::string reason;
    if (SUCCEEDED(
            d3dx::decodeImage(bytes.memory(), size_t(bytes.size()), ignored, nullptr, &reason)))
        return {};
    return shown + " is not an image embossa can decode" +
           (reason.empty() ? std::string() : " (" + sys::printable(reason) + ")");
}

} // namespace app
