// SPDX-License-Identifier: MIT
// What the engine does with text every frame and every file: same-length
// assignment (which must not allocate), formatting a log-style line, and
// storing and loading strings through a stream.
#include <benchmark/benchmark.h>

#include "core/FileArray.h"
#include "core/String.h"

namespace {

void sameLengthAssignment(benchmark::State& state) {
    String label(u"fps: 000");
    const char16_t* values[] = {u"fps: 035", u"fps: 060", u"fps: 144"};
    int i = 0;
    for (auto _ : state) {
        label = values[i++ % 3];
        benchmark::DoNotOptimize(label.p);
    }
}
BENCHMARK(sameLengthAssignment);

void formatLogLine(benchmark::State& state) {
    String line;
    String name(u"D3DERR_DEVICELOST");
    for (auto _ : state) {
        line.format(u"| %-24s = %i [%08X] %f", name.text(), 42, 0x8876086Cu, 1.5);
        benchmark::DoNotOptimize(line.p);
    }
}
BENCHMARK(formatLogLine);

void storeAndLoad(benchmark::State& state) {
    std::u16string text(size_t(state.range(0)), u'x');
    String source(text.c_str());
    String target;
    FileArray file;
    for (auto _ : state) {
        file.seek(0, 0);
        source.write(file);
        file.seek(0, 0);
        target.read(file);
        benchmark::DoNotOptimize(target.p);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * state.range(0));
}
BENCHMARK(storeAndLoad)->Arg(16)->Arg(1024)->Arg(20000);

} // namespace

BENCHMARK_MAIN();
