// SPDX-License-Identifier: MIT
// GetOpenFileNameW through the real window loop, headless: keys and text go
// in as SDL events once the panel has drawn, and the owner's timer is
// counted to show that the loop kept serving it.
#include "win/FileDialog.h"
#include "shared/StandInLog.h"
#include "support/WinTestDriver.h"
#include <optional>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "d3d9/ImageCodec.h"
#include "support/TempFolder.h"
#include "sys/Unicode.h"
#include "win/DialogTemplate.h"
#include "win/ThumbnailLoader.h"
#include "win/Win.h"

namespace {

namespace fs = std::filesystem;

constexpr WORD kOwnerTemplate = 0x7F31;
constexpr int kBehind = 50; // a bitmap behind the whole dialog
constexpr int kBackspace = 0x08, kEnd = 0x23;
constexpr UINT_PTR kTimer = 7;
constexpr size_t kCapacity = 260;

const char16_t kFilters[] = u"Image files (*.jpg;*.jpeg)\0*.jpg;*.jpeg\0All files (*.*)\0*.*\0";

int timerTicks = 0;

INT_PTR ownerProc(HWND, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_TIMER && wParam == kTimer) ++timerTicks;
    return message == WM_INITDIALOG;
}

// One step of a script: returns true when done, so the next may follow.
using Step = std::function<bool()>;

Step act(std::function<void()> action) {
    return [action] {
        action();
        return true;
    };
}

class FileDialogLoopTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ::setenv("SDL_VIDEODRIVER", "offscreen", 0); // unless one asks to watch
        registerDialogTemplate(
            DialogTemplate{kOwnerTemplate,
                           u"Owner",
                           u"MS Shell Dlg",
                           8,
                           WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_SETFONT,
                           0,
                           0,
                           300,
                           200,
                           0x409,
                           {{kBehind, u"STATIC", u"", SS_BITMAP, 0, 0, 300, 200},
                            {-1, u"STATIC", u"Behind the dialog", SS_LEFT, 7, 7, 120, 8}}});
    }

    void SetUp() override {
        for (const char* name : {"a.jpg", "sub/inner.jpg"}) {
            fs::create_directories((folder / name).parent_path());
            TempFolder::writeBytes(folder / name, "x");
        }
        root = folder.path().generic_string();
        buffer.assign(kCapacity, u'\x2A'); // a pattern the dialog must not touch on failure
        timerTicks = 0;
    }

    void TearDown() override {
        win::test::setIdleHook(nullptr);
        win::setThumbnailDecoder(nullptr);
        if (owner) DestroyWindow(owner);
        for (HBITMAP bitmap : bitmaps) DeleteObject(bitmap);
        if (savedHome)
            ::setenv("HOME", savedHome->c_str(), 1);
        else
            ::unsetenv("HOME");
    }

    // Home for the places and "~" is the test's folder.
    void homeHere() { ::setenv("HOME", root.c_str(), 1); }

    // Fills the owner with one colour, under where the dialog will be.
    void paintBehind(uint32_t rgb) {
        std::vector<uint32_t> pixels(1000 * 800, rgb);
        HBITMAP bitmap = CreateBitmap(1000, 800, 1, 32, pixels.data());
        bitmaps.push_back(bitmap);
        SendMessageW(GetDlgItem(owner, kBehind), STM_SETIMAGE, IMAGE_BITMAP, LPARAM(bitmap));
    }

    HWND createOwner() {
        owner = CreateDialogParamW(nullptr, kOwnerTemplate, nullptr, ownerProc, 0);
        ShowWindow(owner, SW_SHOW);
        SetTimer(owner, kTimer, 10, nullptr);
        return owner;
    }

    void setPrevious(const std::string& path) {
        std::u16string wide = sys::utf8ToUtf16(path);
        std::copy(wide.begin(), wide.end(), buffer.begin());
        buffer[wide.size()] = u'\0';
    }
    std::string result() const { return sys::utf16ToUtf8(buffer.c_str()); }

    OPENFILENAMEW request(HWND window) {
        OPENFILENAMEW r;
        r.lStructSize = kOpenFileNameSize;
        r.hwndOwner = window;
        r.lpstrFilter = kFilters;
        r.nFilterIndex = 1;
        r.lpstrFile = buffer.data();
        r.nMaxFile = DWORD(buffer.size());
        r.Flags = OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
        return r;
    }

    // Runs the dialog, taking the next step only after the panel has drawn
    // twice since the last one, so focus requests and input have landed. A
    // stuck script is cancelled with Escape after a while.
    BOOL run(OPENFILENAMEW& r, std::vector<Step> steps) {
        size_t next = 0;
        int lastFrames = 0;
        const auto start = std::chrono::steady_clock::now();
        win::test::setIdleHook([&] {
            const int frames = win::test::fileDialogView().frames;
            if (std::chrono::steady_clock::now() - start > std::chrono::seconds(20)) {
                stuck = true;
                win::test::pressKey(VK_ESCAPE);
            } else if (next < steps.size() && frames >= lastFrames + 2 && steps[next]()) {
                ++next;
                lastFrames = frames;
            }
        });
        BOOL chosen = GetOpenFileNameW(&r);
        win::test::setIdleHook(nullptr);
        EXPECT_FALSE(stuck) << "the script stopped at step " << next;
        return chosen;
    }

    TempFolder folder;
    std::string root;
    std::u16string buffer;
    HWND owner = nullptr;
    bool stuck = false;
    std::vector<HBITMAP> bitmaps;
    std::optional<std::string> savedHome = [] {
        const char* home = std::getenv("HOME");
        return home ? std::optional<std::string>(home) : std::nullopt;
    }();
};

win::test::FileDialogView view() {
    return win::test::fileDialogView();
}

Step clickSpot(HWND window, std::string name) {
    return [window, name] {
        const win::test::FileDialogView shown = view();
        const RECT* spot = shown.spot(name);
        if (!spot) return false;
        win::test::clickAt(window, (spot->left + spot->right) / 2, (spot->top + spot->bottom) / 2);
        return true;
    };
}

Step press(int key) {
    return act([key] { win::test::pressKey(key); });
}

Step until(std::function<bool(const win::test::FileDialogView&)> holds) {
    return [holds] { return holds(view()); };
}

std::vector<std::string> filesOf(const win::test::FileDialogView& v) {
    std::vector<std::string> files;
    for (const auto& entry : v.entries)
        if (entry.back() != '/') files.push_back(entry);
    return files;
}

TEST_F(FileDialogLoopTest, TypedPathIsAcceptedWhileTheOwnersTimerTicks) {
    createOwner();
    setPrevious(root + "/a.jpg");
    auto r = request(owner);
    win::test::FileDialogView opened;
    int ticksWhenOpen = 0;
    bool saved = false;
    const std::string shot = EMBOSSA_SCREENSHOT_DIR "/file-dialog.png";
    BOOL chosen = run(r, {act([&] {
                              opened = win::test::fileDialogView();
                              ticksWhenOpen = timerTicks;
                              saved = win::test::saveScreenshot(owner, shot);
                          }),
                          [&] { return timerTicks >= ticksWhenOpen + 5; },
                          // Replaces the preselected name rather than adding to it.
                          act([&] { win::test::typeText(root + "/sub/inner.jpg"); }),
                          act([] { win::test::pressKey(VK_RETURN); })});
    EXPECT_EQ(chosen, 1);
    EXPECT_EQ(result(), root + "/sub/inner.jpg");
    EXPECT_EQ(opened.folder, root);
    EXPECT_EQ(opened.text, "a.jpg");
    EXPECT_TRUE(saved) << shot;
    EXPECT_EQ(r.nFilterIndex, 1u);
    EXPECT_EQ(win::test::fileDialogView().frames, 0);
    EXPECT_TRUE(IsWindow(owner));
}

TEST_F(FileDialogLoopTest, RefusalsStayInsideAndEscapeLeavesTheBufferAlone) {
    createOwner();
    setPrevious(root + "/a.jpg");
    const std::u16string before = buffer;
    auto r = request(owner);
    auto messageHas = [](const char* words) {
        return [words] {
            return win::test::fileDialogView().message.find(words) != std::string::npos;
        };
    };
    BOOL chosen =
        run(r, {act([] { win::test::typeText("missing.jpg"); }),
                act([] { win::test::pressKey(VK_RETURN); }), messageHas("File not found."),
                act([] { win::test::typeText("nowhere\\x.jpg"); }),
                act([] { win::test::pressKey(VK_RETURN); }), messageHas("The path does not exist."),
                act([] { win::test::pressKey(VK_ESCAPE); })});
    EXPECT_EQ(chosen, 0);
    EXPECT_EQ(buffer, before);
    EXPECT_EQ(r.nFilterIndex, 1u);
}

TEST_F(FileDialogLoopTest, WithoutOwnerItRunsInAPlainWindowOfItsOwn) {
    const std::u16string initial = sys::utf8ToUtf16(root);
    auto r = request(nullptr);
    r.lpstrInitialDir = initial.c_str();
    buffer[0] = u'\0';
    HWND plain = nullptr;
    BOOL chosen = run(r, {act([&] { plain = GetForegroundWindow(); }),
                          act([] { win::test::typeText("sub\\inner.jpg"); }),
                          act([] { win::test::pressKey(VK_RETURN); })});
    EXPECT_EQ(chosen, 1);
    EXPECT_EQ(result(), root + "/sub/inner.jpg");
    ASSERT_NE(plain, nullptr);
    EXPECT_FALSE(IsWindow(plain)) << "the plain window outlived its dialog";

    // Its close box cancels, as Escape does.
    setPrevious(root + "/a.jpg");
    const std::u16string before = buffer;
    EXPECT_EQ(run(r, {act([&] { win::test::closeBox(GetForegroundWindow()); })}), 0);
    EXPECT_EQ(buffer, before);

    // A path longer than the buffer is refused whole, never cut, and a box
    // names it and says why; the dialog stays open for another choice.
    std::vector<std::u16string> logged;
    standin::setLogFunction([&](const std::u16string& line) { logged.push_back(line); });
    r.nMaxFile = DWORD(root.size() + 6); // room for root + "/a.jp" and the terminator
    EXPECT_EQ(run(r, {act([&] { win::test::typeText(root + "/a.jpg"); }),
                      act([] { win::test::pressKey(VK_RETURN); }),
                      [] {
                          return win::test::fileDialogView().message.find("characters long") !=
                                 std::string::npos;
                      },
                      act([] { win::test::pressKey(VK_ESCAPE); })}),
              0);
    standin::setLogFunction({});
    EXPECT_EQ(buffer, before);
    const std::u16string box =
        u"MessageBox: Open: " + sys::utf8ToUtf16(root + "/a.jpg") + u"\nThe path is " +
        sys::utf8ToUtf16(std::to_string(root.size() + 6)) + u" characters long";
    EXPECT_EQ(std::count_if(logged.begin(), logged.end(),
                            [&](const std::u16string& line) { return line.starts_with(box); }),
              1);
    r.lStructSize = 88; // an older structure the engine never sends
    EXPECT_EQ(GetOpenFileNameW(&r), 0);
}

} // namespace

namespace {

TEST_F(FileDialogLoopTest, HeaderClicksSortPlacesAndBreadcrumbMoveAndKeysWalkTheList) {
    homeHere();
    fs::create_directory(folder / "Pictures");
    TempFolder::writeBytes(folder / "b.jpg", std::string(5000, 'b'));
    TempFolder::writeBytes(folder / "c.jpg", std::string(10, 'c'));
    createOwner();
    buffer[0] = u'\0';
    auto r = request(owner);
    const std::u16string initial = sys::utf8ToUtf16(root);
    r.lpstrInitialDir = initial.c_str();
    win::test::FileDialogView first;
    BOOL chosen = run(
        r,
        {act([&] { first = view(); }), clickSpot(owner, "header:Size"), // sizes come biggest first
         until([](auto& v) { return filesOf(v).front() == "b.jpg"; }),
         clickSpot(owner, "header:Size"),
         until([](auto& v) { return filesOf(v).front() == "a.jpg"; }),
         clickSpot(owner, "place:Pictures"),
         until([&](auto& v) { return v.folder == root + "/Pictures"; }),
         clickSpot(owner, "crumb:" + root), until([&](auto& v) { return v.folder == root; }),
         // Arrows hand the keys to the list: Enter enters, Backspace leaves.
         press(VK_DOWN), until([](auto& v) { return v.text == "Pictures" && v.listHasKeys; }),
         press(VK_DOWN), until([](auto& v) { return v.text == "sub"; }), press(VK_RETURN),
         until([&](auto& v) { return v.folder == root + "/sub"; }), press(kBackspace),
         until([&](auto& v) { return v.folder == root; }),
         // Letters jump to the next entry starting with them.
         act([] { win::test::typeText("c"); }), until([](auto& v) { return v.text == "c.jpg"; }),
         press(VK_RETURN)});
    EXPECT_EQ(chosen, 1);
    EXPECT_EQ(result(), root + "/c.jpg");
    EXPECT_EQ(first.entries,
              (std::vector<std::string>{"Pictures/", "sub/", "a.jpg", "b.jpg", "c.jpg"}));
    ASSERT_GE(first.places.size(), 2u);
    EXPECT_EQ(first.places[0], (std::pair<std::string, std::string>{"Home", root}));
    EXPECT_EQ(first.places[1],
              (std::pair<std::string, std::string>{"Pictures", root + "/Pictures"}));
}

TEST_F(FileDialogLoopTest, APathTypedWithTildeIsFollowedToItsFolderOrFile) {
    homeHere();
    createOwner();
    auto r = request(owner);
    BOOL chosen = run(r, {act([] { win::test::typeText("~/sub/"); }), press(VK_RETURN),
                          until([&](auto& v) { return v.folder == root + "/sub"; }),
                          act([] { win::test::typeText("~/a.jpg"); }), press(VK_RETURN)});
    EXPECT_EQ(chosen, 1);
    EXPECT_EQ(result(), root + "/a.jpg");
}

// The panel is solid: changing what lies behind it changes nothing inside.
TEST_F(FileDialogLoopTest, NothingBehindTheDialogShowsThroughIt) {
    createOwner();
    paintBehind(0xFF00FF);
    setPrevious(root + "/a.jpg");
    auto r = request(owner);
    win::test::Capture magenta, green;
    RECT list{};
    run(r, {act([&] {
                const win::test::FileDialogView shown = view();
                const RECT* name = shown.spot("header:Name");
                const RECT* date = shown.spot("header:Modified");
                const RECT* field = shown.spot("name");
                ASSERT_TRUE(name && date && field);
                list = RECT{name->left, name->top, date->right, field->top};
                win::test::capture(owner, magenta);
            }),
            act([&] { paintBehind(0x00FF00); }), act([&] { win::test::capture(owner, green); }),
            press(VK_ESCAPE)});
    ASSERT_EQ(magenta.width, green.width);
    ASSERT_GT(list.bottom, list.top + 20);
    int differing = 0;
    for (int y = list.top; y < list.bottom; ++y)
        for (int x = list.left; x < list.right; ++x)
            differing += magenta.at(x, y) != green.at(x, y);
    EXPECT_EQ(differing, 0);
    // The bitmap really is behind: the margin round the dialog shows it dimmed.
    EXPECT_NE(magenta.at(2, magenta.height - 3), green.at(2, green.height - 3));
}

// Holds the decoder on a file whose bytes say "# slow", until released.
struct SlowDecode {
    std::mutex mutex;
    std::condition_variable changed;
    bool released = false;
    bool entered = false;
};
SlowDecode slow;

bool decodeForTest(const uint8_t* bytes, size_t size, win::ThumbnailImage& out, std::string& why) {
    if (std::string_view(reinterpret_cast<const char*>(bytes), size).find("# slow") !=
        std::string_view::npos) {
        std::unique_lock lock(slow.mutex);
        slow.entered = true;
        slow.changed.wait(lock, [] { return slow.released; });
    }
    d3dx::Image image;
    if (FAILED(d3dx::decodeImage(bytes, size, image, nullptr, &why))) return false;
    out = {image.width, image.height, std::move(image.pixels)};
    return true;
}

TEST_F(FileDialogLoopTest, ThumbnailShowsTheImageAndSlowOrHostileFilesNeverHoldTheKeys) {
    std::string pic = "P6 64 32 255\n";
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 64; ++x) pic += std::string(x < 32 ? "\xFF\0\0" : "\0\0\xFF", 3);
    TempFolder::writeBytes(folder / "pic.ppm", pic);
    TempFolder::writeBytes(folder / "huge.ppm", "P6 100000 100000 255\n\x01\x02\x03");
    ASSERT_EQ(::mkfifo((folder / "pipe.ppm").c_str(), 0600), 0);
    TempFolder::writeBytes(folder / "slow.ppm", std::string("P6\n# slow\n1 1\n255\n\x01\x02\x03"));
    win::setThumbnailDecoder(decodeForTest);
    createOwner();
    setPrevious(root + "/pic.ppm");
    auto r = request(owner);
    r.nFilterIndex = 2; // all files
    win::test::Capture shot;
    RECT thumbnail{};
    std::chrono::steady_clock::time_point pressed;
    std::chrono::steady_clock::duration answered{};
    std::string shownAfterRelease;
    const std::string path = root + "/";
    run(r, {until([&](auto& v) { return v.thumbnailPath == path + "pic.ppm"; }), act([&] {
                thumbnail = *view().spot("thumbnail");
                win::test::capture(owner, shot);
            }),
            press(VK_DOWN), until([&](auto& v) {
                return v.thumbnailPath == path + "pipe.ppm" &&
                       v.thumbnailWhy.find("regular") != std::string::npos;
            }),
            press(VK_UP), press(VK_UP), until([&](auto& v) {
                return v.thumbnailPath == path + "huge.ppm" && !v.thumbnailWhy.empty();
            }),
            press(kEnd), until([](auto& v) { return v.text == "slow.ppm"; }),
            [] {
                std::lock_guard lock(slow.mutex);
                return slow.entered;
            },
            act([&] {
                pressed = std::chrono::steady_clock::now();
                win::test::pressKey(VK_UP);
            }),
            until([&](auto& v) {
                answered = std::chrono::steady_clock::now() - pressed;
                return v.text == "pipe.ppm";
            }),
            act([] {
                std::lock_guard lock(slow.mutex);
                slow.released = true;
                slow.changed.notify_all();
            }),
            until([&](auto& v) {
                shownAfterRelease = v.thumbnailPath;
                return !v.thumbnailPath.empty();
            }),
            press(VK_ESCAPE)});
    EXPECT_EQ(shownAfterRelease, path + "pipe.ppm") << "a stale decode was shown";
    EXPECT_LT(answered, std::chrono::seconds(1)) << "a stuck decode held the keys";
    int red = 0, blue = 0;
    ASSERT_GT(shot.width, 0);
    for (int y = std::max(0, int(thumbnail.top)); y < std::min(shot.height, int(thumbnail.bottom));
         ++y)
        for (int x = std::max(0, int(thumbnail.left));
             x < std::min(shot.width, int(thumbnail.right)); ++x) {
            red += shot.at(x, y) == 0xFF0000u;
            blue += shot.at(x, y) == 0x0000FFu;
        }
    EXPECT_GT(red, 300);
    EXPECT_GT(blue, 300);
}

} // namespace
