// A quick look at the volume: three orthogonal slices side by side (coronal, sagittal,
// axial), resampled to square pixels, written as PGM or, through ImageMagick, as PNG.
#pragma once

#include "tools/phantom/Grid.h"

#include <cstdint>
#include <string>
#include <vector>

namespace phantom {

struct GreyImage {
    int width = 0, height = 0;
    std::vector<std::uint8_t> grey; // top row first
};

struct SliceOptions {
    Vec3 at{Grid::nx * Grid::sx / 2, Grid::ny * Grid::sy / 2, Grid::nz * Grid::sz / 2}; // mm; mid-slices
    double level = -150;  // HU at mid-grey
    double width = 1700;  // HU from black to white: lungs, soft tissue and bone together
};

// Coronal (seen from the front, patient's left on the right, head up), sagittal
// (front on the left, head up) and axial (seen from the feet, patient's left on the
// right, front up), on one strip with 4-pixel gaps; pixels of 1.5625 mm.
GreyImage slicePicture(const std::vector<std::int16_t>& hu, const SliceOptions& options);

// PGM when `path` ends in ".pgm", otherwise a PNG (or whatever ImageMagick's convert
// makes of the extension). Throws std::runtime_error on failure.
void writePicture(const GreyImage& image, const std::string& path);

} // namespace phantom
