// computePreintegration() and update() as the game calls them, uploads included, on a
// real GL context (a private Xvfb unless QUILLET_TEST_DISPLAY names a display).
#include "classification/PreintTransferFunction1D.h"
#include "tests/classification/OrganLayer.h"
#include "tools/session/PrivateGLWindow.h"

#include <GL/glew.h>
#include <GL/freeglut.h>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

using namespace Classification;

namespace {

// An organ-like layer over a table of `size` entries, its table uploaded.
std::unique_ptr<PreintTransferFunction1D> layer(int size)
{
    auto tf = organLayer(size);
    tf->update();
    return tf;
}

void BM_ComputePreintegration(benchmark::State& state)
{
    auto tf = layer(int(state.range(0)));
    for (auto _ : state) {
        tf->computePreintegration();
        glFinish();
    }
}

void BM_Update(benchmark::State& state)
{
    auto tf = layer(int(state.range(0)));
    for (auto _ : state) {
        tf->update();
        glFinish();
    }
}

} // namespace

BENCHMARK(BM_ComputePreintegration)->Arg(128)->Arg(256)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Update)->Arg(128)->Arg(256)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    session::PrivateGLWindow window(argc, argv, 64, 64, "quillet bench");
    if (!window.ready())
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
