// The seven levels and the organ colourings they use: fixed game data, nothing else.
// Boxes are in the casters' object space (longest volume axis 1); poses as in Pose.
#pragma once

#include "app/AppState.h"

namespace game {

constexpr int kLevelCount = 7;

struct LevelRow {
    double boxMin[3];  // visible sub-volume of the organ layer (clip box)
    double boxMax[3];
    Pose startPose;    // organPose at the start of the level
    int preset;        // organ colouring, an OrganPreset id
};

// Every level lifts the organ by 0.7 along y; some add a shift or a 0.1 degree turn.
constexpr LevelRow kLevels[kLevelCount] = {
    {{0.06, 0.09, 0.01}, {0.591164, 0.451164, 0.47}, {0.0f, 0.7f, 0.0f, 0.0f, 0.0f}, 0},
    {{0.42, 0.11, 0.41}, {0.541164, 0.23, 0.63}, {0.1f, 0.7f, 0.1f, 0.0f, 0.0f}, 5},
    {{0.05, 0.22, 0.49}, {0.231164, 0.29, 0.67}, {0.0f, 0.7f, 0.1f, 0.1f, 0.0f}, 5},
    {{0.28, 0.361164, 0.41}, {0.41, 0.411164, 0.47}, {0.0f, 0.7f, 0.1f, 0.0f, 0.0f}, 2},
    {{0.23, 0.06, 0.81}, {0.401164, 0.221164, 1.0}, {0.1f, 0.7f, 0.0f, 0.0f, 0.0f}, 0},
    {{0.27, 0.3, 0.59}, {0.401164, 0.36, 0.78}, {0.0f, 0.7f, 0.0f, 0.0f, 0.1f}, 2},
    {{0.2, 0.22, 0.19}, {0.481164, 0.411164, 0.43}, {0.0f, 0.7f, 0.0f, 0.1f, 0.0f}, 5},
};

// One trapezoid over the intensity axis: colours for foot, mid-ramp and plateau (RGBA;
// the alpha is stored, the opacity comes from the points) and its four corners
// (x = normalised intensity, y = opacity) from left foot to right foot.
struct OrganPreset {
    int id;
    float colours[3][4];
    float points[4][2];
};

constexpr OrganPreset kOrganPresets[] = {
    {0,
     {{1.0f, 0.2f, 0.2f, 0.5f}, {0.7f, 0.3f, 0.4f, 0.5f}, {0.7f, 0.4f, 0.3f, 0.5f}},
     {{0.03f, 0.0f}, {0.08f, 0.3f}, {0.2f, 0.3f}, {0.22f, 0.0f}}},
    {2,
     {{1.0f, 0.2f, 0.2f, 0.5f}, {0.2f, 1.0f, 0.2f, 0.5f}, {0.2f, 0.2f, 1.0f, 0.5f}},
     {{0.01f, 0.0f}, {0.15f, 0.5f}, {0.15f, 0.5f}, {0.2f, 0.0f}}},
    {5,
     {{0.6f, 0.4f, 0.4f, 0.8f}, {0.6f, 0.3f, 0.4f, 0.8f}, {0.6f, 0.4f, 0.3f, 0.8f}},
     {{0.28f, 0.0f}, {0.28f, 0.2f}, {0.4f, 0.2f}, {0.42f, 0.0f}}},
};

// The preset with this id, or null for an id the table does not hold.
inline const OrganPreset* findOrganPreset(int id)
{
    for (const OrganPreset& preset : kOrganPresets)
        if (preset.id == id)
            return &preset;
    return nullptr;
}

// Name of the organ shape that every level replaces, and of the one the organ's
// file brings along.
constexpr const char* kOrganShapeName = "test";
constexpr const char* kOrganFileShapeName = "Heart";

} // namespace game
