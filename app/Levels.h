// The seven levels of a player: starting a level, scoring an acceptance, the results in
// the console and on screen, the winner and a new game. What a level does to the organ
// layer (its box and colouring) goes through `levelHooks`, so the rules run without GL.
#pragma once

#include "app/AppState.h"

struct LevelHooks {
    unsigned (*elapsedMs)();                                  // the game clock, ms
    void (*setOrganBox)(PlayerState& p, const double boxMin[3], const double boxMax[3]);
    void (*applyOrganPreset)(PlayerState& p, int preset);
};

// The game's own: GLUT's clock, setOrganBox and applyOrganPreset.
extern LevelHooks levelHooks;

// Begins level `level` for `p` at elapsed time `time` (ms). A finished player (level 7
// and up) keeps the organ's last box, pose and shape; the body pose is reset always.
void startLevel(PlayerState& p, int level, unsigned time);

// Rebuilds the organ's "test" shape from an organ preset (needs GL and organTransfer).
void applyOrganPreset(PlayerState& p, int preset);

// Scores the level just played at elapsed time `now`, adds it to the total while the
// player is not finished, and starts the next level. Returns the points (at least 5).
int acceptPose(PlayerState& p, unsigned now);

// Key "x" (player index 0) or "n" (index 1): scores, prints the result, sets the
// player's message and announces the winner once both have finished.
void acceptLevel(int playerIndex);

// Announces the result when both players have accepted all seven levels.
void decideWinner();

// New game for one player: total 0, level 0. Messages and cameras stay.
void resetPlayer(PlayerState& p);
