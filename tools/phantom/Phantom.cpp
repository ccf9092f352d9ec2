#include "tools/phantom/Phantom.h"

#include "tools/phantom/Random.h"
#include "tools/phantom/Tissue.h"

#include <algorithm>
#include <cmath>
#include <thread>

namespace phantom {

namespace {

constexpr std::uint64_t kNoiseSeed = 0x0B0D1E5C4A11ull;

// Fraction of a voxel inside a surface at signed distance d: 1 deep inside, 0 well
// outside, a smooth ramp kEdgeWidth wide across the surface.
inline float coverage(float d)
{
    float t = std::clamp(0.5f - d / float(kEdgeWidth), 0.0f, 1.0f);
    return t * t * (3.0f - 2.0f * t);
}

// Paints every structure into the slices [k0, k1).
void paintSlab(const Anatomy& anatomy, int k0, int k1, float* hu, std::uint8_t* organs)
{
    VoxelRegion slab = wholeGrid();
    slab.k0 = k0;
    slab.k1 = k1;
    std::vector<float> field, scratch;
    for (const Structure& s : anatomy) {
        VoxelRegion r = regionOf(s.shape.bounds().grown(kEdgeWidth + 1.0), slab);
        if (r.empty())
            continue;
        field.resize(r.count());
        scratch.resize(r.count());
        s.shape.distanceField(r, field.data(), scratch.data());
        const bool graded = s.huSlope.x != 0 || s.huSlope.y != 0 || s.huSlope.z != 0;
        const float organ = float(s.organ);
        size_t n = 0;
        for (int k = r.k0; k < r.k1; ++k)
            for (int j = r.j0; j < r.j1; ++j)
                for (int i = r.i0; i < r.i1; ++i, ++n) {
                    float c = coverage(field[n]);
                    if (c <= 0.0f)
                        continue;
                    size_t v = Grid::index(i, j, k);
                    float material = graded ? float(s.huAt(Grid::centre(i, j, k))) : float(s.hu);
                    hu[v] += c * (material - hu[v]);
                    if (s.coreInset > 0) {
                        float core = coverage(field[n] + float(s.coreInset));
                        hu[v] += core * (float(s.coreHu) - hu[v]);
                    }
                    if (organs && c >= 0.5f)
                        organs[v] = std::uint8_t(organ);
                }
    }
}

} // namespace

double voxelNoise(std::size_t index)
{
    // Sum of four uniforms (Irwin-Hall): close to Gaussian, but bounded, so no voxel
    // strays from its material into a window it should stay out of.
    std::uint64_t h = mix64(index ^ kNoiseSeed);
    double sum = 0;
    for (int q = 0; q < 4; ++q)
        sum += double((h >> (16 * q)) & 0xFFFF) / 65536.0;
    return (sum - 2.0) * std::sqrt(3.0) * hu::kNoiseSigma;
}

PhantomVolume paint(const Anatomy& anatomy, bool withOrgans, int threads)
{
    std::vector<float> hu(Grid::count(), float(hu::kAir));
    PhantomVolume out;
    if (withOrgans)
        out.organs.assign(Grid::count(), std::uint8_t(Organ::Outside));
    std::uint8_t* organs = withOrgans ? out.organs.data() : nullptr;

    threads = std::clamp(threads, 1, Grid::nz);
    std::vector<std::thread> workers;
    for (int t = 1; t < threads; ++t)
        workers.emplace_back(paintSlab, std::cref(anatomy), Grid::nz * t / threads, Grid::nz * (t + 1) / threads,
                             hu.data(), organs);
    paintSlab(anatomy, 0, Grid::nz / threads, hu.data(), organs);
    for (std::thread& w : workers)
        w.join();

    // What the scanner stores: noise, nothing beyond its reconstruction circle, the
    // 12-bit range.
    out.hu.resize(Grid::count());
    for (int k = 0; k < Grid::nz; ++k)
        for (int j = 0; j < Grid::ny; ++j)
            for (int i = 0; i < Grid::nx; ++i) {
                size_t v = Grid::index(i, j, k);
                Vec3 c = Grid::centre(i, j, k);
                double dx = c.x - kFieldOfViewCentreX, dy = c.y - kFieldOfViewCentreY;
                if (dx * dx + dy * dy > kFieldOfViewRadius * kFieldOfViewRadius) {
                    out.hu[v] = std::int16_t(hu::kMinimum);
                    if (withOrgans)
                        out.organs[v] = std::uint8_t(Organ::Outside);
                    continue;
                }
                long value = std::lround(hu[v] + voxelNoise(v));
                out.hu[v] = std::int16_t(std::clamp(value, long(hu::kMinimum), long(hu::kMaximum)));
            }
    return out;
}

PhantomVolume generatePhantom(bool withOrgans, int threads)
{
    return paint(buildAnatomy(), withOrgans, threads);
}

} // namespace phantom
