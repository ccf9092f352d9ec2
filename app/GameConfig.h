// The game's fixed numbers and names, in one place. Nothing here is configurable from
// outside: the window, the files read at run time and the timings are part of the game.
#pragma once

namespace game {

constexpr unsigned kWindowWidth = 832;  // start size; both halves 416 x 642
constexpr unsigned kWindowHeight = 642;
constexpr int kWindowX = 50;
constexpr int kWindowY = 50;
constexpr const char* kWindowTitle = "Morvo::Quillet";

constexpr const char* kVolumeHeader = "taa.mhd";
constexpr const char* kVolumeData = "taa.raw";
constexpr const char* kRotateIcon = "rottool.bmp";
constexpr const char* kMoveIcon = "movetool.bmp";

constexpr unsigned kMinFrameMs = 30;   // frame floor, at most ~33 frames per second
constexpr unsigned kFpsFrames = 10;    // the frame rate is averaged over this many frames
constexpr int kMessageMs = 3000;       // how long a timed overlay message stays
constexpr const char* kStartMessage = "Press h to display manual in console";

// The table input: UDP text datagrams on this port, on all local addresses.
constexpr unsigned short kTablePort = 31409;

// Projection of a player's half while a layer is ray-cast.
constexpr double kFieldOfView = 100.0; // degrees
constexpr double kNearPlane = 0.001;
constexpr double kFarPlane = 5.0;

// Layers of a player's picture, in the order they are ray-cast.
enum Layer { kSkinLayer = 0, kSkeletonLayer = 1, kOrganLayer = 2, kLayerCount = 3 };

} // namespace game
