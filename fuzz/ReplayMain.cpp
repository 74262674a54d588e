// SPDX-License-Identifier: MIT
// A stand-in for libFuzzer's driver that replays a corpus instead of
// searching: every file in the folder given as argv[1] (or the one file
// given) goes once through LLVMFuzzerTestOneInput. Built without clang, it
// lets CI run each fuzz target's corpus under GCC's sanitizers. An empty or
// missing corpus fails, so a mistyped path cannot pass as a clean run.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s CORPUS_FOLDER|FILE\n", argv[0]);
        return 2;
    }
    std::vector<fs::path> inputs;
    std::error_code error;
    if (fs::is_directory(argv[1], error)) {
        for (const auto& item : fs::directory_iterator(argv[1], error))
            if (item.is_regular_file()) inputs.push_back(item.path());
    } else if (fs::is_regular_file(argv[1], error)) {
        inputs.push_back(argv[1]);
    }
    if (inputs.empty()) {
        std::fprintf(stderr, "%s: no corpus files in '%s'\n", argv[0], argv[1]);
        return 1;
    }
    std::sort(inputs.begin(), inputs.end());
    for (const fs::path& input : inputs) {
        std::ifstream in(input, std::ios::binary);
        std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
        // A non-null pointer even for an empty input, as libFuzzer passes.
        static const uint8_t none = 0;
        LLVMFuzzerTestOneInput(bytes.empty() ? &none : bytes.data(), bytes.size());
    }
    std::printf("replayed %zu inputs from %s\n", inputs.size(), argv[1]);
    return 0;
}
