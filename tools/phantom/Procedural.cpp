#include "tools/phantom/Procedural.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace phantom {

namespace {

// A unit vector perpendicular to `d`.
Vec3 perpendicular(Vec3 d)
{
    Vec3 a = std::fabs(d.x) < 0.9 ? Vec3{1, 0, 0} : Vec3{0, 1, 0};
    return normalise(cross(d, a));
}

// `d` turned by `angle` (radians) towards the direction `around` radians about it.
Vec3 deflect(Vec3 d, double angle, double around)
{
    Vec3 p = perpendicular(d);
    Vec3 q = cross(d, p);
    Vec3 side = p * std::cos(around) + q * std::sin(around);
    return normalise(d * std::cos(angle) + side * std::sin(angle));
}

void grow(Tube& tree, Vec3 at, Vec3 dir, double radius, int depth, const Shape& organ, const BranchingRules& rules,
          Random& random)
{
    if (radius < rules.minRadius || depth > rules.maxDepth)
        return;
    double len = radius * rules.lengthPerRadius * random.uniform(0.8, 1.25);
    Vec3 end = at + dir * len;
    // Shorten a branch that would leave the organ; drop it if even a stub would.
    while (organ.distance(end) > -(rules.clearance + radius)) {
        len *= 0.6;
        if (len < 2.0 * radius)
            return;
        end = at + dir * len;
    }
    tree.append(Tube({{at, radius}, {end, radius * 0.92}}));
    double around = random.uniform(0.0, 2.0 * M_PI);
    double spread = rules.spreadDegrees * M_PI / 180.0;
    double childRadius = radius * 0.92;
    grow(tree, end, deflect(dir, spread * random.uniform(0.5, 0.9), around), childRadius * rules.majorRatio,
         depth + 1, organ, rules, random);
    grow(tree, end, deflect(dir, spread * random.uniform(1.0, 1.6), around + M_PI), childRadius * rules.minorRatio,
         depth + 1, organ, rules, random);
}

} // namespace

Tube growTree(Vec3 root, Vec3 direction, double radius, const Shape& organ, const BranchingRules& rules,
              Random& random)
{
    Tube tree;
    grow(tree, root, normalise(direction), radius, 0, organ, rules, random);
    return tree;
}

Tube meander(Vec3 from, Vec3 to, const Bounds& region, double radius, double step, int knots, Random& random)
{
    std::vector<Tube::Knot> path{{from, radius}};
    Vec3 at = from;
    Vec3 dir = normalise(Vec3{random.uniform(-1, 1), random.uniform(-1, 1), random.uniform(-1, 1)});
    for (int n = 1; n < knots - 1; ++n) {
        // Wander: keep most of the last heading, turn by a random amount.
        dir = deflect(dir, random.uniform(0.5, 1.3), random.uniform(0.0, 2.0 * M_PI));
        // Fold back from the walls of the region.
        Vec3 next = at + dir * step;
        Vec3 push{0, 0, 0};
        const double wall = radius + 4.0;
        if (next.x < region.lo.x + wall) push.x += 1;
        if (next.x > region.hi.x - wall) push.x -= 1;
        if (next.y < region.lo.y + wall) push.y += 1;
        if (next.y > region.hi.y - wall) push.y -= 1;
        if (next.z < region.lo.z + wall) push.z += 1;
        if (next.z > region.hi.z - wall) push.z -= 1;
        // Towards the end the loop is drawn to its exit.
        double pull = std::max(0.0, double(n) / knots - 0.75) * 4.0;
        dir = normalise(dir + push * 1.5 + normalise(to - at) * pull);
        at = at + dir * step;
        at = {std::clamp(at.x, region.lo.x + radius, region.hi.x - radius),
              std::clamp(at.y, region.lo.y + radius, region.hi.y - radius),
              std::clamp(at.z, region.lo.z + radius, region.hi.z - radius)};
        path.push_back({at, radius});
    }
    path.push_back({to, radius});
    return Tube(path, 2.0);
}

} // namespace phantom
