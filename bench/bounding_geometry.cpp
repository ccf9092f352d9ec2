// Empty-space skipping at the game's levels (5, 5, 5): building the octree, one full
// classification of it, and one rebuild of the vertex buffer. Measures the volume of
// the build's run folder (build/data/taa.mhd); while that is missing, a synthetic signed
// 16-bit body of comparable size (160 x 128 x 256). Starts its own Xvfb for the GL buffers.
#include "render/BoundingGeometry.h"
#include "tools/session/PrivateGLWindow.h"
#include "volume/IntensityRange.h"
#include "volume/MetaImageLoader.h"

#include <GL/glew.h>
#include <GL/freeglut.h>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

const unsigned char kGameLevels[3] = {5, 5, 5};

struct BenchVolume {
    int dims[3] = {0, 0, 0};
    double scale[3] = {1.0, 1.0, 1.0};
    bool isSigned = false;
    std::vector<unsigned short> voxels;    // as loaded: raw 16-bit patterns of a signed volume
    std::vector<unsigned short> converted; // after the stretch to the full unsigned range
    std::string source;
};

void setScale(BenchVolume& v, const float* spacing)
{
    double extent[3], longest = 0.0;
    for (int a = 0; a < 3; ++a) {
        extent[a] = v.dims[a] * double(spacing[a]);
        longest = std::max(longest, extent[a]);
    }
    for (int a = 0; a < 3; ++a)
        v.scale[a] = extent[a] / longest;
}

bool loadGameVolume(BenchVolume& v)
{
    const std::filesystem::path header = std::filesystem::path(QUILLET_DATA_DIR) / "taa.mhd";
    std::error_code error;
    if (std::filesystem::file_size(header, error) == 0 || error)
        return false;
    VolumeRecord r{};
    r.spacing[0] = r.spacing[1] = r.spacing[2] = 1.0f;
    {
        std::ostringstream log; // the loader's lines would drown the results
        std::streambuf* saved = std::cout.rdbuf(log.rdbuf());
        loadMetaImage(r, header.string());
        std::cout.rdbuf(saved);
    }
    if (!r.voxels || (r.voxelType != GL_SHORT && r.voxelType != GL_UNSIGNED_SHORT)) {
        delete[] r.voxels;
        return false;
    }
    for (int a = 0; a < 3; ++a)
        v.dims[a] = r.extent[a];
    v.voxels.resize(std::size_t(v.dims[0]) * v.dims[1] * v.dims[2]);
    std::memcpy(v.voxels.data(), r.voxels, v.voxels.size() * 2);
    delete[] r.voxels;
    v.isSigned = r.voxelType == GL_SHORT;
    setScale(v, r.spacing);
    v.source = header.string() + (v.isSigned ? " (MET_SHORT)" : " (MET_USHORT)");
    return true;
}

// Air round an elliptic trunk of soft tissue with a bony core and a little noise, as
// signed CT values: most leaves are empty or uniform, as in a scan of a body.
void makeSyntheticVolume(BenchVolume& v)
{
    v.dims[0] = 160, v.dims[1] = 128, v.dims[2] = 256;
    const float spacing[3] = {1.0f, 1.0f, 1.0f};
    setScale(v, spacing);
    v.isSigned = true;
    v.voxels.resize(std::size_t(160) * 128 * 256);
    unsigned noise = 12345;
    std::size_t i = 0;
    for (int z = 0; z < 256; ++z)
        for (int y = 0; y < 128; ++y)
            for (int x = 0; x < 160; ++x, ++i) {
                noise = noise * 1664525u + 1013904223u;
                const double dx = (x - 80) / 72.0, dy = (y - 64) / 51.2;
                const double r = std::sqrt(dx * dx + dy * dy);
                const int value = r > 1.0 ? -1000 : r < 0.2 ? 1200 : 40;
                v.voxels[i] = static_cast<unsigned short>(short(value + int(noise >> 27) - 16));
            }
    v.source = "synthetic 160 x 128 x 256 signed 16-bit body";
}

const BenchVolume& volume()
{
    static BenchVolume v = [] {
        BenchVolume loaded;
        if (!loadGameVolume(loaded)) {
            loaded = BenchVolume();
            makeSyntheticVolume(loaded);
        }
        loaded.converted = loaded.voxels;
        std::ostringstream log;
        std::streambuf* saved = std::cout.rdbuf(log.rdbuf());
        const unsigned count = unsigned(loaded.converted.size());
        if (loaded.isSigned)
            convertSignedShort(reinterpret_cast<short*>(loaded.converted.data()), count);
        else
            rescaleUnsignedShort(loaded.converted.data(), count);
        std::cout.rdbuf(saved);
        std::printf("volume: %s, %d x %d x %d, scale %.3f %.3f %.3f\n", loaded.source.c_str(),
                    loaded.dims[0], loaded.dims[1], loaded.dims[2], loaded.scale[0], loaded.scale[1],
                    loaded.scale[2]);
        return loaded;
    }();
    return v;
}

// A geometry whose tree holds the stretched volume, as the caster leaves it.
std::unique_ptr<BoundingGeometry> builtGeometry()
{
    const BenchVolume& v = volume();
    auto g = std::make_unique<BoundingGeometry>(kGameLevels);
    g->build(v.converted.data(), v.dims, v.scale);
    return g;
}

void BM_BuildTree(benchmark::State& state)
{
    const BenchVolume& v = volume();
    BoundingGeometry g(kGameLevels);
    // As the caster does it: a signed volume is built before its conversion and
    // refreshed after it, an unsigned one built after its stretch.
    for (auto _ : state) {
        if (v.isSigned) {
            g.build(v.voxels.data(), v.dims, v.scale);
            g.refreshSigned(v.converted.data());
        } else {
            g.build(v.converted.data(), v.dims, v.scale);
        }
        benchmark::DoNotOptimize(g.root.get());
    }
    state.counters["voxels"] = double(v.voxels.size());
}

// Range, clip box and threshold all change on every iteration, so each update walks
// the whole tree; mode 0 keeps the rebuilds out of the figure.
void BM_ClassifyFull(benchmark::State& state)
{
    auto g = builtGeometry();
    g->setMode(0);
    const double clipMin[2][3] = {{0, 0, 0}, {0.01, 0.01, 0.01}};
    int flip = 0;
    for (auto _ : state) {
        const float lower = flip ? 0.30f : 0.31f;
        g->updateRange(lower, 1.0f);
        g->updateClip(clipMin[flip], g->scale);
        g->updateThreshold(lower);
        flip ^= 1;
    }
}

// Emitting the visible blocks and uploading them. Mode 1: the range [0.3, 1] (the body
// as skin sees it, mostly merged); mode 2: the iso threshold 0.3 (a shell of leaves
// round the body's surface, hardly merged).
void BM_Rebuild(benchmark::State& state)
{
    auto g = builtGeometry();
    const double origin[3] = {0, 0, 0};
    g->updateClip(origin, g->scale);
    g->updateRange(0.3f, 1.0f);
    g->updateThreshold(0.3f);
    g->setMode(int(state.range(0)));
    for (auto _ : state) {
        g->rebuildVertexBuffer();
        glFinish();
    }
    state.counters["blocks"] = g->blockCount;
    state.counters["bytes"] = g->blockCount * 96.0;
}

BENCHMARK(BM_BuildTree)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ClassifyFull)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Rebuild)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    session::PrivateGLWindow window(argc, argv, 64, 64, "bench");
    if (!window.ready())
        return 1;
    volume();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
