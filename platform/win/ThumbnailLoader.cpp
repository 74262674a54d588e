// SPDX-License-Identifier: MIT
// One worker per dialog, fed through a single slot: only the newest request
// is ever waiting, so scrolling through a folder decodes at most the file in
// hand and the last one asked for. The worker owns a share of the state, so
// the dialog can close without waiting for a decode to end.
#include "win/ThumbnailLoader.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace win {
namespace {

std::mutex decoderMutex;
ThumbnailDecoder installedDecoder;

struct Descriptor {
    int fd = -1;
    ~Descriptor() {
        if (fd >= 0) ::close(fd);
    }
};

} // namespace

void setThumbnailDecoder(ThumbnailDecoder decoder) {
    std::lock_guard lock(decoderMutex);
    installedDecoder = std::move(decoder);
}

ThumbnailDecoder thumbnailDecoder() {
    std::lock_guard lock(decoderMutex);
    return installedDecoder;
}

ThumbnailImage shrinkToThumbnail(const ThumbnailImage& image, int side, uint32_t background) {
    ThumbnailImage out;
    if (image.width <= 0 || image.height <= 0 || side <= 0 ||
        image.pixels.size() != size_t(image.width) * size_t(image.height))
        return out;
    const int longer = std::max(image.width, image.height);
    out.width =
        longer <= side ? image.width : std::max(1, int(int64_t(image.width) * side / longer));
    out.height =
        longer <= side ? image.height : std::max(1, int(int64_t(image.height) * side / longer));
    out.pixels.resize(size_t(out.width) * size_t(out.height));
    const double bg[3] = {double((background >> 16) & 0xFF), double((background >> 8) & 0xFF),
                          double(background & 0xFF)};
    for (int y = 0; y < out.height; ++y) {
        const int y0 = int(int64_t(y) * image.height / out.height);
        const int y1 = std::max(y0 + 1, int(int64_t(y + 1) * image.height / out.height));
        for (int x = 0; x < out.width; ++x) {
            const int x0 = int(int64_t(x) * image.width / out.width);
            const int x1 = std::max(x0 + 1, int(int64_t(x + 1) * image.width / out.width));
            double sum[3] = {0, 0, 0};
            for (int sy = y0; sy < y1; ++sy)
                for (int sx = x0; sx < x1; ++sx) {
                    const uint32_t p = image.pixels[size_t(sy) * size_t(image.width) + size_t(sx)];
                    const double a = double(p >> 24) / 255.0;
                    for (int c = 0; c < 3; ++c) {
                        const double v = double((p >> (16 - 8 * c)) & 0xFF);
                        sum[c] += v * a + bg[c] * (1 - a);
                    }
                }
            const double count = double(x1 - x0) * double(y1 - y0);
            uint32_t pixel = 0xFF000000u;
            for (int c = 0; c < 3; ++c)
                pixel |= uint32_t(std::clamp(sum[c] / count + 0.5, 0.0, 255.0)) << (16 - 8 * c);
            out.pixels[size_t(y) * size_t(out.width) + size_t(x)] = pixel;
        }
    }
    return out;
}

ThumbnailLoader::Result loadThumbnail(const std::string& path, const ThumbnailDecoder& decoder,
                                      uint32_t background) {
    ThumbnailLoader::Result result;
    result.path = path;
    if (!decoder) {
        result.why = "no image decoder";
        return result;
    }
    // Non-blocking, so a pipe with no writer cannot hold the open; the type
    // is then decided on the descriptor, not on a name that may change.
    Descriptor file{::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY)};
    if (file.fd < 0) {
        result.why = std::strerror(errno);
        return result;
    }
    struct stat status {};
    if (::fstat(file.fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        result.why = "not a regular file";
        return result;
    }
    if (status.st_size <= 0 || uint64_t(status.st_size) > kMaxThumbnailFileBytes) {
        result.why = status.st_size <= 0 ? "empty" : "too large to preview";
        return result;
    }
    std::vector<uint8_t> bytes(size_t(status.st_size));
    size_t have = 0;
    while (have < bytes.size()) {
        const ssize_t got = ::read(file.fd, bytes.data() + have, bytes.size() - have);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break; // shrunk while read: decode what is there
        have += size_t(got);
    }
    bytes.resize(have);
    ThumbnailImage image;
    if (!decoder(bytes.data(), bytes.size(), image, result.why)) {
        if (result.why.empty()) result.why = "not an image";
        return result;
    }
    result.sourceWidth = image.width;
    result.sourceHeight = image.height;
    result.image = shrinkToThumbnail(image, kThumbnailSide, background);
    result.ok = !result.image.pixels.empty();
    if (!result.ok) result.why = "empty image";
    return result;
}

struct ThumbnailLoader::Shared {
    std::mutex mutex;
    std::condition_variable wake;
    ThumbnailDecoder decoder;
    uint32_t background = 0;
    uint64_t generation = 0; // of the newest request
    std::optional<std::string> pending;
    uint64_t pendingGeneration = 0;
    std::optional<Result> done;
    bool working = false;
    bool stop = false;

    void run() {
        std::unique_lock lock(mutex);
        for (;;) {
            wake.wait(lock, [this] { return stop || pending; });
            if (stop) return;
            const std::string path = std::move(*pending);
            const uint64_t asked = pendingGeneration;
            pending.reset();
            working = true;
            lock.unlock();
            Result result = loadThumbnail(path, decoder, background);
            lock.lock();
            working = false;
            if (asked == generation) done = std::move(result);
        }
    }
};

ThumbnailLoader::ThumbnailLoader(ThumbnailDecoder decoder, uint32_t background)
    : shared_(std::make_shared<Shared>()) {
    shared_->decoder = std::move(decoder);
    shared_->background = background;
    std::thread([shared = shared_] { shared->run(); }).detach();
}

ThumbnailLoader::~ThumbnailLoader() {
    std::lock_guard lock(shared_->mutex);
    shared_->stop = true;
    shared_->wake.notify_all();
}

void ThumbnailLoader::request(const std::string& path) {
    requested_ = path;
    std::lock_guard lock(shared_->mutex);
    ++shared_->generation;
    shared_->done.reset();
    if (path.empty()) {
        shared_->pending.reset();
        return;
    }
    shared_->pending = path;
    shared_->pendingGeneration = shared_->generation;
    shared_->wake.notify_all();
}

std::optional<ThumbnailLoader::Result> ThumbnailLoader::take() {
    std::lock_guard lock(shared_->mutex);
    return std::exchange(shared_->done, std::nullopt);
}

bool ThumbnailLoader::busy() const {
    std::lock_guard lock(shared_->mutex);
    return shared_->working || shared_->pending;
}

} // namespace win
