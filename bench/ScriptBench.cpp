// SPDX-License-Identifier: MIT
// Reading and running a generated script of about 1 MiB: declarations,
// arithmetic across the numeric types, vector methods, methods of the
// script that are called, and prints (to /dev/null). Reading and running
// are also measured apart, since a script is read once and may run often.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "script/Reader.h"

namespace {

std::string generatedScript(size_t bytes) {
    std::string text = "float total; vec3d sum; String line = \"\";\n";
    for (int k = 0; text.size() < bytes; ++k) {
        const std::string n = std::to_string(k);
        text += "int a" + n + " = " + n + " * 3 + 7 / 2 - 1;\n";
        text += "float b" + n + " = a" + n + " * 0.5 + sin(a" + n + ") * cos(1.5);\n";
        text += "vec3d c" + n + "; c" + n + ".set(b" + n + ", 1.0, 2.0); c" + n + ".normalize();\n";
        text += "sum = sum + c" + n + " * 2.0; total += b" + n + " / 3.0;\n";
        if (k % 10 == 0) {
            text += "float m" + n + "() { float t = total * 2.0 + " + n + ".5; return t; }\n";
            text += "total = total - m" + n + "() / 4.0;\n";
        }
        text +=
            "print(a" + n + " && b" + n + " || false); print(\" \"); print(sum); print(\"\\n\");\n";
    }
    return text;
}

const std::string& script1MiB() {
    static const std::string text = generatedScript(size_t(1) << 20);
    return text;
}

std::unique_ptr<script::Program> read(benchmark::State& state) {
    script::ReadError error;
    auto program = script::readProgram(script1MiB(), "bench.es", {}, error);
    if (!program) state.SkipWithError(error.text().c_str());
    return program;
}

struct QuietOutput {
    std::FILE* sink = std::fopen("/dev/null", "w");
    std::FILE* previous = scriptOutput();
    QuietOutput() { setScriptOutput(sink); }
    ~QuietOutput() {
        setScriptOutput(previous);
        std::fclose(sink);
    }
};

void readScript(benchmark::State& state) {
    for (auto _ : state) {
        auto program = read(state);
        benchmark::DoNotOptimize(program.get());
    }
    state.SetBytesProcessed(int64_t(state.iterations() * script1MiB().size()));
}
BENCHMARK(readScript)->Unit(benchmark::kMillisecond);

void runScript(benchmark::State& state) {
    QuietOutput quiet;
    auto program = read(state);
    if (!program) return;
    state.counters["evaluations"] = double(program->evaluations);
    for (auto _ : state) program->run();
}
BENCHMARK(runScript)->Unit(benchmark::kMillisecond);

void readAndRunScript(benchmark::State& state) {
    QuietOutput quiet;
    for (auto _ : state) {
        auto program = read(state);
        if (program) program->run();
    }
    state.SetBytesProcessed(int64_t(state.iterations() * script1MiB().size()));
}
BENCHMARK(readAndRunScript)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
