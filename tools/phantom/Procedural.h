// Anatomy that is grown rather than tabulated: branching vessel and airway trees that
// stay inside an organ, and the meandering loops of the small bowel.
#pragma once

#include "tools/phantom/Random.h"
#include "tools/phantom/Shape.h"

namespace phantom {

struct BranchingRules {
    double minRadius = 1.0;        // branches thinner than this are not grown
    double majorRatio = 0.8;       // radius of the larger child / parent
    double minorRatio = 0.65;      // ... of the smaller child
    double lengthPerRadius = 7.0;  // branch length in radii
    double spreadDegrees = 32.0;   // angle between a child and its parent
    double clearance = 2.0;        // a branch ends at least this far inside the organ
    int maxDepth = 9;
};

// A binary tree of tapering tubes from `root` along `direction`, every branch kept
// inside `organ`; branches that would leave it are shortened or dropped.
Tube growTree(Vec3 root, Vec3 direction, double radius, const Shape& organ, const BranchingRules& rules,
              Random& random);

// A loop of gut of the given radius that wanders through `region` from `from` to `to`
// in steps of about `step` mm, `knots` control points in all, folding back at the
// region's walls and pulled towards `to` over its last part.
Tube meander(Vec3 from, Vec3 to, const Bounds& region, double radius, double step, int knots, Random& random);

} // namespace phantom
