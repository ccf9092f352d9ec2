// Paints the anatomy into the voxel grid and turns it into what a scanner would store:
// partial-volume edges, mild noise, the reconstruction circle, 16-bit signed HU.
#pragma once

#include "tools/phantom/Anatomy.h"
#include "tools/phantom/Grid.h"

#include <cstdint>
#include <vector>

namespace phantom {

struct PhantomVolume {
    std::vector<std::int16_t> hu;      // Grid::count() voxels, x fastest; -1024 .. 3071
    std::vector<std::uint8_t> organs;  // per voxel the Organ covering most of it; empty unless asked for
};

// The reconstruction circle in the x-y plane; outside it the scanner writes -1024.
constexpr double kFieldOfViewCentreX = 200.0; // mm
constexpr double kFieldOfViewCentreY = 160.0;
constexpr double kFieldOfViewRadius = 200.0;

// Width (mm) over which a surface blends into its surroundings: the partial-volume edge.
constexpr double kEdgeWidth = 2.0;

// Same bytes on every call. `threads` > 1 paints slabs of slices in parallel (the
// result does not depend on it).
PhantomVolume generatePhantom(bool withOrgans, int threads = 1);

// The same painting for a given anatomy (tests use small ones).
PhantomVolume paint(const Anatomy& anatomy, bool withOrgans, int threads = 1);

// Scanner noise of one voxel: bounded, zero mean, standard deviation hu::kNoiseSigma.
double voxelNoise(std::size_t index);

} // namespace phantom
