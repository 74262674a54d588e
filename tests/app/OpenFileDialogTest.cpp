// SPDX-License-Identifier: MIT
#include "app/OpenFileDialog.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

#include "d3d9/ImageCodec.h"
#include "support/TempFolder.h"
#include "win/FileBrowser.h"

namespace {

namespace fs = std::filesystem;

// Whatever the decoders read must be findable in the open dialog: listed by
// "Image files" and by a filter of its own. The decodable samples of the
// decoder tests stand for every format, so a format added there without a
// filter fails here.
TEST(ImageFilter, ListsEveryDecodableFormatInTheFirstEntryAndInOneOfItsOwn) {
    const std::vector<win::FileFilter> filters = win::parseFilterList(fileFilter(kImageFilter));
    ASSERT_GE(filters.size(), 3u);
    std::set<std::string> extensions;
    const fs::path images = fs::path(EMBOSSA_SOURCE_DIR) / "tests/platform/d3d9/data/images";
    for (const auto& entry : fs::directory_iterator(images)) {
        const std::string bytes = TempFolder::readBytes(entry.path());
        d3dx::Image decoded;
        if (d3dx::decodeImage(bytes.data(), bytes.size(), decoded) == D3D_OK)
            extensions.insert(entry.path().extension());
    }
    extensions.insert(".png"); // the bundled sample
    EXPECT_GE(extensions.size(), 9u);
    for (const std::string& extension : extensions) {
        const std::string name = "picture" + extension;
        EXPECT_TRUE(win::matchesFilter(name, filters.front())) << name;
        int own = 0;
        for (size_t i = 1; i + 1 < filters.size(); ++i) own += win::matchesFilter(name, filters[i]);
        EXPECT_EQ(own, 1) << name;
    }
    EXPECT_FALSE(win::matchesFilter("notes.txt", filters.front()));
}

// Users who knew the list find the entries they knew where they were.
TEST(ImageFilter, KeepsTheEntriesItAlwaysHadInTheirPlaces) {
    const std::vector<win::FileFilter> filters = win::parseFilterList(fileFilter(kImageFilter));
    ASSERT_GE(filters.size(), 7u);
    EXPECT_TRUE(filters[0].description.starts_with("Image files (*.jpg;*.bmp;*.pcx;*.tga;*.dds"));
    const char* kept[] = {"JPEG (*.jpg)", "Windows or OS/2 Bitmap (*.bmp)",
                          "Zsoft Paintbrush (*.pcx)", "Truevision Targa(*.tga)",
                          "DirectDraw surface(*.dds)"};
    for (size_t i = 0; i < std::size(kept); ++i) EXPECT_EQ(filters[i + 1].description, kept[i]);
    EXPECT_EQ(filters.back().description, "All files (*.*)");
}

} // namespace
