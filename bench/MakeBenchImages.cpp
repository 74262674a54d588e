// SPDX-License-Identifier: MIT
// Writes the images the paired convert benchmark (paired-convert.sh) runs
// on into one folder: a 4000 x 3000 JPEG, an 8192 x 8192 PNG and a
// 120 x 120 PNG, all gradients with grain so that neither codec finds them
// trivially compressible. Deterministic: the same bytes on every run.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include <jpeglib.h>
#include <png.h>

namespace {

// One row of the picture: red follows x, green y, blue the diagonal, each
// with up to 16 levels of grain either way.
void gradientRow(std::vector<uint8_t>& rgb, int w, int h, int y, std::minstd_rand& noise) {
    for (int x = 0; x < w; ++x) {
        uint8_t* p = &rgb[size_t(x) * 3];
        const int grain = int(noise() % 32) - 16;
        p[0] = uint8_t(std::clamp(int(int64_t(x) * 255 / w) + grain, 0, 255));
        p[1] = uint8_t(std::clamp(int(int64_t(y) * 255 / h) + grain, 0, 255));
        p[2] = uint8_t(std::clamp(int(int64_t(x + y) * 255 / (w + h)) - grain, 0, 255));
    }
}

bool writeJpeg(const std::string& path, int w, int h) {
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (!out) return false;
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr errors{};
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, out);
    cinfo.image_width = JDIMENSION(w);
    cinfo.image_height = JDIMENSION(h);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 90, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<uint8_t> rgb(size_t(w) * 3);
    std::minstd_rand noise(42);
    while (cinfo.next_scanline < cinfo.image_height) {
        gradientRow(rgb, w, h, int(cinfo.next_scanline), noise);
        JSAMPROW row = rgb.data();
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return std::fclose(out) == 0;
}

// Row by row through libpng, so an 8192 x 8192 picture never sits in memory.
bool writePng(const std::string& path, int w, int h) {
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (!out) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, info ? &info : nullptr);
        std::fclose(out);
        return false;
    }
    png_init_io(png, out);
    png_set_IHDR(png, info, png_uint_32(w), png_uint_32(h), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    std::vector<uint8_t> rgb(size_t(w) * 3);
    std::minstd_rand noise(7);
    for (int y = 0; y < h; ++y) {
        gradientRow(rgb, w, h, y, noise);
        png_write_row(png, rgb.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return std::fclose(out) == 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_bench_images FOLDER\n");
        return 2;
    }
    const std::string folder = argv[1];
    const bool written = writeJpeg(folder + "/photo-4000x3000.jpg", 4000, 3000) &&
                         writePng(folder + "/big-8192x8192.png", 8192, 8192) &&
                         writePng(folder + "/small-120x120.png", 120, 120);
    if (!written) {
        std::fprintf(stderr, "make_bench_images: cannot write into %s\n", folder.c_str());
        return 1;
    }
    return 0;
}
