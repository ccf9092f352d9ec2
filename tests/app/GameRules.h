// Fixture of the game-rule tests: a fresh appState, a clock the test sets, a record of
// what the levels did to the organ layer instead of touching GL, and the console.
#pragma once

#include "app/AppState.h"
#include "app/LevelTable.h"
#include "app/Levels.h"
#include "tests/support/ConsoleCapture.h"

#include <gtest/gtest.h>

#include <vector>

namespace rules {

struct OrganChange {
    const PlayerState* player;
    double boxMin[3], boxMax[3];
    int preset;
};

inline unsigned fakeNow = 0;
inline std::vector<OrganChange> organChanges;

inline unsigned fakeClock() { return fakeNow; }
inline void recordBox(PlayerState& p, const double lo[3], const double hi[3])
{
    organChanges.push_back({&p, {lo[0], lo[1], lo[2]}, {hi[0], hi[1], hi[2]}, -1});
}
inline void recordPreset(PlayerState&, int preset)
{
    if (!organChanges.empty())
        organChanges.back().preset = preset;
}

class GameRules : public ::testing::Test {
protected:
    void SetUp() override
    {
        saved_ = levelHooks;
        levelHooks = LevelHooks{fakeClock, recordBox, recordPreset};
        appState = AppState{};
        fakeNow = 1000;
        organChanges.clear();
        for (PlayerState& p : appState.players)
            startLevel(p, 0, fakeNow);
        organChanges.clear();
    }
    void TearDown() override
    {
        levelHooks = saved_;
        appState = AppState{};
    }
    PlayerState& player(int n) { return appState.players[n - 1]; }
    testsupport::ConsoleCapture console;

private:
    LevelHooks saved_{};
};

} // namespace rules
