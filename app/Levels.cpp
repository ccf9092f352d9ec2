#include "app/Levels.h"

#include "app/GameConfig.h"
#include "app/LevelTable.h"
#include "app/Scene.h"

#include <GL/glut.h>

#include <cmath>
#include <iostream>
#include <sstream>
#include <string>

namespace {

unsigned glutClock() { return unsigned(glutGet(GLUT_ELAPSED_TIME)); }

constexpr unsigned kTimeStepMs = 700;      // the time term counts whole 0.7 s periods
constexpr unsigned kTimeBase = 20;
constexpr int kMinPoints = 5;
constexpr double kMaxPoints = 2000.0;

// Distance of two translations the way the score has always measured it: every step
// rounded to single precision, squares summed y, x, z.
float translationDistance(const Pose& a, const Pose& b)
{
    float dx = a.x - b.x;
    float dy = a.y - b.y;
    float dz = a.z - b.z;
    float sum = dy * dy + dx * dx;
    sum = sum + dz * dz;
    return std::sqrt(sum);
}

std::string playerName(int index) { return index == 0 ? "Player 1" : "Player 2"; }

} // namespace

LevelHooks levelHooks = {glutClock, setOrganBox, applyOrganPreset};

void startLevel(PlayerState& p, int level, unsigned time)
{
    p.levelStartTime = time;
    p.level = level;
    if (level >= 0 && level < game::kLevelCount) {
        const game::LevelRow& row = game::kLevels[level];
        levelHooks.setOrganBox(p, row.boxMin, row.boxMax);
        p.organPose = row.startPose;
        levelHooks.applyOrganPreset(p, row.preset);
    }
    p.bodyPose = Pose{0, 0, 0, 0, 0};
}

int acceptPose(PlayerState& p, unsigned now)
{
    const Pose& organ = p.organPose;
    const Pose& body = p.bodyPose;
    float d = translationDistance(organ, body);
    unsigned t = (now - p.levelStartTime) / kTimeStepMs + kTimeBase;
    float turnZ = std::fabs(organ.angleZ - body.angleZ);
    float turnX = std::fabs(organ.angleX - body.angleX);
    float r = float(turnZ + 1.0 + turnX * 0.05);

    double v = kMaxPoints - double(float(d * 50.0 + 0.1)) * double(t) * double(r);
    // Compared before the conversion: a far-off pose can drive v past the int range.
    int points = v <= kMinPoints ? kMinPoints : int(v);

    if (p.level < game::kLevelCount)
        p.total += points;
    p.level += 1;
    startLevel(p, p.level, levelHooks.elapsedMs());
    return points;
}

void acceptLevel(int playerIndex)
{
    AppState& a = appState;
    PlayerState& p = a.players[playerIndex];
    int points = acceptPose(p, levelHooks.elapsedMs());
    int level = p.level;
    int total = p.total;
    std::string name = playerName(playerIndex);
    std::string& message = playerIndex == 0 ? a.leftMessage : a.rightMessage;
    int& messageTime = playerIndex == 0 ? a.leftMessageTime : a.rightMessageTime;

    std::ostringstream text;
    if (level <= game::kLevelCount) {
        std::cout << std::endl
                  << name << " completed level " << level << std::endl
                  << "Points: " << points << std::endl
                  << "Total: " << total << std::endl;
        text << name << " completed level " << level << "\nPoints: " << points
             << " Total: " << total;
    } else {
        std::cout << std::endl
                  << name << " completed all level with " << total << " points!" << std::endl;
        // Player 1's text has always been broken over two lines, player 2's not.
        text << name << " completed all level" << (playerIndex == 0 ? "\nwith " : " with ")
             << total << " points!";
    }
    message = text.str();
    messageTime = game::kMessageMs;

    decideWinner();
}

void decideWinner()
{
    AppState& a = appState;
    if (a.players[0].level < game::kLevelCount || a.players[1].level < game::kLevelCount)
        return;
    int t1 = a.players[0].total;
    int t2 = a.players[1].total;
    const char* winner = t1 > t2 ? "Player 1 wins!" : t1 < t2 ? "Player 2 wins!" : "Draw!";

    std::ostringstream text;
    text << winner << "\nPlayer 1: " << t1 << "\nPlayer 2: " << t2;
    std::cout << std::endl << winner << std::endl;
    a.leftMessage = text.str();
    a.rightMessage = text.str();
    a.leftMessageTime = game::kMessageMs;
    a.rightMessageTime = game::kMessageMs;
    a.gameOver = true;

    const char* again = "Press 1 to start a new game!";
    std::cout << std::endl << again << std::endl;
    a.leftMessage += std::string("\n") + again;
    a.rightMessage += std::string("\n") + again;
}

void resetPlayer(PlayerState& p)
{
    p.total = 0;
    startLevel(p, 0, levelHooks.elapsedMs());
}
