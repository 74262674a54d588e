// SPDX-License-Identifier: MIT
// What opening a photo costs the tool: decoding a 4000 x 3000 JPEG and
// stretching it to 4096 x 4096 for D3DX_DEFAULT sizes, next to libjpeg-turbo
// decoding the same bytes to the same BGRA rows on its own. The JPEG is made
// at start-up (a gradient with noise, quality 90, 4:2:0) so no file is needed.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

#include <jpeglib.h>

#include "d3d9/ImageCodec.h"

namespace {

constexpr int kWidth = 4000, kHeight = 3000;

std::vector<uint8_t> makeJpeg() {
    std::vector<uint8_t> rgb(size_t(kWidth) * kHeight * 3);
    std::minstd_rand noise(42);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            uint8_t* p = &rgb[(size_t(y) * kWidth + x) * 3];
            const int grain = int(noise() % 32) - 16;
            p[0] = uint8_t(std::clamp(x * 255 / kWidth + grain, 0, 255));
            p[1] = uint8_t(std::clamp(y * 255 / kHeight + grain, 0, 255));
            p[2] = uint8_t(std::clamp((x + y) * 255 / (kWidth + kHeight) - grain, 0, 255));
        }
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr errors{};
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = kWidth;
    cinfo.image_height = kHeight;
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 90, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = &rgb[size_t(cinfo.next_scanline) * kWidth * 3];
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    std::vector<uint8_t> jpeg(buffer, buffer + size);
    jpeg_destroy_compress(&cinfo);
    std::free(buffer);
    return jpeg;
}

const std::vector<uint8_t>& photo() {
    static const std::vector<uint8_t> jpeg = makeJpeg();
    return jpeg;
}

void decodeAndStretch(benchmark::State& state) {
    const std::vector<uint8_t>& jpeg = photo();
    for (auto _ : state) {
        d3dx::Image image;
        if (FAILED(d3dx::decodeImage(jpeg.data(), jpeg.size(), image))) {
            state.SkipWithError("decodeImage failed");
            break;
        }
        const d3dx::Image texture = d3dx::resizeToPowerOfTwo(image, 8192);
        benchmark::DoNotOptimize(texture.pixels.data());
    }
    state.SetLabel(std::to_string(jpeg.size() / 1024) + " KiB -> 4096 x 4096");
}
BENCHMARK(decodeAndStretch)->Unit(benchmark::kMillisecond);

void decodeOnly(benchmark::State& state) {
    const std::vector<uint8_t>& jpeg = photo();
    for (auto _ : state) {
        d3dx::Image image;
        if (FAILED(d3dx::decodeImage(jpeg.data(), jpeg.size(), image))) {
            state.SkipWithError("decodeImage failed");
            break;
        }
        benchmark::DoNotOptimize(image.pixels.data());
    }
}
BENCHMARK(decodeOnly)->Unit(benchmark::kMillisecond);

// libjpeg-turbo alone, writing into one buffer reused by every iteration
// (freshBuffer = 0), or into a new zeroed buffer each time as any decoder that
// hands out an image must (freshBuffer = 1). On a machine where first touches
// of fresh pages are slow, the difference is mostly page faults.
void bareLibjpegTurbo(benchmark::State& state) {
    const std::vector<uint8_t>& jpeg = photo();
    const bool freshBuffer = state.range(0) != 0;
    std::vector<uint8_t> pixels(size_t(kWidth) * kHeight * 4);
    for (auto _ : state) {
        if (freshBuffer) std::vector<uint8_t>(size_t(kWidth) * kHeight * 4).swap(pixels);
        jpeg_decompress_struct cinfo{};
        jpeg_error_mgr errors{};
        cinfo.err = jpeg_std_error(&errors);
        jpeg_create_decompress(&cinfo);
        jpeg_mem_src(&cinfo, jpeg.data(), jpeg.size());
        jpeg_read_header(&cinfo, TRUE);
        cinfo.out_color_space = JCS_EXT_BGRA;
        jpeg_start_decompress(&cinfo);
        while (cinfo.output_scanline < cinfo.output_height) {
            JSAMPROW row = &pixels[size_t(cinfo.output_scanline) * kWidth * 4];
            jpeg_read_scanlines(&cinfo, &row, 1);
        }
        jpeg_finish_decompress(&cinfo);
        jpeg_destroy_decompress(&cinfo);
        benchmark::DoNotOptimize(pixels.data());
    }
}
BENCHMARK(bareLibjpegTurbo)->Arg(0)->Arg(1)->ArgName("freshBuffer")->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
