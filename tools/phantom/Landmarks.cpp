#include "tools/phantom/Landmarks.h"

#include <vector>

namespace phantom {

namespace {

struct SpineKey {
    double z, y;
};

// Centre of the vertebral bodies, from the lower neck to the coccyx.
const std::vector<SpineKey> kSpine = {
    {-40, 125}, {0, 118},   {60, 100},  {150, 93},  {250, 99},  {320, 110}, {380, 123},
    {440, 129}, {490, 118}, {520, 100}, {560, 84},  {600, 70},  {640, 58},  {700, 46},
};

} // namespace

double spineY(double z)
{
    if (z <= kSpine.front().z)
        return kSpine.front().y;
    for (size_t s = 0; s + 1 < kSpine.size(); ++s)
        if (z <= kSpine[s + 1].z) {
            // Cosine blend: smooth enough for a column of separate vertebrae.
            double t = (z - kSpine[s].z) / (kSpine[s + 1].z - kSpine[s].z);
            double w = 0.5 - 0.5 * std::cos(t * M_PI);
            return kSpine[s].y + (kSpine[s + 1].y - kSpine[s].y) * w;
        }
    return kSpine.back().y;
}

const TorsoProfile& torsoProfile()
{
    //                        z   half  back  widest front  fat  muscle
    static const TorsoProfile profile({
        {-40, 170, 36, 140, 250, 8, 14},  // base of the neck and the shoulders
        {0, 172, 34, 140, 256, 8, 14},
        {40, 172, 33, 144, 270, 9, 15},
        {120, 170, 32, 145, 286, 10, 15}, // chest
        {200, 168, 32, 145, 291, 11, 14},
        {280, 164, 32, 145, 293, 13, 11}, // lower ribs, upper abdomen
        {360, 157, 33, 148, 289, 17, 10},
        {430, 152, 34, 150, 285, 20, 10}, // waist
        {500, 162, 33, 150, 280, 22, 11},
        {560, 175, 30, 148, 272, 24, 14}, // hips and buttocks
        {640, 178, 30, 148, 262, 25, 16},
        {700, 178, 30, 148, 255, 25, 16},
    });
    return profile;
}

} // namespace phantom
