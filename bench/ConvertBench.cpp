// SPDX-License-Identifier: MIT
// `embossa convert` as a user runs it: the whole process (start, CPU-only
// device, decode, preview, relief, safe save) for a 120 x 120 PNG and for a
// 4000 x 3000 JPEG, and the same conversions inside this process to show
// what the process start adds. The images are made at start-up with libpng
// and libjpeg-turbo, so no file is needed.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include <jpeglib.h>
#include <png.h>

#include "app/ConvertCommand.h"

extern char** environ;

namespace {

std::string folder() {
    static const std::string made = [] {
        const char* base = std::getenv("TMPDIR");
        std::string pattern =
            std::string(base && *base ? base : "/tmp") + "/embossa-convert-bench-XXXXXX";
        if (!::mkdtemp(pattern.data())) std::abort();
        return pattern;
    }();
    return made;
}

std::vector<uint8_t> noisyRgb(int w, int h) {
    std::vector<uint8_t> rgb(size_t(w) * size_t(h) * 3);
    std::minstd_rand noise(42);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t* p = &rgb[(size_t(y) * size_t(w) + size_t(x)) * 3];
            const int grain = int(noise() % 32) - 16;
            p[0] = uint8_t(std::clamp(x * 255 / w + grain, 0, 255));
            p[1] = uint8_t(std::clamp(y * 255 / h + grain, 0, 255));
            p[2] = uint8_t(std::clamp((x + y) * 255 / (w + h) - grain, 0, 255));
        }
    return rgb;
}

std::string png120() {
    static const std::string path = [] {
        const std::string file = folder() + "/small.png";
        std::vector<uint8_t> rgb = noisyRgb(120, 120);
        png_image image{};
        image.version = PNG_IMAGE_VERSION;
        image.width = 120;
        image.height = 120;
        image.format = PNG_FORMAT_RGB;
        if (!png_image_write_to_file(&image, file.c_str(), 0, rgb.data(), 0, nullptr)) std::abort();
        return file;
    }();
    return path;
}

std::string jpeg4000() {
    static const std::string path = [] {
        const std::string file = folder() + "/photo.jpg";
        std::vector<uint8_t> rgb = noisyRgb(4000, 3000);
        std::FILE* out = std::fopen(file.c_str(), "wb");
        if (!out) std::abort();
        jpeg_compress_struct cinfo{};
        jpeg_error_mgr errors{};
        cinfo.err = jpeg_std_error(&errors);
        jpeg_create_compress(&cinfo);
        jpeg_stdio_dest(&cinfo, out);
        cinfo.image_width = 4000;
        cinfo.image_height = 3000;
        cinfo.input_components = 3;
        cinfo.in_color_space = JCS_RGB;
        jpeg_set_defaults(&cinfo);
        jpeg_set_quality(&cinfo, 90, TRUE);
        jpeg_start_compress(&cinfo, TRUE);
        while (cinfo.next_scanline < cinfo.image_height) {
            JSAMPROW row = &rgb[size_t(cinfo.next_scanline) * 4000 * 3];
            jpeg_write_scanlines(&cinfo, &row, 1);
        }
        jpeg_finish_compress(&cinfo);
        jpeg_destroy_compress(&cinfo);
        std::fclose(out);
        return file;
    }();
    return path;
}

void wholeProcess(benchmark::State& state, const std::string& image) {
    const std::string output = folder() + "/process.obj";
    std::vector<std::string> words = {EMBOSSA_BINARY, "convert", image, "-o", output};
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    for (auto _ : state) {
        pid_t child = 0;
        int status = 0;
        if (posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ) != 0 ||
            ::waitpid(child, &status, 0) != child || !WIFEXITED(status) ||
            WEXITSTATUS(status) != 0) {
            state.SkipWithError("embossa convert failed");
            break;
        }
    }
    posix_spawn_file_actions_destroy(&actions);
}

void inProcess(benchmark::State& state, const std::string& image) {
    const std::string output = folder() + "/inprocess.obj";
    std::FILE* sink = std::fopen("/dev/null", "w");
    for (auto _ : state)
        if (app::runConvertCommand({image, "-o", output}, sink, stderr) != 0) {
            state.SkipWithError("convert failed");
            break;
        }
    std::fclose(sink);
}

void convertPng120Process(benchmark::State& state) {
    wholeProcess(state, png120());
}
void convertJpeg4000Process(benchmark::State& state) {
    wholeProcess(state, jpeg4000());
}
void convertPng120InProcess(benchmark::State& state) {
    inProcess(state, png120());
}
void convertJpeg4000InProcess(benchmark::State& state) {
    inProcess(state, jpeg4000());
}

BENCHMARK(convertPng120Process)->Unit(benchmark::kMillisecond);
BENCHMARK(convertPng120InProcess)->Unit(benchmark::kMillisecond);
BENCHMARK(convertJpeg4000Process)->Unit(benchmark::kMillisecond);
BENCHMARK(convertJpeg4000InProcess)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
