#include "app/Controls.h"

#include "app/Levels.h"
#include "app/Manual.h"
#include "app/TableReceiver.h"

#include <cctype>
#include <cstdlib>

namespace {

constexpr unsigned char kEscape = 27;

constexpr float kMoveStep = 0.01f;   // object-space units per key press
constexpr float kTurnStep = 0.15f;   // degrees per key press
constexpr double kDragRadiansPerPixel = 0.001;
constexpr float kPitchLimit = 1.5f;
constexpr float kYawEnd = 6.28f;
constexpr float kCursorElsewhere = -100.0f;

enum PoseField { kX, kY, kZ, kAngleZ, kAngleX };

// Key slot k of a player's block changes field kMoves[k].field by kMoves[k].step.
struct Move {
    PoseField field;
    float step;
};
constexpr Move kMoves[10] = {{kX, kMoveStep},     {kX, -kMoveStep},     {kY, kMoveStep},
                             {kY, -kMoveStep},    {kZ, kMoveStep},      {kZ, -kMoveStep},
                             {kAngleZ, kTurnStep}, {kAngleZ, -kTurnStep}, {kAngleX, kTurnStep},
                             {kAngleX, -kTurnStep}};

struct PlayerKeys {
    unsigned char moves[10];  // in the slot order of kMoves
    unsigned char accept;
    unsigned char toggleBody;
};
constexpr PlayerKeys kPlayerKeys[2] = {
    {{'q', 'e', 'a', 'd', 'w', 's', 'r', 't', 'f', 'g'}, 'x', 'c'},
    {{'u', 'o', 'j', 'l', 'i', 'k', 'z', 'p', '8', '9'}, 'n', 'm'},
};

float& poseField(Pose& pose, PoseField field)
{
    switch (field) {
    case kX: return pose.x;
    case kY: return pose.y;
    case kZ: return pose.z;
    case kAngleZ: return pose.angleZ;
    case kAngleX: break;
    }
    return pose.angleX;
}

bool applyMovementKey(unsigned char key, const unsigned char (&keys)[10], PlayerState& p)
{
    for (int slot = 0; slot < 10; ++slot) {
        if (keys[slot] != key)
            continue;
        float& value = poseField(p.moveBody ? p.bodyPose : p.organPose, kMoves[slot].field);
        value = float(double(value) + double(kMoves[slot].step));
        return true;
    }
    return false;
}

bool handlePlayerKey(unsigned char key, int index)
{
    const PlayerKeys& keys = kPlayerKeys[index];
    PlayerState& p = appState.players[index];
    if (applyMovementKey(key, keys.moves, p))
        return true;
    if (key == keys.accept) {
        acceptLevel(index);
        return true;
    }
    if (key == keys.toggleBody) {
        p.moveBody = !p.moveBody;
        return true;
    }
    return false;
}

// Key repeat. The server repeats only the key pressed last, and reports each repeat as
// a further press without a release (main asks for that), so a press is a repeat when
// its key is the last one pressed and has not been released since. Accepting and
// starting a new game act once per press: a held accept key would skip levels.
int lastPressed = -1;
bool held[256];

bool actsOncePerPress(unsigned char key)
{
    return key == kPlayerKeys[0].accept || key == kPlayerKeys[1].accept || key == '1';
}

bool inRightHalf(int x) { return x >= int(appState.windowWidth / 2); }

} // namespace

void onKeyboard(unsigned char key, int, int)
{
    AppState& a = appState;
    bool repeat = lastPressed == key && held[key];
    lastPressed = key;
    held[key] = true;
    if (repeat && actsOncePerPress(key))
        return;
    if (key == 'h') {
        printManual();
        return;
    }
    if (key == kEscape)
        std::exit(0);
    if (handlePlayerKey(key, 0) || handlePlayerKey(key, 1))
        return;
    if (key == '1') {
        if (a.gameOver) {
            a.gameOver = false;
            resetPlayer(a.players[0]);
            resetPlayer(a.players[1]);
        }
        return;
    }
    if (key == 'B' && !a.tableMode && openTableSocket() == 0)
        a.tableMode = true;
}

void onKeyboardUp(unsigned char key, int, int)
{
    // Shift may have changed between press and release: either case ends the hold.
    held[key] = held[std::tolower(key)] = held[std::toupper(key)] = false;
}

void onSpecial(int, int, int) { lastPressed = -1; }
void onSpecialUp(int, int, int) {}

void onMouse(int, int, int x, int y)
{
    appState.lastMouseX = x;
    appState.lastMouseY = y;
}

void dragCamera(PlayerState& p, int x, int y, int lastX, int lastY)
{
    p.pitch = float(p.pitch + (y - lastY) * kDragRadiansPerPixel);
    p.yaw = float(p.yaw + (x - lastX) * kDragRadiansPerPixel);
    if (p.pitch < -kPitchLimit)
        p.pitch = -kPitchLimit;
    else if (p.pitch > kPitchLimit)
        p.pitch = kPitchLimit;
    // Compared in single precision: the stored end 6.28f must not count as beyond it.
    if (p.yaw < 0.0f)
        p.yaw = kYawEnd;
    else if (p.yaw > kYawEnd)
        p.yaw = 0.0f;
}

void onMotion(int x, int y)
{
    AppState& a = appState;
    dragCamera(a.players[inRightHalf(x) ? 1 : 0], x, y, a.lastMouseX, a.lastMouseY);
    a.lastMouseX = x;
    a.lastMouseY = y;
}

void onPassiveMotion(int x, int y)
{
    AppState& a = appState;
    a.lastMouseX = x;
    a.lastMouseY = y;
    float cx = float(x);
    float cy = float(int(a.windowHeight) - y);
    PlayerState& under = a.players[inRightHalf(x) ? 1 : 0];
    PlayerState& other = a.players[inRightHalf(x) ? 0 : 1];
    under.cursorX = cx;
    under.cursorY = cy;
    other.cursorX = kCursorElsewhere;
    other.cursorY = kCursorElsewhere;
}
