// Generating the CT phantom: the build does it whenever the generator changes, so it
// must stay at a few seconds. Run by hand: build/bench/bench_phantom_bench
#include "tools/phantom/Phantom.h"

#include <benchmark/benchmark.h>

static void GeneratePhantom(benchmark::State& state)
{
    for (auto _ : state) {
        phantom::PhantomVolume v = phantom::generatePhantom(false, int(state.range(0)));
        benchmark::DoNotOptimize(v.hu.data());
    }
    state.SetItemsProcessed(state.iterations() * std::int64_t(phantom::Grid::count()));
}
BENCHMARK(GeneratePhantom)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();

static void BuildAnatomy(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(phantom::buildAnatomy());
}
BENCHMARK(BuildAnatomy)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
