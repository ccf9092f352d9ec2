// The process-wide game record and the per-player records it owns. Plain data: the
// callbacks, the scene set-up and the level logic read and write the fields directly.
// Zero-initialised static storage, except where a start value is given.
#pragma once

#include "app/GameConfig.h"

#include <string>

class GLSLRaycaster;
class GLSLProgram;
struct GLSLShader;
namespace Classification {
class PreintTransferFunction1D;
}

// Applied as translate(x, y, z), rotate(angleZ about z), rotate(angleX about x).
struct Pose {
    float x, y, z;          // object space of the casters, longest volume axis 1
    float angleZ, angleX;   // degrees
};

struct PlayerState {
    unsigned viewWidth, viewHeight;  // offscreen image size, fixed at start-up (416 x 642)
    Pose bodyPose;                   // skin and skeleton layers
    Pose organPose;                  // organ layer
    float cursorX, cursorY;          // window pixels, origin bottom left; -100 = elsewhere
    GLSLRaycaster* skinCaster;       // owned, never freed (lives as long as the process)
    GLSLRaycaster* skeletonCaster;
    GLSLRaycaster* organCaster;
    GLSLProgram* mixProgram;         // owned; null until the scene set-up
    GLSLShader* mixVertexShader;
    GLSLShader* mixFragmentShader;
    Classification::PreintTransferFunction1D* skinTransfer;
    Classification::PreintTransferFunction1D* skeletonTransfer;
    Classification::PreintTransferFunction1D* organTransfer; // the one the levels change
    float spacing[3];                // voxel spacing of the last volume load
    int nextLayer;                   // game::Layer cast by the next renderNextLayer
    float pitch, yaw;                // camera angles, radians
    float eye[3];                    // camera position of the last layer render
    bool moveBody;                   // movement keys move the body (true) or the organ
    unsigned levelStartTime;         // elapsed ms when the current level began
    int level;                       // accepted levels; >= 7 means finished
    int total;                       // score total
};

struct AppState {
    unsigned windowWidth = game::kWindowWidth;   // set by onReshape
    unsigned windowHeight = game::kWindowHeight;
    unsigned frameCounter;          // frames displayed so far
    unsigned frameStartTime;        // elapsed ms at the start of the current frame
    unsigned lastFpsTime;           // elapsed ms at the last frame-rate update
    float fps;                      // shown in the lower left corner
    bool renderPlayerOneNext;       // false: the next frame casts a layer of player 2
    int rotateToolTexture;          // GL texture names of the icons; -1 = no pixels
    int moveToolTexture;
    int lastMouseX, lastMouseY;     // GLUT window coordinates, origin top left
    std::string leftMessage;        // player 1's timed overlay text
    std::string rightMessage;       // player 2's
    int leftMessageTime;            // ms the text is still shown; <= 0 = hidden
    int rightMessageTime;
    unsigned lastOverlayTime;       // elapsed ms at the last overlay pass
    bool tableMode;                 // UDP table input enabled
    bool gameOver;                  // winner announced, waiting for key "1"
    PlayerState players[2];         // 0 = player 1 (left half), 1 = player 2 (right)
};

extern AppState appState;
