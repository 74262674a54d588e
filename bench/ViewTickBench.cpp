// SPDX-License-Identifier: MIT
// One tick of the 3D view as the dialog runs it, on whatever OpenGL the
// window layer finds (Mesa's llvmpipe when headless): the timer message
// (frame timer, input poll, editor update) with a frame drawn and presented,
// as a tick that moves the view draws one, and then the window layer
// compositing the frame into the dialog; and a tick with nothing new, which
// draws nothing. The dialog shows
// the relief of the sample image, as `make run` does. The frame timer is
// stopped while measuring, so every frame is one the benchmark asked for.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/WinMain.h"
#include "sys/Unicode.h"
#include "win/Canvas.h"
#include "win/Win.h"

namespace {

HWND dialog = nullptr;

// A tick with a frame: the timer message, then the frame it draws when the
// view moved (sent here, since nothing moves).
void tickWithFrame() {
    SendMessageW(dialog, WM_TIMER, Embossa::kFrameTimer, 0);
    SendMessageW(dialog, WM_PAINT, 0, 0);
}

void BM_TimerTick(benchmark::State& state) {
    for (auto _ : state) tickWithFrame();
    state.counters["triangles"] = double(application().mesh.indexCount() / 3);
}
BENCHMARK(BM_TimerTick)->Unit(benchmark::kMillisecond);

void BM_IdleTick(benchmark::State& state) {
    const uint64_t frames = application().framesDrawn;
    for (auto _ : state) SendMessageW(dialog, WM_TIMER, Embossa::kFrameTimer, 0);
    state.counters["frames"] = double(application().framesDrawn - frames);
}
BENCHMARK(BM_IdleTick)->Unit(benchmark::kMicrosecond);

void BM_TimerTickAndComposite(benchmark::State& state) {
    for (auto _ : state) {
        tickWithFrame();
        win::canvas::paintNow(dialog);
    }
}
BENCHMARK(BM_TimerTickAndComposite)->Unit(benchmark::kMillisecond);

// The grid, axes and clear alone, as before an image is opened.
void BM_TimerTickWithoutRelief(benchmark::State& state) {
    Embossa& tool = application();
    const int32_t vertices = tool.mesh.vertexCount(), indices = tool.mesh.indexCount();
    tool.mesh.vertexCount() = 0;
    tool.mesh.indexCount() = 0;
    for (auto _ : state) tickWithFrame();
    tool.mesh.vertexCount() = vertices;
    tool.mesh.indexCount() = indices;
}
BENCHMARK(BM_TimerTickWithoutRelief)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY"))
        ::setenv("SDL_VIDEODRIVER", "offscreen", 1);
    application().pendingImage =
        String(sys::utf8ToUtf16(std::string(EMBOSSA_SOURCE_DIR) + "/examples/rings.png").c_str());
    bool ran = false;
    win::test::setIdleHook([&ran] {
        HWND window = application().window;
        if (!IsWindow(window) || ran) return;
        ran = true;
        dialog = window;
        KillTimer(window, Embossa::kFrameTimer);
        if (!application().view) {
            std::fprintf(stderr, "view_tick_bench: Direct3D did not start; nothing to measure\n");
        } else {
            benchmark::RunSpecifiedBenchmarks();
        }
        application().close(0);
    });
    static int instance = 0;
    WinMain(&instance);
    benchmark::Shutdown();
    return ran ? 0 : 1;
}
