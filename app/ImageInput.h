// SPDX-License-Identifier: MIT
// Reading an image's bytes and saying why an image cannot be used, in one
// place for the dialog's error boxes and the command line's messages. Each
// reason is one line that names the file (quoted, control characters
// escaped) and says what a user can act on.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/FileArray.h"
#include "core/String.h"
#include "d3d9/ImageCodec.h"

namespace app {

// Reads the whole image at `path` (a file, or "archive.pack:entry") into
// `bytes`. Only regular files and pack entries are read. On failure `bytes`
// is left empty, so no earlier image's bytes survive, and `why` says why:
// the file does not exist, is a folder, is not a regular file, cannot be
// opened (permission denied, a link loop, ...), the archive is not one, it
// has no such entry, or the read ended early.
bool readImageInput(const String& path, FileArray& bytes, std::string& why);

// An image file opened for decoding as it streams: a plain file is read
// from disk a block at a time; a pack entry is read whole (the entries of an
// archive share its one open file). Reads may come from another thread than
// the one that opened it.
class ImageStream final : public d3dx::ImageSource {
public:
    ImageStream() = default;
    ImageStream(const ImageStream&) = delete;
    ImageStream& operator=(const ImageStream&) = delete;
    ~ImageStream() override;

    size_t size() const override;
    bool read(size_t offset, void* into, size_t count) override;
    const uint8_t* memory() const override;
    // A read within the file's size came back short: the file changed while
    // being read, or the disk failed.
    bool readFailed() const { return readFailed_; }
    // Lets go of the file and whatever was read of it.
    void close();

private:
    friend bool openImageInput(const String&, ImageStream&, std::string&);
    std::unique_ptr<FileInterface> file_;
    FileArray whole_;
    const uint8_t* wholeBytes_ = nullptr;
    size_t size_ = 0;
    std::vector<uint8_t> block_;
    size_t blockStart_ = 0;
    bool readFailed_ = false;
};

// Opens the image at `path` as readImageInput reads it, with its messages;
// on failure `stream` holds nothing.
bool openImageInput(const String& path, ImageStream& stream, std::string& why);

// Why the image at `path` did not decode, from the decoder's reason: one
// line naming the file, as imageDecodeProblem words it.
std::string decodeFailure(const String& path, size_t fileSize, const std::string& reason);
// The line for a stream that could not be read to its end.
std::string readFailure(const String& path);

// Why `bytes`, read from `path`, do not decode as an image, naming the
// decoder's own reason where it gives one; empty when they do decode.
std::string imageDecodeProblem(const String& path, FileArray& bytes);

} // namespace app
