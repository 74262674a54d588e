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

namespace {

struct PngLayout {
    int width = 0, height = 0;
    int bitDepth = 8;
    int colorType = PNG_COLOR_TYPE_RGB;
    bool interlaced = false;
    std::vector<png_color> palette;
    const png_color_16* transparent = nullptr;
};

// The jump target's frame changes nothing that is read after a jump.
bool writePng(png_structp png, png_infop info, const PngLayout& layout,
              std::vector<png_bytep>& rows, std::vector<uint8_t>& bytes) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_write_fn(png, &bytes, appendBytes, nullptr);
    png_set_IHDR(png, info, png_uint_32(layout.width), png_uint_32(layout.height), layout.bitDepth,
                 layout.colorType, layout.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!layout.palette.empty())
        png_set_PLTE(png, info, layout.palette.data(), int(layout.palette.size()));
    if (layout.transparent) png_set_tRNS(png, info, nullptr, 0, layout.transparent);
    png_write_info(png, info);
    png_write_image(png, rows.data());
    png_write_end(png, nullptr);
    return true;
}

std::vector<uint8_t> encodePng(const PngLayout& layout, std::vector<png_bytep>& rows) {
    std::vector<uint8_t> bytes;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (!writePng(png, info, layout, rows, bytes)) bytes.clear();
    png_destroy_write_struct(&png, &info);
    return bytes;
}

int colorTypeOf(int channels) {
    switch (channels) {
    case 1: return PNG_COLOR_TYPE_GRAY;
    case 2: return PNG_COLOR_TYPE_GRAY_ALPHA;
    case 3: return PNG_COLOR_TYPE_RGB;
    default: return PNG_COLOR_TYPE_RGB_ALPHA;
    }
}

std::vector<uint8_t> encodePng16(PngLayout layout, int channels,
                                 const std::vector<uint16_t>& samples) {
    const size_t rowSamples = size_t(layout.width) * size_t(channels);
    if (channels < 1 || channels > 4 || samples.size() != rowSamples * size_t(layout.height))
        return {};
    std::vector<uint8_t> bigEndian(samples.size() * 2);
    for (size_t i = 0; i < samples.size(); ++i) {
        bigEndian[2 * i] = uint8_t(samples[i] >> 8);
        bigEndian[2 * i + 1] = uint8_t(samples[i]);
    }
    std::vector<png_bytep> rows;
    for (int y = 0; y < layout.height; ++y) rows.push_back(&bigEndian[size_t(y) * rowSamples * 2]);
    layout.bitDepth = 16;
    layout.colorType = colorTypeOf(channels);
    return encodePng(layout, rows);
}

} // namespace

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
    PngLayout layout;
    layout.width = width;
    layout.height = height;
    layout.colorType = kind == PngKind::Rgb    ? PNG_COLOR_TYPE_RGB
                       : kind == PngKind::Gray ? PNG_COLOR_TYPE_GRAY
                                               : PNG_COLOR_TYPE_PALETTE;
    layout.interlaced = interlaced;
    layout.palette = std::move(palette);
    return encodePng(layout, rows);
}

std::vector<uint8_t> png16(int width, int height, int channels,
                           const std::vector<uint16_t>& samples, bool interlaced) {
    PngLayout layout;
    layout.width = width;
    layout.height = height;
    layout.interlaced = interlaced;
    return encodePng16(layout, channels, samples);
}

std::vector<uint8_t> png16ColourKeyed(int width, int height, int channels,
                                      const std::vector<uint16_t>& samples,
                                      const std::vector<uint16_t>& key) {
    if ((channels != 1 && channels != 3) || key.size() != size_t(channels)) return {};
    png_color_16 transparent{};
    if (channels == 1) {
        transparent.gray = key[0];
    } else {
        transparent.red = key[0];
        transparent.green = key[1];
        transparent.blue = key[2];
    }
    PngLayout layout;
    layout.width = width;
    layout.height = height;
    layout.transparent = &transparent;
    return encodePng16(layout, channels, samples);
}

} // namespace testimages
