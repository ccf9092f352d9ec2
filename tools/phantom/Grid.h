// The phantom's voxel grid: sizes, spacing and the mapping between voxel indices,
// millimetres and the game's object coordinates. No voxel storage here.
#pragma once

#include "tools/phantom/Vec3.h"

#include <cstddef>

namespace phantom {

// Patient on their back on the table. x runs across the body towards the PATIENT'S
// LEFT, y from the back to the front (anterior), z from the shoulders (z = 0) down to
// the hips. A slice drawn with x to the right and y upwards is therefore seen from the
// feet, patient's left on the right: the usual radiological view.
//
// 256 x 128 x 256 voxels of 1.5625 x 2.5 x 2.5 mm: 400 x 320 x 640 mm. Every axis is
// already a power of two, so the game's power-of-two texture wastes nothing, and the
// finer x sampling costs no texture memory. Object extent (0.625, 0.5, 1).
struct Grid {
    static constexpr int nx = 256;
    static constexpr int ny = 128;
    static constexpr int nz = 256;
    static constexpr double sx = 1.5625; // mm per voxel
    static constexpr double sy = 2.5;
    static constexpr double sz = 2.5;
    static constexpr double longestExtent = nz * sz; // 640 mm = 1 object unit

    static constexpr std::size_t count() { return std::size_t(nx) * ny * nz; }
    static constexpr std::size_t index(int i, int j, int k)
    {
        return (std::size_t(k) * ny + j) * nx + i;
    }
    // Voxel centres: the game samples texel i at its centre, (i + 0.5) voxels.
    static Vec3 centre(int i, int j, int k) { return {(i + 0.5) * sx, (j + 0.5) * sy, (k + 0.5) * sz}; }
    static Vec3 toObject(Vec3 mm) { return mm * (1.0 / longestExtent); }
    static Vec3 fromObject(Vec3 object) { return object * longestExtent; }
};

// A block of voxels [i0, i1) x [j0, j1) x [k0, k1), stored x fastest.
struct VoxelRegion {
    int i0 = 0, i1 = 0, j0 = 0, j1 = 0, k0 = 0, k1 = 0;

    bool empty() const { return i0 >= i1 || j0 >= j1 || k0 >= k1; }
    int width() const { return i1 - i0; }
    int height() const { return j1 - j0; }
    int depth() const { return k1 - k0; }
    std::size_t count() const { return empty() ? 0 : std::size_t(width()) * height() * depth(); }
    std::size_t offset(int i, int j, int k) const
    {
        return (std::size_t(k - k0) * height() + (j - j0)) * width() + (i - i0);
    }
};

// Axis-aligned bounds in millimetres.
struct Bounds {
    Vec3 lo, hi;

    Bounds grown(double margin) const
    {
        return {lo - Vec3{margin, margin, margin}, hi + Vec3{margin, margin, margin}};
    }
};

// Voxels whose centres lie inside `b`, clipped to `within`.
VoxelRegion regionOf(const Bounds& b, const VoxelRegion& within);
VoxelRegion wholeGrid();

} // namespace phantom
