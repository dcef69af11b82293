// RenderBars against a plain fill of the same image, the memory-bandwidth floor:
//   build/bench/bench_renderbars --benchmark_repetitions=5 --benchmark_report_aggregates_only
#include "wash/renderbars.h"

#include <benchmark/benchmark.h>

namespace {

void PlainFill(benchmark::State &state)
{
    QImage img(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)),
               QImage::Format_RGB32);
    for (auto _ : state) {
        img.fill(0xff000000u);
        benchmark::DoNotOptimize(img.constBits());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * img.sizeInBytes());
}

void RenderBars20x20(benchmark::State &state)
{
    QImage img(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)),
               QImage::Format_RGB32);
    int64_t frame = 0;
    for (auto _ : state) {
        RenderBars(img, 20, 20, 2, 2, frame++);
        benchmark::DoNotOptimize(img.constBits());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * img.sizeInBytes());
}

void RenderBarsHugeCount(benchmark::State &state)
{
    QImage img(1920, 1080, QImage::Format_RGB32);
    const auto count = static_cast<int32_t>(state.range(0));
    int64_t frame = 0;
    for (auto _ : state) {
        RenderBars(img, count, count, 2, 2, frame++);
        benchmark::DoNotOptimize(img.constBits());
    }
}

void Sizes(benchmark::internal::Benchmark *b)
{
    b->Args({1920, 1080})->Args({3840, 2160})->Args({7680, 4320})->Unit(benchmark::kMillisecond);
}

} // namespace

BENCHMARK(PlainFill)->Apply(Sizes);
BENCHMARK(RenderBars20x20)->Apply(Sizes);
BENCHMARK(RenderBarsHugeCount)->Arg(20)->Arg(2147483647)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
