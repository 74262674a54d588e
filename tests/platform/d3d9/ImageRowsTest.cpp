// SPDX-License-Identifier: MIT
// The streaming side of the codec against the whole-image side it must
// match byte for byte: decodeImageRows hands over exactly the rows asked
// for, each as decodeImage decodes it, with the same refusals; and
// PowerOfTwoTexels gives the texels resizeToPowerOfTwo gives, for sizes
// around powers of two, up- and downscales and limits below the image.
#include <gtest/gtest.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "d3d9/ImageCodec.h"
#include "support/ImageFiles.h"

namespace {

using d3dx::Image;

std::vector<uint8_t> readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// Keeps the rows it asked for and checks the decoder kept to the protocol.
struct RowRecorder : d3dx::ImageRowSink {
    std::function<bool(int)> wants;
    std::function<bool(int)> wantsColumns = [](int) { return true; };
    int width = -1, height = -1, begins = 0;
    std::map<int, std::vector<uint32_t>> rows;
    std::vector<int> order;

    explicit RowRecorder(std::function<bool(int)> wanted) : wants(std::move(wanted)) {}
    void begin(int w, int h) override {
        ++begins;
        width = w;
        height = h;
    }
    int nextRowWanted(int row) override {
        while (row < height && !wants(row)) ++row;
        return row;
    }
    void take(int row, const uint32_t* pixels) override {
        order.push_back(row);
        // Only wanted columns must be right: the others are kept as 0.
        std::vector<uint32_t>& kept = rows[row];
        kept.assign(size_t(width), 0);
        for (int x = 0; x < width; ++x)
            if (wantsColumns(x)) kept[size_t(x)] = pixels[x];
    }
    bool wantsColumn(int column) const override { return wantsColumns(column); }
};

// Serves the bytes in small pieces and never whole, as a file stream does;
// reads from `failAt` on fail, as a disk that gives out.
class PieceSource final : public d3dx::ImageSource {
public:
    explicit PieceSource(std::vector<uint8_t> bytes, size_t failAt = SIZE_MAX)
        : bytes_(std::move(bytes)), failAt_(failAt) {}
    size_t size() const override { return bytes_.size(); }
    bool read(size_t offset, void* into, size_t count) override {
        if (offset > bytes_.size() || count > bytes_.size() - offset) return false;
        if (offset + count > failAt_) return false;
        std::memcpy(into, bytes_.data() + offset, count);
        return true;
    }

private:
    std::vector<uint8_t> bytes_;
    size_t failAt_;
};

struct Outcome {
    HRESULT result = E_FAIL;
    std::string why;
    d3dx::ImageInfo info{};
};

// Decodes `bytes` both ways and expects the same answer; with a picture,
// checks every row handed over against it. `pieces` streams the bytes.
void expectRowsMatchWholeDecode(
    const std::vector<uint8_t>& bytes, const std::string& label,
    const std::function<bool(int)>& wants, bool pieces,
    const std::function<bool(int)>& wantsColumns = [](int) { return true; }) {
    Image whole;
    Outcome reference;
    reference.result =
        d3dx::decodeImage(bytes.data(), bytes.size(), whole, &reference.info, &reference.why);
    RowRecorder recorder(wants);
    recorder.wantsColumns = wantsColumns;
    Outcome streamed;
    d3dx::MemoryImageSource memory(bytes.data(), bytes.size());
    PieceSource piecewise(bytes);
    d3dx::ImageSource& source = pieces ? static_cast<d3dx::ImageSource&>(piecewise) : memory;
    streamed.result = d3dx::decodeImageRows(source, recorder, &streamed.info, &streamed.why);

    ASSERT_EQ(streamed.result, reference.result) << label << ": " << streamed.why;
    EXPECT_EQ(streamed.why, reference.why) << label;
    if (FAILED(reference.result)) return;
    EXPECT_EQ(recorder.begins, 1) << label;
    ASSERT_EQ(recorder.width, whole.width) << label;
    ASSERT_EQ(recorder.height, whole.height) << label;
    EXPECT_EQ(streamed.info.Format, reference.info.Format) << label;
    EXPECT_EQ(streamed.info.ImageFileFormat, reference.info.ImageFileFormat) << label;
    std::vector<int> expected;
    for (int y = 0; y < whole.height; ++y)
        if (wants(y)) expected.push_back(y);
    ASSERT_EQ(recorder.order, expected) << label << ": the rows asked for, in order, once each";
    for (int y : expected) {
        std::vector<uint32_t> row(whole.pixels.begin() + ptrdiff_t(y) * whole.width,
                                  whole.pixels.begin() + ptrdiff_t(y + 1) * whole.width);
        for (int x = 0; x < whole.width; ++x)
            if (!wantsColumns(x)) row[size_t(x)] = 0;
        ASSERT_EQ(recorder.rows[y], row) << label << ", row " << y;
    }
}

// Row choices a preview makes and a few that stress skipping: runs, lone
// rows, the first and last, none at all.
const std::vector<std::pair<const char*, std::function<bool(int)>>>& rowChoices() {
    static const std::vector<std::pair<const char*, std::function<bool(int)>>> choices = {
        {"every row", [](int) { return true; }},
        {"every 7th and the next", [](int y) { return y % 7 == 3 || y % 7 == 4; }},
        {"a lone row every 25", [](int y) { return y % 25 == 24; }},
        {"first and from 40 to 44", [](int y) { return y == 0 || (y >= 40 && y <= 44); }},
        {"the last rows", [](int y) { return y >= 61; }},
        {"none", [](int) { return false; }},
    };
    return choices;
}

TEST(ImageRows, JpegRowsAreTheWholeDecodesWhicheverRowsAreSkipped) {
    using testimages::JpegShape;
    const std::vector<std::pair<const char*, JpegShape>> shapes = {
        {"4:2:0", {3, 2, 2, false, 0}},    {"4:2:2", {3, 2, 1, false, 0}},
        {"4:4:0", {3, 1, 2, false, 0}},    {"4:4:4", {3, 1, 1, false, 0}},
        {"gray", {1, 1, 1, false, 0}},     {"progressive 4:2:0", {3, 2, 2, true, 0}},
        {"restarts", {3, 2, 2, false, 1}},
    };
    for (const auto& [name, shape] : shapes)
        for (const auto& [w, h] : {std::pair{67, 65}, std::pair{16, 64}, std::pair{33, 1}})
            for (const auto& [choice, wants] : rowChoices()) {
                const std::vector<uint8_t> bytes = testimages::jpeg(w, h, shape);
                const std::string label = std::string(name) + " " + std::to_string(w) + "x" +
                                          std::to_string(h) + ", " + choice;
                expectRowsMatchWholeDecode(bytes, label, wants, false);
                expectRowsMatchWholeDecode(bytes, label + ", streamed", wants, true);
            }
}

// Few wanted columns let the decoder leave whole blocks undone; the wanted
// ones must still come out exact, whatever the subsampling reads beside them.
TEST(ImageRows, JpegColumnsWantedComeOutExactWhenTheRestAreLeftUndone) {
    using testimages::JpegShape;
    const std::vector<std::pair<const char*, std::function<bool(int)>>> columnChoices = {
        {"every 33rd and the next", [](int x) { return x % 33 == 7 || x % 33 == 8; }},
        {"last of a chroma block", [](int x) { return x % 16 == 15; }},
        {"first of a chroma block", [](int x) { return x % 16 == 0; }},
        {"first and last", [](int x) { return x == 0 || x == 199; }},
        {"one narrow band", [](int x) { return x >= 90 && x < 95; }},
    };
    const std::vector<std::pair<const char*, JpegShape>> shapes = {
        {"4:2:0", {3, 2, 2}},
        {"4:2:2", {3, 2, 1}},
        {"4:4:4", {3, 1, 1}},
        {"gray", {1, 1, 1}},
        {"progressive", {3, 2, 2, true}},
    };
    for (const auto& [name, shape] : shapes)
        for (const auto& [choice, columns] : columnChoices) {
            const std::vector<uint8_t> bytes = testimages::jpeg(200, 90, shape);
            const std::string label = std::string(name) + ", " + choice;
            expectRowsMatchWholeDecode(
                bytes, label, [](int y) { return y % 9 < 2; }, false, columns);
            expectRowsMatchWholeDecode(
                bytes, label + ", every row", [](int) { return true; }, true, columns);
        }
}

TEST(ImageRows, PngRowsAreTheWholeDecodesPlainInterlacedAndPaletted) {
    using testimages::PngKind;
    for (PngKind kind : {PngKind::Rgb, PngKind::Gray, PngKind::Palette})
        for (bool interlaced : {false, true})
            for (const auto& [choice, wants] : rowChoices()) {
                const std::vector<uint8_t> bytes = testimages::png(45, 70, kind, interlaced);
                const std::string label = "kind " + std::to_string(int(kind)) +
                                          (interlaced ? " interlaced, " : ", ") + choice;
                expectRowsMatchWholeDecode(bytes, label, wants, false);
                expectRowsMatchWholeDecode(bytes, label + ", streamed", wants, true);
            }
}

// Every sample file, good or malformed, in every format: the same pixels or
// the same refusal with the same reason.
TEST(ImageRows, EverySampleFileAnswersAsTheWholeDecodeDoes) {
    const std::filesystem::path folder = std::filesystem::path(EMBOSSA_TEST_DATA_DIR) / "images";
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        const std::vector<uint8_t> bytes = readFile(entry.path());
        const std::string name = entry.path().filename().string();
        expectRowsMatchWholeDecode(
            bytes, name, [](int y) { return y % 3 != 1; }, false);
        expectRowsMatchWholeDecode(
            bytes, name + ", streamed", [](int) { return true; }, true);
        // Wanting no row must not skip past a fault at the end.
        expectRowsMatchWholeDecode(
            bytes, name + ", no row", [](int) { return false; }, true);
        ++files;
    }
    EXPECT_GT(files, 40);
}

TEST(ImageRows, ASourceThatStopsReadingFailsTheDecodeWithoutRows) {
    const std::vector<uint8_t> jpeg = testimages::jpeg(64, 64);
    const std::vector<uint8_t> png = testimages::png(64, 64);
    for (const auto& [name, bytes] : {std::pair{"jpeg", jpeg}, std::pair{"png", png}}) {
        PieceSource failing(bytes, bytes.size() / 2);
        RowRecorder recorder([](int) { return true; });
        std::string why;
        EXPECT_EQ(d3dx::decodeImageRows(failing, recorder, nullptr, &why), D3DXERR_INVALIDDATA)
            << name;
        EXPECT_FALSE(why.empty()) << name;
        EXPECT_LT(recorder.order.size(), 64u) << name << ": the rows past the fault never came";
    }
    d3dx::MemoryImageSource empty(nullptr, 0);
    RowRecorder recorder([](int) { return true; });
    std::string why;
    EXPECT_EQ(d3dx::decodeImageRows(empty, recorder, nullptr, &why), D3DXERR_INVALIDDATA);
    EXPECT_EQ(why, "ImageCodec: not a format we read");
    EXPECT_EQ(recorder.begins, 0);
}

// ---- PowerOfTwoTexels against resizeToPowerOfTwo

Image noisyImage(int w, int h, uint32_t seed) {
    Image image;
    image.width = w;
    image.height = h;
    std::minstd_rand noise(seed);
    for (int i = 0; i < w * h; ++i)
        image.pixels.push_back(uint32_t(noise()) ^ uint32_t(noise()) << 16);
    return image;
}

// Streams `image` through the texels, handing over only the rows they ask
// for, as a decoder does.
void stream(const Image& image, d3dx::PowerOfTwoTexels& texels) {
    texels.begin(image.width, image.height);
    for (int y = texels.nextRowWanted(0); y < image.height; y = texels.nextRowWanted(y + 1))
        texels.take(y, image.pixels.data() + size_t(y) * size_t(image.width));
}

TEST(PowerOfTwoTexels, EveryTexelIsTheWholeStretchsAcrossSizesAndLimits) {
    // Powers of two, one either side, odd sizes, and a single pixel.
    const int sides[] = {1, 2, 3, 7, 8, 9, 15, 16, 17, 33, 63, 64, 65, 100};
    // Limits above every size, equal to some, below most (downscales), and
    // no power of two.
    const int limits[] = {16384, 64, 16, 5, 1};
    for (int w : sides)
        for (int h : {1, 5, 16, 17, 63}) {
            const Image source = noisyImage(w, h, uint32_t(w * 100 + h));
            for (int limit : limits) {
                const Image whole = d3dx::resizeToPowerOfTwo(source, limit);
                d3dx::PowerOfTwoTexels texels(
                    limit, [](int tw, int th, std::vector<int>& columns, std::vector<int>& rows) {
                        for (int x = 0; x < tw; ++x) columns.push_back(x);
                        for (int y = th - 1; y >= 0; --y) rows.push_back(y); // any order
                    });
                stream(source, texels);
                ASSERT_EQ(texels.width(), whole.width);
                ASSERT_EQ(texels.height(), whole.height);
                for (int y = 0; y < whole.height; ++y)
                    for (int x = 0; x < whole.width; ++x)
                        ASSERT_EQ(texels.at(x, y), whole.at(x, y))
                            << w << "x" << h << " limit " << limit << " at " << x << "," << y;
            }
        }
}

TEST(PowerOfTwoTexels, ScatteredPicksReadOnlyTheRowsTheyNeed) {
    // 300 x 200 -> 512 x 256 upscaled; 300 x 200 under a 64 limit downscaled.
    const Image source = noisyImage(300, 200, 5);
    for (int limit : {16384, 64}) {
        const Image whole = d3dx::resizeToPowerOfTwo(source, limit);
        const std::vector<int> pickedColumns = {0, 1, 17, 17, 40, whole.width - 1};
        const std::vector<int> pickedRows = {whole.height - 1, 3, 4, 30};
        d3dx::PowerOfTwoTexels texels(
            limit, [&](int, int, std::vector<int>& columns, std::vector<int>& rows) {
                columns = pickedColumns;
                rows = pickedRows;
            });
        texels.begin(source.width, source.height);
        int handed = 0;
        for (int y = texels.nextRowWanted(0); y < source.height; y = texels.nextRowWanted(y + 1)) {
            texels.take(y, source.pixels.data() + size_t(y) * size_t(source.width));
            ++handed;
        }
        // Four texel rows read a few source rows each, not all 200.
        EXPECT_LT(handed, limit == 64 ? 40 : 16) << "limit " << limit;
        for (int y : pickedRows)
            for (int x : pickedColumns)
                ASSERT_EQ(texels.at(x, y), whole.at(x, y))
                    << "limit " << limit << " at " << x << "," << y;
    }
}

} // namespace
