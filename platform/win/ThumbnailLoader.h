// SPDX-License-Identifier: MIT
// Small pictures of image files for the open-file dialog, made on a worker
// thread so that a slow disk, a pipe or a hostile file never holds up the
// dialog. The decoding itself is not the window layer's: the program hands
// in the decoder it opens images with, so the dialog previews exactly what
// opening the file would show.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace win {

// 0xAARRGGBB words, rows top first, no padding.
struct ThumbnailImage {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;
};

// Decodes a whole image file held in memory; false (with a reason in `why`)
// when it is no image it reads. Called on the worker thread, one call at a
// time; it must bound what it allocates by what the header asks for.
using ThumbnailDecoder =
    std::function<bool(const uint8_t* bytes, size_t size, ThumbnailImage& out, std::string& why)>;

// The decoder every open-file dialog uses from now on; none shows no
// thumbnails. Set before a dialog opens: a running one keeps its own.
void setThumbnailDecoder(ThumbnailDecoder decoder);
ThumbnailDecoder thumbnailDecoder();

// Files above this are not read for a thumbnail at all.
inline constexpr size_t kMaxThumbnailFileBytes = size_t(64) << 20;
inline constexpr int kThumbnailSide = 128;

// The image scaled to fit `side` x `side` (never enlarged) by averaging the
// pixels each one covers, its alpha laid over `background` (0xRRGGBB): the
// result is opaque.
ThumbnailImage shrinkToThumbnail(const ThumbnailImage& image, int side, uint32_t background);

class ThumbnailLoader {
public:
    struct Result {
        std::string path;
        bool ok = false;
        ThumbnailImage image; // opaque, at most kThumbnailSide on each side
        int sourceWidth = 0, sourceHeight = 0;
        std::string why; // when not ok
    };

    ThumbnailLoader(ThumbnailDecoder decoder, uint32_t background);
    // Returns at once: a decode still running finishes on its own and its
    // result is dropped.
    ~ThumbnailLoader();
    ThumbnailLoader(const ThumbnailLoader&) = delete;
    ThumbnailLoader& operator=(const ThumbnailLoader&) = delete;

    // Asks for `path`'s thumbnail (empty: none). A newer request makes any
    // older one's result void, whether it has started or not.
    void request(const std::string& path);
    const std::string& requested() const { return requested_; }
    // The result for the latest request, once, when it is ready.
    std::optional<Result> take();
    bool busy() const;

private:
    struct Shared;
    std::shared_ptr<Shared> shared_;
    std::string requested_;
};

// What the worker does with one path, on the calling thread: opens it
// without blocking, refuses anything but a regular file of at most
// kMaxThumbnailFileBytes, reads it whole, decodes and shrinks it.
ThumbnailLoader::Result loadThumbnail(const std::string& path, const ThumbnailDecoder& decoder,
                                      uint32_t background);

} // namespace win
