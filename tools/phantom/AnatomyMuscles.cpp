// The big muscles that give the back, the flanks and the buttocks their bulk; the
// thinner ones are the trunk's muscle wall.
#include "tools/phantom/Anatomy.h"
#include "tools/phantom/Landmarks.h"
#include "tools/phantom/Tissue.h"

#include <tuple>

namespace phantom {

void addMuscles(Anatomy& body)
{
    const Shape insideFat = torso(0, 1, 0);
    for (double side : {-1.0, 1.0}) {
        // Erector spinae, either side of the spinous processes, thickest in the loins.
        std::vector<Tube::Knot> back;
        for (auto [z, offset, radius] : {std::tuple{-30.0, 30.0, 18.0}, {60.0, 33.0, 20.0}, {160.0, 34.0, 22.0},
                                         {260.0, 35.0, 24.0}, {360.0, 37.0, 29.0}, {440.0, 38.0, 31.0},
                                         {510.0, 36.0, 28.0}, {560.0, 30.0, 16.0}})
            back.push_back({{kMidline + side * offset, spineY(z) - 48.0, z}, radius});
        body.push_back({"erector spinae", Organ::Muscle, hu::kMuscle, tube(back).intersect(insideFat)});

        // Psoas, from the side of the upper lumbar spine over the pelvic brim.
        body.push_back({"psoas", Organ::Muscle, hu::kMuscle,
                        tube({{{kMidline + side * 24, spineY(335) + 4, 335}, 6},
                              {{kMidline + side * 36, spineY(400) + 8, 400}, 14},
                              {{kMidline + side * 50, spineY(460) + 14, 460}, 19},
                              {{kMidline + side * 66, 150, 520}, 20},
                              {{kMidline + side * 80, 166, 580}, 17},
                              {{kMidline + side * 88, 182, 650}, 15}})
                            .intersect(abdominalCavity())});

        // Iliacus lining the inside of the iliac wing.
        body.push_back({"iliacus", Organ::Muscle, hu::kMuscle,
                        ellipsoid({kMidline + side * 80, 132, 522}, {22, 34, 44}, rotation(0, 0, side * 30))});

        // Gluteal muscles behind and beside the pelvis.
        body.push_back({"gluteus", Organ::Muscle, hu::kMuscle,
                        ellipsoid({kMidline + side * 104, 74, 604}, {62, 40, 76}, rotation(0, 0, side * 12))
                            .intersect(insideFat)});
    }
}

} // namespace phantom
