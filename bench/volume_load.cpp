// Start-up cost of the volume: the game loads it once per layer, six times in all, and
// each time reads the raw file, stretches the intensities and computes the histogram.
// Measures the volume of the build's run folder (build/data/taa.mhd); while that is
// missing, a synthetic MET_SHORT volume of comparable size (160 x 128 x 256) written to
// a temporary folder.
#include "volume/Diagram.h"
#include "volume/IntensityRange.h"
#include "volume/MetaImageLoader.h"

#include <GL/gl.h>
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <streambuf>
#include <string>
#include <vector>

namespace {

// The loaders' lines and progress items would drown the results.
class Silence {
public:
    Silence() : saved_(std::cout.rdbuf(&null_)) {}
    ~Silence() { std::cout.rdbuf(saved_); }

private:
    struct NullBuffer : std::streambuf {
        int overflow(int c) override { return c; }
        std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
    } null_;
    std::streambuf* saved_;
};

VolumeRecord load(const std::string& header)
{
    VolumeRecord r{};
    r.spacing[0] = r.spacing[1] = r.spacing[2] = 1.0f;
    loadMetaImage(r, header);
    return r;
}

std::uint64_t voxelCount(const VolumeRecord& r)
{
    return std::uint64_t(r.extent[0]) * std::uint64_t(r.extent[1]) * std::uint64_t(r.extent[2]);
}

unsigned bytesPerVoxel(unsigned type)
{
    switch (type) {
    case GL_UNSIGNED_BYTE: return 1;
    case GL_SHORT:
    case GL_UNSIGNED_SHORT: return 2;
    default: return 4;
    }
}

// A body-like CT slab: air outside an elliptic trunk, soft tissue inside, a bony core,
// and a little deterministic noise so the histogram has more than three bins.
void writeSyntheticVolume(const std::filesystem::path& dir)
{
    const int X = 160, Y = 128, Z = 256;
    std::vector<std::int16_t> v(std::size_t(X) * Y * Z);
    std::uint32_t noise = 12345;
    std::size_t i = 0;
    for (int z = 0; z < Z; ++z)
        for (int y = 0; y < Y; ++y)
            for (int x = 0; x < X; ++x, ++i) {
                noise = noise * 1664525u + 1013904223u;
                double dx = (x - X / 2) / (0.45 * X), dy = (y - Y / 2) / (0.4 * Y);
                double r = std::sqrt(dx * dx + dy * dy);
                int value = r > 1.0 ? -1000 : r < 0.2 ? 1200 : 40;
                v[i] = std::int16_t(value + int(noise >> 27) - 16);
            }
    std::ofstream(dir / "taa.mhd") << "ObjectType = Image\nNDims = 3\nDimSize = " << X << " " << Y << " " << Z
                                   << "\nElementSpacing = 1 1 1\nElementType = MET_SHORT\n"
                                      "ElementDataFile = taa.raw\n";
    std::ofstream raw(dir / "taa.raw", std::ios::binary);
    raw.write(reinterpret_cast<const char*>(v.data()), std::streamsize(v.size() * sizeof(v[0])));
}

struct Source {
    std::string header;
    std::string label;
    std::uint64_t rawBytes = 0;
    std::filesystem::path scratch;  // the synthetic volume's folder, removed at exit

    Source()
    {
        header = std::string(QUILLET_DATA_DIR) + "/taa.mhd";
        label = "build/data/taa.mhd";
        VolumeRecord probe;
        {
            Silence quiet;
            probe = load(header);
        }
        if (!probe.voxels) {
            std::string pattern = (std::filesystem::temp_directory_path() / "quillet-bench-XXXXXX").string();
            if (!mkdtemp(pattern.data()))
                std::abort();
            scratch = pattern;
            writeSyntheticVolume(scratch);
            header = (scratch / "taa.mhd").string();
            label = "synthetic MET_SHORT 160x128x256";
            Silence quiet;
            probe = load(header);
        }
        rawBytes = voxelCount(probe) * std::uint64_t(probe.extent[3]) * bytesPerVoxel(probe.voxelType);
        delete[] probe.voxels;
    }
    ~Source()
    {
        if (!scratch.empty()) {
            std::error_code ignored;
            std::filesystem::remove_all(scratch, ignored);
        }
    }
};

const Source& source()
{
    static Source s;
    return s;
}

// What the scene set-up does with a loaded volume before it frees it: the stretch for
// its type, then the histogram of the stretched voxels.
void stretchAndHistogram(VolumeRecord& r, ClassificationDiagram::Histogram& histogram)
{
    unsigned count = unsigned(voxelCount(r));
    std::vector<int> dims = {r.extent[0], r.extent[1], r.extent[2]};
    if (r.voxelType == GL_UNSIGNED_BYTE) {
        rescaleUnsignedByte(r.voxels, count);
        histogram.compute(r.voxels, dims, nullptr);
        return;
    }
    if (r.voxelType == GL_UNSIGNED_SHORT)
        rescaleUnsignedShort(reinterpret_cast<unsigned short*>(r.voxels), count);
    else
        convertSignedShort(reinterpret_cast<short*>(r.voxels), count);
    histogram.compute(reinterpret_cast<const unsigned short*>(r.voxels), dims, nullptr);
}

// The raw read alone: bytes per second of loadMetaImage.
void BM_RawRead(benchmark::State& state)
{
    const Source& s = source();
    Silence quiet;
    for (auto _ : state) {
        VolumeRecord r = load(s.header);
        benchmark::DoNotOptimize(r.voxels);
        delete[] r.voxels;
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(s.rawBytes));
    state.SetLabel(s.label);
}
BENCHMARK(BM_RawRead)->Unit(benchmark::kMillisecond);

// One of the six start-up loads: read, stretch, histogram, free. Start-up pays six times this.
void BM_StartupLoad(benchmark::State& state)
{
    const Source& s = source();
    Silence quiet;
    ClassificationDiagram::Histogram histogram;
    for (auto _ : state) {
        VolumeRecord r = load(s.header);
        stretchAndHistogram(r, histogram);
        benchmark::DoNotOptimize(histogram.maxCount);
        delete[] r.voxels;
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(s.rawBytes));
    state.SetLabel(s.label);
}
BENCHMARK(BM_StartupLoad)->Unit(benchmark::kMillisecond);

// The two in-memory passes on their own, from a pristine copy each time.
void BM_StretchAndHistogram(benchmark::State& state)
{
    const Source& s = source();
    Silence quiet;
    VolumeRecord pristine = load(s.header);
    std::vector<unsigned char> original(pristine.voxels, pristine.voxels + s.rawBytes);
    ClassificationDiagram::Histogram histogram;
    for (auto _ : state) {
        state.PauseTiming();
        std::memcpy(pristine.voxels, original.data(), original.size());
        state.ResumeTiming();
        stretchAndHistogram(pristine, histogram);
        benchmark::DoNotOptimize(histogram.maxCount);
    }
    delete[] pristine.voxels;
    state.SetLabel(s.label);
}
BENCHMARK(BM_StretchAndHistogram)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
