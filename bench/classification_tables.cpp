// Cost of the classification tables: the pre-integration integral (run six times at
// start-up and at every level change) and the lookup-table rasterisation, as plain
// arithmetic. The GL variants with their uploads are in classification_upload.cpp.
#include "classification/LookupTable.h"
#include "classification/PreintegrationTable.h"
#include "classification/Trapez.h"
#include "tests/classification/PlainPreintegration.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

using namespace Classification;

namespace {

// Every entry opaque: no sample can be skipped, the worst case.
std::vector<unsigned short> opaqueTable(int n)
{
    std::vector<unsigned short> lut(size_t(n) * 4);
    for (int e = 0; e < n; ++e) {
        lut[e * 4 + 0] = (unsigned short)(e * 200);
        lut[e * 4 + 1] = 30000;
        lut[e * 4 + 2] = (unsigned short)(65535 - e * 100);
        lut[e * 4 + 3] = (unsigned short)(1000 + e * 200);
    }
    return lut;
}

// The default trapezoid, as a layer of the game would have.
std::vector<unsigned short> trapezoidTable(int n)
{
    VornTrapez shape("s");
    shape.colours = {{1, 1, 1, 0}, {0.5f, 0.5f, 0.5f, 0}, {1, 0, 0, 0}, {0, 0, 0, 0}};
    std::vector<TransferFunctionGeometry*> shapes = {&shape};
    std::vector<unsigned short> lut(size_t(n) * 4);
    rasteriseLookupTable(shapes, 0.2f, 0.8f, n, lut.data());
    return lut;
}

void integrate(benchmark::State& state, const std::vector<unsigned short>& lut)
{
    const int n = int(state.range(0));
    std::vector<unsigned short> out(size_t(n) * n * 4);
    for (auto _ : state) {
        integratePreintegrationTable(lut.data(), n, 1.0, out.data());
        benchmark::DoNotOptimize(out.data());
    }
}

void BM_PreintegrationOpaque(benchmark::State& state)
{
    integrate(state, opaqueTable(int(state.range(0))));
}

void BM_PreintegrationTrapezoid(benchmark::State& state)
{
    integrate(state, trapezoidTable(int(state.range(0))));
}

// The same integral without any hoisting or skipping, for comparison.
void BM_PreintegrationPlainOpaque(benchmark::State& state)
{
    const int n = int(state.range(0));
    const std::vector<unsigned short> lut = opaqueTable(n);
    for (auto _ : state)
        benchmark::DoNotOptimize(plainPreintegration(lut, n, 1.0));
}

void BM_RasteriseLookupTable(benchmark::State& state)
{
    const int n = int(state.range(0));
    std::vector<std::unique_ptr<VornTrapez>> owned;
    std::vector<TransferFunctionGeometry*> shapes;
    for (int s = 0; s < 4; ++s) {
        owned.push_back(std::make_unique<VornTrapez>("s"));
        shapes.push_back(owned.back().get());
    }
    std::vector<unsigned short> lut(size_t(n) * 4);
    for (auto _ : state) {
        rasteriseLookupTable(shapes, 0.2f, 0.8f, n, lut.data());
        benchmark::DoNotOptimize(lut.data());
    }
}

} // namespace

BENCHMARK(BM_PreintegrationOpaque)->Arg(128)->Arg(256)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PreintegrationTrapezoid)->Arg(128)->Arg(256)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PreintegrationPlainOpaque)->Arg(128)->Arg(256)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RasteriseLookupTable)->Arg(128)->Arg(256)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
