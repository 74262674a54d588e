// SPDX-License-Identifier: MIT
// Thumbnails off the dialog's thread: what is refused before a byte is
// decoded, how a picture is shrunk, and that a newer request voids an older
// one while a stuck decode holds nobody up.
#include "win/ThumbnailLoader.h"

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <thread>

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "support/TempFolder.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// "Decodes" a file whose bytes are its colour: one pixel of 0xFF and the
// first three bytes; anything shorter is no image.
bool decodeColour(const uint8_t* bytes, size_t size, win::ThumbnailImage& out, std::string& why) {
    if (size < 3) {
        why = "too short";
        return false;
    }
    out = {1, 1, {0xFF000000u | uint32_t(bytes[0]) << 16 | uint32_t(bytes[1]) << 8 | bytes[2]}};
    return true;
}

// A decoder that waits until released, to stand for a slow or stuck one.
struct Gate {
    std::mutex mutex;
    std::condition_variable changed;
    bool open = false;
    int entered = 0;

    void release() {
        std::lock_guard lock(mutex);
        open = true;
        changed.notify_all();
    }
    win::ThumbnailDecoder decoder() {
        return
            [this](const uint8_t* bytes, size_t size, win::ThumbnailImage& out, std::string& why) {
                std::unique_lock lock(mutex);
                ++entered;
                changed.notify_all();
                changed.wait(lock, [this] { return open; });
                return decodeColour(bytes, size, out, why);
            };
    }
    bool waitEntered(int count) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, 5s, [&] { return entered >= count; });
    }
};

std::optional<win::ThumbnailLoader::Result> waitFor(win::ThumbnailLoader& loader) {
    for (auto end = std::chrono::steady_clock::now() + 5s; std::chrono::steady_clock::now() < end;
         std::this_thread::sleep_for(2ms))
        if (auto result = loader.take()) return result;
    return std::nullopt;
}

TEST(Thumbnail, ShrinksToFitKeepingTheShapeAndLaysAlphaOverTheBackground) {
    win::ThumbnailImage wide{300, 30, std::vector<uint32_t>(9000, 0xFF102030u)};
    wide.pixels[0] = 0x00FFFFFFu; // fully transparent: background shows
    auto small = win::shrinkToThumbnail(wide, 128, 0x808080);
    EXPECT_EQ(small.width, 128);
    EXPECT_EQ(small.height, 12);
    EXPECT_EQ(small.pixels.back(), 0xFF102030u);
    // The first output pixel averages a block holding the transparent one.
    EXPECT_NE(small.pixels.front(), 0xFF102030u);

    win::ThumbnailImage tiny{2, 1, {0x80FF0000u, 0xFF00FF00u}};
    auto same = win::shrinkToThumbnail(tiny, 128, 0x000000);
    ASSERT_EQ(same.width, 2); // never enlarged
    EXPECT_EQ(same.pixels[0], 0xFF800000u);
    EXPECT_EQ(same.pixels[1], 0xFF00FF00u);

    win::ThumbnailImage tall{1, 5000, std::vector<uint32_t>(5000, 0xFFFFFFFFu)};
    EXPECT_EQ(win::shrinkToThumbnail(tall, 128, 0).width, 1); // a side never reaches 0
    EXPECT_TRUE(win::shrinkToThumbnail({4, 4, {}}, 128, 0).pixels.empty()); // lying size
}

TEST(Thumbnail, RefusesPipesEmptyAndOversizedFilesWithoutDecoding) {
    TempFolder folder;
    int decoded = 0;
    win::ThumbnailDecoder counting = [&](const uint8_t* b, size_t n, win::ThumbnailImage& out,
                                         std::string& why) {
        ++decoded;
        return decodeColour(b, n, out, why);
    };
    ASSERT_EQ(::mkfifo((folder / "pipe.png").c_str(), 0600), 0);
    TempFolder::writeBytes(folder / "empty.png", "");
    TempFolder::writeBytes(folder / "huge.png", "");
    fs::resize_file(folder / "huge.png", win::kMaxThumbnailFileBytes + 1); // sparse
    fs::create_directory(folder / "dir.png");

    const auto start = std::chrono::steady_clock::now();
    for (const char* name : {"pipe.png", "empty.png", "huge.png", "dir.png", "missing.png"}) {
        auto result = win::loadThumbnail((folder / name).string(), counting, 0);
        EXPECT_FALSE(result.ok) << name;
        EXPECT_FALSE(result.why.empty()) << name;
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s) << "a pipe held the open";
    EXPECT_EQ(decoded, 0);

    TempFolder::writeBytes(folder / "red.png", std::string("\xFF\x00\x00", 3));
    auto red = win::loadThumbnail((folder / "red.png").string(), counting, 0);
    ASSERT_TRUE(red.ok) << red.why;
    EXPECT_EQ(red.image.pixels, (std::vector<uint32_t>{0xFFFF0000u}));
    TempFolder::writeBytes(folder / "short.png", "\xFF");
    EXPECT_EQ(win::loadThumbnail((folder / "short.png").string(), counting, 0).why, "too short");
    EXPECT_FALSE(win::loadThumbnail((folder / "red.png").string(), nullptr, 0).ok);
}

TEST(ThumbnailLoader, ANewerRequestVoidsAStuckOneAndClosingDoesNotWait) {
    TempFolder folder;
    TempFolder::writeBytes(folder / "slow.png", "\x01\x02\x03");
    TempFolder::writeBytes(folder / "next.png", "\x04\x05\x06");
    Gate gate;
    {
        win::ThumbnailLoader loader(gate.decoder(), 0);
        loader.request((folder / "slow.png").string());
        ASSERT_TRUE(gate.waitEntered(1));
        EXPECT_TRUE(loader.busy());
        loader.request((folder / "next.png").string());
        EXPECT_FALSE(loader.take());
        gate.release();
        auto result = waitFor(loader);
        ASSERT_TRUE(result);
        EXPECT_EQ(result->path, (folder / "next.png").string());
        EXPECT_EQ(result->image.pixels, (std::vector<uint32_t>{0xFF040506u}));
        EXPECT_FALSE(loader.take()); // once, and slow.png's never
        loader.request("");
        EXPECT_FALSE(waitFor(loader));
    }
    static Gate stuck; // outlives the worker it holds up
    const auto start = std::chrono::steady_clock::now();
    {
        win::ThumbnailLoader loader(stuck.decoder(), 0);
        loader.request((folder / "slow.png").string());
        ASSERT_TRUE(stuck.waitEntered(1));
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
    stuck.release(); // the orphaned worker finishes and goes away
    std::this_thread::sleep_for(20ms);
}

} // namespace
