// Landmarks shared by the anatomy tables: the midline, the course of the spine, the
// outline of the trunk. Millimetres in the grid's frame (see Grid.h).
#pragma once

#include "tools/phantom/Primitive.h"

namespace phantom {

constexpr double kMidline = 205.0; // x of the body's plane of symmetry

// y of the centre of the vertebral bodies at height z: thoracic kyphosis, lumbar
// lordosis, the sacrum curving back towards the coccyx.
double spineY(double z);

// The trunk: shoulders at the top, chest, waist, hips at the bottom of the volume.
const TorsoProfile& torsoProfile();

} // namespace phantom
