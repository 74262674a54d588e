// SPDX-License-Identifier: MIT
// The vertex-list pattern: floats written one at a time through get(), which
// grows a DynArray by whole steps of 1024, against std::vector's doubling
// push_back. Shows what the per-element capacity check and the step-sized
// reallocations cost next to the standard container.
#include <benchmark/benchmark.h>

#include <vector>

#include "core/Array.h"

namespace {

void dynArrayFill(benchmark::State& state) {
    const int32_t count = int32_t(state.range(0));
    for (auto _ : state) {
        DynArray<float> positions(0, 1024);
        for (int32_t i = 0; i < count; ++i) *positions.get(i) = float(i);
        benchmark::DoNotOptimize(positions.items);
    }
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(dynArrayFill)->Arg(1 << 10)->Arg(1 << 14)->Arg(1 << 18);

void vectorFill(benchmark::State& state) {
    const int32_t count = int32_t(state.range(0));
    for (auto _ : state) {
        std::vector<float> positions;
        for (int32_t i = 0; i < count; ++i) positions.push_back(float(i));
        benchmark::DoNotOptimize(positions.data());
    }
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(vectorFill)->Arg(1 << 10)->Arg(1 << 14)->Arg(1 << 18);

} // namespace

BENCHMARK_MAIN();
