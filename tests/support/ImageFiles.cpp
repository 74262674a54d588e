// SPDX-License-Identifier: MIT
#include "support/ImageFiles.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <random>

#include <jpeglib.h>
#include <png.h>

namespace testimages {
namespace {

void appendBytes(png_structp png, png_bytep data, size_t length) {
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

} // namespace

std::vector<uint8_t> gradient(int width, int height, int components, uint32_t seed) {
    std::vector<uint8_t> samples(size_t(width) * size_t(height) * size_t(components));
    std::minstd_rand noise(seed);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < components; ++c) {
                const int base = x * (60 + 40 * c) / std::max(width, 1) +
                                 y * (200 - 50 * c) / std::max(height, 1);
                samples[(size_t(y) * size_t(width) + size_t(x)) * size_t(components) + size_t(c)] =
                    uint8_t((base + int(noise() % 24)) & 0xFF);
            }
    return samples;
}

std::vector<uint8_t> jpeg(int width, int height, const JpegShape& shape) {
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr errors{};
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = JDIMENSION(width);
    cinfo.image_height = JDIMENSION(height);
    cinfo.input_components = shape.components;
    cinfo.in_color_space = shape.components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, shape.quality, TRUE);
    if (shape.components == 3) {
        cinfo.comp_info[0].h_samp_factor = shape.hSample;
        cinfo.comp_info[0].v_samp_factor = shape.vSample;
    }
    if (shape.progressive) jpeg_simple_progression(&cinfo);
    cinfo.restart_in_rows = shape.restartRows;
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<uint8_t> samples =
        gradient(width, height, shape.components, uint32_t(width * 31 + height));
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row =
            &samples[size_t(cinfo.next_scanline) * size_t(width) * size_t(shape.components)];
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::vector<uint8_t> bytes(buffer, buffer + size);
    std::free(buffer);
    return bytes;
}

// The jump target's frame changes nothing that is read after a jump.
static bool writePng(png_structp png, png_infop info, int width, int height, int colorType,
                     bool interlaced, std::vector<png_color>& palette, std::vector<png_bytep>& rows,
                     std::vector<uint8_t>& bytes) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_write_fn(png, &bytes, appendBytes, nullptr);
    png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), 8, colorType,
                 interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!palette.empty()) png_set_PLTE(png, info, palette.data(), int(palette.size()));
    png_write_info(png, info);
    png_write_image(png, rows.data());
    png_write_end(png, nullptr);
    return true;
}

std::vector<uint8_t> png(int width, int height, PngKind kind, bool interlaced) {
    const int components = kind == PngKind::Rgb ? 3 : 1;
    std::vector<uint8_t> samples =
        gradient(width, height, components, uint32_t(width + 7 * height));
    std::vector<png_color> palette;
    if (kind == PngKind::Palette) {
        for (int i = 0; i < 16; ++i)
            palette.push_back(png_color{uint8_t(i * 16), uint8_t(255 - i * 8), uint8_t(i * 5)});
        for (uint8_t& sample : samples) sample &= 0x0F;
    }
    std::vector<png_bytep> rows;
    for (int y = 0; y < height; ++y)
        rows.push_back(&samples[size_t(y) * size_t(width) * size_t(components)]);
    const int colorType = kind == PngKind::Rgb    ? PNG_COLOR_TYPE_RGB
                          : kind == PngKind::Gray ? PNG_COLOR_TYPE_GRAY
                                                  : PNG_COLOR_TYPE_PALETTE;
    std::vector<uint8_t> bytes;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (!writePng(png, info, width, height, colorType, interlaced, palette, rows, bytes))
        bytes.clear();
    png_destroy_write_struct(&png, &info);
    return bytes;
}

} // namespace testimages
