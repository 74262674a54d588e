// SPDX-License-Identifier: MIT
#include "app/ImageInput.h"

#include <algorithm>
#include <cstring>
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

constexpr const char* kReadFailure =
    " could not be read to its end (it changed while being read, the disk failed, "
    "or there was no memory to hold it)";

// Pulls a whole open stream into `bytes`; false with `why` on a short read.
bool loadWhole(FileInterface& stream, const std::string& shown, FileArray& bytes,
               std::string& why) {
    if (bytes.load(stream)) return true;
    bytes.close();
    why = shown + kReadFailure;
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

// Reads are served from one block of this size, so the PNG chunk walk's
// small reads and the decoders' sequential ones cost few system calls.
constexpr size_t kBlockBytes = 256 << 10;
constexpr size_t kDirectBytes = 32 << 10;

} // namespace

ImageStream::~ImageStream() = default;

size_t ImageStream::size() const {
    return size_;
}

const uint8_t* ImageStream::memory() const {
    return wholeBytes_;
}

bool ImageStream::read(size_t offset, void* into, size_t count) {
    if (offset > size_ || count > size_ - offset) return false;
    if (count == 0) return true;
    if (!file_) {
        std::memcpy(into, wholeBytes_ + offset, count);
        return true;
    }
    auto* out = static_cast<uint8_t*>(into);
    // A decoder filling a buffer of its own is served straight from the
    // file; the block is for the small reads of header walks.
    if (count >= kDirectBytes && (offset < blockStart_ || offset >= blockStart_ + block_.size())) {
        size_t got = 0;
        if (file_->seek(int32_t(offset), 0) == int32_t(offset))
            while (got < count) {
                const int32_t n = file_->read(out + got, int32_t(count - got));
                if (n <= 0) break;
                got += size_t(n);
            }
        if (got == count) return true;
        readFailed_ = true;
        return false;
    }
    while (count > 0) {
        if (offset < blockStart_ || offset >= blockStart_ + block_.size()) {
            // The block moves to the read; its end may be the file's.
            const size_t length = std::min(kBlockBytes, size_ - offset);
            block_.resize(length);
            blockStart_ = offset;
            size_t got = 0;
            if (file_->seek(int32_t(offset), 0) == int32_t(offset))
                while (got < length) {
                    const int32_t n = file_->read(block_.data() + got, int32_t(length - got));
                    if (n <= 0) break;
                    got += size_t(n);
                }
            if (got < length) {
                block_.clear();
                readFailed_ = true;
                return false;
            }
        }
        const size_t inBlock = offset - blockStart_;
        const size_t n = std::min(count, block_.size() - inBlock);
        std::memcpy(out, block_.data() + inBlock, n);
        out += n;
        offset += n;
        count -= n;
    }
    return true;
}

void ImageStream::close() {
    file_.reset();
    whole_.close();
    wholeBytes_ = nullptr;
    size_ = 0;
    std::vector<uint8_t>().swap(block_);
    blockStart_ = 0;
    readFailed_ = false;
}

bool openImageInput(const String& path, ImageStream& stream, std::string& why) {
    stream.close();
    if (path.length == 0) {
        why = "no image was given (the path is empty)";
        return false;
    }
    const PackEntryPath split = splitPackEntryPath(path.view());
    if (split.isEntry) {
        if (!readEntry(split, stream.whole_, why)) return false;
        stream.size_ = size_t(stream.whole_.size());
        stream.wholeBytes_ = static_cast<const uint8_t*>(stream.whole_.memory());
        return true;
    }
    auto file = std::make_unique<::File>(path, 0, 1, 1);
    if (!file->isOpen) {
        why = sys::quotedPath(path.view()) + " " +
              sys::openFailureReason(path.view(), file->openError);
        return false;
    }
    const int32_t size = file->size();
    stream.size_ = size > 0 ? size_t(size) : 0;
    stream.file_ = std::move(file);
    return true;
}

std::string decodeFailure(const String& path, size_t fileSize, const std::string& reason) {
    const std::string shown = shownName(path.view());
    if (fileSize == 0) return shown + " is not an image embossa can decode (the file is empty)";
    return shown + " is not an image embossa can decode" +
           (reason.empty() ? std::string() : " (" + sys::printable(reason) + ")");
}

std::string readFailure(const String& path) {
    return shownName(path.view()) + kReadFailure;
}

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
    if (bytes.size() == 0) return decodeFailure(path, 0, {});
    d3dx::Image ignored;
    std::string reason;
    if (SUCCEEDED(
            d3dx::decodeImage(bytes.memory(), size_t(bytes.size()), ignored, nullptr, &reason)))
        return {};
    return decodeFailure(path, size_t(bytes.size()), reason);
}

} // namespace app
